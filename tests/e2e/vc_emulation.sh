#!/usr/bin/env bash
# vorn @FILE standing in for cl.exe and link.exe, with fake tools: the rewritten response file,
# which tool runs with which arguments, object files found under their generated names, flat
# outputs under /Fo, the tab size, statuses, and modules found again through their ".vnl".
set -u
source "$(dirname "$0")/vc_fake_tools.bash"

printf 'import Util\nInt main()\n    printf("%%d\\n", twice(21))\n    return 0\n' >main.vn
printf 'Int twice(Int x)\n    return 2 * x\n' >Util.vn
# A tab and four blanks open the same block only with tab stops of 4.
printf 'Int main()\n\tInt a = 1\n    return a\n' >tabs.vn

run "compile" 0 "cl.exe [@args.rsp] [/nologo] {$inc /c /nologo util.cpp \"$work/_main.cpp\"}" \
    '/c /nologo main.vn util.cpp'
# Imports are loaded for their declarations, not translated.
[ -f _main.cpp ] && [ -f _main.vnl ] && [ ! -e _Util.cpp ] || fail "compile: not main alone translated"
[ "$(head -1 _main.cpp)" = '#include "_main.hpp"' ] || fail "compile: a precompiled header line without the option"
run "forwarded to realcl.exe" 0 "realcl.exe [@args.rsp] [/nologo] {$inc /c /nologo util.cpp \"$work/_main.cpp\"}" \
    '/c /nologo main.vn util.cpp' --vc-forward-realcl
run "words of any layout, quoted ones quoted again" 0 \
    "cl.exe [@args.rsp] [/nologo] {$inc /c \"my file.cpp\" /DX=\"a b\" \"$work/_tabs.cpp\"}" \
    $'\r\n  /c\t"my file.cpp" /DX="a b"\n--verbose-lookup tabs.vn --precompiled-header pch.h\r\n'
[ "$(head -1 _tabs.cpp)" = '#include"pch.h"' ] || fail "precompiled header: first line $(head -1 _tabs.cpp)"
rm -f _tabs.*
run "tab stops of 8 when asked for" 1 "cl.exe [@args.rsp] [/nologo] {$inc \"$work/_tabs.cpp\"}" tabs.vn -t 8
grep -q "tabs.vn(3,[0-9]*) : error" "$tmp/err" || fail "tab stops of 8: $(cat "$tmp/err")"

# Shell syntax in a word is text for the tool; nothing runs it.
run "hostile words" 0 "cl.exe [@args.rsp] [/nologo] {$inc \$(touch pwned) \`touch pwned\` a;touch pwned 'x\" y\" x.c}" \
    "\$(touch pwned) \`touch pwned\` a;touch pwned 'x\" y\" x.c"
[ ! -e pwned ] && [ ! -e touch ] || fail "hostile words: a command ran"

echo 3 >"$tmp/cl.exe.status"
run "failing compiler" 1 "cl.exe [@args.rsp] [/nologo] {$inc /c x.cpp}" '/c x.cpp' -v
grep -qx "success=0 -> retval=1" "$tmp/out" || fail "failing compiler: verbose end line missing"
rm "$tmp/cl.exe.status"
run "verbose from the response file" 0 "cl.exe [@args.rsp] [/nologo] {$inc x.c}" '--verbose x.c'
grep -qx "invoking compiler" "$tmp/out" && grep -qx "success=1 -> retval=0" "$tmp/out" ||
    fail "verbose from the response file: $(cat "$tmp/out")"
printf 'Int main(\n' >broken.vn
run "translation error, compiler still runs" 1 "cl.exe [@args.rsp] [/nologo] {$inc \"$work/_broken.cpp\"}" broken.vn
run "nothing to compile or link" 0 "" '/nologo /W4'
[ "$(cat args.rsp)" = "$inc /nologo /W4" ] || fail "nothing to compile: response file [$(cat args.rsp)]"
mkdir "$tmp/with blank" && cp -r "$build/vorn" "$build/lib" "$build/include" "$tmp/with blank/"
PATH="$tmp/bin:$tmp/with blank:/usr/bin:/bin" run "vorn's directory with a blank" 0 \
    "cl.exe [@args.rsp] [/nologo] {/I \"$tmp/with blank/include\" x.cpp}" x.cpp
PATH="$build:/usr/bin:/bin" run "no compiler on the search path" 1 "" x.cpp
grep -q "Unable to start cl.exe" "$tmp/err" || fail "no compiler: $(cat "$tmp/err")"

# Objects: a missing one is looked for as anything + "_" + its name in its directory; one
# already passed on is not taken twice; one found nowhere goes on as named.
mkdir out && touch out/_main.obj out/x_main.obj _Util.obj
run "link" 0 "link.exe [@args.rsp] [/nologo] {$inc out/_main.obj out/x_main.obj _Util.obj gone.obj lib\\x.lib}" \
    'out\main.obj out\main.obj Util.obj gone.obj lib\x.lib'
echo 1 >"$tmp/link.exe.status"
run "failing linker" 1 "link.exe [@args.rsp] [/nologo] {$inc out/_main.obj}" 'out/_main.obj'
rm "$tmp/link.exe.status"
run "objects and sources compile" 0 "cl.exe [@args.rsp] [/nologo] {$inc out/_main.obj x.cpp}" 'out\main.obj x.cpp'

# /Fo"build\": the named modules are written flat into build/.
mkdir build
run "flat outputs" 0 "cl.exe [@args.rsp] [/nologo] {$inc /c /Fo\"build\\\" \"$work/build/Util.cpp\" \"$work/build/main.cpp\"}" \
    '/c /Fo"build\" main.vn Util.vn'
[ -f build/main.hpp ] && [ -f build/Util.vnl ] && grep -q '#include "Util.hpp"' build/main.hpp ||
    fail "flat outputs: files or include lines not flat"

# Only Util changed: the build tool names Util alone, and main, found through build/main.vnl,
# is compiled again as well. A rerun whose translation changes nothing compiles only Util.
printf 'Int twice(Int x)\n    return x + x\n' >Util.vn
touched Util.vn
run "import changed, flat" 0 "cl.exe [@args.rsp] [/nologo] {$inc /c /Fo\"build\\\" \"$work/build/Util.cpp\" \"$work/build/main.cpp\"}" \
    '/c /Fo"build\" Util.vn' -v
grep -qx "  loading: main from .vnl because its up to date" "$tmp/out" &&
    grep -qx "Also found output of main, adding" "$tmp/out" || fail "import changed, flat: $(cat "$tmp/out")"
touched Util.vn
run "nothing changed, flat" 0 "cl.exe [@args.rsp] [/nologo] {$inc /c /Fo\"build\\\" \"$work/build/Util.cpp\"}" \
    '/c /Fo"build\" Util.vn'
# The same beside the sources, where the interface file is _main.vnl.
rm -rf build
printf 'Int twice(Int x)\n    return x * 2\n' >Util.vn
touched Util.vn
run "import changed" 0 "cl.exe [@args.rsp] [/nologo] {$inc /c \"$work/_Util.cpp\" \"$work/_main.cpp\"}" '/c Util.vn'
# A stale interface file (its source is newer) does not stand for the module.
printf 'Int twice(Int x)\n    return x + x\n' >Util.vn
touched Util.vn main.vn
run "stale interface" 0 "cl.exe [@args.rsp] [/nologo] {$inc /c \"$work/_Util.cpp\"}" '/c Util.vn'

[ "$failures" -eq 0 ]
