// The syntax tree: every node class that the front ends build and the later passes read and
// rewrite. Takes nothing in; gives the node classes, their enumerations and a field listing.
// Nodes own their children through shared pointers and never own anything above them: the
// back links below are plain pointers that the parent finder refreshes after every rewrite.
#pragma once

#include <boost/shared_ptr.hpp>
#include <list>
#include <map>
#include <string>
#include <typeinfo>
#include <vector>

#include "base/Diagnostics.hpp"
#include "tree/Token.hpp"
#include "tree/Value.hpp"

enum Access : int { Private = 0, Protected = 1, Public = 2 };

enum TypeOperatorType : int {
    PointerType = 0,
    SharedPointerType = 1,
    ReferenceType = 2,
    ArrayType = 3,
    VectorType = 4,
    MapType = 5,
    ConstType = 6,
    VolatileType = 7,
};

// The word written before a string literal.
enum CharacterEncoding : int { NoEncoding = 0, EncodingA = 1, EncodingU = 2, Encoding8 = 3 };

// Spellings used by the tree dump and by messages.
const char* accessName(Access access);
const char* typeOperatorName(TypeOperatorType kind);
const char* encodingName(CharacterEncoding encoding);

// Every node class and its shared pointer, ClassPtr, from the node table.
#define VORN_NODE(Class, Base, typeName) \
    class Class;                         \
    typedef boost::shared_ptr<Class> Class##Ptr;
#define VORN_BASE_NODE VORN_NODE
#include "tree/NodeClasses.def"

// A row of the node table as the program sees it. A listed class's class number (below) is its
// row's index plus one.
struct NodeClass {
    const char* name;           // the C++ class name
    const char* typeName;
    const std::type_info* type;
    bool built;                 // false for a class only derived from
};
const std::vector<NodeClass>& nodeClasses();

typedef std::vector<AnyExpressionPtr> AnyExpressionList;
typedef std::vector<TypeExpressionPtr> TypeExpressionList;
typedef std::vector<ExpressionPtr> ExpressionList;
typedef std::vector<TokensExpressionPtr> TokensExpressionList;
typedef std::vector<BlockPtr> BlockList;
typedef std::vector<ForPartPtr> ForPartList;
typedef std::vector<CatchStatementPtr> CatchStatementList;
typedef std::vector<ArgumentDeclarationPtr> ArgumentDeclarationList;
typedef std::vector<BaseDeclarationPtr> BaseDeclarationList;
typedef std::vector<EnumItemPtr> EnumItemList;
typedef std::vector<TemplateArgumentDeclarationPtr> TemplateArgumentDeclarationList;

// Block contents are a linked list: an entry stays where it is while statements are inserted
// before it or after it, so a statement slot (below) survives rewrites of its neighbours.
typedef std::list<StatementPtr> StatementList;

// The declaration table of a block, by name in byte order, first declaration wins.
typedef std::map<std::string, DeclarationPtr> DeclarationTable;

// Imports of a module by the components of the imported name, the order of module names.
typedef std::map<std::vector<std::string>, ImportDeclarationPtr> ImportMap;

// A non-owning reference to one entry of a block's statement list. `block` is null when the
// slot is not set. The entry can be replaced in place or have statements inserted before it.
struct StatementSlot {
    Block* block = nullptr;
    StatementList::iterator entry{};

    bool isSet() const { return block != nullptr; }
};

// Where a statement or a block stands: the entry of the statement that holds it and the nearest
// enclosing module, class, union or namespace body. Other nodes stand where their parent does
// and keep no copy: expressions are most of a tree.
struct Placement {
    Block* memberContext = nullptr;
    StatementSlot statementSlot;
};

// Read-only walk over the fields of one node, in a fixed order (base class fields first).
// The tree dump is one listener; passes that only need the children of any node are others.
// Back links and other bookkeeping are not listed: they are no part of the tree's content.
class FieldVisitor {
public:
    virtual ~FieldVisitor() = default;
    virtual void text(const char* field, const std::string& value) = 0;
    virtual void texts(const char* field, const std::vector<std::string>& values) = 0;
    virtual void flag(const char* field, bool value) = 0;
    virtual void number(const char* field, long long value) = 0;
    virtual void choice(const char* field, int value, const char* spelling) = 0;
    virtual void child(const char* field, ASTObject* node) = 0;
    virtual void children(const char* field, const std::vector<ASTObject*>& nodes) = 0;
    virtual void tokens(const char* field, const TokenStream& tokens) = 0;
};

