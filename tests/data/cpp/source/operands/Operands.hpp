#ifndef HEADEROperands
#define HEADEROperands
#include "_Operands.hpp2"

#line 1 "Operands.vn"

// Imports/includes


// Enums, types


// Classes, function declarations

#line 4
struct Cell{
	public:Int x;
	public:std::vector<Int > items;};

Cell mk(Int );





template<typename T> T maxOf(T a,T b){
	return ((a)>(b))?(a):(b);
}
Int main();


#endif
