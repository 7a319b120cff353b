// Type inference: one table of small handlers per node family (expressions, written types)
// and the declaration handlers that the tree modifier runs. Takes linked trees; gives types,
// resolved declarations and include lines. Never gives a type it could not work out: an
// unknown type is null, and the declaration that needed it gets the message.
#include "TypeOf.hpp"

#include <algorithm>
#include <boost/make_shared.hpp>
#include <cctype>

#include "NameLookup.hpp"
#include "NodeDispatch.hpp"
#include "Operator.hpp"

bool moveMemberInitializers = false;
boost::function<void(ExpressionPtr&)> expressionProcessor;

namespace {

const char* const sourceFile = "src/TypeOf";

SimpleTypeExprPtr namedType(const std::string& name) {
    SimpleTypeExprPtr type = boost::make_shared<SimpleTypeExpr>();
    type->name = name;
    return type;
}

TypeOperatorPtr wrapped(TypeOperatorType kind, const TypeExpressionPtr& operand) {
    TypeOperatorPtr type = boost::make_shared<TypeOperator>();
    type->kind = kind;
    type->operand = operand;
    return type;
}

SubTypeExprPtr memberType(const TypeExpressionPtr& scope, const std::string& name) {
    SubTypeExprPtr type = boost::make_shared<SubTypeExpr>();
    type->scope = scope;
    type->name = name;
    return type;
}

const TypeOperator* asOperator(const TypeExpressionPtr& type, TypeOperatorType kind) {
    const TypeOperator* op = nodeCast<TypeOperator>(type.get());
    return op && op->kind == kind ? op : nullptr;
}

void process(ExpressionPtr& slot) {
    if (slot && expressionProcessor) expressionProcessor(slot);
}

// ---- constants: typed by their whole text ----

bool endsWithAny(const std::string& text, const char* suffixes) {
    return !text.empty() && std::string(suffixes).find(text.back()) != std::string::npos;
}

// Numbers as the lexer leaves them: decimal (point, exponent, "f" or "L" suffix),
// hexadecimal "0x...", octal "0..." (binary is already decimal). A hexadecimal "f" is a digit.
std::string numberTypeName(const std::string& text) {
    bool hexadecimal = text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hexadecimal) return endsWithAny(text, "lL") ? "long" : "int";
    if (endsWithAny(text, "fF")) return "float";
    if (text.find_first_of(".eE") != std::string::npos) return "double";
    if (endsWithAny(text, "lL")) return "long";
    return "int";
}

TypeExpressionPtr constantType(const ConstantExpression& constant) {
    const std::string& text = constant.value;
    if (text.empty()) return TypeExpressionPtr();
    unsigned char first = static_cast<unsigned char>(text[0]);
    bool number = std::isdigit(first) || (first == '.' && text.size() > 1 && std::isdigit(static_cast<unsigned char>(text[1])));
    if (number) return namedType(numberTypeName(text));
    if (first == '"') return namedType("const char*");
    if (first == '\'') return namedType("char");
    return TypeExpressionPtr();
}

// ---- names and members ----

Declaration* denotedBy(Expression* expression);

bool isQualifier(const Declaration* declaration) {
    return nodeCast<TypeDeclaration>(declaration) || nodeCast<NamespaceDeclaration>(declaration);
}

TypeExpressionPtr dataType(Declaration* declaration) {
    // A name of a class, module or namespace has no value and so no type.
    if (!nodeCast<DataDeclaration>(declaration)) return TypeExpressionPtr();
    return typeOfDeclaration(declaration);
}

Declaration* denotedByName(StaticExpression& name) {
    Block* place = placeOf(&name);
    Declaration* declaration =
        name.scope ? lookupMember(name.name, declarationOf(name.scope.get(), place)) : lookup(name.name, place);
    // Only a warning: a name known to C++ alone (written in verbatim code, say) is no error.
    if (!declaration) reportWarning("Unable to find declaration of " + name.name, name.location);
    return declaration;
}

