#include "_util.hpp"

#line 1 "util.vn"


// Implementation of functions

#line 1
int clampTo(int v,int hi){
	return ((v)>(hi))?(hi):(v);
}
