#!/usr/bin/env bash
# The guide's import examples, translated by the real binary and built with g++: plain imports
# and the explicit import of a library module, which has no generated header of its own (its
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
cat >main.vn <<'VN'
import Figures
import Util
import Library.Buildin

Int main()
    printf("%d %d\n", sides(), half(10))
    return 0
VN
"$build/vorn" -c gcc main.vn >out 2>err || fail "vorn -c gcc main.vn failed: $(cat err)"
[ "$(./main 2>&1)" = "4 5" ] || fail "./main printed [$(./main 2>&1)]"
grep -q 'Library' _main.hpp _main.cpp && fail "an include line names the library module: $(grep Library _main.hpp _main.cpp)"
[ "$failures" -eq 0 ]
