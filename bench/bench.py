#!/usr/bin/env python3
"""Times VELDRAN against cat (the I/O limit) and GNU m4 on the workloads of
gen.py; called by bench/run.sh, which documents the options."""

import argparse
import hashlib
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True
import gen  # noqa: E402

TIME = "/usr/bin/time"
MARK_START = "<!-- bench-table:start -->"
MARK_END = "<!-- bench-table:end -->"


def die(msg):
    sys.stderr.write("\nBENCH FAILED: %s\n" % msg)
    sys.exit(1)


class Tool:
    def __init__(self, name, argv, stdin=None, stdout_is_output=False):
        self.name = name
        self.argv = argv
        self.stdin = stdin
        # cat and m4 write their result to standard output; VELDRAN writes
        # it to the file named by its second argument and its messages to
        # standard output.
        self.stdout_is_output = stdout_is_output


class Workload:
    def __init__(self, key, title, size, tools, expected=None):
        self.key = key
        self.title = title
        self.size = size
        self.tools = tools
        self.expected = expected
        self.times = {}
        self.rss = {}
        self.console = ""


def run_tool(tool, out, cwd, measure_memory=False):
    """Runs one tool once; returns (seconds, peak RSS in KiB or None,
    console text of VELDRAN)."""
    if os.path.exists(out):
        os.unlink(out)
    argv = [a.replace("{out}", out) for a in tool.argv]
    memfile = None
    if measure_memory:
        memfile = os.path.join(cwd, "time-v.txt")
        argv = [TIME, "-v", "-o", memfile] + argv
    so = open(out, "wb") if tool.stdout_is_output else subprocess.PIPE
    try:
        t0 = time.perf_counter()
        p = subprocess.run(argv, cwd=cwd, stdout=so, stderr=subprocess.PIPE)
        t1 = time.perf_counter()
    finally:
        if tool.stdout_is_output:
            so.close()
    if p.returncode != 0:
        die("%s exited with %d: %s\n%s" % (tool.name, p.returncode, " ".join(argv),
                                           p.stderr.decode("latin-1")[-2000:]))
    rss = None
    if memfile:
        with open(memfile) as f:
            m = re.search(r"Maximum resident set size \(kbytes\): (\d+)", f.read())
        if not m:
            die("no peak memory from /usr/bin/time -v for %s" % tool.name)
        rss = int(m.group(1))
    console = "" if tool.stdout_is_output else p.stdout.decode("latin-1")
    return t1 - t0, rss, console


