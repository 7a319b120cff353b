#!/bin/bash
# Times the real binary on the library examples (programs that import C headers through .vni
# files), and on one program importing the sqlite3, zlib and C library interfaces together: a
# clean translation, then a rerun with nothing to do. Prints both, in wall seconds, best of N.
#   bash bench/header_rerun_bench.sh [VORN] [N]
set -e
vorn=$(realpath "${1:-build/vorn}")
repeat=${2:-3}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
programs=()
for dir in "$root"/examples/{sqlite,zlib,libc,widgets,cjson,jansson,lua,png}; do
    [ -d "$dir" ] || continue
    cp -r "$dir" "$work/"
    for vn in "$work/$(basename "$dir")"/*.vn; do programs+=("$vn"); done
done
mkdir "$work/three"
cp "$root"/examples/sqlite/Sqlite.vni "$root"/examples/zlib/Zlib.vni "$root"/examples/libc/LibC.vni "$work/three/"
printf 'import Sqlite\nimport Zlib\nimport LibC\n\nInt main()\n    puts("three libraries")\n    return 0\n' >"$work/three/main.vn"
run_all() {
    local start end
    start=$(date +%s.%N)
    for vn in "${programs[@]}"; do (cd "$(dirname "$vn")" && "$vorn" "$(basename "$vn")" >/dev/null); done
    end=$(date +%s.%N)
    echo "$end - $start" | bc
}
best() { sort -g | head -1; }
report() {
    local label=$1 clean noop
    clean=$(for i in $(seq "$repeat"); do find "$work" -name '_*' -delete; run_all; done | best)
    noop=$(for i in $(seq "$repeat"); do run_all; done | best)
    echo "header-rerun-bench $label clean=${clean}s noop=${noop}s ratio=$(echo "scale=3; $noop / $clean" | bc)"
}
all=("${programs[@]}")
report "examples=${#all[@]}"
programs=("$work/three/main.vn")
report "sqlite+zlib+libc"
