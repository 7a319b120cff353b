#ifndef HEADEROperators
#define HEADEROperators
#include "_Operators.hpp2"

#line 1 "Operators.vn"

// Imports/includes
#include <vector>


// Enums, types


// Classes, function declarations

#line 3
struct Cell{
	public:int value;
#line 3
	public:Cell();public:Cell(int const );};


int main();


#endif
