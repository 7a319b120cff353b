// Parent finder: sets the back links of every node and fills the blocks' name tables.
// Takes a tree; gives links and table entries. Never replaces nodes: a node class it does not
// know ends the walk with an internal error rather than being passed over silently.
#include "ParentFinder.hpp"

#include <cctype>
#include <unordered_map>

namespace {

const char* const sourceFile = "src/ParentFinder";

// What linking does for one node class besides visiting its children.
struct KindRow {
    const char* className;
    bool opensContext;  // its blocks hold members (module, class, union, namespace bodies)
    bool entersTable;   // the node is declared in its holding block
    bool leaf;          // nothing below it is linked
};

constexpr KindRow kindRows[] = {
    // types
    {"SimpleTypeExpr", false, false, false},
    {"SubTypeExpr", false, false, false},
    {"TypeOperator", false, false, false},
    {"TupleType", false, false, false},
    {"FuncType", false, false, false},
    {"FunctionPointerType", false, false, false},
    // expressions
    {"ConstantExpression", false, false, true},
    {"OperExpression", false, false, false},
    {"PrefixOperExpression", false, false, false},
    {"PostfixOperExpression", false, false, false},
    {"TernaryOperExpression", false, false, false},
    {"SubExpression", false, false, false},
    {"StaticExpression", false, false, false},
    {"TupleExpression", false, false, false},
    {"FuncExpression", false, false, false},
    {"CtorExpression", false, false, false},
    {"RangeExpression", false, false, false},
    {"MacroExpression", false, false, false},
    {"TokensExpression", false, false, true},
    {"VariableDeclarationExpression", false, false, false},
    {"CastExpression", false, false, false},
    {"CppBlockInitializer", false, false, false},
    {"AnonFuncExpression", false, false, false},
    {"VectorExpression", false, false, false},
    // statements
    {"ForStatement", false, false, false},
    {"IfStatement", false, false, false},
    {"TryStatement", false, false, false},
    {"WhileStatement", false, false, false},
    {"DeleteStatement", false, false, false},
    {"ReturnStatement", false, false, false},
    {"ThrowStatement", false, false, false},
    {"ExpressionStatement", false, false, false},
    {"BreakStatement", false, false, true},
    {"ContinueStatement", false, false, true},
    {"MacroStatement", false, false, false},
    {"InitStatement", false, false, false},
    {"BlockStatement", false, false, false},
    {"CppForStatement", false, false, false},
    {"CppSwitchStatement", false, false, false},
    {"CppCaseStatement", false, false, false},
    {"UsingDeclaration", false, false, true},
    {"UsingNamespaceDeclaration", false, false, true},
    // declarations
    {"NamespaceDeclaration", true, false, false},
    {"FriendDeclaration", false, false, false},
    {"MacroDeclaration", false, true, false},
    {"ArgumentDeclaration", false, false, false},
    {"FunctionDeclaration", false, true, false},
    {"PropertyDeclaration", false, true, false},
    {"VariableDeclaration", false, true, false},
    {"ForPart", false, false, false},
    {"CatchStatement", false, false, false},
    {"ClassDeclaration", true, true, false},
    {"TypeAliasDeclaration", false, true, false},
    {"EnumDeclaration", false, true, false},
    {"UnionDeclaration", true, false, false},
    {"CppIncludeDeclaration", false, false, true},
    {"CppConstantMacroDeclaration", false, false, true},
    // other nodes
    {"BaseDeclaration", false, false, false},
    {"ImportDeclaration", false, false, true},
    {"EnumItem", false, false, false},
    {"TemplateCall", false, false, false},
    {"TemplateDeclaration", false, false, false},
    {"TemplateArgumentDeclaration", false, false, false},
    {"MacroCall", false, false, false},
};

const KindRow* findKind(const char* className) {
    static const std::unordered_map<std::string, const KindRow*> byName = [] {
        std::unordered_map<std::string, const KindRow*> rows;
        for (const KindRow& row : kindRows) rows.emplace(row.className, &row);
        return rows;
    }();
    auto found = byName.find(className);
    return found == byName.end() ? nullptr : found->second;
}

// A shared handle on a declaration for a name table. A statement of the block is its own
// handle; a declaration nested in one (a caught variable, a C++ declaration expression)
// shares the ownership of the statement that holds it.
DeclarationPtr tableHandle(Declaration* declaration, const StatementSlot& slot) {
    const StatementPtr& holder = *slot.entry;
    if (holder.get() == declaration) return boost::static_pointer_cast<Declaration>(holder);
    return DeclarationPtr(holder, declaration);
}

void enter(Block& block, const DeclarationPtr& declaration) {
    block.names.emplace(declaration->name, declaration);  // an existing entry stays
}

std::string raisedFirst(const std::string& name) {
    std::string result = name;
    if (!result.empty()) result[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(result[0])));
    return result;
}

