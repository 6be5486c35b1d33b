#!/usr/bin/env python3
"""Times VELDRAN against cat (the I/O limit) and GNU m4 on the workloads of
gen.py; called by bench/run.sh, which documents the options."""

import argparse
import hashlib
import os
import platform
import re
import shlex
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
TABLE_BLOCK = "bench-table"
ICOUNT_BLOCK = "bench-icount"
# A timed sample repeats a tool's run until it has taken this many seconds
# and counts the time per run: short runs and long ones are then measured
# over spans of about the same length, so that a slow spell of the machine
# (seconds long here) weighs on all tools alike instead of on whichever
# happened to run in it.
MIN_SAMPLE = 0.5


def die(msg):
    sys.stderr.write("\nBENCH FAILED: %s\n" % msg)
    sys.exit(1)


class Tool:
    def __init__(self, name, argv, stdin=None, stdout_is_output=False, reference=None):
        self.name = name
        self.argv = argv
        self.stdin = stdin
        # cat and m4 write their result to standard output; VELDRAN writes
        # it to the file named by its second argument and its messages to
        # standard output.
        self.stdout_is_output = stdout_is_output
        # The file the output must equal; None means VELDRAN's output.
        self.reference = reference


class Workload:
    def __init__(self, key, title, size, tools, expected=None, processes=None):
        self.key = key
        self.title = title
        self.size = size
        self.tools = tools
        self.expected = expected
        # Start-up workloads time a loop of this many processes per sample
        # and report the time per process.
        self.processes = processes
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
            cmp_files(t.reference or ref, outs[t.name], "%s: %s vs %s" % (
                w.key, "expected" if t.reference else "VELDRAN", t.name))
    out_bytes = os.path.getsize(ref)
    for t in w.tools:
        w.times[t.name] = []
    # Timed runs, the tools interleaved so that changing load hits all alike.
    for r in range(runs):
        for t in w.tools:
            if w.processes:
                secs = run_loop(t, w.processes, d) / w.processes
            else:
                secs = timed_sample(t, outs[t.name], d)
            w.times[t.name].append(secs)
        sys.stderr.write(".")
        sys.stderr.flush()
    for o in outs.values():
        if os.path.exists(o):
            os.unlink(o)
    w.out_bytes = out_bytes


def timed_sample(tool, out, cwd):
    """Seconds per run of a tool, over as many runs as fill MIN_SAMPLE."""
    total, count = 0.0, 0
    while total < MIN_SAMPLE:
        secs, _, _ = run_tool(tool, out, cwd)
        total += secs
        count += 1
    return total / count


def run_loop(tool, count, cwd):
    """Runs a tool `count` times from one shell loop, each run a separate
    process writing its own new output file, so that every tool pays the
    same driver cost per process. Returns the seconds of the whole loop."""
    outdir = os.path.join(cwd, "loop-out")
    os.mkdir(outdir)
    cmd = " ".join(shlex.quote(a).replace("{out}", "'\"$o\"'") for a in tool.argv)
    if tool.stdout_is_output:
        cmd += ' > "$o"'
    script = ('i=0; while [ $i -lt %d ]; do o=%s/$i; %s || exit 1; i=$((i+1)); done'
              % (count, shlex.quote(outdir), cmd))
    try:
        t0 = time.perf_counter()
        p = subprocess.run(["sh", "-c", script], cwd=cwd, stdout=subprocess.DEVNULL,
                           stderr=subprocess.PIPE)
        t1 = time.perf_counter()
    finally:
        shutil.rmtree(outdir, ignore_errors=True)
    if p.returncode != 0:
        die("%s failed in the start-up loop: %s\n%s" % (
            tool.name, script, p.stderr.decode("latin-1")[-2000:]))
    return t1 - t0


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


def fmt_ms(x):
    return "%.2f ms" % (x * 1000)


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


