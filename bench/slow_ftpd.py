"""pyftpdlib on 127.0.0.1 that waits DELAY seconds before every reply, as a
distant hosting server does:  slow_ftpd.py ROOT PORT DELAY"""
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import ThreadedFTPServer

ROOT, PORT, DELAY = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])


class SlowHandler(FTPHandler):
    def respond(self, resp, logfun=None):
        time.sleep(DELAY)
        super().respond(resp)


authorizer = DummyAuthorizer()
authorizer.add_user("jan", "tajne", ROOT, perm="elradfmwMT")
SlowHandler.authorizer = authorizer
server = ThreadedFTPServer(("127.0.0.1", PORT), SlowHandler)
server.serve_forever()