// Hands each child node of a node to the parent finder, blocks and other nodes apart.
class ChildWalker : public FieldVisitor {
public:
    ChildWalker(ParentFinder& finder, ASTObject* node, bool opensContext)
        : finder(finder), node(node), opensContext(opensContext) {}

    void text(const char*, const std::string&) override {}
    void texts(const char*, const std::vector<std::string>&) override {}
    void flag(const char*, bool) override {}
    void number(const char*, long long) override {}
    void choice(const char*, int, const char*) override {}
    void tokens(const char*, const TokenStream&) override {}
    void child(const char*, ASTObject* child) override {
        if (!child) return;
        if (Block* block = dynamic_cast<Block*>(child))
            finder.linkBlock(node, block, opensContext);
        else
            finder.linkChild(node, child, node->statementSlot);
    }
    void children(const char* field, const std::vector<ASTObject*>& nodes) override {
        for (ASTObject* each : nodes) child(field, each);
    }

private:
    ParentFinder& finder;
    ASTObject* node;
    bool opensContext;
};

}  // namespace

void nameAccessors(PropertyDeclaration& property) {
    if (property.getter && property.getterName.empty()) property.getterName = "get" + raisedFirst(property.name);
    if (property.setter && property.setterName.empty()) property.setterName = "set" + raisedFirst(property.name);
}

void ParentFinder::linkModule(Module& module) { linkBlock(&module, module.block.get(), true); }

void ParentFinder::linkBlock(ASTObject* owner, Block* block, bool opensContext) {
    if (!block) return;
    block->parent = owner;
    block->memberContext = owner ? owner->memberContext : nullptr;
    block->statementSlot = owner ? owner->statementSlot : StatementSlot();
    for (auto entry = block->statements.begin(); entry != block->statements.end(); ++entry)
        linkStatement(block, entry, opensContext);
}

void ParentFinder::linkStatement(Block* block, StatementList::iterator entry, bool opensContext) {
    Statement* statement = entry->get();
    if (!statement) return;
    statement->parent = block;
    statement->statementSlot.block = block;
    statement->statementSlot.entry = entry;
    statement->memberContext = opensContext ? block : block->memberContext;
    linkBelow(statement);
}

void ParentFinder::linkInserted(Block* block, StatementList::iterator entry) {
    Statement* statement = entry->get();
    if (statement && !findKind(statement->className()))
        throw VORN_INTERNAL_ERROR(sourceFile, std::string("Tree node type not support by parent finder (block): ") +
                                                  statement->className());
    // Statements of a member body take that body as their context; others inherit it.
    ASTObject* owner = block->parent;
    bool opensContext = dynamic_cast<Module*>(owner) || dynamic_cast<ClassDeclaration*>(owner) ||
                        dynamic_cast<UnionDeclaration*>(owner) || dynamic_cast<NamespaceDeclaration*>(owner);
    linkStatement(block, entry, opensContext);
}

void ParentFinder::linkChild(ASTObject* parent, ASTObject* child, const StatementSlot& slot) {
    if (!child) return;
    if (dynamic_cast<Block*>(child))
        throw VORN_INTERNAL_ERROR(sourceFile, "findParent should only be called on block POINTERS");
    child->parent = parent;
    child->memberContext = parent ? parent->memberContext : nullptr;
    if (!child->memberContext && parent && dynamic_cast<Block*>(parent)) child->memberContext = static_cast<Block*>(parent);
    child->statementSlot = slot;
    linkBelow(child);
}

void ParentFinder::linkBelow(ASTObject* node) {
    const KindRow* row = findKind(node->className());
    if (!row)
        throw VORN_INTERNAL_ERROR(sourceFile, std::string("Tree node type not support by parent finder: ") +
                                                  node->className());
    if (row->leaf) return;
    if (row->entersTable && node->statementSlot.isSet()) {
        if (Declaration* declaration = dynamic_cast<Declaration*>(node))
            enter(*node->statementSlot.block, tableHandle(declaration, node->statementSlot));
    }
    if (PropertyDeclaration* property = dynamic_cast<PropertyDeclaration*>(node)) nameAccessors(*property);
    if (CatchStatement* handler = dynamic_cast<CatchStatement*>(node)) {
        // The caught variable belongs to the handler's own block, before its statements. The
        // block is the handler's, so its table must not own the handler: that would be a cycle
        // that is never freed. The entry lives no longer than the handler it names.
        if (handler->body && node->statementSlot.isSet())
            enter(*handler->body, DeclarationPtr(DeclarationPtr(), handler));
    }
    ChildWalker walker(*this, node, row->opensContext);
    node->visitFields(walker);
}
