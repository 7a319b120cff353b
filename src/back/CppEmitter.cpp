// C++ emitter: the text of every node kind, phase by phase, through the output writer.
// Takes lowered tree nodes; gives C++ text. Never rewrites a node and never opens a file;
// a node kind that lowering should have removed is an internal error, not a guess.
#include "back/CppEmitter.hpp"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <sstream>

#include "base/Diagnostics.hpp"
#include "tree/Operator.hpp"

namespace {

const char* const sourceName = "src/CppEmitter";

// The C++ prefix of a string or character constant, by its encoding: "A" is the narrow
// execution set, "U" the wide one, "8" UTF-8 (still char in C++17, so puts takes it).
constexpr const char* encodingPrefixes[] = {"", "", "L", "u8"};

const char* encodingPrefix(CharacterEncoding encoding) {
    if (encoding < 0 || static_cast<size_t>(encoding) >= std::size(encodingPrefixes))
        throw VORN_INTERNAL_ERROR(sourceName, "character encoding out of range");
    return encodingPrefixes[encoding];
}

const char* accessWord(Access access) {
    switch (access) {
    case Private: return "private";
    case Protected: return "protected";
    case Public: return "public";
    }
    throw VORN_INTERNAL_ERROR(sourceName, "access out of range");
}

[[noreturn]] void fail(const std::string& message) { throw VORN_INTERNAL_ERROR(sourceName, message); }

// A declaration or expression reaches the back end with no type when no pass worked it out
// (a pass that failed to report the "var" it could not infer). Writing nothing would hand g++ C++
// the user never wrote, so it stops here, at the node's place.
const TypeExpressionPtr& resolvedType(const TypeExpressionPtr& type, const ASTObject& owner, const std::string& what) {
    if (type) return type;
    CompileError error = VORN_INTERNAL_ERROR(sourceName, "the type of " + what + " was never resolved");
    error.position = owner.location;
    throw error;
}

// Restores a piece of emitter state on every way out, exceptions included.
template <class T>
class Restore {
public:
    Restore(T& slot, T value) : slot_(slot), saved_(slot) { slot_ = value; }
    ~Restore() { slot_ = saved_; }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;

private:
    T& slot_;
    T saved_;
};

class ClassScope {
public:
    ClassScope(std::vector<const TypeDeclaration*>& stack, const TypeDeclaration* node) : stack_(stack) {
        stack_.push_back(node);
    }
    ~ClassScope() { stack_.pop_back(); }
    ClassScope(const ClassScope&) = delete;
    ClassScope& operator=(const ClassScope&) = delete;

private:
    std::vector<const TypeDeclaration*>& stack_;
};

}  // namespace

