#!/usr/bin/env bash
# Generated lines far deeper than any program: chains of 100,000 operators, member accesses,
# calls, indexes and type operators, and 100,000 brackets or prefix operators. vorn must refuse
# each with a positioned error, never end by a signal or with a sanitizer report. The deepest
# trees it accepts (chains just inside the limit, alone, inside brackets and inside blocks)
# must go through every later stage: linking, lookup, inference, emission and freeing. A chain
# of imports too long to take is refused the same way.
set -u
source "$(dirname "$0")/common.bash"
limit=$(sed -n 's/^const int maxTreeHeight = \([0-9]*\);.*/\1/p' "$2/src/front/Parser.hpp")
[ -n "$limit" ] || fail "no maxTreeHeight in src/front/Parser.hpp"
cd "$tmp"

repeat() { yes -- "$1" | head -n "$2" | tr -d '\n'; }
# program NAME LINES...: NAME.vn, a main function whose body is the given lines.
program() {
    local name=$1
    shift
    { echo "Int main()"; printf '    %s\n' "$@"; echo "    return 0"; } >"$name.vn"
}
# run NAME EXPECTED_STATUS [STDERR_PATTERN]: without a pattern, standard error must be empty.
run() {
    "$build/vorn" "$1.vn" >"$1.out" 2>"$1.err"
    local status=$? said
    said=$(head -c 300 "$1.err")
    [ "$status" -eq "$2" ] || fail "$1: exit status $status, expected $2 [$said]"
    if [ $# -gt 2 ]; then
        grep -qE "$3" "$1.err" || fail "$1: standard error [$said] does not match [$3]"
    else
        [ ! -s "$1.err" ] || fail "$1: standard error [$said]"
    fi
    grep -q "AddressSanitizer\|runtime error" "$1.err" && fail "$1: sanitizer report"
}

n=100000
refused='\.vn\([0-9]+,[0-9]+\) : error : (Expression|Nesting) too deep: more than [0-9]+ '
program plus "Int x = 1$(repeat ' + 1' $n)"
program times "Int x = 1$(repeat ' * 1' $n)"
program minus "Int x = 1$(repeat ' - 1' $n)"
program members "Int x = a$(repeat '.n' $n)"
program arrows "Int x = a$(repeat '->n' $n)"
program calls "f$(repeat '()' $n)"
program indexes "Int x = a$(repeat ' # 1' $n)"
program conditions "Int x = a$(repeat ' ? 1 : 2' $n)"
program assignments "x$(repeat ' = x' $n)"
program logic "Bool b = a$(repeat ' && a' $n)"
program prefixes "Int x = $(repeat '- ' $n)1"
program brackets "Int x = $(repeat '(' $n)1$(repeat ')' $n)"
program pointers "Int$(repeat '*' $n) p"
program arrays "Int$(repeat '#1' $n) p"
program scopes "A$(repeat '.B' $n) p"
program functions "Int$(repeat '(Int)' $n) p"
program vectors "$(repeat '[' $n)Int$(repeat ']' $n) v"
for name in plus times minus members arrows calls indexes conditions assignments logic prefixes brackets \
    pointers arrays scopes functions vectors; do
    run "$name" 1 "^$tmp/$name$refused"
done

# Just inside the limit: a chain alone, a chain in each of many brackets, a chain under many
# blocks. Each translates; what the C++ compiler makes of it is not asked here.
inside=$((limit - 10))
program chain "Int x = 1$(repeat ' + 1' $inside)"
run chain 0
depth=500
e=1
for ((i = 0; i < depth; ++i)); do e="($e + 1)"; done
program nested "Int x = $e$(repeat ' + 1' $((limit - 2 * depth - 10)))"
run nested 0
{
    echo "Int main()"
    echo "    Int x = 0"
    for ((i = 0; i < depth; ++i)); do printf '%*sif x\n' $((4 * (i + 1))) ''; done
    printf '%*sx = 1%s\n' $((4 * (depth + 1))) '' "$(repeat ' + 1' $((limit - depth - 10)))"
    echo "    return 0"
} >blocks.vn
run blocks 0

# A chain of imports one longer than the loader takes is refused; it used to end in SIGSEGV.
depth=$(sed -n 's/^const int maxImportDepth = \([0-9]*\);.*/\1/p' "$2/src/driver/BuildManager.cpp")
[ -n "$depth" ] || fail "no maxImportDepth in src/driver/BuildManager.cpp"
mkdir chain && cd chain
for ((i = 0; i <= depth; i++)); do printf 'import M%d\nInt f%d()\n    return 1\n' $((i + 1)) "$i" >"M$i.vn"; done
printf 'Int f%d()\n    return 1\n' $((depth + 1)) >"M$((depth + 1)).vn"
printf 'import M0\nInt main()\n    return f0()\n' >chained.vn
run chained 1 "Imports nest deeper than $depth modules"
cd ..

[ "$failures" -eq 0 ]
