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
  ["answer", seconds]     answer the bookkeeping below for that long
  ["data_hold"]           accept the data connection and never read from it
  ["data_drip", text, s]  accept the data connection, send text a byte every s seconds
  ["data_recv_part", n]   accept the data connection, read n bytes, close it
  ["flood"]               send bytes without a line end until the client goes away
  ["flood_replies"]       send complete replies nobody asked for until the client goes away
  ["reaccept"]            close the control connection and take the next one
  ["stranger"]            connect to the PORT address from 127.0.0.2 and hold it
After a PORT command the data steps connect to the address it names
instead of accepting on the "pasv" listener.
The transcript holds one line per command received, and "DATA <n>" for data.
The bookkeeping of a publication is answered at once and not written to the
transcript: FEAT (listing SIZE; a step ["feat", text] answers it instead),
SIZE (the bytes the last upload under that name brought, else 550), PWD,
RNFR, RNTO and DELE. It keeps no record of a publication: SIZE of the
record is always 550, and a script refuses its RETR (Script.h's noRecord),
so every run finds none and compares sizes.
"""
import json
import select
import socket
import sys
import time


def open_data(listener, port_address):
    if port_address:
        return socket.create_connection(port_address, timeout=30)
    listener.settimeout(30)
    return listener.accept()[0]


def bookkeeping(line, conn, script, sizes, renaming):
    """Answers the commands a script need not spell out; False for any other."""
    verb, _, name = line.partition(" ")
    verb = verb.upper()
    if verb == "FEAT" and not any(s[0] == "feat" for s in script):
        reply = "211-Features:\r\n SIZE\r\n211 End\r\n"
    elif verb == "SIZE":
        known = name in sizes and name != ".zentarek-manifest.json"
        reply = "213 %d\r\n" % sizes[name] if known else "550 No such file.\r\n"
    elif verb == "PWD":
        reply = '257 "/"\r\n'
    elif verb == "RNFR":
        renaming[0] = name
        reply = "350 Ready.\r\n"
    elif verb == "RNTO":
        if renaming[0] in sizes:
            sizes[name] = sizes.pop(renaming[0])
        reply = "250 Renamed.\r\n"
    elif verb == "DELE":
        sizes.pop(name, None)
        reply = "250 Deleted.\r\n"
    else:
        return False
    conn.sendall(reply.encode("latin-1"))
    return True


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
    port_address = None
    held_connections = []
    sizes = {}
    stored = [""]
    renaming = [""]
    rest = [0]  # a REST before STOR: the upload continues a file of that size
    for step in script:
        kind = step[0]
        if kind == "send":
            conn.sendall(step[1].encode("latin-1"))
        elif kind == "expect":
            line = reader.readline().decode("latin-1").rstrip("\r\n")
            while bookkeeping(line, conn, script, sizes, renaming):
                line = reader.readline().decode("latin-1").rstrip("\r\n")
            if line.startswith("STOR "):
                stored[0] = line[5:]
            if line.startswith("REST "):
                rest[0] = int(line[5:])
            transcript.write(line + "\n")
            transcript.flush()
            if line.startswith("PORT "):
                n = [int(x) for x in line[5:].split(",")]
                port_address = ("%d.%d.%d.%d" % tuple(n[:4]), n[4] * 256 + n[5])
        elif kind == "feat":
            conn.sendall(step[1].encode("latin-1"))
        elif kind == "pasv":
            data_listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            data_listener.bind(("127.0.0.1", 0))
            data_listener.listen(1)
            port = data_listener.getsockname()[1]
            conn.sendall(step[1].format(p1=port // 256, p2=port % 256).encode("latin-1"))
        elif kind in ("data_recv", "data_send"):
            data = open_data(data_listener, port_address)
            if kind == "data_recv":
                total = 0
                while True:
                    chunk = data.recv(65536)
                    if not chunk:
                        break
                    total += len(chunk)
                transcript.write("DATA %d\n" % total)
                sizes[stored[0]] = rest[0] + total
                rest[0] = 0
            else:
                data.sendall(step[1].encode("latin-1"))
            data.close()
            transcript.flush()
        elif kind == "data_drip":
            # send text a byte at a time, one every `seconds`, then close
            data = open_data(data_listener, port_address)
            try:
                for byte in step[1].encode("latin-1"):
                    data.sendall(bytes([byte]))
                    time.sleep(step[2])
            except OSError:
                pass
            data.close()
        elif kind == "data_hold":
            held_connections.append(open_data(data_listener, port_address))
        elif kind == "data_recv_part":
            data = open_data(data_listener, port_address)
            total = 0
            while total < step[1]:
                chunk = data.recv(min(65536, step[1] - total))
                if not chunk:
                    break
                total += len(chunk)
            data.close()
            transcript.write("DATA %d\n" % total)
            sizes[stored[0]] = total
            transcript.flush()
        elif kind == "stranger":
            held_connections.append(socket.create_connection(port_address, timeout=30,
                                                             source_address=("127.0.0.2", 0)))
            time.sleep(0.2)
        elif kind == "flood":
            try:
                while True:
                    conn.sendall(b"x" * 65536)
            except OSError:
                pass
        elif kind == "flood_replies":
            try:
                while True:
                    conn.sendall(b"200 Jeszcze jedna odpowiedz.\r\n" * 64)
            except OSError:
                pass
        elif kind == "reaccept":
            conn.close()
            conn, _ = server.accept()
            conn.settimeout(30)
            reader = conn.makefile("rb")
        elif kind == "answer":
            # the bookkeeping that follows an upload, for `seconds`
            until = time.monotonic() + step[1]
            while select.select([conn], [], [], max(0, until - time.monotonic()))[0]:
                line = reader.readline().decode("latin-1").rstrip("\r\n")
                if not line or not bookkeeping(line, conn, script, sizes, renaming):
                    break
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
