// Parent finder: sets the back links of every node and fills the blocks' name tables.
// Takes a tree; gives links and table entries. Never replaces nodes: a node class it does not
// know ends the walk with an internal error rather than being passed over silently.
#include "tree/ParentFinder.hpp"

#include <cctype>

#include <boost/make_shared.hpp>

#include "tree/NodeDispatch.hpp"

namespace {

const char* const sourceFile = "src/ParentFinder";

// What linking does for one node class besides visiting its children.
enum LinkKind {
    Children = 0,      // its children are linked, nothing more
    OpensContext = 1,  // its blocks hold members (module, class, union, namespace bodies)
    EntersTable = 2,   // the node is declared in its holding block
    Leaf = 4,          // nothing below it is linked
    Unknown = -1,      // no class this walk knows
};

template <int linkKind>
int kind(const ASTObject&) {
    return linkKind;
}

typedef NodeDispatch<int(const ASTObject&)> KindDispatch;

const KindDispatch& linkKinds() {
    typedef KindDispatch D;
    static const D table(sourceFile, "parent finder", {
        // types
        D::on<SimpleTypeExpr, &kind<Children>>(),
        D::on<SubTypeExpr, &kind<Children>>(),
        D::on<TypeOperator, &kind<Children>>(),
        D::on<TupleType, &kind<Children>>(),
        D::on<FuncType, &kind<Children>>(),
        D::on<FunctionPointerType, &kind<Children>>(),
        // expressions
        D::on<ConstantExpression, &kind<Leaf>>(),
        D::on<OperExpression, &kind<Children>>(),
        D::on<PrefixOperExpression, &kind<Children>>(),
        D::on<PostfixOperExpression, &kind<Children>>(),
        D::on<TernaryOperExpression, &kind<Children>>(),
        D::on<SubExpression, &kind<Children>>(),
        D::on<StaticExpression, &kind<Children>>(),
        D::on<TupleExpression, &kind<Children>>(),
        D::on<FuncExpression, &kind<Children>>(),
        D::on<CtorExpression, &kind<Children>>(),
        D::on<RangeExpression, &kind<Children>>(),
        D::on<MacroExpression, &kind<Children>>(),
        D::on<TokensExpression, &kind<Leaf>>(),
        D::on<VariableDeclarationExpression, &kind<Children>>(),
        D::on<CastExpression, &kind<Children>>(),
        D::on<CppBlockInitializer, &kind<Children>>(),
        D::on<AnonFuncExpression, &kind<Children>>(),
        D::on<VectorExpression, &kind<Children>>(),
        // statements
        D::on<ForStatement, &kind<Children>>(),
        D::on<IfStatement, &kind<Children>>(),
        D::on<TryStatement, &kind<Children>>(),
        D::on<WhileStatement, &kind<Children>>(),
        D::on<DeleteStatement, &kind<Children>>(),
        D::on<ReturnStatement, &kind<Children>>(),
        D::on<ThrowStatement, &kind<Children>>(),
        D::on<ExpressionStatement, &kind<Children>>(),
        D::on<BreakStatement, &kind<Leaf>>(),
        D::on<ContinueStatement, &kind<Leaf>>(),
        D::on<MacroStatement, &kind<Children>>(),
        D::on<InitStatement, &kind<Children>>(),
        D::on<BlockStatement, &kind<Children>>(),
        D::on<CppForStatement, &kind<Children>>(),
        D::on<CppSwitchStatement, &kind<Children>>(),
        D::on<CppCaseStatement, &kind<Children>>(),
        D::on<UsingDeclaration, &kind<Leaf>>(),
        D::on<UsingNamespaceDeclaration, &kind<Leaf>>(),
        // declarations
        D::on<NamespaceDeclaration, &kind<OpensContext>>(),
        D::on<FriendDeclaration, &kind<Children>>(),
        D::on<MacroDeclaration, &kind<EntersTable>>(),
        D::on<ArgumentDeclaration, &kind<Children>>(),
        D::on<FunctionDeclaration, &kind<EntersTable>>(),
        D::on<PropertyDeclaration, &kind<EntersTable>>(),
        D::on<VariableDeclaration, &kind<EntersTable>>(),
        D::on<ForPart, &kind<Children>>(),
        D::on<CatchStatement, &kind<Children>>(),
        D::on<ClassDeclaration, &kind<OpensContext | EntersTable>>(),
        D::on<TypeAliasDeclaration, &kind<EntersTable>>(),
        D::on<EnumDeclaration, &kind<EntersTable>>(),
        D::on<UnionDeclaration, &kind<OpensContext | EntersTable>>(),
        D::on<CppIncludeDeclaration, &kind<Leaf>>(),
        D::on<CppConstantMacroDeclaration, &kind<Leaf>>(),
        // other nodes
        D::on<BaseDeclaration, &kind<Children>>(),
        D::on<ImportDeclaration, &kind<Leaf>>(),
        D::on<EnumItem, &kind<Children>>(),
        D::on<TemplateCall, &kind<Children>>(),
        D::on<TemplateDeclaration, &kind<Children>>(),
        D::on<TemplateArgumentDeclaration, &kind<Children>>(),
        D::on<MacroCall, &kind<Children>>(),
        // Linked by their own walks (linkModule, a block's statements) and never as a child: the
        // callers refuse them with their own messages. A module qualifier is made by lookup.
        D::on<Block, &kind<Unknown>>(),
        D::on<Module, &kind<Unknown>>(),
        D::on<ModuleDeclaration, &kind<Unknown>>(),
    });
    return table;
}
[[maybe_unused]] const bool linkKindsListed = listNodeDispatch(&linkKinds);

// A shared handle on a declaration for a name table. A statement of the block is its own
// handle; a declaration nested in one (a caught variable, a C++ declaration expression)
// shares the ownership of the statement that holds it.
DeclarationPtr tableHandle(Declaration* declaration, const StatementSlot& slot) {
    const StatementPtr& holder = *slot.entry;
    if (holder.get() == declaration) return boost::static_pointer_cast<Declaration>(holder);
    return DeclarationPtr(holder, declaration);
}

// While a header is imported its declarations are known by the names its include interface
// file gives them; the declaration keeps its own name, which the C++ is written with.
void enter(Block& block, const DeclarationPtr& declaration) {
    const std::string name = currentIncludeModule
                                 ? currentIncludeModule->importedName(declaration->name,
                                                                      nodeCast<TypeDeclaration>(declaration.get()) != nullptr)
                                 : declaration->name;
    block.names.emplace(name, declaration);  // an existing entry stays
}

std::string raisedFirst(const std::string& name) {
    std::string result = name;
    if (!result.empty()) result[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(result[0])));
    return result;
}

