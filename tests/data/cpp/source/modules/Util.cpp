#include "_Util.hpp"

#line 1 "Util.vn"


// Implementation of functions

#line 1
int clampTo(int const v,int const hi){
	if ((v)>(hi)){
		return hi;}
	return v;
}
