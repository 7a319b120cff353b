#ifndef HEADERMain
#define HEADERMain
#include "_Main.hpp2"

#line 1 "Main.vn"

// Imports/includes
#include <map>
#include <vector>


// Enums, types


// Classes, function declarations

#line 2
void show(std::map<int ,std::string > const & ,std::vector<int > const & );
#line 13
int main();


#endif
