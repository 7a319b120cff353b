// Class lowering: classes and properties turned into what C++ has. Takes a linked class or
// property declaration from the tree modifier; gives the class its generated constructors and
// every constructor its field initialisers, and a property its getter and setter functions.
// Never writes C++ itself and never replaces a declaration: it adds members beside it.
#pragma once

#include "tree/Ast.hpp"

// The tree modifier's handlers for classes and properties.
ASTObjectPtr processClass(ClassDeclaration& cls);
ASTObjectPtr processProperty(PropertyDeclaration& property);

// Installs the handlers above, and has field initialisers move into their class's member
// initialisers, which the constructors now receive.
void registerClassLowering();
