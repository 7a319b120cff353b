#include "_Geo.hpp"

#line 1 "Geo.vn"


// Implementation of functions

Int dot(Point a,Point b){
	return (((a).x)*((b).x))+(((a).y)*((b).y));
}
