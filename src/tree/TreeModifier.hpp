// Tree modifier: the one door through which a declaration is analysed, once, on demand.
// Takes a declaration; hands it to the handler registered for its node class (type
// inference, lowering and the like plug in here) and gives back its position for messages.
// Never replaces a declaration node and never lets a handler's failure escape: it is reported.
#pragma once

#include <boost/function.hpp>
#include <type_traits>
#include <typeinfo>

#include "tree/Ast.hpp"

// A handler analyses one declaration of class T in place. It may return a replacement node,
// which for a declaration is always a fault ("Declarations can not be changed").
template <class T>
using DeclarationHandler = boost::function<ASTObjectPtr(T&)>;

// The handler slot of one declaration class. Who writes: each pass's registration function
// (called by the build manager's set-up, and by tests); who reads: processDeclaration.
template <class T>
DeclarationHandler<T>& declarationHandler() {
    static DeclarationHandler<T> slot;
    return slot;
}

// Whether the tree modifier hands declarations of exactly this class to a handler.
bool isProcessedDeclarationClass(const std::type_info& type);

// Installs the handler for declarations of class T; an empty handler removes it. Classes
// without a handler need no work. Only the classes the tree modifier dispatches can take one.
template <class T>
void setDeclarationHandler(const DeclarationHandler<T>& handler) {
    static_assert(std::is_base_of<Declaration, T>::value, "only declarations are processed");
    if (!isProcessedDeclarationClass(typeid(T)))
        throw VORN_INTERNAL_ERROR("src/TreeModifier", std::string("no declaration handler slot for ") + typeid(T).name());
    declarationHandler<T>() = handler;
}

// Processes a declaration unless it has been already; a null one is ignored. Whatever its
// handler throws is queued as a diagnostic at the declaration's position.
SourceLocation processDeclarationOnce(Declaration& declaration);
// Every lookup asks this of what it finds, and nearly always the answer is "done already": that
// test is inline.
inline SourceLocation processDeclaration(Declaration* declaration) {
    if (!declaration) return SourceLocation();
    if (declaration->processed) return declaration->location;
    return processDeclarationOnce(*declaration);
}
