# Shared by the vc_* end-to-end tests (sourced; the first argument is the build dir). Fake
# cl.exe, realcl.exe and link.exe come first on PATH; each appends to $tmp/log its name, its
# arguments in brackets and the content of the response file named after an '@' in braces,
# and exits with the status the test puts in $tmp/NAME.status. The real vorn follows them.
source "$(dirname "${BASH_SOURCE[0]}")/common.bash"
mkdir -p "$tmp/bin" "$tmp/work"
for tool in cl.exe realcl.exe link.exe; do
    cat >"$tmp/bin/$tool" <<TOOL
#!/bin/sh
{
    printf '%s' "$tool"
    for a in "\$@"; do printf ' [%s]' "\$a"; done
    for a in "\$@"; do case \$a in @*) printf ' {%s}' "\$(cat -- "\${a#@}")";; esac; done
    echo
} >>"$tmp/log"
status=0
[ -f "$tmp/$tool.status" ] && status=\$(cat "$tmp/$tool.status")
exit \$status
TOOL
    chmod +x "$tmp/bin/$tool"
done
export PATH="$tmp/bin:$build:$PATH"
work=$tmp/work
cd "$work"
# What every rewritten response file starts with.
inc="/I $build/include"

# run NAME STATUS EXPECTED_LOG RESPONSE_TEXT VORN_ARGS...: writes args.rsp, runs
# `vorn VORN_ARGS... @args.rsp` and compares its status and the tools' log.
run() {
    local name=$1 status=$2 expected=$3 text=$4
    shift 4
    printf '%s' "$text" >args.rsp
    rm -f "$tmp/log"
    vorn "$@" @args.rsp >"$tmp/out" 2>"$tmp/err"
    local got=$?
    [ "$got" -eq "$status" ] || fail "$name: exit status $got, expected $status; stderr: $(cat "$tmp/err")"
    local log=""
    [ -f "$tmp/log" ] && log=$(cat "$tmp/log")
    [ "$log" = "$expected" ] || fail "$name: the tools ran
$log
expected
$expected"
}

# Makes every file in the work directory old and then the named ones new (times count in
# whole seconds).
touched() {
    local now
    now=$(date +%s)
    find . -type f -exec touch -d "@$((now - 100))" {} +
    [ $# -eq 0 ] || touch -d "@$now" "$@"
}