Declaration* denotedByMember(SubExpression& access) {
    Expression* object = access.object.get();
    bool objectIsName = nodeCast<StaticExpression>(object) || nodeCast<SubExpression>(object);
    Declaration* objectDeclaration = objectIsName ? denotedBy(object) : nullptr;
    // a.b.f: the object names a module (or class) qualifier, not a value.
    if (isQualifier(objectDeclaration)) return lookupMember(access.member, objectDeclaration);
    TypeExpressionPtr objectType = objectIsName ? dataType(objectDeclaration) : typeOf(object);
    if (!objectType) return nullptr;
    return lookupMember(access.member, declarationOf(objectType.get(), placeOf(&access)));
}

Declaration* denotedBy(Expression* expression) {
    if (StaticExpression* name = nodeCast<StaticExpression>(expression)) return denotedByName(*name);
    if (SubExpression* access = nodeCast<SubExpression>(expression)) return denotedByMember(*access);
    return nullptr;
}

// ---- the type of each expression kind ----

bool isComparison(const std::string& op) { return op == "==" || op == "<" || op == ">" || op == "<=" || op == ">="; }

// Indexing gives an element: of a vector its value_type, of a map its mapped_type, of an
// array or pointer the type it holds.
TypeExpressionPtr indexedType(const TypeExpressionPtr& indexed) {
    TypeExpressionPtr container = indexed;
    while (const TypeOperator* op = nodeCast<TypeOperator>(container.get())) {
        if (op->kind == VectorType) return memberType(container, "value_type");
        if (op->kind == MapType) return memberType(container, "mapped_type");
        if (op->kind == ArrayType || op->kind == PointerType) return op->operand;
        if (op->kind != ConstType && op->kind != VolatileType && op->kind != ReferenceType) break;
        container = op->operand;
    }
    return TypeExpressionPtr();
}

TypeExpressionPtr operType(OperExpression& e) {
    if (isComparison(e.op)) return namedType("Bool");
    if (e.op == "#") return indexedType(typeOf(e.left.get()));
    return typeOf(e.left.get());
}

TypeExpressionPtr prefixType(PrefixOperExpression& e) {
    TypeExpressionPtr operand = typeOf(e.operand.get());
    if (!operand) return operand;
    if (e.op == "&") return wrapped(PointerType, operand);
    // Dereferencing takes a pointer level off; typing "*p" as p's type would declare a
    // variable of the pointer type that C++ cannot initialise from the value.
    if (e.op == "*") {
        const TypeOperator* op = nodeCast<TypeOperator>(operand.get());
        if (op && (op->kind == PointerType || op->kind == SharedPointerType)) return op->operand;
    }
    return operand;
}

TypeExpressionPtr ternaryType(TernaryOperExpression& e) { return typeOf(e.whenTrue.get()); }
// "this" in a member function: a pointer to the class whose member the function is.
TypeExpressionPtr thisType(const StaticExpression& e) {
    Block* context = e.memberContext();
    ClassDeclaration* cls = context ? nodeCast<ClassDeclaration>(context->parent) : nullptr;
    if (!cls || cls->body.get() != context) return TypeExpressionPtr();
    SimpleTypeExprPtr named = namedType(cls->name);
    named->declaration = cls;
    named->processed = true;
    return wrapped(PointerType, named);
}

TypeExpressionPtr staticType(StaticExpression& e) {
    if (!e.scope && e.name == "this")
        if (TypeExpressionPtr self = thisType(e)) return self;
    return dataType(denotedBy(&e));
}
TypeExpressionPtr subType(SubExpression& e) { return dataType(denotedBy(&e)); }

// The C++ casts give their template argument; Boost's pointer casts (what lowering makes of
// a cast of a shared pointer) a shared pointer to it.
TypeExpressionPtr castType(FuncExpression& e) {
    const StaticExpression* callee = nodeCast<StaticExpression>(e.function.get());
    if (!callee || callee->scope || !e.templateArgs || e.templateArgs->arguments.size() != 1) return TypeExpressionPtr();
    TypeExpressionPtr target = boost::dynamic_pointer_cast<TypeExpression>(e.templateArgs->arguments[0]);
    static const char* const casts[] = {"static_cast", "dynamic_cast", "const_cast", "reinterpret_cast"};
    static const char* const pointerCasts[] = {"boost::static_pointer_cast", "boost::dynamic_pointer_cast",
                                               "boost::const_pointer_cast"};
    for (const char* name : casts)
        if (callee->name == name) return target;
    for (const char* name : pointerCasts)
        if (callee->name == name && target) return wrapped(SharedPointerType, target);
    return TypeExpressionPtr();
}

