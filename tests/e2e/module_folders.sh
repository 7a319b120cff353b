#!/usr/bin/env bash
# Modules in other folders: a program in app/ imports a library module in lib/ through -I, for
# a single translation and for a whole build with the gcc script; without -I the import is not
# found, and inputs named from two folders are refused with a message.
set -u
source "$(dirname "$0")/common.bash"
vorn=$build/vorn
cd "$tmp" || exit 1
mkdir -p lib/Shapes app a b
cat >lib/Vec.vn <<'TEXT'
class Vec
    Int x
    Int y

Int dot(Vec a, Vec b)
    return a.x * b.x + a.y * b.y
TEXT
printf 'Int area(Int w, Int h)\n    return w * h\n' >lib/Shapes/Rect.vn
cat >app/main.vn <<'TEXT'
import Vec
import Shapes.Rect

Int main()
    Vec v
    v.x = 3
    v.y = 4
    printf("%d %d\n", dot(v, v), area(2, 5))
    return 0
TEXT

"$vorn" -s app/main.vn >out 2>&1 && fail "an import in another folder was found without -I"
grep -q "main.vn([12],1) : error : Unable to load file" out || fail "no message for the import not found: $(cat out)"
"$vorn" -s -I lib app/main.vn >out 2>&1 || fail "-s -I lib: $(cat out)"
[ -f app/_main.cpp ] && [ ! -e lib/_Vec.cpp ] || fail "-s wrote the wrong modules"
"$vorn" -c gcc -I lib app/main.vn >out 2>&1 || fail "-c gcc -I lib: $(cat out)"
[ "$(app/main)" = "25 10" ] || fail "the program printed $(app/main)"
[ -f lib/_Vec.o ] && [ -f lib/Shapes/_Rect.o ] || fail "the library's modules were not compiled beside their sources"
"$vorn" -c gcc -I lib app/main.vn >out 2>&1
[ "$(cat out)" = "[1/1] linking $tmp/app/main" ] || fail "a rerun without edits: $(cat out)"

printf 'Int f()\n    return 1\n' >a/x.vn
printf 'Int main()\n    return 0\n' >b/y.vn
"$vorn" a/x.vn b/y.vn >out 2>&1 && fail "inputs in two folders were accepted"
grep -q "^The input files lie in different folders ($tmp/a/ and $tmp/b/)" out || fail "two folders: $(cat out)"
[ ! -e b/_y.cpp ] || fail "inputs in two folders translated a module"

exit $((failures > 0))
