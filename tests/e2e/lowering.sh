#!/usr/bin/env bash
# Lowering with the real binary: each tests/data/lowering/*.vn is translated in a fresh
# directory; vorn's diagnostics and exit status are compared with NAME.golden. A program that
# translates is compiled with g++ and clang++ (-std=c++17 -Wall -Wextra -Werror) and run, and
# what it prints joins the comparison; files named fail_* must fail. Texts that NAME.cpp-lines
# lists must stand in the generated implementation file.
# Run with VORN_REGENERATE=1 to rewrite the golden files instead of comparing.
set -u
source "$(dirname "$0")/common.bash"
data="$(cd "$2" && pwd -P)/tests/data/lowering"

for source in "$data"/*.vn; do
    name=$(basename "$source" .vn)
    dir="$tmp/$name"
    mkdir -p "$dir"
    cp "$source" "$dir/"
    (cd "$dir" && "$build/vorn" "$name.vn" >stdout 2>stderr)
    status=$?
    {
        echo "== stderr"
        sed "s|$dir/||g" "$dir/stderr"
        echo "== status $status"
        if [ "$status" = 0 ]; then
            for compiler in g++ clang++; do
                command -v "$compiler" >/dev/null || continue
                if "$compiler" -std=c++17 -Wall -Wextra -Werror -I"$build/include" -I"$dir" "$dir/_$name.cpp" \
                    -o "$dir/program" 2>"$dir/compiler"; then
                    echo "== $compiler"
                    "$dir/program"
                else
                    echo "== $compiler failed"
                    echo "$compiler" >>"$dir/rejected"
                fi
            done
        fi
    } >"$dir/actual"
    # NAME.cpp-lines: texts the generated implementation file must hold, one a line.
    if [ -f "$data/$name.cpp-lines" ]; then
        while IFS= read -r text; do
            grep -qF -- "$text" "$dir/_$name.cpp" || fail "$name: _$name.cpp lacks [$text]"
        done <"$data/$name.cpp-lines"
    fi
    [ ! -f "$dir/rejected" ] || fail "$name: $(cat "$dir/rejected") rejected the C++: $(cat "$dir/compiler")"
    check_program_result "$name" "$status" "$dir/actual" "$data/$name.golden"
done
[ "$failures" -eq 0 ]
