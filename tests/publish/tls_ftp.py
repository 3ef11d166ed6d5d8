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
"""
import datetime
import os
import socket
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


if __name__ == "__main__":
    what = sys.argv[1]
    if what == "certificates":
        write_certificates(sys.argv[2])
    elif what == "serve":
        serve(*sys.argv[2:8])
    else:
        broken_handshake(sys.argv[2], what == "silent")
