#!/bin/bash
# Times the real binary on the library examples (programs that import C headers through .vni
# files): a clean translation of all of them, then a rerun with nothing to do. Prints both, in
# wall seconds, best of N runs.
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
run_all() {
    local start end
    start=$(date +%s.%N)
    for vn in "${programs[@]}"; do (cd "$(dirname "$vn")" && "$vorn" "$(basename "$vn")" >/dev/null); done
    end=$(date +%s.%N)
    echo "$end - $start" | bc
}
best() { sort -g | head -1; }
clean=$(for i in $(seq "$repeat"); do find "$work" -name '_*' -delete; run_all; done | best)
noop=$(for i in $(seq "$repeat"); do run_all; done | best)
echo "header-rerun-bench programs=${#programs[@]} clean=${clean}s noop=${noop}s ratio=$(echo "scale=3; $noop / $clean" | bc)"
