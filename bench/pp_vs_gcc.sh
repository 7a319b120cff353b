#!/usr/bin/env bash
# Times vorn's preprocessor against `g++ -E` on zlib.h, sqlite3.h (each with everything it
# includes) and a generated 1 MB header, and prints each ratio of vorn's time to GCC's.
# Usage: bench/pp_vs_gcc.sh [BUILD_DIR]   (a build configured with -DVORN_BENCH=ON)
set -euo pipefail
build=${1:-build}
cmake --build "$build" --target pp_bench >/dev/null
"$build/bench/pp_bench" --benchmark_format=csv --benchmark_min_time=1 2>/dev/null |
    awk -F, '/^"/ { name = $1; gsub(/"/, "", name); split(name, part, "/"); label = $8; gsub(/"/, "", label)
                    t[part[1] "," label] = $3; labels[label] = 1 }
             END { printf "%-14s %12s %12s %8s %14s %8s\n", "input", "vorn ms", "g++ -E ms", "ratio", "vorn-pp ms", "ratio"
                   for (l in labels) { v = t["vornPreprocessor," l]; g = t["gccPreprocessor," l]; p = t["vornPpTool," l]
                       printf "%-14s %12.2f %12.2f %8.2f %14.2f %8.2f\n", l, v, g, v / g, p, p / g } }'
