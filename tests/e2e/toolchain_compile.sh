#!/usr/bin/env bash
# The compile stage with fake tools: one command per module to compile, each with its own
# list file; a failed compile stops the compiling and skips the link; success codes; the
# progress lines, and compiles that run at once under -j.
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

# A compile that fails stops the compiling: B's command is the last to run, main's is never
# started, and the link does not run.
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

# -j 3: the three compiles run at once. Each marks its start and waits for the other two marks
# (at most five seconds, so a run that never overlaps ends all the same); progress lines go to
# standard output in the order the commands start, the link last.
cat >"$tmp/bin/meet" <<TOOL
#!/bin/sh
touch "$tmp/started-\$(basename "\$1")"
for i in \$(seq 50); do
    [ "\$(ls "$tmp"/started-* | wc -l)" -ge 3 ] && { echo "\$1 met" >>"$tmp/log"; exit 0; }
    sleep 0.1
done
echo "\$1 alone" >>"$tmp/log"
TOOL
chmod +x "$tmp/bin/meet"
script 'compiler=meet $file;' 'linker=ld'
touched A.vn B.vn main.vn
rm -f "$tmp/log"
vorn -j 3 -c fake main.vn >"$tmp/out" 2>"$tmp/err" || fail "-j 3: $(cat "$tmp/err")"
[ "$(sort "$tmp/log")" = "$(printf '%s met\n' "$tmp/work/A" "$tmp/work/B" "$tmp/work/main")
ld" ] || fail "-j 3: the compiles did not run at once: $(cat "$tmp/log")"
[ "$(cat "$tmp/out")" = "[1/4] compiling A
[2/4] compiling B
[3/4] compiling main
[4/4] linking $tmp/work/main" ] || fail "-j 3: progress lines: $(cat "$tmp/out")"
for value in 0 x; do
    vorn -j "$value" -c fake main.vn >"$tmp/out" 2>&1 && fail "-j $value was accepted"
    grep -qx "the number of jobs must be a positive integer: $value" "$tmp/out" || fail "-j $value: $(cat "$tmp/out")"
done

[ "$failures" -eq 0 ]
