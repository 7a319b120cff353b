#ifndef HEADERMain
#define HEADERMain
#include "_Main.hpp2"

#line 1 "Main.vn"

// Imports/includes

#line 1
#include "_Geo.hpp"
#include "_Util.hpp"


// Enums, types


// Classes, function declarations

#line 4
int norm(Point const & );


int main();


#endif
