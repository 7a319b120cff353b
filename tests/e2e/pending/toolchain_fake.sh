#!/usr/bin/env bash
# The compile and link stages of real runs, with fake tools: a compiler script in a copy of
# the installation names "cc" and "ld" scripts that come first on PATH, record their
# arguments (and the content of any temporary file named after an '@') and exit with the
# status the test puts in a file.
set -u
build=$(cd "$1" && pwd -P)
source_dir=$(cd "$2" && pwd -P)
failures=0
tmp=$(cd "$(mktemp -d)" && pwd -P)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# An installation of its own, so that the test's script lands in compiler/.
inst=$tmp/inst
mkdir -p "$inst/compiler" "$tmp/bin" "$tmp/tmp" "$tmp/work"
cp "$build/vorn" "$inst/vorn"
cp -r "$build/lib" "$build/include" "$inst/"

for tool in cc ld; do
    cat >"$tmp/bin/$tool" <<TOOL
#!/bin/sh
line=$tool
for a in "\$@"; do
    line="\$line [\$a]"
    case \$a in @*) line="\$line {\$(cat "\${a#@}")}";; esac
done
echo "\$line" >>"$tmp/log"
status=0
[ -f "$tmp/$tool.status" ] && status=\$(cat "$tmp/$tool.status")
words="\$*"
for a in "\$@"; do case \$a in @*) words="\$words \$(cat "\${a#@}")";; esac; done
for a in \$words; do
    b=\$(basename -- "\$a")
    [ -f "$tmp/fail-\$b" ] && status=\$(cat "$tmp/fail-\$b")
done
exit \$status
TOOL
    chmod +x "$tmp/bin/$tool"
done

export PATH="$tmp/bin:$inst:$PATH" TMPDIR="$tmp/tmp"
cd "$tmp/work"

# run NAME EXPECTED_STATUS EXPECTED_LOG ARGUMENTS...: runs vorn, compares its status and
# the tools' log (temporary file names replaced by TEMP).
run() {
    local name=$1 status=$2 expected=$3
    shift 3
    rm -f "$tmp/log"
    vorn "$@" >"$tmp/out" 2>"$tmp/err"
    local got=$?
    [ "$got" -eq "$status" ] || fail "$name: exit status $got, expected $status; stderr: $(cat "$tmp/err")"
    local log=""
    [ -f "$tmp/log" ] && log=$(sed "s|$tmp/tmp/[^] }]*|TEMP|g" "$tmp/log")
    [ "$log" = "$expected" ] || fail "$name: the tools ran
$log
expected
$expected"
    [ -z "$(ls -A "$tmp/tmp")" ] || fail "$name: temporary files left: $(ls -A "$tmp/tmp")"
}

script() { printf '%s\n' "$@" >"$inst/compiler/fake"; }
# Makes the named sources newer than every output (file times count in whole seconds).
touched() {
    local now
    now=$(date +%s)
    touch -d "@$((now - 100))" ./*
    touch -d "@$now" "$@"
}

# With no module to translate nothing is compiled; the link still runs once, over no module.
link='linker=ld $linkerOptions; -o prog @$temp;'
script 'compiler=cc $cppFile;' 'linker temp=$perFile;$outFile;.o $;' "$link"
run "link only" 0 "ld [-lm] [-o] [prog] [@TEMP] {}" -c fake -L -lm
run "-s skips the link" 0 "" -c fake -s
echo 1 >"$tmp/ld.status"
run "failed link" 1 "ld [-o] [prog] [@TEMP] {}" -c fake
script 'linker temp=$perFile;$outFile;.o $;' "$link" 'linker success=1'
run "link success code 1" 0 "ld [-o] [prog] [@TEMP] {}" -c fake
rm -f "$tmp/ld.status"
run "status 0 is then a failure" 1 "ld [-o] [prog] [@TEMP] {}" -c fake

# A malformed link template ends the run with its message, and no file is left behind.
script 'linker temp=$perFile;$nonsense;$;' 'linker=ld'
run "malformed template" 1 "" -c fake
grep -qx '\$nonsense is not a recognized command' "$tmp/err" || fail "malformed template: stderr $(cat "$tmp/err")"

# Three modules: main imports B, B imports A. Each is compiled through a list file of its own.
printf 'Int one()\n    return 1\n' >A.vn
printf 'import A\nInt two()\n    return one() + one()\n' >B.vn
printf 'import B\nInt main()\n    return two()\n' >main.vn
compile='compiler=cc @$temp;'
each='compiler temp=$cppFile; -o $outFile;.o'
all="cc [@TEMP] {$tmp/work/_A.cpp -o $tmp/work/_A.o}
cc [@TEMP] {$tmp/work/_B.cpp -o $tmp/work/_B.o}
cc [@TEMP] {$tmp/work/_main.cpp -o $tmp/work/_main.o}"
linked="ld [-o] [prog] [@TEMP] {$tmp/work/_A.o $tmp/work/_B.o $tmp/work/_main.o }"
script "$compile" "$each" 'linker temp=$perFile;$outFile;.o $;' "$link"
run "modules" 0 "$all
$linked" -c fake main.vn
run "nothing to compile" 0 "$linked" -c fake main.vn

# A compile that fails stops the compiling: B's command is the last to run, main's list file
# is still made and removed, and the link does not run.
touched A.vn B.vn main.vn
echo 1 >"$tmp/fail-_B.cpp"
run "failed compile" 1 "cc [@TEMP] {$tmp/work/_A.cpp -o $tmp/work/_A.o}
cc [@TEMP] {$tmp/work/_B.cpp -o $tmp/work/_B.o}" -c fake main.vn
# The modules that were not compiled are compiled by the next run, whose sources are
# unchanged: their object files were removed when they were sent to the compiler.
rm -f "$tmp/fail-_B.cpp"
# With a success code of 2, exit status 2 is success and 0 is failure.
script "$compile" "$each" 'compiler success=2' 'linker temp=$perFile;$outFile;.o $;' "$link"
echo 2 >"$tmp/cc.status"
touched A.vn B.vn main.vn
run "compile success code 2" 0 "$all
$linked" -c fake main.vn
rm -f "$tmp/cc.status"
touched main.vn
run "status 0 is then a failure" 1 "cc [@TEMP] {$tmp/work/_main.cpp -o $tmp/work/_main.o}" -c fake main.vn

[ "$failures" -eq 0 ]
