// Type inference: one table of small handlers per node family (expressions, written types)
// and the declaration handlers that the tree modifier runs. Takes linked trees; gives types,
// resolved declarations and include lines. Never gives a type it could not work out: an
// unknown type is null, and the declaration that needed it gets the message.
#include "sema/TypeOf.hpp"

#include <algorithm>
#include <boost/make_shared.hpp>
#include <cctype>
#include <string_view>

#include "sema/NameLookup.hpp"
#include "tree/NodeDispatch.hpp"
#include "tree/Operator.hpp"

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

// The type C gives an integer's suffix (no suffix: int), by its letters in lower case with
// the u first; C's promotion of a constant too large for its type is left to the compiler.
std::string integerTypeName(const std::string& text) {
    std::string suffix;
    for (size_t i = text.find_last_not_of("uUlL") + 1; i < text.size(); ++i)
        suffix += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    static const std::pair<const char*, const char*> types[] = {
        {"", "int"}, {"u", "unsigned int"}, {"l", "long"}, {"ul", "unsigned long"}, {"lu", "unsigned long"},
        {"ll", "long long"}, {"ull", "unsigned long long"}, {"llu", "unsigned long long"},
    };
    for (const auto& row : types)
        if (suffix == row.first) return row.second;
    throw VORN_INTERNAL_ERROR("src/TypeOf", "integer suffix the lexer does not make: " + text);
}

// Numbers as the lexer leaves them: decimal (point, exponent, "f" or "L" suffix, or an
// integer's suffix), hexadecimal "0x...", octal "0..." (binary is already decimal). A
// hexadecimal "f" is a digit.
std::string numberTypeName(const std::string& text) {
    bool hexadecimal = text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hexadecimal) return integerTypeName(text);
    if (endsWithAny(text, "fF")) return "float";
    if (text.find_first_of(".eE") != std::string::npos) return "double";
    return integerTypeName(text);
}

