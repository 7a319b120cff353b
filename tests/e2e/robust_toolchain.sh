#!/usr/bin/env bash
# Configurations that would do nothing, or fail, without a word: a script with no compiler line,
# empty or cut response files, a compile that does not exit with the success code, a command
# the system cannot start, a link line past the system's limit and templates nested too deep.
set -u
source "$(dirname "$0")/toolchain_fake_tools.bash"
printf 'Int main()\n    return 0\n' >main.vn

# says NAME PATTERN: the last run's standard error matches PATTERN.
says() { grep -qE -- "$2" "$tmp/err" || fail "$1: standard error [$(head -c 2000 "$tmp/err")] does not match [$2]"; }

script 'linker=ld $perFile;$outFile;.o $;'
run "no compiler line" 1 "" -c fake main.vn
says "no compiler line" "^No compiler line in the compiler script $inst/compiler/fake\$"

script 'compiler=cc $cppFile;' 'object file=$outFile;.o' 'linker=ld'
echo 3 >"$tmp/cc.status"
run "compile fails" 1 "cc [$PWD/_main.cpp]" -c fake main.vn
says "compile fails" "^The command exited with status 3, not 0: cc '$PWD/_main.cpp'\$"
rm "$tmp/cc.status"

: >empty.rsp
run "empty response file" 1 "" @empty.rsp
says "empty response file" "^empty.rsp : error : The response file holds no arguments\$"
printf 'main.vn "/Foout\\\n' >cut.rsp
run "response file cut in a quote" 1 "" @cut.rsp
says "response file cut in a quote" "^cut.rsp : error : The response file ends inside a quoted argument\$"
printf 'main.vn /Fo"out/\n' >cut.rsp
run "response file cut in a quote inside a word" 1 "" @cut.rsp
says "response file cut in a quote inside a word" "^cut.rsp : error : The response file ends inside a quoted argument\$"

# A command line the system refuses to start is reported with the reason.
script 'compiler=cc $compilerOptions; $cppFile;' 'object file=$outFile;.o' 'linker=ld'
long=-D$(head -c 100000 /dev/zero | tr '\0' x)
run "command too long to start" 1 "" -c fake -C "$long" -C "$long" -C "$long" main.vn
says "command too long to start" "^Unable to run the command \(Argument list too long\): cc -Dxxx"

# 30,000 nested blocks are refused, not followed until the stack runs out.
script "compiler=$(printf '$ifdebug;%.0s' {1..30000})cc$(printf '$;%.0s' {1..30000})" 'object file=$outFile;.o' 'linker=ld'
run "nested blocks" 1 "" -c fake main.vn
says "nested blocks" "^template blocks nested more than 1000 deep\$"

# 600 modules in a folder with a long path: the one link line would be longer than 128 KiB, so
# its object list goes to the linker in a response file.
deep=$PWD/$(printf 'd%.0s' {1..200})
mkdir "$deep" && cd "$deep" || exit 1
{
    for k in $(seq 600); do printf 'import M%d\n' "$k"; done
    printf '\nInt main()\n    return 0\n'
} >main.vn
for k in $(seq 600); do printf 'Int f%d()\n    return %d\n' "$k" "$k" >M$k.vn; done
script 'compiler=cc $cppFile;' 'linker=ld -o prog $perFile;$outFile;.o $;'
rm -f "$tmp/log"
vorn -c fake main.vn >"$tmp/out" 2>"$tmp/err" || fail "long link line: status $?: $(cat "$tmp/err")"
link=$(grep '^ld ' "$tmp/log")
case $link in
"ld [-o] [prog] [@$tmp/tmp/"*"] {'$deep/_M1'.o '$deep/_M10'.o "*) ;;
*) fail "long link line: the linker ran as [$(head -c 300 <<<"$link")]" ;;
esac
[ "$(grep -o "'$deep/_[A-Za-z0-9]*'\.o" <<<"$link" | sort -u | wc -l)" -eq 601 ] ||
    fail "long link line: the list does not name every object file"
[ -z "$(ls -A "$tmp/tmp")" ] || fail "long link line: temporary files left: $(ls -A "$tmp/tmp")"

[ "$failures" -eq 0 ]
