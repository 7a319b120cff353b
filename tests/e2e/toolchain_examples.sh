#!/usr/bin/env bash
# The programs in examples/, translated, compiled and linked with the gcc and the clang
# script in a copy of the directory, print their expected output.
set -u
source "$(dirname "$0")/common.bash"
source_dir=$(cd "$2" && pwd -P)

for script in gcc clang; do
    mkdir "$tmp/$script"
    cp -r "$source_dir/examples/." "$tmp/$script/"
    cd "$tmp/$script"
    for example in hello.vn shapes/main.vn stock.vn; do
        program=${example%.vn}
        expected=$program.expected-output.txt
        "$build/vorn" -c "$script" "$example" >"$tmp/out" 2>&1 || fail "$script $example: vorn failed: $(cat "$tmp/out")"
        if [ -x "$program" ]; then
            "./$program" >"$tmp/got" || fail "$script $example: the program failed"
            diff "$expected" "$tmp/got" >/dev/null || fail "$script $example: printed $(cat "$tmp/got")"
        else
            fail "$script $example: $program was not linked"
        fi
    done
done

[ "$failures" -eq 0 ]
