#!/usr/bin/env bash
# Compile-time macros with the real binary: each tests/data/macros/*.vn is translated in a
# fresh directory; what vorn prints (the macros' debug_print lines, the diagnostics) and its
# exit status are compared with NAME.golden. A program that translates is then compiled with
# g++ -Wall -Wextra -Werror and run, and its output joins the comparison; files named fail_*
# must fail. Modules the cases import live in subdirectories (Shared/). Run with VORN_REGENERATE=1 to rewrite the golden files instead of comparing.
set -u
source "$(dirname "$0")/common.bash"
data="$(cd "$2" && pwd -P)/tests/data/macros"

for source in "$data"/*.vn; do
    name=$(basename "$source" .vn)
    dir="$tmp/$name"
    mkdir -p "$dir"
    cp -r "$data"/. "$dir/"
    (cd "$dir" && "$build/vorn" "$name.vn" >stdout 2>stderr)
    status=$?
    {
        echo "== stdout"
        cat "$dir/stdout"
        echo "== stderr"
        sed "s|$dir/||g" "$dir/stderr"
        echo "== status $status"
        if [ "$status" = 0 ]; then
            # The case and the modules it imports, the only ones translated.
            if g++ -std=c++17 -Wall -Wextra -Werror -I"$build/include" -I"$dir" $(find "$dir" -name '_*.cpp') \
                -o "$dir/program" 2>"$dir/gcc"; then
                echo "== program"
                "$dir/program"
            else
                echo "== g++ failed"
                cat "$dir/gcc"
            fi
        fi
    } >"$dir/actual"
    check_program_result "$name" "$status" "$dir/actual" "$data/$name.golden"
done
[ "$failures" -eq 0 ]
