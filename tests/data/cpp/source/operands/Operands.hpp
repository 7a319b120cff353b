#ifndef HEADEROperands
#define HEADEROperands
#include "_Operands.hpp2"

#line 1 "Operands.vn"

// Imports/includes
#include <vector>


// Enums, types


// Classes, function declarations

#line 4
struct Cell{
	public:int x;
	public:std::vector<int > items;
#line 4
	public:Cell();public:Cell(int const );public:Cell(int const ,std::vector<int > const & );};



Cell mk(int const );





template<typename T> T maxOf(T const & a,T const & b){
	return ((a)>(b))?(a):(b);
}
int main();


#endif
