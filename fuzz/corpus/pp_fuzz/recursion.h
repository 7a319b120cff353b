/* A macro is not expanded again inside its own expansion, also through other macros. */
#define X X + 1
X
#define A B
#define B A
A B
#define P Q R
#define Q P
#define R P
P Q R
#define F(x) G(x) + F
#define G(x) F(x)
F(1) G(2)
#define LOOP(x) LOOP(x + 1)
LOOP(0)
#define SELF(x) x
SELF(SELF(SELF(3)))
#define foo foo a bar b baz c
#define bar foo 1
#define baz bar 2
foo
