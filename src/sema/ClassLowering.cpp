// Class lowering: the tree modifier's handlers for classes and properties. Takes a linked
// declaration; gives it the members C++ needs (constructors, field initialisers in every
// constructor, getter and setter functions), linked and processed like written ones.
// Never removes a member the user wrote, and never leaves a member it adds unprocessed.
#include "sema/ClassLowering.hpp"

#include <algorithm>
#include <cctype>
#include <boost/make_shared.hpp>
#include <iterator>
#include <set>

#include "sema/Lowering.hpp"
#include "sema/NameLookup.hpp"
#include "tree/ParentFinder.hpp"
#include "tree/TreeModifier.hpp"
#include "sema/TypeOf.hpp"

namespace {

// A constructor is a member function without a return type that is not the destructor.
FunctionDeclaration* asConstructor(const StatementPtr& statement) {
    FunctionDeclaration* function = dynamic_cast<FunctionDeclaration*>(statement.get());
    if (!function || function->type || function->name.compare(0, 1, "~") == 0) return nullptr;
    return function;
}

bool declaresConstructor(const Block& body) {
    for (const StatementPtr& statement : body.statements)
        if (asConstructor(statement)) return true;
    return false;
}

bool isArray(const TypeExpression* type) {
    const TypeOperator* op = dynamic_cast<const TypeOperator*>(type);
    return op && op->kind == ArrayType;
}

// The fields a generated constructor takes, in body order. A C++ array cannot be initialised
// from an argument in an initialiser list, so an array field is left to its default, like a
// private one.
std::vector<VariableDeclaration*> publicFields(const Block& body) {
    std::vector<VariableDeclaration*> fields;
    for (const StatementPtr& statement : body.statements) {
        VariableDeclaration* field = dynamic_cast<VariableDeclaration*>(statement.get());
        if (field && !field->isStatic && field->access == Public && !isArray(field->type.get())) fields.push_back(field);
    }
    return fields;
}

void processTemplate(const TemplateDeclarationPtr& templateDecl, Block* place) {
    if (!templateDecl) return;
    for (const TemplateArgumentDeclarationPtr& parameter : templateDecl->arguments) {
        resolveType(parameter->type, place);
        resolveType(parameter->defaultType, place);
        if (parameter->defaultValue) processExpression(parameter->defaultValue);
    }
    if (!templateDecl->specialization) return;
    for (AnyExpressionPtr& argument : templateDecl->specialization->arguments) {
        if (TypeExpression* type = dynamic_cast<TypeExpression*>(argument.get())) {
            resolveTypeNode(*type, place);
        } else if (ExpressionPtr expression = boost::dynamic_pointer_cast<Expression>(argument)) {
            processExpression(expression);
            argument = expression;
        }
    }
}

// Puts a statement at the end of block and links it; gives its slot.
StatementPtr& append(Block& block, const StatementPtr& statement) {
    block.statements.push_back(statement);
    ParentFinder().linkInserted(&block, std::prev(block.statements.end()));
    return block.statements.back();
}

StaticExpressionPtr nameExpression(const std::string& name, const SourceLocation& location) {
    StaticExpressionPtr expression = boost::make_shared<StaticExpression>();
    expression->name = name;
    expression->location = location;
    return expression;
}

InitStatementPtr initialiser(const std::string& member, const ExpressionList& arguments, const SourceLocation& location) {
    InitStatementPtr init = boost::make_shared<InitStatement>();
    init->member = member;
    init->arguments = arguments;
    init->location = location;
    return init;
}

bool isReference(const TypeExpression* type) {
    const TypeOperator* op = dynamic_cast<const TypeOperator*>(type);
    while (op && (op->kind == ConstType || op->kind == VolatileType))
        op = dynamic_cast<const TypeOperator*>(op->operand.get());
    return op && op->kind == ReferenceType;
}

bool hasFieldInitialiser(const ClassDeclaration& cls, const std::string& field) {
    for (const InitStatementPtr& init : cls.memberInitializers)
        if (init->member == field) return true;
    return false;
}

// The fields a generated constructor value-initialises (an Int gets 0, not what the memory
// held): every field it takes no argument for, other than static ones and those a field
// initialiser gives a value. A reference cannot be value-initialised; one the constructor
// does not take is left for the C++ compiler to reject, as before.
std::vector<const VariableDeclaration*> defaultedFields(const ClassDeclaration& cls,
                                                        const std::vector<VariableDeclaration*>& taken) {
    std::vector<const VariableDeclaration*> fields;
    for (const StatementPtr& statement : cls.body->statements) {
        const VariableDeclaration* field = dynamic_cast<const VariableDeclaration*>(statement.get());
        if (!field || field->isStatic || isReference(field->type.get()) || hasFieldInitialiser(cls, field->name)) continue;
        if (std::find(taken.begin(), taken.end(), field) == taken.end()) fields.push_back(field);
    }
    return fields;
}

// The constructor that takes the first count public fields, each from an argument
// "VORN_arg" + field name, and value-initialises the fields it does not take. Its argument
// types are given after linking, so that the fields' own type nodes keep their places in the tree.
FunctionDeclarationPtr generatedConstructor(ClassDeclaration& cls, const std::vector<VariableDeclaration*>& fields,
                                            size_t count) {
    FunctionDeclarationPtr constructor = boost::make_shared<FunctionDeclaration>();
    constructor->name = cls.name;
    constructor->access = Public;
    constructor->location = cls.location;
    constructor->body = boost::make_shared<Block>();
    constructor->body->access = Public;
    constructor->body->location = cls.location;
    for (size_t i = 0; i < count; ++i) {
        const std::string argumentName = "VORN_arg" + fields[i]->name;
        ArgumentDeclarationPtr argument = boost::make_shared<ArgumentDeclaration>();
        argument->name = argumentName;
        argument->access = Public;
        argument->location = cls.location;
        constructor->arguments.push_back(argument);
        constructor->body->statements.push_back(
            initialiser(fields[i]->name, {nameExpression(argumentName, cls.location)}, cls.location));
    }
    const std::vector<VariableDeclaration*> taken(fields.begin(), fields.begin() + count);
    for (const VariableDeclaration* field : defaultedFields(cls, taken))
        constructor->body->statements.push_back(initialiser(field->name, {}, cls.location));
    return constructor;
}

// A reference, or a const field without an initialiser, has no default in C++: every
// constructor must give it a value.
bool needsValue(const VariableDeclaration& field, const ClassDeclaration& cls) {
    const TypeOperator* op = dynamic_cast<const TypeOperator*>(field.type.get());
    if (!op || (op->kind != ReferenceType && op->kind != ConstType)) return false;
    return !hasFieldInitialiser(cls, field.name);
}

std::vector<FunctionDeclaration*> addGeneratedConstructors(ClassDeclaration& cls) {
    Block& body = *cls.body;
    std::vector<FunctionDeclaration*> added;
    const std::vector<VariableDeclaration*> fields = publicFields(body);
    if (declaresConstructor(body) || (fields.empty() && cls.memberInitializers.empty())) return added;
    // The shorter prefixes would leave such a field without a value, which C++ rejects.
    size_t shortest = 0;
    for (size_t i = 0; i < fields.size(); ++i)
        if (needsValue(*fields[i], cls)) shortest = i + 1;
    for (size_t count = shortest; count <= fields.size(); ++count) {
        FunctionDeclarationPtr constructor = generatedConstructor(cls, fields, count);
        append(body, constructor);
        // Inside its class the class's name still names the class, as in C++: a constructor
        // is no name of its own, so linking must not leave it in the body's table.
        DeclarationTable::iterator entry = body.names.find(constructor->name);
        if (entry != body.names.end() && entry->second == constructor) body.names.erase(entry);
        for (size_t i = 0; i < count; ++i) constructor->arguments[i]->type = fields[i]->type;
        added.push_back(constructor.get());
    }
    return added;
}

// Every constructor gets the class's field initialisers that it does not write itself, each
// as a node of its own (a statement stands in one block only).
void addMemberInitializers(ClassDeclaration& cls) {
    if (cls.memberInitializers.empty()) return;
    for (const StatementPtr& statement : cls.body->statements) {
        FunctionDeclaration* constructor = asConstructor(statement);
        if (!constructor || !constructor->body) continue;
        std::set<std::string> written;
        for (const StatementPtr& own : constructor->body->statements)
            if (const InitStatement* init = dynamic_cast<const InitStatement*>(own.get()))
                if (!init->type) written.insert(init->member);
        for (const InitStatementPtr& member : cls.memberInitializers) {
            if (written.count(member->member)) continue;
            processStatement(append(*constructor->body, initialiser(member->member, member->arguments, member->location)),
                             false);
        }
    }
}

bool isClassMember(const Declaration& declaration) {
    const Block* context = declaration.memberContext();
    return context && declaration.parent == context && dynamic_cast<const ClassDeclaration*>(context->parent);
}

SimpleTypeExprPtr voidType() {
    SimpleTypeExprPtr type = boost::make_shared<SimpleTypeExpr>();
    type->name = "void";
    return type;
}

// Where an accessor's messages point: its recorded place (accessors of imported C++ headers),
// else its block, else the property.
SourceLocation accessorLocation(const PropertyDeclaration& property, const SourceLocation& recorded, const BlockPtr& block) {
    if (recorded.hasFile()) return recorded;
    if (block && block->location.hasFile()) return block->location;
    return property.location;
}

FunctionDeclarationPtr accessor(PropertyDeclaration& property, const std::string& name, const BlockPtr& block,
                                const AccessorModifiers& modifiers, const SourceLocation& location) {
    FunctionDeclarationPtr function = boost::make_shared<FunctionDeclaration>();
    function->name = name;
    function->body = block;
    function->isVirtual = modifiers.isVirtual;
    function->isAbstract = modifiers.isAbstract;
    function->isInline = modifiers.isInline;
    function->access = property.access;
    function->location = location;
    return function;
}

// Inserts an accessor before its property and processes it. Types are shared with the
// property and so are given after linking, which would otherwise move the property's own
// type node under the accessor.
void insertAccessor(PropertyDeclaration& property, const FunctionDeclarationPtr& function,
                    const TypeExpressionPtr& returnType, const ArgumentDeclarationPtr& argument) {
    insertDeclarationBefore(property, function);
    function->type = returnType;
    if (argument) {
        argument->type = property.type;
        processDeclaration(argument.get());
    }
    processDeclaration(function.get());
}

}  // namespace

