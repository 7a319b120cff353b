#!/usr/bin/env bash
# Generated files under hostile timing: an interface file cut short, runs in one folder at the
# same time that share modules, and runs stopped by a signal at any point. Afterwards every
# output must be whole and equal to a clean translation's, and a rerun must find it up to date.
set -u
source "$(dirname "$0")/common.bash"
vorn=$build/vorn

# outputs DIR: the generated files of DIR (files left aside by a killed run are no outputs).
outputs() { (cd "$1" && ls _*.hpp2 _*.hpp _*.cpp _*.vnl 2>/dev/null); }
# same_outputs WHAT DIR REF: DIR holds exactly the generated files of REF, byte for byte.
same_outputs() {
    [ "$(outputs "$2")" = "$(outputs "$3")" ] || { fail "$1: the set of files differs"; return; }
    for file in $(outputs "$3"); do
        cmp -s "$2/$file" "$3/$file" || fail "$1: $file differs from a clean translation"
    done
}
date_back() { touch -d '-60 minutes' "$1"/*; }
# The timing rounds: fewer in the sanitizer build, where each run takes several times as long
# and the plain build has tried the same interleavings already.
rounds=50
! $sanitized || rounds=10

# --- An interface file cut short at any byte is out of date, not an error.
mkdir -p "$tmp/cut" && cd "$tmp/cut" || exit 1
printf 'import Util\n\nInt main()\n    return twice(2) - 4\n' >App.vn
printf 'Int twice(Int x)\n    return x * 2\n' >Util.vn
"$vorn" App.vn || fail "cut: clean run failed"
mkdir "$tmp/cut-ref" && cp _* "$tmp/cut-ref/"
size=$(stat -c %s _App.vnl)
for ((length = 0; length < size; length++)); do
    head -c "$length" "$tmp/cut-ref/_App.vnl" >_App.vnl
    "$vorn" App.vn 2>"$tmp/err" || fail "cut at $length: $(cat "$tmp/err")"
    same_outputs "cut at $length" . "$tmp/cut-ref"
done

# --- Two and four programs sharing modules, translated at the same time in one folder.
mkdir -p "$tmp/share" && cd "$tmp/share" || exit 1
printf 'class Point\n    public\n    Int x\n\nInt shared_value()\n    return 7\n' >Shared.vn
printf 'import Shared\n\nInt mid_value()\n    var v = shared_value()\n    return v + 1\n' >Mid.vn
for p in 1 2 3 4; do
    printf 'import Mid\nimport Shared\n\nInt main()\n    Point p\n    p.x = mid_value()\n    return p.x - shared_value() - %d\n' $p >p$p.vn
done
date_back .
"$vorn" p1.vn p2.vn p3.vn p4.vn || fail "share: serial run failed"
mkdir "$tmp/share-ref" && cp _* "$tmp/share-ref/"
for runs in 2 4; do
    for round in $(seq "$rounds"); do
        rm -f _*
        pids=()
        for p in $(seq "$runs"); do
            "$vorn" p$p.vn 2>"$tmp/err$p" &
            pids+=($!)
        done
        for p in $(seq "$runs"); do
            wait "${pids[$((p - 1))]}" || fail "share $runs/$round: run $p failed: $(cat "$tmp/err$p")"
        done
        [ -z "$(ls ./*.tmp 2>/dev/null)" ] || fail "share $runs/$round: left $(ls ./*.tmp)"
        for file in $(outputs .); do
            cmp -s "$file" "$tmp/share-ref/$file" || fail "share $runs/$round: $file is not whole"
        done
        "$vorn" -v $(seq -f 'p%g.vn' "$runs") >"$tmp/out" 2>&1 || fail "share $runs/$round: rerun failed"
        ! grep -q '^writing:' "$tmp/out" || fail "share $runs/$round: rerun wrote $(grep '^writing:' "$tmp/out")"
    done
done

# --- Stopped at any point while a changed declaration passes through 50 modules. M0's function
# changes its type; every other module infers a variable's type from it.
mkdir -p "$tmp/kill/w" && cd "$tmp/kill/w" || exit 1
base() { printf '%s base()\n    return 1\n' "$1" >M0.vn; }
base Int
for k in $(seq 49); do
    printf 'import M0\nimport M%d\n\nInt f%d()\n    var y = base()\n    return y + 1\n' $((k - 1)) $k >M$k.vn
done
"$vorn" M49.vn || fail "kill: clean run failed"
date_back .
cp -a . "$tmp/kill/before"
base Long
start=$(date +%s%N)
"$vorn" M49.vn || fail "kill: translation after the change failed"
took=$(( ($(date +%s%N) - start) / 1000000 + 1 ))
grep -q '^	long y' _M7.cpp || fail "kill: the change did not reach M7: $(grep ' y' _M7.cpp)"
mkdir "$tmp/kill/ref" && cp _* "$tmp/kill/ref/"
signals=(KILL INT TERM)
for round in $(seq $((rounds * 3 / 5))); do
    cd "$tmp/kill" && rm -rf w && cp -a before w && cd w || exit 1
    base Long
    "$vorn" M49.vn 2>/dev/null &
    pid=$!
    sleep "$(printf '0.%03d' $((RANDOM % took % 1000)))"
    kill -"${signals[$((round % 3))]}" "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    "$vorn" M49.vn 2>"$tmp/err" || fail "kill $round: rerun failed with status $?: $(cat "$tmp/err")"
    same_outputs "kill $round" . "$tmp/kill/ref"
done

[ "$failures" -eq 0 ]
