// Macro expander: the interpreter that runs macro bodies at translation time. Takes a macro
// call with its raw-token arguments and the macro it names; gives the value the body returns,
// and for a macro statement the statement that takes its place. Never crashes or hangs on a
// macro body: runaway loops and deep nesting end in an error like any other macro error.
#pragma once

#include "tree/Ast.hpp"
#include "tree/Value.hpp"

// More statements and loop rounds than this in one expansion end it with an error; more than
// maxModuleMacroSteps in all the expansions of one tree end each further one.
const int maxMacroSteps = 100000;
const int maxModuleMacroSteps = 1000000;
// Deeper nesting of blocks and expressions inside a macro body, or of expansions that deliver
// further macro statements, than this ends the expansion with an error.
const int maxMacroDepth = 400;

// The macro a call names, looked up from the call's place (and remembered in the call); null
// when the name denotes no macro, as for the verbatim-code macros "_HPP" and "_CPP".
MacroDeclaration* resolveMacro(MacroCall& call);

// Runs the macro's body with the call's arguments bound, unevaluated, to its argument names.
// The value of the first "return" that runs, or none. Errors are thrown without a position:
// the caller knows where the call stands.
ObjectPtr callMacro(MacroCall& call, MacroDeclaration& macro);

// What a macro statement came to.
struct MacroExpansion {
    enum Outcome {
        NotAMacro,  // its name denotes no macro: the statement stays for the back end
        Replaced,   // `replacement` takes the statement's slot
        Removed,    // the macro delivered nothing: the statement goes
    };
    Outcome outcome = NotAMacro;
    StatementPtr replacement;
};

// Expands one macro statement: resolves its macro, calls it and converts the value to a
// statement. A token list that is not one statement is reported here ("expected that macro
// returns a statement") and the statement removed; every other error is thrown for the caller
// to report at the statement. Neither changes nor links the tree: the caller puts the
// replacement in place.
MacroExpansion expandMacroStatement(MacroStatement& statement);

// Starts the count of macro steps of one module (maxModuleMacroSteps) from zero.
void startModuleMacros();

// Expands every macro statement in the block and the blocks below it (macro bodies excepted)
// in place, links what replaces them, and expands macro statements that an expansion delivers.
// Errors are queued at the macro statement; a call of a declared macro inside an expression
// outside a macro body is an error at its position. Internal errors are thrown.
void expandMacroStatements(Block& block);
