#ifndef HEADERgeo_point
#define HEADERgeo_point
#include "geo/_point.hpp2"

#line 1 "geo.point.vn"

// Imports/includes


// Enums, types


// Classes, function declarations

#line 1
struct Point{
	public:int x;
	public:int y;};

int dot(Point ,Point );


#endif