// The order of the tests matters only where one class derives from another; it is kept as
// types, expressions, statements and declarations, then the auxiliary nodes.
const CppEmitter::Dispatch& CppEmitter::dispatch() {
    static const Dispatch table(sourceName, "CppBackEnd", {
        Dispatch::on<SimpleTypeExpr, &CppEmitter::simpleType>(),
        Dispatch::on<SubTypeExpr, &CppEmitter::subType>(),
        Dispatch::on<TupleType, &CppEmitter::tupleType>(),
        Dispatch::on<FuncType, &CppEmitter::funcType>(),
        Dispatch::on<TypeOperator, &CppEmitter::typeOperator>(),
        Dispatch::on<FunctionPointerType, &CppEmitter::functionPointerType>(),
        Dispatch::on<ConstantExpression, &CppEmitter::constant>(),
        Dispatch::on<OperExpression, &CppEmitter::binary>(),
        Dispatch::on<PrefixOperExpression, &CppEmitter::prefix>(),
        Dispatch::on<TernaryOperExpression, &CppEmitter::ternary>(),
        Dispatch::on<SubExpression, &CppEmitter::member>(),
        Dispatch::on<StaticExpression, &CppEmitter::name>(),
        Dispatch::on<TupleExpression, &CppEmitter::tuple>(),
        Dispatch::on<VectorExpression, &CppEmitter::vector>(),
        Dispatch::on<FuncExpression, &CppEmitter::call>(),
        Dispatch::on<CtorExpression, &CppEmitter::construct>(),
        Dispatch::on<RangeExpression, &CppEmitter::range>(),
        Dispatch::on<AnonFuncExpression, &CppEmitter::anonFunction>(),
        Dispatch::on<MacroExpression, &CppEmitter::macroExpression>(),
        Dispatch::on<CppBlockInitializer, &CppEmitter::blockInitializer>(),
        Dispatch::on<VariableDeclarationExpression, &CppEmitter::declarationExpression>(),
        Dispatch::on<CastExpression, &CppEmitter::cast>(),
        Dispatch::on<PostfixOperExpression, &CppEmitter::postfix>(),
        Dispatch::on<ForPart, &CppEmitter::forPart>(),
        Dispatch::on<ArgumentDeclaration, &CppEmitter::argument>(),
        Dispatch::on<ClassDeclaration, &CppEmitter::classDeclaration>(),
        Dispatch::on<FunctionDeclaration, &CppEmitter::function>(),
        Dispatch::on<VariableDeclaration, &CppEmitter::variable>(),
        Dispatch::skip<PropertyDeclaration>(),
        Dispatch::on<TypeAliasDeclaration, &CppEmitter::typeAlias>(),
        Dispatch::on<EnumDeclaration, &CppEmitter::enumDeclaration>(),
        Dispatch::skip<MacroDeclaration>(),
        Dispatch::on<NamespaceDeclaration, &CppEmitter::namespaceDeclaration>(),
        Dispatch::on<UnionDeclaration, &CppEmitter::unionDeclaration>(),
        Dispatch::on<ForStatement, &CppEmitter::forStatement>(),
        Dispatch::on<IfStatement, &CppEmitter::ifStatement>(),
        Dispatch::on<TryStatement, &CppEmitter::tryStatement>(),
        Dispatch::on<CatchStatement, &CppEmitter::catchStatement>(),
        Dispatch::on<WhileStatement, &CppEmitter::whileStatement>(),
        Dispatch::on<DeleteStatement, &CppEmitter::deleteStatement>(),
        Dispatch::on<ReturnStatement, &CppEmitter::returnStatement>(),
        Dispatch::on<BreakStatement, &CppEmitter::breakStatement>(),
        Dispatch::on<ContinueStatement, &CppEmitter::continueStatement>(),
        Dispatch::on<ThrowStatement, &CppEmitter::throwStatement>(),
        Dispatch::on<ExpressionStatement, &CppEmitter::expressionStatement>(),
        Dispatch::on<BlockStatement, &CppEmitter::blockStatement>(),
        Dispatch::on<MacroStatement, &CppEmitter::macroStatement>(),
        Dispatch::on<InitStatement, &CppEmitter::initStatement>(),
        Dispatch::on<FriendDeclaration, &CppEmitter::friendDeclaration>(),
        Dispatch::on<CppForStatement, &CppEmitter::cppFor>(),
        Dispatch::on<CppSwitchStatement, &CppEmitter::cppSwitch>(),
        Dispatch::on<CppCaseStatement, &CppEmitter::cppCase>(),
        Dispatch::on<BaseDeclaration, &CppEmitter::base>(),
        Dispatch::on<EnumItem, &CppEmitter::enumItem>(),
        Dispatch::skip<ImportDeclaration>(),
        Dispatch::on<Block, &CppEmitter::block>(),
        Dispatch::on<Module, &CppEmitter::module>(),
        Dispatch::on<TokensExpression, &CppEmitter::tokens>(),
        Dispatch::on<MacroCall, &CppEmitter::macroCall>(),
        Dispatch::on<TemplateCall, &CppEmitter::templateCall>(),
        Dispatch::on<TemplateArgumentDeclaration, &CppEmitter::templateArgument>(),
        Dispatch::on<TemplateDeclaration, &CppEmitter::templateDeclaration>(),
        Dispatch::skip<ModuleDeclaration>(),
        Dispatch::skip<CppConstantMacroDeclaration>(),
        Dispatch::skip<CppIncludeDeclaration>(),
        Dispatch::skip<UsingDeclaration>(),
        Dispatch::skip<UsingNamespaceDeclaration>(),
    });
    return table;
}
const bool CppEmitter::dispatchListed = listNodeDispatch(&CppEmitter::dispatch);

void CppEmitter::visit(const ASTObject* node) {
    if (node) dispatch()(*node, *this);
}

template <class List>
void CppEmitter::writeList(const List& list, const char* separator) {
    bool first = true;
    for (const auto& element : list) {
        if (!first) write(separator);
        first = false;
        visit(element);
    }
}

void CppEmitter::writeBlock(const Block& block, bool newLineBeforeClose, bool functionBody) {
    write("{");
    Restore<const Block*> blockScope(directBlock_, &block);
    for (const StatementPtr& statement : block.statements) {
        Restore<const ASTObject*> statementScope(directStatement_, statement.get());
        visit(statement);
    }
    if (functionBody) out_.newLine();
    if (newLineBeforeClose && !out_.atLineStart) out_.newLine();
    write("}");
}

// ---- shared pieces ----

const TemplateDeclaration* CppEmitter::templateOf(const TypeDeclaration& type) {
    if (const ClassDeclaration* cls = dynamic_cast<const ClassDeclaration*>(&type)) return cls->templateDecl.get();
    if (const UnionDeclaration* u = dynamic_cast<const UnionDeclaration*>(&type)) return u->templateDecl.get();
    return nullptr;
}

