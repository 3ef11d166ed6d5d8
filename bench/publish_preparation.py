#!/usr/bin/python3
"""What a publication costs before anything is sent: `zentarek --publish
--dry-run` of a page with 20 photos of 10 MB (the program reads and hashes
every file, logs in, reads the server and prints its plan) beside
`sha256sum` of the same photos, the floor of reading them once. Both are
whole processes, in rounds that run both, the first alternating; the ratio
is the median of the rounds' own. The server is bench/slow_ftpd.py on
127.0.0.1 without a delay.

    python3 bench/publish_preparation.py [build-folder] [rounds]
"""
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from incremental_publish import make_project  # noqa: E402
from local_servers import free_port, wait_up, whole_process  # noqa: E402


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    program = os.path.abspath(os.path.join(build, "bin", "zentarek"))
    base = tempfile.mkdtemp(dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    server = None
    try:
        os.makedirs(os.path.join(base, "serwer"))
        port = free_port()
        project = make_project(os.path.join(base, "projekt"), port, pictures=20, size=10_000_000)
        with open(project, encoding="utf-8") as f:
            p = json.load(f)
        p["publikowanie"]["folder"] = "zentarek"
        with open(project, "w", encoding="utf-8") as f:
            json.dump(p, f, ensure_ascii=False)
        server = subprocess.Popen(["/usr/bin/python3", os.path.join(os.path.dirname(os.path.abspath(__file__)), "slow_ftpd.py"),
                                   os.path.join(base, "serwer"), str(port), "0"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_up(port)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", HOME=os.path.join(base, "home"),
                   XDG_CONFIG_HOME=os.path.join(base, "config"), XDG_CACHE_HOME=os.path.join(base, "cache"),
                   XDG_DATA_HOME=os.path.join(base, "data"), XDG_RUNTIME_DIR=base, ZENTAREK_PASSWORD="tajne")
        photos = sorted(os.path.join(base, "projekt", "obrazki", n) for n in os.listdir(os.path.join(base, "projekt", "obrazki")))
        runs = [("ours", [program, "--publish", project, "--dry-run"]), ("sha256sum", ["sha256sum", *photos])]
        whole_process(runs[0][1], env, 60)  # the page cache holds every photo for both
        times = {name: [] for name, _ in runs}
        for r in range(rounds):
            for name, args in (runs if r % 2 == 0 else runs[::-1]):
                elapsed, _, stalled = whole_process(args, env, 60)
                if stalled:
                    raise RuntimeError("%s stalled" % name)
                times[name].append(elapsed)
        print("20 photos of 10 MB: zentarek --publish --dry-run beside sha256sum of them; %d rounds, "
              "whole processes, alternating" % rounds)
        for name, t in times.items():
            print("  %-10s median %.3f s (%.3f..%.3f)" % (name, statistics.median(t), min(t), max(t)))
        ratio = statistics.median(a / b for a, b in zip(times["ours"], times["sha256sum"]))
        print("  ratio, paired by round: %.2f (goal: at most 1)" % ratio)
    finally:
        if server:
            server.terminate()
            server.wait()
        shutil.rmtree(base, ignore_errors=True)


if __name__ == "__main__":
    main()