def make_workloads(veldran, scale, d):
    """The timed workloads, on the files that gen.gen_all wrote into d."""
    def p(name):
        return os.path.join(d, name)

    V = lambda inp, *opts: Tool("VELDRAN", [veldran, *opts, inp, "{out}"])  # noqa: E731
    M4 = lambda inp: Tool("m4", ["m4", "-P", inp], stdout_is_output=True)  # noqa: E731
    CAT = lambda inp, ref=None: Tool("cat", ["cat", inp], stdout_is_output=True,  # noqa: E731
                                     reference=ref)
    # A plain read/write loop with VELDRAN's block size, for reference:
    # cat copies inside the kernel (copy_file_range) where it can, which
    # no filter that looks at the bytes can do.
    DD = lambda inp: Tool("dd", ["dd", "if=" + inp, "of={out}", "bs=256K",  # noqa: E731
                                 "status=none"])
    n2 = max(1, round(1_000_000 * scale))
    n3 = max(1, round(1_000_000 * scale))
    n4 = max(1, round(10_000 * scale))
    n_start = max(10, round(1_000 * scale))
    n_items = max(2, round(50_000 * scale))
    # The code generator keeps every list entry and every macro argument
    # text in the storage area until the run ends: 12 MiB hold 50,000
    # items, 1 MiB per 3,125 items leaves some room.
    storage = "%dM" % max(1, -(-n_items // 3125))
    return [
        Workload("W1", "W1 plain text", "%s" % fmt_size(os.path.getsize(p("w1.txt"))),
                 [V("w1.txt"), CAT("w1.txt"), M4("w1.txt"), DD("w1.txt")],
                 expected=p("w1.txt")),
        Workload("W1b", "W1b plain, '%%' every 10th line",
                 "%s" % fmt_size(os.path.getsize(p("w1b.inp"))),
                 [V("w1b.inp"), M4("w1b.expected")], expected=p("w1b.expected")),
        Workload("W2", "W2 inline-heavy", "%d lines" % n2, [V("w2.inp"), M4("w2.m4")]),
        Workload("W3", "W3 loop-heavy", "RPTN %d" % n3, [V("w3.inp"), M4("w3.m4")]),
        Workload("W4", "W4 include-heavy", "%d INCLUDEs" % n4, [V("w4.inp"), M4("w4.m4")]),
        Workload("S", "S start-up, per run", "%d runs of 10 lines" % n_start,
                 [V("s.inp"), CAT("s.inp", ref=p("s.inp")), M4("s.m4")],
                 expected=p("s.expected"), processes=n_start),
        Workload("C", "C code generator", "%d items" % n_items,
                 [V("c.inp", "--storage", storage), M4("c.m4")], expected=p("c.expected")),
    ]


def results_table(ws):
    med = lambda w, t: statistics.median(w.times[t])  # noqa: E731
    L = ["| Workload | Input | VELDRAN | cat | m4 | VELDRAN / cat | m4 / VELDRAN "
         "| Peak RSS VELDRAN | Peak RSS cat | Peak RSS m4 |",
         "|---|---|--:|--:|--:|--:|--:|--:|--:|--:|"]
    for w in ws:
        fmt_t = fmt_ms if w.processes else fmt_s
        v = med(w, "VELDRAN")
        c = med(w, "cat") if "cat" in w.times else None
        m = med(w, "m4")
        L.append("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |" % (
            w.title, w.size, fmt_t(v), fmt_t(c) if c else "-", fmt_t(m),
            "%.2fx" % (v / c) if c else "-", "%.1fx" % (m / v),
            fmt_mib(w.rss["VELDRAN"]),
            fmt_mib(w.rss["cat"]) if "cat" in w.rss else "-", fmt_mib(w.rss["m4"])))
    return L


def plain_memory_table(r10, big):
    L = ["| Plain input | VELDRAN peak RSS | VELDRAN time |", "|---|--:|--:|",
         "| 10 MB file | %s | %s |" % (fmt_mib(r10[1]), fmt_s(r10[0]))]
    if big:
        L.append("| 1 GB streamed through a pipe and a fifo | %s | %s (with generator) |"
                 % (fmt_mib(big[0]), fmt_s(big[1])))
    else:
        L.append("| 1 GB streamed | not run (scale < 1) | - |")
    return L


def goals_table(ws, r10, big):
    med = lambda w, t: statistics.median(w.times[t])  # noqa: E731
    W = {w.key: w for w in ws}
    goals = []
    r_dd = med(W["W1"], "VELDRAN") / med(W["W1"], "dd")
    goals.append(("W1 at most 1.3x the time of dd bs=256K", r_dd <= 1.3,
                  "%.2fx" % r_dd))
    r_cat = med(W["W1"], "VELDRAN") / med(W["W1"], "cat")
    goals.append(("W1 at most 1.6x the time of cat", r_cat <= 1.6, "%.2fx" % r_cat))
    r_m4 = med(W["W1"], "m4") / med(W["W1"], "VELDRAN")
    goals.append(("W1 at least 10x faster than m4", r_m4 >= 10, "%.1fx" % r_m4))
    for k, times in (("W2", 25), ("W3", 12), ("W4", 5)):
        r = med(W[k], "m4") / med(W[k], "VELDRAN")
        goals.append(("%s at least %dx faster than m4" % (k, times), r >= times,
                      "%.1fx" % r))
    if "S" in W:
        r = med(W["S"], "VELDRAN") / med(W["S"], "m4")
        goals.append(("S: a 10-line run costs no more than m4's", r <= 1,
                      "%.2fx m4" % r))
    # C runs with a larger storage area, which VELDRAN takes in full at the
    # start; the memory goal is about the default storage.
    rss = ([w.rss["VELDRAN"] for w in ws if w.key != "C"] + [r10[1]]
           + ([big[0]] if big else []))
    peak = max(rss)
    goals.append(("VELDRAN peak RSS under 8 MiB everywhere but C%s" % (
        "" if big else " (1 GB not run)"), peak < 8 * 1024, "max %s" % fmt_mib(peak)))
    L = ["| Goal | Measured | Met |", "|---|--:|---|"]
    for g, ok, val in goals:
        L.append("| %s | %s | %s |" % (g, val, "yes" if ok else "**no**"))
    return L


def console_notes(ws, r10, big):
    sources = [(w.key, w.console) for w in ws] + [("the 10 MB input", r10[2])]
    if big:
        sources.append(("the 1 GB stream", big[2]))
    notes = []
    for where, console in sources:
        if console:
            lines = console.splitlines()
            notes.append("VELDRAN printed %d console line(s) on %s, first: `%s`"
                         % (len(lines), where, lines[0].strip()))
    if not notes:
        return []
    return (["", "VELDRAN console output (none is expected; the output bytes matched all the same):", ""]
            + ["- " + n for n in notes])


def dd_note(ws):
    med = lambda w, t: statistics.median(w.times[t])  # noqa: E731
    w1 = next(w for w in ws if w.key == "W1")
    dd = med(w1, "dd")
    return ("For reference, W1 through `dd bs=256K` (a user-space read/write loop with "
            "VELDRAN's block size; cat copies in the kernel with copy_file_range): "
            "%s, so VELDRAN / dd = %.2fx; peak RSS of dd %s." % (
                fmt_s(dd), med(w1, "VELDRAN") / dd, fmt_mib(w1.rss["dd"])))


def m4_version():
    return subprocess.run(["m4", "--version"], stdout=subprocess.PIPE,
                          text=True).stdout.splitlines()[0]


def veldran_label(repo):
    return os.environ.get("VELDRAN_LABEL") or "checkout " + git_rev(repo)


def timing_run(veldran, repo, scale, runs, keep):
    """Times every workload; returns the report as markdown."""
    d = tempfile.mkdtemp(prefix="veldran-bench-")
    try:
        # The binary is timed as a copy, as an install leaves it: on the
        # benchmark machine the file the linker wrote ran W3 25 to 45 %
        # slower than the same bytes copied (perf stat task clock, the
        # copy in the same directory or elsewhere alike).
        installed = os.path.join(d, "veldran")
        shutil.copy(veldran, installed)
        veldran = installed
        load0 = loadavg()
        t_gen = time.perf_counter()
        sys.stderr.write("generating workloads (scale %g) in %s ...\n" % (scale, d))
        gen.gen_all(scale, d)
        sys.stderr.write("generated in %.1f s\n" % (time.perf_counter() - t_gen))
        ws = make_workloads(veldran, scale, d)
        for w in ws:
            sys.stderr.write("%s " % w.key)
            sys.stderr.flush()
            bench_workload(w, d, runs)
            sys.stderr.write(" done\n")

        sys.stderr.write("peak memory on plain 10 MB ...\n")
        plain10 = os.path.join(d, "plain10mb.txt")
        plain10_out = os.path.join(d, "plain10mb.out")
        r10 = run_tool(Tool("VELDRAN", [veldran, plain10, "{out}"]), plain10_out, d,
                       measure_memory=True)
        cmp_files(plain10, plain10_out, "plain 10 MB")
        os.unlink(plain10_out)
        big = None
        if scale >= 1:
            sys.stderr.write("peak memory on a streamed 1 GB plain input ...\n")
            big = stream_memory(veldran, 1_000_000_000, d)
        load1 = loadavg()
    finally:
        if keep:
            sys.stderr.write("kept %s\n" % d)
        else:
            shutil.rmtree(d, ignore_errors=True)

    cpu, ncpu = machine_line()
    L = ["Scale %g, median of %d samples per tool (tools interleaved; a sample "
         "repeats a run until it has taken %.1f s and counts the time per run), %s, "
         "%d cores, load average %.2f at start and %.2f at end%s. "
         "VELDRAN from %s, %s, %s."
         % (scale, runs, MIN_SAMPLE, cpu, ncpu, load0, load1,
            " (taken under load: other jobs were running)" if max(load0, load1) > 0.5 else "",
            veldran_label(repo), m4_version(), time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())),
         ""]
    L += results_table(ws) + [""] + plain_memory_table(r10, big) + [""]
    L += goals_table(ws, r10, big) + ["", dd_note(ws)] + console_notes(ws, r10, big)
    return "\n".join(L) + "\n"


def callgrind_instructions(argv, cwd, out):
    """Instructions one run of argv executes in user space, the dynamic
    loader included, counted by callgrind; the run's standard output goes
    to `out`."""
    counts = os.path.join(cwd, "callgrind.out")
    with open(out, "wb") as so:
        p = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + counts]
                           + argv, cwd=cwd, stdout=so, stderr=subprocess.PIPE)
    if p.returncode != 0:
        die("%s exited with %d under callgrind\n%s" % (
            " ".join(argv), p.returncode, p.stderr.decode("latin-1")[-2000:]))
    with open(counts) as f:
        m = re.search(r"^(?:summary|totals): (\d+)", f.read(), re.M)
    os.unlink(counts)
    if not m:
        die("no instruction count from callgrind for %s" % " ".join(argv))
    return int(m.group(1))


