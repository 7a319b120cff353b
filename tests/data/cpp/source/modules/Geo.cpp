#include "_Geo.hpp"

#line 1 "Geo.vn"


// Implementation of functions

int dot(Point const & a,Point const & b){
	return (((a).x)*((b).x))+(((a).y)*((b).y));
}
