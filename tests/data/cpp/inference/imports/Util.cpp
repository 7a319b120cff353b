#include "_Util.hpp"

#line 1 "Util.vn"


// Implementation of functions

#line 3
int helper(int const x){
	return (deepest(x))*(2);
}


Int Base::get(){
	return size;
}