const Block* CppEmitter::bodyOf(const TypeDeclaration& type) {
    if (const ClassDeclaration* cls = dynamic_cast<const ClassDeclaration*>(&type)) return cls->body.get();
    if (const UnionDeclaration* u = dynamic_cast<const UnionDeclaration*>(&type)) return u->body.get();
    return nullptr;
}

bool CppEmitter::isDirectMember(const ASTObject& node) const {
    return !classStack.empty() && directStatement_ == &node && directBlock_ == bodyOf(*classStack.back());
}

void CppEmitter::writeLabel(const ASTObject& node, Access access) {
    if (!isDirectMember(node)) return;
    write(accessWord(access));
    write(":");
}

void CppEmitter::writeTemplateHeader(const TemplateDeclarationPtr& templateDecl) { visit(templateDecl); }

void CppEmitter::writeTemplateParameters(const TemplateDeclaration& templateDecl, bool& first) {
    for (const TemplateArgumentDeclarationPtr& parameter : templateDecl.arguments) {
        if (!first) write(",");
        first = false;
        if (parameter->isType) {
            write("typename " + parameter->name);
        } else {
            visit(parameter->type);
            write(parameter->name);
        }
    }
}

void CppEmitter::writeQualifiedPrefix() {
    for (const TypeDeclaration* cls : classStack) {
        write(cls->name);
        if (const TemplateDeclaration* templateDecl = templateOf(*cls)) {
            if (templateDecl->specialization) {
                visit(templateDecl->specialization);
            } else {
                write("<");
                bool first = true;
                for (const TemplateArgumentDeclarationPtr& parameter : templateDecl->arguments) {
                    if (!first) write(",");
                    first = false;
                    write(parameter->name);
                }
                write(">");
            }
        }
        write("::");
    }
}

bool CppEmitter::typesPhase() const {
    return phase == PhaseTypes || phase == PhaseBody || (phase == PhaseDeclarations && !classStack.empty());
}

// ---- types: each ends in a blank so that a name can follow ----

void CppEmitter::simpleType(const SimpleTypeExpr& node) {
    write(node.name);
    visit(node.templateArgs);
    write(" ");
}

void CppEmitter::subType(const SubTypeExpr& node) {
    if (node.isTypename) write("typename ");
    visit(node.scope);
    write("::" + node.name);
    visit(node.templateArgs);
    write(" ");
}

void CppEmitter::tupleType(const TupleType&) { fail("Not implemented"); }

void CppEmitter::funcType(const FuncType&) { fail("Not implemented"); }

void CppEmitter::typeOperator(const TypeOperator& node) {
    switch (node.kind) {
    case PointerType:
        visit(node.operand);
        write("* ");
        return;
    case SharedPointerType:
        write("boost::shared_ptr<");
        visit(node.operand);
        write("> ");
        return;
    case ReferenceType:
        visit(node.operand);
        write("& ");
        return;
    case ArrayType:
        visit(node.operand);
        write("[");
        visit(node.size);
        write("] ");
        return;
    case VectorType:
        write("std::vector<");
        visit(node.operand);
        write("> ");
        return;
    case MapType:
        write("std::map<");
        visit(node.operand);
        write(",");
        visit(node.valueType);
        write("> ");
        return;
    case ConstType:
        visit(node.operand);
        write("const ");
        return;
    case VolatileType:
        visit(node.operand);
        write("volatile ");
        return;
    }
    fail("Not implemented");
}

void CppEmitter::functionPointerType(const FunctionPointerType& node) {
    write("(*");
    visit(node.result);
    write(")(");
    writeList(node.arguments);
    write(")");
}

// ---- expressions ----

void CppEmitter::constant(const ConstantExpression& node) { write(encodingPrefix(node.encoding) + node.value); }

void CppEmitter::binary(const OperExpression& node) {
    if (node.op == "#") {
        write("(");
        visit(node.left);
        write(")[");
        visit(node.right);
        write("]");
    } else if (isKnownOperator(node.op)) {
        write("(");
        visit(node.left);
        write(")" + node.op + "(");
        visit(node.right);
        write(")");
    } else {
        write(operatorFunctionName(node.op) + "(");
        visit(node.left);
        write(",");
        visit(node.right);
        write(")");
    }
}

void CppEmitter::prefix(const PrefixOperExpression& node) {
    write(node.op + "(");
    visit(node.operand);
    write(")");
}

void CppEmitter::postfix(const PostfixOperExpression& node) {
    write("(");
    visit(node.operand);
    write(")" + node.op);
}

