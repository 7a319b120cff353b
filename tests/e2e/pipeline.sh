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
        # A file written aside carries the run's process id; the golden names it NAME.tmp.
        sed -e "s|$dir|<dir>|g" -e 's/\.[0-9]*-[0-9]*\.tmp$/.tmp/' stdout
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

main_vn='import Util\nInt run()\n    return 1\n'
util_vn='Int helper()\n    return 2\n'

# Both modules out of date: main is loaded with Util inside it and written first, then Util is
# taken from the stack, found in memory and written; both go to the compiler.
start out-of-date
source_file main.vn "$main_vn"
source_file Util.vn "$util_vn"
check out-of-date -v main.vn
for f in _main.vnl _main.hpp2 _main.hpp _main.cpp _Util.vnl _Util.cpp; do
    [ -f "$f" ] || fail "out-of-date: $f not written"
done
# It closes with the digest of Util's declarations it was made from, passed on by its header
# (mark 1), and the end record.
[ "$(sed 's/^dig 1 [0-9a-f]\{16\} /dig 1 HEX /' _main.vnl)" = "$(printf 'lib main\nimp 1 Util\nfun   run int\ndig 1 HEX Util\neof')" ] ||
    fail "out-of-date: _main.vnl is [$(cat _main.vnl)]"

# Two modules importing each other, both out of date: the cycle ends at the module in memory.
start import-cycle
source_file Main.vn 'import Util\nInt run()\n    return 1\n'
source_file Util.vn 'import Main\nInt helper()\n    return 2\n'
check import-cycle -v Main.vn
[ -f _Util.cpp ] && [ -f _Main.cpp ] || fail "import-cycle: a module was not written"

# The second run without edits writes nothing and sends nothing to the compiler.
start second-run
source_file main.vn "$main_vn"
source_file Util.vn "$util_vn"
vorn main.vn >/dev/null 2>&1 || fail "second-run: the first run failed"
check second-run -v main.vn

# Outputs stamped with the sources' own time count as up to date; one second older do not.
start equal-times
source_file main.vn "$main_vn"
source_file Util.vn "$util_vn"
outputs '2020-01-01 00:00:00' main Util
check equal-times -v main.vn
start older-by-a-second
source_file main.vn "$main_vn"
source_file Util.vn "$util_vn"
outputs '2019-12-31 23:59:59' Util
outputs '2020-01-01 00:00:00' main
check older-by-a-second main.vn
[ -s _Util.cpp ] || fail "older-by-a-second: Util was not rewritten"
# main itself counts as up to date, but Util's declarations changed under it: it is
# translated again after Util.
[ -s _main.cpp ] || fail "older-by-a-second: main was not translated again after Util's header changed"

# A change two imports down, translated in a run of its own, reaches the top in the next run:
# main's record of Mid chains the digest of Low's declarations through Mid's header. A change
# to a body alone moves no declaration and translates nothing above Low.
start chained-digests
source_file main.vn 'import Mid\nInt run()\n    return mid()\n'
source_file Mid.vn 'import Low\nInt mid()\n    return low()\n'
for edit in 'Int low()\n    return 3\n' 'Long low()\n    return 3\n'; do
    source_file Low.vn 'Int low()\n    return 2\n'
    vorn main.vn >/dev/null 2>&1 || fail "chained-digests: the first run failed"
    touch -d '2021-01-01 00:00:00' _*
    source_file Low.vn "$edit"
    touch -d '2022-01-01 00:00:00' Low.vn
    vorn Low.vn >/dev/null 2>&1 || fail "chained-digests: translating Low failed"
    vorn -v main.vn >stdout 2>&1 || fail "chained-digests: the rerun failed"
    written=$(sed -n 's/^writing: \(.*\) to vnl$/\1/p' stdout | sort | tr '\n' ' ')
    case $edit in
    Int*) [ -z "$written" ] || fail "chained-digests: a body change rewrote $written" ;;
    *) [ "$written" = "Mid main " ] || fail "chained-digests: a declaration change rewrote [$written]" ;;
    esac
done

# With -s the out-of-date import Util is loaded for its declarations but not translated.
start single
source_file main.vn "$main_vn"
source_file Util.vn "$util_vn"
outputs '2021-01-01 00:00:00' main
check single -v -s main.vn
[ ! -f _Util.cpp ] || fail "single: Util was translated"
check single-without-s -v main.vn

# An import without extension is looked for as h, hpp, vn, vni: vn comes before vni ...
start search-vn-first
source_file main.vn "$main_vn"
source_file Util.vn "$util_vn"
source_file Util.vni ''
outputs '2021-01-01 00:00:00' main Util
check search-vn-first -v main.vn
# ... and hpp before vn.
start search-hpp-first
source_file main.vn "$main_vn"
source_file Util.vn "$util_vn"
source_file Util.hpp 'int helper();\n'
outputs '2021-01-01 00:00:00' main Util
check search-hpp-first -v main.vn

start missing-import
source_file main.vn 'import Gone\nInt run()\n    return 1\n'
check missing-import -v main.vn

start missing-input
check missing-input -v nothere.vn

start top-level-statement
source_file main.vn 'Int run()\n    return 1\nrun()\n'
check top-level-statement main.vn
[ ! -f _main.vnl ] || fail "top-level-statement: a failed module was written"

# Types are inferred in every body; a variable or loop variable whose type cannot be known is
# an error, not an assignment written for the C++ compiler to reject.
start untyped-outside-top-level
source_file main.vn 'class Point\n    var m = 1\n    static var n = 2\nInt main()\n    var x = missing\n    for i in nothing\n        x += i\n    return x\n'
check untyped-outside-top-level main.vn
[ ! -f _main.cpp ] || fail "untyped-outside-top-level: a failed module kept its files"

[ "$failures" -eq 0 ]
