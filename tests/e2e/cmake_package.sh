#!/usr/bin/env bash
# vorn driven by CMake: the example of examples/cmake/ configured and built from a fresh build
# folder against the build tree's package, a second build that does nothing, an edited body
# that recompiles one object, a changed header that recompiles its importer, errors at ".vn"
# lines in the build log; then an installation (stripped, with its man pages; its package
# building a library and a program) and the Debian package, used from elsewhere.
set -u
source "$(dirname "$0")/common.bash"
src=$2
command -v ninja >/dev/null || { echo "SKIP: ninja not found"; exit 0; }

mkdir -p "$tmp/ex"
cp -r "$src/examples/cmake" "$src/examples/shapes" "$tmp/ex/"
shapes=$tmp/ex/shapes
b=$tmp/b

# build LOG: builds $b, keeping the output; the status is the build's.
build() { cmake --build "$b" >"$tmp/$1" 2>&1; }
# compiled LOG: the generated files that were compiled, by name, sorted.
compiled() { sed -n 's|.*Building CXX object .*/generated/\([A-Za-z]*\)\.cpp\.o.*|\1|p' "$tmp/$1" | sort | tr '\n' ' '; }

cmake -S "$tmp/ex/cmake" -B "$b" -G Ninja -Dvorn_DIR="$build" >"$tmp/configure" 2>&1 || { cat "$tmp/configure"; fail "configure"; }
build first || { cat "$tmp/first"; fail "first build"; }
"$b/shapes" | cmp -s - "$shapes/main.expected-output.txt" || fail "the example's output differs"
[ "$(compiled first)" = "Figures Stats main " ] || fail "first build compiled [$(compiled first)]"
for module in main Figures Stats; do
    grep -q "\"file\": \"$b/shapes.vorn/generated/$module.cpp\"" "$b/compile_commands.json" ||
        fail "compile_commands.json lacks $module.cpp"
done

build second
grep -q "no work to do" "$tmp/second" || { cat "$tmp/second"; fail "a second build did work"; }

# Same lines, another constant: only Stats' implementation changes. main imports Stats, so it
# is translated again, but its C++ is the same and is not compiled.
sed -i 's/return 100.0 \* part/return 10.0 * part/' "$shapes/Stats.vn"
build body || { cat "$tmp/body"; fail "build after a body edit"; }
[ "$(compiled body)" = "Stats " ] || fail "a body edit compiled [$(compiled body)]"
grep -q "Translating $shapes/main.vn" "$tmp/body" || fail "the importer was not translated again"
"$b/shapes" | grep -q 'the largest 4% of it' || fail "the rebuilt program does not show the edit"

# A new function changes Stats' header, which main includes.
printf '\nInt twice(Int x)\n    return 2 * x\n' >>"$shapes/Stats.vn"
build header || { cat "$tmp/header"; fail "build after a header change"; }
[ "$(compiled header)" = "Stats main " ] || fail "a header change compiled [$(compiled header)]"

# A translation error fails the build at its ".vn" position; a C++ error is reported at the
# ".vn" line through #line.
printf '\nInt broken(\n' >>"$shapes/Stats.vn"
line=$(wc -l <"$shapes/Stats.vn")
if build translation; then fail "a translation error did not fail the build"; fi
grep -q "^$shapes/Stats.vn($line,[0-9]*) : error : " "$tmp/translation" ||
    { cat "$tmp/translation"; fail "no .vn position of the translation error"; }
sed -i '$d' "$shapes/Stats.vn"
# (vorn leaves pointers to the C++ compiler, so a pointer returned as an Int reaches g++).
printf 'Int thrice(Int x)\n    Int* p = NULL\n    return p\n' >>"$shapes/Stats.vn"
line=$(wc -l <"$shapes/Stats.vn")
if build compile; then fail "a C++ error did not fail the build"; fi
grep -q "^$shapes/Stats.vn:$line:[0-9]*: error: .*conversion" "$tmp/compile" ||
    { cat "$tmp/compile"; fail "no .vn position of the C++ error"; }

