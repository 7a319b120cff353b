#!/usr/bin/env bash
# Failures of the command line and of the run: message on standard error, exit status 1.
set -u
source "$(dirname "$0")/common.bash"
export PATH="$build:$PATH"
vorn="$build/vorn"
cd "$tmp"

# run NAME STATUS EXPECTED_STDERR ARGS...
run() {
    local name=$1 status=$2 expected=$3
    shift 3
    "$vorn" "$@" >out 2>err
    local got=$?
    [ "$got" -eq "$status" ] || fail "$name: exit status $got, expected $status"
    [ "$(cat err)" = "$expected" ] || fail "$name: standard error was [$(cat err)], expected [$expected]"
}

run "-c with -d" 1 "-c and -d are mutually exclusive" -c msvc -d x.vn
run "-d with -c" 1 "-c and -d are mutually exclusive" --doc x.vn --compiler gcc
run "tabsize 0" 1 "tabsize must be a positive integer: 0" -t 0 x.vn
run "tabsize not a number" 1 "tabsize must be a positive integer: abc" -t abc x.vn
run "unknown option" 1 "unknown option: --bogus" x.vn --bogus
run "usage word that is no option" 1 "unknown option: --no-depends" --no-depends x.vn
run "missing script" 1 "compiler configuration file not found:
$build/compiler/missing" -c missing x.vn
run "missing script after a good one" 1 "compiler configuration file not found:
$build/compiler/nope" -c gcc -c nope x.vn
run "bad script ends the reading" 1 "tabsize must be a positive integer: 0" -c clang -t 0
run "unknown diagnostics format" 1 "the diagnostics format is vorn or gcc, not clang" --diagnostics-format clang x.vn

# A diagnostic in gcc's form, which editors read, or vorn's own, the default; the last one given wins.
printf 'Int main()\n    Int x = (\n    return 0\n' >bad.vn
for format in "gcc:$tmp/bad.vn:2:13: error: " "vorn:$tmp/bad.vn(2,13) : error : " "vorn gcc:$tmp/bad.vn:2:13: error: "; do
    words=${format%%:*}
    args=()
    for word in $words; do args+=(--diagnostics-format "$word"); done
    "$vorn" "${args[@]}" -s bad.vn >out 2>err
    grep -qxF "${format#*:}Syntax error, this '(' is not closed; at line 3: expected type instead of 'return 0'" err ||
        fail "--diagnostics-format $words: stderr [$(cat err)]"
done

# Stages that do not exist yet must fail, never pass for done.
for args in "x.vn" "-s x.vn" "-c gcc hello.vn" "-c gcc -s -o hello hello.vn" "x.vn -o" "- x.vn"; do
    # shellcheck disable=SC2086
    "$vorn" $args >out 2>err
    status=$?
    [ "$status" -eq 1 ] || fail "vorn $args: exit status $status, expected 1"
    grep -Eq "not implemented yet|Unable to load file" err || fail "vorn $args: no message saying why"
done
# A response file that cannot be read ends the emulation before any tool runs.
for args in "@args.rsp" "-v @args.rsp a.vn" "--vc-forward-realcl @x"; do
    # shellcheck disable=SC2086
    "$vorn" $args >out 2>err
    status=$?
    [ "$status" -eq 1 ] || fail "vorn $args: exit status $status, expected 1"
    grep -q "^[a-z.]* : error : Unable to open file$" err || fail "vorn $args: stderr [$(cat err)]"
done

[ "$failures" -eq 0 ]
