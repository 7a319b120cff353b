#!/usr/bin/env bash
# Times the real vorn binary on inputs whose cost once grew faster than their size: a header
# of N plain function declarations imported through a .vni, and a member chain through
# pointers of N links. Prints one line per case and size (seconds of the child, peak RSS);
# each doubling of N should about double the time.
#   bench/shapes_bench.sh [BUILD_DIR]
set -eu
build=$(cd "${1:-build}" && pwd -P)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

measure() {  # NAME N MODULE
    rm -f _*
    /usr/bin/time -f "$1 n=$2 seconds=%e peak_kb=%M" "$build/vorn" -s "$3" >/dev/null 2>time.log || {
        echo "$1 n=$2 failed: $(cat time.log)"
        return
    }
    tail -1 time.log
}

for n in 10000 20000 40000 100000; do
    python3 -c "import sys; n=int(sys.argv[1]); print('\n'.join('int f%d(int a, int b);' % i for i in range(n)))" "$n" >decl$n.h
    printf 'include = decl%s.h\n' "$n" >Decl$n.vni
    printf 'import Decl%s\nInt main()\n    return f1(1, 2)\n' "$n" >decl$n.vn
    measure header-declarations "$n" "decl$n.vn"
done
# A statement nests at most 2000 levels, so the chain stops short of that.
for n in 250 500 1000 1990; do
    python3 -c "import sys; n=int(sys.argv[1]); print('class N\n    public\n    N* next\n    Int v\n\nInt f(N* n)\n    return n' + '.next' * n + '.v')" "$n" >chain$n.vn
    measure member-chain "$n" "chain$n.vn"
done
