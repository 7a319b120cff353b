#!/usr/bin/env bash
# Error paths of the driver with the real binary: scripts that are directories, junk, carry a
# bad success code or a bad template, inputs that cannot be read, and generated files that
# cannot be written. Each run must end with a message on standard error and status 1, print
# nothing on standard output, and leave behind no file that could pass for a result.
set -u
source "$(dirname "$0")/common.bash"

# A private installation, so the scripts under test sit in its compiler/ directory.
private_installation
mkdir -p "$inst/compiler/sub" "$tmp/work/dir.vn"
printf 'compiler=cc $file;\r\nlinker=ld\0\xff\xfe $perFile;$outFile; $;' >"$inst/compiler/junk"
printf 'compiler=cc $foo;\nlinker=ld $file\n' >"$inst/compiler/badtemplate"
printf 'compiler success=zero\n' >"$inst/compiler/badcode"
printf 'linker=%s\n' "$(printf '$perFile;%.0s' {1..60})x" >"$inst/compiler/nested"
printf 'a\0b = "\xff"\r\n    c' >"$tmp/work/junk.vn"
ln -s loop.vn "$tmp/work/loop.vn"
# Opens, but every read fails (nothing is mapped at the start of the address space).
ln -s /proc/self/mem "$tmp/work/mem.vn"
cd "$tmp/work"
# Entries only: the listing of . and .. carries their times, which change with the minute
# when a sibling file is written.
before=$(ls -lA)

# check NAME EXPECTED_STDERR_PATTERN ARGS...: status 1, the message, nothing else written.
check() {
    local name=$1 pattern=$2
    shift 2
    env PATH="$inst:/usr/bin:/bin" "$inst/vorn" "$@" >"$tmp/out" 2>"$tmp/err"
    local status=$?
    [ "$status" -eq 1 ] || fail "$name: exit status $status, expected 1"
    grep -qE "$pattern" "$tmp/err" || fail "$name: standard error [$(cat "$tmp/err")] does not match [$pattern]"
    # Only the progress lines of the commands that started.
    ! grep -qv '^\[[0-9]/2\] compiling ok$' "$tmp/out" || fail "$name: standard output was [$(cat "$tmp/out")]"
    [ "$(ls -lA)" = "$before" ] || fail "$name: the working directory changed"
    grep -q "AddressSanitizer\|runtime error" "$tmp/err" && fail "$name: sanitizer report"
}

notfound="compiler configuration file not found:"
check "script is the compiler directory" "^$notfound\$" -c . x.vn
check "script is a subdirectory" "^$notfound\$" -c sub x.vn
check "script path names the directory on line 2" "^$inst/compiler/sub\$" -c sub x.vn
check "script is missing" "^$notfound\$" -c ../compiler/none x.vn
check "success code not a number" "^bad lexical cast" -c badcode x.vn
# Templates are expanded only when compiling, after the translation: with a missing input
# the run ends there, before any template is looked at.
for script in junk badtemplate nested; do
    check "script $script, input missing" "Unable to load file x.vn" -c "$script" x.vn
done

unreadable="Unable to open file|Unable to load file|not implemented yet"
check "input missing" "$unreadable" missing.vn
check "input is a directory" "$unreadable" dir.vn
check "input with NUL bytes and no final line end" "$unreadable|error" junk.vn
check "input only translated, missing" "$unreadable" -s missing.vn
if [ "$(id -u)" -ne 0 ]; then
    printf 'x = 1\n' >"$tmp/locked.vn" && chmod 000 "$tmp/locked.vn"
    check "input without read permission" "$unreadable" "$tmp/locked.vn"
fi
check "response file missing" "^missing.rsp : error : Unable to open file$" @missing.rsp
check "response file is a directory" "^dir.vn : error : Unable to open file$" @dir.vn
check "input is a link to itself" "loop.vn : error : Unable to load file loop.vn\$" loop.vn
check "input whose reading fails" "mem.vn : error : Unable to read file" mem.vn

# A good input with a bad template: the translation succeeds, the template fails when it is
# expanded, and no command of the script runs (each would leave its mark file).
mkdir "$tmp/compile" && cd "$tmp/compile"
printf 'Int main()\n    return 0\n' >ok.vn
mkdir "$tmp/tmp"
# compiles NAME EXPECTED_STDERR_PATTERN SCRIPT_LINES...: a -c run with that script fails.
compiles() {
    local name=$1 pattern=$2
    shift 2
    printf '%s\n' "$@" >"$inst/compiler/bad"
    rm -f _ok.* compiled linked
    env PATH="$inst:/usr/bin:/bin" TMPDIR="$tmp/tmp" "$inst/vorn" -c bad ok.vn >"$tmp/out" 2>"$tmp/err"
    local status=$?
    [ "$status" -eq 1 ] || fail "$name: exit status $status, expected 1"
    grep -qE "$pattern" "$tmp/err" || fail "$name: standard error [$(cat "$tmp/err")] does not match [$pattern]"
    # Only the progress lines of the commands that started.
    ! grep -qv '^\[[0-9]/2\] compiling ok$' "$tmp/out" || fail "$name: standard output was [$(cat "$tmp/out")]"
    [ -z "$(ls -A "$tmp/tmp")" ] || fail "$name: temporary files left: $(ls -A "$tmp/tmp")"
    [ -f _ok.cpp ] || fail "$name: the input was not translated"
}
link='linker=touch linked;'
compiles "unknown command in the compile template" '^\$foo is not a recognized command$' 'compiler=touch compiled $foo;' "$link"
[ -e compiled ] || [ -e linked ] && fail "unknown command: a command ran"
compiles "unterminated command" '^\$cppFile should be terminated with a semicolon$' 'compiler=touch compiled $cppFile' "$link"
[ -e compiled ] || [ -e linked ] && fail "unterminated command: a command ran"
compiles "bad template of the compiler's list file" '^\$nope is not a recognized command$' \
    'compiler temp=$cppFile;$nope;' 'compiler=touch compiled @$temp;' "$link"
