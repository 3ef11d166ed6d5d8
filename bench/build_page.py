#!/usr/bin/python3
"""`zentarek --build` of a large project beside `cp -r` of the same files.

A project whose main text is about 5 MB with 200 pictures in its folder;
both tools run as whole processes (start to exit), taking turns round by
round, the first of the two alternating; the ratio printed is the median of
the rounds' own ratios. Output folders are on the same file system as the
project (a tmpfs where there is one, so the disk's own pace is not measured).

    python3 bench/build_page.py [build-folder] [rounds] [disk]

With "disk" the folders are under /var/tmp instead: the syncs that make
every written file count are then paid as a user's disk pays them (cp -r
syncs nothing, so this ratio flatters cp).
"""
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

# A 1 x 1 GIF: the pictures are copied, never decoded, by both tools.
GIF = bytes.fromhex("47494638396101000100800000000000ffffff21f90401000000002c00000000010001000002024401003b")


def make_project(root, pictures=200, megabytes=5):
    os.makedirs(os.path.join(root, "obrazki"))
    for i in range(pictures):
        with open(os.path.join(root, "obrazki", "p%03d.gif" % i), "wb") as f:
            f.write(GIF + os.urandom(20000))  # 20 kB each, as small photos are
    line = "<P>Świeże pieczywo codziennie od szóstej rano, zapraszamy do piekarni na rogu.</P>\n"
    lines = []
    size = 0
    i = 0
    while size < megabytes << 20:
        text = line if i % 500 else '<IMG SRC="obrazki/p%03d.gif" ALT="zdjęcie">\n' % ((i // 500) % pictures)
        lines.append(text)
        size += len(text.encode("utf-8"))
        i += 1
    for p in range(pictures):  # every picture referenced at least once
        lines.append('<IMG SRC="obrazki/p%03d.gif">\n' % p)
    project = {
        "format": "zentarek-projekt", "wersja": 1,
        "strona": {
            "sekcje": {"naglowki": True, "odnosniki": False, "adresy": False},
            "typDokumentu": "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">",
            "tlo": {"rodzaj": "kolor", "kolor": "#ffffff", "obraz": ""},
            "kodowanie": "UTF-8",
            "tytul": "Piekarnia", "nazwaPliku": "index.html",
            "naglowek": {"tekst": "Piekarnia", "wyrownanie": "srodek", "kolor": "#000080"},
            "tekst": "".join(lines),
        },
    }
    path = os.path.join(root, "piekarnia.zentarek")
    with open(path, "w", encoding="utf-8") as f:
        json.dump(project, f, ensure_ascii=False)
    return path


def whole(args, env):
    t = time.perf_counter()
    subprocess.run(args, check=True, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - t


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    program = os.path.abspath(os.path.join(build, "bin", "zentarek"))
    on_disk = len(sys.argv) > 3 and sys.argv[3] == "disk"
    base = tempfile.mkdtemp(dir="/var/tmp" if on_disk or not os.path.isdir("/dev/shm") else "/dev/shm")
    try:
        source = os.path.join(base, "projekt")
        project = make_project(source)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=os.path.join(base, "config"),
                   XDG_CACHE_HOME=os.path.join(base, "cache"), XDG_RUNTIME_DIR=base)
        ours, theirs = [], []
        for r in range(rounds):
            out = os.path.join(base, "out")
            copy = os.path.join(base, "kopia")
            runs = [("ours", lambda: whole([program, "--build", project, "--output", out], env)),
                    ("cp", lambda: whole(["cp", "-r", source, copy], env))]
            if r % 2:
                runs.reverse()
            for name, run in runs:
                shutil.rmtree(out, ignore_errors=True)
                shutil.rmtree(copy, ignore_errors=True)
                (ours if name == "ours" else theirs).append(run())
        size = os.path.getsize(project)
        print("zentarek --build of a %.1f MB project with 200 pictures of 20 kB, beside cp -r of its folder; "
              "%d rounds, whole processes, alternating; in %s" % (size / 1e6, rounds, base))
        print("  zentarek --build: median %.3f s (%.3f..%.3f)" % (statistics.median(ours), min(ours), max(ours)))
        print("  cp -r:            median %.3f s (%.3f..%.3f)" % (statistics.median(theirs), min(theirs), max(theirs)))
        ratio = statistics.median(o / t for o, t in zip(ours, theirs))
        print("  ratio, paired by round: %.2f (goal: at most 3)" % ratio)
    finally:
        shutil.rmtree(base, ignore_errors=True)


if __name__ == "__main__":
    main()
