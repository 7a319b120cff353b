#!/usr/bin/env bash
# The C-library idioms the examples do not show: a header of our own whose macros are typed
# constants, function-like and statement macros, a declaration the grammar cannot read, a
# prefix that would leave a keyword, whole-name aliases, a struct hidden by a function of its
# name, pointer typedefs and callbacks, unions; the mistakes around them; and an edit a moment
# after the last run.
set -u
source "$(dirname "$0")/common.bash"
cd "$tmp"

cat >box.h <<'EOF'
#define BOX_LIMIT 8
#define BOX_MASK (BOX_LIMIT - 1) | 0x10u
#define BOX_RATIO 0.25f
#define BOX_NAME "box"
#define BOX_TWICE(x) box_twice_of((x))
#define BOX_EACH(i, n) for (i = 0; i < (n); ++i)
struct box_item { int size; };
struct box_stat { int count; };
int box_stat(struct box_stat *out);
inline int box_twice_of(int x) { return 2 * x; }
inline void box_delete(struct box_item *item) { item->size = 0; }
inline int box_itemSize(const struct box_item *item) { return item->size; }
inline auto box_square = [](int x) { return x * x; };
EOF
printf 'include = box.h\nprefix = box_\nalias item = Item\nalias box_stat = Stat\n' >Box.vni
cat >main.vn <<'EOF'
import Box
Int main()
    var limit = BOX_LIMIT
    var mask = BOX_MASK
    var ratio = BOX_RATIO
    var name = BOX_NAME
    Int#BOX_LIMIT slots
    var doubled = BOX_TWICE(21)
    Int sum = 0
    Int i = 0
    BOX_EACH(i, limit)
        slots[i] = i
        sum += slots[i]
    Item thing
    thing.size = 3
    Stat counts
    counts.count = 0
    printf("%d %u %.2f %s %d %d %d %d\n", limit, mask, ratio, name, doubled, sum, itemSize(&thing), stat(&counts))
    box_delete(&thing)
    printf("%d\n", thing.size)
    return 0
EOF
cat >box.c <<'EOF'
struct box_stat { int count; };
extern "C++" int box_stat(struct box_stat *out) { out->count = 5; return out->count; }
EOF
"$build/vorn" main.vn >"$tmp/out" 2>&1 || fail "vorn failed: $(cat "$tmp/out")"
# The lambda is beyond the header grammar: that declaration alone is skipped, with a warning.
grep -q "box.h(13,.*) : warning : Syntax error, .*; the declaration is skipped" "$tmp/out" ||
    fail "no warning for the skipped declaration: $(cat "$tmp/out")"
[ "$(wc -l <"$tmp/out")" -eq 1 ] || fail "vorn said more than the warning: $(cat "$tmp/out")"
for compiler in g++ clang++; do
    "$compiler" -std=c++17 -Wall -Wextra -Werror -I"$build/include" -I. -x c++ box.c -x none _*.cpp -o main ||
        fail "$compiler rejects or warns about the generated C++"
    [ "$(./main | tr '\n' ' ')" = "8 23 0.25 box 42 28 3 5 0 " ] || fail "$compiler: printed $(./main)"
done
grep -q 'unsigned int mask=BOX_MASK;' _main.cpp || fail "BOX_MASK is not a UInt"
grep -q 'float ratio=BOX_RATIO;' _main.cpp || fail "BOX_RATIO is not a Float"
grep -q 'struct box_stat counts;' _main.cpp || fail "the struct hidden by a function is not called a struct"

# A pointer typedef is passed by value and reached with ".", so a function of the program is
# the callback the C function-pointer type wants; sizeof of imported types; a top-level union.
cat >shape.h <<'EOF'
typedef struct shape_point { int x, y; } shape_point;
typedef shape_point *shape_pointp;
union shape_value { int i; double d; };
typedef union shape_value shape_value;
typedef int (*shape_visit)(shape_pointp point, void *data);
inline int shape_walk(shape_pointp points, int n, shape_visit visit, void *data) {
    int total = 0;
    for (int i = 0; i < n; ++i) total += visit(points + i, data);
    return total;
}
inline double shape_half(shape_value v) { return v.d / 2; }
EOF
printf 'include = shape.h\nprefix = shape_\nalias point = Point\nalias pointp = PointP\nalias value = Value\n' >Shape.vni
cat >shapes.vn <<'EOF'
import Shape
Int visitOne(PointP point, Void* data)
    Int* scale = static_cast[Int*](data)
    return (point.x + point.y) * scale[0]

Int main()
    Point#3 points
    for i in [0...3)
        points[i].x = i
        points[i].y = 10 * i
    Int scale = 2
    Value v
    v.d = 5.0
    printf("%d %d %d %.1f\n", walk(&points[0], 3, &visitOne, &scale), Int:(sizeof(Point)), Int:(sizeof(Value)), half(v))
    return 0
EOF
"$build/vorn" shapes.vn >"$tmp/out" 2>&1 || fail "shapes: vorn failed: $(cat "$tmp/out")"
for compiler in g++ clang++; do
    "$compiler" -std=c++17 -Wall -Wextra -Werror -I"$build/include" -I. _shapes.cpp -o shapes ||
        fail "shapes: $compiler rejects or warns about the generated C++"
    [ "$(./shapes)" = "66 8 8 2.5" ] || fail "shapes: $compiler: printed $(./shapes)"
done

# An edit a moment after the run before, in the same second, is seen.
printf 'Int main()\n    return 1\n' >same.vn
"$build/vorn" same.vn >/dev/null 2>&1
sleep 0.05
printf 'Int main()\n    return 2\n' >same.vn
"$build/vorn" same.vn >/dev/null 2>&1
grep -q 'return 2;' _same.cpp || fail "an edit within the same second was not translated"

# Each mistake is vorn's own error at its line, and nothing is written for the module.
check_error() {
    local label=$1 expected=$2 body=$3
    printf 'import Box\nclass Point\n    Int x\nInt main()\n%s\n    return 0\n' "$body" >bad.vn
    rm -f _bad.cpp
    if "$build/vorn" bad.vn >"$tmp/out" 2>&1; then
        fail "$label: exit 0"
    elif ! grep -qF "$expected" "$tmp/out"; then
        fail "$label: said $(cat "$tmp/out")"
    fi
    [ -f _bad.cpp ] && fail "$label: _bad.cpp was written"
}
check_error "type as a value" "bad.vn(5,18) : error : Point is a type, not a value; write Point:() to make one" \
    '    printf("%d", Point)'
check_error "body after a function" "error : Only a call of a C macro that opens a statement takes an indented body" \
    $'    printf("x")\n        printf("y")'
check_error "untyped macro in var" "error : unable to infer type of p" \
    $'    Int i = 0\n    var p = BOX_EACH(i, 2)'

[ "$failures" -eq 0 ]
