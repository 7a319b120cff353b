// The C++ declaration grammar: the rules of grammar mode 1, built once on the parser framework
// the source grammar uses, plus the steps the rows name by role (basic type words, constructor
// names, type definitions in a type position). Takes preprocessed header tokens; gives tree
// nodes of the same classes as the source grammar, and the few C++-only ones.
#include "front/CppFrontEnd.hpp"

#include "front/HeaderMacros.hpp"
#include "tree/NodeDispatch.hpp"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <boost/make_shared.hpp>

#include "base/Diagnostics.hpp"
#include "front/Grammar.hpp"
#include "front/IncludeFrontEnd.hpp"
#include "base/ModuleName.hpp"
#include "tree/Operator.hpp"
#include "tree/ParentFinder.hpp"
#include "base/RunOptions.hpp"
#include "platform/Platform.hpp"

// ---- the tokens the grammar reads ----

namespace {

// Words that vanish with the bracketed group after them.
constexpr const char* droppedWithGroup[] = {"__attribute__", "__attribute", "__asm__", "__asm", "asm", "__declspec"};
// Words that vanish alone.
constexpr const char* droppedWords[] = {"__extension__", "__restrict", "__restrict__", "restrict"};
// Spellings of a standard word.
constexpr struct {
    const char* spelling;
    const char* word;
} renamedWords[] = {{"__inline", "inline"}, {"__inline__", "inline"}, {"__const", "const"},
                    {"__volatile__", "volatile"}, {"__signed__", "signed"}};

template <size_t N>
bool listed(const std::string& word, const char* const (&list)[N]) {
    for (const char* w : list)
        if (word == w) return true;
    return false;
}

}  // namespace

HeaderTokens::HeaderTokens(TokenStream& source) {
    if (source.current == source.end()) source.advance();
    for (TokenStream::Position p = source.current; p != source.end(); ++p) {
        if (p->kind == Whitespace) continue;
        if (p->kind == EndOfFile) break;
        if (listed(p->text, droppedWords)) continue;
        if (listed(p->text, droppedWithGroup)) {
            TokenStream::Position next = std::next(p);
            while (next != source.end() && next->kind == Whitespace) ++next;
            if (next == source.end() || next->text != "(") continue;
            int depth = 0;
            for (p = next; p != source.end() && p->kind != EndOfFile; ++p) {
                if (p->text == "(") ++depth;
                if (p->text == ")" && --depth == 0) break;
            }
            if (p == source.end() || p->kind == EndOfFile) break;
            continue;
        }
        push_back(*p);
        for (const auto& r : renamedWords)
            if (p->text == r.spelling) {
                back().text = r.word;
                back().textChanged();
                back().kind = Keyword;
            }
        // Adjacent string literals are one literal, as in C.
        if (back().kind == String && size() > 1 && std::prev(end(), 2)->kind == String &&
            back().text[0] == '"' && std::prev(end(), 2)->text.back() == '"') {
            std::string tail = back().text.substr(1);
            pop_back();
            back().text.pop_back();
            back().text += tail;
            back().textChanged();
        }
    }
    fill();
    current = begin();
}

void HeaderTokens::fill() { emplace_back(EndOfFile, "\n", empty() ? SourceLocation() : back().location); }

// ---- the grammar ----

