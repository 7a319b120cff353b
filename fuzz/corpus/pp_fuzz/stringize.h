/* Stringizing and pasting, with "##" written both ways. */
#define STR(x) #x
#define XSTR(x) STR(x)
#define CAT(a, b) a ## b
#define CAT2(a, b) a##b
#define VALUE 42
STR(VALUE) XSTR(VALUE) STR( a  +   b ) STR("quoted \"text\"" 'c' '\'')
STR() STR(  spaced  ) STR(f(1,2))
CAT(foo, bar) CAT2(x, 1) CAT(VAL, UE) CAT(, right) CAT(left, ) CAT(,)
CAT(1, 2) CAT(+, =) CAT(-, >) CAT(<<, =)
#define MEMBER(type, name) type m_##name; type get_##name();
MEMBER(int, count)
#define HASH_IN_OBJECT # VALUE
HASH_IN_OBJECT
