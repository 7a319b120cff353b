#!/usr/bin/env bash
# The program folders with the real binary: each tests/data/FOLDER/NAME.vn is translated in a
# fresh directory, with the folder's subfolders (modules the cases import) beside it. NAME.golden
# holds what vorn printed, its exit status, every file it wrote and, when it succeeded, what the
# program prints once compiled with g++ and with clang++ (-std=c++17 -Wall -Wextra -Werror); a
# compiler that rejects or warns fails the case, and so does a clang++ build that prints
# something else; the g++ build runs under AddressSanitizer and UndefinedBehaviorSanitizer, so
# a program that touches freed or foreign memory fails too. Files named fail_* must fail. VORN_REGENERATE=1 rewrites the golden files.
# A sanitizer build compares what vorn printed and wrote, and builds nothing.
#   programs.sh BUILD_DIR SOURCE_DIR [FOLDER...]    (all program folders when none is named)
set -u
source "$(dirname "$0")/common.bash"
source_dir=$(cd "$2" && pwd -P)
shift 2
folders=("$@")
[ ${#folders[@]} -gt 0 ] || folders=(classes lowering macros mistakes)

# print_file FILE DIR: FILE with DIR's path taken out, so that #line and messages name the
# sources as the case folder does; a missing final line end is said, not hidden.
print_file() {
    sed "s|$2/||g" "$1"
    if [ -s "$1" ] && [ "$(tail -c 1 "$1" | od -An -c | tr -d ' ')" != '\n' ]; then
        echo
        echo "== no line end at the end of the file"
    fi
}

# compile COMPILER SOURCE_DIR PROGRAM: builds PROGRAM from every generated implementation file,
# or prints the compiler's messages.
compile() {
    local cpp
    mapfile -t cpp < <(find "$2" -name '_*.cpp' | LC_ALL=C sort)
    local checks=()
    [ "$1" = g++ ] && checks=(-fsanitize=address,undefined -fno-sanitize-recover=all)
    "$1" -std=c++17 -Wall -Wextra -Werror "${checks[@]}" -I"$build/include" -I"$2" "${cpp[@]}" -o "$3" 2>&1
}

# run_case FOLDER NAME: sets $work and $status (vorn's) and writes the sections to $work/actual.
run_case() {
    local data=$source_dir/tests/data/$1 name=$2
    work=$tmp/$1/$name
    local src=$work/src
    mkdir -p "$src"
    cp "$data/$name.vn" "$src/"
    find "$data" -mindepth 1 -maxdepth 1 -type d -exec cp -r {} "$src/" \;
    (cd "$src" && "$build/vorn" "$name.vn" >"$work/stdout" 2>"$work/stderr")
    status=$?
    {
        echo "== stdout"
        print_file "$work/stdout" "$src"
        echo "== stderr"
        print_file "$work/stderr" "$src"
        echo "== status $status"
        while read -r file; do
            echo "== file $file"
            print_file "$src/$file" "$src"
        done < <(cd "$src" && find . -name '_*' -printf '%P\n' | LC_ALL=C sort)
        if [ "$status" = 0 ] && ! $sanitized; then
            for compiler in g++ clang++; do
                if ! compile "$compiler" "$src" "$work/$compiler" >"$work/$compiler.log"; then
                    fail "$1/$name: $compiler rejected the C++: $(print_file "$work/$compiler.log" "$src")" >&3
                    continue
                fi
                # A program that loops for ever ends, and its status says so. Test programs
                # may leak on purpose; what counts is memory used wrongly.
                ASAN_OPTIONS=detect_leaks=0 timeout 60 "$work/$compiler" >"$work/$compiler.out"
                local ran=$?
                [ "$ran" = 0 ] || echo "exit status $ran" >>"$work/$compiler.out"
            done
            if [ -f "$work/g++.out" ]; then
                echo "== program"
                cat "$work/g++.out"
            fi
            if [ -f "$work/g++.out" ] && [ -f "$work/clang++.out" ] &&
                ! cmp -s "$work/g++.out" "$work/clang++.out"; then
                fail "$1/$name: the clang++ build prints something else:
$(diff "$work/g++.out" "$work/clang++.out")" >&3
            fi
        fi
    } 3>&1 >"$work/actual"
}

for folder in "${folders[@]}"; do
    [ -d "$source_dir/tests/data/$folder" ] || { fail "no program folder tests/data/$folder"; continue; }
    for source in "$source_dir/tests/data/$folder"/*.vn; do
        name=$(basename "$source" .vn)
        run_case "$folder" "$name"
        case "$name" in
        fail_*) [ "$status" = 1 ] || fail "$folder/$name: status $status, expected 1" ;;
        *) [ "$status" = 0 ] || fail "$folder/$name: status $status, expected 0" ;;
        esac
        golden=$source_dir/tests/data/$folder/$name.golden
        if [ "${VORN_REGENERATE:-}" = 1 ]; then
            cp "$work/actual" "$golden"
        elif $sanitized && ! diff -u <(sed '/^== program$/,$d' "$golden") "$work/actual"; then
            fail "$folder/$name: output differs from $golden"
        elif ! $sanitized && ! diff -u "$golden" "$work/actual"; then
            fail "$folder/$name: output differs from $golden"
        fi
    done
done
[ "$failures" -eq 0 ]
