#!/usr/bin/env bash
# Dependencies between the translator's components flow one way: among the header/source pairs
# of src/, no two include each other, directly or through others, except the knot of name
# lookup and type inference, which call each other by design.
set -u
source "$(dirname "$0")/common.bash"
src=$2/src

# Components allowed to share one cycle.
knot="sema/NameLookup sema/TypeOf"

# edges DIR: one "from to" line per #include "..." between two components of DIR (a component
# is a file path without its extension, so X.hpp and X.cpp are one), self-edges left out.
edges() {
    local dir=$1 file from to
    (cd "$dir" && find . -name '*.hpp' -o -name '*.cpp') | sed 's|^\./||' | sort | while read -r file; do
        from=${file%.*}
        sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$dir/$file" |
            while read -r to; do
                to=${to%.*}
                [ -e "$dir/$to.hpp" ] && [ "$to" != "$from" ] && echo "$from $to"
            done
    done | sort -u
}

# cycles DIR: each group of components that reach each other, one line of names in order.
cycles() {
    edges "$1" | awk '
        { n[$1] = 1; n[$2] = 1; r[$1, $2] = 1 }
        END {
            for (k in n) for (i in n) if ((i, k) in r) for (j in n) if ((k, j) in r) r[i, j] = 1
            for (i in n) {
                line = ""
                for (j in n) if (i == j || ((i, j) in r && (j, i) in r)) line = line " " j
                if (line != " " i) print line
            }
        }' | while read -r line; do tr ' ' '\n' <<<"$line" | sort | tr '\n' ' ' | sed 's/ $//'; echo; done | sort -u
}

# Groups other than a part of the knot.
unexpected() {
    cycles "$1" | while read -r group; do
        for name in $group; do
            case " $knot " in *" $name "*) ;; *) echo "$group"; break ;; esac
        done
    done
}

# The check finds a cycle through a header and a source file, and passes a chain.
mkdir -p "$tmp/fake/platform"
printf '#include "B.hpp"\n' >"$tmp/fake/A.hpp"
printf '#include "C.hpp"\n' >"$tmp/fake/B.hpp"
printf '#include "platform/P.hpp"\n' >"$tmp/fake/C.hpp"
printf '#include "A.hpp"\n#include "C.hpp"\n' >"$tmp/fake/C.cpp"
: >"$tmp/fake/platform/P.hpp"
: >"$tmp/fake/D.hpp"
printf '#include "D.hpp"\n' >"$tmp/fake/D.cpp"
[ "$(unexpected "$tmp/fake")" = "A B C" ] || fail "a cycle A B C was not found: '$(unexpected "$tmp/fake")'"
rm "$tmp/fake/C.cpp"
[ -z "$(unexpected "$tmp/fake")" ] || fail "a chain was reported as a cycle: '$(unexpected "$tmp/fake")'"

# Stages in the order data flows: a component includes its own stage's and earlier ones, and
# platform/ from anywhere. The three documented exceptions are the only includes that go back.
stages="base tree front sema back driver"
allowed_up="tree/Ast front/Lexer
front/HeaderCache back/CppWriter
platform/CompilerCache base/Text"
rank() { local i=0 s; for s in $stages; do [ "$s" = "$1" ] && { echo $i; return; }; i=$((i + 1)); done; echo -1; }
edges "$src" | while read -r from to; do
    a=$(rank "${from%%/*}") b=$(rank "${to%%/*}")
    [ "$b" -le "$a" ] || grep -qx "$from $to" <<<"$allowed_up" || echo "$from includes $to of a later stage"
done >"$tmp/up"
[ ! -s "$tmp/up" ] || fail "$(cat "$tmp/up")"

found=$(unexpected "$src")
[ -z "$found" ] || fail "components of src/ that include each other: $found"
[ -n "$(edges "$src")" ] || fail "no include lines found under $src"

[ "$failures" -eq 0 ]
