// Lowering: statement, body and expression processing, and the insertion of the statements
// and declarations that rewrites need before the statement being processed.
#include "Lowering.hpp"

#include "Diagnostics.hpp"
#include "ParentFinder.hpp"
#include "TreeModifier.hpp"

namespace {

// A module, class, union or namespace body, where only declarations stand. A block without
// an owner is a module's top level that has not been linked.
bool isMemberBody(const Block* block) {
    if (!block) return false;
    const ASTObject* owner = block->parent;
    return !owner || dynamic_cast<const Module*>(owner) || dynamic_cast<const ClassDeclaration*>(owner) ||
           dynamic_cast<const UnionDeclaration*>(owner) || dynamic_cast<const NamespaceDeclaration*>(owner);
}

void processIn(StatementPtr& slot, bool /*last*/, bool memberBody) {
    Statement* statement = slot.get();
    if (!statement) return;
    if (Declaration* declaration = dynamic_cast<Declaration*>(statement))
        processDeclaration(declaration);
    else if (!dynamic_cast<MacroStatement*>(statement) && memberBody)
        reportError("Only declarations allowed in this scope", statement->location);
    fillMissingPositions(statement->location);
}

StatementList::iterator insertBefore(ASTObject& node, const StatementPtr& statement) {
    const StatementSlot& slot = node.statementSlot;
    if (!slot.isSet() || !slot.block->parent) throw std::string("Can't add statement");
    StatementList::iterator entry = slot.block->statements.insert(slot.entry, statement);
    ParentFinder().linkInserted(slot.block, entry);
    return entry;
}

}  // namespace

void processExpression(ExpressionPtr&) {}

void processBody(Block& block, bool returnsValue) {
    const bool memberBody = isMemberBody(&block);
    for (StatementList::iterator it = block.statements.begin(); it != block.statements.end(); ++it)
        processIn(*it, returnsValue && std::next(it) == block.statements.end(), memberBody);
}

void processStatement(StatementPtr& slot, bool last) {
    processIn(slot, last, slot && isMemberBody(slot->statementSlot.block));
}

void insertStatementBefore(ASTObject& node, const StatementPtr& statement) { insertBefore(node, statement); }

void insertDeclarationBefore(ASTObject& node, const DeclarationPtr& declaration) {
    // Linking an inserted statement enters a declaration into its block's name table.
    insertBefore(node, declaration);
}

void registerLowering() {}
