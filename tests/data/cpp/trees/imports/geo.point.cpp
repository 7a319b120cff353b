#include "geo/_point.hpp"

#line 1 "geo.point.vn"


// Implementation of functions

int dot(Point a,Point b){
	return (((a).x)*((b).x))+(((a).y)*((b).y));
}