// Hands each child node of a node to the parent finder, blocks and other nodes apart.
class ChildWalker : public ChildFieldVisitor {
public:
    ChildWalker(ParentFinder& finder, ASTObject* node, bool opensContext, const Placement& at)
        : finder(finder), node(node), opensContext(opensContext), at(at) {}

    void child(const char*, ASTObject* child) override {
        if (!child) return;
        if (Block* block = nodeCast<Block>(child))
            finder.linkBlockAt(node, block, opensContext, at);
        else
            finder.linkChildAt(node, child, at);
    }
    void children(const char* field, const std::vector<ASTObject*>& nodes) override {
        for (ASTObject* each : nodes) child(field, each);
    }

private:
    ParentFinder& finder;
    ASTObject* node;
    bool opensContext;
    const Placement& at;  // where node stands
};

// The rest of a header function's name after a getter prefix of the import, when the function
// can be read as a property: const, without arguments. Empty otherwise.
std::string accessorProperty(const FunctionDeclaration& function) {
    if (!currentIncludeModule || !function.isConst || !function.arguments.empty()) return std::string();
    for (const std::string& prefix : currentIncludeModule->getterPrefixes)
        if (!prefix.empty() && function.name.size() > prefix.size() && function.name.compare(0, prefix.size(), prefix) == 0)
            return currentIncludeModule->importedName(function.name.substr(prefix.size()));
    return std::string();
}

// A header's getter becomes the getter of a property of its holding block, so that the program
// reads it like a field.
void detectAccessor(FunctionDeclaration& function) {
    const std::string name = accessorProperty(function);
    if (name.empty() || !function.place.statementSlot.isSet()) return;
    Block& block = *function.place.statementSlot.block;
    auto found = block.names.find(name);
    PropertyDeclaration* property = nullptr;
    if (found == block.names.end()) {
        boost::shared_ptr<PropertyDeclaration> made = boost::make_shared<PropertyDeclaration>();
        made->name = name;
        made->access = function.access;
        made->type = function.type;
        made->location = function.location;
        made->parent = function.parent;
        made->place = function.place;
        block.names.emplace(name, made);
        property = made.get();
    } else {
        property = nodeCast<PropertyDeclaration>(found->second.get());
        // A header may well hold a field beside its getter; that is the header's, not ours.
        if (!property) throw CompileError("variable has same name as property", function.location);
    }
    property->getterName = function.name;
    property->getterModifiers.isVirtual = function.isVirtual;
    property->getterModifiers.isAbstract = function.isAbstract;
    property->getterModifiers.isInline = function.isInline;
    property->getterLocation = function.location;
}

// The items of an enum are names of the block that holds it, as in C++: each is entered as a
// constant of the enum's type (an int for an enum without a name), so that lookup finds it
// and inference types it. They are no statements: nothing writes them but the enum.
void enterEnumItems(EnumDeclaration& enumeration, const Placement& at) {
    if (!at.statementSlot.isSet()) return;
    DeclarationTable& table = enumeration.isScoped ? enumeration.scopedItems : at.statementSlot.block->names;
    for (const EnumItemPtr& item : enumeration.items) {
        if (!item) continue;
        boost::shared_ptr<VariableDeclaration> constant = boost::make_shared<VariableDeclaration>();
        constant->name = item->name;
        constant->access = enumeration.access;
        constant->location = item->location;
        constant->parent = enumeration.parent;
        constant->place = at;
        constant->processed = true;
        SimpleTypeExprPtr type = boost::make_shared<SimpleTypeExpr>();
        type->name = enumeration.name.empty() ? "int" : enumeration.name;
        if (!enumeration.name.empty()) type->declaration = &enumeration;
        type->processed = true;
        constant->type = type;
        table.emplace(item->name, constant);
    }
}

}  // namespace

