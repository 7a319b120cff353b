#!/usr/bin/env bash
# vorn.exe under Wine: programs translated there, compiled on the host with the MinGW compiler
# and run under Wine again; a folder outside the ANSI code page; a header whose name differs
# from an interface file's only in case; the header folders of INCLUDE; deep input.
set -u
source "$(dirname "$0")/common.bash"
src=$2

# The bundled examples.
for example in hello stock; do
    mkdir -p "$tmp/$example" && cd "$tmp/$example"
    cp "$src/examples/$example.vn" .
    win "$build/vorn.exe" $example.vn >"$tmp/err" 2>&1 || fail "$example: vorn.exe failed: $(cat "$tmp/err")"
    mingw _$example.* >"$tmp/err" 2>&1 || fail "$example: g++ rejected it: $(cat "$tmp/err")"
    runs_as $example "$src/examples/$example.expected-output.txt"
done

# Classes, inheritance, shared pointers and loops over three modules.
cp -r "$src/examples/shapes" "$tmp/shapes" && cd "$tmp/shapes"
win "$build/vorn.exe" main.vn >"$tmp/err" 2>&1 || fail "shapes: vorn.exe failed: $(cat "$tmp/err")"
mingw _*.cpp _*.hpp >"$tmp/err" 2>&1 || fail "shapes: g++ rejected it: $(cat "$tmp/err")"
runs_as shapes main.expected-output.txt

# "widgets.h" answers "Widgets.h" on a file system that ignores case: the module is still the
# interface file, whose prefix and renames the program relies on.
cp -r "$src/examples/widgets" "$tmp/widgets" && cd "$tmp/widgets"
win "$build/vorn.exe" draw.vn >"$tmp/err" 2>&1 || fail "widgets: vorn.exe failed: $(cat "$tmp/err")"
grep -q '#include "_Widgets.hpp"' _draw.hpp || fail "widgets: draw does not import the interface file"
mingw _draw.cpp _draw.hpp _Widgets.* _widgets_h.* >"$tmp/err" 2>&1 || fail "widgets: g++ rejected it: $(cat "$tmp/err")"
runs_as widgets draw.expected-output.txt
# Written in binary mode, with one kind of separator.
! grep -q $'\r' _draw.vnl _draw.cpp _draw.hpp || fail "widgets: a generated file holds CR LF"
! grep -n '^#\(line\|include\).*\\' _draw.cpp _draw.hpp _Widgets.hpp || fail "widgets: a path with backslashes"

# Two modules in a folder named 日本, imported by a path with a blank.
mkdir -p "$tmp/日本/my app" && cd "$tmp/日本/my app"
cat >Greeting.vn <<'VN'
String greeting(String name)
    return "hello, " + name
VN
cat >main.vn <<'VN'
import Greeting
Int main()
    [String] names
    names.push_back("日本")
    names.push_back("Wine")
    for name in names
        printf("%s\n", greeting(name).c_str())
    return 0
VN
printf 'hello, 日本\nhello, Wine\n' >expected.txt
win "$build/vorn.exe" main.vn >"$tmp/err" 2>&1 || fail "日本: vorn.exe failed: $(cat "$tmp/err")"
mingw _main.* _Greeting.* >"$tmp/err" 2>&1 || fail "日本: g++ rejected it: $(cat "$tmp/err")"
runs_as 日本 expected.txt

# No compiler to ask: the header folders come from INCLUDE, and a header found nowhere is an
# error at the interface file's line.
mkdir -p "$tmp/inc" "$tmp/include-env" && cd "$tmp/include-env"
printf 'int twice(int x);\n' >"$tmp/inc/twice.h"
printf 'int twice(int x) { return 2 * x; }\n' >twice.c
printf 'include = twice.h\n' >Twice.vni
printf 'include = nowhere.h\n' >Missing.vni
printf 'import Twice\nInt main()\n    printf("%%d\\n", twice(21))\n    return 0\n' >main.vn
printf 'import Missing\nInt main()\n    return 0\n' >missing.vn
INCLUDE="$wtmp/inc" win "$build/vorn.exe" --cxx no-such-compiler main.vn >"$tmp/err" 2>&1 ||
    fail "INCLUDE: vorn.exe failed: $(cat "$tmp/err")"
grep -q 'twice.h' _Twice.hpp 2>/dev/null || fail "INCLUDE: the header is not included"
INCLUDE="$wtmp/inc" win "$build/vorn.exe" --cxx no-such-compiler missing.vn >"$tmp/err" 2>&1 &&
    fail "INCLUDE: a missing header gave exit 0"
grep -q 'Missing.vni(1,1) : error : No header found for include = nowhere.h' "$tmp/err" || fail "INCLUDE: message was $(cat "$tmp/err")"

# Deep but valid input: 590 nested ifs (the limit is 600) need more than the default 2 MB of
# stack, which ended vorn.exe without a word.
mkdir -p "$tmp/deep" && cd "$tmp/deep"
{
    echo 'Int main()'
    echo '    Int n = 1'
    for ((i = 1; i <= 590; i++)); do printf "%$((4 * i))sif n > 0\n" ""; done
    printf "%$((4 * 591))sn = 2\n" ""
    echo '    return n - 2'
} >deep.vn
win "$build/vorn.exe" deep.vn >"$tmp/err" 2>&1 || fail "deep: vorn.exe gave $?: $(head -c 300 "$tmp/err")"
[ -s _deep.cpp ] || fail "deep: nothing written"

exit $((failures > 0))
