# The start every Wine script shares (sourced). Takes the Windows build directory as the first
# argument; gives $build (its Windows programs), $tmp (a private folder removed at exit) and
# $wtmp (the same folder as Windows programs name it), win (runs a Windows program), mingw
# (the cross compiler on the host) and fail, whose count the last line turns into the status.
build=$(cd "$1" && pwd -P)
failures=0
tmp=$(cd "$(mktemp -d)" && pwd -P)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
wtmp="Z:$tmp"
wine=${VORN_WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=-all
win() { "$wine" "$@"; }
# Generated C++ names its files as Windows programs see them; the host's compiler reads the
# same files through the Z: drive's root.
mingw() {
    sed -i 's|"Z:/|"/|' "$@" 2>/dev/null
    local sources=()
    for f in "$@"; do case $f in *.cpp) sources+=("$f") ;; esac; done
    x86_64-w64-mingw32-g++-posix -std=c++17 -Wall -Wextra -Werror -static -I"$build/include" \
        -isystem "$build/host-boost" "${sources[@]}" -o program.exe
}
# Runs program.exe under Wine and compares what it printed, without the console's CR, with a file.
runs_as() {
    local name=$1 expected=$2
    win ./program.exe >"$tmp/out" 2>&1 || fail "$name: the program failed: $(cat "$tmp/out")"
    tr -d '\r' <"$tmp/out" | diff - "$expected" >/dev/null || fail "$name: printed $(cat "$tmp/out")"
}
