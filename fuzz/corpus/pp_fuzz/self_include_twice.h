#include __FILE__
#include __FILE__
x
