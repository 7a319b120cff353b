# Shared by the toolchain_* end-to-end tests (sourced; the first argument is the build dir).
# A compiler script "fake" in a copy of the installation names "cc" and "ld" scripts that come
# first on PATH, record their arguments (and the content of any temporary file named after an
# '@') and exit with the status the test puts in a file.
source "$(dirname "${BASH_SOURCE[0]}")/common.bash"

# An installation of its own, so that the test's script lands in compiler/.
private_installation
mkdir -p "$tmp/bin" "$tmp/tmp" "$tmp/work"

for tool in cc ld; do
    cat >"$tmp/bin/$tool" <<TOOL
#!/bin/sh
line=$tool
for a in "\$@"; do
    line="\$line [\$a]"
    case \$a in @*) line="\$line {\$(cat "\${a#@}")}";; esac
done
echo "\$line" >>"$tmp/log"
status=0
[ -f "$tmp/$tool.status" ] && status=\$(cat "$tmp/$tool.status")
words="\$*"
for a in "\$@"; do case \$a in @*) words="\$words \$(cat "\${a#@}")";; esac; done
for a in \$words; do
    b=\$(basename -- "\$a")
    [ -f "$tmp/fail-\$b" ] && status=\$(cat "$tmp/fail-\$b")
done
exit \$status
TOOL
    chmod +x "$tmp/bin/$tool"
done

export PATH="$tmp/bin:$inst:$PATH" TMPDIR="$tmp/tmp"
cd "$tmp/work"

# run NAME EXPECTED_STATUS EXPECTED_LOG ARGUMENTS...: runs vorn, compares its status and
# the tools' log (temporary file names replaced by TEMP).
run() {
    local name=$1 status=$2 expected=$3
    shift 3
    rm -f "$tmp/log"
    # One compile at a time, so that the log shows the order the commands start in.
    vorn ${1:+-j 1} "$@" >"$tmp/out" 2>"$tmp/err"
    local got=$?
    [ "$got" -eq "$status" ] || fail "$name: exit status $got, expected $status; stderr: $(cat "$tmp/err")"
    local log=""
    [ -f "$tmp/log" ] && log=$(sed "s|$tmp/tmp/[^] }]*|TEMP|g" "$tmp/log")
    [ "$log" = "$expected" ] || fail "$name: the tools ran
$log
expected
$expected"
    [ -z "$(ls -A "$tmp/tmp")" ] || fail "$name: temporary files left: $(ls -A "$tmp/tmp")"
}

script() { printf '%s\n' "$@" >"$inst/compiler/fake"; }
# Makes the named sources newer than every output (file times count in whole seconds).
touched() {
    local now
    now=$(date +%s)
    touch -d "@$((now - 100))" ./*
    touch -d "@$now" "$@"
}

