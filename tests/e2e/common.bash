# The start every end-to-end script shares (sourced; CTest runs only the *.sh files). Takes the
# build directory as the script's first argument; gives $build, a private temporary directory
# $tmp removed at exit, and fail, whose count the script's last line turns into its status.
# Never changes the current directory: each script chooses where it runs.
build=$(cd "$1" && pwd -P)
failures=0
tmp=$(cd "$(mktemp -d)" && pwd -P)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A copy of the installation of its own in $inst (the program, lib/, include/ and an empty
# compiler/), so that a test's configuration scripts sit where vorn looks for them.
private_installation() {
    inst=$tmp/inst
    mkdir -p "$inst/compiler"
    cp "$build/vorn" "$inst/vorn"
    cp -r "$build/lib" "$build/include" "$inst/"
}

# check_program_result NAME STATUS ACTUAL GOLDEN: a program named fail_* must end with status 1,
# any other with 0, and its recorded output must match the golden (VORN_REGENERATE=1 rewrites it).
check_program_result() {
    local name=$1 status=$2 actual=$3 golden=$4
    case "$name" in
    fail_*) [ "$status" = 1 ] || fail "$name: status $status, expected 1" ;;
    *) [ "$status" = 0 ] || fail "$name: status $status, expected 0" ;;
    esac
    if [ "${VORN_REGENERATE:-}" = 1 ]; then
        cp "$actual" "$golden"
    elif ! diff -u "$golden" "$actual"; then
        fail "$name: output differs from $golden"
    fi
}
