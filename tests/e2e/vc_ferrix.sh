#!/usr/bin/env bash
# ferrix in front of vorn: its arguments reach vorn exactly, after --vc-forward-realcl, with
# no shell reading them; vorn's status is its own. Then a whole build: ferrix, vorn @FILE and
# a realcl.exe that turns the rewritten response file into a g++ call, and the program runs.
set -u
source "$(dirname "$0")/vc_fake_tools.bash"
ferrix=$build/ferrix

# A vorn that records each argument on a line of its own, in brackets.
mkdir "$tmp/fake"
cat >"$tmp/fake/vorn" <<TOOL
#!/bin/sh
for a in "\$@"; do printf '[%s]\n' "\$a"; done >"$tmp/args"
exit \$(cat "$tmp/vorn.status")
TOOL
chmod +x "$tmp/fake/vorn"
# forwards NAME STATUS EXPECTED_ARGUMENT_LINES ARGS...
forwards() {
    local name=$1 status=$2 expected=$3
    shift 3
    echo "$status" >"$tmp/vorn.status"
    rm -f "$tmp/args"
    PATH="$tmp/fake:$PATH" "$ferrix" "$@" >"$tmp/out" 2>"$tmp/err"
    local got=$?
    [ "$got" -eq "$status" ] || fail "$name: exit status $got, expected $status"
    [ "$(cat "$tmp/args")" = "$expected" ] || fail "$name: vorn got
$(cat "$tmp/args")
expected
$expected"
    [ ! -s "$tmp/out" ] && [ ! -s "$tmp/err" ] || fail "$name: ferrix printed something"
}
# (Alone, --version is ferrix's own and no argument is its usage: cli_usage.sh.)
forwards "--version among others" 0 "[--vc-forward-realcl]
[--version]
[x.vn]" --version x.vn
forwards "blanks and empty arguments" 0 "[--vc-forward-realcl]
[/c]
[a b.vn]
[]
[ ]" /c "a b.vn" "" " "
forwards "vorn's status" 3 "[--vc-forward-realcl]
[@args.rsp]" @args.rsp
forwards "hostile arguments" 1 "[--vc-forward-realcl]
[\$(touch pwned)]
[\`touch pwned\`]
[a;touch pwned]
[a && touch pwned]
[\"]
[x\\\"]
[x\\]
[a
touch pwned]
[%PATH%^!]" '$(touch pwned)' '`touch pwned`' 'a;touch pwned' 'a && touch pwned' '"' 'x\"' 'x\' $'a\ntouch pwned' '%PATH%^!'
[ ! -e pwned ] || fail "hostile arguments: a command ran"
PATH="$tmp/bin" "$ferrix" /c >"$tmp/out" 2>"$tmp/err"
[ $? -eq 127 ] && grep -q "ferrix: cannot start vorn" "$tmp/err" || fail "no vorn: status or message wrong"

# The real chain. This realcl.exe compiles and links with g++: /I DIR and the quoted C++
# paths are all it reads of the response file, /Fe names the program.
cat >"$tmp/bin/realcl.exe" <<'TOOL'
#!/bin/bash
set -f
echo "realcl.exe $*" >>"$TMPLOG"
words=$(tr -d '"' <"${1#@}")
set -- $words
args=() out=a.out
while [ $# -gt 0 ]; do
    case $1 in
    /I) args+=(-I "$2"); shift ;;
    /Fe*) out=${1#/Fe} ;;
    *.cpp) args+=("$1") ;;
    esac
    shift
done
exec g++ -std=c++17 "${args[@]}" -o "$out"
TOOL
export TMPLOG=$tmp/log
printf 'import Util\nInt main()\n    printf("%%d\\n", twice(21))\n    return 0\n' >main.vn
printf 'Int twice(Int x)\n    return 2 * x\n' >Util.vn
printf '%s\n' "/nologo /Feprog main.vn Util.vn '\$(touch pwned)' \`touch pwned\` ;touch pwned" >args.rsp
rm -f "$tmp/log"
"$ferrix" @args.rsp >"$tmp/out" 2>"$tmp/err" || fail "build: status $?: $(cat "$tmp/err")"
[ "$(cat "$tmp/log")" = "realcl.exe @args.rsp /nologo" ] || fail "build: realcl.exe ran as $(cat "$tmp/log")"
[ "$(./prog 2>&1)" = 42 ] || fail "build: the program printed [$(./prog 2>&1)]"
[ ! -e pwned ] || fail "build: a command ran"
# Util alone is named: main comes back through its interface file, so the link finds main().
printf 'Int twice(Int x)\n    return 3 * x\n' >Util.vn
printf '/nologo /Feprog Util.vn' >args.rsp
touched Util.vn
"$ferrix" @args.rsp >"$tmp/out" 2>"$tmp/err" || fail "rebuild: status $?: $(cat "$tmp/err")"
[ "$(./prog 2>&1)" = 63 ] || fail "rebuild: the program printed [$(./prog 2>&1)]"
printf 'Int twice(Int x)\n    return 2 * y\n' >Util.vn
printf '/nologo /Feprog Util.vn' >args.rsp
touched Util.vn
"$ferrix" @args.rsp >"$tmp/out" 2>"$tmp/err"
[ $? -eq 1 ] && grep -Eq 'Util.vn(:2:|\(2,)' "$tmp/err" || fail "failing build: status or message wrong: $(cat "$tmp/err")"

[ "$failures" -eq 0 ]
