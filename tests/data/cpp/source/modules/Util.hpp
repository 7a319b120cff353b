#ifndef HEADERUtil
#define HEADERUtil
#include "_Util.hpp2"

#line 1 "Util.vn"

// Imports/includes


// Enums, types


// Classes, function declarations

#line 1
int clampTo(int const ,int const );


#endif
