// Lowering: every body, statement and expression of a module processed once, and what C++
// lacks rewritten into nodes the back end spells directly (property reads and writes, "#"
// indexing, named operators, with-blocks, anonymous functions, pointer casts). Takes linked
// trees; gives rewritten, typed trees. Never leaves a statement unprocessed: what it cannot
// process is a positioned error.
#pragma once

#include <functional>
#include <string>

#include "tree/Ast.hpp"

// A type as the program writes it ("Int*", "[String]", "Point$"), by the names lookup knows
// its declarations under; "?" for a type that has no such spelling. nameOf, when given, names
// the simple types instead.
typedef std::function<std::string(const SimpleTypeExpr&)> SimpleTypeNamer;
std::string writtenType(const TypeExpression* type, const SimpleTypeNamer& nameOf = SimpleTypeNamer());

// Processes the expression held in slot, once per node, and may put a replacement there.
void processExpression(ExpressionPtr& slot);

// Processes each statement of block in order. With returnsValue set, the last statement
// gives the value of the function the block belongs to.
void processBody(Block& block, bool returnsValue);

// Processes one statement in its slot, once; last marks the statement whose value the
// enclosing function returns. Whatever the processing throws is reported at the statement.
void processStatement(StatementPtr& slot, bool last);

// Puts statement into the block that holds node's statement, just before that statement,
// and links it. Throws "Can't add statement" when node stands in no statement slot.
void insertStatementBefore(ASTObject& node, const StatementPtr& statement);
// The same for a declaration, which also becomes visible by name in that block.
void insertDeclarationBefore(ASTObject& node, const DeclarationPtr& declaration);

// Reports, as an internal error at its position, every statement below top (macro bodies
// aside) that statement processing never reached: the back end must not write it unlowered.
void reportUnprocessedStatements(Block& top);

// Installs the expression processor used by type inference, and the tree modifier's handlers
// of functions (names, return type, arguments, virtual-argument dispatch, body) and unions.
void registerLowering();
