#!/usr/bin/python3
"""Publishing to a server that answers every command 25 ms late
(bench/slow_ftpd.py on 127.0.0.1): `zentarek --publish` with 1, 2 and 4
connections beside lftp's `mirror -R` (and `--parallel=4`) and curl's `-T`
(one connection, and `--parallel-max 4`) of the very files the program sends,
every tool a whole process, the order rotated round by
round; each ratio is the median of the rounds' own ratios.

    python3 bench/incremental_publish.py [build-folder] [rounds] [delay-seconds] [republish]

Sets: a page with 199 pictures of 8 kB, and one with 499 of 4 kB. For the
first, also a republish after one changed word: the program builds the page
again and decides itself; lftp `mirror -R --only-newer` gets the folder
exported again (what a user does) and, its best case, only the page touched.
"""
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from urllib.parse import quote

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from build_page import GIF  # noqa: E402
from local_servers import free_port, wait_up  # noqa: E402


def make_project(root, server_port, pictures=199, size=8000):
    os.makedirs(os.path.join(root, "obrazki"))
    for i in range(pictures):
        with open(os.path.join(root, "obrazki", "p%03d.gif" % i), "wb") as f:
            f.write(GIF + os.urandom(size - len(GIF)))
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


def set_folder(project, folder):
    with open(project, encoding="utf-8") as f:
        p = json.load(f)
    p["publikowanie"]["folder"] = folder
    with open(project, "w", encoding="utf-8") as f:
        json.dump(p, f, ensure_ascii=False)


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


def lftp(port, local, remote, options=""):
    mirror = "mirror -R --no-perms %s %s %s" % (options, local, remote)
    return ["lftp", "-u", "jan,tajne", "-e", "set cmd:fail-exit yes; set net:max-retries 1; %s; bye" % mirror,
            "ftp://127.0.0.1:%d" % port]


def curl(port, local, remote, parallel=False):
    """curl -T of every file of the folder, one URL each; one connection
    reused from file to file, or with --parallel up to four at once."""
    args = ["curl", "-sS", "--fail", "--ftp-create-dirs", "-u", "jan:tajne"]
    if parallel:
        args += ["--parallel", "--parallel-max", "4"]
    for folder, _, names in os.walk(local):
        for name in sorted(names):
            path = os.path.join(folder, name)
            args += ["-T", path, "ftp://127.0.0.1:%d/%s/%s" % (port, remote, quote(os.path.relpath(path, local)))]
    return args


def paired(rows, rounds, before_each):
    """Each tool once a round, the order rotated round by round; `before_each`
    empties what the tool is about to fill."""
    times = {name: [] for name, _ in rows}
    for r in range(rounds):
        order = rows[r % len(rows):] + rows[:r % len(rows)]
        for name, run in order:
            before_each(name)
            times[name].append(run())
    return times


