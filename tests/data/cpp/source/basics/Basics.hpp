#ifndef HEADERBasics
#define HEADERBasics
#include "_Basics.hpp2"

#line 1 "Basics.vn"

// Imports/includes


// Enums, types

#line 2
enum Color{red,green=5};
typedef int Number;
#line 23



// Classes, function declarations

#line 5
extern int counter;

struct Counter{
	public:int count;
	public:int next();


	public:static int made;
#line 7
	public:Counter();public:Counter(int const );};






int twice(int const );





inline int square(Number const x){
	return (x)*(x);
}
inline int seven() { return 7; }



int main();


#endif
