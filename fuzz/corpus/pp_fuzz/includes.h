/* Includes with guards, #pragma once, quoted and angled names, and macros from included files. */
#include "inc/guarded.h"
#include "inc/guarded.h"
#include "inc/once.h"
#include "inc/once.h"
#include <guarded.h>
#define HEADER "inc/counted.h"
#include HEADER
#include HEADER
GUARDED_VALUE ONCE_VALUE COUNT_VALUE
#if __has_include("inc/guarded.h") && !__has_include(<no-such-header.h>)
has_include_works
#endif
#include <next.h>
NEXT_VALUE
