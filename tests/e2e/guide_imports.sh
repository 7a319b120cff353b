#!/usr/bin/env bash
# The guide's import examples, translated by the real binary and built with g++: plain imports,
# a module in a subfolder of the top folder (which imports its neighbour by the same dotted
# path), and the explicit import of a library module, which has no generated header of its own (its
# C++ comes with the support header every generated file includes).
set -u
source "$(dirname "$0")/common.bash"

command -v g++ >/dev/null || { echo "g++ is not installed"; exit 1; }
cd "$tmp" || exit 1
cat >Figures.vn <<'VN'
Int sides()
    return 4
VN
cat >Util.vn <<'VN'
Int half(Int n)
    return n / 2
VN
mkdir Geometry
cat >Geometry/Point.vn <<'VN'
class Point
    Int x
    Int y
VN
cat >Geometry/Line.vn <<'VN'
import Geometry.Point

Int length(Point a, Point b)
    return b.x - a.x
VN
cat >main.vn <<'VN'
import Figures
import Geometry.Point
import Geometry.Line
import Util
import Library.Buildin

Int main()
    Point a
    a.x = 1
    Point b
    b.x = 7
    printf("%d %d %d\n", sides(), half(10), length(a, b))
    return 0
VN
"$build/vorn" -c gcc main.vn >out 2>err || fail "vorn -c gcc main.vn failed: $(cat err)"
[ "$(./main 2>&1)" = "4 5 6" ] || fail "./main printed [$(./main 2>&1)]"
grep -q 'Library' _main.hpp _main.cpp && fail "an include line names the library module: $(grep Library _main.hpp _main.cpp)"
[ "$failures" -eq 0 ]