def count_tools(veldran, d, vinp, m4inp):
    """Instructions of VELDRAN on vinp and m4 on m4inp; the outputs must
    agree."""
    vout, mout = os.path.join(d, "v.out"), os.path.join(d, "m4.out")
    v = callgrind_instructions([veldran, vinp, vout], d, os.path.join(d, "v.console"))
    m = callgrind_instructions(["m4", "-P", m4inp], d, mout)
    cmp_files(vout, mout, "%s: VELDRAN vs m4 under callgrind" % vinp)
    return v, m


def instruction_run(veldran, repo, scale):
    """Counts instructions on W2, W3 and S; returns the report as markdown."""
    d = tempfile.mkdtemp(prefix="veldran-icount-")
    try:
        n2 = max(1, round(1_000_000 * scale))
        n3 = max(1, round(1_000_000 * scale))
        gen.gen_w2(n2, d)
        gen.gen_w3(n3, d)
        gen.gen_s(d)
        gen.write_file(d, "empty", b"")
        sys.stderr.write("counting instructions (scale %g) in %s ...\n" % (scale, d))
        empty = count_tools(veldran, d, "empty", "empty")
        start = count_tools(veldran, d, "s.inp", "s.m4")
        cmp_files(os.path.join(d, "s.expected"), os.path.join(d, "v.out"), "S: VELDRAN vs expected")
        cat_start = callgrind_instructions(["cat", "s.inp"], d, os.path.join(d, "cat.out"))
        cat_empty = callgrind_instructions(["cat", "empty"], d, os.path.join(d, "cat.out"))
        w2 = count_tools(veldran, d, "w2.inp", "w2.m4")
        w3 = count_tools(veldran, d, "w3.inp", "w3.m4")
    finally:
        shutil.rmtree(d, ignore_errors=True)

    def per(total, fixed, n):
        return "{:,}".format(round((total - fixed) / n))

    vg = subprocess.run(["valgrind", "--version"], stdout=subprocess.PIPE,
                        text=True).stdout.strip()
    L = ["Instructions executed in user space (dynamic loader included), counted by "
         "`valgrind --tool=callgrind`, scale %g. VELDRAN from %s, %s, %s, %s."
         % (scale, veldran_label(repo), m4_version(), vg,
            time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())),
         "",
         "| Run | Input | VELDRAN | m4 | cat |",
         "|---|---|--:|--:|--:|",
         "| S start-up, one run | 10 lines | {:,} | {:,} | {:,} |".format(*start, cat_start),
         "| empty input, one run | 0 lines | {:,} | {:,} | {:,} |".format(*empty, cat_empty),
         "| W2 per line | %d lines | %s | %s | - |" % (
             n2, per(w2[0], empty[0], n2), per(w2[1], empty[1], n2)),
         "| W3 per pass | RPTN %d | %s | %s | - |" % (
             n3, per(w3[0], empty[0], n3), per(w3[1], empty[1], n3))]
    return "\n".join(L) + "\n"


