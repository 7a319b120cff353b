#!/usr/bin/env python3
"""Times the real vorn binary on programs whose import graphs have the shapes that once cost more
than their size: for each shape and size, a clean translation's wall, user and system time,
instructions (when the machine's counters can be read) and the child's peak memory, and how far
the growth of user time from the smaller size to the larger one is from linear in the graph's
size (modules plus import edges, lines for one big file). System time is shown apart: on ext4 it
is mostly the file system finding inodes for the new files, and grows when many files were
deleted just before.

    graph_bench.py [--vorn build/vorn] [--shapes chain,fanin,...] [--sizes chain=400,800 ...]

Shapes: chain (each module imports the one before), fanin (every module imports every other),
ring (a cycle: each imports the next, the last the first), tree (a binary tree of imports),
bigfile (one module of N lines), small (N modules of a few lines, all imported by main).
"""
import argparse
import os
import re
import shutil
import subprocess
import tempfile
import time

DEFAULT_SIZES = {
    "chain": (400, 800), "fanin": (100, 200), "ring": (400, 800),
    "tree": (500, 1000), "bigfile": (50000, 100000), "small": (500, 1000),
}


def body(m):
    return ("class K%d\n    public\n    Int v\n\nInt f%d(Int x)\n    var k = K%d:()\n"
            "    k.v = x + %d\n    return k.v\n" % (m, m, m, m))


def write_modules(work, imports, n):
    for m in range(n):
        with open(os.path.join(work, "M%d.vn" % m), "w") as out:
            out.write("".join("import M%d\n" % i for i in imports(m)) + "\n" + body(m))
    with open(os.path.join(work, "main.vn"), "w") as out:
        out.write("import M0\n\nInt main()\n    return f0(1) - 1\n")


def generate(shape, n, work):
    """Writes the program; returns (main file, graph size)."""
    if shape == "bigfile":
        with open(os.path.join(work, "main.vn"), "w") as out:
            m = 0
            while m * 8 < n:
                out.write(body(m) + "\n")
                m += 1
            out.write("Int main()\n    return f0(1) - 1\n")
        return "main.vn", n
    if shape == "small":
        for m in range(n):
            with open(os.path.join(work, "M%d.vn" % m), "w") as out:
                out.write("Int f%d(Int x)\n    return x + %d\n" % (m, m))
        with open(os.path.join(work, "main.vn"), "w") as out:
            out.write("".join("import M%d\n" % m for m in range(n)))
            out.write("\nInt main()\n    return f0(1) - 1\n")
        return "main.vn", 2 * n
    imports = {
        "chain": lambda m: [m + 1] if m + 1 < n else [],
        "fanin": lambda m: [i for i in range(n) if i != m],
        "ring": lambda m: [(m + 1) % n],
        "tree": lambda m: [c for c in (2 * m + 1, 2 * m + 2) if c < n],
    }[shape]
    write_modules(work, imports, n)
    edges = sum(len(imports(m)) for m in range(n))
    return "main.vn", n + edges


def counted_instructions(command, cwd):
    try:
        run = subprocess.run(["perf", "stat", "-x,", "-e", "instructions:u"] + command, cwd=cwd,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    except FileNotFoundError:
        return None
    for line in run.stderr.splitlines():
        fields = line.split(",")
        if len(fields) > 2 and "instructions" in fields[2] and fields[0].isdigit():
            return int(fields[0])
    return None


def measure(vorn, shape, n):
    work = tempfile.mkdtemp(prefix="vorn-graph-")
    try:
        main, size = generate(shape, n, work)
        command = [vorn, main]
        start = time.perf_counter()
        run = subprocess.run(["/usr/bin/time", "-f", "peak_kb=%M user=%U sys=%S"] + command, cwd=work,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        seconds = time.perf_counter() - start
        if run.returncode != 0:
            return None, size, run.stderr.strip().splitlines()[:2]
        found = re.search(r"peak_kb=(\d+) user=([0-9.]+) sys=([0-9.]+)", run.stderr)
        peak, user, system = int(found.group(1)), float(found.group(2)), float(found.group(3))
        for name in os.listdir(work):
            if name.startswith("_"):
                os.remove(os.path.join(work, name))
        instructions = counted_instructions(command, work)
        return (seconds, user, system, instructions, peak), size, None
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--vorn", default="build/vorn")
    ap.add_argument("--shapes", default=",".join(DEFAULT_SIZES))
    ap.add_argument("--sizes", nargs="*", default=[], help="SHAPE=SMALL,LARGE")
    args = ap.parse_args()
    vorn = os.path.abspath(args.vorn)
    sizes = dict(DEFAULT_SIZES)
    for item in args.sizes:
        shape, values = item.split("=")
        sizes[shape] = tuple(int(v) for v in values.split(","))
    print("%-8s %7s %7s %7s %6s %6s %15s %8s %s" % ("shape", "n", "size", "wall s", "user", "sys",
                                                  "instructions", "peak MB", "user vs linear"))
    for shape in args.shapes.split(","):
        first = None
        for n in sizes[shape]:
            result, size, error = measure(vorn, shape, n)
            if result is None:
                print("%-8s %7d failed: %s" % (shape, n, " / ".join(error)))
                continue
            seconds, user, system, instructions, peak = result
            ratio = ""
            if first:
                # User time per unit of graph size, larger over smaller: 1.0 is linear.
                ratio = "%.2f" % ((max(user, 0.01) / size) / (max(first[0], 0.01) / first[1]))
            else:
                first = (user, size)
            print("%-8s %7d %7d %7.3f %6.2f %6.2f %15s %8.1f %s" % (shape, n, size, seconds, user, system,
                  "-" if instructions is None else "{:,}".format(instructions), peak / 1024.0, ratio))


if __name__ == "__main__":
    main()