// A field visitor for walks that care only about the child nodes: the other fields are passed
// over.
class ChildFieldVisitor : public FieldVisitor {
public:
    void text(const char*, const std::string&) override {}
    void texts(const char*, const std::vector<std::string>&) override {}
    void flag(const char*, bool) override {}
    void number(const char*, long long) override {}
    void choice(const char*, int, const char*) override {}
    void tokens(const char*, const TokenStream&) override {}
};

// Root of all nodes. Nodes are compile-time values too: they keep Object's failing operators,
// members and calls and report their own type name.
class ASTObject : public Object {
public:
    // Both names come from the node's row of the node table (tree/NodeClasses.def).
    const char* typeName() const override;
    // The C++ class name, which tells apart the classes that share a type name.
    virtual const char* className() const;
    virtual void visitFields(FieldVisitor& visitor) const;

    SourceLocation location;

    // Bookkeeping of the later passes; none of it owns anything and the parser leaves it empty.
    bool processed = false;  // set the first time a pass processes the node

private:
    // The class number, filled on first ask (a constructor cannot know the most derived
    // class). Never copied: a node built from another's fields may be of another class. It sits
    // in the padding before `parent`.
    struct ClassNumberCache {
        unsigned short value = 0;
        ClassNumberCache() = default;
        ClassNumberCache(const ClassNumberCache&) {}
        ClassNumberCache& operator=(const ClassNumberCache&) { return *this; }
    };
    mutable ClassNumberCache classNumber_;

public:
    ASTObject* parent = nullptr;  // the node whose field or list holds this one

    // A small number for the node's dynamic class, 1 and up, so that visitors can remember
    // answers per class in an array instead of a hash table.
    unsigned classNumber() const {
        return classNumber_.value ? classNumber_.value : (classNumber_.value = numberClass(typeid(*this)));
    }

    // The node's own placement where it keeps one (statements and blocks), else null.
    virtual Placement* placement() { return nullptr; }
    const Placement* placement() const { return const_cast<ASTObject*>(this)->placement(); }
    // The placement of the node or of its nearest ancestor that keeps one.
    Block* memberContext() const;
    StatementSlot statementSlot() const;

protected:
    ASTObject() = default;

private:
    static unsigned short numberClass(const std::type_info& type);
};

// The node's children in field order, empty ones left out.
std::vector<ASTObject*> childNodes(const ASTObject& node);
// The same appended to a list, for walks that keep their own stack of nodes.
void appendChildNodes(const ASTObject& node, std::vector<ASTObject*>& nodes);

// Anything that may stand as a template argument: a type or an expression.
class AnyExpression : public ASTObject {
protected:
    AnyExpression() = default;
};

// ---- types ----

class TypeExpression : public AnyExpression {
public:
    // The declaration a resolved type names; not owned, declarations live as long as their
    // module, and modules live for the whole run.
    Declaration* declaration = nullptr;
};

class SimpleTypeExpr : public TypeExpression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    std::string name;
    TemplateCallPtr templateArgs;
};

class SubTypeExpr : public TypeExpression {
public:
    void visitFields(FieldVisitor& visitor) const override;
    // "second" is the nested part on its own: a simple type of the name and template arguments.
    ObjectPtr member(const std::string& name) override;

    TypeExpressionPtr scope;
    std::string name;
    TemplateCallPtr templateArgs;
    bool isTypename = false;
};

class TypeOperator : public TypeExpression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    TypeOperatorType kind = PointerType;
    ExpressionPtr size;           // array size
    TypeExpressionPtr operand;    // the type it applies to; the key type of a map
    TypeExpressionPtr valueType;  // map value type
};

class TupleType : public TypeExpression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    TypeExpressionList elements;
};

class FuncType : public TypeExpression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    TypeExpressionPtr result;
    TypeExpressionList arguments;
};

class FunctionPointerType : public TypeExpression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    TypeExpressionPtr result;
    TypeExpressionList arguments;
};

// ---- expressions ----

class Expression : public AnyExpression {};

class ConstantExpression : public Expression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    // Small fields come first throughout: they fill the padding at the end of the base class.
    CharacterEncoding encoding = NoEncoding;
    std::string value;  // as written; string literals keep their quotes
};

class OperExpression : public Expression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    ExpressionPtr left;
    std::string op;
    ExpressionPtr right;
};

class PrefixOperExpression : public Expression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    std::string op;
    ExpressionPtr operand;
};

