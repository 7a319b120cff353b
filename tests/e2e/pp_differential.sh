#!/usr/bin/env bash
# vorn-pp against GCC: each tests/data/pp/*.h gives the tokens of `gcc -E -P` (whitespace and
# line breaks not counted; GCC's text is read back through `vorn-pp --lex` so both sides are cut
# into tokens alike), with and without the tokens of included files. The deliberate differences
# (differences/*.h) and the failures (errors/*.h) are compared with checked-in golden files;
# VORN_REGENERATE=1 rewrites those. Then the real headers: sqlite3.h, zlib.h, cJSON.h.
source "$(dirname "$0")/common.bash"
src=$2
data=$src/tests/data/pp
pp=$build/vorn-pp
# The inputs name their includes relative to the data folder, as a user's -I would.
cd "$data" || exit 1
includes=(-I inc -I inc/a -I inc/b)

# g++ -E output without line markers for the files below the top one, and without #pragma
# lines, which GCC passes on to the compiler and vorn carries out or drops.
# A marker without flags naming another file, met inside the top file, is its #line: still the top file.
top_file_only() { awk '/^# [0-9]+ "/ { if (top == "") top = $3; if (NF > 3 || $3 == top || !keep) keep = ($3 == top); next } /^#(pragma|ident)/ { next } keep'; }

compare() {  # name, vorn's text, gcc's text
    "$pp" --lex "$3" | tr -s ' \n' '\n\n' > "$tmp/gcc.tokens"
    tr -s ' \n' '\n\n' < "$2" > "$tmp/vorn.tokens"
    if ! diff "$tmp/vorn.tokens" "$tmp/gcc.tokens" > "$tmp/diff"; then
        fail "$1 differs from GCC"
        head -n 20 "$tmp/diff"
    fi
}

# *.hpp inputs hold what only C++ reads so; they are compared with g++.
for input in *.h *.hpp; do
    cc=gcc
    [ "${input%.hpp}" != "$input" ] && cc=g++
    "$pp" "${includes[@]}" "$input" > "$tmp/vorn.txt" 2> "$tmp/vorn.err" || { fail "$input: vorn-pp failed"; cat "$tmp/vorn.err"; }
    $cc -E "${includes[@]}" "$input" 2>/dev/null | top_file_only > "$tmp/gcc.txt"
    compare "$input" "$tmp/vorn.txt" "$tmp/gcc.txt"
    "$pp" --all "${includes[@]}" "$input" > "$tmp/vorn.txt" 2>/dev/null
    $cc -E -P "${includes[@]}" "$input" 2>/dev/null | grep -Ev '^#(pragma|ident)' > "$tmp/gcc.txt"
    compare "$input --all" "$tmp/vorn.txt" "$tmp/gcc.txt"
done

golden() {  # file, expected
    if [ -n "${VORN_REGENERATE:-}" ]; then cp "$1" "$2"; return; fi
    diff "$1" "$2" > "$tmp/diff" || { fail "$2 differs"; cat "$tmp/diff"; }
}

# The deliberate differences from C, each with vorn's expected tokens; GCC must disagree.
for input in differences/*.h; do
    "$pp" "$input" > "$tmp/vorn.txt" 2>&1 || fail "$input: vorn-pp failed"
    golden "$tmp/vorn.txt" "${input%.h}.expected"
    # GCC's own text, not read back through --lex, which would join its literals too.
    gcc -E -P "$input" 2>/dev/null | tr -s ' \n' '\n\n' > "$tmp/b"
    tr -s ' \n' '\n\n' < "$tmp/vorn.txt" > "$tmp/a"
    cmp -s "$tmp/a" "$tmp/b" && fail "$input: GCC gives the same tokens, so this is no difference"
done

# Failures: what vorn-pp reports (positions included) and its exit status.
for input in errors/*.h; do
    status=0
    "$pp" "$input" > "$tmp/out.txt" 2>&1 || status=$?
    echo "exit status $status" >> "$tmp/out.txt"
    golden "$tmp/out.txt" "${input%.h}.expected"
    case $input in errors/fail_*) [ "$status" = 1 ] || fail "$input: exit status $status, expected 1" ;; esac
done

# Real headers: the header's own tokens as g++ -E gives them, and with --all everything
# they include. Each is skipped with a note when its Debian package is missing.
for header in /usr/include/sqlite3.h /usr/include/zlib.h /usr/include/cjson/cJSON.h; do
    if [ ! -f "$header" ]; then
        echo "note: $header missing (scripts/install-deps installs it); skipped"
        continue
    fi
    "$pp" "$header" > "$tmp/vorn.txt" 2> "$tmp/vorn.err" || { fail "$header: vorn-pp failed"; cat "$tmp/vorn.err"; }
    g++ -std=c++17 -E "$header" | top_file_only > "$tmp/gcc.txt"
    compare "$header" "$tmp/vorn.txt" "$tmp/gcc.txt"
    "$pp" --all "$header" > "$tmp/vorn.txt" 2>/dev/null
    g++ -std=c++17 -E -P "$header" | grep -Ev '^#(pragma|ident)' > "$tmp/gcc.txt"
    compare "$header --all" "$tmp/vorn.txt" "$tmp/gcc.txt"
done
exit $((failures > 0))
