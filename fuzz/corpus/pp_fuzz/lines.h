/* __LINE__ and __FILE__, also inside macros and in calls across lines. */
__LINE__ __FILE__
#define HERE __LINE__
HERE
#define AT(x) x __LINE__
AT(
  first
)
line_is __LINE__