void CppEmitter::ternary(const TernaryOperExpression& node) {
    write("(");
    visit(node.condition);
    write(")?(");
    visit(node.whenTrue);
    write("):(");
    visit(node.whenFalse);
    write(")");
}

void CppEmitter::member(const SubExpression& node) {
    write("(");
    visit(node.object);
    write(node.isArrow ? ")->" : ").");
    write(node.member);
}

void CppEmitter::name(const StaticExpression& node) {
    if (node.scope) {
        visit(node.scope);
        write("::");
    }
    write(node.name);
}

// The grammar reads every parenthesised expression as a tuple of one element: that one is
// plain parentheses. Real tuples have no C++ form.
void CppEmitter::tuple(const TupleExpression& node) {
    write("(");
    writeList(node.elements);
    write(")");
    if (node.elements.size() != 1) fail("tuple expressions not allowed in C++");
}

void CppEmitter::vector(const VectorExpression& node) {
    write("[");
    writeList(node.elements);
    write("]");
    fail("vector expressions not allowed in C++");
}

namespace {

// sizeof(Int) reaches here as the size of a value made without arguments; written as that
// value, int(), C++ would read the type of a function.
const CtorExpression* sizeOfType(const FuncExpression& node) {
    const StaticExpression* callee = dynamic_cast<const StaticExpression*>(node.function.get());
    if (!callee || callee->scope || callee->name != "sizeof" || node.arguments.size() != 1) return nullptr;
    const CtorExpression* value = dynamic_cast<const CtorExpression*>(node.arguments[0].get());
    if (!value || value->isHeap || !value->arguments.empty() || value->initializer) return nullptr;
    return value;
}

}  // namespace

void CppEmitter::call(const FuncExpression& node) {
    if (const CtorExpression* value = sizeOfType(node)) {
        write("sizeof(");
        visit(resolvedType(value->type, *value, "a construction"));
        write(")");
        return;
    }
    visit(node.function);
    visit(node.templateArgs);
    write("(");
    writeList(node.arguments);
    write(")");
}

void CppEmitter::construct(const CtorExpression& node) {
    resolvedType(node.type, node, "a construction");
    // A type of several words (unsigned int) cannot be written as a function-style cast.
    const SimpleTypeExpr* simple = dynamic_cast<const SimpleTypeExpr*>(node.type.get());
    if (!node.isHeap && simple && !simple->templateArgs && simple->name.find(' ') != std::string::npos &&
        node.arguments.size() <= 1) {
        write("static_cast<");
        visit(node.type);
        write(">(");
        if (node.arguments.empty())
            write("0");
        else
            visit(node.arguments.front());
        write(")");
        return;
    }
    if (node.isShared) {
        write("static_cast<boost::shared_ptr<");
        visit(node.type);
        write("> >(new ");
    } else if (node.isHeap) {
        write("new ");
    }
    visit(node.type);
    write("(");
    writeList(node.arguments);
    write(")");
    if (node.isShared) write(")");
}

void CppEmitter::range(const RangeExpression&) { fail("not implemented"); }

void CppEmitter::anonFunction(const AnonFuncExpression&) {
    fail("Anonymous functions should have been filtered out by now");
}

void CppEmitter::macroExpression(const MacroExpression& node) { visit(node.call); }

void CppEmitter::blockInitializer(const CppBlockInitializer& node) {
    write("{");
    writeList(node.elements);
    write("}");
}

void CppEmitter::declarationExpression(const VariableDeclarationExpression& node) { visit(node.declaration); }

void CppEmitter::cast(const CastExpression& node) {
    write("(");
    visit(resolvedType(node.type, node, "a cast"));
    write(")");
    visit(node.operand);
}

// ---- classes and unions ----

void CppEmitter::classLike(const TypeDeclaration& node, const char* keyword, const TemplateDeclarationPtr& templateDecl,
                           const BaseDeclarationList* bases, const BlockPtr& body) {
    Restore<int> depth(templateDepth, templateDepth + (templateDecl ? 1 : 0));
    const TemplateCallPtr specialization = templateDecl ? templateDecl->specialization : TemplateCallPtr();
    if (phase == PhaseForward) {
        mark(node);
        writeLabel(node, node.access);
        writeTemplateHeader(templateDecl);
        write(std::string(keyword) + node.name);
        visit(specialization);
        write(";");
    } else if (phase == PhaseDeclarations) {
        mark(node);
        writeLabel(node, node.access);
        writeTemplateHeader(templateDecl);
        write(std::string(keyword) + node.name);
        visit(specialization);
        if (bases && !bases->empty()) {
            write(":");
            writeList(*bases);
        }
        ClassScope scope(classStack, &node);
        if (body) writeBlock(*body, false);
        write(";");
    } else if (phase == PhaseImplementation) {
        ClassScope scope(classStack, &node);
        if (!body) return;
        Restore<const Block*> blockScope(directBlock_, body.get());
        for (const StatementPtr& statement : body->statements) {
            Restore<const ASTObject*> statementScope(directStatement_, statement.get());
            visit(statement);
        }
    }
}

