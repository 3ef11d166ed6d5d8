#!/usr/bin/python3
"""Publishing a 200-file page to a server that answers every command 25 ms
late (bench/slow_ftpd.py on 127.0.0.1), `zentarek --publish` beside lftp's
`mirror -R` of the very files the program sends, as whole processes, the
first of the two alternating round by round.

    python3 bench/incremental_publish.py [build-folder] [rounds] [delay-seconds]

Rows: the first publish into an empty folder (lftp: `mirror -R`), and a
republish after one word of the page changed (lftp: `mirror -R
--only-newer`, with only the page touched in its folder, the least lftp can
be asked to do; the program builds the whole page again and decides
itself). The ratio printed is the median of the rounds' own ratios.
"""
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import socket

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from build_page import GIF  # noqa: E402


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def wait_up(port):
    for _ in range(300):
        try:
            socket.create_connection(("127.0.0.1", port), 0.2).close()
            return
        except OSError:
            time.sleep(0.05)
    raise RuntimeError("server did not start on %d" % port)


def make_project(root, server_port, pictures=199):
    os.makedirs(os.path.join(root, "obrazki"))
    for i in range(pictures):
        with open(os.path.join(root, "obrazki", "p%03d.gif" % i), "wb") as f:
            f.write(GIF + os.urandom(8000))
    text = "<P>Świeże pieczywo codziennie od szóstej rano.</P>\n" + "".join(
        '<IMG SRC="obrazki/p%03d.gif" ALT="zdjęcie">\n' % i for i in range(pictures))
    project = {
        "format": "zentarek-projekt", "wersja": 1,
        "strona": {"typDokumentu": "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">", "kodowanie": "UTF-8",
                   "tytul": "Piekarnia", "nazwaPliku": "index.html", "tekst": text},
        "publikowanie": {"serwer": "127.0.0.1:%d" % server_port, "uzytkownik": "jan", "folder": "zentarek",
                         "szyfrowanie": False},
    }
    path = os.path.join(root, "piekarnia.zentarek")
    with open(path, "w", encoding="utf-8") as f:
        json.dump(project, f, ensure_ascii=False)
    return path


def change_word(project, old, new):
    with open(project, encoding="utf-8") as f:
        p = json.load(f)
    p["strona"]["tekst"] = p["strona"]["tekst"].replace(old, new, 1)
    with open(project, "w", encoding="utf-8") as f:
        json.dump(p, f, ensure_ascii=False)


def whole(args, env):
    t = time.perf_counter()
    p = subprocess.run(args, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if p.returncode != 0:
        raise RuntimeError("%s failed: %s" % (os.path.basename(args[0]), p.stderr[-2000:]))
    return time.perf_counter() - t


def lftp(port, local, remote, only_newer):
    mirror = "mirror -R --no-perms %s%s %s" % ("--only-newer " if only_newer else "", local, remote)
    return ["lftp", "-u", "jan,tajne", "-e", "set cmd:fail-exit yes; set net:max-retries 1; %s; bye" % mirror,
            "ftp://127.0.0.1:%d" % port]


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    delay = float(sys.argv[3]) if len(sys.argv) > 3 else 0.025
    program = os.path.abspath(os.path.join(build, "bin", "zentarek"))
    base = tempfile.mkdtemp(dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    server_root = os.path.join(base, "serwer")
    os.makedirs(server_root)
    port = free_port()
    server = subprocess.Popen(["/usr/bin/python3", os.path.join(os.path.dirname(os.path.abspath(__file__)), "slow_ftpd.py"),
                               server_root, str(port), str(delay)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_up(port)
        source = os.path.join(base, "projekt")
        project = make_project(source, port)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", HOME=os.path.join(base, "home"),
                   XDG_CONFIG_HOME=os.path.join(base, "config"), XDG_CACHE_HOME=os.path.join(base, "cache"),
                   XDG_DATA_HOME=os.path.join(base, "data"), XDG_RUNTIME_DIR=base, ZENTAREK_PASSWORD="tajne")
        # lftp mirrors what the program sends: its own output of the page.
        mirror = os.path.join(base, "lustro")
        whole([program, "--build", project, "--output", mirror], env)
        files = sum(len(f) for _, _, f in os.walk(mirror))
        first = {"ours": [], "lftp": []}
        again = {"ours": [], "lftp": []}
        sent_again = []
        for r in range(rounds):
            for folder in ("zentarek", "lftp"):
                shutil.rmtree(os.path.join(server_root, folder), ignore_errors=True)
            shutil.rmtree(os.path.join(base, "cache"), ignore_errors=True)
            runs = [("ours", lambda: whole([program, "--publish", project], env)),
                    ("lftp", lambda: whole(lftp(port, mirror, "lftp", False), env))]
            for name, run in (runs if r % 2 == 0 else runs[::-1]):
                first[name].append(run())
            word = ("szóstej", "siódmej") if r % 2 == 0 else ("siódmej", "szóstej")
            change_word(project, *word)
            page = os.path.join(mirror, "index.html")
            with open(page, encoding="utf-8") as f:
                html = f.read().replace(word[0], word[1], 1)
            time.sleep(1.1)  # lftp compares whole seconds
            with open(page, "w", encoding="utf-8") as f:
                f.write(html)
            before = os.path.getmtime(os.path.join(server_root, "zentarek", "obrazki", "p000.gif"))
            runs = [("ours", lambda: whole([program, "--publish", project], env)),
                    ("lftp", lambda: whole(lftp(port, mirror, "lftp", True), env))]
            for name, run in (runs if r % 2 == 0 else runs[::-1]):
                again[name].append(run())
            sent_again.append(os.path.getmtime(os.path.join(server_root, "zentarek", "obrazki", "p000.gif")) != before)
        print("Publishing %d files (%d kB) to pyftpdlib answering %d ms late, %d rounds, whole processes:"
              % (files, sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(mirror) for f in fs) // 1000,
                 delay * 1000, rounds))
        for title, rows in (("first publish (lftp mirror -R)", first),
                            ("one word changed (lftp mirror -R --only-newer)", again)):
            ratios = [o / t for o, t in zip(rows["ours"], rows["lftp"])]
            print("  %s: zentarek median %.2f s, lftp %.2f s, ratio zentarek/lftp %.2f (%.2f..%.2f)"
                  % (title, statistics.median(rows["ours"]), statistics.median(rows["lftp"]),
                     statistics.median(ratios), min(ratios), max(ratios)))
        print("  a picture sent again by a republish: %s" % ("yes (a fault)" if any(sent_again) else "never"))
    finally:
        server.terminate()
        server.wait(5)
        shutil.rmtree(base, ignore_errors=True)


if __name__ == "__main__":
    main()
