#!/usr/bin/env bash
# The module pipeline with the real binary: loading order, the up-to-date rule, -s, the
# extension search, missing files. Each case runs in a fresh directory; its standard output,
# standard error and exit status are compared with tests/data/pipeline/<case>.golden.
# Run with VORN_REGENERATE=1 to rewrite the golden files instead of comparing.
set -u
build=$(cd "$1" && pwd -P)
source_dir=$(cd "$2" && pwd -P)
golden_dir="$source_dir/tests/data/pipeline"
export PATH="$build:$PATH"
failures=0
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A fresh directory for a case; later commands run inside it.
start() {
    dir="$root/$1"
    mkdir -p "$dir"
    cd "$dir" || exit 1
}

# Sources are older than anything the run writes: 2020; outputs are stamped explicitly.
source_file() {
    printf '%b' "$2" >"$1"
    touch -d '2020-01-01 00:00:00' "$1"
}
outputs() {  # outputs STAMP MODULE... : the three generated C++ files of each module
    local stamp=$1
    shift
    for m in "$@"; do
        for e in hpp2 hpp cpp; do
            : >"_$m.$e"
            touch -d "$stamp" "_$m.$e"
        done
    done
}

# check CASE ARGS... : runs vorn, compares with the golden text.
check() {
    local name=$1
    shift
    vorn "$@" >stdout 2>stderr
    local status=$?
    {
        echo "== vorn $*"
        echo "== stdout"
        sed "s|$dir|<dir>|g" stdout
        echo "== stderr"
        sed "s|$dir|<dir>|g" stderr
        echo "== status $status"
    } >actual
    local golden="$golden_dir/$name.golden"
    if [ "${VORN_REGENERATE:-}" = 1 ]; then
        cp actual "$golden"
    elif ! diff -u "$golden" actual; then
        fail "$name: output differs from $golden"
    fi
}

main_vn='import b\nInt run()\n    return 1\n'
b_vn='Int helper()\n    return 2\n'

# Both modules out of date: a is loaded with b inside it; writing C++ must fail loudly until
# the C++ back end exists, after the library interface file of a has been written.
start out-of-date
source_file a.vn "$main_vn"
source_file b.vn "$b_vn"
check out-of-date -v a.vn
[ -f _a.vnl ] || fail "out-of-date: no _a.vnl written"

# Outputs newer than the sources: nothing is written and nothing is sent to the compiler.
start up-to-date
source_file a.vn "$main_vn"
source_file b.vn "$b_vn"
outputs '2021-01-01 00:00:00' a b
check up-to-date -v a.vn
[ ! -f _a.vnl ] || fail "up-to-date: an interface file was written"

# Outputs stamped with the sources' own time count as up to date.
start equal-times
source_file a.vn "$main_vn"
source_file b.vn "$b_vn"
outputs '2020-01-01 00:00:00' a b
check equal-times -v a.vn

# With -s the out-of-date import b is loaded for its declarations but not translated.
start single
source_file a.vn "$main_vn"
source_file b.vn "$b_vn"
outputs '2021-01-01 00:00:00' a
check single -v -s a.vn
check single-without-s -v a.vn

# An import without extension is looked for as h, hpp, vn, vni: vn comes before vni ...
start search-vn-first
source_file a.vn "$main_vn"
source_file b.vn "$b_vn"
source_file b.vni ''
outputs '2021-01-01 00:00:00' a b
check search-vn-first -v a.vn
# ... and hpp before vn (reading a header is refused until the header reader exists).
start search-hpp-first
source_file a.vn "$main_vn"
source_file b.vn "$b_vn"
source_file b.hpp 'int helper();\n'
outputs '2021-01-01 00:00:00' a b
check search-hpp-first -v a.vn

start missing-import
source_file a.vn 'import gone\nInt run()\n    return 1\n'
check missing-import -v a.vn

start missing-input
check missing-input -v nothere.vn

start top-level-statement
source_file a.vn 'Int run()\n    return 1\nrun()\n'
check top-level-statement a.vn

[ "$failures" -eq 0 ]
