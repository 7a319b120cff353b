#ifndef HEADERUtil_Deep
#define HEADERUtil_Deep
#include "Util/_Deep.hpp2"

#line 1 "Util/Deep.vn"

// Imports/includes


// Enums, types


// Classes, function declarations

#line 1
int deepest(int const );


#endif
