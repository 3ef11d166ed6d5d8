#!/usr/bin/python3
"""A scripted FTP server for replies real servers never send on request.

    scripted_ftp.py SCRIPT.json PORTFILE TRANSCRIPT

Listens on 127.0.0.1 (a free port, written to PORTFILE), takes one control
connection and plays the script: a list of steps
  ["send", text]          send text as it stands (CR LF included by the script)
  ["expect"]              read one command line into the transcript
  ["pasv", text]          open a data listener and send text with {p1},{p2} filled in
  ["data_recv"]           accept the data connection and read it to the end
  ["data_send", text]     accept the data connection, send text, close it
  ["sleep", seconds]
  ["close"]               close the control connection
  ["drain"]               read command lines into the transcript until the client closes
The transcript holds one line per command received, and "DATA <n>" for data.
FEAT is answered "502" at once, as a server that predates it would, and is
not written to the transcript; a step ["feat", text] answers it instead.
"""
import json
import socket
import sys
import time


def main():
    script = json.load(open(sys.argv[1]))
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(1)
    with open(sys.argv[2] + ".tmp", "w") as f:
        f.write(str(server.getsockname()[1]))
    import os
    os.rename(sys.argv[2] + ".tmp", sys.argv[2])
    server.settimeout(30)
    conn, _ = server.accept()
    conn.settimeout(30)
    reader = conn.makefile("rb")
    transcript = open(sys.argv[3], "w")
    data_listener = None
    for step in script:
        kind = step[0]
        if kind == "send":
            conn.sendall(step[1].encode("latin-1"))
        elif kind == "expect":
            line = reader.readline().decode("latin-1").rstrip("\r\n")
            while line == "FEAT" and not any(s[0] == "feat" for s in script):
                conn.sendall(b"502 Unknown command.\r\n")
                line = reader.readline().decode("latin-1").rstrip("\r\n")
            transcript.write(line + "\n")
            transcript.flush()
        elif kind == "feat":
            conn.sendall(step[1].encode("latin-1"))
        elif kind == "pasv":
            data_listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            data_listener.bind(("127.0.0.1", 0))
            data_listener.listen(1)
            port = data_listener.getsockname()[1]
            conn.sendall(step[1].format(p1=port // 256, p2=port % 256).encode("latin-1"))
        elif kind in ("data_recv", "data_send"):
            data_listener.settimeout(30)
            data, _ = data_listener.accept()
            if kind == "data_recv":
                total = 0
                while True:
                    chunk = data.recv(65536)
                    if not chunk:
                        break
                    total += len(chunk)
                transcript.write("DATA %d\n" % total)
            else:
                data.sendall(step[1].encode("latin-1"))
            data.close()
            transcript.flush()
        elif kind == "sleep":
            time.sleep(step[1])
        elif kind == "close":
            conn.close()
        elif kind == "drain":
            while True:
                line = reader.readline()
                if not line:
                    break
                transcript.write(line.decode("latin-1").rstrip("\r\n") + "\n")
            transcript.flush()
    transcript.close()


if __name__ == "__main__":
    main()