namespace {

const std::string& previousText(TokenStream& ts) {
    if (ts.current == ts.begin()) nothingConsumedYet();
    return std::prev(ts.current)->text;
}

// ---- precedence: as the source grammar's, except that C mixes "&&" and "||" freely ----

bool pushContext(TokenStream&) {
    precedence.stack.push_back(PrecedenceEntry{0, ""});
    precedence.lastPopped = PrecedenceEntry{0, ""};
    return true;
}

void popPrecedence(TokenStream&) {
    precedence.lastPopped = precedence.top();
    if (!precedence.stack.empty()) precedence.stack.pop_back();
}

// Template arguments: a ">" there closes the list rather than compares.
bool pushTemplateContext(TokenStream&) {
    precedence.stack.push_back(PrecedenceEntry{0, "<"});
    precedence.lastPopped = PrecedenceEntry{0, ""};
    return true;
}

bool closesTemplateArguments(const std::string& op) {
    if (op != ">" && op != ">>") return false;
    for (auto entry = precedence.stack.rbegin(); entry != precedence.stack.rend(); ++entry)
        if (entry->precedence == 0) return entry->op == "<";
    return false;
}

bool prefixCheck(TokenStream& ts) {
    if (!precedence.stack.empty() && precedence.top().precedence > 140) return false;
    precedence.stack.push_back(PrecedenceEntry{140, previousText(ts)});
    return true;
}

bool binaryCheck(TokenStream& ts) {
    const std::string& op = previousText(ts);
    int p = binaryPrecedence(op);
    if (p < 0 || closesTemplateArguments(op)) return false;
    bool accept = operatorGrouping(op) == GroupsRight ? p >= precedence.top().precedence : p > precedence.top().precedence;
    if (accept) precedence.stack.push_back(PrecedenceEntry{p, op});
    return accept;
}

template <class P>
auto ownContext(P&& body) {
    return func(pushContext) >> finally(std::forward<P>(body), popPrecedence);
}

// ---- C basic type words ----

// C lets the specifier words come in any order and mixes them freely ("long unsigned int" is
// what g++ writes for size_t), so the words are counted, not matched as spellings; the counts
// then name the type. "long long", "short int" and "long int" are read as C reads them, not as
// a basic word followed by a declared name.
struct BasicWordCounts {
    int sign = 0, isUnsigned = 0, charWord = 0, shortWord = 0, intWord = 0, longWord = 0, doubleWord = 0;
};

constexpr struct {
    const char* word;
    int BasicWordCounts::*count;
} basicTypeWords[] = {
    {"signed", &BasicWordCounts::sign},      {"unsigned", &BasicWordCounts::isUnsigned}, {"char", &BasicWordCounts::charWord},
    {"short", &BasicWordCounts::shortWord},  {"int", &BasicWordCounts::intWord},          {"long", &BasicWordCounts::longWord},
    {"double", &BasicWordCounts::doubleWord},
};

// The language's name for a combination of words; empty when C has no such type (then the
// words are not a basic type, and "double" alone stays a name).
std::string basicTypeName(const BasicWordCounts& c) {
    if (c.sign + c.isUnsigned > 1 || c.charWord > 1 || c.shortWord > 1 || c.intWord > 1 || c.longWord > 2 || c.doubleWord > 1)
        return "";
    if (c.charWord && c.shortWord + c.intWord + c.longWord + c.doubleWord > 0) return "";
    if (c.shortWord && c.longWord + c.doubleWord > 0) return "";
    if (c.doubleWord)
        return c.longWord == 1 && !c.sign && !c.isUnsigned && !c.intWord ? "LongDouble" : "";
    const char* base = c.charWord ? "Char" : c.shortWord ? "Short" : c.longWord == 1 ? "Long" : c.longWord == 2 ? "LongLong" : "Int";
    return std::string(c.isUnsigned ? "U" : "") + base;
}

// The type after "enum E :" up to the body or the end of the declaration.
bool skipUnderlyingType(TokenStream& ts) {
    bool any = false;
    while (ts.current->kind != EndOfFile && ts.current->text != "{" && ts.current->text != ";") {
        ts.advance();
        any = true;
    }
    return any;
}

bool readBasicTypeWords(TokenStream& ts) {
    BasicWordCounts counts;
    TokenStream::Position p = ts.current;
    for (; p->kind != EndOfFile; ++p) {
        auto row = std::find_if(std::begin(basicTypeWords), std::end(basicTypeWords),
                                [&p](const auto& r) { return p->text == r.word; });
        if (row == std::end(basicTypeWords)) break;
        ++(counts.*(row->count));
    }
    std::string name = p == ts.current ? "" : basicTypeName(counts);
    if (name.empty()) return false;
    nodeUnderConstruction<SimpleTypeExpr>().name = name;
    ts.current = p;
    return true;
}

// "_Complex double", "double _Complex" and the GNU spelling: the language has no complex
// numbers, so the type is read whole and named "_Complex", which a program can name in no
// declaration it imports.
bool readComplexType(TokenStream& ts) {
    const char* words[] = {"_Complex", "__complex__", "float",     "double",    "long",
                           "_Float32", "_Float64",    "_Float128", "_Float32x", "_Float64x"};
    TokenStream::Position p = ts.current;
    bool complex = false;
    for (; std::find(std::begin(words), std::end(words), p->text) != std::end(words); ++p)
        complex = complex || p->text == "_Complex" || p->text == "__complex__";
    if (!complex) return false;
    ts.current = p;
    nodeUnderConstruction<SimpleTypeExpr>().name = "_Complex";
    return true;
}

// ---- type definitions in a type position ----

// `typedef struct S { ... } T;` defines S where the type of T stands. The definition joins the
// enclosing block before the declaration that names it, and the type becomes its name. Each
// alternative of a declaration reads the type again, so a definition is kept by its first token
// and reused, never added twice.
struct Definition {
    TypeDeclarationPtr declaration;  // null when none could be read there
    TokenStream::Position end;
    bool hasBody = false;
    bool added = false;  // already in a block
};
std::map<const Token*, Definition> definitions;
int anonymousCount = 0;
// Unnamed definitions by the name they were given, until a typedef names them.
std::map<std::string, TypeDeclarationPtr> anonymousDefinitions;

// The access the next class body starts with: private after "class", public otherwise.
Access nextBodyAccess = Public;

bool classMembersPrivate(TokenStream&) {
    nextBodyAccess = Private;
    return true;
}
bool classMembersPublic(TokenStream&) {
    nextBodyAccess = Public;
    return true;
}
bool startClassBody(TokenStream&) {
    nodeUnderConstruction<Block>().access = nextBodyAccess;
    return true;
}

Rule<UnionDeclaration>& unionRule();

// Reads a class, union or enum once per place: the alternatives of a statement each come back
// to it, and nested definitions would otherwise be read a number of times exponential in
// their depth. Leaves the read position after it; null when none is there.
Definition* readTypeDefinition(TokenStream& ts) {
    const std::string& word = ts.current->text;
    if (word != "struct" && word != "class" && word != "union" && word != "enum" && word != "template") return nullptr;
    const Token* start = &*ts.current;
    auto found = definitions.find(start);
    if (found == definitions.end()) {
        TokenStream::Position begin = ts.current;
        TypeDeclarationPtr declaration;
        if (word == "union")
            declaration = unionRule().parse(ts);
        else if (word == "enum")
            declaration = enumRule().parse(ts);
        else
            declaration = classRule().parse(ts);
        Definition d{declaration, ts.current, declaration && ts.current != begin && previousText(ts) == "}", false};
        found = definitions.emplace(start, d).first;
    }
    if (!found->second.declaration) return nullptr;
    ts.current = found->second.end;
    return &found->second;
}

// The definition the type definition statement read last; its ";" follows at once.
Definition* lastStatementDefinition = nullptr;

// type definition statement: class, union or enum, with or without a body (then ";")
bool typeDefinitionStatement(TokenStream& ts) {
    TokenStream::Position begin = ts.current;
    Definition* d = readTypeDefinition(ts);
    if (!d || d->added) {
        ts.current = begin;
        return false;
    }
    constructionSlot<Declaration>() = d->declaration;
    lastStatementDefinition = d;
    return true;
}
bool markDefinitionAdded(TokenStream&) {
    lastStatementDefinition->added = true;
    return true;
}

bool typeDefinitionInType(TokenStream& ts) {
    TokenStream::Position begin = ts.current;
    Definition* d = readTypeDefinition(ts);
    // Without a body it is only a name ("struct S *p"), which the simple type reads.
    if (!d || !d->hasBody) {
        ts.current = begin;
        return false;
    }
    if (!d->added) {
        BlockPtr& block = constructionSlot<Block>();
        if (!block) {
            ts.current = begin;
            return false;
        }
        if (d->declaration->name.empty()) {
            d->declaration->name = "VORN_ANON" + std::to_string(++anonymousCount);
            anonymousDefinitions[d->declaration->name] = d->declaration;
        }
        block->statements.push_back(d->declaration);
        d->added = true;
    }
    boost::shared_ptr<SimpleTypeExpr> type = boost::make_shared<SimpleTypeExpr>();
    type->location = begin->location;
    type->name = d->declaration->name;
    constructionSlot<TypeExpression>() = type;
    return true;
}

// "typedef struct { ... } Point;": C code knows the record only as Point, so that is its name,
// and the alias then names itself and goes (see tidyBlock).
bool nameAnonymousDefinition(TokenStream&) {
    TypeAliasDeclaration& alias = nodeUnderConstruction<TypeAliasDeclaration>();
    boost::shared_ptr<SimpleTypeExpr> simple = boost::dynamic_pointer_cast<SimpleTypeExpr>(alias.type);
    if (!simple) return true;
    auto found = anonymousDefinitions.find(simple->name);
    if (found == anonymousDefinitions.end()) return true;
    found->second->name = alias.name;
    simple->name = alias.name;
    anonymousDefinitions.erase(found);
    return true;
}

bool isSelfAlias(const StatementPtr& statement) {
    TypeAliasDeclarationPtr alias = boost::dynamic_pointer_cast<TypeAliasDeclaration>(statement);
    if (!alias) return false;
    boost::shared_ptr<SimpleTypeExpr> simple = boost::dynamic_pointer_cast<SimpleTypeExpr>(alias->type);
    return simple && !simple->templateArgs && simple->name == alias->name;
}

// The body of a union or struct without a name and without a variable of its type, inside a
// record: C and C++ reach its members as members of the record, so that is where they go.
BlockPtr anonymousMembers(const StatementPtr& statement, bool inRecord) {
    if (!inRecord) return BlockPtr();
    if (UnionDeclarationPtr u = boost::dynamic_pointer_cast<UnionDeclaration>(statement))
        return u->name.empty() ? u->body : BlockPtr();
    if (ClassDeclarationPtr c = boost::dynamic_pointer_cast<ClassDeclaration>(statement))
        return c->name.empty() ? c->body : BlockPtr();
    return BlockPtr();
}

// "typedef struct S S;" declares no new name in C++, and an alias naming itself would send a
// lookup round in a circle. Where the block defines S, the alias goes; elsewhere (an opaque
// handle such as "typedef struct sqlite3 sqlite3;") it becomes the declaration "struct S;".
// Anonymous unions and structs of records give up their members to the record, and unnamed
// bit fields (padding) go.
void tidyBlock(Block& block, bool inRecord) {
    std::set<std::string> typeNames;
    for (const StatementPtr& statement : block.statements)
        if (TypeDeclarationPtr type = boost::dynamic_pointer_cast<TypeDeclaration>(statement))
            if (!isSelfAlias(statement)) typeNames.insert(type->name);
    StatementList kept;
    for (const StatementPtr& statement : block.statements) {
        if (isSelfAlias(statement)) {
            TypeAliasDeclarationPtr alias = boost::static_pointer_cast<TypeAliasDeclaration>(statement);
            if (!typeNames.insert(alias->name).second) continue;
            ClassDeclarationPtr record = boost::make_shared<ClassDeclaration>();
            record->location = alias->location;
            record->name = alias->name;
            record->access = alias->access;
            kept.push_back(record);
            continue;
        }
        VariableDeclarationPtr variable = boost::dynamic_pointer_cast<VariableDeclaration>(statement);
        if (variable && variable->name.empty()) continue;
        if (BlockPtr members = anonymousMembers(statement, inRecord)) {
            tidyBlock(*members, true);
            Access access = boost::static_pointer_cast<Declaration>(statement)->access;
            for (const StatementPtr& member : members->statements) {
                if (DeclarationPtr d = boost::dynamic_pointer_cast<Declaration>(member)) d->access = access;
                kept.push_back(member);
            }
            continue;
        }
        kept.push_back(statement);
        BlockPtr body;
        bool record = true;
        if (ClassDeclarationPtr c = boost::dynamic_pointer_cast<ClassDeclaration>(statement)) body = c->body;
        if (UnionDeclarationPtr u = boost::dynamic_pointer_cast<UnionDeclaration>(statement)) body = u->body;
        if (NamespaceDeclarationPtr n = boost::dynamic_pointer_cast<NamespaceDeclaration>(statement)) {
            body = n->body;
            record = false;
        }
        if (body) tidyBlock(*body, record);
    }
    block.statements.swap(kept);
}

// ---- declarators ----

// An array suffix wraps the declared type: "int a[3]" is an array of three Int.
template <class T>
bool wrapArray(TokenStream&) {
    T& declaration = nodeUnderConstruction<T>();
    boost::shared_ptr<TypeOperator> array = boost::make_shared<TypeOperator>();
    array->location = declaration.location;
    array->kind = ArrayType;
    array->operand = declaration.type;
    array->size = constructionSlot<Expression>();
    declaration.type = array;
    return true;
}

bool clearArraySize(TokenStream&) {
    constructionSlot<Expression>().reset();
    return true;
}

// A function pointer declarator "(*name)(arguments)": the type read before it is the result.
// Declarators nest (an argument may be a function pointer itself), so what each one has read
// so far waits on a stack until its rule has matched.
struct PendingDeclarator {
    TypeExpressionPtr result;
    std::string name;
    int extraStars = 0;  // "(**p)" points to a function pointer
    // "(*(*f)(int))(void)": f's own declarator stands inside, read into the result for now;
    // it returns the function pointer around it.
    bool nested = false;
};
std::vector<PendingDeclarator> pendingDeclarators;

void popPending(TokenStream&) { pendingDeclarators.pop_back(); }

bool pendingName(TokenStream& ts) {
    pendingDeclarators.back().name = previousText(ts);
    return true;
}
bool pendingStar(TokenStream&) {
    ++pendingDeclarators.back().extraStars;
    return true;
}

// The finished declarator's type: the function pointer with its result, under its extra stars.
TypeExpressionPtr finishedPointer(const TypeExpressionPtr& read) {
    boost::shared_ptr<FunctionPointerType> pointer = boost::dynamic_pointer_cast<FunctionPointerType>(read);
    if (!pointer) throw VORN_INTERNAL_ERROR("src/CppFrontEnd", "function pointer declarator without its type");
    const PendingDeclarator& pending = pendingDeclarators.back();
    boost::shared_ptr<FunctionPointerType> inner;
    if (pending.nested) inner = boost::dynamic_pointer_cast<FunctionPointerType>(pointer->result);
    pointer->result = pending.result;
    TypeExpressionPtr type = pointer;
    for (int i = 0; i < pending.extraStars; ++i) {
        boost::shared_ptr<TypeOperator> star = boost::make_shared<TypeOperator>();
        star->location = pointer->location;
        star->kind = PointerType;
        star->operand = type;
        type = star;
    }
    if (!inner) return type;
    inner->result = type;
    return inner;
}

bool pushNested(TokenStream&) {
    pendingDeclarators.push_back(PendingDeclarator{TypeExpressionPtr(), "", 0, false});
    return true;
}
// The name declared inside is the name of the whole declarator.
bool takeNestedName(TokenStream&) {
    PendingDeclarator& inside = pendingDeclarators.back();
    PendingDeclarator& around = pendingDeclarators[pendingDeclarators.size() - 2];
    around.name = inside.name;
    around.nested = true;
    return true;
}

template <class T>
bool pushPendingFrom(TokenStream&) {
    pendingDeclarators.push_back(PendingDeclarator{nodeUnderConstruction<T>().type, "", 0, false});
    return true;
}

// "typedef int handler_t(void *)": the function type, with the type read before the name as result.
template <class T>
bool finishFunctionType(TokenStream&) {
    T& declaration = nodeUnderConstruction<T>();
    boost::shared_ptr<FunctionPointerType> read = boost::dynamic_pointer_cast<FunctionPointerType>(declaration.type);
    if (!read) throw VORN_INTERNAL_ERROR("src/CppFrontEnd", "function type without its parameter types");
    FuncTypePtr function = boost::make_shared<FuncType>();
    function->location = read->location;
    function->result = pendingDeclarators.back().result;
    function->arguments = read->arguments;
    declaration.type = function;
    return true;
}

template <class T>
bool finishDeclarator(TokenStream&) {
    T& declaration = nodeUnderConstruction<T>();
    declaration.type = finishedPointer(declaration.type);
    if (!pendingDeclarators.back().name.empty()) declaration.name = pendingDeclarators.back().name;
    return true;
}

// An argument of a function pointer type that is a function pointer itself: its result is the
// argument type read just before it.
bool pushPendingArgument(TokenStream&) {
    pendingDeclarators.push_back(PendingDeclarator{nodeUnderConstruction<FunctionPointerType>().arguments.back(), "", 0, false});
    return true;
}
bool finishArgument(TokenStream&) {
    TypeExpressionList& arguments = nodeUnderConstruction<FunctionPointerType>().arguments;
    TypeExpressionPtr pointer = finishedPointer(arguments.back());
    arguments.pop_back();
    arguments.back() = pointer;
    return true;
}

// "*" before a later name of "A a, *b;" applies to that name only.
template <class T>
bool wrapPointer(TokenStream&) {
    T& declaration = nodeUnderConstruction<T>();
    boost::shared_ptr<TypeOperator> pointer = boost::make_shared<TypeOperator>();
    pointer->location = declaration.location;
    pointer->kind = PointerType;
    pointer->operand = declaration.type;
    declaration.type = pointer;
    return true;
}

// The type of "A a, b;" before the first name's suffixes, for the names after it.
// The stars of "char *a, b" belong to a alone: the type reads them, the later names drop them.
TypeExpressionPtr withoutStars(TypeExpressionPtr type) {
    while (boost::shared_ptr<TypeOperator> op = boost::dynamic_pointer_cast<TypeOperator>(type)) {
        if (op->kind != PointerType) break;
        type = op->operand;
    }
    return type;
}

TypeExpressionPtr variableType;
bool keepVariableType(TokenStream&) {
    variableType = withoutStars(nodeUnderConstruction<VariableDeclaration>().type);
    return true;
}

// "A a, b;" declares two variables: the one read so far goes to the block as it is.
bool splitVariable(TokenStream&) {
    BlockPtr& block = constructionSlot<Block>();
    if (!block) return false;
    VariableDeclaration& current = nodeUnderConstruction<VariableDeclaration>();
    block->statements.push_back(boost::make_shared<VariableDeclaration>(current));
    current.initializers.clear();
    current.isConstructed = false;
    current.type = variableType;
    return true;
}

// The first declared type of "typedef A a, b;" is kept for each later name.
TypeExpressionPtr typedefType;
bool keepTypedefType(TokenStream&) {
    typedefType = withoutStars(nodeUnderConstruction<TypeAliasDeclaration>().type);
    return true;
}
bool splitTypedef(TokenStream&) {
    BlockPtr& block = constructionSlot<Block>();
    if (!block) return false;
    TypeAliasDeclaration& current = nodeUnderConstruction<TypeAliasDeclaration>();
    block->statements.push_back(boost::make_shared<TypeAliasDeclaration>(current));
    current.type = typedefType;
    return true;
}

// "a::b::c" in an expression: c in the scope a::b. Reads ahead by hand so that a "::" not
// followed by a name leaves the expression as it was.
bool readNameScope(TokenStream& ts) {
    StaticExpression& expression = nodeUnderConstruction<StaticExpression>();
    while (ts.current->text == "::" && std::next(ts.current)->kind == Name) {
        TypeExpressionPtr scope;
        if (!expression.scope) {
            boost::shared_ptr<SimpleTypeExpr> simple = boost::make_shared<SimpleTypeExpr>();
            simple->name = expression.name;
            scope = simple;
        } else {
            boost::shared_ptr<SubTypeExpr> sub = boost::make_shared<SubTypeExpr>();
            sub->scope = expression.scope;
            sub->name = expression.name;
            scope = sub;
        }
        scope->location = expression.location;
        expression.scope = scope;
        expression.name = std::next(ts.current)->text;
        std::advance(ts.current, 2);
    }
    return true;
}

// ---- old-style (K&R) parameter declarations ----

// "int f(a, b) int a; char *b; { ... }": the list names the parameters, each read as a type
// without a name; the declarations after it give their types. Each declaration joins the list
// for now, and a later name of "int a, b;" takes the type of the one before it.
bool repeatOldStyleType(TokenStream&) {
    ArgumentDeclarationList& arguments = nodeUnderConstruction<FunctionDeclaration>().arguments;
    ArgumentDeclarationPtr copy = boost::make_shared<ArgumentDeclaration>(*arguments.back());
    copy->type = variableType;
    arguments.push_back(copy);
    return true;
}
bool keepOldStyleType(TokenStream&) {
    variableType = withoutStars(nodeUnderConstruction<FunctionDeclaration>().arguments.back()->type);
    return true;
}
bool oldStylePointer(TokenStream&) {
    ArgumentDeclaration& last = *nodeUnderConstruction<FunctionDeclaration>().arguments.back();
    boost::shared_ptr<TypeOperator> pointer = boost::make_shared<TypeOperator>();
    pointer->location = last.location;
    pointer->kind = PointerType;
    pointer->operand = last.type;
    last.type = pointer;
    return true;
}
bool oldStyleName(TokenStream& ts) {
    nodeUnderConstruction<FunctionDeclaration>().arguments.back()->name = previousText(ts);
    return true;
}

// Puts each declared parameter in the place its name holds in the list; a name without a
// declaration is an int, as in C. Fails when a declaration names no parameter of the list.
bool placeOldStyleParameters(TokenStream&) {
    ArgumentDeclarationList& arguments = nodeUnderConstruction<FunctionDeclaration>().arguments;
    ArgumentDeclarationList names, declared;
    for (const ArgumentDeclarationPtr& a : arguments) {
        boost::shared_ptr<SimpleTypeExpr> simple = boost::dynamic_pointer_cast<SimpleTypeExpr>(a->type);
        (a->name.empty() && simple && !simple->templateArgs ? names : declared).push_back(a);
    }
    for (ArgumentDeclarationPtr& name : names) {
        std::string parameter = boost::static_pointer_cast<SimpleTypeExpr>(name->type)->name;
        auto found = std::find_if(declared.begin(), declared.end(),
                                  [&parameter](const ArgumentDeclarationPtr& d) { return d->name == parameter; });
        if (found == declared.end()) {
            boost::shared_ptr<SimpleTypeExpr> integer = boost::make_shared<SimpleTypeExpr>();
            integer->location = name->location;
            integer->name = "Int";
            name->type = integer;
            name->name = parameter;
            continue;
        }
        name = *found;
        declared.erase(found);
    }
    if (!declared.empty()) return false;
    arguments = names;
    return true;
}

// ---- function names ----

bool nameOperator(TokenStream& ts) {
    FunctionDeclaration& function = nodeUnderConstruction<FunctionDeclaration>();
    const std::string& last = previousText(ts);
    function.name = last == ")" ? "operator ()" : last == "]" ? "operator []" : "operator " + last;
    function.isOperator = true;
    return true;
}

bool nameConversion(TokenStream&) {
    FunctionDeclaration& function = nodeUnderConstruction<FunctionDeclaration>();
    function.name = "operator";
    function.isOperator = true;
    return true;
}

// The enclosing class's name, optionally after "Name ::", then "(": a constructor or (after
// "~") a destructor.
bool readClassName(TokenStream& ts, const char* functionName) {
    ClassDeclarationPtr& owner = constructionSlot<ClassDeclaration>();
    if (!owner || owner->name.empty()) return false;
    TokenStream::Position p = ts.current;
    if (p->text == owner->name && std::next(p)->text == "::") std::advance(p, 2);
    if (p->text != owner->name || std::next(p)->text != "(") return false;
    ts.current = std::next(p);
    nodeUnderConstruction<FunctionDeclaration>().name = functionName;
    return true;
}
bool constructorName(TokenStream& ts) { return readClassName(ts, "construct"); }
bool destructorName(TokenStream& ts) { return readClassName(ts, "destruct"); }

VORN_RULE(FunctionPointerType, functionPointerRule)
VORN_RULE(PrefixOperExpression, sizeOfTypeRule)
VORN_RULE(CtorExpression, sizeOfOperandRule)
VORN_RULE(MatchBool, oldStyleParametersRule)
VORN_RULE(FunctionPointerType, functionTypeRule)
VORN_RULE(MatchBool, memberInitializerRule)
VORN_RULE(MatchBool, throwSpecRule)
VORN_RULE(UsingDeclaration, usingRule)
VORN_RULE(UsingNamespaceDeclaration, usingNamespaceRule)
VORN_RULE(NamespaceDeclaration, namespaceRule)
VORN_RULE(FriendDeclaration, friendRule)
VORN_RULE(UnionDeclaration, unionRule)
VORN_RULE(Declaration, typeDefinitionStatementRule)
VORN_RULE(CppBlockInitializer, braceInitializerRule)
VORN_RULE(CastExpression, castRule)
VORN_RULE(Expression, parenthesisedRule)
VORN_RULE(CppForStatement, cppForRule)
VORN_RULE(CppSwitchStatement, switchRule)
VORN_RULE(CppCaseStatement, caseRule)
VORN_RULE(Block, classBodyRule)
VORN_RULE(Block, functionBodyRule)
VORN_RULE(MatchBool, externCRule)
VORN_RULE(VariableDeclarationExpression, conditionVariableRule)
VORN_RULE(VariableDeclaration, conditionDeclarationRule)

// function pointer declarator: the function pointer rule in place of a declared name
template <class T>
auto pointerDeclarator() {
    return func(pushPendingFrom<T>) >> finally(functionPointerRule() % to<T>(&T::type) >> func(finishDeclarator<T>), popPending);
}

// ---- the rules, in the order they are built ----

void buildCppTypeRules() {
    Rule<TypeExpression>& type = typeRule();
    Rule<TypeExpression>& primaryType = primaryTypeRule();
    Rule<TemplateCall>& templateCall = templateCallRule();

    // primary type: ( prefix type operator | type definition | simple type )
    //   { "::" Name → SubTypeExpr.name [ template arguments ] }
    typedef SubTypeExpr Sub;
    primaryType = nested(
        (none<TypeExpression>() | prefixTypeOperatorRule() | simpleTypeRule()) >>
        many(link(wrap<Sub>(&Sub::scope, "::" >> tok(Name) % to<Sub>(&Sub::name) >>
                                             opt(templateCall % to<Sub>(&Sub::templateArgs))))));

    // type: type definition | primary type { "const" | "volatile" | "*" | "&" }
    typedef TypeOperator Op;
    type.name = "type";
    type = treePart(func(typeDefinitionInType) >> many(link(wrap<Op>(&Op::operand, lit("const") % setTo<Op>(&Op::kind, ConstType) |
                                                                                  lit("volatile") % setTo<Op>(&Op::kind, VolatileType) |
                                                                                  lit("*") % setTo<Op>(&Op::kind, PointerType) |
                                                                                  lit("&") % setTo<Op>(&Op::kind, ReferenceType)))) |
                    primaryType >>
                        many(link(wrap<Op>(&Op::operand, lit("const") % setTo<Op>(&Op::kind, ConstType) |
                                                             lit("volatile") % setTo<Op>(&Op::kind, VolatileType) |
                                                             lit("*") % setTo<Op>(&Op::kind, PointerType) |
                                                             lit("&") % setTo<Op>(&Op::kind, ReferenceType)))));

    // simple type: complex type | C basic type words | ( "decltype" | "typeof" ) "(" type or expression ")"
    //   | [ "typename" ] [ "struct" | "union" | "enum" | "class" ]
    //   [ "::" ] Name [ template arguments ]
    typedef SimpleTypeExpr Simple;
    simpleTypeRule() = func(readComplexType) | func(readBasicTypeWords) |
                       (lit("decltype") | lit("__typeof__") | lit("__typeof") | lit("typeof")) % to<Simple>(&Simple::name) >>
                           "(" >> ownContext(typeRule() >> ")" | expressionRule() >> ")") |
                       opt(lit("typename")) >> opt(lit("struct") | lit("union") | lit("enum") | lit("class")) >>
                           opt(lit("::")) >> tok(Name) % to<Simple>(&Simple::name) >>
                           opt(templateCall % to<Simple>(&Simple::templateArgs));

    // prefix type operator: ( "const" | "volatile" ) type
    prefixTypeOperatorRule() =
        (lit("const") % setTo<Op>(&Op::kind, ConstType) | lit("volatile") % setTo<Op>(&Op::kind, VolatileType)) >>
        primaryType % to<Op>(&Op::operand);

    // template arguments: "<" [ type or expression { "," type or expression } ] ">"
    typedef TemplateCall Call;
    Rule<AnyExpression>& anyExpression = anyExpressionRule();
    anyExpression = none<AnyExpression>() | type | expressionRule();
    templateCall = "<" >> func(pushTemplateContext) >>
                   finally(opt(anyExpression % to<Call>(&Call::arguments) >> many("," >> anyExpression % to<Call>(&Call::arguments))),
                           popPrecedence) >>
                   ">";
}

void buildCppExpressionRules() {
    Rule<Expression>& expression = expressionRule();
    Rule<TypeExpression>& type = typeRule();

    // expression: ( size of a type | prefix operator | constant | construction | cast | parenthesised | name )
    //   { call | member | conditional | postfix | index | binary }
    // Each operand binds tighter than ",", so arguments and initialisers are one operand each;
    // a comma expression is read only in parentheses and statements.
    typedef FuncExpression Call;
    typedef SubExpression Member;
    typedef TernaryOperExpression Cond;
    typedef OperExpression Binary;
    typedef PrefixOperExpression Prefix;
    auto arguments = [](auto target) {
        return ownContext(opt(expressionRule() % target >> many("," >> expressionRule() % target)));
    };
    expression.name = "expression";
    // Remembered: after a bracket, a call, a cast and a parenthesised expression each read what
    // follows, and without it unclosed brackets cost time exponential in their number.
    expression = remember<Expression>(nested(
        func(pushContext) >>
        finally(none<Expression>() | sizeOfTypeRule() | prefixOperatorRule() | constantRule() | constructionRule() | castRule() |
                    parenthesisedRule() | staticNameRule(),
                popPrecedence) >>
        many(link(wrap<Call>(&Call::function, "(" >> arguments(to<Call>(&Call::arguments)) >> ")") |
                  wrap<Member>(&Member::object, (lit(".") | lit("->") % setTo<Member>(&Member::isArrow, true)) >>
                                                    tok(Name) % to<Member>(&Member::member)) |
                  wrap<Binary>(&Binary::left, lit("[") % setTo<Binary>(&Binary::op, std::string("[]")) >>
                                                  ownContext(expression % to<Binary>(&Binary::right)) >> "]") |
                  wrap<Cond>(&Cond::condition, "?" >> func(binaryCheck) >>
                                                   finally(expression % to<Cond>(&Cond::whenTrue) >> ":" >>
                                                               expression % to<Cond>(&Cond::whenFalse),
                                                           popPrecedence)) |
                  wrap<Prefix>(&Prefix::operand, (lit("++") | lit("--")) % to<Prefix>(&Prefix::op)) |
                  wrap<Binary>(&Binary::left, tok(Operator) % to<Binary>(&Binary::op) >> func(binaryCheck) >>
                                                  finally(expression % to<Binary>(&Binary::right), popPrecedence))))));

    // size of a type: "sizeof" "(" type ")", read as the size of a value of the type
    typedef CtorExpression Ctor;
    sizeOfTypeRule() = lit("sizeof") % to<Prefix>(&Prefix::op) >> "(" >> sizeOfOperandRule() % to<Prefix>(&Prefix::operand) >> ")";
    sizeOfOperandRule() = ownContext(type % to<Ctor>(&Ctor::type));

    // prefix operator: Operator → operator, prefix check, expression → operand, then pop
    prefixOperatorRule() = (tok(Operator) | lit("sizeof")) % to<Prefix>(&Prefix::op) >> func(prefixCheck) >>
                           finally(expression % to<Prefix>(&Prefix::operand), popPrecedence);

    // construction: "new" type [ "(" arguments ")" ]
    constructionRule() = lit("new") % setTo<Ctor>(&Ctor::isHeap, true) >> type % to<Ctor>(&Ctor::type) >>
                         opt(lit("(") % setTo<Ctor>(&Ctor::hasArguments, true) >> arguments(to<Ctor>(&Ctor::arguments)) >> ")");

    // cast: "(" type ")" expression
    typedef CastExpression Cast;
    // The operand binds as tightly as a prefix operator's: "(int)a + b" adds to the cast.
    castRule() = "(" >> type % to<Cast>(&Cast::type) >> ")" >> func(prefixCheck) >>
                 finally(expression % to<Cast>(&Cast::operand), popPrecedence);

    // parenthesised: "(" expression { "," expression } ")"
    parenthesisedRule() = "(" >> ownContext(expression >> many(wrap<Binary>(&Binary::left, lit(",") % to<Binary>(&Binary::op) >>
                                                                                          expression % to<Binary>(&Binary::right)))) >>
                          ")";

    // constant: String ⇒ encoding 1 | "L" String ⇒ encoding 2 | Number
    typedef ConstantExpression Const;
    auto text = tok(String) % to<Const>(&Const::value);
    constantRule() = text % setTo<Const>(&Const::encoding, EncodingA) | (lit("L") >> text) % setTo<Const>(&Const::encoding, EncodingU) |
                     tok(Number) % to<Const>(&Const::value);

    // name: [ "::" ] Name { "::" Name }, the names before the last one being its scope
    typedef StaticExpression Static;
    staticNameRule() = opt(lit("::")) >> tok(Name) % to<Static>(&Static::name) >> func(readNameScope);

    // brace initialiser: "{" ( expression | brace initialiser ) { "," ... } [ "," ] "}"
    typedef CppBlockInitializer Braces;
    auto element = ownContext(expression % to<Braces>(&Braces::elements) | braceInitializerRule() % to<Braces>(&Braces::elements));
    braceInitializerRule() = nested("{" >> opt(element >> many("," >> element)) >> opt(lit(",")) >> "}");
}

void buildCppStatementRules() {
    Rule<Expression>& expression = expressionRule();
    Rule<Block>& block = blockRule();
    Rule<TypeExpression>& type = typeRule();

    // statement: for | if | try | while | delete | return | break | continue | throw | switch
    //   | case | friend | declaration | expression statement
    statementRule().name = "statement";
    statementRule() = none<Statement>() | cppForRule() | ifRule() | tryRule() | whileRule() | deleteRule() | returnRule() |
                      breakRule() | continueRule() | throwRule() | switchRule() | caseRule() | friendRule() |
                      usingNamespaceRule() | usingRule() | declarationRule() | expressionStatementRule();

    // for: "for" "(" [ expression ] ";" [ expression ] ";" [ expression ] ")" block
    typedef CppForStatement For;
    // variable declaration in a condition: type Name [ "=" expression ]
    typedef VariableDeclaration Var;
    typedef VariableDeclarationExpression VarEx;
    conditionDeclarationRule() = type % to<Var>(&Var::type) >> tok(Name) % to<Var>(&Var::name) >>
                                 opt("=" >> ownContext(expression % to<Var>(&Var::initializers)));
    conditionVariableRule() = conditionDeclarationRule() % to<VarEx>(&VarEx::declaration);
    auto initialization = none<Expression>() | conditionVariableRule() | expression;
    cppForRule() = "for" >> lit("(") >> opt(ownContext(initialization % to<For>(&For::initialization))) >> ";" >>
                   opt(ownContext(expression % to<For>(&For::condition))) >> ";" >> opt(ownContext(expression % to<For>(&For::step))) >>
                   ")" >> block % to<For>(&For::body);

    // if: "if" "(" expression ")" block [ "else" block ]
    typedef IfStatement If;
    ifRule() = "if" >> lit("(") >> ownContext(expression % to<If>(&If::conditions)) >> ")" >> block % to<If>(&If::blocks) >>
               opt("else" >> block % to<If>(&If::elseBlock));

    // try: "try" block { "catch" "(" ( "..." | type [ Name ] ) ")" block }+
    typedef TryStatement Try;
    typedef CatchStatement Catch;
    tryRule() = "try" >> block % to<Try>(&Try::body) >> many1(catchRule() % to<Try>(&Try::handlers));
    catchRule() = "catch" >> lit("(") >>
                  (lit("...") | type % to<Catch>(&Catch::type) >> opt(tok(Name) % to<Catch>(&Catch::name))) >> ")" >>
                  block % to<Catch>(&Catch::body);

    // while: "while" "(" expression ")" block | "do" block "while" "(" expression ")" ";"
    typedef WhileStatement While;
    whileRule() = "while" >> lit("(") >> ownContext(expression % to<While>(&While::condition)) >> ")" >> block % to<While>(&While::body) |
                  lit("do") % setTo<While>(&While::isPostTested, true) >> block % to<While>(&While::body) >> "while" >> "(" >>
                      ownContext(expression % to<While>(&While::condition)) >> ")" >> ";";

    // delete: "delete" [ "[" "]" ] expression ";"
    typedef DeleteStatement Delete;
    deleteRule() = "delete" >> opt((lit("[") >> "]") % setTo<Delete>(&Delete::isArray, true)) >>
                   expression % to<Delete>(&Delete::operand) >> ";";

    // return, throw: word [ expression ] ";"
    typedef ReturnStatement Return;
    typedef ThrowStatement Throw;
    returnRule() = "return" >> opt(ownContext(expression % to<Return>(&Return::value))) >> ";";
    throwRule() = "throw" >> opt(expression % to<Throw>(&Throw::value)) >> ";";
    breakRule() = "break" >> lit(";");
    continueRule() = "continue" >> lit(";");

    // switch: "switch" "(" expression ")" class body; case: "case" expression ":" (or "default" ":")
    typedef CppSwitchStatement Switch;
    typedef CppCaseStatement Case;
    switchRule() = "switch" >> lit("(") >> ownContext(expression % to<Switch>(&Switch::expression)) >> ")" >>
                   func(classMembersPublic) >> classBodyRule() % to<Switch>(&Switch::body);
    caseRule() = "case" >> expression % to<Case>(&Case::expression) >> ":" | lit("default") >> ":";

    // expression statement: expression ";"
    typedef ExpressionStatement ExprSt;
    expressionStatementRule() = ownContext(expression % to<ExprSt>(&ExprSt::expression)) >> ";";

    // block: "{" { statement } "}" | ";" | statement
    auto intoBlock = statementRule() % to<Block>(&Block::statements);
    block.name = "block";
    block = nested("{" >> many(skip(intoBlock | lit(";"))) >> "}" | lit(";") | intoBlock);
}

void buildCppDeclarationRules() {
    Rule<TypeExpression>& type = typeRule();

    // declaration: typedef | namespace | using | type declaration ";" | function | variable
    declarationRule().name = "declaration";
    declarationRule() = none<Declaration>() | aliasRule() | namespaceRule() | typeDefinitionStatementRule() | functionRule() |
                        variableRule();

    // namespace: [ "inline" ] "namespace" [ Name ] class body
    typedef NamespaceDeclaration Ns;
    namespaceRule() = opt(lit("inline")) >> "namespace" >> opt(tok(Name) % to<Ns>(&Ns::name)) >>
                      func(classMembersPublic) >> classBodyRule() % to<Ns>(&Ns::body);

    // using: "using" qualified name ";" | "using" "namespace" qualified name ";"
    usingRule() = "using" >> type % to<UsingDeclaration>(&UsingDeclaration::entity) >> ";";
    usingNamespaceRule() = "using" >> lit("namespace") >>
                           type % to<UsingNamespaceDeclaration>(&UsingNamespaceDeclaration::entity) >> ";";

    // friend: "friend" ( class ";" | union ";" | function | variable )
    typedef FriendDeclaration Friend;
    friendRule() = "friend" >> (none<Declaration>() | typeDefinitionStatementRule() | functionRule() | variableRule()) %
                                   to<Friend>(&Friend::declaration);
}

void buildCppClassRules() {
    Rule<Expression>& expression = expressionRule();
    Rule<TypeExpression>& type = typeRule();
    Rule<Block>& block = blockRule();
    Rule<TemplateDeclaration>& templateDeclaration = templateDeclarationRule();
    auto intoBlock = statementRule() % to<Block>(&Block::statements);
    // extern "C" block: "extern" ( "\"C\"" | "\"C++\"" ) ( "{" { extern block | ";" | statement } "}"
    //   | statement ); its declarations belong to the block around it.
    Rule<MatchBool>& externC = externCRule();
    externC = nested("extern" >> (lit("\"C\"") | lit("\"C++\"")) >>
                     ("{" >> many(skip(externC | lit(";") | intoBlock)) >> "}" | intoBlock));

    // base: { "public" | "protected" | "private" | "virtual" } type
    typedef BaseDeclaration Base;
    baseRule() = many(lit("public") % setTo<Base>(&Base::access, Public) | lit("protected") % setTo<Base>(&Base::access, Protected) |
                      lit("private") % setTo<Base>(&Base::access, Private) | lit("virtual") % setTo<Base>(&Base::isVirtual, true)) >>
                 type % to<Base>(&Base::type);

    // class body: "{" { access label ":" | extern "C" block | ";" | statement } "}"
    auto label = (lit("public") % setTo<Block>(&Block::access, Public) | lit("protected") % setTo<Block>(&Block::access, Protected) |
                  lit("private") % setTo<Block>(&Block::access, Private)) >>
                 ":";
    classBodyRule() = nested("{" >> func(startClassBody) >> many(skip(label | externC | lit(";") | intoBlock)) >> "}");

    // class: [ template declaration ] ( "class" | "struct" ) [ Name [ template arguments ] ]
    //   [ ":" base { "," base } ] [ class body ]
    // The arguments of a specialisation are read but not kept: nothing imported uses them yet.
    typedef ClassDeclaration Class;
    classRule().name = "class declaration";
    classRule() = opt(templateDeclaration % to<Class>(&Class::templateDecl)) >>
                  (lit("class") >> func(classMembersPrivate) | lit("struct") >> func(classMembersPublic)) >>
                  opt(tok(Name) % to<Class>(&Class::name) >> opt(templateCallRule())) >>
                  opt(":" >> baseRule() % to<Class>(&Class::bases) >> many("," >> baseRule() % to<Class>(&Class::bases))) >>
                  opt(classBodyRule() % to<Class>(&Class::body));
    // type definition statement: ( class | union | enum ) ";"
    typeDefinitionStatementRule() = func(typeDefinitionStatement) >> ";" >> func(markDefinitionAdded);

    // union: [ template declaration ] "union" [ Name ] [ class body ]
    typedef UnionDeclaration Union;
    unionRule() = opt(templateDeclaration % to<Union>(&Union::templateDecl)) >> "union" >> func(classMembersPublic) >>
                  opt(tok(Name) % to<Union>(&Union::name)) >> opt(classBodyRule() % to<Union>(&Union::body));

    // enum: "enum" [ ( "class" | "struct" ) ⇒ isScoped ] [ Name ] [ ":" type ]
    //   [ "{" [ item { "," item } ] [ "," ] "}" ]; item: Name [ "=" expression ]
    // The underlying type is read and dropped: C++ reads the header itself.
    typedef EnumDeclaration Enum;
    typedef EnumItem Item;
    enumItemRule() = tok(Name) % to<Item>(&Item::name) >> opt("=" >> ownContext(expression % to<Item>(&Item::value)));
    enumRule() = "enum" >> opt((lit("class") | lit("struct")) % setTo<Enum>(&Enum::isScoped, true)) >>
                 opt(tok(Name) % to<Enum>(&Enum::name)) >> opt(":" >> func(skipUnderlyingType)) >>
                 opt("{" >> opt(enumItemRule() % to<Enum>(&Enum::items) >> many("," >> enumItemRule() % to<Enum>(&Enum::items))) >>
                     opt(lit(",")) >> "}");
    (void)block;
}

void buildCppFunctionRules() {
    Rule<Expression>& expression = expressionRule();
    Rule<TypeExpression>& type = typeRule();
    Rule<TemplateDeclaration>& templateDeclaration = templateDeclarationRule();
    Rule<ArgumentDeclaration>& argument = argumentRule();

    // function pointer: "(" "*" { "*" | "const" | "volatile" } [ Name | function pointer ] ")" parameter types
    // parameter types: "(" [ "void" ] ")" | "(" argument type { "," argument type } ")"
    // argument type: "..." | type [ function pointer ] [ Name ] { "[" [ expression ] "]" }
    typedef FunctionPointerType FnPtr;
    auto innerPointer = func(pushPendingArgument) >>
                        finally(functionPointerRule() % to<FnPtr>(&FnPtr::arguments) >> func(finishArgument), popPending);
    auto argumentType = lit("...") | type % to<FnPtr>(&FnPtr::arguments) >> opt(innerPointer) >> opt(tok(Name)) >>
                                         many("[" >> opt(ownContext(expressionRule())) >> "]");
    auto nestedDeclarator = func(pushNested) >>
                            finally(functionPointerRule() % to<FnPtr>(&FnPtr::result) >> func(takeNestedName), popPending);
    auto parameterTypes = "(" >> (lit(")") | lit("void") >> ")" | argumentType >> many("," >> argumentType) >> ")");
    functionPointerRule() = nested("(" >> lit("*") >> many(lit("*") >> func(pendingStar) | lit("const") | lit("volatile")) >>
                                   opt(tok(Name) >> func(pendingName) | nestedDeclarator) >> ")" >> parameterTypes);
    // A typedef of a function type ("typedef int handler_t(void *);") reads the same list.
    functionTypeRule() = nested(parameterTypes);

    // argument: type [ Name ] { array suffix } [ "=" expression ] | type "(" "*" [ Name ] ")" arguments | "..."
    typedef ArgumentDeclaration Arg;
    argument = "..." >> previous % to<Arg>(&Arg::name) |
               type % to<Arg>(&Arg::type) >>
                   (pointerDeclarator<Arg>() |
                    opt(tok(Name) % to<Arg>(&Arg::name)) >>
                        many("[" >> func(clearArraySize) >> opt(ownContext(expressionRule())) >> "]" >> func(wrapArray<Arg>)) >>
                        opt("=" >> ownContext(expression % to<Arg>(&Arg::defaultValue))));

    // old-style parameters: { argument { "," { "*" } Name } ";" }+
    typedef FunctionDeclaration Fn;
    oldStyleParametersRule() =
        many1(argument % to<Fn>(&Fn::arguments) >> func(keepOldStyleType) >>
              many("," >> func(repeatOldStyleType) >> many(lit("*") >> func(oldStylePointer)) >> tok(Name) >> func(oldStyleName)) >>
              ";") >>
        func(placeOldStyleParameters);

    // member initialiser: ( Name | type ) "(" [ expression { "," expression } ] ")"
    memberInitializerRule() = type >> "(" >> ownContext(opt(expression >> many("," >> expression))) >> ")";
    // list of thrown types: "throw" "(" { type [ "," ] } ")"
    throwSpecRule() = "throw" >> lit("(") >> many(type >> opt(lit(","))) >> ")";

    // function: [ template declaration ] { "virtual" | "static" | "inline" | "extern" | "explicit" | "constexpr" }
    //   ( "operator" type | type "operator" ( Operator | "(" ")" | "[" "]" ) | [ "~" ] class name
    //   | type qualified name (its scopes may have template arguments) | type "(" Name ")" ) "(" [ "void" ")" | argument { "," argument } ")" ] [ "const" ]
    //   [ throw ] [ "noexcept" [ "(" expression ")" ] ] [ ":" initialiser { "," initialiser } ]
    //   [ old-style parameters ] [ "=" "0" | "=" "default" | "=" "delete" ] ( block | ";" )
    auto argumentList = "(" >> (lit("void") >> ")" | lit(")") |
                                argument % to<Fn>(&Fn::arguments) >> many("," >> argument % to<Fn>(&Fn::arguments)) >> ")");
    functionRule().name = "function declaration";
    functionRule() =
        opt(templateDeclaration % to<Fn>(&Fn::templateDecl)) >>
        many(lit("virtual") % setTo<Fn>(&Fn::isVirtual, true) | lit("static") % setTo<Fn>(&Fn::isStatic, true) |
             lit("inline") % setTo<Fn>(&Fn::isInline, true) | lit("extern") | lit("explicit") | lit("constexpr")) >>
        ("operator" >> type % to<Fn>(&Fn::type) >> func(nameConversion) |
         lit("~") >> func(destructorName) | func(constructorName) |
         type % to<Fn>(&Fn::type) >> ("operator" >> (tok(Operator) | lit("(") >> ")" | lit("[") >> "]") >> func(nameOperator) |
                                      tok(Name) % to<Fn>(&Fn::name) >>
                                          many(opt(templateCallRule()) >> "::" >> tok(Name) % to<Fn>(&Fn::name)) |
                                      "(" >> tok(Name) % to<Fn>(&Fn::name) >> ")")) >>
        argumentList >> opt(lit("const") % setTo<Fn>(&Fn::isConst, true)) >> opt(throwSpecRule()) >> opt("noexcept" >> opt("(" >> ownContext(expression) >> ")")) >>
        opt(":" >> memberInitializerRule() >> many("," >> memberInitializerRule())) >> opt(oldStyleParametersRule()) >>
        opt((lit("=") >> "0") % setTo<Fn>(&Fn::isAbstract, true) | lit("=") >> (lit("default") | lit("delete"))) >> (lit(";") | functionBodyRule() % to<Fn>(&Fn::body));
}

void buildCppVariableRules() {
    Rule<Expression>& expression = expressionRule();
    Rule<TypeExpression>& type = typeRule();

    // function body: "{" { statement } "}"
    auto intoBlock = statementRule() % to<Block>(&Block::statements);
    functionBodyRule() = nested("{" >> many(skip(intoBlock | lit(";"))) >> "}");

    // variable: { "mutable" | "static" | "extern" | "register" | "constexpr" | "inline" } type declarator { "," declarator } ";"
    // declarator: Name { array suffix } [ ":" constant ] [ "=" ( expression | brace initialiser )
    //   | "(" expression { "," expression } ")" ], or "(" "*" Name ")" arguments, or ":" constant
    //   (unnamed padding bits, which declare nothing and are dropped afterwards)
    typedef VariableDeclaration Var;
    auto initialiser = "=" >> ownContext(expression % to<Var>(&Var::initializers) |
                                         braceInitializerRule() % to<Var>(&Var::initializers)) |
                       lit("(") % setTo<Var>(&Var::isConstructed, true) >>
                           ownContext(expression % to<Var>(&Var::initializers) >> many("," >> expression % to<Var>(&Var::initializers))) >>
                           ")";
    auto declarator = pointerDeclarator<Var>() >> opt(initialiser) | ":" >> ownContext(expression) |
                      tok(Name) % to<Var>(&Var::name) >>
                          many("[" >> func(clearArraySize) >> opt(ownContext(expressionRule())) >> "]" >> func(wrapArray<Var>)) >>
                          opt(":" >> ownContext(expression)) >> opt(initialiser);
    variableRule().name = "variable declaration";
    variableRule() = many(lit("static") % setTo<Var>(&Var::isStatic, true) | lit("mutable") % setTo<Var>(&Var::isMutable, true) |
                          lit("extern") | lit("register") | lit("constexpr") | lit("inline")) >>
                     type % to<Var>(&Var::type) >> func(keepVariableType) >> declarator >>
                     many("," >> func(splitVariable) >> many(lit("*") >> func(wrapPointer<Var>)) >> declarator) >> ";";

    // typedef: "typedef" type declarator { "," declarator } ";", where a declarator is
    //   Name { array suffix }, Name parameter types (a function type) or "(" "*" Name ")" arguments
    typedef TypeAliasDeclaration Alias;
    auto functionType = func(pushPendingFrom<Alias>) >>
                        finally(functionTypeRule() % to<Alias>(&Alias::type) >> func(finishFunctionType<Alias>), popPending);
    auto aliasDeclarator = pointerDeclarator<Alias>() |
                           tok(Name) % to<Alias>(&Alias::name) >>
                               (functionType | many("[" >> func(clearArraySize) >> opt(ownContext(expressionRule())) >> "]" >>
                                                    func(wrapArray<Alias>)));
    aliasRule().name = "typedef";
    aliasRule() = "typedef" >> type % to<Alias>(&Alias::type) >> func(keepTypedefType) >> aliasDeclarator >> func(nameAnonymousDefinition) >>
                  many("," >> func(splitTypedef) >> many(lit("*") >> func(wrapPointer<Alias>)) >> aliasDeclarator) >> ";";

    // template declaration: "template" "<" [ parameter { "," parameter } ] ">"
    // parameter: ( "typename" | "class" ) [ Name [ "=" type ] ] | type Name [ "=" expression ]
    typedef TemplateDeclaration TDecl;
    typedef TemplateArgumentDeclaration TArg;
    Rule<TemplateArgumentDeclaration>& parameter = templateArgumentRule();
    parameter = (lit("typename") | lit("class")) % setTo<TArg>(&TArg::isType, true) >>
                    opt(tok(Name) % to<TArg>(&TArg::name) >> opt("=" >> type % to<TArg>(&TArg::defaultType))) |
                type % to<TArg>(&TArg::type) >> tok(Name) % to<TArg>(&TArg::name) >>
                    opt("=" >> ownContext(expression % to<TArg>(&TArg::defaultValue)));
    templateDeclarationRule() = "template" >> lit("<") >>
                                opt(parameter % to<TDecl>(&TDecl::arguments) >> many("," >> parameter % to<TDecl>(&TDecl::arguments))) >>
                                ">";

    // module: { extern "C" block | ";" | statement } EndOfFile
    moduleBodyRule() = many(skip(externCRule() | lit(";") | intoBlock));
    moduleRule() = moduleBodyRule() % to<Module>(&Module::block) >> tok(EndOfFile) | yes % setTo<Module>(&Module::complete, false);
}

}  // namespace

