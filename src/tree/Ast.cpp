// The syntax tree: enumeration spellings, default access, the one member a node answers,
// and each class's field listing. Builds no tree itself and looks at no other stage.
#include "tree/Ast.hpp"
#include "front/Lexer.hpp"

#include <algorithm>
#include <boost/make_shared.hpp>
#include <cstdint>
#include <type_traits>
#include <unordered_map>

namespace {

constexpr const char* accessNames[] = {"private", "protected", "public"};
constexpr const char* typeOperatorNames[] = {"pointer", "shared pointer", "reference", "array",
                                             "vector",  "map",            "const",     "volatile"};
constexpr const char* encodingNames[] = {"none", "A", "U", "8"};

template <size_t N>
const char* spell(const char* const (&names)[N], int value) {
    if (value < 0 || static_cast<size_t>(value) >= N) return "?";
    return names[value];
}

template <class List>
std::vector<ASTObject*> nodes(const List& list) {
    std::vector<ASTObject*> result;
    result.reserve(list.size());
    for (const auto& node : list) result.push_back(node.get());
    return result;
}

void accessField(FieldVisitor& v, const char* field, Access access) {
    v.choice(field, access, accessName(access));
}

void modifierFields(FieldVisitor& v, const char* prefix, const AccessorModifiers& m) {
    const std::string p(prefix);
    v.flag((p + "Virtual").c_str(), m.isVirtual);
    v.flag((p + "Abstract").c_str(), m.isAbstract);
    v.flag((p + "Inline").c_str(), m.isInline);
}

}  // namespace

const char* accessName(Access access) { return spell(accessNames, access); }
const char* typeOperatorName(TypeOperatorType kind) { return spell(typeOperatorNames, kind); }
const char* encodingName(CharacterEncoding encoding) { return spell(encodingNames, encoding); }

const BlockPtr* blockUnderConstruction = nullptr;

Access defaultAccess() {
    if (blockUnderConstruction && *blockUnderConstruction) return (*blockUnderConstruction)->access;
    return Public;
}

Declaration::Declaration() : access(defaultAccess()) {}
Block::Block() : access(defaultAccess()) {}
ImportDeclaration::ImportDeclaration() : access(defaultAccess()) {}

ObjectPtr SubTypeExpr::member(const std::string& memberName) {
    if (memberName != "second") return TypeExpression::member(memberName);
    SimpleTypeExprPtr nested = boost::make_shared<SimpleTypeExpr>();
    nested->location = location;
    nested->name = name;
    nested->templateArgs = templateArgs;
    return nested;
}

void TokensExpression::fill() {
    SourceLocation at = empty() ? location : back().location;
    push_back(Token(EndOfFile, "", at));
}

void TokensExpression::rewind() {
    if (empty() || back().kind != EndOfFile) fill();
    current = begin();
    furthestError = begin();
    errorPriority = -1;
    expected.clear();
}

bool Module::addImport(const ImportDeclarationPtr& import) {
    if (!import || imports.count(import->path)) return false;
    import->flags = (import->flags & ~ImportDeclaration::orderMask) |
                    (static_cast<unsigned>(imports.size()) & ImportDeclaration::orderMask);
    imports[import->path] = import;
    return true;
}

void Module::addInclude(const std::string& include) {
    if (std::find(includes.begin(), includes.end(), include) == includes.end()) includes.push_back(include);
}

namespace {
// The one counter behind every fresh identifier of a run; written only by makeUniqueName.
// Process-wide on purpose: passes deep in lowering make names without a build at hand.
unsigned long uniqueNameCounter = 0;
}  // namespace

std::string makeUniqueName(const std::string& base) { return "VORN_" + base + std::to_string(++uniqueNameCounter); }

void resetUniqueNames() { uniqueNameCounter = 0; }

// ---- field listings, base class first ----

void ASTObject::visitFields(FieldVisitor&) const {}

// The table's own check: each row names its class's base.
#define VORN_NODE(Class, Base, typeName) static_assert(std::is_base_of<Base, Class>::value, #Class " derives from " #Base);
#define VORN_BASE_NODE VORN_NODE
#include "tree/NodeClasses.def"

