/* What GCC warns about and reads on: vorn warns at the same places. */
#ifdef NOT_DEFINED
#else NOT_DEFINED
#endif NOT_DEFINED
#if 0
#if 1
#else skipped, no warning
#endif skipped
#endif
#define SAME (1 + 2)
#define SAME (1 + 2)
#define SAME (1  +  2)
#define SAME (1+2)
#define SAME(x) (1 + 2)
#define TWICE(a, b) a + b
#define TWICE(a, c) a + c
#define NOT_VARIADIC(x) x __VA_ARGS__
#define NAMED(args...) args
int __VA_ARGS__;
#if 0
int __VA_ARGS__;
#endif
after_warnings SAME
