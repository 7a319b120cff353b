// The macros of an imported header as declarations. Takes the macros the preprocessor was left
// with and the header module's parsed tree; gives a constant declaration for each object-like
// macro that stands for a value, and a function-like one for each macro with parameters, typed
// as C++ would type the expansion where that can be told from the tokens. Never changes what
// the header declares itself: a name the tree already holds keeps its declaration.
#pragma once

#include "tree/Ast.hpp"
#include "front/PreProcessor.hpp"

// Enters the macros in the module's top-level table under the names the current include
// interface file gives them. `predefines` is the compiler's own "#define" text: those macros no
// header declares, so they are left out.
void enterHeaderMacros(const std::unordered_map<std::string, PreProcessor::MacroPtr>& macros,
                       const std::string& predefines, Module& module);