TypeExpressionPtr callType(FuncExpression& e) {
    if (TypeExpressionPtr cast = castType(e)) return cast;
    TypeExpressionPtr callee = typeOf(e.function.get());
    const FuncType* function = nodeCast<FuncType>(callee.get());
    return function ? function->result : TypeExpressionPtr();
}

TypeExpressionPtr ctorType(CtorExpression& e) {
    if (!e.type) return e.type;
    if (e.isHeap && e.isShared) return wrapped(SharedPointerType, e.type);
    if (e.isHeap) return wrapped(PointerType, e.type);
    return e.type;
}

TypeExpressionPtr rangeType(RangeExpression& e) { return typeOf(e.start.get()); }

TypeExpressionPtr tupleType(TupleExpression& e) {
    // Parentheses make a one-element tuple; its type is the element's, since a tuple type
    // has no C++ spelling.
    if (e.elements.size() == 1) return typeOf(e.elements[0].get());
    TupleTypePtr tuple = boost::make_shared<TupleType>();
    for (const ExpressionPtr& element : e.elements) tuple->elements.push_back(typeOf(element.get()));
    return tuple;
}

TypeExpressionPtr unknownType(Expression&) { return TypeExpressionPtr(); }

TypeExpressionPtr macroType(MacroExpression&) {
    throw VORN_INTERNAL_ERROR(sourceFile, "Macros should be eliminated by the time we typeOf");
}

// Any other expression class: a name that C++ rejects, so the gap cannot go unnoticed.
TypeExpressionPtr uninferableType(Expression&) { return namedType("unable_to_infere_type"); }

typedef NodeDispatch<TypeExpressionPtr(Expression&)> ExpressionTyping;

const ExpressionTyping& expressionTypers() {
    typedef ExpressionTyping D;
    static const D table(sourceFile, "type inference", {
        D::on<ConstantExpression, &constantType>(),
        D::on<OperExpression, &operType>(),
        D::on<PrefixOperExpression, &prefixType>(),
        D::on<TernaryOperExpression, &ternaryType>(),
        D::on<StaticExpression, &staticType>(),
        D::on<SubExpression, &subType>(),
        D::on<FuncExpression, &callType>(),
        D::on<CtorExpression, &ctorType>(),
        D::on<RangeExpression, &rangeType>(),
        D::on<TupleExpression, &tupleType>(),
        D::on<VectorExpression, &unknownType>(),
        D::on<AnonFuncExpression, &unknownType>(),
        D::on<CppBlockInitializer, &unknownType>(),
        D::on<VariableDeclarationExpression, &unknownType>(),
        D::on<CastExpression, &unknownType>(),
        D::on<PostfixOperExpression, &unknownType>(),
        D::on<MacroExpression, &macroType>(),
        D::on<Expression, &uninferableType>(),
    });
    return table;
}

// ---- resolving written types ----

void recordInclude(Block* place, const std::string& include) {
    Module* module = place ? moduleOf(place) : nullptr;
    if (!module) return;
    module->addInclude(include);
}

void resolveTemplateArguments(const TemplateCallPtr& call, Block* context) {
    if (!call) return;
    for (AnyExpressionPtr& argument : call->arguments)
        if (TypeExpression* type = nodeCast<TypeExpression>(argument.get())) resolveTypeNode(*type, context);
}

void resolveSimple(SimpleTypeExpr& type, Block* place) {
    Declaration* declaration = lookup(type.name, place);
    if (nodeCast<TypeDeclaration>(declaration)) {
        type.declaration = declaration;
        type.name = declaration->name;  // "Int" is spelled "int" in C++
    }
    resolveTemplateArguments(type.templateArgs, place);
}

