// Parent finder: links a parsed or rewritten tree upwards. Takes a module, a block or a
// single node; gives every node below it its parent, member context and statement slot, and
// enters declarations into the name table of the block that holds them. Never owns, moves or
// replaces a node, and never removes a table entry (the first declaration of a name stays).
#pragma once

#include "tree/Ast.hpp"

class ParentFinder {
public:
    // The whole module: its top-level block opens the member context.
    void linkModule(Module& module);

    // A block held by owner and everything below it. With opensContext the block's statements
    // take the block itself as member context (module, class, union and namespace bodies).
    void linkBlock(ASTObject* owner, Block* block, bool opensContext);

    // Any node other than a block, and everything below it.
    void linkChild(ASTObject* parent, ASTObject* child, const StatementSlot& slot);

    // A statement that a rewrite put into a block's list at entry (and everything below it).
    void linkInserted(Block* block, StatementList::iterator entry);

    // The steps of the walk down: each node is handed the placement its parent stands at, so
    // that nodes without one of their own never look it up through their parents.
    void linkBlockAt(ASTObject* owner, Block* block, bool opensContext, const Placement& ownerAt);
    void linkChildAt(ASTObject* parent, ASTObject* child, const Placement& parentAt);

private:
    void linkStatement(Block* block, StatementList::iterator entry, bool opensContext);
    void linkBelow(ASTObject* node, const Placement& at);
};

// Gives a property the accessor names it lacks: "get"/"set" and its name, first letter raised.
void nameAccessors(PropertyDeclaration& property);
