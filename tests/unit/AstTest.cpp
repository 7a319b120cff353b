#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <functional>

#include "Ast.hpp"

namespace {

template <class T>
ASTObjectPtr make() {
    return boost::make_shared<T>();
}

struct NodeName {
    std::function<ASTObjectPtr()> create;
    const char* className;
    const char* typeName;
};

// Every node class with the type name it must report; several deliberately share their base's.
const NodeName nodeNames[] = {
    {make<TypeExpression>, "TypeExpression", "TypeExpression"},
    {make<SimpleTypeExpr>, "SimpleTypeExpr", "SimpleTypeExpression"},
    {make<SubTypeExpr>, "SubTypeExpr", "SubTypeExpression"},
    {make<TypeOperator>, "TypeOperator", "TypeOperator"},
    {make<TupleType>, "TupleType", "TupleType"},
    {make<FuncType>, "FuncType", "FuncType"},
    {make<FunctionPointerType>, "FunctionPointerType", "TypeExpression"},
    {make<Expression>, "Expression", "Expression"},
    {make<ConstantExpression>, "ConstantExpression", "ConstantExpression"},
    {make<OperExpression>, "OperExpression", "OperatorExpression"},
    {make<PrefixOperExpression>, "PrefixOperExpression", "PrefixOperatorExpression"},
    {make<PostfixOperExpression>, "PostfixOperExpression", "Expression"},
    {make<TernaryOperExpression>, "TernaryOperExpression", "TernaryOpereratorExpression"},
    {make<SubExpression>, "SubExpression", "SubExpression"},
    {make<StaticExpression>, "StaticExpression", "StaticExpression"},
    {make<TupleExpression>, "TupleExpression", "TupleExpression"},
    {make<FuncExpression>, "FuncExpression", "FuncExpression"},
    {make<CtorExpression>, "CtorExpression", "CtorExpression"},
    {make<RangeExpression>, "RangeExpression", "RangeExpression"},
    {make<MacroExpression>, "MacroExpression", "MacroExpression"},
    {make<TokensExpression>, "TokensExpression", "TokensExpression"},
    {make<VariableDeclarationExpression>, "VariableDeclarationExpression", "VariableDeclarationExpression"},
    {make<CastExpression>, "CastExpression", "Expression"},
    {make<CppBlockInitializer>, "CppBlockInitializer", "Expression"},
    {make<AnonFuncExpression>, "AnonFuncExpression", "Expression"},
    {make<VectorExpression>, "VectorExpression", "Expression"},
    {make<Statement>, "Statement", "Statement"},
    {make<ForStatement>, "ForStatement", "ForStatement"},
    {make<IfStatement>, "IfStatement", "IfStatement"},
    {make<TryStatement>, "TryStatement", "TryStatement"},
    {make<WhileStatement>, "WhileStatement", "WhileStatement"},
    {make<DeleteStatement>, "DeleteStatement", "DeleteStatement"},
    {make<ReturnStatement>, "ReturnStatement", "ReturnStatement"},
    {make<ThrowStatement>, "ThrowStatement", "ThrowStatement"},
    {make<ExpressionStatement>, "ExpressionStatement", "ExpressionStatement"},
    {make<BreakStatement>, "BreakStatement", "BreakStatement"},
    {make<ContinueStatement>, "ContinueStatement", "ContinueStatement"},
    {make<MacroStatement>, "MacroStatement", "MacroStatement"},
    {make<InitStatement>, "InitStatement", "InitStatement"},
    {make<BlockStatement>, "BlockStatement", "BlockStatement"},
    {make<CppForStatement>, "CppForStatement", "Statement"},
    {make<CppSwitchStatement>, "CppSwitchStatement", "Statement"},
    {make<CppCaseStatement>, "CppCaseStatement", "Statement"},
    {make<UsingDeclaration>, "UsingDeclaration", "Statement"},
    {make<UsingNamespaceDeclaration>, "UsingNamespaceDeclaration", "Statement"},
    {make<Declaration>, "Declaration", "Statement"},
    {make<NamespaceDeclaration>, "NamespaceDeclaration", "Statement"},
    {make<FriendDeclaration>, "FriendDeclaration", "Statement"},
    {make<MacroDeclaration>, "MacroDeclaration", "Statement"},
    {make<DataDeclaration>, "DataDeclaration", "Statement"},
    {make<ArgumentDeclaration>, "ArgumentDeclaration", "ArgumentDeclaration"},
    {make<FunctionDeclaration>, "FunctionDeclaration", "FunctionDeclaration"},
    {make<PropertyDeclaration>, "PropertyDeclaration", "PropertyDeclaration"},
    {make<VariableDeclaration>, "VariableDeclaration", "VariableDeclaration"},
    {make<ForPart>, "ForPart", "ForPart"},
    {make<CatchStatement>, "CatchStatement", "CatchStatement"},
    {make<TypeDeclaration>, "TypeDeclaration", "Statement"},
    {make<ClassDeclaration>, "ClassDeclaration", "ClassDeclaration"},
    {make<TypeAliasDeclaration>, "TypeAliasDeclaration", "TypeAliasDeclaration"},
    {make<EnumDeclaration>, "EnumDeclaration", "EnumDeclaration"},
    {make<UnionDeclaration>, "UnionDeclaration", "Statement"},
    {make<ModuleDeclaration>, "ModuleDeclaration", "Statement"},
    {make<CppIncludeDeclaration>, "CppIncludeDeclaration", "Statement"},
    {make<CppConstantMacroDeclaration>, "CppConstantMacroDeclaration", "Statement"},
    {make<BaseDeclaration>, "BaseDeclaration", "BaseDeclaration"},
    {make<ImportDeclaration>, "ImportDeclaration", "ImportDeclaration"},
    {make<EnumItem>, "EnumItem", "EnumItem_"},
    {make<TemplateCall>, "TemplateCall", "TemplateCall_"},
    {make<TemplateDeclaration>, "TemplateDeclaration", "TemplateDeclaration"},
    {make<TemplateArgumentDeclaration>, "TemplateArgumentDeclaration", "TemplateArgumentDeclaration"},
    {make<MacroCall>, "MacroCall", "MacroCall_"},
    {make<Block>, "Block", "Block_"},
    {make<Module>, "Module", "Module_"},
    {make<IncludeModule>, "IncludeModule", "Module_"},
};

TEST(AstTest, EveryNodeClassReportsItsTypeName) {
    for (const NodeName& n : nodeNames) {
        ASTObjectPtr node = n.create();
        SCOPED_TRACE(n.className);
        EXPECT_STREQ(node->className(), n.className);
        // Through the value interface, as macros and diagnostics see it.
        ObjectPtr value = node;
        EXPECT_STREQ(value->typeName(), n.typeName);
        EXPECT_EQ(node->location, SourceLocation());
    }
}

}  // namespace