void CppEmitter::classDeclaration(const ClassDeclaration& node) {
    if (refusedInBody(node, "class ")) return;
    classLike(node, "struct ", node.templateDecl, &node.bases, node.body);
    defineTemplateStaticsAfter(node);
}

void CppEmitter::unionDeclaration(const UnionDeclaration& node) {
    if (refusedInBody(node, "union ")) return;
    classLike(node, "union ", node.templateDecl, nullptr, node.body);
    defineTemplateStaticsAfter(node);
}

// A static member of a template is instantiated where the template is used, in the modules
// that include this header, never in this module's cpp file: so its definition follows the
// outermost class in the header. (Written in the class as "static inline", it could neither
// have the class's own type nor use members declared after it.)
void CppEmitter::defineTemplateStaticsAfter(const TypeDeclaration& outermost) {
    if (phase != PhaseDeclarations || !classStack.empty()) return;
    Restore<EmitPhase> definitions(phase, PhaseImplementation);
    Restore<bool> header(templateStaticsInHeader_, true);
    defineTemplateStatics(outermost);
}

void CppEmitter::defineTemplateStatics(const TypeDeclaration& node) {
    const Block* body = bodyOf(node);
    if (!body) return;
    Restore<int> depth(templateDepth, templateDepth + (templateOf(node) ? 1 : 0));
    ClassScope scope(classStack, &node);
    Restore<const Block*> blockScope(directBlock_, body);
    for (const StatementPtr& statement : body->statements) {
        Restore<const ASTObject*> statementScope(directStatement_, statement.get());
        if (const TypeDeclaration* nested = dynamic_cast<const TypeDeclaration*>(statement.get())) {
            if (bodyOf(*nested)) defineTemplateStatics(*nested);
        } else if (templateDepth >= 1 && dynamic_cast<const VariableDeclaration*>(statement.get())) {
            visit(statement);
        }
    }
}

void CppEmitter::base(const BaseDeclaration& node) {
    if (node.isVirtual) write("virtual ");
    write(accessWord(node.access));
    write(" ");
    visit(node.type);
}

// ---- functions ----

// C++ has no nested functions, and a local class could hold neither the member definitions
// written after it nor static members or templates; so these are refused rather than written
// as C++ that the compiler rejects or, for a class, left out.
bool CppEmitter::refusedInBody(const Declaration& node, const std::string& kind) {
    if (phase != PhaseBody) return false;
    reportError("A " + kind + "declared inside a function body is not supported in this version: " + node.name,
                node.location);
    return true;
}

void CppEmitter::function(const FunctionDeclaration& node) {
    if (refusedInBody(node, "function ")) return;
    const bool isTemplate = node.templateDecl != nullptr;
    if (has(PhaseImplementation) && !node.isInline && !isTemplate && templateDepth == 0) {
        defineFunction(node);
    } else if (has(PhaseDeclarations)) {
        declareFunction(node);
    }
}

void CppEmitter::declareFunction(const FunctionDeclaration& node) {
    const bool isTemplate = node.templateDecl != nullptr;
    if (classStack.empty() && node.access == Private && !node.isInline && !isTemplate && templateDepth == 0) return;
    // The whole definition goes into the header when the C++ compiler needs it there.
    const bool full = node.isInline || isTemplate || templateDepth >= 1;
    mark(node);
    writeLabel(node, node.access);
    writeTemplateHeader(node.templateDecl);
    if (node.isInline) write("inline ");
    if (node.isVirtual) write("virtual ");
    if (node.isStatic) write("static ");
    visit(node.type);
    write(node.name);
    if (isTemplate) visit(node.templateDecl->specialization);
    write("(");
    {
        Restore<EmitPhase> argumentPhase(phase, full ? PhaseImplementation : phase);
        writeList(node.arguments);
    }
    write(")");
    if (node.isConst) write(" const ");
    if (node.isAbstract) {
        write(" = 0");
        if (node.body && node.body->statements.empty()) {
            write(";");
            return;
        }
    }
    if (!full || !node.body) {
        write(";");
        return;
    }
    functionBody(node);
}

void CppEmitter::defineFunction(const FunctionDeclaration& node) {
    mark(node);
    if (!node.body || node.isAbstract) return;
    visit(node.type);
    writeQualifiedPrefix();
    write(node.name);
    write("(");
    writeList(node.arguments);
    write(")");
    if (node.isConst) write(" const ");
    functionBody(node);
}