ASTObjectPtr processClass(ClassDeclaration& cls) {
    Block* place = placeOf(&cls);
    // The lexer tells type names by their first letter, so a lower-case vorn class could never
    // be used; a header's classes are named as C wants.
    Module* module = place ? moduleOf(place) : nullptr;
    if (module && module->headerPath.empty() && !cls.name.empty() && !std::isupper(static_cast<unsigned char>(cls.name[0])))
        reportError("type names start with an upper-case letter: " + cls.name, cls.location);
    // The first declaration of the name (the template that a specialisation specialises) is
    // processed before this one.
    lookup(cls.name, place);
    processTemplate(cls.templateDecl, place);
    if (cls.body) processBody(*cls.body, false);
    for (const BaseDeclarationPtr& base : cls.bases) resolveType(base->type, place);
    if (!cls.body) return ASTObjectPtr();
    std::vector<FunctionDeclaration*> generated = addGeneratedConstructors(cls);
    addMemberInitializers(cls);
    for (FunctionDeclaration* constructor : generated) {
        for (const ArgumentDeclarationPtr& argument : constructor->arguments) processDeclaration(argument.get());
        processDeclaration(constructor);
    }
    return ASTObjectPtr();
}

ASTObjectPtr processProperty(PropertyDeclaration& property) {
    resolveType(property.type, placeOf(&property));
    if (!property.getterName.empty() && (property.getter || property.getterModifiers.isAbstract)) {
        FunctionDeclarationPtr getter =
            accessor(property, property.getterName, property.getter, property.getterModifiers,
                     accessorLocation(property, property.getterLocation, property.getter));
        // Only a member function can be const; a property at module level has a free getter.
        getter->isConst = isClassMember(property);
        insertAccessor(property, getter, property.type, ArgumentDeclarationPtr());
    }
    if (!property.setterName.empty() && (property.setter || property.setterModifiers.isAbstract)) {
        const SourceLocation location = accessorLocation(property, property.setterLocation, property.setter);
        FunctionDeclarationPtr setter =
            accessor(property, property.setterName, property.setter, property.setterModifiers, location);
        ArgumentDeclarationPtr value = boost::make_shared<ArgumentDeclaration>();
        value->name = "value";
        value->access = Public;
        value->location = location;
        setter->arguments.push_back(value);
        insertAccessor(property, setter, voidType(), value);
    }
    return ASTObjectPtr();
}

void registerClassLowering() {
    setDeclarationHandler<ClassDeclaration>(&processClass);
    setDeclarationHandler<PropertyDeclaration>(&processProperty);
}