[ -e compiled ] || [ -e linked ] && fail "bad list file template: a command ran"
# The link template fails after a good compile: the compile ran, the link did not.
compiles "bad link template" '^\$outfile is not a recognized command$' 'compiler=touch compiled;' \
    'linker=touch linked $outfile;'
[ -e compiled ] || fail "bad link template: the compile did not run"
[ -e linked ] && fail "bad link template: the link ran"

# Generated files that cannot be written fail the module with the file's name, and none of
# its generated files is left to look up to date. The paths are made unwritable for root too:
# a name longer than the file system allows, and a name that is taken by a directory whose
# moved-aside name is taken as well.
mkdir "$tmp/write" && cd "$tmp/write"
# The names files are written under before the rename into place are longer still: the first
# of them, the interface file's, is the first that fails.
long=$(printf 'a%.0s' {1..250})  # _NAME.hpp2 is one byte too long; the other outputs fit
printf 'Int f()\n    return 1\n' >"$long.vn"
printf 'Int f()\n    return 1\n' >ok.vn
mkdir -p _ok.cpp/keep _ok.cpp.tmp/keep
# unwritable NAME INPUT FILE [VORN_ARGS...]: the run fails naming FILE and leaves no output.
unwritable() {
    local name=$1 input=$2 file=$3
    shift 3
    env PATH="$inst:/usr/bin:/bin" "$inst/vorn" "$@" "$input" >"$tmp/out" 2>"$tmp/err"
    local status=$?
    [ "$status" -eq 1 ] || fail "$name: exit status $status, expected 1"
    [ "$(cat "$tmp/err")" = " : error : Unable to write file $PWD/$file" ] || fail "$name: standard error [$(cat "$tmp/err")]"
    # Only the progress lines of the commands that started.
    ! grep -qv '^\[[0-9]/2\] compiling ok$' "$tmp/out" || fail "$name: standard output was [$(cat "$tmp/out")]"
    local left
    left=$(ls -A | grep -v -e '\.vn$' -e '^_ok\.cpp$' -e '^_ok\.cpp\.tmp$')
    [ -z "$left" ] || fail "$name: left $left"
    [ -d _ok.cpp/keep ] && [ -d _ok.cpp.tmp/keep ] || fail "$name: a directory in the way was changed"
}
unwritable "name too long" "$long.vn" "_$long.vnl"
unwritable "name taken by directories" ok.vn _ok.cpp
unwritable "nothing compiled after a failed write" ok.vn _ok.cpp -c bad
[ -e compiled ] || [ -e linked ] && fail "failed write: a command ran"
# The library interface file likewise: an older one left in place would serve importers stale
# declarations.
mkdir "$tmp/vnl" && cd "$tmp/vnl"
printf 'Int f()\n    return 1\n' >m.vn
mkdir -p _m.vnl/keep
env PATH="$inst:/usr/bin:/bin" "$inst/vorn" m.vn >"$tmp/out" 2>"$tmp/err"
status=$?
[ "$status" -eq 1 ] || fail "vnl taken by a directory: exit status $status, expected 1"
[ "$(cat "$tmp/err")" = " : error : Unable to write file $PWD/_m.vnl" ] || fail "vnl taken by a directory: standard error [$(cat "$tmp/err")]"
[ "$(ls -A)" = "$(printf '_m.vnl\nm.vn')" ] || fail "vnl taken by a directory: left $(ls -A | tr '\n' ' ')"
cd "$tmp/write"
if [ "$(id -u)" -ne 0 ]; then
    mkdir locked && printf 'Int f()\n    return 1\n' >locked/m.vn && chmod 555 locked
    env PATH="$inst:/usr/bin:/bin" "$inst/vorn" locked/m.vn >"$tmp/out" 2>"$tmp/err"
    [ $? -eq 1 ] && grep -q "Unable to write file" "$tmp/err" || fail "read-only directory: [$(cat "$tmp/err")]"
    chmod 755 locked
fi

[ "$failures" -eq 0 ]
