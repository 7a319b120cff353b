#!/usr/bin/env bash
# The compiler's macros and include folders are asked once and kept in $XDG_CACHE_HOME/vorn: a
# fake compiler counts how often vorn-pp runs it. A corrupt cache and a compiler changed since
# are asked again; a cache folder that cannot be made only costs the asking.
source "$(dirname "$0")/common.bash"
pp=$build/vorn-pp
mkdir -p "$tmp/bin" "$tmp/sys"
cat > "$tmp/bin/fakecc" <<SCRIPT
#!/bin/sh
echo asked >> "$tmp/calls"
echo '#define FAKE_MACRO 42'
echo '#include <...> search starts here:' >&2
echo ' $tmp/sys' >&2
echo 'End of search list.' >&2
SCRIPT
chmod +x "$tmp/bin/fakecc"
echo '#include <fake_system.h>' > "$tmp/input.h"
echo 'FAKE_MACRO FROM_SYSTEM' >> "$tmp/input.h"
echo '#define FROM_SYSTEM 7' > "$tmp/sys/fake_system.h"
export XDG_CACHE_HOME=$tmp/cache

run() {  # expected number of times the compiler was asked so far
    local out
    out=$(PATH=$tmp/bin:$PATH "$pp" --cxx fakecc "$tmp/input.h" 2>&1) || fail "vorn-pp failed: $out"
    [ "$out" = "42 7" ] || fail "vorn-pp gave \"$out\", expected \"42 7\""
    [ "$(wc -l < "$tmp/calls")" = "$1" ] || fail "the compiler was asked $(wc -l < "$tmp/calls") times, expected $1"
}

run 1
run 1
cache=$(ls "$XDG_CACHE_HOME"/vorn/*)
[ -f "$cache" ] || fail "no cache file in $XDG_CACHE_HOME/vorn"
head -c 40 "$cache" > "$tmp/cut" && mv "$tmp/cut" "$cache"
run 2
run 2
touch -d '2001-01-01' "$tmp/bin/fakecc"
run 3
run 3
ls "$XDG_CACHE_HOME"/vorn | grep -v '^compiler-[0-9a-f]*\.txt$' && fail "files other than the cache are left behind"
# A file where the cache folder should be: no cache, the same answer.
rm -rf "$XDG_CACHE_HOME" && touch "$XDG_CACHE_HOME"
run 4
run 5
exit $((failures > 0))
