// Tree dump: writes any syntax tree as indented text, one field per line, for golden tests
// and debugging. Takes a node; gives text that depends on nothing but the tree's content.
// Never changes the tree and never follows back links or resolved declarations.
#pragma once

#include <iosfwd>
#include <string>

#include "tree/Ast.hpp"

// Layout: a node is its class name, then " @line:column" when its position is known, then its
// fields indented by two spaces, in each class's field order. A child is written after its
// field name ("body: Block @3:2"), list entries as "field[i]: ...". Empty texts, false flags,
// zero numbers, absent children and empty lists are left out; enumerations are always written.
// Texts are quoted with C-style escapes, so non-printing bytes cannot disturb the layout.
void dumpTree(const ASTObject* node, std::ostream& out, bool withLocations = true);
std::string dumpTree(const ASTObject* node, bool withLocations = true);
std::string dumpTree(const ASTObjectPtr& node, bool withLocations = true);