void buildCppGrammar() {
    static bool built = false;
    grammarMode = 1;
    if (built) return;
    built = true;
    blockUnderConstruction = &constructionSlot<Block>();
    buildCppTypeRules();
    buildCppExpressionRules();
    buildCppStatementRules();
    buildCppDeclarationRules();
    buildCppClassRules();
    buildCppFunctionRules();
    buildCppVariableRules();
}

ModulePtr parseCppModule(TokenStream& ts, const std::string& moduleName) {
    // The source grammar is active again afterwards: macro arguments parsed later as code
    // read the grammar in force without selecting it.
    struct ModeGuard {
        int saved = grammarMode;
        ~ModeGuard() { grammarMode = saved; }
    } modeGuard;
    // Each header starts afresh: what the last class of the previous one set is not ours.
    nextBodyAccess = Public;
    buildCppGrammar();
    resetParseState();
    definitions.clear();
    anonymousCount = 0;
    anonymousDefinitions.clear();
    pendingDeclarators.clear();
    ModulePtr module = moduleRule().parse(ts);
    definitions.clear();
    anonymousDefinitions.clear();
    if (module && module->block) tidyBlock(*module->block, false);
    if (module) module->name = moduleName;
    return module;
}

ModulePtr CppFrontEnd::loadHeader(const std::string& path, const std::string& moduleName,
                                  const PreProcessorSettings& settings,
                                  std::unordered_map<std::string, PreProcessor::MacroPtr>* macros,
                                  std::vector<std::string>* files,
                                  std::vector<std::string>* missed) const {
    if (runOptions.verbose) verboseLine("preprocessing: " + path);
    PreProcessor preprocessor(path, cHeaderLexerOptions, settings);
    HeaderTokens tokens(preprocessor);
    ModulePtr module = parseCppModule(tokens, moduleName);
    if (macros) *macros = std::move(preprocessor.macros);
    if (files)
        for (const std::string& file : preprocessor.included)
            if (file != path) files->push_back(file);
    if (missed) missed->assign(preprocessor.missed.begin(), preprocessor.missed.end());
    return module;
}

