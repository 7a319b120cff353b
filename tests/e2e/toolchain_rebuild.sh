#!/usr/bin/env bash
# Runs that must recover from an earlier run with g++ and the shipped gcc script: objects that
# are missing are built, a failed translation fails again until the source is fixed, and
# modules in subfolders that import each other compile. g++ is reached through a wrapper
# first on PATH that logs each command line and fails for a file named in $tmp/fail.
set -u
source "$(dirname "$0")/common.bash"

real=$(command -v g++) || { echo "FAIL: g++ is not installed"; exit 1; }
mkdir -p "$tmp/bin"
cat >"$tmp/bin/g++" <<TOOL
#!/bin/sh
echo "g++ \$*" >>"$tmp/log"
for a in "\$@"; do
    [ -f "$tmp/fail" ] && [ "\$(basename -- "\$a")" = "\$(cat "$tmp/fail")" ] && exit 1
done
exec "$real" "\$@"
TOOL
chmod +x "$tmp/bin/g++"
export PATH="$tmp/bin:$PATH"

# The generated files g++ compiled, in order, and "link" when it linked; one line.
compiled() {
    [ -f "$tmp/log" ] || { echo "nothing"; return; }
    sed -n 's|.* -c .* [^ ]*/\(_[A-Za-z]*\.cpp\)$|\1|p; s|.* -o [^ ]* .*\.o.*|link|p' "$tmp/log" | tr '\n' ' ' |
        sed 's/ $//'
}

# vorn_run NAME EXPECTED_STATUS EXPECTED_COMPILED ARGUMENTS...
vorn_run() {
    local name=$1 status=$2 expected=$3
    shift 3
    rm -f "$tmp/log"
    # One compile at a time, so that the log shows the order the commands start in.
    "$build/vorn" -j 1 "$@" >"$tmp/out" 2>"$tmp/err"
    local got=$?
    [ "$got" -eq "$status" ] || fail "$name: exit status $got, expected $status; stderr: $(cat "$tmp/err")"
    [ "$(compiled)" = "$expected" ] || fail "$name: compiled [$(compiled)], expected [$expected]"
}

expect_output() {
    local name=$1 expected=$2
    [ -x ./main ] || { fail "$name: main was not linked"; return; }
    [ "$(./main)" = "$expected" ] || fail "$name: main printed [$(./main)], expected [$expected]"
}

# Makes every file in the directory older, so that a later write is newer (whole seconds).
age() { touch -d "@$(($(date +%s) - 100))" ./*; }

# A chain of three modules: main imports B, B imports A.
mkdir "$tmp/chain"
cd "$tmp/chain"
printf 'Int one()\n    return 1\n' >A.vn
printf 'import A\nInt two()\n    return one() + one()\n' >B.vn
printf 'import B\nInt main()\n    printf("%%d\\n", two())\n    return 0\n' >main.vn

# Translated without -c first: the objects were never made, so the compile run makes them.
vorn_run "translated first" 0 "nothing" main.vn
vorn_run "then compiled" 0 "_A.cpp _B.cpp _main.cpp link" -c gcc main.vn
expect_output "then compiled" 2
vorn_run "nothing to do" 0 "link" -c gcc main.vn

# A deleted object file is made again, and only that one.
rm _B.o
vorn_run "deleted object" 0 "_B.cpp link" -c gcc main.vn
expect_output "deleted object" 2
# So is one older than its implementation file.
age
touch _A.cpp
vorn_run "older object" 0 "_A.cpp link" -c gcc main.vn

# A failed compile stops the compiling; once the cause is gone, an unedited rerun compiles
# the module that failed and those after it that were never compiled.
age
touch A.vn B.vn main.vn
echo _B.cpp >"$tmp/fail"
vorn_run "failed compile" 1 "_A.cpp _B.cpp" -c gcc main.vn
rm "$tmp/fail"
vorn_run "after the failed compile" 0 "_B.cpp _main.cpp link" -c gcc main.vn
expect_output "after the failed compile" 2

# A back-end failure (a tuple where an Int is wanted) leaves the previous files in place and
# no file aside; the rerun fails the same way until the source is mended.
cp _main.cpp "$tmp/previous.cpp"
age
printf 'import B\nInt main()\n    Int x = (1, 2)\n    printf("%%d\\n", two())\n    return 0\n' >main.vn
for run in "failed translation" "rerun of the failed translation"; do
    vorn_run "$run" 1 "nothing" -c gcc main.vn
    grep -q "INTERNAL COMPILER ERROR" "$tmp/err" || fail "$run: no error reported: $(cat "$tmp/err")"
    cmp -s _main.cpp "$tmp/previous.cpp" || fail "$run: _main.cpp was replaced"
    ls ./*.tmp >/dev/null 2>&1 && fail "$run: files left aside: $(ls ./*.tmp)"
done
printf 'import B\nInt main()\n    printf("%%d!\\n", two())\n    return 0\n' >main.vn
vorn_run "mended translation" 0 "_main.cpp link" -c gcc main.vn
expect_output "mended translation" "2!"

# The same failure on a first translation: nothing is left that could pass for output.
mkdir "$tmp/fresh"
cd "$tmp/fresh"
printf 'Int main()\n    Int x = (1, 2)\n    return 0\n' >main.vn
vorn_run "failed first translation" 1 "nothing" main.vn
vorn_run "rerun of the failed first translation" 1 "nothing" main.vn
[ -z "$(ls -A | grep -v '^main.vn$')" ] || fail "failed first translation left: $(ls -A)"

# Modules in two subfolders that import each other; includes name them from the top folder.
mkdir -p "$tmp/tree/Geometry" "$tmp/tree/Shapes"
cd "$tmp/tree"
printf 'Int length(Int a, Int b)\n    return b - a\n' >Geometry/Line.vn
printf 'import Geometry.Line\nInt area(Int w, Int h)\n    return length(0, w) * length(0, h)\n' >Shapes/Box.vn
printf 'import Geometry.Line\nimport Shapes.Box\nInt main()\n    printf("%%d %%d\\n", length(1, 4), area(2, 3))\n    return 0\n' >main.vn
vorn_run "subfolders" 0 "_Line.cpp _Box.cpp _main.cpp link" -c gcc main.vn
expect_output "subfolders" "3 6"
# Run from elsewhere, with a path to the main module.
cd "$tmp"
rm -f tree/main tree/*/_*.o tree/_*.o
vorn_run "subfolders from elsewhere" 0 "_Line.cpp _Box.cpp _main.cpp link" -c gcc tree/main.vn
cd "$tmp/tree"
expect_output "subfolders from elsewhere" "3 6"

[ "$failures" -eq 0 ]
