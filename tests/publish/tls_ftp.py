#!/usr/bin/env python3
"""FTP over TLS for the tests, on 127.0.0.1 only.

  tls_ftp.py certificates FOLDER
      makes a small authority and server certificates with it: good (for
      127.0.0.1 and localhost), expired, wronghost (for ftp.example.com),
      and a self-signed one; each as NAME.pem with NAME.key.
  tls_ftp.py serve PORTFILE ROOT CERT KEY USER PASSWORD
      pyftpdlib's TLS handler, TLS required on control and data.
  tls_ftp.py drop PORTFILE | silent PORTFILE
      answers 220 and 234 to AUTH TLS, then closes the connection at the
      first byte of the handshake (drop) or never answers it (silent).
  tls_ftp.py home PORTFILE ROOT HOME USER PASSWORD
      pyftpdlib in clear text whose login folder is ROOT/HOME, not the
      server's root, as on many hosts.
  tls_ftp.py short PORTFILE ROOT USER PASSWORD
      pyftpdlib that keeps only the first 2,000 bytes of every file it is
      sent and answers 226 all the same.
  tls_ftp.py keepold PORTFILE ROOT USER PASSWORD
      pyftpdlib that refuses RNTO onto a file that exists (550).
  tls_ftp.py reset PORTFILE CERT KEY PHASE
      FTP over TLS on both connections, enough for one upload, that resets
      a connection (RST, no close_notify) in PHASE: "login" (at PASS),
      "folder" (at CWD), "stor" (at STOR, before 150), "data" (the data
      connection after its first kilobyte) or "final" (instead of 226);
      "hold" reads the whole file and then neither closes the data
      connection nor answers.
"""
import datetime
import os
import socket
import ssl
import struct
import sys
import time


def write_certificates(folder):
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import ec
    from cryptography.x509.oid import NameOID
    import ipaddress

    now = datetime.datetime.now(datetime.timezone.utc)

    def key():
        return ec.generate_private_key(ec.SECP256R1())

    def save(name, cert, private):
        with open(os.path.join(folder, name + ".pem"), "wb") as f:
            f.write(cert.public_bytes(serialization.Encoding.PEM))
        with open(os.path.join(folder, name + ".key"), "wb") as f:
            f.write(private.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                          serialization.NoEncryption()))

    def named(cn):
        return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, cn)])

    ca_key = key()
    ca = (x509.CertificateBuilder().subject_name(named("Zentarek test authority")).issuer_name(named("Zentarek test authority"))
          .public_key(ca_key.public_key()).serial_number(x509.random_serial_number())
          .not_valid_before(now - datetime.timedelta(days=1)).not_valid_after(now + datetime.timedelta(days=30))
          .add_extension(x509.BasicConstraints(ca=True, path_length=0), critical=True)
          .add_extension(x509.KeyUsage(False, False, False, False, False, True, True, False, False), critical=True)
          .sign(ca_key, hashes.SHA256()))
    save("ca", ca, ca_key)

    def server(name, names, ips, start, end, issuer_cert, issuer_key, own_key=None):
        private = own_key or key()
        alt = [x509.DNSName(n) for n in names] + [x509.IPAddress(ipaddress.ip_address(i)) for i in ips]
        builder = (x509.CertificateBuilder().subject_name(named((names + ips)[0]))
                   .issuer_name(issuer_cert.subject if issuer_cert else named((names + ips)[0]))
                   .public_key(private.public_key()).serial_number(x509.random_serial_number())
                   .not_valid_before(start).not_valid_after(end)
                   .add_extension(x509.SubjectAlternativeName(alt), critical=False))
        save(name, builder.sign(issuer_key or private, hashes.SHA256()), private)

    day = datetime.timedelta(days=1)
    server("good", ["localhost"], ["127.0.0.1"], now - day, now + 30 * day, ca, ca_key)
    server("expired", ["localhost"], ["127.0.0.1"], now - 30 * day, now - day, ca, ca_key)
    server("wronghost", ["ftp.example.com"], [], now - day, now + 30 * day, ca, ca_key)
    server("self", ["localhost"], ["127.0.0.1"], now - day, now + 30 * day, None, None)


def listen(port_file):
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    s.listen(5)
    with open(port_file + ".tmp", "w") as f:
        f.write(str(s.getsockname()[1]))
    os.rename(port_file + ".tmp", port_file)
    return s


def serve(port_file, root, cert, key, user, password):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import TLS_FTPHandler
    from pyftpdlib.servers import FTPServer

    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    handler = TLS_FTPHandler
    handler.certfile = cert
    handler.keyfile = key
    handler.tls_control_required = True
    handler.tls_data_required = True
    handler.authorizer = authorizer
    handler.passive_ports = None
    server = FTPServer(("127.0.0.1", 0), handler)
    with open(port_file + ".tmp", "w") as f:
        f.write(str(server.socket.getsockname()[1]))
    os.rename(port_file + ".tmp", port_file)
    server.serve_forever()