// C++ initialises bases, then fields, in the order the class declares them, whatever order
// the list gives; g++ warns of a list in another order (-Wreorder). Field initialisers are
// appended to constructors that wrote their own, so the list is put in the class's order.
// Names the class does not declare keep their place after the rest, for the compiler to judge.
size_t CppEmitter::initialiserRank(const InitStatement& init) const {
    const ClassDeclaration* cls = classStack.empty() ? nullptr : dynamic_cast<const ClassDeclaration*>(classStack.back());
    if (!cls) return 0;
    const size_t unknown = std::numeric_limits<size_t>::max();
    if (init.type) {
        const SimpleTypeExpr* named = dynamic_cast<const SimpleTypeExpr*>(init.type.get());
        for (size_t i = 0; i < cls->bases.size(); ++i) {
            const TypeExpression* base = cls->bases[i]->type.get();
            const SimpleTypeExpr* baseName = dynamic_cast<const SimpleTypeExpr*>(base);
            if ((base && init.type->declaration && base->declaration == init.type->declaration) ||
                (named && baseName && named->name == baseName->name))
                return i;
        }
        return unknown;
    }
    size_t rank = cls->bases.size();
    if (cls->body) {
        for (const StatementPtr& statement : cls->body->statements) {
            const VariableDeclaration* field = dynamic_cast<const VariableDeclaration*>(statement.get());
            if (!field || field->isStatic) continue;
            if (field->name == init.member) return rank;
            ++rank;
        }
    }
    return unknown;
}

void CppEmitter::functionBody(const FunctionDeclaration& node) {
    if (!node.type) {
        std::vector<const InitStatement*> inits;
        for (const StatementPtr& statement : node.body->statements)
            if (const InitStatement* init = dynamic_cast<const InitStatement*>(statement.get())) inits.push_back(init);
        std::stable_sort(inits.begin(), inits.end(), [this](const InitStatement* a, const InitStatement* b) {
            return initialiserRank(*a) < initialiserRank(*b);
        });
        Restore<EmitPhase> initialisers(phase, PhaseInitialisers);
        bool first = true;
        for (const InitStatement* init : inits) {
            write(first ? ":" : ",");
            first = false;
            visit(init);
        }
    }
    Restore<EmitPhase> body(phase, PhaseBody);
    writeBlock(*node.body, true, true);
}

void CppEmitter::argument(const ArgumentDeclaration& node) {
    if (node.maybeUnused && has(PhaseImplementation)) write("[[maybe_unused]] ");
    visit(resolvedType(node.type, node, "argument " + node.name));
    if (has(PhaseImplementation)) {
        write(node.name);
    } else if (node.defaultValue) {
        write(node.name.empty() ? "VORN_arg" + argumentSuffixes_.argumentSuffix(&node) : node.name);
        write("=");
        visit(node.defaultValue);
    }
}

void CppEmitter::initStatement(const InitStatement& node) {
    mark(node);
    if (phase != PhaseInitialisers) return;
    if (node.type)
        visit(node.type);
    else
        write(node.member);
    write("(");
    writeList(node.arguments);
    write(")");
}

// ---- variables, aliases, enums, namespaces ----

void CppEmitter::variable(const VariableDeclaration& node) {
    const bool topLevel = classStack.empty();
    if (!has(PhaseDeclarations) && !(has(PhaseImplementation) && (topLevel || node.isStatic))) return;
    resolvedType(node.type, node, node.name);
    const bool implementation = has(PhaseImplementation);
    const bool member = isDirectMember(node);
    if (implementation && member && !has(PhaseDeclarations) && templateDepth >= 1 && !templateStaticsInHeader_) return;
    // A static variable outside any class and function is private to its module: "extern
    // static" is no C++, so the header does not declare it and the definition keeps "static".
    // (Inside a function body both phase bits are set, and a static local is written whole.)
    const bool moduleStatic = node.isStatic && topLevel && has(PhaseDeclarations) != implementation;
    if (moduleStatic && !implementation) return;
    mark(node);
    if (implementation && member && templateDepth >= 1) {
        write("template<");
        bool first = true;
        for (const TypeDeclaration* cls : classStack)
            if (const TemplateDeclaration* templateDecl = templateOf(*cls)) writeTemplateParameters(*templateDecl, first);
        write("> ");
    }
    if (!implementation) {
        writeLabel(node, node.access);
        if (topLevel) write("extern ");
    }
    if (node.maybeUnused) write("[[maybe_unused]] ");
    if ((has(PhaseDeclarations) && node.isStatic) || moduleStatic) write("static ");
    if (node.isMutable) write("mutable ");
    // C++ puts an array's sizes after the declared name: Int#4 v is "int v[4]".
    const TypeExpression* declared = node.type.get();
    std::vector<const TypeOperator*> arrays;
    while (const TypeOperator* array = dynamic_cast<const TypeOperator*>(declared)) {
        if (array->kind != ArrayType) break;
        arrays.push_back(array);
        declared = array->operand.get();
    }
    if (node.writtenAuto)
        write("auto ");
    else if (arrays.empty())
        visit(resolvedType(node.type, node, node.name));
    else
        visit(arrays.back()->operand);
    if (implementation && member) writeQualifiedPrefix();
    write(node.name);
    for (const TypeOperator* array : arrays) {
        write("[");
        visit(array->size);
        write("]");
    }
    if (node.initializers.empty() || (!implementation && (topLevel || node.isStatic))) {
        write(";");
    } else if (node.isConstructed) {
        write("(");
        writeList(node.initializers);
        write(");");
    } else {
        write("=");
        visit(node.initializers.front());
        write(";");
    }
}

