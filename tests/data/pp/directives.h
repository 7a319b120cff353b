/* Every directive, in active and inactive regions. */
#define ONE 1
#undef ONE
#ifdef ONE
not_taken_ifdef
#else
taken_else
#endif
#ifndef ONE
taken_ifndef
#endif
#if 0
#error not reached
#warning not reached either
#include "no-such-file.h"
#bogus directive in a skipped region
#else
taken_if0_else
#endif
#if 1
first
#elif 1
not_second
#else
not_third
#endif
#if 0
#elif 0
#elif 2
third_elif
#endif
#pragma weak something
#ident "version 1"
# /* the null directive */
#
#line 100
after_line
#  define   SPACED   x   y
SPACED
_Pragma("weak something") after_pragma_operator
#define PRAGMA(text) _Pragma(#text) after_pragma_in_macro
PRAGMA(pack(push, 1)) PRAGMA(pack(pop))
_Pragma ( "once" ) after_pragma_once
