"""SFTP upload beside OpenSSH's sftp -b, both into one sshd on 127.0.0.1.

    /usr/bin/python3 bench/sftp_upload.py build 5

Starts sshd with a configuration, host key and client key of its own (files on
/dev/shm where there is one), then in each round uploads one 200 MB file and
500 files of 4 kB with bench_sftp (the program's SFTP client, one session)
and with `sftp -b`, in an order that alternates by round. Both are timed as
whole processes (login and the end of the session included) with
time.perf_counter around the process; every file is compared with what
landed. Prints the medians, our transfer-only time beside, our peak memory,
and the median of the rounds' own ratios. Goal: at least 0.9x sftp in both
rows (a ratio sftp/ours of 0.9 or more), memory under 40 MB.
"""
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from local_servers import free_port, wait_up, whole_process as timed  # noqa: E402

BUILD, RUNS = sys.argv[1], int(sys.argv[2])
BENCH = os.path.join(BUILD, "bench", "bench_sftp")
STALL_LIMIT = 120
# e.g. "-c aes256-gcm@openssh.com": sftp with the cipher our client chose
SFTP_EXTRA = sys.argv[3].split() if len(sys.argv) > 3 else []


def whole_process(args, env):
    elapsed, out, stalled = timed(args, env, STALL_LIMIT)
    if stalled:
        raise RuntimeError("%s stalled" % os.path.basename(args[0]))
    return elapsed, out


def keygen(path, kind="ed25519"):
    subprocess.run(["/usr/bin/ssh-keygen", "-q", "-t", kind, "-N", "", "-f", path], check=True)


def start_sshd(base):
    port = free_port()
    root = os.path.join(base, "root")
    os.makedirs(root)
    keygen(os.path.join(base, "host"))
    keygen(os.path.join(base, "client"))
    shutil.copy(os.path.join(base, "client.pub"), os.path.join(base, "authorized_keys"))
    config = os.path.join(base, "sshd_config")
    with open(config, "w") as f:
        f.write("Port %d\nListenAddress 127.0.0.1\nHostKey %s/host\nPidFile %s/sshd.pid\n"
                "AuthorizedKeysFile %s/authorized_keys\nStrictModes no\nUsePAM no\nPermitRootLogin yes\n"
                "LogLevel ERROR\nSubsystem sftp internal-sftp -d %s\n" % (port, base, base, base, root))
    if os.getuid() == 0:
        os.makedirs("/run/sshd", exist_ok=True)
    server = subprocess.Popen(["/usr/sbin/sshd", "-D", "-e", "-f", config], stderr=subprocess.DEVNULL)
    wait_up(port)
    return server, port, root


def fingerprint(pub):
    out = subprocess.run(["/usr/bin/ssh-keygen", "-l", "-E", "sha256", "-f", pub], capture_output=True, text=True).stdout
    return re.search(r"SHA256:\S+", out).group(0)


def main():
    base = tempfile.mkdtemp(prefix="zk-sftp-", dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    server, port, root = start_sshd(base)
    try:
        home = os.path.join(base, "home")
        os.makedirs(os.path.join(home, ".ssh"))
        shutil.copy(os.path.join(base, "client"), os.path.join(home, ".ssh", "id_ed25519"))
        os.chmod(os.path.join(home, ".ssh", "id_ed25519"), 0o600)
        env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
                   ZK_BENCH_HOST_KEY=fingerprint(os.path.join(base, "host.pub")))
        env.pop("SSH_AUTH_SOCK", None)
        user = subprocess.run(["id", "-un"], capture_output=True, text=True).stdout.strip()
        files = os.path.join(base, "files")
        os.makedirs(os.path.join(files, "small"))
        big = os.path.join(files, "200MB.bin")
        with open(big, "wb") as f:
            f.write(os.urandom(200 * 1024 * 1024))
        small = []
        for i in range(500):
            small.append(os.path.join(files, "small", "f%03d.bin" % i))
            with open(small[-1], "wb") as f:
                f.write(os.urandom(4096))
        rows = [("200 MB", [big]), ("500 x 4 kB", small)]
        user_known = os.path.join(base, "known_hosts")
        for name, chosen in rows:
            times = {"ours": [], "sftp": []}
            transfer, peaks = [], []
            for r in range(RUNS):
                order = ["ours", "sftp"] if r % 2 == 0 else ["sftp", "ours"]
                for tool in order:
                    target = os.path.join(root, "%s-%d" % (tool, r))
                    os.makedirs(target)
                    if tool == "ours":
                        elapsed, out = whole_process([BENCH, "127.0.0.1:%d" % port, user, target] + chosen, env)
                        fields = dict(kv.split("=") for kv in out.split())
                        transfer.append(float(fields["upload_ms"]) / 1000)
                        peaks.append(int(fields["peak_kb"]))
                    else:
                        batch = os.path.join(base, "batch")
                        with open(batch, "w") as f:
                            f.write("cd %s\n" % target)
                            for c in chosen:
                                f.write("put %s\n" % c)
                        elapsed, _ = whole_process(["/usr/bin/sftp", "-q", "-b", batch, "-P", str(port)] + SFTP_EXTRA + [
                                                    "-i", os.path.join(base, "client"),
                                                    "-o", "StrictHostKeyChecking=accept-new",
                                                    "-o", "UserKnownHostsFile=" + user_known,
                                                    "%s@127.0.0.1" % user], env)
                    times[tool].append(elapsed)
                    for c in chosen:
                        landed = os.path.join(target, os.path.basename(c))
                        if open(landed, "rb").read() != open(c, "rb").read():
                            raise RuntimeError("%s: %s differs" % (tool, landed))
                    shutil.rmtree(target)
            ratio = statistics.median(s / o for s, o in zip(times["sftp"], times["ours"]))
            print("%-11s ours %.3f s (transfer %.3f s, peak %.1f MB)  sftp -b %.3f s  sftp/ours %.2f (goal >= 0.9)"
                  % (name, statistics.median(times["ours"]), statistics.median(transfer), max(peaks) / 1024,
                     statistics.median(times["sftp"]), ratio), flush=True)
    finally:
        server.kill()
        server.wait()
        shutil.rmtree(base, ignore_errors=True)


main()
