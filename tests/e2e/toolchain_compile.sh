#!/usr/bin/env bash
# The compile stage with fake tools: one command per module to compile, each with its own
# list file; a failed compile stops the compiling and skips the link; success codes.
set -u
source "$(dirname "$0")/toolchain_fake_tools.bash"

link='linker=ld $linkerOptions; -o prog @$temp;'
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
