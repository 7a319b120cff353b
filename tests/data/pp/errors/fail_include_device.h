#include "/dev/zero"