namespace {
// A header found through an include interface file lies wherever it was found; any other is
// looked for under the base directory.
std::string headerPathOf(const ModuleName& name) {
    const std::string found = headerLocation(name);
    return found.empty() ? sourcePath(name, name.extension) : found;
}

// The names of each namespace the include interface file opens ("a::b" for a nested one) join
// the header's top level, where the program looks; the wrapper opens it for C++ alike.
void openNamespaces(Module& module, const std::vector<std::string>& spaces) {
    for (const std::string& path : spaces) {
        std::vector<Block*> scopes{module.block.get()};
        size_t start = 0;
        while (start <= path.size() && !scopes.empty()) {
            const size_t end = std::min(path.find("::", start), path.size());
            const std::string part = path.substr(start, end - start);
            std::vector<Block*> inner;
            for (Block* scope : scopes)
                for (const StatementPtr& statement : scope->statements)
                    if (const NamespaceDeclaration* space = nodeCast<NamespaceDeclaration>(statement.get()))
                        if (space->name == part && space->body) inner.push_back(space->body.get());
            scopes = inner;
            start = end + 2;
        }
        if (scopes.empty()) {
            reportError("No namespace " + path + " in " + module.headerPath, module.location);
            continue;
        }
        for (Block* scope : scopes)
            for (const auto& entry : scope->names) module.block->names.emplace(entry.first, entry.second);
        module.headerNamespaces.push_back(path);
    }
}
}  // namespace

