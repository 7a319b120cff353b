#!/usr/bin/env bash
# The cl.exe stand-in under Wine, with fake cl.exe, realcl.exe, link.exe and vorn.exe (copies
# of tests/support/FakeTool.cpp, which log their arguments and the response file they name):
# a response file whose path holds a blank reaches the tool as one argument, rewritten; a
# failing compiler fails the run; ferrix hands hostile arguments to vorn.exe exactly, gives its
# status, and says so when there is no vorn.exe; the whole chain ferrix, vorn.exe, realcl.exe.
set -u
source "$(dirname "$0")/common.bash"
src=$2
mkdir -p "$tmp/bin" "$tmp/work/out" "$tmp/tmp/rsp dir" "$tmp/f/bin" "$tmp/chain"
for tool in cl realcl link; do cp "$build/tests/fake_tool.exe" "$tmp/bin/$tool.exe"; done
cd "$tmp/work"
cp "$src/examples/hello.vn" .
rsp="$tmp/tmp/rsp dir/a b.rsp"
wrsp="$wtmp/tmp/rsp dir/a b.rsp"
inc="/I $(echo "Z:$build" | sed 's|/$||')/include"

# emulates NAME STATUS EXPECTED_LOG RESPONSE_TEXT VORN_ARGS...
emulates() {
    local name=$1 status=$2 expected=$3 text=$4
    shift 4
    printf '%s' "$text" >"$rsp"
    rm -f "$tmp/log"
    WINEPATH="$wtmp/bin" win "$build/vorn.exe" "$@" "@$wrsp" >"$tmp/out" 2>&1
    local got=$?
    [ "$got" -eq "$status" ] || fail "$name: exit status $got, expected $status: $(cat "$tmp/out")"
    [ "$(cat "$tmp/log" 2>/dev/null)" = "$expected" ] || fail "$name: the tools ran
$(cat "$tmp/log" 2>/dev/null)
expected
$expected"
}
emulates "cl.exe" 0 "cl [@$wrsp] [/nologo]
  $wrsp holds [$inc /c /EHsc /Fo\"out/\" \"$wtmp/work/out/hello.cpp\"]" '/c /EHsc hello.vn /Fo"out/"'
emulates "realcl.exe" 0 "realcl [@$wrsp] [/nologo]
  $wrsp holds [$inc /c /DX=%PATH%^! /Fo\"out/\" \"$wtmp/work/out/hello.cpp\"]" \
    '/c /DX=%PATH%^! hello.vn /Fo"out/"' --vc-forward-realcl
echo 2 >"$tmp/realcl.status"
emulates "a failing compiler" 1 "realcl [@$wrsp] [/nologo]
  $wrsp holds [$inc /c /Fo\"out/\" \"$wtmp/work/out/hello.cpp\"]" '/c hello.vn /Fo"out/"' --vc-forward-realcl
rm "$tmp/realcl.status"
emulates "link.exe" 0 "link [@$wrsp] [/nologo]
  $wrsp holds [$inc out/hello.obj /OUT:hello.exe]" 'out/hello.obj /OUT:hello.exe'

# ferrix in front of a fake vorn.exe: every argument arrives as it was given, after
# --vc-forward-realcl, with no command processor expanding '%' or '^' or splitting at blanks.
cp "$build/tests/fake_tool.exe" "$tmp/f/bin/vorn.exe"
echo 3 >"$tmp/f/vorn.status"
WINEPATH="$wtmp/f/bin" win "$build/ferrix.exe" "a b" "" '%PATH%' '^!&|<>' 'x\"y' 'tail\' '"' >"$tmp/out" 2>&1
got=$?
[ $got -eq 3 ] || fail "ferrix: exit status $got, expected vorn's 3: $(cat "$tmp/out")"
expected='vorn [--vc-forward-realcl] [a b] [] [%PATH%] [^!&|<>] [x\"y] [tail\] ["]'
[ "$(cat "$tmp/f/log" 2>/dev/null)" = "$expected" ] || fail "ferrix: vorn got $(cat "$tmp/f/log" 2>/dev/null)"
[ ! -s "$tmp/out" ] || fail "ferrix printed $(cat "$tmp/out")"
(cd "$tmp/chain" && WINEPATH="$wtmp/chain" win "$build/ferrix.exe" /c x.vn) >"$tmp/out" 2>&1
got=$?
[ $got -eq 127 ] && grep -q "ferrix: cannot start vorn.exe" "$tmp/out" || fail "no vorn.exe: exit $got, said $(cat "$tmp/out")"

# The chain: ferrix installed as cl.exe, the real vorn.exe found on the search path, and the
# fake realcl.exe given the rewritten response file, blank and '%' in its path and all.
cp "$build/ferrix.exe" "$tmp/chain/cl.exe"
mkdir -p "$tmp/tmp/50% a&b"
chain="$tmp/tmp/50% a&b/x y.rsp"
printf '/c hello.vn /Fo"out/"' >"$chain"
rm -f "$tmp/log" out/hello.cpp
WINEPATH="$wtmp/bin;Z:$build" win "$tmp/chain/cl.exe" "@$wtmp/tmp/50% a&b/x y.rsp" >"$tmp/out" 2>&1 ||
    fail "chain: exit status $?: $(cat "$tmp/out")"
[ "$(cat "$tmp/log" 2>/dev/null)" = "realcl [@$wtmp/tmp/50% a&b/x y.rsp] [/nologo]
  $wtmp/tmp/50% a&b/x y.rsp holds [$inc /c /Fo\"out/\" \"$wtmp/work/out/hello.cpp\"]" ] ||
    fail "chain: realcl.exe ran $(cat "$tmp/log" 2>/dev/null)"
[ -f out/hello.cpp ] || fail "chain: hello.vn was not translated"
echo 2 >"$tmp/realcl.status"
WINEPATH="$wtmp/bin;Z:$build" win "$tmp/chain/cl.exe" "@$wtmp/tmp/50% a&b/x y.rsp" >"$tmp/out" 2>&1
got=$?
[ $got -eq 1 ] || fail "chain: a failing realcl.exe gave exit $got"

exit $((failures > 0))
