# The start every end-to-end script shares (sourced; CTest runs only the *.sh files). Takes the
# build directory as the script's first argument; gives $build, a private temporary directory
# $tmp removed at exit, and fail, whose count the script's last line turns into its status.
# Never changes the current directory: each script chooses where it runs.
build=$(cd "$1" && pwd -P)
failures=0
tmp=$(cd "$(mktemp -d)" && pwd -P)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# The sanitizer build runs these scripts to check vorn's own memory. The C++ it writes is byte
# for byte what the plain build's run writes and compiles, so there the scripts may leave out
# building it again.
sanitized=false
grep -q '^VORN_SANITIZE:BOOL=ON$' "$build/CMakeCache.txt" 2>/dev/null && sanitized=true

# A copy of the installation of its own in $inst (the program, lib/, include/ and an empty
# compiler/), so that a test's configuration scripts sit where vorn looks for them.
private_installation() {
    inst=$tmp/inst
    mkdir -p "$inst/compiler"
    cp "$build/vorn" "$inst/vorn"
    cp -r "$build/lib" "$build/include" "$inst/"
}
