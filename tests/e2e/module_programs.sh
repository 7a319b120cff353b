#!/usr/bin/env bash
# Programs of several modules, each in a folder of tests/data/modules with its main.vn and the
# output it must print: built with the shipped gcc and clang scripts (warnings as errors) and
# run, from a fresh copy, so imports, classes named like their modules and templates used
# across modules are checked the way a user builds them.
set -u
source "$(dirname "$0")/common.bash"
data="$(cd "$2" && pwd -P)/tests/data/modules"

for program in "$data"/*/; do
    name=$(basename "$program")
    for script in gcc clang; do
        dir="$tmp/$name-$script"
        cp -r "$program" "$dir"
        if ! (cd "$dir" && "$build/vorn" -c "$script" -C "-Wall -Wextra -Werror" -o prog main.vn >log 2>&1); then
            fail "$name ($script): $(cat "$dir/log")"
            continue
        fi
        (cd "$dir" && ./prog >actual 2>&1) || fail "$name ($script): the program failed"
        diff -u "$program/expected-output.txt" "$dir/actual" || fail "$name ($script): output differs"
    done
done
[ "$failures" -eq 0 ]
