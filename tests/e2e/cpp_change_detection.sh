#!/usr/bin/env bash
# Change detection of the generated C++ with the real binary: after each kind of edit, which
# generated files count as changed (the verbose trace of the comparison), what the files hold,
# whether they were rewritten, and which modules a -c run then sends to the compiler (a fake
# "cc" that logs its file). Before each run every file is dated back to 2020-01-01 and the
# edited sources to the day after, so exactly those are out of date.
set -u
source "$(dirname "$0")/toolchain_fake_tools.bash"
script 'compiler=cc $cppFile;'

old_date='2020-01-01 00:00:00'
edited() {
    touch -d "$old_date" ./*
    touch -d '2020-01-02 00:00:00' "$@"
}
# Keeps a copy of the generated files, to compare the next run's files with.
snapshot() {
    rm -rf "$tmp/before"
    mkdir "$tmp/before"
    cp -p _*.hpp2 _*.hpp _*.cpp "$tmp/before/"
}
same_as_before() { cmp -s "$1" "$tmp/before/$1"; }
# The lines a C++ compiler counts, without blank lines and #line directives.
significant() { grep -v -e '^[[:space:]]*$' -e '^#line' "$1"; }
# A run wrote the file when it no longer carries the date it was given before the run.
rewritten() { [ "$(stat -c %Y "$1")" != "$(date -d "$old_date" +%s)" ]; }

# The part of the verbose output that tells what the comparison found, without the old and new
# texts of a difference (they are checked where they matter) and with the directory cut off.
trace() {
    grep -E 'to C\+\+$|diffing file: |    difference: |header changed for: |import out of date: |Invalidating ' \
        "$tmp/out" | sed -e "s|$PWD/||g" -e 's/\.[0-9]*-[0-9]*\.tmp$/.tmp/'
}
# translate NAME EXPECTED_COMPILED EXPECTED_TRACE ARGS...: a -v -c run that must succeed.
translate() {
    local name=$1 compiled=$2 expected=$3
    shift 3
    local log="" file
    for file in $compiled; do log="$log${log:+
}cc [$PWD/$file]"; done
    run "$name" 0 "$log" -v -c fake "$@"
    local got
    got=$(trace)
    [ "$got" = "$expected" ] || fail "$name: the comparison trace was
$got
expected
$expected"
    [ -z "$(ls ./*.tmp 2>/dev/null)" ] || fail "$name: left $(ls ./*.tmp)"
}
# The three "diffing file" lines of a module, each followed by a difference where asked.
diffing() {
    local module=$1 ext
    shift
    for ext in hpp2 hpp cpp; do
        echo "  diffing file: _$module.$ext with _$module.$ext.tmp"
        case " $* " in *" $ext "*) echo "    difference: " ;; esac
        [ "$ext" = hpp ] && case " $* " in *" hpp "*) echo "  header changed for: $module" ;; esac
    done
}
invalidating() { for m in "$@"; do echo "  Invalidating $m and sending it to compiler"; done; }

# ---- A module and one importer ----
mkdir two && cd two
util='// Helpers for main.
Int twice(Int n)
    return n + n

class Box
    public
    Int size'
printf '%s\n' "$util" >Util.vn
printf 'import Util\n\nInt main()\n    return twice(2)\n' >main.vn

# The first run has no previous files: every file counts as changed, and nothing is printed
# for the missing ones. The import is written as soon as it is read, before main.
translate "first run" "_Util.cpp _main.cpp" "writing: Util to C++
  diffing file: _Util.hpp2 with _Util.hpp2.tmp
  diffing file: _Util.hpp with _Util.hpp.tmp
  header changed for: Util
  diffing file: _Util.cpp with _Util.cpp.tmp
writing: main to C++
  diffing file: _main.hpp2 with _main.hpp2.tmp
  diffing file: _main.hpp with _main.hpp.tmp
  header changed for: main
  diffing file: _main.cpp with _main.cpp.tmp
$(invalidating Util)
      import out of date: Util
$(invalidating main)" main.vn

# Translated again without a change: all three files are rewritten with the same text, both
# flags stay set, and the importer is neither rewritten nor compiled.
edited Util.vn
snapshot
translate "no change" "_Util.cpp" "writing: Util to C++
$(diffing Util)
$(invalidating Util)" main.vn
for f in _Util.hpp2 _Util.hpp _Util.cpp; do
    same_as_before "$f" || fail "no change: $f has another text"
    rewritten "$f" || fail "no change: $f was not rewritten"
done
for f in _main.hpp2 _main.hpp _main.cpp; do rewritten "$f" && fail "no change: $f was rewritten"; done
grep -q "No writing, file is up to date" "$tmp/out" || fail "no change: main was translated"

# A previous file longer than the new one: blank and #line lines after the common part do not
# count; any other line does (the comparison reports it at the close, without a difference
# line), so the implementation file counts as changed and the importer is compiled.
edited Util.vn
printf '\n#line 40\n\t\n' >>_Util.cpp
translate "longer by ignorable lines" "_Util.cpp" "writing: Util to C++
$(diffing Util)
$(invalidating Util)" main.vn
edited Util.vn
printf 'int extra;\n' >>_Util.cpp
translate "longer by a declaration" "_Util.cpp _main.cpp" "writing: Util to C++
$(diffing Util)
$(invalidating Util)
      import out of date: Util
$(invalidating main)" main.vn
grep -q extra _Util.cpp && fail "longer by a declaration: the old line is still there"

# Blank lines inserted before a function move its #line directives and padding only: the
# texts differ, the compared lines do not, and the header counts as unchanged.
snapshot
printf '%s\n' "$util" | sed 's|^Int twice|\n\n\n&|' >Util.vn
edited Util.vn
translate "blank lines before a function" "_Util.cpp" "writing: Util to C++
$(diffing Util)
$(invalidating Util)" main.vn
for f in _Util.hpp _Util.cpp; do
    same_as_before "$f" && fail "blank lines: $f did not move"
    [ "$(significant "$f")" = "$(significant "$tmp/before/$f")" ] || fail "blank lines: $f changed beyond line numbers"
done
grep -q '^#line 5$' _Util.hpp || fail "blank lines: no #line 5 for the moved function: $(cat _Util.hpp)"

# A change in the body of a non-inline function: the header is unchanged, the implementation
# file differs at that line, and the importer is compiled again.
snapshot
sed -i 's|n + n|n * 2|' Util.vn
edited Util.vn
translate "function body" "_Util.cpp _main.cpp" "writing: Util to C++
$(diffing Util cpp)
$(invalidating Util)
      import out of date: Util
$(invalidating main)" main.vn
same_as_before _Util.hpp2 && same_as_before _Util.hpp || fail "function body: a header has another text"
grep -A2 '    difference: ' "$tmp/out" | grep -q '      old: .*return.*+' || fail "function body: the old line is not the old return"
grep -A2 '    difference: ' "$tmp/out" | grep -q '      new: .*return.*\*' || fail "function body: the new line is not the new return"

# A new class at the end: the forward declarations differ, and the difference carries into the
# header and the implementation file, which therefore count as changed although the class
# adds nothing to the implementation file's own text (without a public field it gets no
# generated constructors).
snapshot
printf '\nclass Cup\n    protected\n    Int volume\n' >>Util.vn
edited Util.vn
translate "new class" "_Util.cpp _main.cpp" "writing: Util to C++
$(diffing Util hpp2 hpp cpp)
$(invalidating Util)
      import out of date: Util
writing: main to C++
$(diffing main)
$(invalidating main)" main.vn
grep -A2 '    difference: ' "$tmp/out" | head -3 | grep -q '      new: .*Cup;' || fail "new class: the first difference is not Cup's forward declaration"
same_as_before _Util.hpp2 && fail "new class: the forward declarations did not change"
same_as_before _Util.cpp || fail "new class: the implementation file's own text changed"

# ---- Line jumps: up to 10 source lines are bridged with new lines, more by a #line
# directive; either way the comparison ignores the lines, so moving b by one line from a
# 10-line jump to an 11-line one (and back) changes nothing. ----
cd "$tmp/work" && mkdir jump && cd jump
# jump_source K: a at lines 1-2, then K blank lines, then b; the closing brace of a stands for
# line 3, so b is K lines further on.
jump_source() {
    {
        printf 'Int a()\n    return 1\n'
        printf '%*s' "$1" '' | tr ' ' '\n'
        printf 'Int b()\n    return 2\n'
    } >Jump.vn
}
# The source line that the first output line starting with the text stands for, counted as a
# C++ compiler counts after #line directives.
source_line() { awk -v text="$1" '/^#line /{n = $2 - 1; next} {n++} index($0, text) == 1 {print n; exit}' "$2"; }
# What stands between the end of a and the start of b in the implementation file, one word a
# line, "-" for an empty line.
gap() {
    awk '/^}$/ && !a {a = 1; next} /^int b\(/ {exit} a {print ($0 == "" ? "-" : $0)}' _Jump.cpp | tr '\n' ' '
}
nine_empty_lines=$(printf -- '- %.0s' {1..9})

jump_source 10
run "10-line jump" 0 "cc [$PWD/_Jump.cpp]" -c fake Jump.vn
[ "$(gap)" = "$nine_empty_lines" ] || fail "10-line jump: between a and b stands [$(gap)], expected 9 empty lines"
for jump in 11 10; do
    name="$((21 - jump))-line to $jump-line jump"
    jump_source "$jump"
    edited Jump.vn
    translate "$name" "_Jump.cpp" "writing: Jump to C++
$(diffing Jump)
$(invalidating Jump)" Jump.vn
    [ "$(source_line 'int b(' _Jump.cpp)" = "$((jump + 3))" ] || fail "$name: b stands for line $(source_line 'int b(' _Jump.cpp)"
    [ "$(source_line 'int b(' _Jump.hpp)" = "$((jump + 3))" ] || fail "$name: b's declaration stands for line $(source_line 'int b(' _Jump.hpp)"
done
[ "$(gap)" = "$nine_empty_lines" ] || fail "10-line jump again: between a and b stands [$(gap)]"
jump_source 11
edited Jump.vn
run "11-line jump" 0 "cc [$PWD/_Jump.cpp]" -c fake Jump.vn
[ "$(gap)" = "#line 14 " ] || fail "11-line jump: between a and b stands [$(gap)], expected #line 14"
# A jump backwards is a directive too: a's definition comes after the file's own heading lines.
[ "$(grep -B1 '^int a(' _Jump.cpp | head -1)" = "#line 1" ] || fail "backward jump: no #line 1 before a"

# ---- A changed header reaches every importer through imports that need the full header
# (the default): main imports Mid, Mid imports Util. Util gets a new function, so its
# header changes; Mid's header includes Util's, so Mid's counts as changed in turn, and main,
# which never names Util, is compiled again as well. Both importers are translated again after
# it, since what they inferred from its declarations may have changed; their text does not. ----
cd "$tmp/work" && mkdir chain && cd chain
printf '%s\n' "$util" >Util.vn
printf 'import Util\n\nInt four()\n    return twice(2)\n' >Mid.vn
printf 'import Mid\n\nInt main()\n    return four()\n' >main.vn
run "chain first run" 0 "cc [$PWD/_Mid.cpp]
cc [$PWD/_Util.cpp]
cc [$PWD/_main.cpp]" -c fake main.vn
grep -qx '#include "_Util.hpp"' _Mid.hpp || fail "chain: Mid's header does not include Util's full header: $(grep include _Mid.hpp)"
printf '\nInt thrice(Int n)\n    return n + n + n\n' >>Util.vn
edited Util.vn
translate "header change reaches main" "_Mid.cpp _Util.cpp _main.cpp" "writing: Util to C++
$(diffing Util hpp cpp)
      import out of date: Util
writing: Mid to C++
$(diffing Mid)
$(invalidating Mid Util)
      import out of date: Mid
writing: main to C++
$(diffing main)
$(invalidating main)" main.vn
for f in _Mid.hpp _Mid.cpp _main.hpp _main.cpp; do rewritten "$f" || fail "chain: $f was not translated again"; done

[ "$failures" -eq 0 ]
