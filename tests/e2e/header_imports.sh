#!/usr/bin/env bash
# C libraries imported through include interface files: the sqlite3, zlib, C library, cJSON,
# Lua, libpng, Jansson, own C header and own C++ header examples translated, compiled, linked
# with the gcc script and run, and their C++ built warning-free by g++ and clang++; an import whose header
# lies in a read-only folder writes only into the program's folder; the -I search and the
# verbose search lines; a bad interface line, or an include that finds no header, fails the run
# with its position; --cxx names the compiler asked for the system's include folders.
set -u
source "$(dirname "$0")/common.bash"
source_dir=$(cd "$2" && pwd -P)
cp -r "$source_dir/examples/." "$tmp/"

# Library versions differ between machines; the rest of the output does not.
run_example() {
    local dir=$1 program=$2
    shift 2
    cd "$tmp/$dir"
    "$build/vorn" -c gcc "$@" "$program.vn" >"$tmp/out" 2>&1 || { fail "$dir: vorn failed: $(cat "$tmp/out")"; return; }
    [ -x "$program" ] || { fail "$dir: $program was not linked"; return; }
    "./$program" | sed -E 's/^(zlib|SQLite) [0-9][0-9.]*$/\1 <version>/' >"$tmp/got" || fail "$dir: the program failed"
    diff -u "$program.expected-output.txt" "$tmp/got" || fail "$dir: unexpected output"
}

for header in sqlite3.h zlib.h; do
    [ -f "/usr/include/$header" ] || echo "note: /usr/include/$header is missing (scripts/main-job installs it)"
done
# What vorn wrote for a library example compiles warning-free with both compilers too.
strict_build() {
    local dir=$1
    shift
    ! $sanitized || return 0
    cd "$tmp/$dir"
    for compiler in g++ clang++; do
        "$compiler" -std=c++17 -Wall -Wextra -Werror -I"$build/include" -I. _*.cpp "$@" -o strict ||
            fail "$dir: $compiler rejects or warns about the generated C++"
    done
}

run_example sqlite people
run_example zlib zlibdemo
run_example widgets draw
run_example libc posix
run_example cjson inventory
run_example lua embed
run_example png gradient
run_example jansson settings
run_example cppheader measure
# The libraries come from the interface files' link lines, each once and after the objects.
grep -q "^link = sqlite3$" "$tmp/sqlite/Sqlite.vni" || fail "sqlite: the example names no library to link"
mkdir -p "$tmp/badlink" && cd "$tmp/badlink"
printf 'include = zlib.h\nlink = z;touch INJECTED\n' >Zl.vni
printf 'import Zl\nInt main()\n    return 0\n' >main.vn
"$build/vorn" -c gcc main.vn >"$tmp/out" 2>&1 && fail "bad library name: exit 0"
grep -qF "Zl.vni(2,1) : error : A library name holds only letters, digits and . _ + -, not ';'" "$tmp/out" ||
    fail "bad library name: said $(cat "$tmp/out")"
[ -e INJECTED ] && fail "bad library name: the shell ran it"
printf 'include = zlib.h\npkg-config = no-such-package\n' >Zl.vni
"$build/vorn" main.vn >"$tmp/out" 2>&1 && fail "unknown package: exit 0"
grep -qF "Zl.vni(2,1) : error : pkg-config knows no package no-such-package" "$tmp/out" ||
    fail "unknown package: said $(cat "$tmp/out")"