# A day's work on a project of two folders, with Ninja and with Makefiles: a library in lib/
# (Vec, and Check, which calls zlib through lib/Zlib.vni) linked by two programs in app/; each
# edit is checked for the modules it translates again and those it compiles again.
mkdir -p "$tmp/day/lib" "$tmp/day/app"
cat >"$tmp/day/CMakeLists.txt" <<'TEXT'
cmake_minimum_required(VERSION 3.20)
project(day CXX)
find_package(vorn REQUIRED)
vorn_add_library(geom SOURCES lib/Vec.vn lib/Check.vn VNI lib/Zlib.vni)
vorn_add_executable(app SOURCES app/main.vn)
vorn_add_executable(tool SOURCES app/tool.vn)
target_link_libraries(app PRIVATE geom)
target_link_libraries(tool PRIVATE geom)
TEXT
printf 'include = zlib.h\nlink = z\n' >"$tmp/day/lib/Zlib.vni"
printf 'class Vec\n    Int x\n    Int y\n\nInt dot(Vec a, Vec b)\n    return a.x * b.x + a.y * b.y\n' >"$tmp/day/lib/Vec.vn"
cat >"$tmp/day/lib/Check.vn" <<'TEXT'
import Zlib

ULong checksum(String text)
    return crc32(0ul, reinterpret_cast[UChar const*](text.c_str()), UInt:(text.size()))
TEXT
cat >"$tmp/day/app/main.vn" <<'TEXT'
import Vec
import Check

Int main()
    Vec v
    v.x = 3
    v.y = 4
    printf("%d %lu\n", dot(v, v), checksum("vorn"))
    return 0
TEXT
printf 'import Vec\n\nInt main()\n    Vec v\n    v.x = 1\n    v.y = 2\n    printf("%%d\\n", dot(v, v))\n    return 0\n' \
    >"$tmp/day/app/tool.vn"
cp -r "$tmp/day" "$tmp/day-sources"
# edit GENERATOR NAME TRANSLATED COMPILED: builds, and compares the modules translated and compiled.
edit() {
    cmake --build "$tmp/day/b" >"$tmp/$2" 2>&1 || { cat "$tmp/$2"; fail "$1: build after $2"; }
    local translated
    translated=$(sed -n 's|.*Translating .*/\([A-Za-z]*\)\.vni*$|\1|p' "$tmp/$2" | sort | tr '\n' ' ')
    [ "$translated" = "$3" ] || fail "$1: $2 translated [$translated], not [$3]"
    [ "$(compiled "$2")" = "$4" ] || fail "$1: $2 compiled [$(compiled "$2")], not [$4]"
}
# The sanitizer build's run takes one generator: vorn does the same work under both.
generators=(Ninja "Unix Makefiles")
! $sanitized || generators=(Ninja)
for generator in "${generators[@]}"; do
    rm -rf "$tmp/day" && cp -r "$tmp/day-sources" "$tmp/day"
    cmake -S "$tmp/day" -B "$tmp/day/b" -G "$generator" -Dvorn_DIR="$build" >"$tmp/day-configure" 2>&1 ||
        { cat "$tmp/day-configure"; fail "$generator: configure"; continue; }
    edit "$generator" clean "Check Vec Zlib main tool " "Check Vec main tool "
    [ "$("$tmp/day/b/app")" = "25 2610494314" ] && [ "$("$tmp/day/b/tool")" = "5" ] || fail "$generator: the programs' output"
    edit "$generator" rebuild "" ""
    sed -i 's/a.y \* b.y$/a.y * b.y + 1/' "$tmp/day/lib/Vec.vn"
    edit "$generator" body "Vec main tool " "Vec "
    [ "$("$tmp/day/b/app")" = "26 2610494314" ] || fail "$generator: the body edit is not in the program"
    printf '\nInt twice(Int x)\n    return 2 * x\n' >>"$tmp/day/lib/Vec.vn"
    edit "$generator" declaration "Vec main tool " "Vec main tool "
    printf 'include = string.h\n' >>"$tmp/day/lib/Zlib.vni"
    edit "$generator" interface "Check Zlib main " "Check main "
    # A comment that moves the lines below it moves their #line directives, in the header too.
    sed -i '4i // a note between the class and dot' "$tmp/day/lib/Vec.vn"
    edit "$generator" comment "Vec main tool " "Vec main tool "
    # A header the interface names but nobody has fails the step that reads it, at its line.
    printf 'include = no_such_header.h\n' >>"$tmp/day/lib/Zlib.vni"
    if cmake --build "$tmp/day/b" >"$tmp/missing" 2>&1; then fail "$generator: a missing header did not fail the build"; fi
    grep -q "^$tmp/day/lib/Zlib.vni(4,1) : error : No header found for include = no_such_header.h$" "$tmp/missing" ||
        { cat "$tmp/missing"; fail "$generator: no positioned error for the missing header"; }