// The element of a vector (value_type) and the value of a map (mapped_type) are the types
// the container was declared with, so members of a loop element or of an indexed element are
// found in their class.
Declaration* containedDeclaration(const SubTypeExpr& type, Block* place) {
    const TypeOperator* container = nodeCast<TypeOperator>(type.scope.get());
    if (!container) return nullptr;
    if (container->kind == VectorType && type.name == "value_type") return declarationOf(container->operand.get(), place);
    if (container->kind == MapType && type.name == "mapped_type") return declarationOf(container->valueType.get(), place);
    return nullptr;
}

void resolveSub(SubTypeExpr& type, Block* place) {
    resolveType(type.scope, place);
    if (Declaration* contained = containedDeclaration(type, place)) {
        type.declaration = contained;
        resolveTemplateArguments(type.templateArgs, place);
        return;
    }
    Declaration* scope = declarationOf(type.scope.get(), place);
    Declaration* member = scope ? lookupMember(type.name, scope) : nullptr;
    if (nodeCast<TypeDeclaration>(member)) {
        type.declaration = member;
        // A nested type of a header may be known by a name its include interface file gave it.
        Module* module = member->statementSlot().block ? moduleOf(member->statementSlot().block) : nullptr;
        if (module && !module->headerPath.empty()) type.name = member->name;
    }
    resolveTemplateArguments(type.templateArgs, place);
}

void resolveOperator(TypeOperator& type, Block* place) {
    resolveType(type.operand, place);
    resolveType(type.valueType, place);
    if (type.kind == VectorType) recordInclude(place, "<vector>");
    if (type.kind == MapType) recordInclude(place, "<map>");
    if (type.kind == SharedPointerType) recordInclude(place, "<boost/shared_ptr.hpp>");
}

void resolveFunctionPointer(FunctionPointerType& type, Block* place) {
    resolveType(type.result, place);
    for (TypeExpressionPtr& argument : type.arguments) resolveType(argument, place);
}

typedef NodeDispatch<void(TypeExpression&, Block*)> TypeResolution;

const TypeResolution& typeResolvers() {
    typedef TypeResolution D;
    static const D table(sourceFile, "type resolution", {
        D::on<SimpleTypeExpr, &resolveSimple>(),
        D::on<SubTypeExpr, &resolveSub>(),
        D::on<TypeOperator, &resolveOperator>(),
        D::on<FunctionPointerType, &resolveFunctionPointer>(),
        // Function and tuple types are not looked into.
        D::skip<FuncType>(),
        D::skip<TupleType>(),
    });
    return table;
}

// The type a variable holds for an initialiser of type t: a value, as C++'s auto makes it.
// An initialiser typed as a reference or a const (an argument, a loop element) would
// otherwise declare a variable that can never be assigned.
TypeExpressionPtr valueType(TypeExpressionPtr type) {
    if (const TypeOperator* op = asOperator(type, ReferenceType)) type = op->operand;
    if (const TypeOperator* op = asOperator(type, ConstType)) type = op->operand;
    return type;
}

ClassDeclaration* classOfDirectMember(const Declaration& member) {
    if (!member.memberContext() || member.parent != member.memberContext()) return nullptr;
    ClassDeclaration* cls = nodeCast<ClassDeclaration>(member.memberContext()->parent);
    return cls && cls->body.get() == member.memberContext() ? cls : nullptr;
}

void moveInitializers(VariableDeclaration& variable) {
    if (!moveMemberInitializers || variable.isStatic || variable.initializers.empty()) return;
    ClassDeclaration* cls = classOfDirectMember(variable);
    if (!cls) return;
    InitStatementPtr init = boost::make_shared<InitStatement>();
    init->member = variable.name;
    init->arguments = variable.initializers;
    init->location = variable.location;
    cls->memberInitializers.push_back(init);
    variable.initializers.clear();
}

// The iterator member a container loop walks with.
const char* iteratorName(bool reversed, bool constant) {
    // The standard containers spell the reversed const iterator "const_reverse_iterator".
    if (reversed) return constant ? "const_reverse_iterator" : "reverse_iterator";
    return constant ? "const_iterator" : "iterator";
}

