// Builders of syntax tree nodes that carry no source position, shared by the tree helpers of
// the back end tests (CppTestTrees.hpp) and of the lookup and inference tests
// (NameLookupTestTrees.hpp). Takes names and child nodes; gives unlinked nodes.
// Test support only: nothing here may reach the translator itself.
#pragma once

#include <boost/make_shared.hpp>
#include <initializer_list>
#include <string>

#include "tree/Ast.hpp"

namespace testtrees {

inline SimpleTypeExprPtr type(const std::string& name, TemplateCallPtr arguments = TemplateCallPtr()) {
    SimpleTypeExprPtr node = boost::make_shared<SimpleTypeExpr>();
    node->name = name;
    node->templateArgs = arguments;
    return node;
}

inline TypeOperatorPtr typeOp(TypeOperatorType kind, TypeExpressionPtr operand, TypeExpressionPtr valueType = {},
                              ExpressionPtr size = {}) {
    TypeOperatorPtr node = boost::make_shared<TypeOperator>();
    node->kind = kind;
    node->operand = operand;
    node->valueType = valueType;
    node->size = size;
    return node;
}

inline ConstantExpressionPtr constant(const std::string& value) {
    ConstantExpressionPtr node = boost::make_shared<ConstantExpression>();
    node->value = value;
    return node;
}

inline OperExpressionPtr binary(ExpressionPtr left, const std::string& op, ExpressionPtr right) {
    OperExpressionPtr node = boost::make_shared<OperExpression>();
    node->left = left;
    node->op = op;
    node->right = right;
    return node;
}

inline FuncExpressionPtr callOf(ExpressionPtr function, std::initializer_list<ExpressionPtr> arguments = {}) {
    FuncExpressionPtr node = boost::make_shared<FuncExpression>();
    node->function = function;
    node->arguments = arguments;
    return node;
}

inline SubExpressionPtr memberOf(ExpressionPtr object, const std::string& member, bool arrow = false) {
    SubExpressionPtr node = boost::make_shared<SubExpression>();
    node->object = object;
    node->member = member;
    node->isArrow = arrow;
    return node;
}

}  // namespace testtrees