void CppEmitter::typeAlias(const TypeAliasDeclaration& node) {
    if (!typesPhase()) return;
    mark(node);
    writeLabel(node, node.access);
    writeTemplateHeader(node.templateDecl);
    write("typedef ");
    visit(resolvedType(node.type, node, node.name));
    write(node.name);
    if (node.templateDecl) visit(node.templateDecl->specialization);
    write(";");
}

void CppEmitter::enumDeclaration(const EnumDeclaration& node) {
    if (!typesPhase()) return;
    mark(node);
    writeLabel(node, node.access);
    write("enum " + node.name);
    write("{");
    writeList(node.items);
    write("}");
    write(";");
}

void CppEmitter::enumItem(const EnumItem& node) {
    mark(node);
    write(node.name);
    if (node.value) {
        write("=");
        visit(node.value);
    }
}

void CppEmitter::namespaceDeclaration(const NamespaceDeclaration& node) {
    mark(node);
    write("namespace " + node.name);
    if (node.body) writeBlock(*node.body, false);
}

void CppEmitter::friendDeclaration(const FriendDeclaration& node) {
    write("friend ");
    visit(node.declaration);
}

void CppEmitter::block(const Block& node) { writeBlock(node, false); }

void CppEmitter::module(const Module& node) {
    if (!writeNestedModule) fail("Tree node type not support by CppBackEnd: Module_");
    writeNestedModule(node);
}

// ---- templates ----

void CppEmitter::templateDeclaration(const TemplateDeclaration& node) {
    write("template<");
    writeList(node.arguments);
    write("> ");
}

void CppEmitter::templateArgument(const TemplateArgumentDeclaration& node) {
    if (node.isType) {
        write("typename " + node.name);
        if (node.defaultType) {
            write("=");
            visit(node.defaultType);
        }
    } else {
        visit(node.type);
        write(node.name);
        if (node.defaultValue) {
            write("=");
            visit(node.defaultValue);
        }
    }
}

void CppEmitter::templateCall(const TemplateCall& node) {
    write("<");
    writeList(node.arguments);
    write("> ");
}

// ---- statements ----

void CppEmitter::blockStatement(const BlockStatement& node) {
    mark(node);
    if (node.block) writeBlock(*node.block, false);
}

void CppEmitter::expressionStatement(const ExpressionStatement& node) {
    mark(node);
    visit(node.expression);
    if (node.body)
        writeBlock(*node.body, false);
    else
        write(";");
}

void CppEmitter::returnStatement(const ReturnStatement& node) {
    mark(node);
    write("return ");
    visit(node.value);
    write(";");
}

void CppEmitter::throwStatement(const ThrowStatement& node) {
    mark(node);
    write("throw ");
    visit(node.value);
    write(";");
}

void CppEmitter::deleteStatement(const DeleteStatement& node) {
    mark(node);
    write("delete ");
    if (node.isArray) write("[] ");
    visit(node.operand);
    write(";");
}

void CppEmitter::breakStatement(const BreakStatement& node) {
    mark(node);
    write("break;");
}

void CppEmitter::continueStatement(const ContinueStatement& node) {
    mark(node);
    write("continue;");
}

void CppEmitter::ifStatement(const IfStatement& node) {
    mark(node);
    for (size_t i = 0; i < node.conditions.size(); ++i) {
        if (i > 0) out_.newLine();
        write(i == 0 ? "if (" : "else if (");
        visit(node.conditions[i]);
        write(")");
        if (i < node.blocks.size() && node.blocks[i]) writeBlock(*node.blocks[i], false);
    }
    if (node.elseBlock) {
        out_.newLine();
        write("else");
        writeBlock(*node.elseBlock, false);
    }
}

