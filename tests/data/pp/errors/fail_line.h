#line
#line abc
#line 0x10
#line 2147483648
#line 12 not_a_name
#line 40 "named.h" extra
#if 1
#line 20 "moved.h"
#include "no-such-header.h"
#endif
