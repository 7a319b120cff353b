#!/usr/bin/env bash
# The link stage and its success code with fake tools, in runs that translate nothing.
set -u
source "$(dirname "$0")/toolchain_fake_tools.bash"

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

[ "$failures" -eq 0 ]
