#!/usr/bin/env bash
# Classes and properties with the real binary: each tests/data/classes/*.vn is translated in a
# fresh directory; what vorn prints and its exit status are compared with NAME.golden. A
# program that translates is compiled with g++ and with clang++ (-std=c++17 -Wall -Wextra
# -Werror) and run; g++'s run joins the comparison, and clang++'s must print the same. Files
# named fail_* must fail. Run with VORN_REGENERATE=1 to rewrite the golden files instead.
set -u
source "$(dirname "$0")/common.bash"
data="$(cd "$2" && pwd -P)/tests/data/classes"

# compile COMPILER DIR: builds DIR/program-COMPILER from the module's C++, or prints why not.
compile() {
    "$1" -std=c++17 -Wall -Wextra -Werror -I"$build/include" -I"$2" "$2"/_*.cpp -o "$2/program-$1" 2>"$2/$1.log" ||
        { echo "== $1 failed"; cat "$2/$1.log"; }
}

for source in "$data"/*.vn; do
    name=$(basename "$source" .vn)
    dir="$tmp/$name"
    mkdir -p "$dir"
    cp "$source" "$dir/"
    (cd "$dir" && "$build/vorn" "$name.vn" >stdout 2>stderr)
    status=$?
    {
        echo "== stdout"
        cat "$dir/stdout"
        echo "== stderr"
        sed "s|$dir/||g" "$dir/stderr"
        echo "== status $status"
        if [ "$status" = 0 ]; then
            compile g++ "$dir"
            if [ -x "$dir/program-g++" ]; then
                echo "== program"
                "$dir/program-g++"
            fi
        fi
    } >"$dir/actual"
    if [ "$status" = 0 ] && command -v clang++ >/dev/null; then
        clang=$(compile clang++ "$dir")
        [ -z "$clang" ] || fail "$name: $clang"
        if [ -x "$dir/program-clang++" ] && [ -x "$dir/program-g++" ] &&
            [ "$("$dir/program-clang++")" != "$("$dir/program-g++")" ]; then
            fail "$name: the clang++ build prints something else than the g++ build"
        fi
    fi
    check_program_result "$name" "$status" "$dir/actual" "$data/$name.golden"
done
[ "$failures" -eq 0 ]
