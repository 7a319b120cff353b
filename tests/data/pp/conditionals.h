/* Nested conditionals: an untaken region keeps everything inside it untaken. */
#if 0
# if 1
inner_not_taken
# else
inner_else_not_taken
# endif
#elif 1
# if 0
# elif 1
nested_elif_taken
# endif
#else
outer_else_not_taken
#endif
#ifdef __FILE__
file_is_defined
#endif
#if defined(__LINE__) && defined __DATE__ && !defined NOT_THERE
builtins_defined
#endif
#define X
#if defined X || defined(Y)
defined_forms
#endif
