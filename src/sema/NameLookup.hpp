// Name lookup: what a name denotes at a place of the tree. Takes names, blocks and modules;
// gives declarations (processed before they are handed out) or null. Never reports a missing
// name itself: callers decide what a failed lookup means. With --verbose-lookup it prints
// its trace on standard output. Lookup and type inference call each other (a declaration found
// is processed, which types it; typing a member reads names), so the two include each other.
#pragma once

#include <string>
#include <vector>

#include "tree/Ast.hpp"

// Makes an imported module reachable through its dotted path from the importing module's
// top-level block: a chain of ModuleDeclarations, one per component, the last one standing
// for the imported module. A trailing "*" component is dropped. A component already declared
// as something other than a module stops the chain there.
void bindImport(Block& topLevel, const std::vector<std::string>& path, const SourceLocation& position,
                const ModulePtr& imported);

// The declaration a name denotes at a place inside block: the enclosing blocks outwards
// (with the members of enclosing classes and their bases), then the module's imports.
Declaration* lookup(const std::string& name, Block* block);

// A member of a class (inherited ones included), of a module or namespace qualifier, or of
// the type an alias stands for.
Declaration* lookupMember(const std::string& name, Declaration* scope);

// Breadth first through the modules that module imports; beyond the first level only
// imports marked inHeader 2 are followed. A find in a library module imports it implicitly.
Declaration* lookupInImports(const std::string& name, Module* module);

// The declaration a type names: the class behind a vector or map, the resolved declaration
// of a simple or nested type (pointers, references, arrays, const and volatile looked
// through). context is where the type's names are looked up when it has no place of its own.
Declaration* declarationOf(TypeExpression* type, Block* context = nullptr);

// The type of a function (built once), variable, property, argument or loop variable.
TypeExpressionPtr typeOfDeclaration(Declaration* declaration);

// The block in which names written at node are looked up: the holding block of its
// statement, or fallback when the node was never linked.
Block* placeOf(const ASTObject* node, Block* fallback = nullptr);

// The module a block belongs to, or null for a block outside any module.
Module* moduleOf(Block* block);

// Whether C++ may know names at a place that vorn never read: the module, or one it imports
// directly or not, is read from a C or C++ header (whose macros vorn does not import) or
// holds verbatim C++ (`_CPP`, `_HPP`). A name vorn cannot find is then left to the C++ compiler.
bool mayUseUnseenNames(Module* module);

// The one name visible at place that is a single edit away from name (a letter inserted,
// deleted or replaced, or two neighbours swapped), among names (lower-case first letter) or
// among type names (upper-case); empty when there is none or more than one.
std::string nearestVisibleName(const std::string& name, Block* place, bool typeNames);
// The same among the members of a class and its bases.
std::string nearestMemberName(const std::string& name, Declaration* scope);

// Whether name is a template parameter of a function or class around node.
bool isTemplateParameter(const ASTObject& node, const std::string& name);
// A module that the place's module reaches through its imports but does not see the name in,
// which declares a type of that name (an import of an import); empty when there is none.
std::string moduleDeclaringType(const std::string& name, Block* place);
