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


Int classify(Int );









Int branches(Int );








Int loops(Int );
#line 42
Int guarded(Int );









Void release();






Int localTypes();







Int main();


#endif
