#!/usr/bin/env bash
# Error paths of the driver with the real binary: scripts that are directories, junk or carry a
# bad success code, and inputs that are missing, directories or junk. Each run must end with a
# message on standard error and status 1, print nothing on standard output, and leave the
# working directory as it was. (Compiling does not exist yet, so runs with a script end at the
# translation of their input, and templates are never expanded.)
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
cd "$tmp/work"
before=$(ls -la)

# check NAME EXPECTED_STDERR_PATTERN ARGS...: status 1, the message, nothing else written.
check() {
    local name=$1 pattern=$2
    shift 2
    env PATH="$inst:/usr/bin:/bin" "$inst/vorn" "$@" >"$tmp/out" 2>"$tmp/err"
    local status=$?
    [ "$status" -eq 1 ] || fail "$name: exit status $status, expected 1"
    grep -qE "$pattern" "$tmp/err" || fail "$name: standard error [$(cat "$tmp/err")] does not match [$pattern]"
    [ ! -s "$tmp/out" ] || fail "$name: standard output was [$(cat "$tmp/out")]"
    [ "$(ls -la)" = "$before" ] || fail "$name: the working directory changed"
    grep -q "AddressSanitizer\|runtime error" "$tmp/err" && fail "$name: sanitizer report"
}

notfound="compiler configuration file not found:"
check "script is the compiler directory" "^$notfound\$" -c . x.vn
check "script is a subdirectory" "^$notfound\$" -c sub x.vn
check "script path names the directory on line 2" "^$inst/compiler/sub\$" -c sub x.vn
check "script is missing" "^$notfound\$" -c ../compiler/none x.vn
check "success code not a number" "^bad lexical cast" -c badcode x.vn
# Templates are expanded only when compiling, which comes after translating; until that
# exists these scripts are read and the run ends at the first stage that fails.
for script in junk badtemplate nested; do
    check "script $script" "Unable to load file x.vn|not implemented yet|is not a recognized command|should be terminated|template expansion is longer" -c "$script" x.vn
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
check "response file missing" "cl.exe|Unable to open" @missing.rsp

[ "$failures" -eq 0 ]
