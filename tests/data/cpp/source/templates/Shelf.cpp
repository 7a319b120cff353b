#include "_Shelf.hpp"

#line 1 "Shelf.vn"


// Implementation of functions









int Store::opened=1;