const std::vector<NodeClass>& nodeClasses() {
    static const std::vector<NodeClass> rows = {
#define VORN_NODE(Class, Base, typeName) {#Class, typeName, &typeid(Class), true},
#define VORN_BASE_NODE(Class, Base, typeName) {#Class, typeName, &typeid(Class), false},
#include "tree/NodeClasses.def"
    };
    return rows;
}

unsigned short ASTObject::numberClass(const std::type_info& type) {
    // One thread; a class is numbered once, by its row where the node table lists it. Keyed by
    // the type_info's address, which is quick; one class with two type_info objects (a linker
    // may leave two) is found by name and given its row's number both times.
    static std::unordered_map<const std::type_info*, unsigned short> numbers;
    static unsigned short unlisted = static_cast<unsigned short>(nodeClasses().size());
    // Every new node asks once, nearly always for one of a few classes: a small table by address
    // answers before the map.
    static const std::type_info* recentType[64];
    static unsigned short recentNumber[64];
    const std::size_t slot = (reinterpret_cast<std::uintptr_t>(&type) >> 3) & 63;
    if (recentType[slot] == &type) return recentNumber[slot];
    auto known = numbers.find(&type);
    if (known != numbers.end()) {
        recentType[slot] = &type;
        recentNumber[slot] = known->second;
        return known->second;
    }
    const std::vector<NodeClass>& rows = nodeClasses();
    auto row = std::find_if(rows.begin(), rows.end(), [&type](const NodeClass& c) { return *c.type == type; });
    if (row == rows.end() && unlisted >= 0xfffe)
        throw internalError("src/Ast", VORN_STRINGIZE(__LINE__), "too many node classes");
    unsigned short number = row != rows.end() ? static_cast<unsigned short>(row - rows.begin() + 1) : ++unlisted;
    numbers.emplace(&type, number);
    return number;
}

namespace {
// The row of a node's class; a class missing from the table is a mistake of this program's.
const NodeClass& rowOf(const ASTObject& node) {
    unsigned number = node.classNumber();
    if (number > nodeClasses().size())
        throw internalError("src/Ast", VORN_STRINGIZE(__LINE__),
                            std::string("node class missing from tree/NodeClasses.def: ") + typeid(node).name());
    return nodeClasses()[number - 1];
}
}  // namespace

const char* ASTObject::typeName() const { return rowOf(*this).typeName; }
const char* ASTObject::className() const { return rowOf(*this).name; }

namespace {
const Placement* placed(const ASTObject* node) {
    for (const ASTObject* at = node; at; at = at->parent)
        if (const Placement* own = at->placement()) return own;
    return nullptr;
}
}  // namespace

Block* ASTObject::memberContext() const {
    const Placement* own = placed(this);
    return own ? own->memberContext : nullptr;
}

StatementSlot ASTObject::statementSlot() const {
    const Placement* own = placed(this);
    return own ? own->statementSlot : StatementSlot();
}

void appendChildNodes(const ASTObject& node, std::vector<ASTObject*>& nodes) {
    class Collect : public ChildFieldVisitor {
    public:
        explicit Collect(std::vector<ASTObject*>& nodes) : nodes(nodes) {}
        void child(const char*, ASTObject* child) override {
            if (child) nodes.push_back(child);
        }
        void children(const char*, const std::vector<ASTObject*>& list) override {
            for (ASTObject* child : list)
                if (child) nodes.push_back(child);
        }
        std::vector<ASTObject*>& nodes;
    } collect(nodes);
    node.visitFields(collect);
}

std::vector<ASTObject*> childNodes(const ASTObject& node) {
    std::vector<ASTObject*> nodes;
    appendChildNodes(node, nodes);
    return nodes;
}

void SimpleTypeExpr::visitFields(FieldVisitor& v) const {
    v.text("name", name);
    v.child("templateArgs", templateArgs.get());
}

void SubTypeExpr::visitFields(FieldVisitor& v) const {
    v.child("scope", scope.get());
    v.text("name", name);
    v.child("templateArgs", templateArgs.get());
    v.flag("isTypename", isTypename);
}

