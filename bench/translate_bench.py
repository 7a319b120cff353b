#!/usr/bin/env python3
"""Times the real vorn binary on a generated multi-module program.

    translate_bench.py [--lines 100000,200000] [--repeat 3] [--plain]
                       [--vorn NAME=PATH ...] [--work DIR]

For each size it generates the program (gen_program.py), then for each binary named (default:
build/vorn beside this directory) it times, taking the best of --repeat runs:
  clean  translation with no earlier outputs,
  noop   a rerun with nothing to do,
  touch  a rerun after the last module of a chain (imported by main alone; it imports the rest of its chain) was touched.
It also times `g++ -fsyntax-only` on the generated C++ of all modules as one unit. Binaries
given together are measured side by side, run after run, so they see the same machine load.
One line per size and binary starts with "vorn-bench" and holds key=value pairs a script can
compare over time. Times are processor seconds (user + system) of the child process.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


# A child started from this script keeps this script's peak resident size as its own (the
# figure survives exec), so the peak is taken by GNU time, a small process of its own.
GNU_TIME = "/usr/bin/time" if os.access("/usr/bin/time", os.X_OK) else None


def run(cmd, cwd):
    # Standard error goes to a file: a pipe that fills up while nobody reads it would stall
    # the child (a compiler with many errors) and this script with it.
    with tempfile.TemporaryFile() as errfile, tempfile.NamedTemporaryFile("r") as peakfile:
        wrapped = [GNU_TIME, "-f", "%M", "-o", peakfile.name] + cmd if GNU_TIME else cmd
        proc = subprocess.Popen(wrapped, cwd=cwd, stdout=subprocess.DEVNULL, stderr=errfile)
        _, status, usage = os.wait4(proc.pid, 0)
        errfile.seek(0)
        err = errfile.read().decode(errors="replace")
        peak = usage.ru_maxrss
        if GNU_TIME:
            lines = peakfile.read().split()
            peak = int(lines[-1]) if lines and lines[-1].isdigit() else peak
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        sys.exit("%s failed (%d) in %s:\n%s" % (" ".join(cmd), code, cwd, err[:2000]))
    # Processor time, not wall time: the machine may be shared, and the translator is
    # single-threaded. GNU time's own share of it is a millisecond or two.
    return usage.ru_utime + usage.ru_stime, peak * 1024


def remove_outputs(d):
    for name in os.listdir(d):
        if name.startswith("_"):
            os.remove(os.path.join(d, name))


def touch(path):
    # Later than every output, whatever the file system's time resolution.
    t = time.time() + 2
    os.utime(path, (t, t))


def measure(vorn, d, leaf, repeat):
    best = {"clean": (1e9, 0), "noop": (1e9, 0), "touch": (1e9, 0)}

    def keep(kind, result):
        t, rss = result
        bt, brss = best[kind]
        best[kind] = (min(bt, t), max(brss, rss))

    for _ in range(repeat):
        remove_outputs(d)
        keep("clean", run([vorn, "main.vn"], d))
        keep("noop", run([vorn, "main.vn"], d))
        source = os.path.join(d, leaf + ".vn")
        stamp = os.stat(source)
        touch(source)
        keep("touch", run([vorn, "main.vn"], d))
        # The touch dates the source into the future; left so, the next binary's no-op run
        # would find it newer than that binary's fresh outputs and translate it again.
        os.utime(source, ns=(stamp.st_atime_ns, stamp.st_mtime_ns))
    return best


def gxx_time(d, include, repeat):
    unit = os.path.join(d, "unit.cpp")
    with open(unit, "w") as f:
        for name in sorted(os.listdir(d)):
            if name.startswith("_") and name.endswith(".cpp"):
                f.write('#include "%s"\n' % name)
    return min(run(["g++", "-std=c++17", "-fsyntax-only", "-I", include, "unit.cpp"], d)[0] for _ in range(repeat))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--lines", default="100000,200000")
    ap.add_argument("--repeat", type=int, default=3)
    # The program uses the constructs that need lowering too unless --plain leaves them out.
    ap.add_argument("--plain", action="store_true")
    ap.add_argument("--vorn", action="append", default=[])
    ap.add_argument("--work", default="/tmp/vorn-bench")
    args = ap.parse_args()
    binaries = []
    for spec in args.vorn or ["current=" + os.path.join(HERE, "..", "build", "vorn")]:
        name, _, path = spec.partition("=")
        binaries.append((name, os.path.abspath(path)))

    for lines in [int(x) for x in args.lines.split(",")]:
        d = os.path.join(args.work, str(lines))
        shutil.rmtree(d, ignore_errors=True)
        gen = [sys.executable, os.path.join(HERE, "gen_program.py"), d, str(lines)]
        if not args.plain:
            gen.append("--lowered")
        info = dict(kv.split("=") for kv in subprocess.check_output(gen, text=True).split())
        size = int(info["bytes"])
        results = {name: {"clean": (1e9, 0), "noop": (1e9, 0), "touch": (1e9, 0)} for name, _ in binaries}
        for _ in range(args.repeat):
            for name, path in binaries:
                for kind, (t, rss) in measure(path, d, info["leaf"], 1).items():
                    bt, brss = results[name][kind]
                    results[name][kind] = (min(bt, t), max(brss, rss))
        include = os.path.join(os.path.dirname(binaries[0][1]), "include")
        gxx = gxx_time(d, include, args.repeat)
        for name, _ in binaries:
            r = results[name]
            clean, rss = r["clean"]
            print("vorn-bench binary=%s lines=%s bytes=%d modules=%s clean_s=%.3f noop_s=%.3f touch_s=%.3f "
                  "lines_per_s=%.0f mb_per_s=%.2f peak_rss_mb=%.1f rss_per_byte=%.1f noop_pct=%.1f touch_pct=%.1f "
                  "gxx_s=%.3f gxx_ratio=%.2f" %
                  (name, info["lines"], size, info["modules"], clean, r["noop"][0], r["touch"][0],
                   int(info["lines"]) / clean, size / clean / 1e6, rss / 1e6, rss / size,
                   100 * r["noop"][0] / clean, 100 * r["touch"][0] / clean, gxx, clean / gxx))
            sys.stdout.flush()


if __name__ == "__main__":
    main()
