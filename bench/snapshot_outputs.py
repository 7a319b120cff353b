#!/usr/bin/env python3
"""Runs a vorn binary over every golden, example and fuzz-seed input and stores all it produced.

    snapshot_outputs.py VORN OUTDIR [--verbose]

For each input (each ".vn" file under tests/data and examples, translated in a copy of its own
directory so its imports are found; each seed of the parse, lexer and macro fuzz corpora, with
the test inputs their lists name, and of tests/data/robust, translated alone as a module),
OUTDIR gets the exit status, standard output and error, and every generated file, with the
temporary directory replaced by a fixed word.
Then `diff -r` of two snapshots shows every byte a change to the translator moved. A second
pass translates each program again with its outputs in place (a no-op rerun) and after
touching its imports (so they are loaded from their library files where that applies), and
stores those outputs too.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
SEED_DIRS = ["fuzz/corpus/parse_fuzz", "fuzz/corpus/lexer_fuzz", "fuzz/corpus/macro_fuzz",
             "tests/data/robust/parse_fuzz", "tests/data/robust/lexer"]


def inputs():
    for top in ["tests/data", "examples"]:
        for dirpath, _, files in sorted(os.walk(os.path.join(ROOT, top))):
            if "/robust" in dirpath:
                continue
            for f in sorted(files):
                if f.endswith(".vn"):
                    yield os.path.join(dirpath, f), dirpath
    for seeds in SEED_DIRS:
        d = os.path.join(ROOT, seeds)
        if os.path.isdir(d):
            for f in sorted(os.listdir(d)):
                yield os.path.join(d, f), None
        # The test inputs that are seeds as well (fuzz/corpus/TARGET.list).
        listed = d + ".list"
        if os.path.isfile(listed):
            with open(listed) as f:
                for line in f:
                    line = line.strip()
                    if line and not line.startswith("#"):
                        yield os.path.join(ROOT, line), seeds


def run(vorn, args, cwd, tmp, verbose):
    cmd = [vorn] + (["-v"] if verbose else []) + args
    p = subprocess.run(cmd, cwd=cwd, capture_output=True, timeout=120)
    norm = lambda b: b.replace(tmp.encode(), b"TMP")
    return p.returncode, norm(p.stdout), norm(p.stderr)


def store(out, name, rc, stdout, stderr, work, tmp):
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, name + ".status"), "w") as f:
        f.write("%d\n" % rc)
    with open(os.path.join(out, name + ".stdout"), "wb") as f:
        f.write(stdout)
    with open(os.path.join(out, name + ".stderr"), "wb") as f:
        f.write(stderr)
    for dirpath, _, files in os.walk(work):
        for g in sorted(files):
            if g.startswith("_"):
                rel = os.path.relpath(os.path.join(dirpath, g), work).replace("/", "~")
                with open(os.path.join(dirpath, g), "rb") as src, open(os.path.join(out, name + "." + rel), "wb") as dst:
                    dst.write(src.read().replace(tmp.encode(), b"TMP"))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("vorn")
    ap.add_argument("out")
    ap.add_argument("--verbose", action="store_true")
    args = ap.parse_args()
    vorn = os.path.abspath(args.vorn)
    shutil.rmtree(args.out, ignore_errors=True)
    count = 0
    for path, dirpath in inputs():
        rel = os.path.relpath(path, ROOT).replace("/", "~")
        # A listed seed is translated alone, apart from its run as a program in its folder.
        if dirpath and dirpath.startswith("fuzz/corpus/"):
            rel = dirpath.replace("/", "~") + "~" + rel
            dirpath = None
        # One fixed directory, so that digests of paths (kept header records hash the base
        # directory) come out the same in two snapshots; two snapshots must not run at once.
        tmp = os.path.join(tempfile.gettempdir(), "vorn-snapshot")
        shutil.rmtree(tmp, ignore_errors=True)
        os.makedirs(tmp)
        try:
            work = os.path.join(tmp, "w")
            if dirpath:
                shutil.copytree(dirpath, work, ignore=shutil.ignore_patterns("_*"))
                target = os.path.join(work, os.path.basename(path))
            else:
                os.makedirs(work)
                target = os.path.join(work, "Seed.vn")
                shutil.copy(path, target)
            name = os.path.basename(target)
            rc, so, se = run(vorn, [name], work, tmp, args.verbose)
            store(os.path.join(args.out, rel), "clean", rc, so, se, work, tmp)
            rc, so, se = run(vorn, [name], work, tmp, args.verbose)
            store(os.path.join(args.out, rel), "noop", rc, so, se, work, tmp)
            # Retranslate the program alone with every import current: imports are loaded
            # from their library files where the loading rule allows it.
            t = time.time() + 2
            os.utime(target, (t, t))
            rc, so, se = run(vorn, [name], work, tmp, args.verbose)
            store(os.path.join(args.out, rel), "touched", rc, so, se, work, tmp)
            count += 1
        finally:
            shutil.rmtree(tmp, ignore_errors=True)
    print("%d inputs" % count)


if __name__ == "__main__":
    main()