void TypeOperator::visitFields(FieldVisitor& v) const {
    v.choice("kind", kind, typeOperatorName(kind));
    v.child("size", size.get());
    v.child("operand", operand.get());
    v.child("valueType", valueType.get());
}

void TupleType::visitFields(FieldVisitor& v) const { v.children("elements", nodes(elements)); }

void FuncType::visitFields(FieldVisitor& v) const {
    v.child("result", result.get());
    v.children("arguments", nodes(arguments));
}

void FunctionPointerType::visitFields(FieldVisitor& v) const {
    v.child("result", result.get());
    v.children("arguments", nodes(arguments));
}

void ConstantExpression::visitFields(FieldVisitor& v) const {
    v.text("value", value);
    v.choice("encoding", encoding, encodingName(encoding));
}

void OperExpression::visitFields(FieldVisitor& v) const {
    v.child("left", left.get());
    v.text("operator", op);
    v.child("right", right.get());
}

void PrefixOperExpression::visitFields(FieldVisitor& v) const {
    v.text("operator", op);
    v.child("operand", operand.get());
}

void PostfixOperExpression::visitFields(FieldVisitor& v) const {
    v.child("operand", operand.get());
    v.text("operator", op);
}

void TernaryOperExpression::visitFields(FieldVisitor& v) const {
    v.child("condition", condition.get());
    v.child("whenTrue", whenTrue.get());
    v.child("whenFalse", whenFalse.get());
}

void SubExpression::visitFields(FieldVisitor& v) const {
    v.child("object", object.get());
    v.flag("isArrow", isArrow);
    v.text("member", member);
}

void StaticExpression::visitFields(FieldVisitor& v) const {
    v.child("scope", scope.get());
    v.text("name", name);
}

void TupleExpression::visitFields(FieldVisitor& v) const { v.children("elements", nodes(elements)); }

void FuncExpression::visitFields(FieldVisitor& v) const {
    v.child("function", function.get());
    v.child("templateArgs", templateArgs.get());
    v.children("arguments", nodes(arguments));
}

void CtorExpression::visitFields(FieldVisitor& v) const {
    v.flag("isHeap", isHeap);
    v.flag("isShared", isShared);
    v.child("type", type.get());
    v.flag("hasArguments", hasArguments);
    v.children("arguments", nodes(arguments));
    v.child("initializer", initializer.get());
}

void RangeExpression::visitFields(FieldVisitor& v) const {
    v.flag("startIncluded", startIncluded);
    v.child("start", start.get());
    v.child("end", end.get());
    v.flag("endIncluded", endIncluded);
}

void MacroExpression::visitFields(FieldVisitor& v) const { v.child("call", call.get()); }

void TokensExpression::visitFields(FieldVisitor& v) const { v.tokens("tokens", *this); }

void VariableDeclarationExpression::visitFields(FieldVisitor& v) const {
    v.child("declaration", declaration.get());
}

void CastExpression::visitFields(FieldVisitor& v) const {
    v.child("type", type.get());
    v.child("operand", operand.get());
}

void CppBlockInitializer::visitFields(FieldVisitor& v) const { v.children("elements", nodes(elements)); }

void AnonFuncExpression::visitFields(FieldVisitor& v) const {
    v.child("result", result.get());
    v.children("arguments", nodes(arguments));
    v.child("body", body.get());
}

void VectorExpression::visitFields(FieldVisitor& v) const { v.children("elements", nodes(elements)); }

void ForStatement::visitFields(FieldVisitor& v) const {
    v.children("parts", nodes(parts));
    v.child("body", body.get());
}

void IfStatement::visitFields(FieldVisitor& v) const {
    v.children("conditions", nodes(conditions));
    v.children("blocks", nodes(blocks));
    v.child("elseBlock", elseBlock.get());
}

void TryStatement::visitFields(FieldVisitor& v) const {
    v.child("body", body.get());
    v.children("handlers", nodes(handlers));
}

void WhileStatement::visitFields(FieldVisitor& v) const {
    v.child("condition", condition.get());
    v.child("body", body.get());
    v.flag("isPostTested", isPostTested);
}

void DeleteStatement::visitFields(FieldVisitor& v) const {
    v.flag("isArray", isArray);
    v.child("operand", operand.get());
}

