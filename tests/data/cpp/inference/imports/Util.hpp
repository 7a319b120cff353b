#ifndef HEADERUtil
#define HEADERUtil
#include "_Util.hpp2"

#line 1 "Util.vn"

// Imports/includes

#line 1
#include "Util/_Deep.hpp"


// Enums, types


// Classes, function declarations

#line 3
int helper(int const );


struct Base{
	public:int size;
	public:int get();
#line 6
	public:Base();public:Base(int const );};


#endif
