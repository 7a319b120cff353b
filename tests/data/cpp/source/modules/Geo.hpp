#ifndef HEADERGeo
#define HEADERGeo
#include "_Geo.hpp2"

#line 1 "Geo.vn"

// Imports/includes


// Enums, types


// Classes, function declarations

#line 1
struct Point{
	public:int x;
	public:int y;
#line 1
	public:Point();public:Point(int const );public:Point(int const ,int const );};



int dot(Point const & ,Point const & );


#endif