// Made by the passes only.
class PostfixOperExpression : public Expression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    ExpressionPtr operand;
    std::string op;
};

class TernaryOperExpression : public Expression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    ExpressionPtr condition;
    ExpressionPtr whenTrue;
    ExpressionPtr whenFalse;
};

class SubExpression : public Expression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    bool isArrow = false;
    ExpressionPtr object;
    std::string member;
    // Its type once inference found one: each link of a chain a.b.c is asked for its
    // object's type by every pass, so a chain is typed once, not once per link and pass.
    TypeExpressionPtr knownType;
};

class StaticExpression : public Expression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    TypeExpressionPtr scope;
    std::string name;
    // Kept where lowering wrote a header's own name for the one the program used (open for
    // sqlite3_open): the C name is in no table the program sees.
    Declaration* renamedFrom = nullptr;
};

class TupleExpression : public Expression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    ExpressionList elements;
};

class FuncExpression : public Expression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    ExpressionPtr function;
    TemplateCallPtr templateArgs;
    ExpressionList arguments;
};

class CtorExpression : public Expression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    bool isHeap = false;
    bool isShared = false;
    bool hasArguments = false;
    TypeExpressionPtr type;
    ExpressionList arguments;
    BlockPtr initializer;  // the "with" block
};

class RangeExpression : public Expression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    bool startIncluded = false;
    ExpressionPtr start;
    ExpressionPtr end;  // empty when no end is written
    bool endIncluded = false;
};

class MacroExpression : public Expression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    MacroCallPtr call;
};

// The raw tokens of one macro argument. It is also a token stream, so the statement rule can
// read it when a macro returns it as code. Its tokens are all there from the start.
class TokensExpression : public Expression, public TokenStream {
public:
    // The node's position, not the stream's current token: nodes are positioned uniformly.
    using Expression::location;

    void visitFields(FieldVisitor& visitor) const override;

    // Reading past the last token gives end-of-file, however often it is asked.
    void fill() override;
    std::string streamName() const override { return "macro argument"; }

    // Prepares the tokens to be parsed from the start: ends them with one end-of-file token and
    // puts the read position and the parser's error bookkeeping back to the beginning.
    void rewind();
};

// Made by the C++ declaration grammar.
class VariableDeclarationExpression : public Expression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    VariableDeclarationPtr declaration;
};

// Made by the C++ declaration grammar.
class CastExpression : public Expression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    TypeExpressionPtr type;
    ExpressionPtr operand;
};

// A brace initialiser of the C++ declaration grammar; elements may be nested initialisers.
class CppBlockInitializer : public Expression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    ExpressionList elements;
};

// Tested for by the passes; no grammar rule makes one yet.
class AnonFuncExpression : public Expression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    TypeExpressionPtr result;
    ArgumentDeclarationList arguments;
    BlockPtr body;
};

// Tested for by the passes; no grammar rule makes one yet.
class VectorExpression : public Expression {
public:
    void visitFields(FieldVisitor& visitor) const override;

    ExpressionList elements;
};

// ---- statements ----

class Statement : public ASTObject {
public:
    Placement* placement() override { return &place; }

    Placement place;  // set by the parent finder
};

class ForStatement : public Statement {
public:
    void visitFields(FieldVisitor& visitor) const override;

    ForPartList parts;  // iterated in parallel
    BlockPtr body;
};

class IfStatement : public Statement {
public:
    void visitFields(FieldVisitor& visitor) const override;

    ExpressionList conditions;  // one per entry of blocks
    BlockList blocks;
    BlockPtr elseBlock;
};

class TryStatement : public Statement {
public:
    void visitFields(FieldVisitor& visitor) const override;

    BlockPtr body;
    CatchStatementList handlers;
};

class WhileStatement : public Statement {
public:
    void visitFields(FieldVisitor& visitor) const override;

    ExpressionPtr condition;
    BlockPtr body;
    bool isPostTested = false;
};

class DeleteStatement : public Statement {
public:
    void visitFields(FieldVisitor& visitor) const override;

    bool isArray = false;
    ExpressionPtr operand;
};

class ReturnStatement : public Statement {
public:
    void visitFields(FieldVisitor& visitor) const override;

    ExpressionPtr value;  // empty for a plain return
};

class ThrowStatement : public Statement {
public:
    void visitFields(FieldVisitor& visitor) const override;

    ExpressionPtr value;  // empty for a rethrow
};

class ExpressionStatement : public Statement {
public:
    void visitFields(FieldVisitor& visitor) const override;

