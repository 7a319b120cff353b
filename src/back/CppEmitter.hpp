// C++ emitter: the text of every declaration, statement, expression and type for one phase.
// Takes tree nodes and the current phase; gives text through the output writer.
// Never changes the tree and never decides file layout: the back end calls it per section.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tree/Ast.hpp"
#include "back/CppWriter.hpp"
#include "tree/NodeDispatch.hpp"

// The suffix after "VORN_arg" of each unnamed argument that has a default value: distinct per
// argument node and stable for as long as this object lives (the back end keeps one per run).
class ArgumentSuffixes {
public:
    std::string argumentSuffix(const ArgumentDeclaration* argument);

private:
    std::map<const ArgumentDeclaration*, unsigned> argumentNumbers_;
};

class CppEmitter {
public:
    CppEmitter(CppWriter& out, ArgumentSuffixes& argumentSuffixes) : out_(out), argumentSuffixes_(argumentSuffixes) {}

    // Writes any node for the current phase; a null node writes nothing.
    void visit(const ASTObject* node);
    void visit(const ASTObjectPtr& node) { visit(node.get()); }

    // "{", the statements, "}"; a function body gets a new line before its closing brace.
    void writeBlock(const Block& block, bool newLineBeforeClose, bool functionBody = false);

    EmitPhase phase = PhaseForward;
    std::vector<const TypeDeclaration*> classStack;  // classes and unions whose members are being written
    int templateDepth = 0;                            // enclosing template classes

    // A Module met among declarations is written as a module of its own.
    std::function<void(const Module&)> writeNestedModule;

private:
    typedef NodeDispatch<void(const ASTObject&, CppEmitter&)> Dispatch;
    // Every node class with its handler, in the order they are tested.
    static const Dispatch& dispatch();
    static const bool dispatchListed;  // for the check of every table

    // Whether the phase holds one of the bits; the initialiser and for-loop passes hold none.
    bool has(int bits) const { return phase < PhaseInitialisers && (phase & bits) != 0; }
    static const TemplateDeclaration* templateOf(const TypeDeclaration& type);
    static const Block* bodyOf(const TypeDeclaration& type);
    void write(const std::string& text) { out_.write(text); }
    void mark(const ASTObject& node) { out_.markPosition(node.location); }
    template <class List>
    void writeList(const List& list, const char* separator = ",");

    // Access label of a direct member of the class being written.
    void writeLabel(const ASTObject& node, Access access);
    bool isDirectMember(const ASTObject& node) const;
    void writeTemplateHeader(const TemplateDeclarationPtr& templateDecl);
    // Template parameters without their defaults, as an out-of-class definition repeats them.
    void writeTemplateParameters(const TemplateDeclaration& templateDecl, bool& first);
    // Outer::Inner:: for the classes on the stack, with <T> for templates.
    void writeQualifiedPrefix();
    bool typesPhase() const;

    // types
    void simpleType(const SimpleTypeExpr& node);
    void subType(const SubTypeExpr& node);
    void tupleType(const TupleType& node);
    void funcType(const FuncType& node);
    void typeOperator(const TypeOperator& node);
    void functionPointerType(const FunctionPointerType& node);
    // expressions
    void constant(const ConstantExpression& node);
    void binary(const OperExpression& node);
    void prefix(const PrefixOperExpression& node);
    void ternary(const TernaryOperExpression& node);
    void member(const SubExpression& node);
    void name(const StaticExpression& node);
    void tuple(const TupleExpression& node);
    void vector(const VectorExpression& node);
    void call(const FuncExpression& node);
    void construct(const CtorExpression& node);
    void range(const RangeExpression& node);
    void anonFunction(const AnonFuncExpression& node);
    void macroExpression(const MacroExpression& node);
    void blockInitializer(const CppBlockInitializer& node);
    void declarationExpression(const VariableDeclarationExpression& node);
    void cast(const CastExpression& node);
    void postfix(const PostfixOperExpression& node);
    // declarations and statements
    void forPart(const ForPart& node);
    void argument(const ArgumentDeclaration& node);
    void classDeclaration(const ClassDeclaration& node);
    void function(const FunctionDeclaration& node);
    bool refusedInBody(const Declaration& node, const std::string& kind);
    void variable(const VariableDeclaration& node);
    void typeAlias(const TypeAliasDeclaration& node);
    void enumDeclaration(const EnumDeclaration& node);
    void namespaceDeclaration(const NamespaceDeclaration& node);
    void unionDeclaration(const UnionDeclaration& node);
    void forStatement(const ForStatement& node);
    void ifStatement(const IfStatement& node);
    void tryStatement(const TryStatement& node);
    void catchStatement(const CatchStatement& node);
    void whileStatement(const WhileStatement& node);
    void deleteStatement(const DeleteStatement& node);
    void returnStatement(const ReturnStatement& node);
    void breakStatement(const BreakStatement& node);
    void continueStatement(const ContinueStatement& node);
    void throwStatement(const ThrowStatement& node);
    void expressionStatement(const ExpressionStatement& node);
    void blockStatement(const BlockStatement& node);
    void macroStatement(const MacroStatement& node);
    void initStatement(const InitStatement& node);
    void friendDeclaration(const FriendDeclaration& node);
    void cppFor(const CppForStatement& node);
    void cppSwitch(const CppSwitchStatement& node);
    void cppCase(const CppCaseStatement& node);
    void base(const BaseDeclaration& node);
    void enumItem(const EnumItem& node);
    void block(const Block& node);
    void module(const Module& node);
    void tokens(const TokensExpression& node);
    void macroCall(const MacroCall& node);
    void templateCall(const TemplateCall& node);
    void templateArgument(const TemplateArgumentDeclaration& node);
    void templateDeclaration(const TemplateDeclaration& node);

    // the pieces of classes, unions and functions
    void classLike(const TypeDeclaration& node, const char* keyword, const TemplateDeclarationPtr& templateDecl,
                   const BaseDeclarationList* bases, const BlockPtr& body);
    void defineTemplateStaticsAfter(const TypeDeclaration& outermost);
    void defineTemplateStatics(const TypeDeclaration& node);
    void declareFunction(const FunctionDeclaration& node);
    void defineFunction(const FunctionDeclaration& node);
    void functionBody(const FunctionDeclaration& node);
    size_t initialiserRank(const InitStatement& init) const;
    void verbatimBlock(const TokensExpression& tokens);

    CppWriter& out_;
    ArgumentSuffixes& argumentSuffixes_;
    // The statement a block or class is writing as its own, direct, member right now.
    const ASTObject* directStatement_ = nullptr;
    const Block* directBlock_ = nullptr;
    // Set while the header defines the static members of templates, which the cpp file skips.
    bool templateStaticsInHeader_ = false;
};