ModulePtr CppFrontEnd::loadModule(const ModuleName& name) {
    const std::string path = headerPathOf(name);
    PreProcessorSettings settings;
    if (currentIncludeModule) settings.defines = currentIncludeModule->defines;
    settings.system = systemPreprocessor();
    // What the header includes is declared through it, as for a C compiler (sqrt is in a file
    // that math.h includes); the C++ library's templates are left to the C++ compiler.
    settings.keepIncludedTokens = true;
    for (const std::string& dir : settings.system.includeDirectories)
        if (isCppLibraryDirectory(dir)) settings.tokenlessDirectories.push_back(dir);
    ModulePtr module;
    try {
        std::unordered_map<std::string, PreProcessor::MacroPtr> macros;
        std::vector<std::string> files, missed;
        module = loadHeader(path, dottedName(name), settings, &macros, &files, &missed);
        if (module) {
            module->headerPath = path;
            module->headerFiles = std::move(files);
            module->headerMissed = std::move(missed);
            module->headerInclude = headerIncludeText(name);
            module->headerDefines = settings.defines;
            ParentFinder().linkModule(*module);
            // After linking, so that what the header declares keeps its name.
            enterHeaderMacros(macros, settings.system.predefines, *module);
            if (currentIncludeModule) openNamespaces(*module, currentIncludeModule->namespaces);
        }
    } catch (const CompileError& error) {
        reportError(error.message, error.position.line < 0 ? SourceLocation(internFileName(path), -1, -1) : error.position);
        return ModulePtr();
    }
    return module;
}

