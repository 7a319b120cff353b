#ifndef HEADERapp
#define HEADERapp
#include "_app.hpp2"

#line 1 "app.vn"

// Imports/includes

#line 1
#include "geo/_point.hpp"
#include "_util.hpp2"


// Enums, types


// Classes, function declarations

#line 4
int norm(Point );


int main();


#endif
