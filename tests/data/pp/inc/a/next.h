#include_next <next.h>
#define NEXT_VALUE NEXT_FROM_B + from_a
int next_a;
