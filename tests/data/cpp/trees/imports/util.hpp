#ifndef HEADERutil
#define HEADERutil
#include "_util.hpp2"

#line 1 "util.vn"

// Imports/includes


// Enums, types


// Classes, function declarations

#line 1
int clampTo(int ,int );


#endif