    ExpressionPtr expression;
    BlockPtr body;  // the statements a C macro that opens a statement runs (cJSON_ArrayForEach)
};

class BreakStatement : public Statement {};

class ContinueStatement : public Statement {};

class MacroStatement : public Statement {
public:
    void visitFields(FieldVisitor& visitor) const override;

    MacroCallPtr call;
};

class InitStatement : public Statement {
public:
    void visitFields(FieldVisitor& visitor) const override;

    std::string member;  // the member's name, or "base"
    TypeExpressionPtr type;
    ExpressionList arguments;
};

// A nested block made by the passes.
class BlockStatement : public Statement {
public:
    void visitFields(FieldVisitor& visitor) const override;

    BlockPtr block;
};

class CppForStatement : public Statement {
public:
    void visitFields(FieldVisitor& visitor) const override;

    ExpressionPtr initialization;
    ExpressionPtr condition;
    ExpressionPtr step;
    BlockPtr body;
};

class CppSwitchStatement : public Statement {
public:
    void visitFields(FieldVisitor& visitor) const override;

    ExpressionPtr expression;
    BlockPtr body;
};

class CppCaseStatement : public Statement {
public:
    void visitFields(FieldVisitor& visitor) const override;

    ExpressionPtr expression;
};

// C++ "using" of one name; the entity is a type or a name expression.
class UsingDeclaration : public Statement {
public:
    void visitFields(FieldVisitor& visitor) const override;

    AnyExpressionPtr entity;
};

class UsingNamespaceDeclaration : public Statement {
public:
    void visitFields(FieldVisitor& visitor) const override;

    AnyExpressionPtr entity;
};

// ---- declarations ----

// Where declarations and blocks take their access when no access word is written: the block
// the parser is filling. The parser points this at its construction slot for Block once; it is
// read only by the constructors of Declaration and Block. Null (or an empty slot) means public.
extern const BlockPtr* blockUnderConstruction;

// The access of the block under construction, or public when there is none.
Access defaultAccess();

class Declaration : public Statement {
public:
    Declaration();
    void visitFields(FieldVisitor& visitor) const override;

    std::string name;
    Access access;
};

class NamespaceDeclaration : public Declaration {
public:
    void visitFields(FieldVisitor& visitor) const override;

    BlockPtr body;
};

class FriendDeclaration : public Declaration {
public:
    void visitFields(FieldVisitor& visitor) const override;

    DeclarationPtr declaration;  // the befriended declaration
};

class MacroDeclaration : public Declaration {
public:
    void visitFields(FieldVisitor& visitor) const override;

    ArgumentDeclarationList arguments;
    BlockPtr body;
};

class DataDeclaration : public Declaration {
public:
    void visitFields(FieldVisitor& visitor) const override;

    // Set by lowering on names it makes that the program may never read (an unnamed
    // argument, a loop's element): C++ is told so, and does not warn.
    bool maybeUnused = false;
    TypeExpressionPtr type;
};

class ArgumentDeclaration : public DataDeclaration {
public:
    void visitFields(FieldVisitor& visitor) const override;

    bool isVirtual = false;
    bool isMutable = false;
    ExpressionPtr defaultValue;
    // Set for arguments whose type is to be written as it stands, without the const and
    // reference that type resolution otherwise adds.
    bool keepsWrittenType = false;
};

// The modifiers of one property accessor.
struct AccessorModifiers {
    bool isVirtual = false;
    bool isAbstract = false;
    bool isInline = false;
};

class FunctionDeclaration : public DataDeclaration {
public:
    void visitFields(FieldVisitor& visitor) const override;

    bool isVirtual = false;
    bool isAbstract = false;
    bool isStatic = false;
    bool isInline = false;
    bool isOperator = false;
    TemplateDeclarationPtr templateDecl;
    ArgumentDeclarationList arguments;
    bool isConst = false;
    BlockPtr body;
    // The function's own type (result and argument types), built once when first asked for.
    FuncTypePtr funcType;
};

class PropertyDeclaration : public DataDeclaration {
public:
    void visitFields(FieldVisitor& visitor) const override;

    BlockPtr getter;
    BlockPtr setter;
    std::string getterName;
    std::string setterName;
    AccessorModifiers getterModifiers;
    AccessorModifiers setterModifiers;
    // Positions of accessors found in imported C++ headers.
    SourceLocation getterLocation;
    SourceLocation setterLocation;
};

class VariableDeclaration : public DataDeclaration {
public:
    void visitFields(FieldVisitor& visitor) const override;

