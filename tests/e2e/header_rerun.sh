#!/usr/bin/env bash
# A rerun with nothing to do preprocesses no header: what an interface file's headers gave is
# kept beside its outputs (_NAME.vnh) until the interface file or any file its headers read,
# directly or not, changes. The depfile names the files a header includes, and a rerun writes
# what a clean run writes.
set -u
source "$(dirname "$0")/common.bash"
cd "$tmp"
printf 'int inner_value(void);\n' >inner.h
printf '#include "inner.h"\nint top_value(void);\n' >top.h
printf 'include = top.h\n' >Lib.vni
printf 'import Lib\n\nInt main()\n    return top_value() + inner_value()\n' >main.vn
# Later than anything written so far, so that the change is seen whatever the clock's grain.
later() { touch -d "@$(($(date +%s) + 5))" "$1"; }
preprocessed() { grep -q "preprocessing: .*top.h" "$tmp/out"; }

"$build/vorn" -v --depfile main.d main.vn >out 2>&1 || fail "clean run failed: $(cat out)"
preprocessed || fail "the clean run did not preprocess top.h"
mkdir clean && cp _main.* _Lib.* _top_h.* clean/

"$build/vorn" -v --depfile main.d main.vn >out 2>&1 || fail "no-op rerun failed: $(cat out)"
preprocessed && fail "a rerun with nothing to do preprocessed a header"
grep -q "inner.h" main.d || fail "the depfile does not name the indirectly included header: $(cat main.d)"
for f in clean/*; do cmp -s "$f" "${f#clean/}" || fail "the no-op rerun changed ${f#clean/}"; done

later inner.h
"$build/vorn" -v main.vn >out 2>&1 || fail "rerun after touching inner.h failed"
preprocessed || fail "touching an indirectly included header did not read the headers again"

later Lib.vni
"$build/vorn" -v main.vn >out 2>&1 || fail "rerun after touching Lib.vni failed"
preprocessed || fail "touching the interface file did not read the headers again"

# A translation of the importer reads the headers themselves and writes what a clean run wrote.
later main.vn
"$build/vorn" main.vn >out 2>&1 || fail "rerun after touching main.vn failed"
for f in _main.cpp _main.hpp _main.hpp2 _main.vnl; do cmp -s "clean/$f" "$f" || fail "$f differs from the clean run's"; done

# A header added where a search looked and found nothing, or one more file a pattern matches,
# changes what the interface file gives: the headers are read again.
mkdir -p first second parts && printf 'int shadowed(void);\n' >second/shadow.h && printf 'int part_a(void);\n' >parts/a.h
printf '#include <shadow.h>\nint over(void);\n' >over.h
printf 'include = over.h\ninclude = parts/*.h\n' >Over.vni
printf 'import Over\n\nInt main()\n    return over() + shadowed() + part_a()\n' >over.vn
run_over() { "$build/vorn" -v -I first -I second over.vn >out 2>&1 || fail "$1: $(cat out)"; }
run_over "clean run of over.vn" && run_over "no-op rerun of over.vn"
grep -q "preprocessing:" out && fail "a no-op rerun of over.vn preprocessed a header"
printf 'int shadowed(void);\n' >first/shadow.h
run_over "rerun after adding first/shadow.h"
grep -q "preprocessing: .*over.h" out || fail "a header added earlier on the search path went unseen"
run_over "second no-op rerun of over.vn"
printf 'int part_b(void);\n' >parts/b.h
run_over "rerun after adding parts/b.h"
grep -q "preprocessing: .*b.h" out || fail "a new file matching include = parts/*.h went unseen"

# A kept file cut short is passed over.
head -c 20 _Lib.vnh >cut && mv cut _Lib.vnh
"$build/vorn" -v main.vn >out 2>&1 || fail "rerun with a cut kept file failed: $(cat out)"
preprocessed || fail "a kept file cut short was used"
exit $((failures > 0))