void ReturnStatement::visitFields(FieldVisitor& v) const { v.child("value", value.get()); }

void ThrowStatement::visitFields(FieldVisitor& v) const { v.child("value", value.get()); }

void ExpressionStatement::visitFields(FieldVisitor& v) const {
    v.child("expression", expression.get());
    v.child("body", body.get());
}

void MacroStatement::visitFields(FieldVisitor& v) const { v.child("call", call.get()); }

void InitStatement::visitFields(FieldVisitor& v) const {
    v.text("member", member);
    v.child("type", type.get());
    v.children("arguments", nodes(arguments));
}

void BlockStatement::visitFields(FieldVisitor& v) const { v.child("block", block.get()); }

void CppForStatement::visitFields(FieldVisitor& v) const {
    v.child("initialization", initialization.get());
    v.child("condition", condition.get());
    v.child("step", step.get());
    v.child("body", body.get());
}

void CppSwitchStatement::visitFields(FieldVisitor& v) const {
    v.child("expression", expression.get());
    v.child("body", body.get());
}

void CppCaseStatement::visitFields(FieldVisitor& v) const { v.child("expression", expression.get()); }

void UsingDeclaration::visitFields(FieldVisitor& v) const { v.child("entity", entity.get()); }

void UsingNamespaceDeclaration::visitFields(FieldVisitor& v) const { v.child("entity", entity.get()); }

void Declaration::visitFields(FieldVisitor& v) const {
    v.text("name", name);
    accessField(v, "access", access);
}

void NamespaceDeclaration::visitFields(FieldVisitor& v) const {
    Declaration::visitFields(v);
    v.child("body", body.get());
}

void FriendDeclaration::visitFields(FieldVisitor& v) const {
    Declaration::visitFields(v);
    v.child("declaration", declaration.get());
}

void MacroDeclaration::visitFields(FieldVisitor& v) const {
    Declaration::visitFields(v);
    v.children("arguments", nodes(arguments));
    v.child("body", body.get());
}

void DataDeclaration::visitFields(FieldVisitor& v) const {
    Declaration::visitFields(v);
    v.child("type", type.get());
}

void ArgumentDeclaration::visitFields(FieldVisitor& v) const {
    DataDeclaration::visitFields(v);
    v.flag("isVirtual", isVirtual);
    v.flag("isMutable", isMutable);
    v.child("defaultValue", defaultValue.get());
    v.flag("keepsWrittenType", keepsWrittenType);
}

void FunctionDeclaration::visitFields(FieldVisitor& v) const {
    DataDeclaration::visitFields(v);
    v.flag("isVirtual", isVirtual);
    v.flag("isAbstract", isAbstract);
    v.flag("isStatic", isStatic);
    v.flag("isInline", isInline);
    v.flag("isOperator", isOperator);
    v.child("template", templateDecl.get());
    v.children("arguments", nodes(arguments));
    v.flag("isConst", isConst);
    v.child("body", body.get());
}

void PropertyDeclaration::visitFields(FieldVisitor& v) const {
    DataDeclaration::visitFields(v);
    v.child("getter", getter.get());
    v.text("getterName", getterName);
    modifierFields(v, "getter", getterModifiers);
    v.child("setter", setter.get());
    v.text("setterName", setterName);
    modifierFields(v, "setter", setterModifiers);
}

void VariableDeclaration::visitFields(FieldVisitor& v) const {
    DataDeclaration::visitFields(v);
    v.flag("isStatic", isStatic);
    v.flag("isMutable", isMutable);
    v.children("initializers", nodes(initializers));
    v.flag("isConstructed", isConstructed);
}

void ForPart::visitFields(FieldVisitor& v) const {
    DataDeclaration::visitFields(v);
    v.flag("isReverse", isReverse);
    v.child("range", range.get());
}

void CatchStatement::visitFields(FieldVisitor& v) const {
    DataDeclaration::visitFields(v);
    v.child("body", body.get());
}

void ClassDeclaration::visitFields(FieldVisitor& v) const {
    Declaration::visitFields(v);
    v.flag("isStatic", isStatic);
    v.child("template", templateDecl.get());
    v.children("bases", nodes(bases));
    v.child("body", body.get());
}