def update_readme(block, table):
    """Puts the table between the block's markers in README.md, or appends
    the block when the markers are missing."""
    start, end = "<!-- %s:start -->" % block, "<!-- %s:end -->" % block
    readme = os.path.join(HERE, "README.md")
    with open(readme) as f:
        text = f.read()
    content = start + "\n" + table + end
    if start in text and end in text:
        text = text.split(start)[0] + content + text.split(end, 1)[1]
    else:
        text = text.rstrip("\n") + "\n\n" + content + "\n"
    with open(readme, "w") as f:
        f.write(text)
    sys.stderr.write("updated %s\n" % readme)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--veldran", required=True)
    ap.add_argument("--scale", type=float,
                    help="default 1.0, or 0.01 with --instructions")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--instructions", action="store_true",
                    help="count instructions under callgrind instead of timing")
    ap.add_argument("--update-readme", action="store_true")
    ap.add_argument("--keep", action="store_true", help="keep the temp dir")
    a = ap.parse_args()
    veldran = os.path.abspath(a.veldran)
    repo = os.path.dirname(HERE)
    if a.instructions:
        scale = 0.01 if a.scale is None else a.scale
        table, block = instruction_run(veldran, repo, scale), ICOUNT_BLOCK
    else:
        scale = 1.0 if a.scale is None else a.scale
        table, block = timing_run(veldran, repo, scale, a.runs, a.keep), TABLE_BLOCK
    print(table)
    if a.update_readme:
        update_readme(block, table)


if __name__ == "__main__":
    main()
