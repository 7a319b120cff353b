/* Object-like and function-like macros, calls across lines, names that are not calls. */
#define EMPTY
#define PI 3.14159
#define TWICE(x) ((x) + (x))
#define MAX(a, b) ((a) > (b) ? (a) : (b))
#define NOARGS() no_args_here
#define NEST(x) TWICE(x) MAX(x, PI)
EMPTY PI TWICE(PI) MAX(1, 2)
NOARGS() NOARGS
TWICE
(7)
MAX(f(1, 2),
    g((3, 4)))
NEST(NEST(2))
TWICE (spaced)
int TWICE;
#define f(x) x f
f(1)(2)
#define g(x) [x]
#define h g
h(5) h
#define PAREN (
#define CALL TWICE PAREN 9)
CALL