void TypeAliasDeclaration::visitFields(FieldVisitor& v) const {
    Declaration::visitFields(v);
    v.child("template", templateDecl.get());
    v.child("type", type.get());
}

void EnumDeclaration::visitFields(FieldVisitor& v) const {
    Declaration::visitFields(v);
    v.children("items", nodes(items));
    if (isScoped) v.flag("isScoped", isScoped);
}

void UnionDeclaration::visitFields(FieldVisitor& v) const {
    Declaration::visitFields(v);
    v.child("template", templateDecl.get());
    v.child("body", body.get());
}

void ModuleDeclaration::visitFields(FieldVisitor& v) const {
    Declaration::visitFields(v);
    v.child("block", block.get());
}

void CppConstantMacroDeclaration::visitFields(FieldVisitor& v) const {
    DataDeclaration::visitFields(v);
    v.text("value", value);
    v.flag("functionLike", functionLike);
}

void BaseDeclaration::visitFields(FieldVisitor& v) const {
    v.child("type", type.get());
    accessField(v, "access", access);
    v.flag("isVirtual", isVirtual);
}

void ImportDeclaration::visitFields(FieldVisitor& v) const {
    accessField(v, "access", access);
    v.flag("isQualified", isQualified);
    v.texts("path", path);
    v.number("inHeader", inHeader);
    v.number("flags", flags);
}

void EnumItem::visitFields(FieldVisitor& v) const {
    v.text("name", name);
    v.child("value", value.get());
}

void TemplateCall::visitFields(FieldVisitor& v) const { v.children("arguments", nodes(arguments)); }

void TemplateDeclaration::visitFields(FieldVisitor& v) const {
    v.children("arguments", nodes(arguments));
    v.child("specialization", specialization.get());
}

void TemplateArgumentDeclaration::visitFields(FieldVisitor& v) const {
    v.child("type", type.get());
    v.text("name", name);
    v.flag("isType", isType);
    v.child("defaultValue", defaultValue.get());
    v.child("defaultType", defaultType.get());
}

void MacroCall::visitFields(FieldVisitor& v) const {
    v.text("name", name);
    v.children("arguments", nodes(arguments));
}

void Block::visitFields(FieldVisitor& v) const {
    accessField(v, "access", access);
    v.children("statements", nodes(statements));
}

void Module::visitFields(FieldVisitor& v) const {
    v.text("name", name);
    v.flag("complete", complete);
    std::vector<ASTObject*> importNodes;
    for (const auto& entry : imports) importNodes.push_back(entry.second.get());
    v.children("imports", importNodes);
    v.texts("includes", includes);
    v.child("block", block.get());
}

IncludeModulePtr currentIncludeModule;

std::string IncludeModule::importedName(const std::string& name, bool isType) const {
    if (isType) {
        auto whole = aliases.find(name);
        if (whole != aliases.end() && !whole->second.empty()) return whole->second;
    }
    std::string result = name;
    for (const std::string& prefix : prefixes) {
        if (prefix.empty() || result.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string rest = result.substr(prefix.size());
        // An empty name could not be used, and box_delete is not delete, nor json_true true.
        if (!rest.empty() && classifyWord(rest, true) != Keyword && rest != "true" && rest != "false" && rest != "this")
            result = rest;
        break;
    }
    if (isType) {
        auto stripped = aliases.find(result);
        if (stripped != aliases.end() && !stripped->second.empty()) return stripped->second;
    }
    return result;
}

void IncludeModule::visitFields(FieldVisitor& v) const {
    Module::visitFields(v);
    v.text("extraCode", extraCode);
    std::vector<std::string> pairs;
    for (const auto& a : aliases) pairs.push_back(a.first + "=" + a.second);
    v.texts("aliases", pairs);
    pairs.clear();
    for (const auto& d : defines) pairs.push_back(d.first + "=" + d.second);
    v.texts("defines", pairs);
    v.texts("prefixes", prefixes);
    v.texts("getterPrefixes", getterPrefixes);
    v.texts("setterPrefixes", setterPrefixes);
    v.texts("namespaces", namespaces);
    v.texts("links", links);
}
