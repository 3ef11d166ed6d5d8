"""Driver of bench/ftp_upload.sh: servers, files, runs, medians and ratios."""
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from local_servers import free_port, wait_up, whole_process as timed  # noqa: E402

BUILD, RUNS = sys.argv[1], int(sys.argv[2])
ONLY = sys.argv[3].split(",") if len(sys.argv) > 3 else None  # e.g. "20MB,500x4KB"
SERVERS = sys.argv[4].split(",") if len(sys.argv) > 4 else None  # e.g. "vsftpd-TLS"
BENCH = os.path.join(BUILD, "bench", "bench_ftp")
TLS_HELPER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "publish", "tls_ftp.py")
CA = None  # the test authority's certificate while the FTPS rows run
# This curl sometimes waits a second before each data connection to vsftpd
# (its own timer); 500 files then take minutes a run. A watchdog stops such a
# run at this limit and it is counted as taking the whole limit, which only
# favours the tool that stalled.
STALL_LIMIT = 20


def whole_process(args, env=None):
    return timed(args, env, STALL_LIMIT)


def start_pyftpdlib(root):
    port = free_port()
    p = subprocess.Popen(["/usr/bin/python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", str(port), "-w",
                          "-d", root, "-u", "jan", "-P", "tajne"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_up(port)
    return p, port, "jan", "tajne", "."


def start_vsftpd(base, certificates=None):
    """vsftpd; with certificates, TLS required for the login and the data."""
    base = os.path.join(base, "tls" if certificates else "plain")
    root = os.path.join(base, "vsroot")
    os.makedirs(os.path.join(root, "upload"))
    os.chmod(os.path.join(root, "upload"), 0o777)
    os.makedirs(os.path.join(base, "empty"))
    # a wide passive range below the ephemeral ports: 500 files per run leave
    # many ports in TIME_WAIT, which vsftpd cannot bind again
    port, pasv = free_port(), 20000
    conf = os.path.join(base, "vsftpd.conf")
    with open(conf, "w") as f:
        f.write("listen=YES\nlisten_address=127.0.0.1\nlisten_port=%d\nlisten_ipv6=NO\nbackground=NO\n"
                "run_as_launching_user=YES\nanonymous_enable=YES\nlocal_enable=NO\nwrite_enable=YES\n"
                "anon_upload_enable=YES\nanon_other_write_enable=YES\nanon_root=%s\nno_anon_password=YES\n"
                "pasv_min_port=%d\npasv_max_port=%d\nsecure_chroot_dir=%s\nseccomp_sandbox=NO\nisolate=NO\n"
                "isolate_network=NO\nxferlog_enable=NO\nconnect_from_port_20=NO\nanon_umask=022\n"
                % (port, root, pasv, pasv + 12000, os.path.join(base, "empty")))
        if certificates:
            # require_ssl_reuse=NO: this curl does not take up the control
            # session on later data connections ("522 ... session reuse
            # required" for every file after the first); T_FTP does either way.
            f.write("ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\nforce_anon_data_ssl=YES\n"
                    "require_ssl_reuse=NO\nrsa_cert_file=%s\nrsa_private_key_file=%s\n"
                    % (os.path.join(certificates, "good.pem"), os.path.join(certificates, "good.key")))
    p = subprocess.Popen(["/usr/sbin/vsftpd", conf], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_up(port)
    return p, port, "anonymous", "x", "upload"


def environment():
    env = dict(os.environ)
    if CA:
        env.update(ZK_BENCH_TLS="1", SSL_CERT_FILE=CA)
    return env


# Each tool returns (whole-process seconds, transfer-only seconds or None,
# login seconds, peak kB, stalled).
def ours(port, user, password, folder, files, passive, asynchronous):
    elapsed, out, stalled = whole_process([BENCH, "127.0.0.1:%d" % port, user, password, "pasv" if passive else "port",
                                           "async" if asynchronous else "sync", folder] + files, env=environment())
    if stalled:
        return elapsed, None, 0.0, 0, True
    fields = dict(kv.split("=") for kv in out.split())
    return elapsed, float(fields["upload_ms"]) / 1000, float(fields["login_ms"]) / 1000, int(fields["peak_kb"]), False


def curl(port, user, password, folder, files, passive, asynchronous):
    url = "ftp://127.0.0.1:%d/%s/" % (port, "" if folder == "." else folder)
    args = ["curl", "-s", "-S", "--user", "%s:%s" % (user, password), "-T", "{%s}" % ",".join(files), url]
    if not passive:
        args[1:1] = ["-P", "127.0.0.1"]  # "-" fails over TLS in this curl (inet_ntop, errno 97)
    if CA:
        args[1:1] = ["--ssl-reqd", "--cacert", CA]
    elapsed, _, stalled = whole_process(args)
    return elapsed, None, 0.0, 0, stalled


# ftplib runs in a process of its own, as curl and bench_ftp do: timed in the
# driver's own warm process it gained up to a third on 20 MB files from
# nothing but that process's warmth.
FTPLIB = """
import ftplib, os, sys, time
port, user, password, folder, passive = sys.argv[1:6]
t0 = time.perf_counter()
f = ftplib.FTP()
f.connect("127.0.0.1", int(port))
f.login(user, password)
f.set_pasv(passive == "1")
if folder != ".":
    f.cwd(folder)
t = time.perf_counter()
for name in sys.argv[6:]:
    with open(name, "rb") as data:
        f.storbinary("STOR " + os.path.basename(name), data, blocksize=32512)
elapsed = time.perf_counter() - t
f.quit()
print(elapsed, t - t0)
"""


def pyftp(port, user, password, folder, files, passive, asynchronous):
    elapsed, out, stalled = whole_process(["/usr/bin/python3", "-c", FTPLIB, str(port), user, password, folder,
                                           "1" if passive else "0"] + files)
    if stalled:
        return elapsed, None, 0.0, 0, True
    transfer, login = (float(x) for x in out.split())
    return elapsed, transfer, login, 0, False


def time_waits():
    """Connections of this machine waiting out TIME_WAIT (they hold a port)."""
    count = 0
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            with open(table) as f:
                count += sum(1 for line in f if line.split()[3:4] == ["06"])
        except OSError:
            pass
    return count


def let_ports_free():
    """Many runs of 500 files in a row leave tens of thousands of ports in
    TIME_WAIT for a minute; once they run out, whichever tool is next fails to
    open a data connection. Between runs, never within one, wait for them."""
    deadline = time.monotonic() + 120
    while time_waits() > 8000 and time.monotonic() < deadline:
        time.sleep(1)


def same(files, landed):
    for name in files:
        with open(name, "rb") as a, open(os.path.join(landed, os.path.basename(name)), "rb") as b:
            if a.read() != b.read():
                raise RuntimeError("%s differs on the server" % name)


def measure_all(tools, server, files, landed, passive):
    """Runs the tools in turn, once per round, so that whatever drifts in the
    background (the disk writing out earlier files) falls on all of them, and
    in another order each round (the same orders in every run of the script):
    the first of a round pays for the writing out of the previous round's
    files, and what one tool leaves behind falls on the next, so no tool may
    always come first or after the same one. A tool never runs twice in a
    row: curl sending 500 files to vsftpd right after it had done so hung on
    connecting to the passive ports, for minutes."""
    samples = {name: ([], [], [], []) for name, _, _ in tools}
    stalled = {}
    order = random.Random(1998)
    os.sync()
    last = None
    for _ in range(RUNS):
        turn = order.sample(tools, len(tools))
        while turn[0] is last:  # a tool right after itself meets its own closing connections
            turn = order.sample(tools, len(tools))
        last = turn[-1]
        for name, tool, asynchronous in turn:
            for f in files:
                target = os.path.join(landed, os.path.basename(f))
                if os.path.exists(target):
                    os.remove(target)
            let_ports_free()
            t, transfer, login, peak, stopped = tool(*server, files, passive, asynchronous)
            if stopped:
                stalled[name] = stalled.get(name, 0) + 1
            else:
                same(files, landed)
            times, transfers, logins, peaks = samples[name]
            times.append(t)
            if transfer is not None:
                transfers.append(transfer)
            logins.append(login)
            peaks.append(peak)
    return {name: (statistics.median(t), min(t), max(t), statistics.median(l), max(p), t,
                   statistics.median(x) if x else None)
            for name, (t, x, l, p) in samples.items()}, stalled


def paired(results, other, ours="T_FTP sync"):
    """The median of the rounds' own ratios: the tools of one round run within
    a second of each other, so they share whatever phase this machine is in
    (whole runs here vary by half from one minute to the next), where a ratio
    of medians may set one tool's slow phase against another's fast one."""
    return statistics.median(o / u for o, u in zip(results[other][5], results[ours][5]))


def main():
    # Files and servers in memory where there is a tmpfs: the disk writing out
    # what earlier runs received made single runs of 10 ms vary by half.
    base = tempfile.mkdtemp(dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    data = os.path.join(base, "data")
    os.makedirs(os.path.join(data, "small"))
    sets = {}
    for label, size in (("200MB", 200 << 20), ("20MB", 20 << 20)):
        name = os.path.join(data, "file_%s.bin" % label)
        with open(name, "wb") as f:
            f.write(os.urandom(size))
        sets[label] = [name]
    small = []
    for i in range(500):
        name = os.path.join(data, "small", "s%03d.bin" % i)
        with open(name, "wb") as f:
            f.write(os.urandom(4096))
        small.append(name)
    sets["500x4KB"] = small
    pyroot = os.path.join(base, "pyroot")
    os.makedirs(pyroot)
    servers = []
    try:
        p = start_pyftpdlib(pyroot)
        servers.append(("pyftpdlib", p, pyroot))
        v = start_vsftpd(base)
        servers.append(("vsftpd", v, os.path.join(base, "plain", "vsroot", "upload")))
        certificates = os.path.join(base, "certificates")
        os.makedirs(certificates)
        subprocess.run(["/usr/bin/python3", TLS_HELPER, "certificates", certificates], check=True)
        t = start_vsftpd(base, certificates)
        servers.append(("vsftpd-TLS", t, os.path.join(base, "tls", "vsroot", "upload")))
        print("median of %d runs (min..max), each tool timed as a whole process (start to exit, login and QUIT"
              " included), the tools taking turns; bytes compared after every run" % RUNS)
        global CA
        for sname, (proc, port, user, password, folder), landed in servers:
            if SERVERS and sname not in SERVERS:
                continue
            server = (port, user, password, folder)
            tls = sname.endswith("TLS")
            CA = os.path.join(certificates, "ca.pem") if tls else None
            for label, files in sets.items():
                if ONLY and label not in ONLY:
                    continue
                total = sum(os.path.getsize(f) for f in files)
                # curl's active mode fails over TLS here ("(55) sa_addr inet_ntop() failed
                # with errno 97"), so the FTPS rows are passive only.
                for passive in ((True,) if tls else (True, False)):
                    mode = "PASV" if passive else "PORT"
                    tools = (("T_FTP sync", ours, False), ("T_FTP async", ours, True), ("curl", curl, False))
                    if not tls:
                        tools += (("ftplib", pyftp, False),)
                    results, stalled = measure_all(tools, server, files, landed, passive)
                    line = []
                    for tool, (med, lo, hi, login, peak, _, transfer) in results.items():
                        rate = ("%.0f MB/s" % (total / med / 1e6)) if len(files) == 1 else ("%.0f files/s" % (len(files) / med))
                        extra = (" login %.1f ms, peak %d MB" % (login * 1000, peak // 1024)) if tool.startswith("T_FTP") else ""
                        if transfer is not None:
                            extra += "; transfer only %.3f s" % transfer
                        line.append("%s %.3f s (%.3f..%.3f) %s%s" % (tool, med, lo, hi, rate, extra))
                    print("%-9s %-8s %s" % (sname, label, mode))
                    for entry in line:
                        print("    " + entry)
                    for name, count in stalled.items():
                        print("    (%s: %d of %d runs stopped at %d s)" % (name, count, RUNS, STALL_LIMIT))
                    ftplib = (", vs ftplib %.2fx" % paired(results, "ftplib")) if "ftplib" in results else ""
                    print("    whole processes, paired by round (their time / ours, above 1: we are faster): vs curl %.2fx%s;"
                          " async/sync time %.2f" % (paired(results, "curl"), ftplib, paired(results, "T_FTP async")))
    finally:
        for _, (proc, *rest), _ in servers:
            proc.kill()
            proc.wait()
        shutil.rmtree(base, ignore_errors=True)


if __name__ == "__main__":
    main()
