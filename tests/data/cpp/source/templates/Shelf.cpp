#include "_Shelf.hpp"

#line 1 "Shelf.vn"


// Implementation of functions









Int Store::opened=1;
