#!/usr/bin/env bash
# Inputs that are no regular files, text that ends inside a construct, and option values and
# configurations that make no sense. Each must end with status 1 and a message naming what was
# wrong; none may hang (a run still going after a minute is stopped and counts as failed).
set -u
source "$(dirname "$0")/common.bash"
private_installation
vorn=$inst/vorn
mkdir -p "$tmp/w" && cd "$tmp/w" || exit 1

# refused NAME PATTERN COMMAND...: status 1 and standard error matching PATTERN.
refused() {
    local name=$1 pattern=$2
    shift 2
    timeout 60 "$@" >"$tmp/out" 2>"$tmp/err" </dev/null
    local status=$?
    [ "$status" -eq 1 ] || fail "$name: exit status $status, expected 1 [$(cat "$tmp/err")]"
    grep -qE -- "$pattern" "$tmp/err" || fail "$name: standard error [$(cat "$tmp/err")] does not match [$pattern]"
}

# --- Pipes, devices and directories where a file is read.
mkfifo pipe.vn pipe.vni pipe.rsp pipe.h "$inst/compiler/pipe"
ln -s /dev/zero zero.vn
mkdir folder.h
printf 'import Lib\n\nInt main()\n    return 0\n' >app.vn
refused "source is a pipe" "pipe.vn : error : Unable to open file" "$vorn" pipe.vn
refused "source is a device" "zero.vn : error : Unable to open file" "$vorn" zero.vn
refused "include interface is a pipe" "pipe.vni : error : Unable to open vni file" "$vorn" pipe.vni
refused "response file is a pipe" "^pipe.rsp : error : Unable to open file" "$vorn" @pipe.rsp
refused "compiler script is a pipe" "^$inst/compiler/pipe\$" "$vorn" -c pipe app.vn
mkfifo Lib.h
refused "imported header is a pipe" "Lib.h : error : Unable to open file" "$vorn" app.vn
rm Lib.h && mkdir Lib.h
refused "imported header is a directory" "Lib.h : error : Unable to open file" "$vorn" app.vn
refused "vorn-pp on a directory" "Unable to open file: folder.h" "$build/vorn-pp" folder.h
refused "vorn-pp on a pipe" "Unable to open file: pipe.h" "$build/vorn-pp" pipe.h
rm -r Lib.h

# --- A comment or literal still open where the file ends is an error at its opening, in a
# source and in a header the preprocessor reads; nothing is written for the module.
mkdir -p open && cd open || exit 1
unterminated() {  # unterminated NAME TEXT POSITION WHAT
    printf "$2" >"$1.vn"
    refused "$1" "$1.vn\\($3\\) : error : Syntax error, unterminated $4\$" "$vorn" "$1.vn"
    [ ! -e "_$1.cpp" ] || fail "$1: C++ was written"
}
unterminated comment 'Int f()\n    return 1\n/* open\nInt g()\n    return 2\n' 3,1 comment
unterminated nested 'Int f()\n    return 1\n/+ a /+ b +/ c\n' 3,1 "nested comment"
unterminated char "Char f()\n    Char c = 'a\n    return c\n" 2,14 "character literal"
unterminated string 'String f()\n    return "abc\n\n' 2,12 "string literal"
printf 'int a;\n/* open\nint b;\n' >Open.h
printf 'import Open\n\nInt main()\n    return 0\n' >header.vn
refused "open comment in a header" "Open.h\\(2,1\\) : error : Syntax error, unterminated comment" "$vorn" header.vn
refused "open comment in vorn-pp" "Open.h\\(2,1\\) : error : Syntax error, unterminated comment" "$build/vorn-pp" Open.h
cd ..

# --- Tab stops are bounded.
printf 'Int main()\n\t\t\treturn 0\n' >tabs.vn
for size in 65 1073741824 2147483647; do
    refused "tab size $size" "^tabsize must be at most 64\$" "$vorn" -s -t "$size" tabs.vn
done
"$vorn" -s -t 64 tabs.vn || fail "tab size 64 refused"

[ "$failures" -eq 0 ]
