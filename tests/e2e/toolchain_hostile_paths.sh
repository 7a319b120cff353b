#!/usr/bin/env bash
# Folder names that a shell would act on: a two-module program in each is translated, compiled
# and linked with the shipped gcc script and run. Nothing in a name may run as shell code (the
# names that try to create INJECTED must not), and every compile and the link must reach the
# compiler with the very paths.
set -u
source "$(dirname "$0")/common.bash"
command -v g++ >/dev/null || { echo "g++ is not installed"; exit 1; }

names=('$(touch INJECTED)' '`touch INJECTED`' 'say "hi"' "it's" 'a;touch INJECTED' 'a & b' 'a|b' 'two  blanks'
       $'new\nline' '$HOME' 'semi;colon $(touch INJECTED) `touch INJECTED` "x" '"'y'")
for name in "${names[@]}"; do
    dir="$tmp/case/$name"
    mkdir -p "$dir"
    printf 'Int twice(Int n)\n    return n + n\n' >"$dir/Util.vn"
    printf 'import Util\nInt main()\n    printf("%%d\\n", twice(21))\n    return 0\n' >"$dir/main.vn"
    (cd "$tmp/case" && "$build/vorn" -c gcc "$name/main.vn" >"$tmp/out" 2>&1)
    status=$?
    [ "$status" = 0 ] || fail "[$name]: status $status: $(cat "$tmp/out")"
    [ "$("$dir/main" 2>/dev/null)" = 42 ] || fail "[$name]: the linked program is missing or wrong"
    if find "$tmp" -name INJECTED | grep -q .; then
        fail "[$name]: the folder name ran as shell code"
        find "$tmp" -name INJECTED -delete
    fi
done
[ "$failures" -eq 0 ]