TypeExpressionPtr constantType(const ConstantExpression& constant) {
    const std::string& text = constant.value;
    if (text.empty()) return TypeExpressionPtr();
    unsigned char first = static_cast<unsigned char>(text[0]);
    bool number = std::isdigit(first) || (first == '.' && text.size() > 1 && std::isdigit(static_cast<unsigned char>(text[1])));
    if (number) return namedType(numberTypeName(text));
    // A wide constant is written with C++'s "L" prefix; UTF-8 ones are still char in C++17.
    const bool wide = constant.encoding == EncodingU;
    if (first == '"') return namedType(wide ? "const wchar_t*" : "const char*");
    if (first == '\'') return namedType(wide ? "wchar_t" : "char");
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

bool inHeader(Block* place) {
    Module* module = place ? moduleOf(place) : nullptr;
    return module && !module->headerPath.empty();
}

Declaration* denotedByName(StaticExpression& name) {
    if (name.renamedFrom) return name.renamedFrom;
    Block* place = placeOf(&name);
    Declaration* declaration =
        name.scope ? lookupMember(name.name, declarationOf(name.scope.get(), place)) : lookup(name.name, place);
    // Only a warning: a name known to C++ alone (written in verbatim code, say) is no error.
    // In a header's own inline code (a compiler builtin, say) it is none of the program's business.
    const bool standardName = name.name.compare(0, 5, "std::") == 0;
    if (!declaration && !inHeader(place) && !standardName)
        reportWarning("Unable to find declaration of " + name.name, name.location);
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

bool isComparison(std::string_view op) { return op == "==" || op == "<" || op == ">" || op == "<=" || op == ">="; }

// ---- containers, iterators and pointers ----

// The type with its const, volatile and reference levels looked through; `constant` notes a
// const on the way.
TypeExpressionPtr strippedType(TypeExpressionPtr type, bool* constant = nullptr) {
    while (const TypeOperator* op = nodeCast<TypeOperator>(type.get())) {
        if (op->kind != ConstType && op->kind != VolatileType && op->kind != ReferenceType) break;
        if (op->kind == ConstType && constant) *constant = true;
        type = op->operand;
    }
    return type;
}

const TypeOperator* containerOf(const TypeExpressionPtr& type) {
    const TypeOperator* op = nodeCast<TypeOperator>(type.get());
    return op && (op->kind == VectorType || op->kind == MapType) ? op : nullptr;
}

bool isStringType(const TypeExpressionPtr& type) {
    const SimpleTypeExpr* simple = nodeCast<SimpleTypeExpr>(type.get());
    return simple && !simple->templateArgs && (simple->name == "std::string" || simple->name == "String");
}

// What one step through a container gives: a vector's element, a map's key and value pair
// (the map's value_type, whose members first and second are typed below).
TypeExpressionPtr elementOf(const TypeOperator& container, const TypeExpressionPtr& containerType) {
    if (container.kind == VectorType) return container.operand;
    return memberType(containerType, "value_type");
}

const char* const iteratorNames[] = {"iterator", "const_iterator", "reverse_iterator", "const_reverse_iterator"};

// An iterator of a vector or map, as inference names one: the container's member type.
const SubTypeExpr* asIterator(const TypeExpressionPtr& type) {
    const SubTypeExpr* sub = nodeCast<SubTypeExpr>(strippedType(type).get());
    if (!sub || !containerOf(strippedType(sub->scope))) return nullptr;
    for (const char* name : iteratorNames)
        if (sub->name == name) return sub;
    return nullptr;
}

// The pair a map's iterator reaches.
const SubTypeExpr* asMapEntry(const TypeExpressionPtr& type) {
    const SubTypeExpr* sub = nodeCast<SubTypeExpr>(strippedType(type).get());
    const TypeOperator* map = sub ? containerOf(strippedType(sub->scope)) : nullptr;
    return map && map->kind == MapType && sub->name == "value_type" ? sub : nullptr;
}

// Indexing gives an element: of a vector the type it holds, of a map its value, of an array
// or pointer the type it points at, of a string a char.
TypeExpressionPtr indexedType(const TypeExpressionPtr& indexed) {
    TypeExpressionPtr container = strippedType(indexed);
    if (isStringType(container)) return namedType("char");
    const TypeOperator* op = nodeCast<TypeOperator>(container.get());
    if (!op) return TypeExpressionPtr();
    if (op->kind == VectorType) return op->operand;
    if (op->kind == MapType) return op->valueType;
    if (op->kind == ArrayType || op->kind == PointerType) return op->operand;
    return TypeExpressionPtr();
}

// Members that vorn's library does not type: those of the standard containers, strings,
// iterators' pairs and shared pointers themselves.
enum MemberResult { ElementResult, MappedResult, IteratorResult, ElementPointerResult, PointeeResult, NamedResult };

struct BuiltinMember {
    int owner;  // VectorType, MapType, SharedPointerType, or -1 for strings
    const char* name;
    MemberResult result;
    const char* type;  // for NamedResult
};

const BuiltinMember builtinMembers[] = {
    {VectorType, "front", ElementResult, nullptr},
    {VectorType, "back", ElementResult, nullptr},
    {VectorType, "at", ElementResult, nullptr},
    {VectorType, "data", ElementPointerResult, nullptr},
    {VectorType, "begin", IteratorResult, nullptr},
    {VectorType, "end", IteratorResult, nullptr},
    {VectorType, "capacity", NamedResult, "ULong"},
    {MapType, "at", MappedResult, nullptr},
    {MapType, "find", IteratorResult, nullptr},
    {MapType, "begin", IteratorResult, nullptr},
    {MapType, "end", IteratorResult, nullptr},
    {MapType, "lower_bound", IteratorResult, nullptr},
    {MapType, "upper_bound", IteratorResult, nullptr},
    {SharedPointerType, "get", ElementPointerResult, nullptr},
    {SharedPointerType, "use_count", NamedResult, "Long"},
    {SharedPointerType, "unique", NamedResult, "Bool"},
    {SharedPointerType, "reset", NamedResult, "Void"},
    {SharedPointerType, "swap", NamedResult, "Void"},
    {-1, "size", NamedResult, "ULong"},
    {-1, "length", NamedResult, "ULong"},
    {-1, "empty", NamedResult, "Bool"},
    {-1, "c_str", NamedResult, "const char*"},
    {-1, "data", NamedResult, "const char*"},
    {-1, "substr", NamedResult, "std::string"},
    {-1, "find", NamedResult, "ULong"},
    {-1, "rfind", NamedResult, "ULong"},
    {-1, "at", NamedResult, "char"},
    {-1, "front", NamedResult, "char"},
    {-1, "back", NamedResult, "char"},
};

const BuiltinMember* builtinMember(int owner, const std::string& name) {
    for (const BuiltinMember& row : builtinMembers)
        if (row.owner == owner && name == row.name) return &row;
    return nullptr;
}

// What a pointer, shared pointer or container iterator leads to; null for other types.
// What a typedef stands for, followed to the end of a chain (a header's png_structp is a
// pointer); any other type as it is. The depth guards a chain that never ends.
TypeExpressionPtr throughAliases(TypeExpressionPtr type) {
    for (int depth = 0; depth < 32; ++depth) {
        const SimpleTypeExpr* simple = nodeCast<SimpleTypeExpr>(type.get());
        TypeAliasDeclaration* alias = simple && !simple->templateArgs ? nodeCast<TypeAliasDeclaration>(simple->declaration) : nullptr;
        if (!alias || alias->templateDecl || !alias->type) break;
        resolveTypeNode(*alias->type, placeOf(alias));
        type = strippedType(alias->type);
    }
    return type;
}

TypeExpressionPtr pointeeType(const TypeExpressionPtr& type) {
    TypeExpressionPtr stripped = throughAliases(strippedType(type));
    if (const TypeOperator* op = nodeCast<TypeOperator>(stripped.get()))
        return op->kind == PointerType || op->kind == SharedPointerType ? op->operand : TypeExpressionPtr();
    if (const SubTypeExpr* iterator = asIterator(stripped)) {
        TypeExpressionPtr containerType = strippedType(iterator->scope);
        return elementOf(*containerOf(containerType), containerType);
    }
    return TypeExpressionPtr();
}

// A shared pointer's own function (get, reset, use_count, ...) is meant when the object it
// points to has no member of that name.
bool sharedPointerOwnMember(const TypeExpressionPtr& sharedType, const std::string& member, Block* place) {
    const TypeOperator* shared = nodeCast<TypeOperator>(strippedType(sharedType).get());
    if (!shared || shared->kind != SharedPointerType || !builtinMember(SharedPointerType, member)) return false;
    Declaration* pointee = declarationOf(shared->operand.get(), place);
    return !pointee || !lookupMember(member, pointee);
}

TypeExpressionPtr operType(OperExpression& e) {
    if (isComparison(e.op)) return namedType("Bool");
    if (e.op == std::string_view("#")) return indexedType(typeOf(e.left.get()));
    return typeOf(e.left.get());
}

TypeExpressionPtr prefixType(PrefixOperExpression& e) {
    TypeExpressionPtr operand = typeOf(e.operand.get());
    if (!operand) return operand;
    if (e.op == "&") return wrapped(PointerType, operand);
    // Dereferencing takes a pointer level off; typing "*p" as p's type would declare a
    // variable of the pointer type that C++ cannot initialise from the value.
    if (e.op == "*") {
        if (TypeExpressionPtr pointee = pointeeType(operand)) return pointee;
    }
    if (e.op == "!") return namedType("Bool");
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
    if (!e.scope && e.name == std::string_view("this"))
        if (TypeExpressionPtr self = thisType(e)) return self;
    return dataType(denotedBy(&e));
}
// The class template parameters of the object's type bound to its arguments (Box[Int]: T is
// Int), so that a member's type reads as the instance's.
typedef std::vector<std::pair<std::string, TypeExpressionPtr>> TemplateBindings;

TemplateBindings templateBindings(const TypeExpressionPtr& objectType) {
    TemplateBindings bindings;
    TypeExpressionPtr type = strippedType(objectType);
    if (TypeExpressionPtr pointee = pointeeType(type)) type = strippedType(pointee);
    const SimpleTypeExpr* simple = nodeCast<SimpleTypeExpr>(type.get());
    if (!simple || !simple->templateArgs) return bindings;
    const ClassDeclaration* cls = nodeCast<ClassDeclaration>(simple->declaration);
    if (!cls || !cls->templateDecl) return bindings;
    const TemplateArgumentDeclarationList& parameters = cls->templateDecl->arguments;
    const AnyExpressionList& arguments = simple->templateArgs->arguments;
    for (size_t i = 0; i < parameters.size() && i < arguments.size(); ++i) {
        TypeExpressionPtr argument = boost::dynamic_pointer_cast<TypeExpression>(arguments[i]);
        if (parameters[i] && parameters[i]->isType && argument) bindings.emplace_back(parameters[i]->name, argument);
    }
    return bindings;
}

TypeExpressionPtr substituted(const TypeExpressionPtr& type, const TemplateBindings& bindings);

TemplateCallPtr substitutedArguments(const TemplateCallPtr& call, const TemplateBindings& bindings, bool& changed) {
    if (!call) return call;
    TemplateCallPtr copy = boost::make_shared<TemplateCall>(*call);
    for (AnyExpressionPtr& argument : copy->arguments) {
        TypeExpressionPtr type = boost::dynamic_pointer_cast<TypeExpression>(argument);
        TypeExpressionPtr replaced = type ? substituted(type, bindings) : type;
        if (replaced != type) {
            argument = replaced;
            changed = true;
        }
    }
    return changed ? copy : call;
}

TypeExpressionPtr substituted(const TypeExpressionPtr& type, const TemplateBindings& bindings) {
    if (!type || bindings.empty()) return type;
    if (const SimpleTypeExpr* simple = nodeCast<SimpleTypeExpr>(type.get())) {
        if (!simple->templateArgs && !nodeCast<TypeDeclaration>(simple->declaration))
            for (const auto& binding : bindings)
                if (binding.first == simple->name) return binding.second;
        bool changed = false;
        TemplateCallPtr arguments = substitutedArguments(simple->templateArgs, bindings, changed);
        if (!changed) return type;
        SimpleTypeExprPtr copy = boost::make_shared<SimpleTypeExpr>(*simple);
        copy->templateArgs = arguments;
        return copy;
    }
    if (const SubTypeExpr* sub = nodeCast<SubTypeExpr>(type.get())) {
        TypeExpressionPtr scope = substituted(sub->scope, bindings);
        if (scope == sub->scope) return type;
        SubTypeExprPtr copy = boost::make_shared<SubTypeExpr>(*sub);
        copy->scope = scope;
        return copy;
    }
    if (const TypeOperator* op = nodeCast<TypeOperator>(type.get())) {
        TypeExpressionPtr operand = substituted(op->operand, bindings);
        TypeExpressionPtr value = substituted(op->valueType, bindings);
        if (operand == op->operand && value == op->valueType) return type;
        TypeOperatorPtr copy = boost::make_shared<TypeOperator>(*op);
        copy->operand = operand;
        copy->valueType = value;
        return copy;
    }
    if (const FuncType* function = nodeCast<FuncType>(type.get())) {
        FuncTypePtr copy = boost::make_shared<FuncType>(*function);
        copy->result = substituted(function->result, bindings);
        for (TypeExpressionPtr& argument : copy->arguments) argument = substituted(argument, bindings);
        return copy;
    }
    return type;
}

// The type of a member that vorn's library leaves untyped, from the object's type: a pair's
// first and second, a container's, string's or shared pointer's own functions.
TypeExpressionPtr builtinMemberType(const TypeExpressionPtr& objectType, const std::string& member, Block* place) {
    TypeExpressionPtr object = strippedType(objectType);
    // Held here: a pointee may be built for this call, and the entry points into it.
    const TypeExpressionPtr pointee = pointeeType(object);
    if (const SubTypeExpr* entry = asMapEntry(pointee ? pointee : object)) {
        const TypeOperator* map = containerOf(strippedType(entry->scope));
        if (member == "first") return wrapped(ConstType, map->operand);
        if (member == "second") return map->valueType;
        return TypeExpressionPtr();
    }
    if (const TypeOperator* op = nodeCast<TypeOperator>(object.get())) {
        if (op->kind == SharedPointerType && sharedPointerOwnMember(object, member, place)) {
            const BuiltinMember* row = builtinMember(SharedPointerType, member);
            FuncTypePtr function = boost::make_shared<FuncType>();
            if (row->result == ElementPointerResult)
                function->result = wrapped(PointerType, op->operand);
            else
                function->result = namedType(row->type);
            return function;
        }
        if (op->kind == PointerType) object = strippedType(op->operand);
    }
    const TypeOperator* container = containerOf(object);
    const BuiltinMember* row = container ? builtinMember(container->kind, member)
                                         : isStringType(object) ? builtinMember(-1, member) : nullptr;
    if (!row) return TypeExpressionPtr();
    FuncTypePtr function = boost::make_shared<FuncType>();
    switch (row->result) {
    case ElementResult:
        function->result = elementOf(*container, object);
        break;
    case MappedResult:
        function->result = container->valueType;
        break;
    case IteratorResult:
        function->result = memberType(object, "iterator");
        break;
    case ElementPointerResult:
        function->result = wrapped(PointerType, elementOf(*container, object));
        break;
    case PointeeResult:
    case NamedResult:
        function->result = namedType(row->type);
        break;
    }
    return function;
}

TypeExpressionPtr memberTypeOf(SubExpression& e) {
    Expression* object = e.object.get();
    TypeExpressionPtr objectType;
    StaticExpression* name = nodeCast<StaticExpression>(object);
    if (name && !name->scope && name->name == "this") {
        objectType = thisType(*name);
    } else if (name) {
        // a.f: the object may name a module (or class) qualifier, not a value.
        Declaration* objectDeclaration = denotedBy(object);
        if (isQualifier(objectDeclaration)) return dataType(lookupMember(e.member, objectDeclaration));
        objectType = dataType(objectDeclaration);
    } else {
        objectType = typeOf(object);
        // a.b.f: only an object without a value's type can be a qualifier.
        if (!objectType && nodeCast<SubExpression>(object)) {
            Declaration* objectDeclaration = denotedBy(object);
            if (isQualifier(objectDeclaration)) return dataType(lookupMember(e.member, objectDeclaration));
        }
    }
    if (!objectType) return objectType;
    if (TypeExpressionPtr builtin = builtinMemberType(objectType, e.member, placeOf(&e))) return builtin;
    Declaration* member = lookupMember(e.member, declarationOf(objectType.get(), placeOf(&e)));
    return substituted(dataType(member), templateBindings(objectType));
}

TypeExpressionPtr subType(SubExpression& e) {
    if (!e.knownType) e.knownType = memberTypeOf(e);
    return e.knownType;
}

// The C++ casts give their template argument; Boost's pointer casts (what lowering makes of
// a cast of a shared pointer) a shared pointer to it.
TypeExpressionPtr castType(FuncExpression& e) {
    const StaticExpression* callee = nodeCast<StaticExpression>(e.function.get());
    if (!callee || callee->scope || !e.templateArgs || e.templateArgs->arguments.size() != 1) return TypeExpressionPtr();
    TypeExpressionPtr target = boost::dynamic_pointer_cast<TypeExpression>(e.templateArgs->arguments[0]);
    static constexpr std::string_view casts[] = {"static_cast", "dynamic_cast", "const_cast", "reinterpret_cast"};
    static constexpr std::string_view pointerCasts[] = {"boost::static_pointer_cast", "boost::dynamic_pointer_cast",
                                               "boost::const_pointer_cast"};
    for (std::string_view name : casts)
        if (callee->name == name) return target;
    for (std::string_view name : pointerCasts)
        if (callee->name == name && target) return wrapped(SharedPointerType, target);
    return TypeExpressionPtr();
}

TypeExpressionPtr callType(FuncExpression& e) {
    if (TypeExpressionPtr cast = castType(e)) return cast;
    // sizeof is an operator of C++, not a function anything declares.
    const StaticExpression* name = nodeCast<StaticExpression>(e.function.get());
    if (name && !name->scope && name->name == "sizeof") return namedType("ULong");
    TypeExpressionPtr callee = typeOf(e.function.get());
    const FuncType* function = nodeCast<FuncType>(callee.get());
    return function ? function->result : TypeExpressionPtr();
}

TypeExpressionPtr ctorType(CtorExpression& e) {
    if (!e.type) return e.type;
    if (e.isHeap && e.isShared) return wrapped(SharedPointerType, e.type);
    // new Int#8 gives a pointer to the first element, as C++'s new of an array does.
    if (e.isHeap) {
        const TypeOperator* array = asOperator(e.type, ArrayType);
        return wrapped(PointerType, array ? array->operand : e.type);
    }
    return e.type;
}

// i++ and i-- give the operand's value.
TypeExpressionPtr postfixType(PostfixOperExpression& e) { return typeOf(e.operand.get()); }

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
        D::on<PostfixOperExpression, &postfixType>(),
        D::on<MacroExpression, &macroType>(),
        D::on<Expression, &uninferableType>(),
    });
    return table;
}
[[maybe_unused]] const bool expressionTypersListed = listNodeDispatch(&expressionTypers);

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

