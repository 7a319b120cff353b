#ifndef HEADERMain
#define HEADERMain
#include "_Main.hpp2"

#line 1 "Main.vn"

// Imports/includes

#line 1
#include "_Geo.hpp2"
#include "_Util.hpp2"


// Enums, types


// Classes, function declarations

#line 4
Int norm(Point );


Int main();


#endif
