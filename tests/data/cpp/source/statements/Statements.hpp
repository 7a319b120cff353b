#ifndef HEADERStatements
#define HEADERStatements
#include "_Statements.hpp2"

#line 1 "Statements.vn"

// Imports/includes


// Enums, types

#line 5



// Classes, function declarations

#line 2
extern int calls;


inline int fromHeader() { return 11; }


int classify(int const );









int branches(int const );








int loops(int const );
#line 42
int guarded(int const );









void release();






int localTypes();







int main();


#endif
