#ifndef HEADERMain
#define HEADERMain
#include "_Main.hpp2"

#line 1 "Main.vn"

// Imports/includes

#line 1
#include "_Util.hpp"
#include "Util/_Deep.hpp"


// Enums, types


// Classes, function declarations

#line 4
struct Mid:public Base {
	public:int extra;
#line 4
	public:Mid();public:Mid(int const );};


struct Top:public Mid {
	public:int sum();};


int main();


#endif