def report(title, times, reference):
    print("  " + title)
    for name, t in times.items():
        line = "    %-46s median %6.2f s (%.2f..%.2f)" % (name, statistics.median(t), min(t), max(t))
        if name != reference:
            line += ", %s / %s: %.2f" % (name.split(" ")[0], reference, statistics.median(
                [a / b for a, b in zip(t, times[reference])]))
        print(line)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    delay = float(sys.argv[3]) if len(sys.argv) > 3 else 0.025
    program = os.path.abspath(os.path.join(build, "bin", "zentarek"))
    base = tempfile.mkdtemp(dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    server_root = os.path.join(base, "serwer")
    os.makedirs(server_root)
    port = free_port()
    only = sys.argv[4] if len(sys.argv) > 4 else ""  # "republish": that row alone
    server_log = open(os.path.join(base, "serwer.log"), "w")
    server = subprocess.Popen(["/usr/bin/python3", os.path.join(os.path.dirname(os.path.abspath(__file__)), "slow_ftpd.py"),
                               server_root, str(port), str(delay)], stdout=server_log, stderr=subprocess.STDOUT)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", HOME=os.path.join(base, "home"),
               XDG_CONFIG_HOME=os.path.join(base, "config"), XDG_CACHE_HOME=os.path.join(base, "cache"),
               XDG_DATA_HOME=os.path.join(base, "data"), XDG_RUNTIME_DIR=base, ZENTAREK_PASSWORD="tajne")

    # Every publication into a new, empty folder of the server's: removing
    # folders under a running pyftpdlib can pull its working folder away.
    target = {"n": 0}

    def empty(name):
        target["n"] += 1
        set_folder(project, "zentarek-%d" % target["n"])
        shutil.rmtree(os.path.join(base, "cache"), ignore_errors=True)

    try:
        wait_up(port)
        sys.stdout.reconfigure(line_buffering=True)
        print("To pyftpdlib answering every command %d ms late, %d rounds, whole processes, order rotated:"
              % (delay * 1000, rounds))
        for pictures, size in ((199, 8000), (499, 4096)):
            source = os.path.join(base, "projekt%d" % pictures)
            project = make_project(source, port, pictures, size)
            mirror = os.path.join(base, "lustro%d" % pictures)
            whole([program, "--build", project, "--output", mirror], env)  # lftp sends what the program sends
            files = sum(len(f) for _, _, f in os.walk(mirror))
            zentarek = lambda *extra: lambda: whole([program, "--publish", project, *extra], env)  # noqa: E731
            remote = lambda: "lftp-%d" % target["n"]  # noqa: E731
            rows = [("zentarek --connections 1", zentarek("--connections", "1")),
                    ("zentarek (2 connections)", zentarek()),
                    ("zentarek --connections 4", zentarek("--connections", "4")),
                    ("lftp mirror -R", lambda: whole(lftp(port, mirror, remote()), env)),
                    ("lftp mirror -R --parallel=4", lambda: whole(lftp(port, mirror, remote(), "--parallel=4"), env)),
                    ("curl -T, one connection", lambda: whole(curl(port, mirror, remote()), env)),
                    ("curl -T --parallel-max 4", lambda: whole(curl(port, mirror, remote(), True), env))]
            if only != "republish":
                report("first publish of %d files into an empty folder:" % files, paired(rows, rounds, empty),
                       "lftp mirror -R")
            if pictures != 199:
                continue
            # One word changed: the program builds the page again and decides
            # itself; lftp gets the folder rebuilt (what exporting again does)
            # or, its best case, only the page touched.
            rebuilt = os.path.join(base, "przebudowany")
            state = {"word": 0}

            def change(name):
                words = ("szóstej", "siódmej") if state["word"] % 2 == 0 else ("siódmej", "szóstej")
                state["word"] += 1
                change_word(project, *words)
                time.sleep(1.1)  # lftp compares whole seconds
                if name == "lftp --only-newer, folder rebuilt":
                    shutil.rmtree(rebuilt, ignore_errors=True)
                    whole([program, "--build", project, "--output", rebuilt], env)
                elif name == "lftp --only-newer, only the page touched":
                    page = os.path.join(mirror, "index.html")
                    with open(page, encoding="utf-8") as f:
                        html = f.read().replace(*words, 1)
                    with open(page, "w", encoding="utf-8") as f:
                        f.write(html)
            empty("zentarek")
            lftp_folder = remote()
            whole([program, "--publish", project], env)
            whole(lftp(port, mirror, lftp_folder), env)
            picture = os.path.join(server_root, "zentarek-%d" % target["n"], "obrazki", "p000.gif")
            before = os.path.getmtime(picture)
            rows = [("zentarek (2 connections)", zentarek()),
                    ("lftp --only-newer, folder rebuilt", lambda: whole(lftp(port, rebuilt, lftp_folder, "--only-newer"), env)),
                    ("lftp --only-newer, only the page touched",
                     lambda: whole(lftp(port, mirror, lftp_folder, "--only-newer"), env))]
            report("republish after one changed word:", paired(rows, rounds, change), "zentarek (2 connections)")
            resent = os.path.getmtime(picture) != before
            print("    a picture sent again by the program's republish: %s" % ("yes (a fault)" if resent else "never"))
    except RuntimeError:
        server_log.flush()
        print("the server's last lines:\n" + "".join(open(server_log.name).readlines()[-15:]))
        raise
    finally:
        server.terminate()
        server.wait(5)
        shutil.rmtree(base, ignore_errors=True)


if __name__ == "__main__":
    main()
