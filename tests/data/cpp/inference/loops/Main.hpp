#ifndef HEADERMain
#define HEADERMain
#include "_Main.hpp2"

#line 1 "@SOURCE@/tests/data/cpp/inference/loops/Main.vn"

// Imports/includes
#include <map>
#include <vector>


// Enums, types


// Classes, function declarations

#line 2
Void show(std::map<int ,std::string > const & ,std::vector<int > const & );
#line 13
Int main();


#endif