// A C struct that shares its name with a function (struct stat and stat()) is hidden by it in
// C++ unless it is called a struct.
bool hiddenByFunction(const Declaration& declaration) {
    const ClassDeclaration* cls = nodeCast<ClassDeclaration>(&declaration);
    Block* holder = cls ? cls->statementSlot().block : nullptr;
    Module* module = holder ? moduleOf(holder) : nullptr;
    if (!module || module->headerPath.empty() || cls->templateDecl) return false;
    // The function may be known by another name (a prefix gone), so the statements are asked.
    static std::map<const ClassDeclaration*, bool> known;
    auto cached = known.find(cls);
    if (cached != known.end()) return cached->second;
    bool hidden = false;
    for (const StatementPtr& statement : holder->statements)
        if (const FunctionDeclaration* function = nodeCast<FunctionDeclaration>(statement.get()))
            hidden = hidden || function->name == cls->name;
    known.emplace(cls, hidden);
    return hidden;
}

// A type name declared nowhere is the user's mistake where vorn has read all C++ will see (as
// for names). Only a program's own capitalised words are asked about: C's "size_t" or
// "const char*" come from inference and headers.
void checkKnownType(const SimpleTypeExpr& type, Block* place) {
    if (type.name.empty() || !std::isupper(static_cast<unsigned char>(type.name[0])) || !place || !type.location.hasFile())
        return;
    Module* module = moduleOf(place);
    if (!module || !module->headerPath.empty() || module->isLibrary || mayUseUnseenNames(module) ||
        isTemplateParameter(type, type.name))
        return;
    std::string message = "Unable to find declaration of type " + type.name;
    const std::string declaring = moduleDeclaringType(type.name, place);
    const std::string near = nearestVisibleName(type.name, place, true);
    if (!declaring.empty())
        message += ", which module " + declaring + " declares: add import " + declaring;
    else if (!near.empty())
        message += ", did you mean " + near + "?";
    reportError(message, type.location);
}

