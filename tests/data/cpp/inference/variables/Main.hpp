#ifndef HEADERMain
#define HEADERMain
#include "_Main.hpp2"

#line 1 "Main.vn"

// Imports/includes


// Enums, types


// Classes, function declarations

#line 2
int twice(int const );


double half(double const );


int main();


#endif
