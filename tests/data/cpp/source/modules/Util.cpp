#include "_Util.hpp"

#line 1 "Util.vn"


// Implementation of functions

#line 1
Int clampTo(Int v,Int hi){
	if ((v)>(hi)){
		return hi;}
	return v;
}