ModulePtr CppFrontEnd::loadKept(const ModuleName& name) {
    const std::vector<std::string>* files = keptHeaderFiles(name);
    if (!files || !currentIncludeModule) return ModulePtr();
    ModulePtr module = boost::make_shared<Module>();
    module->name = dottedName(name);
    module->block = boost::make_shared<Block>();
    module->headerPath = headerPathOf(name);
    module->headerInclude = headerIncludeText(name);
    module->headerDefines = currentIncludeModule->defines;
    // They were all found when the records were made, or no records would have been kept.
    module->headerNamespaces = currentIncludeModule->namespaces;
    module->headerFiles = *files;
    return module;
}

platform::FileTime CppFrontEnd::sourceTime(const ModuleName& name) {
    if (name.extension != "h" && name.extension != "hpp") return 0;
    const std::string path = headerPathOf(name);
    // A module is found by its exact name: "widgets.h" must not stand for "import Widgets"
    // where the file system ignores case, least of all in front of a Widgets.vni.
    platform::FileTime header = platform::modificationTime(path);
    if (header != 0 && !platform::nameMatchesExactly(path)) header = 0;
    // The wrapper written for the header carries the interface file's defines, so an edited
    // interface file makes it out of date as much as an edited header.
    if (header == 0 || !currentIncludeModule || !currentIncludeModule->location.hasFile()) return header;
    return std::max(header, platform::modificationTime(currentIncludeModule->location.fileName()));
}