done

# A "pkg-config = NAME" line links what pkg-config gives for NAME. (Configured only: reading the
# line is the translator's business, tested with it.)
mkdir -p "$tmp/pc"
printf 'cmake_minimum_required(VERSION 3.20)\nproject(pc CXX)\nfind_package(vorn REQUIRED)\nvorn_add_executable(app SOURCES main.vn VNI Pc.vni)\n' \
    >"$tmp/pc/CMakeLists.txt"
printf 'pkg-config = zlib\n' >"$tmp/pc/Pc.vni"
printf 'import Pc\nInt main()\n    return 0\n' >"$tmp/pc/main.vn"
cmake -S "$tmp/pc" -B "$tmp/pc/b" -G Ninja -Dvorn_DIR="$build" >"$tmp/pc-configure" 2>&1 ||
    { cat "$tmp/pc-configure"; fail "configure with a pkg-config line"; }
grep -q '^  LINK_LIBRARIES = .*libz\.so' "$tmp/pc/b/build.ninja" || fail "the pkg-config line's library is not linked"

# An installation: bin/vorn finds its data through its link, from any folder, and the package
# under lib/cmake/vorn builds the shapes program.
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null || fail "install"
# installed_files ROOT: the programs are stripped, the man pages and Debian's documents there.
installed_files() {
    local program
    for program in lib/vorn/vorn bin/vorn-pp bin/vorn-lsp bin/ferrix; do
        file -L "$1/$program" | grep -q ', stripped' || fail "$1/$program is not stripped"
    done
    for doc in share/man/man1/vorn.1.gz share/man/man1/vorn-pp.1.gz share/man/man1/vorn-lsp.1.gz \
               share/man/man1/ferrix.1.gz \
               share/doc/vorn/changelog.gz; do
        gzip -t "$1/$doc" 2>/dev/null || fail "$1/$doc is missing or no gzip file"
    done
    grep -q '^Upstream-Name: vorn' "$1/share/doc/vorn/copyright" || fail "$1: no copyright file"
}
installed_files "$tmp/prefix"
mkdir -p "$tmp/elsewhere"
cp "$src/examples/hello.vn" "$tmp/elsewhere/"
(cd "$tmp/elsewhere" && PATH="$tmp/prefix/bin:$PATH" vorn -c gcc hello.vn && ./hello) >"$tmp/hello" 2>&1
grep -q "Hello from vorn" "$tmp/hello" || { cat "$tmp/hello"; fail "installed vorn -c gcc hello.vn"; }
# The installed language server finds the data in lib/vorn/ from bin/, with nothing on PATH.
lsp_message() { printf 'Content-Length: %d\r\n\r\n%s' "${#1}" "$1"; }
{
    lsp_message '{"jsonrpc":"2.0","id":1,"method":"initialize","params":{}}'
    lsp_message "{\"jsonrpc\":\"2.0\",\"method\":\"textDocument/didOpen\",\"params\":{\"textDocument\":{\"uri\":\"file://$tmp/elsewhere/hello.vn\",\"version\":1,\"text\":\"Int main()\\n    return 0\\n\"}}}"
    lsp_message '{"jsonrpc":"2.0","id":2,"method":"shutdown"}'
    lsp_message '{"jsonrpc":"2.0","method":"exit"}'
} | (cd "$tmp/elsewhere" && PATH=/usr/bin:/bin "$tmp/prefix/bin/vorn-lsp") >"$tmp/lsp.out" 2>"$tmp/lsp.err" ||
    fail "installed vorn-lsp: exit status $?"