def cmp_files(a, b, what):
    p = subprocess.run(["cmp", a, b], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if p.returncode != 0:
        die("output differs (%s): %s" % (what, p.stdout.decode("latin-1").strip()))


def bench_workload(w, d, runs):
    outs = {t.name: os.path.join(d, "%s.%s.out" % (w.key, t.name.replace(" ", "_")))
            for t in w.tools}
    # One untimed run per tool under /usr/bin/time -v: the peak memory, the
    # output check, and a warm page cache for the timed runs.
    for t in w.tools:
        _, rss, console = run_tool(t, outs[t.name], d, measure_memory=True)
        w.rss[t.name] = rss
        if t.name == "VELDRAN":
            w.console = console
    ref = outs["VELDRAN"]
    if w.expected:
        cmp_files(w.expected, ref, "%s: VELDRAN vs expected" % w.key)
    for t in w.tools:
        if t.name != "VELDRAN":
            cmp_files(ref, outs[t.name], "%s: VELDRAN vs %s" % (w.key, t.name))
    out_bytes = os.path.getsize(ref)
    for t in w.tools:
        w.times[t.name] = []
    # Timed runs, the tools interleaved so that changing load hits all alike.
    for r in range(runs):
        for t in w.tools:
            secs, _, _ = run_tool(t, outs[t.name], d)
            w.times[t.name].append(secs)
        sys.stderr.write(".")
        sys.stderr.flush()
    for o in outs.values():
        if os.path.exists(o):
            os.unlink(o)
    w.out_bytes = out_bytes


def stream_memory(veldran, total, d):
    """VELDRAN on a generated plain stream of `total` bytes that never lies
    on disk: generator -> pipe -> VELDRAN -> fifo -> hash. Returns (peak RSS
    KiB, seconds, console text)."""
    fifo = os.path.join(d, "stream.fifo")
    if os.path.exists(fifo):
        os.unlink(fifo)
    os.mkfifo(fifo)
    memfile = os.path.join(d, "time-v-stream.txt")
    consolefile = os.path.join(d, "stream.console")
    t0 = time.perf_counter()
    g = subprocess.Popen([sys.executable, os.path.join(HERE, "gen.py"), "plain", str(total)],
                         stdout=subprocess.PIPE)
    with open(consolefile, "wb") as cf:
        v = subprocess.Popen([TIME, "-v", "-o", memfile, veldran, "/dev/stdin", fifo],
                             stdin=g.stdout, stdout=cf, cwd=d)
    g.stdout.close()
    h = hashlib.sha1()
    n = 0
    with open(fifo, "rb") as f:
        while True:
            b = f.read(1 << 20)
            if not b:
                break
            h.update(b)
            n += len(b)
    v.wait()
    g.wait()
    t1 = time.perf_counter()
    os.unlink(fifo)
    if v.returncode != 0:
        die("VELDRAN exited with %d on the %d byte stream" % (v.returncode, total))

    class Hasher:
        def __init__(self):
            self.h = hashlib.sha1()
            self.n = 0

        def write(self, b):
            self.h.update(b)
            self.n += len(b)

    e = Hasher()
    gen.write_plain(total, e)
    if e.n != n or e.h.digest() != h.digest():
        die("output of the %d byte stream differs from its input (%d vs %d bytes)"
            % (total, n, e.n))
    with open(memfile) as f:
        rss = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", f.read()).group(1))
    with open(consolefile, "rb") as f:
        console = f.read().decode("latin-1")
    return rss, t1 - t0, console


def fmt_s(x):
    if x >= 10:
        return "%.1f s" % x
    if x >= 1:
        return "%.2f s" % x
    return "%.3f s" % x


def fmt_mib(kib):
    return "%.1f MiB" % (kib / 1024.0)


def fmt_size(n):
    if n >= 1e6:
        return "%.1f MB" % (n / 1e6)
    return "%.1f kB" % (n / 1e3)


def machine_line():
    cpu = platform.processor() or "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return cpu, os.cpu_count()


def loadavg():
    try:
        with open("/proc/loadavg") as f:
            return float(f.read().split()[0])
    except OSError:
        return -1.0


def git_rev(repo):
    try:
        rev = subprocess.run(["git", "-C", repo, "rev-parse", "--short", "HEAD"],
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             text=True).stdout.strip()
        dirty = subprocess.run(["git", "-C", repo, "status", "--porcelain", "--", "src"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               text=True).stdout.strip()
        if not rev:
            return "unknown"
        return rev + (" (src/ modified)" if dirty else "")
    except OSError:
        return "unknown"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--veldran", required=True)
    ap.add_argument("--scale", type=float, default=1.0)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--update-readme", action="store_true")
    ap.add_argument("--keep", action="store_true", help="keep the temp dir")
    a = ap.parse_args()
    veldran = os.path.abspath(a.veldran)
    repo = os.path.dirname(HERE)
    scale = a.scale

    d = tempfile.mkdtemp(prefix="veldran-bench-")
    try:
        load0 = loadavg()
        t_gen = time.perf_counter()
        sys.stderr.write("generating workloads (scale %g) in %s ...\n" % (scale, d))
        gen.gen_all(scale, d)
        sys.stderr.write("generated in %.1f s\n" % (time.perf_counter() - t_gen))

        def p(name):
            return os.path.join(d, name)

        V = lambda inp: Tool("VELDRAN", [veldran, inp, "{out}"])  # noqa: E731
        M4 = lambda inp: Tool("m4", ["m4", "-P", inp], stdout_is_output=True)  # noqa: E731
        CAT = lambda inp: Tool("cat", ["cat", inp], stdout_is_output=True)  # noqa: E731
        # A plain read/write loop with VELDRAN's block size, for reference:
        # cat copies inside the kernel (copy_file_range) where it can, which
        # no filter that looks at the bytes can do.
        DD = lambda inp: Tool("dd", ["dd", "if=" + inp, "of={out}", "bs=64K",  # noqa: E731
                                     "status=none"])
        n2 = max(1, round(1_000_000 * scale))
        n3 = max(1, round(1_000_000 * scale))
        n4 = max(1, round(10_000 * scale))
        ws = [
            Workload("W1", "W1 plain text", "%s" % fmt_size(os.path.getsize(p("w1.txt"))),
                     [V("w1.txt"), CAT("w1.txt"), M4("w1.txt"), DD("w1.txt")],
                     expected=p("w1.txt")),
            Workload("W1b", "W1b plain, '%%' every 10th line",
                     "%s" % fmt_size(os.path.getsize(p("w1b.inp"))),
                     [V("w1b.inp"), M4("w1b.expected")], expected=p("w1b.expected")),
            Workload("W2", "W2 inline-heavy", "%d lines" % n2, [V("w2.inp"), M4("w2.m4")]),
            Workload("W3", "W3 loop-heavy", "RPTN %d" % n3, [V("w3.inp"), M4("w3.m4")]),
            Workload("W4", "W4 include-heavy", "%d INCLUDEs" % n4, [V("w4.inp"), M4("w4.m4")]),
        ]
        for w in ws:
            sys.stderr.write("%s " % w.key)
            sys.stderr.flush()
            bench_workload(w, d, a.runs)
            sys.stderr.write(" done\n")

        sys.stderr.write("peak memory on plain 10 MB ...\n")
        r10 = run_tool(V("plain10mb.txt"), p("plain10mb.out"), d, measure_memory=True)
        cmp_files(p("plain10mb.txt"), p("plain10mb.out"), "plain 10 MB")
        os.unlink(p("plain10mb.out"))
        big = None
        if scale >= 1:
            sys.stderr.write("peak memory on a streamed 1 GB plain input ...\n")
            big = stream_memory(veldran, 1_000_000_000, d)
        load1 = loadavg()
    finally:
        if a.keep:
            sys.stderr.write("kept %s\n" % d)
        else:
            shutil.rmtree(d, ignore_errors=True)

    # The report.
    med = lambda w, t: statistics.median(w.times[t])  # noqa: E731
    cpu, ncpu = machine_line()
    m4ver = subprocess.run(["m4", "--version"], stdout=subprocess.PIPE,
                           text=True).stdout.splitlines()[0]
    L = []
    L.append("Scale %g, median of %d runs per tool (tools interleaved), %s, "
             "%d cores, load average %.2f at start and %.2f at end%s. "
             "VELDRAN from %s, %s, %s."
             % (scale, a.runs, cpu, ncpu, load0, load1,
                " (taken under load: other jobs were running)" if max(load0, load1) > 0.5 else "",
                os.environ.get("VELDRAN_LABEL") or "checkout " + git_rev(repo), m4ver, time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())))
    L.append("")
    L.append("| Workload | Input | VELDRAN | cat | m4 | VELDRAN / cat | m4 / VELDRAN "
             "| Peak RSS VELDRAN | Peak RSS cat | Peak RSS m4 |")
    L.append("|---|---|--:|--:|--:|--:|--:|--:|--:|--:|")
    for w in ws:
        v = med(w, "VELDRAN")
        c = med(w, "cat") if "cat" in w.times else None
        m = med(w, "m4")
        L.append("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |" % (
            w.title, w.size, fmt_s(v), fmt_s(c) if c else "-", fmt_s(m),
            "%.2fx" % (v / c) if c else "-", "%.1fx" % (m / v),
            fmt_mib(w.rss["VELDRAN"]),
            fmt_mib(w.rss["cat"]) if "cat" in w.rss else "-", fmt_mib(w.rss["m4"])))
    L.append("")
    L.append("| Plain input | VELDRAN peak RSS | VELDRAN time |")
    L.append("|---|--:|--:|")
    L.append("| 10 MB file | %s | %s |" % (fmt_mib(r10[1]), fmt_s(r10[0])))
    if big:
        L.append("| 1 GB streamed through a pipe and a fifo | %s | %s (with generator) |"
                 % (fmt_mib(big[0]), fmt_s(big[1])))
    else:
        L.append("| 1 GB streamed | not run (scale < 1) | - |")
    L.append("")
    # Goals.
    W = {w.key: w for w in ws}
    goals = []
    r_cat = med(W["W1"], "VELDRAN") / med(W["W1"], "cat")
    goals.append(("W1 at most 1.5x the time of cat", r_cat <= 1.5, "%.2fx" % r_cat))
    r_m4 = med(W["W1"], "m4") / med(W["W1"], "VELDRAN")
    goals.append(("W1 at least 10x faster than m4", r_m4 >= 10, "%.1fx" % r_m4))
    for k in ("W2", "W3", "W4"):
        r = med(W[k], "m4") / med(W[k], "VELDRAN")
        goals.append(("%s at least 5x faster than m4" % k, r >= 5, "%.1fx" % r))
    rss = [w.rss["VELDRAN"] for w in ws] + [r10[1]] + ([big[0]] if big else [])
    peak = max(rss)
    goals.append(("VELDRAN peak RSS under 8 MiB everywhere%s" % ("" if big else " (1 GB not run)"),
                  peak < 8 * 1024, "max %s" % fmt_mib(peak)))
    L.append("| Goal | Measured | Met |")
    L.append("|---|--:|---|")
    for g, ok, val in goals:
        L.append("| %s | %s | %s |" % (g, val, "yes" if ok else "**no**"))
    notes = []
    for w in ws:
        if w.console:
            lines = w.console.splitlines()
            notes.append("VELDRAN printed %d console line(s) on %s, first: `%s`"
                         % (len(lines), w.key, lines[0].strip()))
    if r10[2]:
        lines = r10[2].splitlines()
        notes.append("VELDRAN printed %d console line(s) on the 10 MB input, first: `%s`"
                     % (len(lines), lines[0].strip()))
    if big and big[2]:
        lines = big[2].splitlines()
        notes.append("VELDRAN printed %d console line(s) on the 1 GB stream, first: `%s`"
                     % (len(lines), lines[0].strip()))
    dd = med(W["W1"], "dd")
    L.append("")
    L.append("For reference, W1 through `dd bs=64K` (a user-space read/write loop with "
             "VELDRAN's block size; cat copies in the kernel with copy_file_range): "
             "%s, so VELDRAN / dd = %.2fx; peak RSS of dd %s." % (
                 fmt_s(dd), med(W["W1"], "VELDRAN") / dd, fmt_mib(W["W1"].rss["dd"])))
    if notes:
        L.append("")
        L.append("VELDRAN console output (none is expected; the output bytes matched all the same):")
        L.append("")
        for n in notes:
            L.append("- " + n)
    table = "\n".join(L) + "\n"
    print(table)

    if a.update_readme:
        readme = os.path.join(HERE, "README.md")
        with open(readme) as f:
            text = f.read()
        block = MARK_START + "\n" + table + MARK_END
        if MARK_START in text and MARK_END in text:
            pre = text.split(MARK_START)[0]
            post = text.split(MARK_END, 1)[1]
            text = pre + block + post
        else:
            text = text.rstrip("\n") + "\n\n" + block + "\n"
        with open(readme, "w") as f:
            f.write(text)
        sys.stderr.write("updated %s\n" % readme)


if __name__ == "__main__":
    main()