void resolveSimple(SimpleTypeExpr& type, Block* place) {
    Declaration* declaration = lookup(type.name, place);
    // A module and its main class often share a name (import Account, then Account a): where
    // a type is meant, the name is the module's type of that name.
    if (ModuleDeclaration* module = nodeCast<ModuleDeclaration>(declaration)) {
        Declaration* inner = lookupMember(type.name, module);
        if (nodeCast<TypeDeclaration>(inner)) declaration = inner;
    }
    if (nodeCast<TypeDeclaration>(declaration)) {
        type.declaration = declaration;
        type.name = declaration->name;  // "Int" is spelled "int" in C++
        if (hiddenByFunction(*declaration)) type.name = "struct " + type.name;
    } else if (!declaration) {
        checkKnownType(type, place);
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
[[maybe_unused]] const bool typeResolversListed = listNodeDispatch(&typeResolvers);

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

// A loop over a container: the loop variable is a reference to each element (const when the
// container is), found through pointers and shared pointers to the container.
void inferContainerPart(ForPart& part, const TypeExpressionPtr& iterated, Block* place) {
    bool constant = false;
    TypeExpressionPtr container = strippedType(iterated, &constant);
    while (const TypeOperator* op = nodeCast<TypeOperator>(container.get())) {
        if (op->kind != PointerType && op->kind != SharedPointerType) break;
        container = strippedType(op->operand, &constant);
    }
    TypeExpressionPtr element;
    const TypeOperator* op = nodeCast<TypeOperator>(container.get());
    if (op && op->kind == ArrayType) {
        element = op->operand;
        part.type = wrapped(PointerType, element);
    } else if (isStringType(container)) {
        element = namedType("char");
        part.type = memberType(container, iteratorName(part.isReverse, constant));
    } else {
        // A class of a header may walk like a standard container, with the same member types.
        element = op && containerOf(container) ? elementOf(*op, container) : memberType(container, "value_type");
        part.type = memberType(container, iteratorName(part.isReverse, constant));
    }
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

bool isSharedPointerOwnMember(const TypeExpressionPtr& objectType, const std::string& member, Block* place) {
    return sharedPointerOwnMember(objectType, member, place);
}

bool memberThroughPointer(const TypeExpressionPtr& objectType, const std::string& member, Block* place) {
    if (!pointeeType(objectType)) return false;
    return !sharedPointerOwnMember(objectType, member, place);
}

int passingCategory(const TypeExpression* type) {
    if (const SimpleTypeExpr* simple = nodeCast<SimpleTypeExpr>(type)) {
        // A typedef is passed as what it stands for: a pointer typedef by value, so that a
        // function of the program matches the C function-pointer type it is handed to.
        const auto* alias = simple->templateArgs ? nullptr : nodeCast<TypeAliasDeclaration>(simple->declaration);
        if (alias && !alias->templateDecl && alias->type) {
            TypeExpressionPtr aliased = throughAliases(alias->type);
            if (nodeCast<TypeOperator>(aliased.get())) return passingCategory(aliased.get());
            const SimpleTypeExpr* named = nodeCast<SimpleTypeExpr>(aliased.get());
            if (named && !named->templateArgs && isBasicTypeName(named->name)) return 1;
        }
        return !simple->templateArgs && isBasicTypeName(simple->name) ? 1 : 3;
    }
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

// Two variables of one name in one block: C++ would refuse the second, far from the source.
void checkNotRedeclared(VariableDeclaration& variable) {
    Block* holder = variable.statementSlot().block;
    Module* module = holder ? moduleOf(holder) : nullptr;
    if (!module || !module->headerPath.empty()) return;
    auto found = holder->names.find(variable.name);
    if (found == holder->names.end() || found->second.get() == &variable) return;
    if (!nodeCast<VariableDeclaration>(found->second.get())) return;
    throw CompileError(variable.name + " is declared twice in this block; the first is at line " +
                           std::to_string(found->second->location.line),
                       variable.location);
}

// "Point* q = p" with p a Point: C++ says only that it cannot convert.
void checkPointerInitialiser(VariableDeclaration& variable, Block* place) {
    const TypeOperator* pointer = nodeCast<TypeOperator>(variable.type.get());
    if (!pointer || pointer->kind != PointerType || variable.initializers.size() != 1) return;
    Expression* value = variable.initializers[0].get();
    TypeExpressionPtr valueType = strippedType(typeOf(value));
    if (!nodeCast<SimpleTypeExpr>(valueType.get())) return;
    Declaration* pointee = declarationOf(pointer->operand.get(), place);
    if (!nodeCast<ClassDeclaration>(pointee) || declarationOf(valueType.get(), place) != pointee) return;
    throw CompileError("a " + pointee->name + " cannot initialise a " + pointee->name + "*; take its address with &",
                       value->location);
}

ASTObjectPtr processVariable(VariableDeclaration& variable) {
    checkNotRedeclared(variable);
    Block* place = placeOf(&variable);
    // Lowered first, so that the type is that of what C++ will see: a property read is a
    // getter call, a named operator a call of its function.
    for (ExpressionPtr& initializer : variable.initializers) process(initializer);
    if (!variable.type && variable.initializers.size() == 1) {
        variable.type = valueType(typeOf(variable.initializers[0].get()));
        variable.writtenAuto = asIterator(variable.type) != nullptr;
    }
    if (!variable.type) reportError("unable to infer type of " + variable.name, variable.location);
    resolveType(variable.type, place);
    checkPointerInitialiser(variable, place);
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
