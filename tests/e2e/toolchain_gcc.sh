#!/usr/bin/env bash
# Real builds with the shipped gcc and clang scripts: a two-module program is translated,
# compiled, linked and run; then the incremental cases. The compilers are reached through
# wrappers first on PATH that log each command line before running the real tool, so the
# test sees which modules were compiled.
set -u
source "$(dirname "$0")/common.bash"

mkdir -p "$tmp/bin"
for tool in g++ clang++; do
    real=$(command -v "$tool") || { fail "$tool is not installed"; continue; }
    printf '#!/bin/sh\necho "%s $*" >>"%s/log"\nexec "%s" "$@"\n' "$tool" "$tmp" "$real" >"$tmp/bin/$tool"
    chmod +x "$tmp/bin/$tool"
done
export PATH="$tmp/bin:$PATH"

# A fresh copy of the program in directory $1.
program() {
    rm -rf "$1"
    mkdir -p "$1"
    cat >"$1/Util.vn" <<'VN'
// Helpers for main.
Int twice(Int n)
    return n + n
VN
    cat >"$1/main.vn" <<'VN'
import Util

Int main()
    Int i = 0
    while i < 3
        printf("%d;", twice(i))
        i += 1
    printf("\n")
    return 0
VN
}

# Which generated files the compiler was run on, in order, and whether it linked; one line.
compiled() {
    [ -f "$tmp/log" ] || { echo "nothing"; return; }
    sed -n 's|.* -c .* \([^ ]*/\)\?\(_[A-Za-z]*\.cpp\)$|\2|p; s|.* -o \([^ ]*\) .*\.o.*|link \1|p' "$tmp/log" |
        sed "s|$tmp/[^ ]*/||" | tr '\n' ' ' | sed 's/ $//'
}

# vorn_run NAME EXPECTED_COMPILED ARGUMENTS...: runs vorn (status 0 expected) and compares
# what was compiled and linked.
vorn_run() {
    local name=$1 expected=$2
    shift 2
    rm -f "$tmp/log"
    # One compile at a time, so that the log shows the order the commands start in.
    "$build/vorn" -j 1 "$@" >"$tmp/out" 2>"$tmp/err" || fail "$name: vorn $* failed: $(cat "$tmp/err")"
    local got
    got=$(compiled)
    [ "$got" = "$expected" ] || fail "$name: compiled [$got], expected [$expected]"
}

expect_output() {
    local name=$1 program=$2
    [ -x "$program" ] || { fail "$name: $program was not linked"; return; }
    local out
    out=$("$program")
    [ "$out" = "0;2;4;" ] || fail "$name: $program printed [$out]"
}

# Edits a source so that it is newer than every output: file times count in whole seconds,
# so everything in the directory is first dated back (equal times still count as up to date).
age() { touch -d "@$(($(date +%s) - 100))" ./*; }
change() {
    sed -i "s|$2|$3|" "$1"
    touch "$1"
}
edit() {
    age
    change "$@"
}

for script in gcc clang; do
    dir=$tmp/$script
    program "$dir"
    cd "$dir"
    vorn_run "$script: first build" "_Util.cpp _main.cpp link main" -c "$script" main.vn
    expect_output "$script: first build" ./main
    vorn_run "$script: no edits" "link main" -v -c "$script" main.vn
    [ "$(grep -c "No writing, file is up to date" "$tmp/out")" -eq 2 ] ||
        fail "$script: no edits: translated again: $(cat "$tmp/out")"
done

cd "$tmp/gcc"
# A change in main's body: main alone is translated and compiled.
edit main.vn 'i += 1' 'i = i + 1'
vorn_run "edited main" "_main.cpp link main" -c gcc main.vn
# A change in Util's function body: Util's implementation file changed, so Util and the
# module that imports it are compiled.
edit Util.vn 'n + n' '2 * n'
vorn_run "edited Util body" "_Util.cpp _main.cpp link main" -c gcc main.vn
expect_output "edited Util body" ./main
# A source touched without a change is translated and compiled again, but what imports it
# is not: its generated files compare equal.
edit Util.vn 'x' 'x'
vorn_run "touched Util" "_Util.cpp link main" -c gcc main.vn

# Options: -O debug adds -g to both commands, -C and -L reach them, -o names the program.
program "$tmp/options"
cd "$tmp/options"
vorn_run "options" "_Util.cpp _main.cpp link hello" -c gcc -O debug -C -MD -L -Wl,-Map=hello.map -o hello main.vn
expect_output "options" ./hello
[ "$(grep -c -- ' -g ' "$tmp/log")" -eq 3 ] || fail "options: -g missing: $(cat "$tmp/log")"
[ -f _main.d ] || fail "options: -C -MD did not reach the compiler"
[ -f hello.map ] || fail "options: -L -Wl,-Map did not reach the linker"
[ -e main ] && fail "options: linked main although -o named hello"

# -s translates and compiles the named module only, and does not link.
cd "$tmp/gcc"
rm main
age
change Util.vn '2 \* n' 'n * 2'
change main.vn '"\\n"' '"!\\n"'
vorn_run "-s" "_main.cpp" -c gcc -s main.vn
[ -e main ] && fail "-s: linked"
grep -q 'n \* 2' _Util.cpp && fail "-s: translated the imported module"
vorn_run "after -s" "_Util.cpp _main.cpp link main" -c gcc main.vn
[ "$(./main)" = "0;2;4;!" ] || fail "after -s: main printed [$(./main)]"

# Folders with blanks in their names reach the compiler and linker as single arguments.
program "$tmp/with blank/sub folder"
cd "$tmp/with blank/sub folder"
"$build/vorn" -c gcc main.vn >"$tmp/out" 2>&1 || fail "blanks: vorn failed: $(cat "$tmp/out")"
expect_output "blanks" ./main

# What an importer inferred from an import follows the import's new declarations: a rerun
# translates it again, so the variable takes the new type and the other overload is called.
mkdir -p "$tmp/infer" && cd "$tmp/infer"
printf 'Void show(String s)\n    printf("text %%s\\n", s.c_str())\nVoid show(Int i)\n    printf("number %%d\\n", i)\nString name()\n    return "abc"\n' >B.vn
printf 'import B\n\nInt main()\n    var x = name()\n    show(x)\n    return 0\n' >A.vn
"$build/vorn" -c gcc A.vn >"$tmp/out" 2>&1 || fail "infer: first build failed: $(cat "$tmp/out")"
[ "$(./A)" = "text abc" ] || fail "infer: first build printed [$(./A)]"
age
change B.vn '^String name()' 'Int name()'
change B.vn 'return "abc"' 'return 7'
"$build/vorn" -c gcc A.vn >"$tmp/out" 2>&1 || fail "infer: rebuild failed: $(cat "$tmp/out")"
[ "$(./A)" = "number 7" ] || fail "infer: rebuild printed [$(./A)]"

[ "$failures" -eq 0 ]