    bool isStatic = false;
    bool isMutable = false;
    bool isConstructed = false;
    // Set by inference for an iterator, whose constness only C++ knows for sure (a member's
    // find() in a const function): the C++ declares it auto.
    bool writtenAuto = false;
    ExpressionList initializers;
};

class ForPart : public DataDeclaration {
public:
    void visitFields(FieldVisitor& visitor) const override;

    bool isReverse = false;
    ExpressionPtr range;
    // Set by type inference: the type of the loop variable when the part walks a container
    // (`type` is then the hidden iterator's type). Equal to `type` for a range.
    TypeExpressionPtr elementType;
};

class CatchStatement : public DataDeclaration {
public:
    void visitFields(FieldVisitor& visitor) const override;

    BlockPtr body;
};

class TypeDeclaration : public Declaration {};

class ClassDeclaration : public TypeDeclaration {
public:
    void visitFields(FieldVisitor& visitor) const override;

    bool isStatic = false;
    TemplateDeclarationPtr templateDecl;
    BaseDeclarationList bases;
    BlockPtr body;
    // Field initialisers taken out of the fields, for the constructors to write.
    std::vector<InitStatementPtr> memberInitializers;
};

class TypeAliasDeclaration : public TypeDeclaration {
public:
    void visitFields(FieldVisitor& visitor) const override;

    TemplateDeclarationPtr templateDecl;
    TypeExpressionPtr type;
};

class EnumDeclaration : public TypeDeclaration {
public:
    void visitFields(FieldVisitor& visitor) const override;

    EnumItemList items;
    bool isScoped = false;  // a C++ "enum class": its items are reached through it (Unit.Foot)
    DeclarationTable scopedItems;  // the items of a scoped enum as constants, for member lookup
};

class UnionDeclaration : public TypeDeclaration {
public:
    void visitFields(FieldVisitor& visitor) const override;

    TemplateDeclarationPtr templateDecl;
    BlockPtr body;
};

// A module or namespace used as a qualifier. It has a block of its own for the nested
// qualifiers; once it stands for an imported module, moduleBlock is that module's body.
class ModuleDeclaration : public TypeDeclaration {
public:
    void visitFields(FieldVisitor& visitor) const override;

    BlockPtr block;
    Block* moduleBlock = nullptr;  // not owned: modules live for the whole run
};

// Declarations of imported C++ headers: an include line, and a macro standing for a constant.
class CppIncludeDeclaration : public Declaration {};

// A macro of an imported header that stands for a value or is called like a function. Its type
// is the value's (null where vorn cannot tell it), a FuncType of the result for a function-like one.
class CppConstantMacroDeclaration : public DataDeclaration {
public:
    void visitFields(FieldVisitor& visitor) const override;

    std::string value;  // the replacement text
    bool functionLike = false;
};

// ---- other nodes ----

class BaseDeclaration : public ASTObject {
public:
    void visitFields(FieldVisitor& visitor) const override;

    TypeExpressionPtr type;
    Access access = Private;
    bool isVirtual = false;
};

class ImportDeclaration : public ASTObject {
public:
    // Marks in the top bits of `flags`; the low bits hold the order number.
    static constexpr unsigned builtinImport = 1u << 31;
    static constexpr unsigned implicitImport = 1u << 30;
    static constexpr unsigned noChangeCheck = 1u << 28;
    static constexpr unsigned orderMask = (1u << 28) - 1;

    ImportDeclaration();
    void visitFields(FieldVisitor& visitor) const override;

    Access access;
    bool isQualified = false;
    std::vector<std::string> path;  // one entry per dotted component; "*" is a component
    int inHeader = 1;               // 0: forward declarations suffice; above 0: the full header
    unsigned flags = 0;
    ModulePtr module;               // the imported module once resolved
};

class EnumItem : public ASTObject {
public:
    void visitFields(FieldVisitor& visitor) const override;

    std::string name;
    ExpressionPtr value;
};

class TemplateCall : public ASTObject {
public:
    void visitFields(FieldVisitor& visitor) const override;

    AnyExpressionList arguments;
};

class TemplateDeclaration : public ASTObject {
public:
    void visitFields(FieldVisitor& visitor) const override;

    TemplateArgumentDeclarationList arguments;
    TemplateCallPtr specialization;
};

class TemplateArgumentDeclaration : public ASTObject {
public:
    void visitFields(FieldVisitor& visitor) const override;

