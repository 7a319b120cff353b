// Tree modifier: the one door through which a declaration is analysed, once, on demand.
// Takes a declaration; hands it to the handler registered for its node class (type
// inference, lowering and the like plug in here) and gives back its position for messages.
// Never replaces a declaration node and never lets a handler's failure escape: it is reported.
#pragma once

#include <boost/function.hpp>

#include "Ast.hpp"

// A handler analyses one declaration in place. It may return a replacement node, which for a
// declaration is always a fault ("Declarations can not be changed").
typedef boost::function<ASTObjectPtr(Declaration&)> DeclarationHandler;

// Installs the handler for declarations of one node class (its className); an empty handler
// removes it. Classes without a handler need no work.
void setDeclarationHandler(const std::string& className, const DeclarationHandler& handler);

// Processes a declaration unless it has been already; a null one is ignored. Whatever its
// handler throws is queued as a diagnostic at the declaration's position.
SourceLocation processDeclaration(Declaration* declaration);
