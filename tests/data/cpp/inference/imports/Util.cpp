#include "_Util.hpp"

#line 1 "Util.vn"


// Implementation of functions

#line 3
int helper(int const x){
	return (deepest(x))*(2);
}


int Base::get(){
	return size;
}
#line 6
Base::Base():
size(3){
}
#line 6
Base::Base(int const VORN_argsize):size(VORN_argsize){
}
