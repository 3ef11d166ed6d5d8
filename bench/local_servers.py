"""What the benchmarks share: servers on 127.0.0.1 and timing whole processes."""
import os
import socket
import subprocess
import threading
import time


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


def whole_process(args, env=None, limit=20):
    """Wall time of a tool from before its start to its exit (login and the
    end of the session included), its output, and whether the watchdog had to
    stop it at `limit` seconds (then the time is the whole limit). No
    subprocess timeout: its exit polling sleeps in doubling steps, and a 20 ms
    run read as 32 ms."""
    t = time.perf_counter()
    p = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    watchdog = threading.Timer(limit, p.kill)
    watchdog.start()
    out, err = p.communicate()
    elapsed = time.perf_counter() - t
    watchdog.cancel()
    stalled = p.returncode == -9
    if p.returncode != 0 and not stalled:
        raise RuntimeError("%s failed: %s %s" % (os.path.basename(args[0]), out.strip(), err.strip()))
    return (limit if stalled else elapsed), out, stalled
