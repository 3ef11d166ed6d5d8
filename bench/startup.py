#!/usr/bin/python3
"""Start-up time of zentarek beside a minimal Qt 6 program, under Xvfb.

Measures, for each program, the wall time from process start to the main
window's first paint (and, for zentarek, to the end of building the main
window). The two programs take turns, in alternating order, for N rounds;
the ratio printed is the median of the rounds' own ratios, so both sides of
each ratio ran within a second of each other.

    python3 bench/startup.py [build-folder] [runs]
"""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time


def run_once(program, env):
    t0 = time.time_ns()
    proc = subprocess.run([program], env=env, stderr=subprocess.PIPE, stdout=subprocess.DEVNULL,
                          timeout=60, check=True)
    marks = {}
    for line in proc.stderr.decode(errors="replace").splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[0] == "zentarek-startup":
            marks[parts[1]] = (int(parts[2]) - t0) / 1e6
    return marks


def loader_figures(program, env):
    """What the dynamic loader did for one start: the shared objects it
    initialised by the first paint (plug-ins included) and its own start-up
    time, from glibc's LD_DEBUG report."""
    proc = subprocess.run([program], env=dict(env, LD_DEBUG="statistics,files"), stderr=subprocess.PIPE,
                          stdout=subprocess.DEVNULL, timeout=60, check=True)
    text = proc.stderr.decode(errors="replace")
    objects = len(re.findall(r"calling init: (?!/lib64/ld-linux)", text))
    cycles = re.search(r"total startup time in dynamic loader: ([0-9,]+) cycles", text)
    return objects, int(cycles.group(1).replace(",", "")) if cycles else 0


def paired_rounds(first, second, runs, env):
    """Each round runs both programs, the first of them alternating."""
    a, b = [], []
    for round_ in range(runs):
        if round_ % 2 == 0:
            a.append(run_once(first, env))
            b.append(run_once(second, env))
        else:
            b.append(run_once(second, env))
            a.append(run_once(first, env))
    return a, b


def medians(samples):
    return {k: statistics.median(s[k] for s in samples) for k in samples[0]}


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    display = ":93"
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(1.0)
        with tempfile.TemporaryDirectory() as root:
            env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb",
                       ZENTAREK_STARTUP_TRACE="quit",
                       XDG_CONFIG_HOME=root + "/config", XDG_CONFIG_DIRS=root + "/system",
                       XDG_CACHE_HOME=root + "/cache", XDG_RUNTIME_DIR=root)
            os.chmod(root, 0o700)
            run_once(os.path.join(build, "bin", "zentarek"), env)  # first run: store created
            floors, apps = paired_rounds(os.path.join(build, "bench", "bench_startup_floor"),
                                         os.path.join(build, "bin", "zentarek"), runs, env)
            floor, app = medians(floors), medians(apps)
            loader = {name: loader_figures(os.path.join(build, *path), env)
                      for name, path in (("floor", ("bench", "bench_startup_floor")), ("zentarek", ("bin", "zentarek")))}
    finally:
        xvfb.terminate()
        xvfb.wait()
    print(f"median of {runs} paired rounds under Xvfb, the programs alternating (ms from process start)")
    print(f"  floor  (QMainWindow + QTabWidget): first paint {floor['firstpaint']:7.1f}")
    print(f"  zentarek: end of FormCreate {app['formcreate']:7.1f}, first paint {app['firstpaint']:7.1f}")
    steps = ", ".join(f"{k} {v:.1f}" for k, v in sorted(app.items(), key=lambda kv: kv[1]))
    print(f"  zentarek marks: {steps}")
    for name, (objects, cycles) in loader.items():
        print(f"  {name}: {objects} shared objects initialised by the first paint, "
              f"{cycles / 1e6:.1f} M cycles in the dynamic loader's start")
    ratio = statistics.median(a['firstpaint'] / f['firstpaint'] for a, f in zip(apps, floors))
    print(f"  ratio zentarek / floor (first paint), paired by round: {ratio:.2f} (goal: at most 1.10)")


if __name__ == "__main__":
    main()