void nameAccessors(PropertyDeclaration& property) {
    if (property.getter && property.getterName.empty()) property.getterName = "get" + raisedFirst(property.name);
    if (property.setter && property.setterName.empty()) property.setterName = "set" + raisedFirst(property.name);
}

void ParentFinder::linkModule(Module& module) { linkBlock(&module, module.block.get(), true); }

void ParentFinder::linkBlock(ASTObject* owner, Block* block, bool opensContext) {
    Placement ownerAt;
    if (owner) {
        ownerAt.memberContext = owner->memberContext();
        ownerAt.statementSlot = owner->statementSlot();
    }
    linkBlockAt(owner, block, opensContext, ownerAt);
}

void ParentFinder::linkBlockAt(ASTObject* owner, Block* block, bool opensContext, const Placement& ownerAt) {
    if (!block) return;
    block->parent = owner;
    block->place = owner ? ownerAt : Placement();
    for (auto entry = block->statements.begin(); entry != block->statements.end(); ++entry)
        linkStatement(block, entry, opensContext);
}

void ParentFinder::linkStatement(Block* block, StatementList::iterator entry, bool opensContext) {
    Statement* statement = entry->get();
    if (!statement) return;
    statement->parent = block;
    statement->place.statementSlot.block = block;
    statement->place.statementSlot.entry = entry;
    statement->place.memberContext = opensContext ? block : block->place.memberContext;
    linkBelow(statement, statement->place);
}

void ParentFinder::linkInserted(Block* block, StatementList::iterator entry) {
    Statement* statement = entry->get();
    if (statement && linkKinds()(*statement) == Unknown)
        throw VORN_INTERNAL_ERROR(sourceFile, std::string("Tree node type not support by parent finder (block): ") +
                                                  statement->className());
    // Statements of a member body take that body as their context; others inherit it.
    ASTObject* owner = block->parent;
    bool opensContext = nodeCast<Module>(owner) || nodeCast<ClassDeclaration>(owner) ||
                        nodeCast<UnionDeclaration>(owner) || nodeCast<NamespaceDeclaration>(owner);
    linkStatement(block, entry, opensContext);
}

void ParentFinder::linkChild(ASTObject* parent, ASTObject* child, const StatementSlot& slot) {
    Placement at;
    at.memberContext = parent ? parent->memberContext() : nullptr;
    at.statementSlot = slot;
    linkChildAt(parent, child, at);
}

// A child without a placement of its own stands where its parent does: the slot handed over
// must be the parent's.
void ParentFinder::linkChildAt(ASTObject* parent, ASTObject* child, const Placement& parentAt) {
    if (!child) return;
    if (nodeCast<Block>(child))
        throw VORN_INTERNAL_ERROR(sourceFile, "findParent should only be called on block POINTERS");
    child->parent = parent;
    Placement at = parentAt;
    if (!at.memberContext && parent && nodeCast<Block>(parent)) at.memberContext = static_cast<Block*>(parent);
    if (Placement* own = child->placement()) {
        *own = at;
        linkBelow(child, *own);
    } else {
        linkBelow(child, at);
    }
}

void ParentFinder::linkBelow(ASTObject* node, const Placement& at) {
    const int kind = linkKinds()(*node);
    if (kind == Unknown)
        throw VORN_INTERNAL_ERROR(sourceFile, std::string("Tree node type not support by parent finder: ") +
                                                  node->className());
    if (kind & Leaf) return;
    if ((kind & EntersTable) && at.statementSlot.isSet()) {
        if (Declaration* declaration = nodeCast<Declaration>(node))
            enter(*at.statementSlot.block, tableHandle(declaration, at.statementSlot));
    }
    if (PropertyDeclaration* property = nodeCast<PropertyDeclaration>(node)) nameAccessors(*property);
    if (FunctionDeclaration* function = nodeCast<FunctionDeclaration>(node)) detectAccessor(*function);
    if (EnumDeclaration* enumeration = nodeCast<EnumDeclaration>(node)) enterEnumItems(*enumeration, at);
    if (CatchStatement* handler = nodeCast<CatchStatement>(node)) {
        // The caught variable belongs to the handler's own block, before its statements. The
        // block is the handler's, so its table must not own the handler: that would be a cycle
        // that is never freed. The entry lives no longer than the handler it names.
        if (handler->body && at.statementSlot.isSet())
            enter(*handler->body, DeclarationPtr(DeclarationPtr(), handler));
    }
    ChildWalker walker(*this, node, (kind & OpensContext) != 0, at);
    node->visitFields(walker);
}
