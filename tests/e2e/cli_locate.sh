#!/usr/bin/env bash
# Where vorn looks for its compiler/, lib/ and include/ directories: the search path (with
# "." last), else the directory of the running program; messages only when both fail.
# The path a missing -c script is reported under shows the directory that was chosen.
set -u
source "$(dirname "$0")/common.bash"

# expect NAME EXPECTED_STDERR COMMAND...
expect() {
    local name=$1 expected=$2
    shift 2
    "$@" >"$tmp/out" 2>"$tmp/err"
    local status=$?
    [ "$status" -eq 1 ] || fail "$name: exit status $status, expected 1"
    [ "$(cat "$tmp/err")" = "$expected" ] || fail "$name: standard error was [$(cat "$tmp/err")], expected [$expected]"
}
missing() { printf 'compiler configuration file not found:\n%s' "$1"; }

mkdir -p "$tmp/inst/compiler" "$tmp/empty" "$tmp/alone"
: >"$tmp/inst/vorn"  # only its status is queried
chmod +x "$tmp/inst/vorn"

cd "$tmp/empty"
expect "first PATH entry holding vorn" "$(missing "$tmp/inst/compiler/zz")" \
    env PATH="/nonexistent:$tmp/inst:$build" "$build/vorn" -c zz x.vn
expect "entry with a trailing slash" "$(missing "$tmp/inst/compiler/zz")" \
    env PATH="$tmp/inst/" "$build/vorn" -c zz x.vn
expect "fallback to the running program" "$(missing "$build/compiler/zz")" \
    env PATH="/nonexistent" "$build/vorn" -c zz x.vn
expect "fallback without PATH" "$(missing "$build/compiler/zz")" \
    env -u PATH "$build/vorn" -c zz x.vn
# An installation puts a link on the search path; the data lie beside the program it leads to,
# through a chain of links too.
mkdir -p "$tmp/bin" "$tmp/links"
ln -s "$tmp/inst/vorn" "$tmp/links/vorn"
ln -s ../links/vorn "$tmp/bin/vorn"
expect "link on the search path followed" "$(missing "$tmp/inst/compiler/zz")" \
    env PATH="$tmp/bin" "$build/vorn" -c zz x.vn
cd "$tmp/inst"
expect "current directory searched last" "$(missing "./compiler/zz")" \
    env PATH="/nonexistent" "$build/vorn" -c zz x.vn
expect "an empty entry is the current directory" "$(missing "./compiler/zz")" \
    env PATH=":$build" "$build/vorn" -c zz x.vn

# A copy under another name has no vorn beside it: every way fails, and the scripts are then
# looked for relative to the current directory.
cp "$build/vorn" "$tmp/alone/vorn-copy"
cd "$tmp/empty"
expect "not in path" "vorn executable not in path
$(missing "compiler/zz")" env PATH="/nonexistent" "$tmp/alone/vorn-copy" -c zz x.vn
expect "no PATH" "PATH environment variable should be set
$(missing "compiler/zz")" env -u PATH "$tmp/alone/vorn-copy" -c zz x.vn

# Only an executable regular file counts: a folder or a plain file named vorn in the current
# directory (a clone of the sources, say) does not take over the data directory.
mkdir -p "$tmp/clone/vorn" "$tmp/notes"
: >"$tmp/notes/vorn"
for dir in clone notes; do
    cd "$tmp/$dir"
    printf 'Int main()\n    return 0\n' >x.vn
    expect "$dir: vorn in the current directory is not the program" "$(missing "$build/compiler/zz")" \
        env PATH="/nonexistent" "$build/vorn" -c zz x.vn
    env PATH="/nonexistent" "$build/vorn" x.vn >"$tmp/out" 2>"$tmp/err" ||
        fail "$dir: translation failed: $(cat "$tmp/err")"
done

# When the data directory lacks the built-in library, the message says where vorn looked.
cd "$tmp/notes"
expect "no built-in library" "Unable to load module Library/Buildin/*.
vorn looked for its data in $tmp/inst/ and found no lib/Library/Buildin.vnl there" \
    env PATH="$tmp/inst" "$build/vorn" x.vn

# The build tree carries the shipped scripts beside the program.
for script in msvc gcc clang; do
    [ -f "$build/compiler/$script" ] || fail "$build/compiler/$script missing"
done

[ "$failures" -eq 0 ]
