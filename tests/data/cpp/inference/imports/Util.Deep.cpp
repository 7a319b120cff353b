#include "Util/_Deep.hpp"

#line 1 "Util/Deep.vn"


// Implementation of functions

#line 1
int deepest(int const x){
	return (x)+(100);
}