void inferContainerPart(ForPart& part, const TypeExpressionPtr& iterated, Block* place) {
    bool constant = false;
    TypeExpressionPtr container = iterated;
    while (const TypeOperator* op = nodeCast<TypeOperator>(container.get())) {
        if (op->kind == VectorType || op->kind == MapType) break;
        if (op->kind == ConstType) constant = true;
        container = op->operand;  // const, volatile, pointers, references and arrays
    }
    part.type = memberType(container, iteratorName(part.isReverse, constant));
    TypeExpressionPtr element = memberType(container, "value_type");
    if (constant) element = wrapped(ConstType, element);
    part.elementType = wrapped(ReferenceType, element);
    resolveType(part.type, place);
    resolveType(part.elementType, place);
}

}  // namespace

TypeExpressionPtr typeOf(Expression* expression) {
    if (!expression) return TypeExpressionPtr();
    return expressionTypers()(*expression);
}

int passingCategory(const TypeExpression* type) {
    if (const SimpleTypeExpr* simple = nodeCast<SimpleTypeExpr>(type))
        return !simple->templateArgs && isBasicTypeName(simple->name) ? 1 : 3;
    if (const TypeOperator* op = nodeCast<TypeOperator>(type)) {
        switch (op->kind) {
        case PointerType:
            return 1;
        case ReferenceType:
            return 0;
        case ConstType:
            return passingCategory(op->operand.get()) & ~1;
        case VolatileType:
            return passingCategory(op->operand.get());
        default:
            return 3;  // shared pointers, arrays, vectors and maps
        }
    }
    if (!type || nodeCast<FunctionPointerType>(type)) return 0;
    return 3;  // nested types, function and tuple types
}

void resolveTypeNode(TypeExpression& type, Block* context) {
    if (type.processed) return;
    type.processed = true;
    Block* place = placeOf(&type, context);
    typeResolvers()(type, place);
}

int resolveType(TypeExpressionPtr& slot, Block* context) {
    if (!slot) return 0;
    resolveTypeNode(*slot, context);
    return passingCategory(slot.get());
}

ASTObjectPtr processArgument(ArgumentDeclaration& argument) {
    Block* place = placeOf(&argument);
    if (argument.type) {
        int category = resolveType(argument.type, place);
        if (!argument.keepsWrittenType) {
            if (category & 1) argument.type = wrapped(ConstType, argument.type);
            if (category & 2) argument.type = wrapped(ReferenceType, argument.type);
        }
    }
    process(argument.defaultValue);
    return ASTObjectPtr();
}

ASTObjectPtr processVariable(VariableDeclaration& variable) {
    Block* place = placeOf(&variable);
    // Lowered first, so that the type is that of what C++ will see: a property read is a
    // getter call, a named operator a call of its function.
    for (ExpressionPtr& initializer : variable.initializers) process(initializer);
    if (!variable.type && variable.initializers.size() == 1)
        variable.type = valueType(typeOf(variable.initializers[0].get()));
    if (!variable.type) reportError("unable to infer type of " + variable.name, variable.location);
    resolveType(variable.type, place);
    moveInitializers(variable);
    return ASTObjectPtr();
}

ASTObjectPtr processForPart(ForPart& part) {
    process(part.range);
    if (part.type) return ASTObjectPtr();
    Block* place = placeOf(&part);
    TypeExpressionPtr iterated = typeOf(part.range.get());
    if (!iterated) {
        reportError("Unable to infer type of " + part.name, part.location);
        return ASTObjectPtr();
    }
    if (nodeCast<RangeExpression>(part.range.get())) {
        // The loop variable is stepped, so it holds a value of the start's type.
        part.type = valueType(iterated);
        part.elementType = part.type;
        resolveType(part.type, place);
    } else {
        inferContainerPart(part, iterated, place);
    }
    return ASTObjectPtr();
}

ASTObjectPtr processTypeAlias(TypeAliasDeclaration& alias) {
    resolveType(alias.type, placeOf(&alias));
    return ASTObjectPtr();
}

void registerTypeInference() {
    setDeclarationHandler<VariableDeclaration>(&processVariable);
    setDeclarationHandler<ForPart>(&processForPart);
    setDeclarationHandler<ArgumentDeclaration>(&processArgument);
    setDeclarationHandler<TypeAliasDeclaration>(&processTypeAlias);
}
