#!/usr/bin/env bash
# The two usage texts, byte for byte, and when they are printed; the version of each program,
# and ferrix's usage.
set -u
source "$(dirname "$0")/common.bash"
vorn="$build/vorn"

# run NAME STATUS EXPECTED_STDERR_FILE ARGS...: runs vorn (as argv[0] "vorn") and compares.
run() {
    local name=$1 status=$2 expected=$3
    shift 3
    (cd "$tmp" && exec -a vorn "$vorn" "$@") >"$tmp/out" 2>"$tmp/err"
    local got=$?
    [ "$got" -eq "$status" ] || fail "$name: exit status $got, expected $status"
    cmp -s "$tmp/err" "$expected" || { fail "$name: standard error differs"; diff "$expected" "$tmp/err"; }
    [ ! -s "$tmp/out" ] || fail "$name: printed on standard output"
}

printf 'Usage: vorn [options] files\nTry vorn --help for more information\n\n' >"$tmp/short"
cat >"$tmp/full" <<'TEXT'
Usage: vorn [options] files

  -?, --help          Display this screen
      --version       Print the version
  -o, --out           Set the output filename (of the executable)
  -s, --single        Don't process files imported by the named files
  -c, --compiler      Use the specified compiler to compile and link files
                      The compiler information is stored in files in the compiler directory
  -C, --copt          Pass the option to the compiler
  -L, --lopt          Pass the option to the linker
  -j, --jobs          Run this many compiles at once, default the hardware threads
  -O, --option        Pass the option to the compiler script, some supported options are:
                        - debug     compile with debug information
                        - windows   create a windows application (non-console)
  -d, --doc           Generates documentation in the form XML files
  -t, --tabsize       Specifies the size of tabstops, default value is 8
  -I  --include-dir   Adds an include directory, include directories are used for:
                        - library files
                        - when loading C++ modules
  -v  --verbose       Output additional information about the process
  @<file>             Act like MSVC cl.exe, converts .vn files, passes on to cl.exe
                      If .obj files are specified acts like link.exe instead
                      Sets tabsize=4 unless -t is specified
      --output-dir    Write the generated files into this directory (without the _)
      --depfile       Write a make rule naming every source the translation read
      --cxx           The C++ compiler to ask for its include directories (default c++)
      --diagnostics-format  vorn (default) or gcc: print diagnostics as file:line:col: error: text
TEXT

run "no arguments" 0 "$tmp/short"
run "-?" 0 "$tmp/full" -?
run "--help" 0 "$tmp/full" --help
run "help after an input" 0 "$tmp/full" a.vn -?
run "help before a bad option" 0 "$tmp/full" --help -t 0 -c missing
run "help after -s" 0 "$tmp/full" -s -v --help

# The program name is printed exactly as it was invoked.
(cd "$tmp" && "$vorn") 2>"$tmp/err"
head -n 1 "$tmp/err" | grep -qxF "Usage: $vorn [options] files" || fail "program name not taken from argv[0]"

# --version prints the project's version on standard output; ferrix without arguments its usage.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
for program in vorn vorn-pp ferrix; do
    [ "$("$build/$program" --version 2>&1)" = "$program $version" ] || fail "$program --version"
done
"$build/ferrix" >"$tmp/out" 2>"$tmp/err"
[ $? -eq 1 ] && [ ! -s "$tmp/out" ] && grep -q "^usage: ferrix" "$tmp/err" || fail "ferrix without arguments"

[ "$failures" -eq 0 ]
