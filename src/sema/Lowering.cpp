// Lowering: statement, body and expression processing, the function handler, and the
// insertion of the statements and declarations that rewrites need before the statement being
// processed. Takes linked trees; gives typed trees in which every node is one the back end
// spells directly. Never lets a failure escape a statement: it is reported there.
#include "sema/Lowering.hpp"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <map>
#include <set>
#include <string_view>

#include <boost/make_shared.hpp>

#include "base/Diagnostics.hpp"
#include "sema/MacroExpander.hpp"
#include "sema/NameLookup.hpp"
#include "tree/NodeDispatch.hpp"
#include "tree/Operator.hpp"
#include "tree/ParentFinder.hpp"
#include "tree/TreeModifier.hpp"
#include "sema/TypeOf.hpp"

namespace {

const char* const sourceFile = "src/Lowering";

template <class T>
boost::shared_ptr<T> made(const SourceLocation& at) {
    boost::shared_ptr<T> node = boost::make_shared<T>();
    node->location = at;
    return node;
}

StaticExpressionPtr nameNode(const std::string& name, const SourceLocation& at) {
    StaticExpressionPtr node = made<StaticExpression>(at);
    node->name = name;
    return node;
}

// Nodes that lowering builds stand as they are: no pass reads them again.
template <class T>
boost::shared_ptr<T> built(const SourceLocation& at) {
    boost::shared_ptr<T> node = made<T>(at);
    node->processed = true;
    return node;
}

ExpressionPtr builtName(const std::string& name, const SourceLocation& at) {
    StaticExpressionPtr node = nameNode(name, at);
    node->processed = true;
    return node;
}

// static_cast<type>(value), built whole.
ExpressionPtr castTo(const TypeExpressionPtr& type, const ExpressionPtr& value) {
    FuncExpressionPtr cast = built<FuncExpression>(value->location);
    cast->function = builtName("static_cast", value->location);
    cast->templateArgs = built<TemplateCall>(value->location);
    cast->templateArgs->arguments.push_back(type);
    cast->arguments.push_back(value);
    return cast;
}

// A module, class, union or namespace body, where only declarations stand. A block without
// an owner is a module's top level that has not been linked.
bool isMemberBody(const Block* block) {
    if (!block) return false;
    const ASTObject* owner = block->parent;
    return !owner || nodeCast<Module>(owner) || nodeCast<ClassDeclaration>(owner) ||
           nodeCast<UnionDeclaration>(owner) || nodeCast<NamespaceDeclaration>(owner);
}

// The class whose body is the member context of node, or null.
ClassDeclaration* enclosingClass(const ASTObject& node) {
    Block* context = node.memberContext();
    ClassDeclaration* cls = context ? nodeCast<ClassDeclaration>(context->parent) : nullptr;
    return cls && cls->body.get() == context ? cls : nullptr;
}

// The class of which a declaration is a direct member (not a local of one of its functions).
ClassDeclaration* classOfMember(const Declaration& member) {
    return member.parent == member.memberContext() ? enclosingClass(member) : nullptr;
}

StatementList::iterator insertAt(const StatementSlot& slot, const StatementPtr& statement) {
    if (!slot.isSet() || !slot.block->parent) throw CompileError("Can't add statement");
    StatementList::iterator entry = slot.block->statements.insert(slot.entry, statement);
    ParentFinder().linkInserted(slot.block, entry);
    return entry;
}

StatementList::iterator insertBefore(ASTObject& node, const StatementPtr& statement) {
    return insertAt(node.statementSlot(), statement);
}

// Puts a rewritten expression where the old one stood and links it there.
void replaceExpression(ExpressionPtr& slot, const ExpressionPtr& replacement) {
    ASTObject* parent = slot->parent;
    StatementSlot statement = slot->statementSlot();
    slot = replacement;
    ParentFinder().linkChild(parent, replacement.get(), statement);
}

// Puts a statement into the entry of the block that held the old one and links it there.
void replaceStatement(StatementPtr& slot, const StatementPtr& replacement) {
    StatementSlot at = slot->statementSlot();
    slot = replacement;
    if (at.isSet() && &*at.entry == &slot)
        ParentFinder().linkInserted(at.block, at.entry);
    else
        throw VORN_INTERNAL_ERROR(sourceFile, "a statement was replaced outside its block");
}

void processExpressions(ExpressionList& list) {
    for (ExpressionPtr& each : list) processExpression(each);
}

void processTemplateArguments(const TemplateCallPtr& call) {
    if (!call) return;
    for (AnyExpressionPtr& argument : call->arguments) {
        if (TypeExpression* type = nodeCast<TypeExpression>(argument.get())) {
            resolveTypeNode(*type, placeOf(call.get()));
        } else if (boost::dynamic_pointer_cast<Expression>(argument)) {
            ExpressionPtr expression = boost::static_pointer_cast<Expression>(argument);
            processExpression(expression);
            argument = expression;
        }
    }
}

// ---- what a name or member access denotes ----

Declaration* declarationOfName(StaticExpression& name) {
    if (name.renamedFrom) return name.renamedFrom;
    Block* place = placeOf(&name);
    if (!name.scope) return lookup(name.name, place);
    resolveType(name.scope, place);
    Declaration* scope = declarationOf(name.scope.get(), place);
    return scope ? lookupMember(name.name, scope) : nullptr;
}

bool isQualifier(const Declaration* declaration) {
    return nodeCast<TypeDeclaration>(declaration) || nodeCast<NamespaceDeclaration>(declaration);
}

// The declaration of the object's own name, when the object is a plain name; null otherwise.
Declaration* declarationOfObject(Expression* object) {
    StaticExpression* name = nodeCast<StaticExpression>(object);
    return name ? declarationOfName(*name) : nullptr;
}

PropertyDeclaration* asProperty(Declaration* declaration) { return nodeCast<PropertyDeclaration>(declaration); }

Declaration* memberDenoted(SubExpression& access) {
    Declaration* objectDeclaration = declarationOfObject(access.object.get());
    if (isQualifier(objectDeclaration)) return lookupMember(access.member, objectDeclaration);
    TypeExpressionPtr objectType = typeOf(access.object.get());
    if (!objectType) return nullptr;
    Declaration* type = declarationOf(objectType.get(), placeOf(&access));
    return type ? lookupMember(access.member, type) : nullptr;
}

// ---- expressions ----

typedef NodeDispatch<void(Expression&, ExpressionPtr&)> ExpressionDispatch;

void nothing(Expression&, ExpressionPtr&) {}

// A call of a name no macro declares is written as the C++ call of the name without its
// underscore; that only makes sense for expression arguments. Braces (a block the arguments
// span, or written ones) would come out as C++ nobody wrote, so they are refused here.
void checkPassThroughCall(const MacroCall& call) {
    if (call.name == "_CPP" || call.name == "_HPP") return;
    for (const TokensExpressionPtr& argument : call.arguments) {
        if (!argument) continue;
        for (const Token& token : *argument)
            if (token.text == "{" || token.text == "}")
                throw CompileError("no macro " + call.name + " is declared, and its arguments hold a block or braces, "
                                   "which cannot be written as the C++ call " + call.name.substr(1) + "(...)",
                                   token.location);
    }
}

// A declared macro called inside an expression would be written as a call the user never
// wrote; other names (C macros and the like) stay as written.
void macroExpression(MacroExpression& node, ExpressionPtr&) {
    if (!node.call) return;
    if (resolveMacro(*node.call))
        reportError("macro " + node.call->name + " can only be expanded as a statement outside a macro body",
                    node.location);
    else
        checkPassThroughCall(*node.call);
}

// The callee of one of a property's accessors, on the object of a member access or, for a
// name, with the name's scope.
ExpressionPtr accessorCallee(const std::string& accessor, Expression& access) {
    if (SubExpression* member = nodeCast<SubExpression>(&access)) {
        SubExpressionPtr callee = made<SubExpression>(access.location);
        callee->object = member->object;
        callee->isArrow = member->isArrow;
        callee->member = accessor;
        callee->processed = true;
        return callee;
    }
    StaticExpressionPtr callee = nameNode(accessor, access.location);
    callee->scope = static_cast<StaticExpression&>(access).scope;
    callee->processed = true;
    return callee;
}

// The call of a property's getter that stands for reading it.
ExpressionPtr getterCall(const PropertyDeclaration& property, Expression& access) {
    FuncExpressionPtr call = made<FuncExpression>(access.location);
    call->function = accessorCallee(property.getterName, access);
    call->processed = true;
    return call;
}

void readProperty(ExpressionPtr& slot, Declaration* declaration) {
    PropertyDeclaration* property = asProperty(declaration);
    if (!property) return;
    if (property->getterName.empty())
        throw CompileError("Property " + property->name + " has no getter", slot->location);
    replaceExpression(slot, getterCall(*property, *slot));
}

// A header's declaration may be known by a name its include interface file gave it (a prefix
// stripped, an alias replaced); the C++ must name it as the header spells it.
bool renamedByImport(const Declaration* declaration, const std::string& used) {
    if (!declaration || declaration->name == used || asProperty(const_cast<Declaration*>(declaration))) return false;
    const Block* holder = declaration->statementSlot().block;
    const Module* module = holder ? moduleOf(const_cast<Block*>(holder)) : nullptr;
    return module && !module->headerPath.empty();
}

// Names C++ gives every program, which no vorn module declares.
bool isCppOwnName(const std::string& name) {
    static constexpr std::string_view names[] = {"this", "sizeof", "std", "static_cast", "dynamic_cast", "const_cast",
                                        "reinterpret_cast", "boost::static_pointer_cast",
                                        "boost::dynamic_pointer_cast", "boost::const_pointer_cast"};
    return name.compare(0, 5, "std::") == 0 || std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// A name found nowhere is the user's mistake, unless C++ may know it from somewhere vorn did
// not read (a header's macros, verbatim code): then the C++ compiler has the last word.
void checkKnownName(const StaticExpression& node) {
    if (node.scope || isCppOwnName(node.name) || isTemplateParameter(node, node.name)) return;
    Block* place = placeOf(&node);
    if (!place || mayUseUnseenNames(moduleOf(place))) return;
    std::string message = "Unable to find declaration of " + node.name;
    const std::string near = nearestVisibleName(node.name, place, false);
    if (!near.empty()) message += ", did you mean " + near + "?";
    throw CompileError(message, node.location);
}

bool isCapitalised(const std::string& name) { return !name.empty() && std::isupper(static_cast<unsigned char>(name[0])); }

void staticName(StaticExpression& node, ExpressionPtr& slot) {
    Declaration* declaration = declarationOfName(node);
    if (!declaration) checkKnownName(node);
    // A type where a value stands: C++ would read it as a type and say so in its own terms.
    if (!node.scope && isCapitalised(node.name) && nodeCast<TypeDeclaration>(declaration))
        throw CompileError(node.name + " is a type, not a value; write " + node.name + ":() to make one",
                           node.location);
    if (renamedByImport(declaration, node.name)) {
        node.name = declaration->name;
        node.renamedFrom = declaration;
    }
    readProperty(slot, declaration);
}

void markArrow(SubExpression& node) {
    if (node.isArrow) return;
    if (memberThroughPointer(typeOf(node.object.get()), node.member, placeOf(&node))) node.isArrow = true;
}

// Whether vorn has read every member of a class: one of a program module that sees no name
// vorn did not read, as are all its bases.
bool membersAllKnown(ClassDeclaration* start) {
    std::set<ClassDeclaration*> seen;
    std::vector<ClassDeclaration*> pending{start};
    while (!pending.empty()) {
        ClassDeclaration* cls = pending.back();
        pending.pop_back();
        if (!seen.insert(cls).second) continue;
        Block* place = placeOf(cls);
        Module* module = place ? moduleOf(place) : nullptr;
        // The library's classes stand for C++ ones (Vector is std::vector) and list only some members.
        if (!module || module->isLibrary || module->name.compare(0, 8, "Library.") == 0 || mayUseUnseenNames(module))
            return false;
        for (const BaseDeclarationPtr& base : cls->bases) {
            if (!base) continue;
            ClassDeclaration* baseClass =
                nodeCast<ClassDeclaration>(declarationOf(base->type.get(), placeOf(base.get(), place)));
            if (!baseClass) return false;
            pending.push_back(baseClass);
        }
    }
    return true;
}

void checkKnownMember(SubExpression& node) {
    if (isQualifier(declarationOfObject(node.object.get()))) return;
    TypeExpressionPtr objectType = typeOf(node.object.get());
    Block* place = placeOf(&node);
    if (!objectType || isSharedPointerOwnMember(objectType, node.member, place)) return;
    ClassDeclaration* cls = nodeCast<ClassDeclaration>(declarationOf(objectType.get(), place));
    if (!cls || !membersAllKnown(cls)) return;
    std::string message = cls->name + " has no member " + node.member;
    const std::string near = nearestMemberName(node.member, cls);
    if (!near.empty()) message += ", did you mean " + near + "?";
    throw CompileError(message, node.location);
}

// "v.size" for "v.size()": C++ would say only that a member function cannot convert.
void checkCalledIfFunction(const SubExpression& node, const Declaration* member) {
    const auto* function = nodeCast<FunctionDeclaration>(member);
    if (!function || function->isOperator) return;
    const auto* call = nodeCast<FuncExpression>(node.parent);
    if (call && call->function.get() == &node) return;
    throw CompileError(node.member + " is a function: call it, " + node.member + "()", node.location);
}

// The header that declares a much-used name of std the prelude's headers do not bring along:
// "std.cout" must not leave g++ to say that <iostream> is missing.
void includeStandardHeaderOf(const std::string& name, const ASTObject& node) {
    static const std::map<std::string, const char*> headers = {
        {"cout", "<iostream>"},      {"cin", "<iostream>"},       {"cerr", "<iostream>"},
        {"clog", "<iostream>"},      {"endl", "<ostream>"},       {"flush", "<ostream>"},
        {"sort", "<algorithm>"},     {"stable_sort", "<algorithm>"}, {"reverse", "<algorithm>"},
        {"find", "<algorithm>"},     {"find_if", "<algorithm>"},  {"count", "<algorithm>"},
        {"count_if", "<algorithm>"}, {"min", "<algorithm>"},      {"max", "<algorithm>"},
        {"min_element", "<algorithm>"}, {"max_element", "<algorithm>"}, {"fill", "<algorithm>"},
        {"unique", "<algorithm>"},   {"swap", "<utility>"},       {"move", "<utility>"},
        {"accumulate", "<numeric>"}, {"iota", "<numeric>"},       {"sqrt", "<cmath>"},
        {"pow", "<cmath>"},          {"floor", "<cmath>"},        {"ceil", "<cmath>"},
        {"fabs", "<cmath>"},         {"round", "<cmath>"},        {"abs", "<cstdlib>"},
        {"exit", "<cstdlib>"},       {"rand", "<cstdlib>"},       {"srand", "<cstdlib>"},
        {"strlen", "<cstring>"},     {"strcmp", "<cstring>"},     {"memcpy", "<cstring>"},
        {"toupper", "<cctype>"},     {"tolower", "<cctype>"},     {"isdigit", "<cctype>"},
        {"isalpha", "<cctype>"},     {"isspace", "<cctype>"},     {"setw", "<iomanip>"},
        {"setprecision", "<iomanip>"}, {"numeric_limits", "<limits>"}, {"chrono", "<chrono>"},
        {"this_thread", "<thread>"},
    };
    auto found = headers.find(name);
    if (found == headers.end()) return;
    Block* place = placeOf(&node);
    if (Module* module = place ? moduleOf(place) : nullptr) module->addInclude(found->second);
}

// "std.to_string" names the C++ standard library's std::to_string, which no module declares:
// the access becomes that one name (std.chrono.seconds, step by step, std::chrono::seconds).
bool standardLibraryName(SubExpression& node, ExpressionPtr& slot) {
    processExpression(node.object);
    const StaticExpression* scope = nodeCast<StaticExpression>(node.object.get());
    if (!scope || scope->scope || (scope->name != "std" && scope->name.compare(0, 5, "std::") != 0)) return false;
    if (scope->name == "std" && declarationOfName(*const_cast<StaticExpression*>(scope))) return false;
    if (scope->name == "std") includeStandardHeaderOf(node.member, node);
    StaticExpressionPtr named = boost::make_shared<StaticExpression>();
    named->name = scope->name + "::" + node.member;
    named->location = node.location;
    named->processed = true;
    replaceExpression(slot, named);
    return true;
}

void memberAccess(SubExpression& node, ExpressionPtr& slot) {
    if (standardLibraryName(node, slot)) return;
    processExpression(node.object);
    Declaration* member = memberDenoted(node);
    if (!member) checkKnownMember(node);
    checkCalledIfFunction(node, member);
    markArrow(node);
    if (renamedByImport(member, node.member)) node.member = member->name;
    readProperty(slot, member);
}

// The property that an assignment's left side denotes, read before the side is processed.
PropertyDeclaration* assignedProperty(Expression* left) {
    if (StaticExpression* name = nodeCast<StaticExpression>(left)) return asProperty(declarationOfName(*name));
    if (SubExpression* access = nodeCast<SubExpression>(left)) {
        processExpression(access->object);
        markArrow(*access);
        return asProperty(memberDenoted(*access));
    }
    return nullptr;
}

bool isCompoundAssignment(std::string_view op) {
    return op.size() >= 2 && op.back() == '=' && op != "==" && op != "!=" && op != "<=" && op != ">=";
}

// Assignments to a property become calls of its setter; false when the left side is none.
bool assignThroughSetter(OperExpression& node, ExpressionPtr& slot) {
    if (node.op != std::string_view("=") && !isCompoundAssignment(node.op)) return false;
    PropertyDeclaration* property = assignedProperty(node.left.get());
    if (!property) return false;
    // Otherwise the assignment would go to the getter's result, which C++ rejects unexplained.
    if (property->setterName.empty())
        throw CompileError("Property " + property->name + " has no setter", node.location);
    ExpressionPtr value = node.right;
    if (node.op != "=") {
        if (property->getterName.empty())
            throw CompileError("Property " + property->name + " has no getter", node.location);
        OperExpressionPtr combined = made<OperExpression>(node.location);
        combined->op = node.op.substr(0, node.op.size() - 1);
        combined->left = getterCall(*property, *node.left);
        combined->right = node.right;
        value = combined;
    }
    FuncExpressionPtr call = made<FuncExpression>(node.location);
    call->function = accessorCallee(property->setterName, *node.left);
    call->arguments.push_back(value);
    call->processed = true;
    replaceExpression(slot, call);
    // The new operation and the right side are processed in their new places.
    processExpression(call->arguments.front());
    if (OperExpression* combined = nodeCast<OperExpression>(call->arguments.front().get()))
        processExpression(combined->right);
    return true;
}

// An operator C++ lacks becomes a call of the function declared for it; looking the
// spelling up first makes sure that function has its mangled name before the call is typed.
// An undeclared one is most often two operators written without a blank (a*-b), which C++
// would only report as an unknown function.
void namedOperator(OperExpression& node, ExpressionPtr& slot) {
    Block* place = placeOf(&node);
    const std::string function = operatorFunctionName(node.op);
    if (!lookup(node.op, place) && !lookup(function, place))
        throw CompileError("Operator " + node.op + " is not declared", node.location);
    FuncExpressionPtr call = made<FuncExpression>(node.location);
    call->function = nameNode(function, node.location);
    call->function->processed = true;
    call->arguments = {node.left, node.right};
    call->processed = true;
    replaceExpression(slot, call);
}

// The signedness of a whole-number type as vorn or C++ spells it; 0 for any other type.
int integerSignedness(const TypeExpressionPtr& type) {
    const SimpleTypeExpr* simple = nodeCast<SimpleTypeExpr>(type.get());
    if (!simple || simple->templateArgs) return 0;
    static constexpr std::string_view unsignedNames[] = {"UInt", "ULong", "UShort", "unsigned int", "unsigned long",
                                                "unsigned short", "unsigned long long", "size_t", "std::size_t"};
    static constexpr std::string_view signedNames[] = {"Int", "Long", "Short", "int", "long", "short", "long long",
                                              "signed int", "signed long", "signed short", "ptrdiff_t"};
    for (std::string_view name : unsignedNames)
        if (simple->name == name) return 1;
    for (std::string_view name : signedNames)
        if (simple->name == name) return -1;
    return 0;
}

bool isNonNegativeLiteral(const Expression* expression) {
    const ConstantExpression* constant = nodeCast<ConstantExpression>(expression);
    return constant && !constant->value.empty() && std::isdigit(static_cast<unsigned char>(constant->value[0]));
}

// `i < v.size()` compares an Int with a ULong. C++ would convert the Int and warn, and a
// negative one would compare as huge; the unsigned side is compared as a long long instead,
// which is right for every size a program holds.
void compareAsSigned(OperExpression& node) {
    static constexpr std::string_view comparisons[] = {"<", ">", "<=", ">=", "==", "!="};
    if (std::find(std::begin(comparisons), std::end(comparisons), node.op) == std::end(comparisons)) return;
    const int left = integerSignedness(typeOf(node.left.get()));
    const int right = integerSignedness(typeOf(node.right.get()));
    if (left * right != -1) return;
    ExpressionPtr& unsignedSide = left > 0 ? node.left : node.right;
    if (isNonNegativeLiteral(left > 0 ? node.right.get() : node.left.get())) return;
    SimpleTypeExprPtr wide = built<SimpleTypeExpr>(unsignedSide->location);
    wide->name = "long long";
    ExpressionPtr cast = castTo(wide, unsignedSide);
    replaceExpression(unsignedSide, cast);
}

// Arguments are passed const (a scalar as a const value, a class as a const reference); an
// assignment to one would be reported by C++ against the generated signature.
void checkNotArgument(const Expression* target) {
    const StaticExpression* name = nodeCast<StaticExpression>(target);
    if (!name || name->scope) return;
    const ArgumentDeclaration* argument = nodeCast<ArgumentDeclaration>(lookup(name->name, placeOf(name)));
    if (!argument || argument->isMutable) return;
    const TypeOperator* type = nodeCast<TypeOperator>(argument->type.get());
    if (type && type->kind == ReferenceType) type = nodeCast<TypeOperator>(type->operand.get());
    if (type && type->kind == ConstType)
        throw CompileError("argument " + name->name + " is const; copy it into a variable to change it",
                           target->location);
}

void checkAssignment(const OperExpression& node);
void checkStringAddition(const OperExpression& node);

void operation(OperExpression& node, ExpressionPtr& slot) {
    if (node.op == std::string_view("[")) node.op = "#";
    if (node.op == std::string_view("=") || isCompoundAssignment(node.op)) checkNotArgument(node.left.get());
    if (assignThroughSetter(node, slot)) return;
    processExpression(node.left);
    processExpression(node.right);
    // Views compare by length first; a string against a literal measures the literal.
    const std::string_view op = node.op;
    if (op == "=" && node.left && node.right) checkAssignment(node);
    if ((op == "+" || op == "+=") && node.left && node.right) checkStringAddition(node);
    if (!isKnownOperator(node.op)) {
        namedOperator(node, slot);
        return;
    }
    compareAsSigned(node);
}

void prefix(PrefixOperExpression& node, ExpressionPtr&) {
    if (node.op == "++" || node.op == "--") checkNotArgument(node.operand.get());
    processExpression(node.operand);
}

void postfix(PostfixOperExpression& node, ExpressionPtr&) {
    if (node.op == "++" || node.op == "--") checkNotArgument(node.operand.get());
    processExpression(node.operand);
}

void ternary(TernaryOperExpression& node, ExpressionPtr&) {
    processExpression(node.condition);
    processExpression(node.whenTrue);
    processExpression(node.whenFalse);
}

void range(RangeExpression& node, ExpressionPtr&) {
    processExpression(node.start);
    processExpression(node.end);
}

void tuple(TupleExpression& node, ExpressionPtr&) { processExpressions(node.elements); }
void vector(VectorExpression& node, ExpressionPtr&) { processExpressions(node.elements); }
void blockInitializer(CppBlockInitializer& node, ExpressionPtr&) { processExpressions(node.elements); }

void cast(CastExpression& node, ExpressionPtr&) {
    resolveType(node.type, placeOf(&node));
    processExpression(node.operand);
}

// static_cast, dynamic_cast and const_cast of a shared pointer are Boost's pointer casts of
// the pointee type.
void pointerCast(FuncExpression& node) {
    StaticExpression* callee = nodeCast<StaticExpression>(node.function.get());
    if (!callee || callee->scope || !node.templateArgs || node.templateArgs->arguments.size() != 1) return;
    const std::string& name = callee->name;
    if (name != "static_cast" && name != "dynamic_cast" && name != "const_cast") return;
    const TypeOperator* target = nodeCast<TypeOperator>(node.templateArgs->arguments[0].get());
    if (!target || target->kind != SharedPointerType) return;
    node.templateArgs->arguments[0] = target->operand;
    callee->name = "boost::" + name.substr(0, name.size() - 5) + "_pointer_cast";
}

}  // namespace

// The name a declaration is known by in the program: the table key, which for the library's
// basic types is the vorn name ("Int") where the declaration holds the C++ one ("int").
static std::string programName(const SimpleTypeExpr& type) {
    const Declaration* declaration = type.declaration;
    const Block* block = declaration ? nodeCast<Block>(declaration->parent) : nullptr;
    if (block)
        for (const auto& entry : block->names)
            if (entry.second.get() == declaration) return entry.first;
    return type.name;
}

std::string writtenType(const TypeExpression* type, const SimpleTypeNamer& nameOf) {
    if (const SimpleTypeExpr* simple = nodeCast<SimpleTypeExpr>(type)) return nameOf ? nameOf(*simple) : programName(*simple);
    if (nodeCast<FunctionPointerType>(type)) return "C function pointer";
    const TypeOperator* op = nodeCast<TypeOperator>(type);
    if (!op) return "?";
    const std::string operand = writtenType(op->operand.get(), nameOf);
    switch (op->kind) {
    case PointerType:
        return operand + "*";
    case SharedPointerType:
        return operand + "$";
    case ReferenceType:
        return operand + "&";
    case ArrayType:
        return operand + "#";
    case VectorType:
        return "[" + operand + "]";
    case MapType:
        return operand + " -> " + writtenType(op->valueType.get(), nameOf);
    case ConstType:
        return operand + " const";
    default:
        return operand;
    }
}

namespace {

// ---- argument counts of calls ----

// An argument's type as written: without the const and reference that passing added.
std::string writtenArgumentType(const ArgumentDeclaration& argument) {
    const TypeExpression* type = argument.type.get();
    if (!argument.keepsWrittenType) {
        const TypeOperator* reference = nodeCast<TypeOperator>(type);
        if (reference && reference->kind == ReferenceType) {
            const TypeOperator* constant = nodeCast<TypeOperator>(reference->operand.get());
            if (constant && constant->kind == ConstType && passingCategory(constant->operand.get()) == 3)
                type = constant->operand.get();
        }
        const TypeOperator* constant = nodeCast<TypeOperator>(type);
        if (constant && constant->kind == ConstType && passingCategory(constant->operand.get()) == 1)
            type = constant->operand.get();
    }
    return writtenType(type);
}

struct ArgumentRange {
    size_t least = 0;
    size_t most = 0;
};

ArgumentRange argumentRange(const FunctionDeclaration& function) {
    ArgumentRange range;
    for (const ArgumentDeclarationPtr& argument : function.arguments) {
        ++range.most;
        if (argument && !argument->defaultValue) range.least = range.most;
    }
    return range;
}

std::string signature(const FunctionDeclaration& function, const std::string& name) {
    std::string text = name + "(";
    for (size_t i = 0; i < function.arguments.size(); ++i) {
        const ArgumentDeclaration* argument = function.arguments[i].get();
        if (i > 0) text += ", ";
        if (!argument) continue;
        text += writtenArgumentType(*argument);
        if (argument->name.compare(0, 5, "VORN_") != 0) text += " " + argument->name;
        if (argument->defaultValue) text += " = ...";
    }
    const ArgumentRange range = argumentRange(function);
    text += ") takes " + std::to_string(range.least);
    if (range.most != range.least) text += " to " + std::to_string(range.most);
    return text;
}

void collectFunctions(const Block* block, const std::string& name, std::vector<const FunctionDeclaration*>& into) {
    if (!block) return;
    for (const StatementPtr& statement : block->statements)
        if (const FunctionDeclaration* function = nodeCast<FunctionDeclaration>(statement.get()))
            if (function->name == name && std::find(into.begin(), into.end(), function) == into.end())
                into.push_back(function);
}

void collectClassFunctions(ClassDeclaration* start, const std::string& name,
                           std::vector<const FunctionDeclaration*>& into) {
    std::set<ClassDeclaration*> seen;
    std::vector<ClassDeclaration*> pending{start};
    while (!pending.empty()) {
        ClassDeclaration* cls = pending.back();
        pending.pop_back();
        if (!seen.insert(cls).second) continue;
        collectFunctions(cls->body.get(), name, into);
        for (const BaseDeclarationPtr& base : cls->bases)
            if (base)
                if (ClassDeclaration* baseClass = nodeCast<ClassDeclaration>(
                        declarationOf(base->type.get(), placeOf(base.get(), placeOf(cls)))))
                    pending.push_back(baseClass);
    }
}

// Every function of the name that C++ may choose among for the call: those of the class the
// one found belongs to (and its bases), or those at the top level of the module and of every
// module it imports. Empty when C++ may know others.
std::vector<const FunctionDeclaration*> candidates(const FunctionDeclaration& found, const std::string& name,
                                                   Block* place) {
    std::vector<const FunctionDeclaration*> all;
    Module* module = moduleOf(place);
    if (!module || mayUseUnseenNames(module)) return all;
    Block* holder = placeOf(&found);
    if (ClassDeclaration* cls = holder ? nodeCast<ClassDeclaration>(holder->parent) : nullptr) {
        if (!membersAllKnown(cls)) return all;
        collectClassFunctions(cls, name, all);
        return all;
    }
    std::set<const Module*> queued{module};
    std::vector<Module*> pending{module};
    while (!pending.empty()) {
        Module* next = pending.back();
        pending.pop_back();
        if (next->isLibrary || next->name.compare(0, 8, "Library.") == 0) {
            if (next->block && next->block->names.count(name)) return {};
        } else {
            collectFunctions(next->block.get(), name, all);
        }
        for (const auto& imported : next->imports)
            if (imported.second && imported.second->module && queued.insert(imported.second->module.get()).second)
                pending.push_back(imported.second->module.get());
    }
    return all;
}

// ---- values that plainly cannot convert ----

bool namesKnown(Expression& argument);

enum ValueKind { OtherKind, NumberKind, StringKind, LiteralKind, VoidKind };

// What a type is for the checks below: a number, a String, a string literal's const char*,
// or anything else (pointers, classes, template parameters), which C++ judges.
ValueKind kindOf(const TypeExpressionPtr& type) {
    const TypeExpression* bare = type.get();
    while (const TypeOperator* op = nodeCast<TypeOperator>(bare)) {
        if (op->kind != ConstType && op->kind != ReferenceType) return OtherKind;
        bare = op->operand.get();
    }
    const SimpleTypeExpr* simple = nodeCast<SimpleTypeExpr>(bare);
    if (!simple || simple->templateArgs) return OtherKind;
    static const std::set<std::string> numbers{
        "Int", "UInt", "Long", "ULong", "LongLong", "ULongLong", "Short", "UShort", "Float", "Double", "LongDouble",
        "int", "unsigned int", "long", "unsigned long", "long long", "unsigned long long", "short",
        "unsigned short", "float", "double", "long double"};
    if (numbers.count(simple->name)) return NumberKind;
    if (simple->name == "String" || simple->name == "std::string") return StringKind;
    if (simple->name == "const char*") return LiteralKind;
    if (simple->name == "void" || simple->name == "Void") return VoidKind;
    return OtherKind;
}

const char* kindName(ValueKind kind) { return kind == StringKind ? "a String" : kind == LiteralKind ? "a string" : "a number"; }

// Whether a value of kind `from` plainly cannot stand where `to` is wanted. A String taking a
// number is refused as well, though C++ would take it (as one character).
bool cannotConvert(ValueKind from, ValueKind to) {
    if (from == OtherKind || from == VoidKind || to == OtherKind) return false;
    if (to == VoidKind) return true;
    if (to == NumberKind) return from != NumberKind;
    return to == StringKind && from == NumberKind;
}

ValueKind kindOfValue(Expression* value) {
    if (!value || !namesKnown(*value)) return OtherKind;
    return kindOf(typeOf(value));
}

void checkConversion(Expression* value, const TypeExpressionPtr& wanted, const std::string& where) {
    const ValueKind to = kindOf(wanted);
    if (to == OtherKind) return;
    const ValueKind from = kindOfValue(value);
    const TypeExpression* bare = wanted.get();
    while (const TypeOperator* op = nodeCast<TypeOperator>(bare)) bare = op->operand.get();
    if (cannotConvert(from, to))
        throw CompileError(std::string(kindName(from)) + " cannot be " + where + " " + writtenType(bare), value->location);
}

void checkAssignment(const OperExpression& node) {
    const ValueKind to = kindOfValue(node.left.get());
    const ValueKind from = kindOfValue(node.right.get());
    if (cannotConvert(from, to))
        throw CompileError(std::string(kindName(from)) + " cannot be assigned to " + (to == StringKind ? "a String" : "a number"),
                           node.right->location);
}

// C++ would move a literal's pointer along ("a" + 5), refuse two literals, or append a number to a
// String as one character.
// Only literals count as literals: inference types "a" + name as the literal's type, though
// it is a String.
void checkStringAddition(const OperExpression& node) {
    // A macro call in an expression is reported on its own, later.
    if (nodeCast<MacroExpression>(node.left.get()) || nodeCast<MacroExpression>(node.right.get())) return;
    const ValueKind left = kindOfValue(node.left.get());
    const ValueKind right = kindOfValue(node.right.get());
    if ((left == StringKind || left == LiteralKind) && right == NumberKind)
        throw CompileError(std::string("a number cannot be added to ") + kindName(left), node.right->location);
    if (nodeCast<ConstantExpression>(node.left.get()) && nodeCast<ConstantExpression>(node.right.get()) &&
        left == LiteralKind && right == LiteralKind)
        throw CompileError("two strings cannot be added; make the first a String: String:(\"a\") + \"b\"", node.location);
}

// The arguments of a call that only one vorn function can take.
void checkArgumentTypes(FuncExpression& node, const FunctionDeclaration& function, const std::string& name) {
    for (size_t i = 0; i < node.arguments.size() && i < function.arguments.size(); ++i) {
        const ArgumentDeclaration* argument = function.arguments[i].get();
        if (!argument || !argument->type || !node.arguments[i]) continue;
        std::string where = "passed as argument " + std::to_string(i + 1);
        if (argument->name.compare(0, 5, "VORN_") != 0) where += " (" + argument->name + ")";
        checkConversion(node.arguments[i].get(), argument->type, where + " of " + name + ", which takes");
    }
}

void checkArgumentCount(FuncExpression& node) {
    std::string name;
    Declaration* declaration = nullptr;
    if (StaticExpression* callee = nodeCast<StaticExpression>(node.function.get())) {
        if (callee->scope) return;
        name = callee->name;
        declaration = declarationOfName(*callee);
    } else if (SubExpression* access = nodeCast<SubExpression>(node.function.get())) {
        name = access->member;
        declaration = memberDenoted(*access);
    }
    const FunctionDeclaration* found = nodeCast<FunctionDeclaration>(declaration);
    if (!found || found->name != name) return;
    std::vector<const FunctionDeclaration*> all = candidates(*found, name, placeOf(&node));
    if (all.empty()) return;
    const size_t given = node.arguments.size();
    std::string declarations;
    if (all.size() == 1 && !found->templateDecl) {
        const ArgumentRange range = argumentRange(*found);
        if (given >= range.least && given <= range.most) checkArgumentTypes(node, *found, name);
    }
    for (const FunctionDeclaration* function : all) {
        const ArgumentRange range = argumentRange(*function);
        if (given >= range.least && given <= range.most) return;
        declarations += (declarations.empty() ? "" : ", ") + signature(*function, name);
    }
    throw CompileError("No function " + name + " takes " + std::to_string(given) +
                           (given == 1 ? " argument; " : " arguments; ") + declarations,
                       node.location);
}

// ---- strings handed to C ----

bool isStringType(const TypeExpressionPtr& type) { return kindOf(type) == StringKind; }

// A function of C's: one a header declares (a macro too), or one of the library's C functions
// (printf, puts). Its parameters never take a std::string, and C's "..." would take its bytes.
bool takesCStrings(const Declaration* declaration) {
    if (!declaration) return false;
    Block* holder = declaration->statementSlot().block;
    if (!holder) holder = nodeCast<Block>(declaration->parent);
    Module* module = holder ? moduleOf(holder) : nullptr;
    if (!module) return false;
    if (!module->headerPath.empty()) return true;
    return (module->isLibrary || module->name.compare(0, 8, "Library.") == 0) && nodeCast<FunctionDeclaration>(declaration);
}

// Whether the name an argument is or calls is declared: one that C++ alone knows (verbatim
// code's) has no type to ask for, and asking would only warn.
bool namesKnown(Expression& argument) {
    Expression* head = &argument;
    if (FuncExpression* call = nodeCast<FuncExpression>(head)) head = call->function.get();
    StaticExpression* name = nodeCast<StaticExpression>(head);
    return !name || declarationOfName(*name);
}

// A String passed to a C function is passed as its characters (s.c_str()), as a C
// programmer would write it: otherwise printf("%s", s) prints garbage, and strlen(s) fails.
void passStringsAsCharacters(FuncExpression& node) {
    StaticExpression* callee = nodeCast<StaticExpression>(node.function.get());
    Declaration* declaration = callee ? declarationOfName(*callee) : nullptr;
    if (!takesCStrings(declaration)) return;
    const FunctionDeclaration* function = nodeCast<FunctionDeclaration>(declaration);
    for (size_t i = 0; i < node.arguments.size(); ++i) {
        ExpressionPtr& argument = node.arguments[i];
        // A C++ header's std::string parameter takes the String itself; C's "..." does not.
        const bool declared = function && i < function->arguments.size() && function->arguments[i];
        if (declared && !nodeCast<TypeOperator>(function->arguments[i]->type.get())) continue;
        if (declared && isStringType(function->arguments[i]->type)) continue;
        if (!argument || !namesKnown(*argument) || !isStringType(typeOf(argument.get()))) continue;
        SubExpressionPtr member = built<SubExpression>(argument->location);
        member->object = argument;
        member->member = "c_str";
        FuncExpressionPtr characters = built<FuncExpression>(argument->location);
        characters->function = member;
        replaceExpression(argument, characters);
    }
}

void call(FuncExpression& node, ExpressionPtr&) {
    processExpression(node.function);
    processTemplateArguments(node.templateArgs);
    processExpressions(node.arguments);
    checkArgumentCount(node);
    pointerCast(node);
    passStringsAsCharacters(node);
}

// ---- the with-block of a construction ----

// The member of the temporary that a name in a with-block stands for.
ExpressionPtr memberOfTemporary(const std::string& temporary, const StaticExpression& name, bool throughPointer) {
    SubExpressionPtr member = made<SubExpression>(name.location);
    member->object = nameNode(temporary, name.location);
    member->member = name.name;
    member->isArrow = throughPointer;
    return member;
}

// Rewrites one with-block statement against the temporary; false when it is not an
// assignment or call of a plain name.
bool rewriteWithStatement(Statement& statement, const std::string& temporary, bool throughPointer);

bool rewriteName(ExpressionPtr& side, const std::string& temporary, bool throughPointer) {
    StaticExpression* name = nodeCast<StaticExpression>(side.get());
    if (!name) return false;
    const bool plain = !name->scope;
    side = memberOfTemporary(temporary, *name, throughPointer);
    return plain;
}

bool rewriteWithStatement(Statement& statement, const std::string& temporary, bool throughPointer) {
    if (ExpressionStatement* expression = nodeCast<ExpressionStatement>(&statement)) {
        if (FuncExpression* call = nodeCast<FuncExpression>(expression->expression.get()))
            return rewriteName(call->function, temporary, throughPointer);
        if (OperExpression* op = nodeCast<OperExpression>(expression->expression.get()))
            return rewriteName(op->left, temporary, throughPointer);
        return false;
    }
    if (IfStatement* branch = nodeCast<IfStatement>(&statement)) {
        BlockList blocks = branch->blocks;
        if (branch->elseBlock) blocks.push_back(branch->elseBlock);
        for (const BlockPtr& block : blocks)
            if (block)
                for (const StatementPtr& inner : block->statements)
                    if (inner && !rewriteWithStatement(*inner, temporary, throughPointer))
                        reportError("Only assignment/function call in with block", inner->location);
        return true;
    }
    return false;
}

// A capitalised word alone reads as a construction without arguments (Point p = Point); when
// it names a value instead (a header's constant, an enumerator, a function), it is that value.
// The same for A.B, a nested type or a member value of A (an item of an enum class).
StaticExpressionPtr valueNamed(const CtorExpression& node) {
    if (node.isHeap || node.hasArguments || node.initializer) return StaticExpressionPtr();
    Block* place = placeOf(&node);
    Declaration* declaration = nullptr;
    StaticExpressionPtr value;
    if (const SimpleTypeExpr* type = nodeCast<SimpleTypeExpr>(node.type.get())) {
        if (type->templateArgs) return value;
        declaration = lookup(type->name, place);
        value = nameNode(type->name, node.location);
    } else if (const SubTypeExpr* nested = nodeCast<SubTypeExpr>(node.type.get())) {
        if (nested->templateArgs || !nested->scope) return value;
        TypeExpressionPtr scope = nested->scope;
        resolveType(scope, place);
        Declaration* holder = declarationOf(scope.get(), place);
        declaration = holder ? lookupMember(nested->name, holder) : nullptr;
        value = nameNode(nested->name, node.location);
        value->scope = scope;
    }
    // A function too: Create() reads as a construction followed by a call.
    if (!nodeCast<DataDeclaration>(declaration)) return StaticExpressionPtr();
    return value;
}

void construction(CtorExpression& node, ExpressionPtr& slot) {
    if (StaticExpressionPtr value = valueNamed(node)) {
        replaceExpression(slot, value);
        processExpression(slot);
        return;
    }
    resolveType(node.type, placeOf(&node));
    processExpressions(node.arguments);
    if (!node.initializer) return;
    BlockPtr with = node.initializer;
    node.initializer.reset();
    const std::string temporary = makeUniqueName("WITH_TEMP");
    const bool throughPointer = node.isHeap || node.isShared;

    VariableDeclarationPtr declaration = made<VariableDeclaration>(node.location);
    declaration->name = temporary;
    declaration->type = node.type;
    if (node.isHeap) {
        TypeOperatorPtr wrapper = made<TypeOperator>(node.location);
        wrapper->kind = node.isShared ? SharedPointerType : PointerType;
        wrapper->operand = node.type;
        declaration->type = wrapper;
    }
    declaration->initializers.push_back(slot);
    // Kept: linking the declaration moves the construction's own slot into it.
    const StatementSlot current = node.statementSlot();
    // The member assignments would stand among declarations (a field's initialiser, say).
    if (isMemberBody(current.block))
        throw CompileError("Only declarations allowed in this scope",
                           with->statements.empty() || !with->statements.front() ? node.location
                                                                                 : with->statements.front()->location);
    ASTObject* const holder = node.parent;
    StatementList::iterator declared = insertAt(current, declaration);
    processStatement(*declared, false);

    for (StatementPtr& statement : with->statements) {
        if (!statement) continue;
        if (!rewriteWithStatement(*statement, temporary, throughPointer))
            reportError("Only assignment/function call in with block", statement->location);
    }
    for (const StatementPtr& statement : with->statements) {
        if (!statement) continue;
        StatementList::iterator entry = insertAt(current, statement);
        processStatement(*entry, false);
    }
    slot = nameNode(temporary, node.location);
    ParentFinder().linkChild(holder, slot.get(), current);
    slot->processed = true;
}

// ---- anonymous functions ----

// C++ has no nested functions, so the function goes before the member-level declaration
// that holds the expression, under a name of its own.
void anonymousFunction(AnonFuncExpression& node, ExpressionPtr& slot) {
    FunctionDeclarationPtr function = made<FunctionDeclaration>(node.location);
    function->name = makeUniqueName("ANON_FUNCTION");
    function->type = node.result;
    function->arguments = node.arguments;
    function->body = node.body ? node.body : made<Block>(node.location);
    ASTObject* outer = &node;
    while (outer->statementSlot().isSet() && !isMemberBody(outer->statementSlot().block))
        outer = outer->statementSlot().block;
    insertDeclarationBefore(*outer, function);
    processDeclaration(function.get());
    ConstantExpressionPtr name = made<ConstantExpression>(node.location);
    name->value = function->name;
    name->processed = true;
    replaceExpression(slot, name);
}

const ExpressionDispatch& expressionKinds() {
    typedef ExpressionDispatch D;
    static const D table(sourceFile, "lowering", {
        D::on<ConstantExpression, &nothing>(),
        D::on<MacroExpression, &macroExpression>(),
        D::on<VariableDeclarationExpression, &nothing>(),
        D::on<TokensExpression, &nothing>(),
        D::on<OperExpression, &operation>(),
        D::on<PrefixOperExpression, &prefix>(),
        D::on<PostfixOperExpression, &postfix>(),
        D::on<TernaryOperExpression, &ternary>(),
        D::on<RangeExpression, &range>(),
        D::on<TupleExpression, &tuple>(),
        D::on<VectorExpression, &vector>(),
        D::on<CppBlockInitializer, &blockInitializer>(),
        D::on<CastExpression, &cast>(),
        D::on<SubExpression, &memberAccess>(),
        D::on<StaticExpression, &staticName>(),
        D::on<FuncExpression, &call>(),
        D::on<CtorExpression, &construction>(),
        D::on<AnonFuncExpression, &anonymousFunction>(),
    });
    return table;
}
[[maybe_unused]] const bool expressionKindsListed = listNodeDispatch(&expressionKinds);

// ---- initialisers of constructors ----

// The function whose body holds a statement, or null at member level.
const FunctionDeclaration* enclosingFunction(const ASTObject& node) {
    for (const ASTObject* at = node.parent; at; at = at->parent)
        if (const FunctionDeclaration* function = nodeCast<FunctionDeclaration>(at)) return function;
    return nullptr;
}

void processInitializer(InitStatement& init) {
    ClassDeclaration* cls = enclosingClass(init);
    if (!cls) {
        reportError("Initializers only in classes", init.location);
        return;
    }
    // C++ has an initialiser list only in constructors; elsewhere it would be dropped unseen.
    const FunctionDeclaration* function = enclosingFunction(init);
    if (function && (function->type || (!function->name.empty() && function->name[0] == '~'))) {
        reportError("Initializers only in constructors", init.location);
        return;
    }
    Block* place = placeOf(&init);
    if (init.member != "base") {
        lookupMember(init.member, cls);
    } else if (!init.type) {
        if (cls->bases.size() == 1 && cls->bases[0]) {
            init.type = cls->bases[0]->type;
        } else if (cls->bases.empty()) {
            reportError("Cannot intialize bases, class has no base classes", init.location);
        } else {
            reportError("Cannot intialize bases, class has more then one base", init.location);
            reportError("Use 'base NameOfBase:()'", init.location);
        }
    }
    resolveType(init.type, place);
    processExpressions(init.arguments);
}

// ---- statements ----

typedef NodeDispatch<void(Statement&, StatementPtr&, bool)> StatementDispatch;

void processBlock(const BlockPtr& block, bool last) {
    if (block) processBody(*block, last);
}

// Only a C macro can take a body after its call (it expands to the head of a for or while);
// after a function C++ would run the call and then the block once, unrelated.
void checkStatementMacro(ExpressionStatement& node) {
    const FuncExpression* call = nodeCast<FuncExpression>(node.expression.get());
    StaticExpression* callee = call ? nodeCast<StaticExpression>(call->function.get()) : nullptr;
    Declaration* declaration = callee ? declarationOfName(*callee) : nullptr;
    const CppConstantMacroDeclaration* macro = nodeCast<CppConstantMacroDeclaration>(declaration);
    if (macro && macro->functionLike) return;
    if (callee && !declaration && mayUseUnseenNames(moduleOf(placeOf(&node)))) return;
    throw CompileError("Only a call of a C macro that opens a statement takes an indented body", node.body->location);
}

void expressionStatement(ExpressionStatement& node, StatementPtr& slot, bool last) {
    if (node.body) {
        checkStatementMacro(node);
        processExpression(node.expression);
        processBlock(node.body, false);
        return;
    }
    processExpression(node.expression);
    if (!last || !node.expression) return;
    ReturnStatementPtr result = made<ReturnStatement>(node.location);
    result->value = node.expression;
    result->processed = true;
    replaceStatement(slot, result);
}

// "if x = 2" assigns and tests what it assigned; written for a comparison nearly always.
void checkNotAssignment(const Expression* condition) {
    const OperExpression* assignment = nodeCast<OperExpression>(condition);
    if (assignment && assignment->op == "=")
        throw CompileError("= in a condition assigns; write == to compare", assignment->location);
}

void ifStatement(IfStatement& node, StatementPtr&, bool last) {
    for (const ExpressionPtr& condition : node.conditions) checkNotAssignment(condition.get());
    processExpressions(node.conditions);
    for (const BlockPtr& block : node.blocks) processBlock(block, last);
    processBlock(node.elseBlock, last);
}

void blockStatement(BlockStatement& node, StatementPtr&, bool last) { processBlock(node.block, last); }

void tryStatement(TryStatement& node, StatementPtr&, bool last) {
    processBlock(node.body, last);
    for (const CatchStatementPtr& handler : node.handlers) {
        if (!handler) continue;
        handler->processed = true;
        resolveType(handler->type, placeOf(handler.get()));
        processBlock(handler->body, last);
    }
}

// ---- loops ----

ExpressionPtr binary(const ExpressionPtr& left, const std::string& op, const ExpressionPtr& right) {
    OperExpressionPtr node = built<OperExpression>(left->location);
    node->left = left;
    node->op = op;
    node->right = right;
    return node;
}

ExpressionPtr prefixed(const std::string& op, const ExpressionPtr& operand) {
    PrefixOperExpressionPtr node = built<PrefixOperExpression>(operand->location);
    node->op = op;
    node->operand = operand;
    return node;
}

ExpressionPtr postfixed(const ExpressionPtr& operand, const std::string& op) {
    PostfixOperExpressionPtr node = built<PostfixOperExpression>(operand->location);
    node->operand = operand;
    node->op = op;
    return node;
}

// object.member() or, for a function of the standard library, std::member(object).
ExpressionPtr memberCall(const ExpressionPtr& object, const std::string& member, bool freeFunction) {
    FuncExpressionPtr call = built<FuncExpression>(object->location);
    if (freeFunction) {
        call->function = builtName("std::" + member, object->location);
        call->arguments.push_back(object);
        return call;
    }
    SubExpressionPtr callee = built<SubExpression>(object->location);
    callee->object = object;
    callee->member = member;
    call->function = callee;
    return call;
}

TypeExpressionPtr spelledType(const std::string& spelling, const SourceLocation& at) {
    SimpleTypeExprPtr type = built<SimpleTypeExpr>(at);
    type->name = spelling;
    return type;
}

VariableDeclarationPtr hiddenVariable(const std::string& name, const TypeExpressionPtr& type, const ExpressionPtr& value,
                                      const SourceLocation& at) {
    VariableDeclarationPtr variable = built<VariableDeclaration>(at);
    variable->name = name;
    variable->type = type;
    variable->initializers.push_back(value);
    return variable;
}

ExpressionPtr joined(const ExpressionPtr& first, const std::string& op, const ExpressionPtr& second) {
    if (!first) return second;
    if (!second) return first;
    return binary(first, op, second);
}

// What one part of a loop adds to the C++ for statement: declarations before it, its share
// of the first clause, of the test and of the step, and declarations at the top of the body.
struct LoopPieces {
    StatementList before;
    ExpressionPtr start, test, step;
    StatementList bodyStart;
};

bool isEnumType(const TypeExpressionPtr& type, Block* place) {
    return nodeCast<EnumDeclaration>(declarationOf(type.get(), place)) != nullptr;
}

// A bound that is read on every round is evaluated once, before the loop, unless it is a
// literal.
ExpressionPtr boundOnce(const ExpressionPtr& bound, const TypeExpressionPtr& type, const std::string& name,
                        LoopPieces& pieces) {
    if (nodeCast<ConstantExpression>(bound.get())) return bound;
    TypeOperatorPtr constant = built<TypeOperator>(bound->location);
    constant->kind = ConstType;
    constant->operand = type;
    pieces.before.push_back(hiddenVariable(name, constant, bound, bound->location));
    return builtName(name, bound->location);
}

ExpressionPtr asInt(const ExpressionPtr& value) { return castTo(spelledType("int", value->location), value); }

// A range walks a counter: the loop variable itself, or for an enum an int converted to the
// enum at the top of the body (C++ has no ++ on enums). An empty range runs no round, an end
// is tested before each round, and a reversed range never steps below its lower bound, so
// unsigned counters down to 0 end too.
void rangePieces(ForPart& part, RangeExpression& range, LoopPieces& pieces) {
    const SourceLocation& at = part.location;
    const bool isEnum = isEnumType(part.type, placeOf(&part));
    const std::string counter = isEnum ? "VORN_COUNT" + part.name : part.name;
    const TypeExpressionPtr counterType = isEnum ? spelledType("int", at) : part.type;
    auto value = [&](const ExpressionPtr& bound) { return isEnum ? asInt(bound) : bound; };
    auto name = [&] { return builtName(counter, at); };
    if (!part.isReverse) {
        pieces.before.push_back(hiddenVariable(counter, counterType, value(range.start), at));
        if (!range.startIncluded) pieces.start = prefixed("++", name());
        if (range.end) {
            ExpressionPtr end = boundOnce(value(range.end), counterType, "VORN_END" + part.name, pieces);
            pieces.test = binary(name(), range.endIncluded ? "<=" : "<", end);
        }
        pieces.step = prefixed("++", name());
    } else {
        if (!range.end)
            throw CompileError("A reversed range needs an end: " + part.name, part.location);
        pieces.before.push_back(hiddenVariable(counter, counterType, value(range.end), at));
        ExpressionPtr low = boundOnce(value(range.start), counterType, "VORN_END" + part.name, pieces);
        if (range.endIncluded && !range.startIncluded) {
            pieces.test = binary(name(), ">", low);
            pieces.step = prefixed("--", name());
        } else if (range.startIncluded) {
            // The test steps down before each round, from one above the top when the top is in.
            if (range.endIncluded) pieces.start = prefixed("++", name());
            pieces.test = binary(postfixed(name(), "--"), ">", low);
        } else {
            pieces.test = binary(binary(name(), ">", low), "&&", binary(prefixed("--", name()), ">", low));
        }
    }
    if (isEnum) {
        VariableDeclarationPtr variable = hiddenVariable(part.name, part.type, castTo(part.type, name()), at);
        variable->maybeUnused = true;
        pieces.bodyStart.push_back(variable);
    }
}

// Only a name or a chain of members of a name is read twice (for begin and end) as written;
// anything else, a call above all, is evaluated once into a reference.
bool readsAsWritten(const Expression* expression) {
    while (const SubExpression* access = nodeCast<SubExpression>(expression)) expression = access->object.get();
    return nodeCast<StaticExpression>(expression) != nullptr;
}

// A container walks an iterator from begin to end (rbegin to rend reversed); the loop
// variable refers to each element in turn.
void containerPieces(ForPart& part, LoopPieces& pieces) {
    const SourceLocation& at = part.location;
    ExpressionPtr container = part.range;
    TypeExpressionPtr containerType = typeOf(container.get());
    bool isArray = false;
    for (TypeExpressionPtr type = containerType; const TypeOperator* op = nodeCast<TypeOperator>(type.get());
         type = op->operand) {
        if (op->kind == PointerType || op->kind == SharedPointerType) {
            container = prefixed("*", container);
            continue;
        }
        if (op->kind == ArrayType) isArray = true;
        if (op->kind != ConstType && op->kind != VolatileType && op->kind != ReferenceType) break;
    }
    if (!readsAsWritten(container.get())) {
        const std::string holder = "VORN_RANGE" + part.name;
        pieces.before.push_back(hiddenVariable(holder, spelledType("auto&&", at), container, at));
        container = builtName(holder, at);
    }
    const std::string iterator = "VORN_IT" + part.name;
    const std::string end = "VORN_END" + part.name;
    pieces.before.push_back(hiddenVariable(
        iterator, spelledType("auto", at), memberCall(container, part.isReverse ? "rbegin" : "begin", isArray), at));
    pieces.before.push_back(
        hiddenVariable(end, spelledType("auto", at), memberCall(container, part.isReverse ? "rend" : "end", isArray), at));
    pieces.test = binary(builtName(iterator, at), "!=", builtName(end, at));
    pieces.step = prefixed("++", builtName(iterator, at));
    // A written type is the variable's; an inferred one is vorn's, and C++ deduces the same.
    TypeExpressionPtr elementType = part.elementType ? spelledType("auto&&", at) : part.type;
    VariableDeclarationPtr element = hiddenVariable(part.name, elementType, prefixed("*", builtName(iterator, at)), at);
    element->maybeUnused = true;
    pieces.bodyStart.push_back(element);
}

// A loop of parts walked in step becomes
//   { hidden variables; for(first; test && test; step, step) { element variables; body } }
// so that continue still steps every part and the iterated expression is evaluated once.
void lowerLoop(ForStatement& node, StatementPtr& slot) {
    const SourceLocation& at = node.location;
    BlockPtr outer = built<Block>(at);
    CppForStatementPtr loop = built<CppForStatement>(at);
    BlockPtr body = node.body ? node.body : built<Block>(at);
    StatementList bodyStart;
    for (const ForPartPtr& part : node.parts) {
        if (!part) continue;
        LoopPieces pieces;
        if (RangeExpression* range = nodeCast<RangeExpression>(part->range.get()))
            rangePieces(*part, *range, pieces);
        else
            containerPieces(*part, pieces);
        outer->statements.splice(outer->statements.end(), pieces.before);
        bodyStart.splice(bodyStart.end(), pieces.bodyStart);
        loop->initialization = joined(loop->initialization, ",", pieces.start);
        loop->condition = joined(loop->condition, "&&", pieces.test);
        loop->step = joined(loop->step, ",", pieces.step);
    }
    body->statements.splice(body->statements.begin(), bodyStart);
    loop->body = body;
    outer->statements.push_back(loop);
    BlockStatementPtr replacement = built<BlockStatement>(at);
    replacement->block = outer;
    replaceStatement(slot, replacement);
}

// A loop never yields the function's value.
void forStatement(ForStatement& node, StatementPtr& slot, bool) {
    for (const ForPartPtr& part : node.parts) processDeclaration(part.get());
    processBlock(node.body, false);
    for (const ForPartPtr& part : node.parts)
        if (!part || !part->type) return;  // reported where its type could not be found
    lowerLoop(node, slot);
}

void whileStatement(WhileStatement& node, StatementPtr&, bool) {
    checkNotAssignment(node.condition.get());
    processExpression(node.condition);
    processBlock(node.body, false);
}

void cppSwitch(CppSwitchStatement& node, StatementPtr&, bool) {
    processExpression(node.expression);
    processBlock(node.body, false);
}

void cppFor(CppForStatement& node, StatementPtr&, bool) {
    processExpression(node.initialization);
    processExpression(node.condition);
    processExpression(node.step);
    processBlock(node.body, false);
}

void cppCase(CppCaseStatement& node, StatementPtr&, bool) { processExpression(node.expression); }
void returnStatement(ReturnStatement& node, StatementPtr&, bool) {
    processExpression(node.value);
    if (!node.value) return;
    for (ASTObject* at = node.parent; at; at = at->parent) {
        if (nodeCast<AnonFuncExpression>(at) || nodeCast<PropertyDeclaration>(at)) return;
        if (FunctionDeclaration* function = nodeCast<FunctionDeclaration>(at)) {
            if (function->type && !function->templateDecl)
                checkConversion(node.value.get(), function->type, "returned from " + function->name + ", which returns");
            return;
        }
    }
}
void throwStatement(ThrowStatement& node, StatementPtr&, bool) { processExpression(node.value); }
void deleteStatement(DeleteStatement& node, StatementPtr&, bool) { processExpression(node.operand); }
void initStatement(InitStatement& node, StatementPtr&, bool) { processInitializer(node); }
void skipStatement(Statement&, StatementPtr&, bool) {}

void declaration(Declaration& node, StatementPtr&, bool) { processDeclaration(&node); }

// A namespace needs no analysis of its own, but its members are statements like any other.
void namespaceDeclaration(NamespaceDeclaration& node, StatementPtr&, bool) {
    processDeclaration(&node);
    processBlock(node.body, false);
}

void friendDeclaration(FriendDeclaration& node, StatementPtr&, bool) { processDeclaration(node.declaration.get()); }

// Expands the macro a statement calls; what the macro delivers takes the statement's entry
// and is processed in its place. A delivered macro statement is expanded in turn, up to the
// expander's nesting bound.
void macroStatement(MacroStatement&, StatementPtr& slot, bool last) {
    for (int expansions = 0;; ++expansions) {
        MacroStatement* statement = nodeCast<MacroStatement>(slot.get());
        if (!statement) break;
        if (expansions >= maxMacroDepth)
            throw CompileError("macro expansion nests deeper than " + std::to_string(maxMacroDepth) + " levels",
                               statement->location);
        StatementSlot at = statement->statementSlot();
        MacroExpansion expansion = expandMacroStatement(*statement);
        if (expansion.outcome == MacroExpansion::NotAMacro) {
            if (statement->call) checkPassThroughCall(*statement->call);
            return;
        }
        if (expansion.outcome == MacroExpansion::Removed) {
            // The entry stays, empty, until the body it stands in has been processed.
            slot.reset();
            return;
        }
        if (!at.isSet()) throw CompileError("Can't add statement");
        slot = expansion.replacement;
        ParentFinder().linkInserted(at.block, at.entry);
    }
    processStatement(slot, last);
}

const StatementDispatch& statementKinds() {
    typedef StatementDispatch D;
    static const D table(sourceFile, "lowering", {
        D::on<ExpressionStatement, &expressionStatement>(),
        D::on<IfStatement, &ifStatement>(),
        D::on<BlockStatement, &blockStatement>(),
        D::on<TryStatement, &tryStatement>(),
        D::on<ForStatement, &forStatement>(),
        D::on<WhileStatement, &whileStatement>(),
        D::on<CppSwitchStatement, &cppSwitch>(),
        D::on<CppForStatement, &cppFor>(),
        D::on<CppCaseStatement, &cppCase>(),
        D::on<InitStatement, &initStatement>(),
        D::on<ReturnStatement, &returnStatement>(),
        D::on<ThrowStatement, &throwStatement>(),
        D::on<DeleteStatement, &deleteStatement>(),
        D::on<BreakStatement, &skipStatement>(),
        D::on<ContinueStatement, &skipStatement>(),
        D::on<UsingDeclaration, &skipStatement>(),
        D::on<UsingNamespaceDeclaration, &skipStatement>(),
        D::on<MacroStatement, &macroStatement>(),
        D::on<NamespaceDeclaration, &namespaceDeclaration>(),
        D::on<FriendDeclaration, &friendDeclaration>(),
        D::on<Declaration, &declaration>(),
    });
    return table;
}
[[maybe_unused]] const bool statementKindsListed = listNodeDispatch(&statementKinds);

void runStatement(StatementPtr& slot, bool last) {
    Statement* statement = slot.get();
    if (!nodeCast<Declaration>(statement)) {
        if (statement->processed) return;
        statement->processed = true;
    }
    statementKinds()(*statement, slot, last);
}

// ---- functions ----

bool isVoid(const TypeExpression* type) {
    const SimpleTypeExpr* simple = nodeCast<SimpleTypeExpr>(type);
    return simple && !simple->templateArgs && (simple->name == "void" || simple->name == "Void");
}

std::string operatorName(const std::string& spelling) {
    if (spelling == "#" || spelling == "]") return "operator []";
    if (spelling == ")") return "operator ()";
    if (isKnownOperator(spelling)) return "operator" + spelling;
    return operatorFunctionName(spelling);
}

// The function also answers to its new name in its block, so calls written with the name
// C++ sees are typed like calls of the declaration.
void rename(FunctionDeclaration& function, const std::string& name) {
    function.name = name;
    const StatementSlot& slot = function.statementSlot();
    if (slot.isSet() && *slot.entry && slot.entry->get() == &function)
        slot.block->names.emplace(name, boost::static_pointer_cast<Declaration>(*slot.entry));
}

void nameFunction(FunctionDeclaration& function) {
    ClassDeclaration* cls = classOfMember(function);
    if (cls && !function.type && function.name == "construct") {
        function.name = cls->name;
        return;
    }
    if (cls && !function.type && function.name == "destruct") {
        function.name = "~" + cls->name;
        return;
    }
    if (function.isOperator) {
        rename(function, operatorName(function.name));
        return;
    }
    if (!cls) return;
    for (const BaseDeclarationPtr& base : cls->bases) {
        Declaration* baseClass = base ? declarationOf(base->type.get(), placeOf(base.get(), placeOf(cls))) : nullptr;
        Declaration* inherited = baseClass ? lookupMember(function.name, baseClass) : nullptr;
        if (inherited) {
            function.name = inherited->name;
            return;
        }
    }
}

// The type a candidate takes an argument as, without the const and reference of the passing
// convention: what the argument is converted to.
TypeExpressionPtr convertedType(TypeExpressionPtr type) {
    for (;;) {
        const TypeOperator* op = nodeCast<TypeOperator>(type.get());
        if (!op || (op->kind != ReferenceType && op->kind != ConstType)) return type;
        type = op->operand;
    }
}

ExpressionPtr conjunction(const std::vector<std::string>& names, const SourceLocation& at) {
    ExpressionPtr result;
    for (const std::string& name : names) {
        if (!result) {
            result = nameNode(name, at);
            continue;
        }
        OperExpressionPtr both = made<OperExpression>(at);
        both->left = result;
        both->op = "&&";
        both->right = nameNode(name, at);
        result = both;
    }
    return result;
}

// The statements that try one candidate: each virtual argument converted into a variable,
// then, if every conversion gave a pointer, the candidate's call.
void tryCandidate(const FunctionDeclaration& dispatcher, const FunctionDeclaration& candidate, bool returnsValue,
                  Block& body) {
    const SourceLocation& at = dispatcher.location;
    FuncExpressionPtr call = made<FuncExpression>(at);
    call->function = nameNode(candidate.name, at);
    std::vector<std::string> converted;
    for (size_t i = 0; i < dispatcher.arguments.size(); ++i) {
        const ArgumentDeclaration& argument = *dispatcher.arguments[i];
        if (!argument.isVirtual) {
            call->arguments.push_back(nameNode(argument.name, at));
            continue;
        }
        TypeExpressionPtr target = convertedType(candidate.arguments[i]->type);
        VariableDeclarationPtr variable = made<VariableDeclaration>(at);
        variable->name = makeUniqueName("VIRTUAL_VAR");
        variable->type = target;
        FuncExpressionPtr conversion = made<FuncExpression>(at);
        conversion->function = nameNode("dynamic_cast", at);
        conversion->templateArgs = made<TemplateCall>(at);
        conversion->templateArgs->arguments.push_back(target);
        conversion->arguments.push_back(nameNode(argument.name, at));
        variable->initializers.push_back(conversion);
        body.statements.push_back(variable);
        converted.push_back(variable->name);
        call->arguments.push_back(nameNode(variable->name, at));
    }
    IfStatementPtr guard = made<IfStatement>(at);
    guard->conditions.push_back(conjunction(converted, at));
    BlockPtr then = made<Block>(at);
    ReturnStatementPtr done = made<ReturnStatement>(at);
    if (returnsValue) {
        done->value = call;
    } else {
        ExpressionStatementPtr statement = made<ExpressionStatement>(at);
        statement->expression = call;
        then->statements.push_back(statement);
    }
    then->statements.push_back(done);
    guard->blocks.push_back(then);
    body.statements.push_back(guard);
}

bool hasVirtualArgument(const FunctionDeclaration& function) {
    for (const ArgumentDeclarationPtr& argument : function.arguments)
        if (argument && argument->isVirtual) return true;
    return false;
}

bool hasTypedArguments(const FunctionDeclaration& function) {
    for (const ArgumentDeclarationPtr& argument : function.arguments)
        if (!argument || !argument->type) return false;
    return true;
}

// A function with virtual arguments calls the first function of the same name and arity in
// its block, in body order, whose arguments the actual ones convert to. When none does, it
// throws: a value-returning function must not fall off its end, and a void one would
// silently do nothing.
void buildDispatcher(FunctionDeclaration& dispatcher, bool returnsValue) {
    BlockPtr body = made<Block>(dispatcher.location);
    const StatementSlot& slot = dispatcher.statementSlot();
    if (slot.isSet()) {
        for (const StatementPtr& statement : slot.block->statements) {
            const FunctionDeclaration* candidate = nodeCast<FunctionDeclaration>(statement.get());
            if (!candidate || candidate == &dispatcher || candidate->arguments.size() != dispatcher.arguments.size() ||
                hasVirtualArgument(*candidate) || !hasTypedArguments(*candidate))
                continue;
            const std::string& written = candidate->name;
            if (written != dispatcher.name) continue;
            tryCandidate(dispatcher, *candidate, returnsValue, *body);
        }
    }
    ThrowStatementPtr none = made<ThrowStatement>(dispatcher.location);
    FuncExpressionPtr error = made<FuncExpression>(dispatcher.location);
    error->function = nameNode("std::invalid_argument", dispatcher.location);
    error->function->processed = true;
    ConstantExpressionPtr text = made<ConstantExpression>(dispatcher.location);
    text->value = "\"" + dispatcher.name + ": no function of this name takes the arguments' dynamic types\"";
    error->arguments.push_back(text);
    none->value = error;
    body->statements.push_back(none);
    dispatcher.body = body;
    ParentFinder().linkBlock(&dispatcher, body.get(), false);
}

void processTemplateDeclaration(const TemplateDeclarationPtr& declaration) {
    if (!declaration) return;
    Block* place = placeOf(declaration.get());
    for (const TemplateArgumentDeclarationPtr& argument : declaration->arguments) {
        if (!argument) continue;
        resolveType(argument->type, place);
        resolveType(argument->defaultType, place);
        processExpression(argument->defaultValue);
    }
    processTemplateArguments(declaration->specialization);
}

// The names a body mentions: plain names, and words of verbatim C++ (which may use any).
void collectMentions(ASTObject& root, std::set<std::string>& names) {
    std::vector<ASTObject*> pending{&root};
    while (!pending.empty()) {
        ASTObject* node = pending.back();
        pending.pop_back();
        if (const StaticExpression* name = nodeCast<StaticExpression>(node)) {
            if (!name->scope) names.insert(name->name);
        } else if (const TokensExpression* tokens = nodeCast<TokensExpression>(node)) {
            for (const Token& token : *tokens) names.insert(token.text);
        }
        appendChildNodes(*node, pending);
    }
}

// An argument that the body never names (a virtual function's default, a callback that
// ignores one) is valid: C++ is told so instead of warning about it.
void markUnusedArguments(FunctionDeclaration& function) {
    std::set<std::string> mentioned;
    bool collected = false;
    for (const ArgumentDeclarationPtr& argument : function.arguments) {
        if (!argument || argument->maybeUnused || argument->name.empty()) continue;
        if (!collected) {
            collectMentions(*function.body, mentioned);
            collected = true;
        }
        if (!mentioned.count(argument->name)) argument->maybeUnused = true;
    }
}

// The last if of a body that has no else, followed into the branches of the last statement: a
// function whose value comes from it ends without one when no branch is taken, which C++ only
// warns about.
const IfStatement* endsInOpenIf(const Block* block) {
    if (!block) return nullptr;
    const Statement* last = nullptr;
    for (const StatementPtr& statement : block->statements)
        if (statement) last = statement.get();
    const IfStatement* choice = nodeCast<IfStatement>(last);
    if (!choice) return nullptr;
    if (!choice->elseBlock) return choice;
    for (const BlockPtr& branch : choice->blocks)
        if (const IfStatement* open = endsInOpenIf(branch.get())) return open;
    return endsInOpenIf(choice->elseBlock.get());
}

ASTObjectPtr processFunction(FunctionDeclaration& function) {
    const std::string writtenName = function.name;
    nameFunction(function);
    resolveType(function.type, placeOf(&function));
    const bool returnsValue = function.type && !isVoid(function.type.get());
    for (const ArgumentDeclarationPtr& argument : function.arguments) {
        if (!argument) continue;
        if (argument->name.empty()) {
            argument->name = makeUniqueName("ARG");
            argument->maybeUnused = true;
        }
        processDeclaration(argument.get());
    }
    if (hasVirtualArgument(function)) {
        // Candidates are found by the name they were written with, before any renaming.
        std::string renamed = function.name;
        function.name = writtenName;
        buildDispatcher(function, returnsValue);
        function.name = renamed;
    }
    if (function.body) {
        if (returnsValue && !function.isAbstract)
            if (const IfStatement* open = endsInOpenIf(function.body.get()))
                throw CompileError(function.name + " returns " + writtenType(function.type.get()) +
                                       ", but ends without a value when no branch of this if is taken; add an else",
                                   open->location);
        processBody(*function.body, returnsValue);
        markUnusedArguments(function);
    }
    processTemplateDeclaration(function.templateDecl);
    if (function.isAbstract) function.isVirtual = true;
    return ASTObjectPtr();
}

ASTObjectPtr processUnion(UnionDeclaration& declaration) {
    processTemplateDeclaration(declaration.templateDecl);
    if (declaration.body) processBody(*declaration.body, false);
    return ASTObjectPtr();
}

}  // namespace

void processExpression(ExpressionPtr& slot) {
    if (!slot || slot->processed) return;
    slot->processed = true;
    // Held here: a rewrite replaces the node in its slot while its handler still runs.
    ExpressionPtr node = slot;
    expressionKinds()(*node, slot);
}

void processBody(Block& block, bool returnsValue) {
    const bool memberBody = isMemberBody(&block);
    for (StatementList::iterator it = block.statements.begin(); it != block.statements.end(); ++it) {
        Statement* statement = it->get();
        if (!statement) continue;
        if (memberBody && !nodeCast<Declaration>(statement) && !nodeCast<MacroStatement>(statement)) {
            // After a function with nothing indented below it, the statement was meant as its body.
            const auto* before = it == block.statements.begin() ? nullptr : nodeCast<FunctionDeclaration>(std::prev(it)->get());
            if (before && before->body && before->body->statements.empty())
                reportError("Syntax error, expected an indented body", before->location);
            else
                reportError("Only declarations allowed in this scope", statement->location);
            statement->processed = true;  // reported: nothing more to do with it
            continue;
        }
        processStatement(*it, returnsValue && std::next(it) == block.statements.end());
    }
    // Entries that a macro emptied; no statement slot refers to them any more.
    block.statements.remove(StatementPtr());
}

void processStatement(StatementPtr& slot, bool last) {
    if (!slot) return;
    // Kept apart: a rewrite may replace the statement in its slot.
    StatementPtr statement = slot;
    const SourceLocation at = statement->location;
    try {
        runStatement(slot, last);
    } catch (const CompileError& error) {
        if (error.severity == SeverityWarning)
            reportWarning(error.message, error.position.hasFile() ? error.position : at);
        else
            reportError(error.message, error.position.hasFile() ? error.position : at);
    } catch (const std::exception& error) {
        reportError(error.what(), at);
    }
    fillMissingPositions(at);
}

void insertStatementBefore(ASTObject& node, const StatementPtr& statement) { insertBefore(node, statement); }

void insertDeclarationBefore(ASTObject& node, const DeclarationPtr& declaration) {
    // Linking an inserted statement enters a declaration into its block's name table.
    insertBefore(node, declaration);
}

void registerLowering() {
    setDeclarationHandler<FunctionDeclaration>(&processFunction);
    setDeclarationHandler<UnionDeclaration>(&processUnion);
}

void reportUnprocessedStatements(Block& top) {
    // An explicit stack: expression chains can be far deeper than the call stack. Children go
    // straight onto it, in field order, rather than through a list made per node: this walk
    // passes every node of the module.
    std::vector<ASTObject*> pending;
    pending.push_back(&top);
    while (!pending.empty()) {
        ASTObject* node = pending.back();
        pending.pop_back();
        // Macro bodies run at translation time and are never written as C++.
        if (nodeCast<MacroDeclaration>(node)) continue;
        Statement* statement = nodeCast<Statement>(node);
        if (statement && !statement->processed) {
            reportError(VORN_INTERNAL_ERROR(sourceFile, std::string("a statement was never processed: ") +
                                                            statement->className())
                            .message,
                        statement->location);
            continue;
        }
        appendChildNodes(*node, pending);
    }
}
