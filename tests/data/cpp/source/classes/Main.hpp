#ifndef HEADERMain
#define HEADERMain
#include "_Main.hpp2"

#line 1 "Main.vn"

// Imports/includes

#line 1
#include "_Shapes.hpp"


// Enums, types


// Classes, function declarations

#line 4
struct Tile:public Square {
	public:Square inner;
	public:Kind kind;
	public:int total() const ;
#line 4
	public:Tile();public:Tile(Square const & );public:Tile(Square const & ,Kind const & );};








int main();


#endif