grep -q '"diagnostics":\[\]' "$tmp/lsp.out" || { cat "$tmp/lsp.out" "$tmp/lsp.err"; fail "installed vorn-lsp analyses a module"; }
printf '#define SIDE 4\nint side = SIDE;\n' >"$tmp/elsewhere/side.h"
[ "$(cd "$tmp/elsewhere" && PATH="$tmp/prefix/bin:$PATH" vorn-pp side.h)" = "int side = 4 ;" ] ||
    fail "installed vorn-pp side.h"
# This time two of the modules form a library that the program links.
cp -r "$src/examples/shapes" "$tmp/ex/"
mkdir -p "$tmp/ex/split"
cat >"$tmp/ex/split/CMakeLists.txt" <<'TEXT'
cmake_minimum_required(VERSION 3.20)
project(split CXX)
find_package(vorn REQUIRED)
vorn_add_library(figures SOURCES ../shapes/Figures.vn ../shapes/Stats.vn)
vorn_add_executable(shapes SOURCES ../shapes/main.vn)
target_link_libraries(shapes PRIVATE figures)
TEXT
cmake -S "$tmp/ex/split" -B "$tmp/bi" -G Ninja -DCMAKE_PREFIX_PATH="$tmp/prefix" \
    >"$tmp/configure-installed" 2>&1 || { cat "$tmp/configure-installed"; fail "configure against the installation"; }
grep -q "^vorn_DIR:PATH=$tmp/prefix/lib/cmake/vorn$" "$tmp/bi/CMakeCache.txt" || fail "the installed package was not used"
cmake --build "$tmp/bi" >"$tmp/installed" 2>&1 || { cat "$tmp/installed"; fail "build against the installation"; }
"$tmp/bi/shapes" | cmp -s - "$shapes/main.expected-output.txt" || fail "the installed package's program differs"

# The Debian package, unpacked rather than installed: this machine's /usr is not ours. (Not of
# the sanitizer build: nobody ships that one.)
if command -v dpkg-deb >/dev/null && ! $sanitized; then
    (cd "$build" && cpack -G DEB -B "$tmp/pkg") >"$tmp/cpack" 2>&1 || { cat "$tmp/cpack"; fail "cpack -G DEB"; }
    dpkg-deb -x "$tmp"/pkg/vorn_*.deb "$tmp/root" || fail "unpacking the package"
    installed_files "$tmp/root/usr"
    dpkg-deb -f "$tmp"/pkg/vorn_*.deb Depends | grep -q 'libc6 (>=' || fail "no library dependencies from dpkg-shlibdeps"
    dpkg-deb -f "$tmp"/pkg/vorn_*.deb Maintainer | grep -vq '@localhost' || fail "no real maintainer"
    rm -f "$tmp/elsewhere/hello" "$tmp/elsewhere"/_hello.*
    (cd "$tmp/elsewhere" && PATH="$tmp/root/usr/bin:$PATH" vorn -c gcc hello.vn && ./hello) >"$tmp/hello" 2>&1
    grep -q "Hello from vorn" "$tmp/hello" || { cat "$tmp/hello"; fail "packaged vorn -c gcc hello.vn"; }
fi

exit $((failures > 0))
