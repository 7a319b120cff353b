/* __LINE__ and __FILE__, also inside macros and in calls across lines. */
__LINE__ __FILE__
#define HERE __LINE__
HERE
#define AT(x) x __LINE__
AT(
  first
)
line_is __LINE__
#line 1234
__LINE__ __FILE__
#define LINE_NUMBER 77
#line LINE_NUMBER "renamed.h"
__LINE__ __FILE__ HERE
#line 2147483647
__LINE__
