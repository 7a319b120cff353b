// Type inference: the types of expressions, the resolution of written types to declarations,
// the passing convention of arguments, and the types of variables and loop variables that
// are declared without one. Takes linked trees (names through name lookup); gives types and
// the module's standard includes. Never reports a missing name as an error: C++ may know it.
// Inference and name lookup call each other by design; no other stage may include either back.
#pragma once

#include <boost/function.hpp>

#include "tree/Ast.hpp"
#include "tree/TreeModifier.hpp"

// The type of an expression, or null when it is unknown. Built types may share nodes with
// the declarations they come from.
TypeExpressionPtr typeOf(Expression* expression);

// Whether `object.member` is written with "->": the object's type is a pointer, a shared
// pointer or a container's iterator, and the member is not one of a shared pointer's own
// functions (get, reset, use_count, ...) that the object pointed to lacks.
bool memberThroughPointer(const TypeExpressionPtr& objectType, const std::string& member, Block* place);
// Whether `object.member` calls a shared pointer's own function rather than the pointee's.
bool isSharedPointerOwnMember(const TypeExpressionPtr& objectType, const std::string& member, Block* place);

// Resolves the type held in slot, once per node, and gives its passing category: bit 0 asks
// for const, bit 1 for a reference. context is where names are looked up when the type was
// never linked (types built by inference or read from library files).
int resolveType(TypeExpressionPtr& slot, Block* context = nullptr);
// The same for a node that stays where it is (resolution never replaces one in this version).
void resolveTypeNode(TypeExpression& type, Block* context = nullptr);
// The category alone, from what the type is now.
int passingCategory(const TypeExpression* type);

// The tree modifier's handlers for the declarations whose types this stage works out.
ASTObjectPtr processVariable(VariableDeclaration& variable);
ASTObjectPtr processForPart(ForPart& part);
ASTObjectPtr processArgument(ArgumentDeclaration& argument);
ASTObjectPtr processTypeAlias(TypeAliasDeclaration& alias);

// Installs the handlers above with the tree modifier.
void registerTypeInference();

// The two hooks from inference to the passes after it, set with the passes by registerPasses
// (driver/BuildManager.cpp), which says their order. They stay process-wide on purpose: inference
// runs on demand, from any lookup anywhere in the tree, with no build at hand to ask.
//
// Whether a field's initialiser moves into its class's member initialisers. Off until the
// constructors that write those initialisers exist: a moved value would be lost.
extern bool moveMemberInitializers;
// Lowering's processor of one expression slot, run on every expression the handlers above
// hold (initialisers, iterated expressions, default values); while it is empty, expressions
// stay as written.
extern boost::function<void(ExpressionPtr&)> expressionProcessor;