    TypeExpressionPtr type;  // the type of a value parameter
    std::string name;
    bool isType = false;
    ExpressionPtr defaultValue;
    TypeExpressionPtr defaultType;
};

class MacroCall : public ASTObject {
public:
    void visitFields(FieldVisitor& visitor) const override;

    std::string name;
    TokensExpressionList arguments;
    MacroDeclaration* declaration = nullptr;  // the macro it names once resolved; not owned
};

class Block : public ASTObject {
public:
    Block();
    void visitFields(FieldVisitor& visitor) const override;

    Placement* placement() override { return &place; }

    bool completed = false;  // the statements have been processed once
    Access access;
    Placement place;         // set by the parent finder: that of the block's owner
    StatementList statements;
    DeclarationTable names;  // filled while linking, read by name lookup
};

class Module : public ASTObject {
public:
    void visitFields(FieldVisitor& visitor) const override;

    // Enters an import under its path unless one is there already, numbering it by the count
    // of imports before it (marks in its flags are kept). Returns whether it was entered.
    bool addImport(const ImportDeclarationPtr& import);
    // Appends an include text unless the list holds it already; the first place stays.
    void addInclude(const std::string& include);

    std::string name;
    bool complete = true;  // the parser clears it when the text was not one block and the end
    BlockPtr block;
    ImportMap imports;
    std::vector<std::string> includes;  // C++ include texts such as "<vector>"

    // Build state kept by the build manager and the back end.
    bool upToDate = true;
    bool importsUpToDate = true;
    bool headerUnchanged = true;
    bool cppUnchanged = true;
    bool fullyLoaded = false;
    // Whether C++ may know names here that vorn never read (mayUseUnseenNames); -1 until asked.
    int unseenNames = -1;
    // Read from source with its function bodies left out: enough for importers, never translated.
    bool declarationsOnly = false;
    bool importsResolved = false;
    bool importsChecked = false;
    bool isLibrary = false;  // a nested module of a library file, imported implicitly
    // A module read from a C or C++ header: the header's full path and the macros its include
    // interface file defined, which the generated wrapper hands on to the C++ compiler.
    std::string headerPath;
    std::string headerInclude;  // "<zlib.h>" where the C++ compiler finds it by that name
    std::vector<std::string> headerNamespaces;  // opened after the include by "using namespace"
    std::map<std::string, std::string> headerDefines;
    // Every other file the preprocessor read for the header, directly or not: a change to any
    // of them changes what the header declares.
    std::vector<std::string> headerFiles;
    // The paths its includes looked at and found nothing at (see PreProcessor::missed).
    std::vector<std::string> headerMissed;
};

// The module read from an include interface file.
class IncludeModule : public Module {
public:
    void visitFields(FieldVisitor& visitor) const override;

    std::string extraCode;
    std::map<std::string, std::string> aliases;
    std::map<std::string, std::string> defines;
    std::vector<std::string> prefixes;
    std::vector<std::string> getterPrefixes;
    std::vector<std::string> setterPrefixes;
    // C++ namespaces whose names the program uses without qualification ("namespace = geo").
    std::vector<std::string> namespaces;
    std::vector<std::string> links;  // libraries a program that imports it is linked with
    std::vector<std::string> packages;  // pkg-config names, whose folders and libraries it takes
    int packageLine = 0;                // the line of the last pkg-config key, for its errors
    // Its headers were taken from the records kept by an earlier run, not read: their modules
    // hold no declarations, so whoever needs those reads the interface file again.
    bool fromKeptHeaders = false;

    // The name a header's declaration is known by: without the first prefix it begins with
    // (file order), unless what is left is empty or a keyword of the language; a type whose
    // name, whole, is an alias's (before or after the prefix) is known by the alias's value.
    // Parts of names are never replaced: cJSON_Parse stays itself under alias cJSON = Json.
    std::string importedName(const std::string& name, bool isType = false) const;
};

// The include module whose headers are being loaded, empty otherwise. Written only by the
// include front end (and restored when it returns); read while a header is preprocessed
// (defines) and linked (renaming, accessor detection).
extern IncludeModulePtr currentIncludeModule;

// A fresh identifier for a rewritten tree: "VORN_" + base + N, where N counts every fresh name of
// the run from 1 (bases such as "WITH_TEMP", "ARG", "VIRTUAL_VAR"). Process-wide, like the run.
std::string makeUniqueName(const std::string& base);
// Starts the count again: the language server does for each analysis, and the unit tests' one
// reset before every test (tests/unit/FreshProcessState.cpp).
void resetUniqueNames();
