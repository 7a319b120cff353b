#include "_Geo.hpp"

#line 1 "Geo.vn"


// Implementation of functions

#line 1
Point::Point():x(),y(){
}
#line 1
Point::Point(int const VORN_argx):x(VORN_argx),y(){
}
#line 1
Point::Point(int const VORN_argx,int const VORN_argy):x(VORN_argx),y(VORN_argy){
}


int dot(Point const & a,Point const & b){
	return (((a).x)*((b).x))+(((a).y)*((b).y));
}