strict_build sqlite -lsqlite3
strict_build zlib -lz
strict_build libc -lm
strict_build cjson -lcjson
strict_build lua $(pkg-config --cflags --libs lua5.4)
strict_build png -lpng
strict_build jansson -ljansson
strict_build cppheader
# vorn-pp --vni lists what an import gives: the name a program writes, the C name, the type.
while IFS='|' read -r dir line; do
    (cd "$tmp/$dir" && "$build/vorn-pp" --vni ./*.vni) >"$tmp/listing" 2>&1 || fail "$dir: vorn-pp --vni failed"
    grep -qxF "$line" "$tmp/listing" || fail "$dir: the listing lacks '$line'"
done <<'LINES'
sqlite|function open (C: sqlite3_open): (Char const*, Database**) -> Int
sqlite|class Database (C: sqlite3)
sqlite|constant SQLITE_ROW: Int
zlib|function deflate: (ZStream*, Int) -> Int
zlib|macro deflateInit: (...) -> Int
zlib|function crc32: (ULong, Bytef const*, UInt) -> ULong
cppheader|property Counter.count (C: get_count): Int
cppheader|function toMetres: (Double, Unit) -> Double
LINES
cd "$tmp/widgets"
# A build tool reruns the translation when a named file changes: each must exist, the header too.
"$build/vorn" --depfile "$tmp/deps" draw.vn >/dev/null 2>&1 || fail "widgets: --depfile run failed"
sed -n 's/^  \(.*[^ \\]\)[ \\]*$/\1/p' "$tmp/deps" >"$tmp/named"
grep -qxF "$tmp/widgets/widgets.h" "$tmp/named" || fail "widgets: the dependency file does not name widgets.h"
while read -r named; do
    [ -f "$named" ] || fail "widgets: the dependency file names $named, which does not exist"
done <"$tmp/named"
# Names reach the C++ by the header's spelling, whatever the program called them.
grep -q 'sqlite3_prepare_v2(' "$tmp/sqlite/_people.cpp" || fail "sqlite: prepare_v2 not written as sqlite3_prepare_v2"
grep -q 'wg_Counter counter' "$tmp/widgets/_draw.cpp" || fail "widgets: Counter not written as wg_Counter"
grep -q 'get_count()' "$tmp/widgets/_draw.cpp" || fail "widgets: the property count not read through get_count()"

# The header's folder is read-only and outside the program; everything written lands in the
# program's folder (as root the folder is writable anyway, so the written files are listed).
mkdir -p "$tmp/ro" "$tmp/prog"
cp "$source_dir/examples/widgets/widgets.h" "$tmp/ro/"
cp "$source_dir/examples/widgets/draw.vn" "$tmp/prog/"
printf 'include = %s/ro/widgets.h\nprefix = wg_\nalias Colour = Color\ndefine WG_EXTRAS = 1\ngetter prefix = get_\n' \
    "$tmp" >"$tmp/prog/Widgets.vni"
chmod a-w "$tmp/ro"
touch "$tmp/marker"
sleep 1
cd "$tmp/prog"
"$build/vorn" -c gcc draw.vn >"$tmp/out" 2>&1 || fail "read-only header: vorn failed: $(cat "$tmp/out")"
./draw >"$tmp/got" 2>&1 && diff -u "$source_dir/examples/widgets/draw.expected-output.txt" "$tmp/got" ||
    fail "read-only header: the program did not run as expected"
written=$(find "$tmp" -newer "$tmp/marker" -type f ! -path "$tmp/prog/*" ! -path "$tmp/out" ! -path "$tmp/got")
[ -z "$written" ] || fail "read-only header: files written outside the program: $written"
chmod u+w "$tmp/ro"

# A relative value is looked for in the program's folder, then in each -I directory.
mkdir -p "$tmp/inc" "$tmp/iprog"
cp "$source_dir/examples/widgets/widgets.h" "$tmp/inc/"
cp "$source_dir/examples/widgets/draw.vn" "$source_dir/examples/widgets/Widgets.vni" "$tmp/iprog/"
cd "$tmp/iprog"
"$build/vorn" -v -I "$tmp/inc" draw.vn >"$tmp/out" 2>&1 || fail "-I: vorn failed: $(cat "$tmp/out")"
grep -qx "    searching in: $tmp/iprog/widgets.h" "$tmp/out" || fail "-I: no search line for the program's folder"
grep -qx "    searching in: $tmp/inc/widgets.h" "$tmp/out" || fail "-I: no search line for the -I folder"
grep -qx "      found: widgets.h" "$tmp/out" || fail "-I: no found line"
grep -q "#include \"$tmp/inc/widgets.h\"" _widgets_h.hpp || fail "-I: the wrapper does not include the found header"
# An edited interface file makes the header's wrapper out of date, so a changed define reaches it.
sleep 1
sed -i 's/WG_EXTRAS = 1/WG_EXTRAS = 2/' Widgets.vni
"$build/vorn" -I "$tmp/inc" draw.vn >"$tmp/out" 2>&1 || fail "edited interface: vorn failed: $(cat "$tmp/out")"
grep -qx "#define WG_EXTRAS 2" _widgets_h.hpp || fail "edited interface: the wrapper kept the old define"

# A line the format does not know fails the import at its line; reading goes on.
mkdir -p "$tmp/bad"
cd "$tmp/bad"
printf 'Int main()\n    return 0\n' >main.vn
sed -i '1i import Lib' main.vn
printf '// a note = fine\ncolour = red // note\nprefix = x\n' >Lib.vni
status=0
"$build/vorn" main.vn >"$tmp/out" 2>&1 || status=$?
[ "$status" = 1 ] || fail "bad line: status $status"
grep -qF "Lib.vni(2,1) : error : Unrecognized line: 'colour = red // note'" "$tmp/out" ||
    fail "bad line: $(cat "$tmp/out")"
# An include that finds no header fails there, instead of leaving every name it gives unknown.
printf 'include = no_such_header_anywhere.h\n' >Lib.vni
status=0
"$build/vorn" main.vn >"$tmp/out" 2>&1 || status=$?
[ "$status" = 1 ] || fail "missing header: status $status"
grep -qF "Lib.vni(1,1) : error : No header found for include = no_such_header_anywhere.h" "$tmp/out" ||
    fail "missing header: $(cat "$tmp/out")"
# The compiler asked for the system's folders is --cxx's, also with a PATH that lacks c++; one
# that cannot be asked is named with the header it left unfound.
printf 'include = zlib.h\n' >Lib.vni
rm -f _*
env PATH="$build" "$build/vorn" --cxx "$(command -v g++)" -s main.vn >"$tmp/out" 2>&1 || fail "--cxx g++: $(cat "$tmp/out")"
status=0
"$build/vorn" --cxx /no/such/compiler -s main.vn >"$tmp/out" 2>&1 || status=$?
[ "$status" = 1 ] || fail "--cxx of no compiler: status $status"
grep -qF "Lib.vni(1,1) : error : No header found for include = zlib.h (the C++ compiler /no/such/compiler could not be asked for its include folders)" "$tmp/out" ||
    fail "--cxx of no compiler: $(cat "$tmp/out")"

[ "$failures" -eq 0 ]