void CppEmitter::whileStatement(const WhileStatement& node) {
    mark(node);
    if (node.isPostTested) {
        write("do");
        if (node.body) writeBlock(*node.body, false);
        write("while (");
        visit(node.condition);
        write(");");
    } else {
        write("while (");
        visit(node.condition);
        write(")");
        if (node.body) writeBlock(*node.body, false);
    }
}

void CppEmitter::tryStatement(const TryStatement& node) {
    mark(node);
    if (node.handlers.empty()) {
        if (node.body) writeBlock(*node.body, false);
        return;
    }
    write("try");
    if (node.body) writeBlock(*node.body, false);
    writeList(node.handlers, "");
}

void CppEmitter::catchStatement(const CatchStatement& node) {
    mark(node);
    out_.newLine();
    write("catch(");
    if (node.type) {
        visit(node.type);
        write(node.name);
    } else {
        write("...");
    }
    write(")");
    if (node.body) writeBlock(*node.body, false);
}

void CppEmitter::cppFor(const CppForStatement& node) {
    mark(node);
    write("for(");
    visit(node.initialization);
    write(";");
    visit(node.condition);
    write(";");
    visit(node.step);
    write(")");
    if (node.body) writeBlock(*node.body, false);
}

void CppEmitter::cppSwitch(const CppSwitchStatement& node) {
    mark(node);
    write("switch(");
    visit(node.expression);
    write(")");
    if (node.body) writeBlock(*node.body, false);
}

void CppEmitter::cppCase(const CppCaseStatement& node) {
    mark(node);
    write("case ");
    visit(node.expression);
    write(":");
}

// Loops reach the back end as the C++ for statements that lowering made of them.
void CppEmitter::forStatement(const ForStatement& node) {
    CompileError error = VORN_INTERNAL_ERROR(sourceName, "a for loop reached the back end without being lowered");
    error.position = node.location;
    throw error;
}

void CppEmitter::forPart(const ForPart& node) {
    CompileError error = VORN_INTERNAL_ERROR(sourceName, "a for loop reached the back end without being lowered");
    error.position = node.location;
    throw error;
}

// ---- macro leftovers and verbatim C++ ----

void CppEmitter::macroStatement(const MacroStatement& node) {
    mark(node);
    if (!node.call) return;
    const bool header = node.call->name == "_HPP";
    bool writes;
    if (header)
        writes = has(PhaseDeclarations);
    else if (classStack.empty())
        writes = has(PhaseImplementation);
    else
        writes = has(PhaseDeclarations);
    if (!writes) return;
    visit(node.call);
    // A C macro called as a statement is a call like any other: it needs its semicolon (an
    // extra empty statement or declaration is harmless where the macro brings its own).
    if (!header && node.call->name != "_CPP") write(";");
}

void CppEmitter::macroCall(const MacroCall& node) {
    if (node.name == "_CPP" || node.name == "_HPP") {
        if (node.arguments.size() == 1 && node.arguments[0]) {
            const TokensExpression& tokens = *node.arguments[0];
            std::vector<const Token*> list;
            for (const Token& token : tokens)
                if (token.kind != EndOfFile) list.push_back(&token);
            if (list.size() >= 2 && list.front()->text == "{" && list.back()->text == "}") {
                verbatimBlock(tokens);
                return;
            }
        }
    }
    write(node.name.empty() ? std::string() : node.name.substr(1));
    write("(");
    writeList(node.arguments);
    write(")");
}

// The C++ between the braces, token by token, each on its own source line, with one blank
// where the source had space between two tokens on a line.
void CppEmitter::verbatimBlock(const TokensExpression& tokens) {
    std::vector<const Token*> list;
    for (const Token& token : tokens)
        if (token.kind != EndOfFile) list.push_back(&token);
    const Token* previous = nullptr;
    for (size_t i = 1; i + 1 < list.size(); ++i) {
        const Token& token = *list[i];
        out_.markPosition(token.location);
        if (previous && previous->location.file() == token.location.file() &&
            previous->location.line == token.location.line &&
            token.location.column > previous->location.column + static_cast<int>(previous->text.size()))
            write(" ");
        write(token.text);
        previous = &token;
    }
}

void CppEmitter::tokens(const TokensExpression& node) {
    for (const Token& token : node) {
        if (token.kind == EndOfFile) continue;
        out_.markPosition(token.location);
        write(token.text);
    }
}

std::string ArgumentSuffixes::argumentSuffix(const ArgumentDeclaration* argument) {
    auto found = argumentNumbers_.find(argument);
    if (found == argumentNumbers_.end())
        found = argumentNumbers_.emplace(argument, static_cast<unsigned>(argumentNumbers_.size() + 1)).first;
    std::ostringstream hex;
    hex << std::hex << found->second;
    return hex.str();
}