def broken_handshake(port_file, silent):
    s = listen(port_file)
    while True:
        c, _ = s.accept()
        c.sendall(b"220 Gotowy\r\n")
        line = b""
        while not line.endswith(b"\n"):
            chunk = c.recv(1)
            if not chunk:
                break
            line += chunk
        if line.upper().startswith(b"AUTH TLS"):
            c.sendall(b"234 Zaczynaj\r\n")
        c.recv(1)  # the first byte of the client's hello
        if silent:
            time.sleep(3600)
        c.close()


def reset(sock):
    """Ends the connection with RST, as a restarted server or a firewall does."""
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    sock.close()


def read_line(sock):
    line = b""
    while not line.endswith(b"\n"):
        chunk = sock.recv(1)
        if not chunk:
            raise OSError("closed")
        line += chunk
    return line.decode("utf-8", "replace").strip()


def resetting_session(raw, context, phase):
    raw.sendall(b"220 Gotowy\r\n")
    read_line(raw)  # AUTH TLS
    raw.sendall(b"234 Zaczynaj\r\n")
    control = context.wrap_socket(raw, server_side=True)
    listener = None
    replies = {"USER": b"331 Haslo\r\n", "PASS": b"230 Zalogowany\r\n", "PBSZ": b"200 PBSZ=0\r\n",
               "PROT": b"200 Prywatnie\r\n", "TYPE": b"200 Typ\r\n", "CWD": b"250 Folder\r\n",
               "PWD": b'257 "/"\r\n', "QUIT": b"221 Do widzenia\r\n"}
    while True:
        verb = read_line(control).split(" ")[0].upper()
        if (phase, verb) in (("login", "PASS"), ("folder", "CWD"), ("stor", "STOR")):
            return reset(control)
        if verb == "PASV":
            listener = socket.socket()
            listener.bind(("127.0.0.1", 0))
            listener.listen(1)
            port = listener.getsockname()[1]
            control.sendall(b"227 Pasywnie (127,0,0,1,%d,%d)\r\n" % (port // 256, port % 256))
        elif verb == "STOR":
            control.sendall(b"150 Dawaj\r\n")
            listener.settimeout(10)
            data = context.wrap_socket(listener.accept()[0], server_side=True)
            if phase == "data":
                got = 0
                while got < 1024:
                    chunk = data.recv(1024 - got)
                    if not chunk:
                        break
                    got += len(chunk)
                reset(data)
                control.sendall(b"426 Polaczenie danych przerwane\r\n")
                continue
            while data.recv(65536):
                pass
            if phase == "hold":
                time.sleep(3600)
            data.close()
            if phase == "final":
                return reset(control)
            control.sendall(b"226 Gotowe\r\n")
        else:
            control.sendall(replies.get(verb, b"502 Nie znam\r\n"))
            if verb == "QUIT":
                return control.close()


def run_pyftpdlib(port_file, handler, root, user, password):
    """pyftpdlib with `handler` (a subclass of FTPHandler) on a free port."""
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.servers import FTPServer

    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), handler)
    with open(port_file + ".tmp", "w") as f:
        f.write(str(server.socket.getsockname()[1]))
    os.rename(port_file + ".tmp", port_file)
    server.serve_forever()


def serve_short(port_file, root, user, password):
    """Keeps only the first 2,000 bytes of each file and answers 226 all
    the same, as a broken quota or proxy does."""
    from pyftpdlib.handlers import FTPHandler

    class ShortHandler(FTPHandler):
        def on_file_received(self, file):
            if os.path.getsize(file) > 2000:
                with open(file, "r+b") as f:
                    f.truncate(2000)

    run_pyftpdlib(port_file, ShortHandler, root, user, password)


def serve_keeping_old(port_file, root, user, password):
    """Refuses to rename over a file that exists, as some servers do."""
    from pyftpdlib.handlers import FTPHandler

    class KeepOldHandler(FTPHandler):
        def ftp_RNTO(self, path):
            if os.path.exists(path):
                self._rnfr = None
                self.respond("550 Plik o tej nazwie juz istnieje.")
                return
            return super().ftp_RNTO(path)

    run_pyftpdlib(port_file, KeepOldHandler, root, user, password)


def serve_with_home(port_file, root, home, user, password):
    from pyftpdlib.handlers import FTPHandler

    class HomeHandler(FTPHandler):
        def on_login(self, username):
            self.fs.cwd = "/" + home

    run_pyftpdlib(port_file, HomeHandler, root, user, password)


def resetting(port_file, cert, key, phase):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    s = listen(port_file)
    while True:
        raw, _ = s.accept()
        try:
            resetting_session(raw, context, phase)
        except (OSError, ssl.SSLError):
            pass


if __name__ == "__main__":
    what = sys.argv[1]
    if what == "certificates":
        write_certificates(sys.argv[2])
    elif what == "serve":
        serve(*sys.argv[2:8])
    elif what == "short":
        serve_short(*sys.argv[2:6])
    elif what == "keepold":
        serve_keeping_old(*sys.argv[2:6])
    elif what == "home":
        serve_with_home(*sys.argv[2:7])
    elif what == "reset":
        resetting(*sys.argv[2:6])
    else:
        broken_handshake(sys.argv[2], what == "silent")
