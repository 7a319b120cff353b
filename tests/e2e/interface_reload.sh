#!/usr/bin/env bash
# Reruns over the multi-module programs: a rerun with nothing to do reads no ".vn" source,
# writes nothing and still names every source in its dependency file; after touching any one module, the rerun writes what a clean translation
# wrote, byte for byte, whether the modules it reads came from source or from ".vnl" files.
set -u
source "$(dirname "$0")/common.bash"
source_dir=$(cd "$2" && pwd -P)
vorn=$build/vorn

# Inferred types across modules, and a cycle: touching Mid must read the declarations of Base and Pair from source,
# although Top has already taken both from their interface files (which must then be freed).
mkdir -p "$tmp/diamond"
printf 'import Base\nimport Mid\n\nInt main()\n    return mid_total()\n' >"$tmp/diamond/Top.vn"
printf 'import Pair\n\nclass Box\n    public\n    Int size\n\nBox make_box(Int n)\n    Box b\n    b.size = n\n    return b\n\n[Int] numbers()\n    [Int] xs\n    xs.push_back(pair_size())\n    return xs\n' >"$tmp/diamond/Base.vn"
printf 'import Base\n\nInt pair_size()\n    return 2\n' >"$tmp/diamond/Pair.vn"
printf 'import Base\n\nInt mid_total()\n    var box = make_box(3)\n    var xs = numbers()\n    return box.size + xs # 0\n' >"$tmp/diamond/Mid.vn"

# Each program: its directory, the modules named on the command line and, where the directory
# holds other programs too, the program's own files.
programs=(
    "$source_dir/examples/shapes:main.vn"
    "$source_dir/tests/data/cpp/source/modules:Main.vn"
    "$source_dir/tests/data/cpp/source/templates:Templates.vn"
    "$source_dir/tests/data/cpp/source/classes:Main.vn"
    "$source_dir/tests/data/cpp/inference/imports:Main.vn"
    "$source_dir/tests/data/macros:imported.vn:imported.vn Shared/Shout.vn"
    "$tmp/diamond:Top.vn"
)

# Sources an hour old, outputs half an hour: everything is up to date until one is touched.
date_back() {
    find . -name '*.vn' -exec touch -d '-60 minutes' {} +
    find . -name '_*' -exec touch -d '-30 minutes' {} +
}

for entry in "${programs[@]}"; do
    IFS=: read -r dir inputs files <<<"$entry"
    name=$(basename "$dir") work=$tmp/work/$(basename "$dir")
    cd "$dir" && files=${files:-$(find . -name '*.vn')} && mkdir -p "$work" && cp --parents $files "$work" && cd "$work" || exit 1
    "$vorn" $inputs >/dev/null 2>"$tmp/err" || { fail "$name: clean translation failed: $(cat "$tmp/err")"; continue; }
    mkdir "$tmp/clean-$name"
    find . -name '_*' -exec cp --parents {} "$tmp/clean-$name" \;

    date_back
    "$vorn" -v --depfile "$tmp/deps" $inputs >"$tmp/out" 2>&1 || fail "$name: no-op rerun failed"
    for module in $files; do
        grep -qF "$work/${module#./}" "$tmp/deps" || fail "$name: the dependency file does not name $module"
    done
    ! grep -q 'from source$' "$tmp/out" || fail "$name: no-op rerun read a source: $(grep 'from source$' "$tmp/out")"
    grep -q 'from \.vnl because its up to date$' "$tmp/out" || fail "$name: no-op rerun read no interface file"
    ! grep -q '^writing:' "$tmp/out" || fail "$name: no-op rerun wrote"

    for module in $files; do
        date_back
        touch "$module"
        "$vorn" -v $inputs >"$tmp/out" 2>&1 || { fail "$name: rerun after touching $module failed"; continue; }
        grep -qx "writing: .* to vnl" "$tmp/out" || fail "$name: touching $module translated nothing"
        while read -r generated; do
            cmp -s "$generated" "$tmp/clean-$name/$generated" ||
                fail "$name: after touching $module, $generated differs from the clean translation"
        done < <(find . -name '_*')
    done
done

[ "$failures" -eq 0 ]
