// The source language grammar (grammar mode 0): modules, declarations, types, statements,
// expressions with their precedence steps, and macro calls with raw-token arguments.
// Takes a token stream from the source lexer; gives a Module tree (or any sub-tree through the
// rule accessors). Syntax errors go to the diagnostics list; a bad statement never stops the
// parse of the rest of the file.
#pragma once

#include <string>

#include "Ast.hpp"
#include "Parser.hpp"

// Builds the rules on the first call; every call selects grammar mode 0.
void buildSourceGrammar();

// Parses a whole module from a fresh stream and stores its name. Delivers no module only when
// the module rule itself cannot run; syntax errors are in the diagnostics list.
ModulePtr parseModule(TokenStream& ts, const std::string& moduleName);

// Deeper nesting of expressions, types and blocks than this ends the statement with an error
// instead of exhausting the parser's stack. One level costs under 1 KB of stack in an optimised
// build and several KB with the sanitizers, so 600 levels fit a 1 MB stack (optimised) and a
// 4 MB one (sanitized), and 500 nested blocks with their statements still parse.
const int maxNestingDepth = 600;

// A statement whose tree would be deeper than this (counting a chain of operators, member
// accesses, calls or postfix type operators one level per link, and each bracket, nested
// expression and block one more) ends with an error instead of exhausting the stack of a
// later walk over the tree. The deepest trees that pass (a chain at the limit, alone, under
// brackets, under blocks or in a type) take every stage together under 0.8 MB of stack in an
// optimised build and under 3.4 MB with the sanitizers, well inside the default 8 MB.
const int maxTreeHeight = 2000;

// Rule accessors: each returns the rule of the current grammar mode. The C++ declaration grammar
// gives the shared ones (type, expression, statement, ...) its own bodies in mode 1.
Rule<MatchBool>& endOfStatementRule();
Rule<AnyExpression>& anyExpressionRule();
Rule<TypeExpression>& primaryTypeRule();
Rule<TypeExpression>& typeRule();
Rule<SimpleTypeExpr>& simpleTypeRule();
Rule<TupleType>& tupleTypeRule();
Rule<TypeOperator>& prefixTypeOperatorRule();

Rule<Statement>& statementRule();
Rule<ForStatement>& forRule();
Rule<ForPart>& forPartRule();
Rule<IfStatement>& ifRule();
Rule<TryStatement>& tryRule();
Rule<CatchStatement>& catchRule();
Rule<WhileStatement>& whileRule();
Rule<DeleteStatement>& deleteRule();
Rule<ReturnStatement>& returnRule();
Rule<BreakStatement>& breakRule();
Rule<ContinueStatement>& continueRule();
Rule<ThrowStatement>& throwRule();
Rule<MacroStatement>& macroStatementRule();
Rule<InitStatement>& initStatementRule();
Rule<ExpressionStatement>& expressionStatementRule();

Rule<Expression>& expressionRule();
Rule<PrefixOperExpression>& prefixOperatorRule();
Rule<TernaryOperExpression>& conditionalRule();
Rule<MacroExpression>& macroExpressionRule();
Rule<CtorExpression>& constructionRule();
Rule<TupleExpression>& tupleRule();
Rule<RangeExpression>& rangeRule();
Rule<ConstantExpression>& constantRule();
Rule<StaticExpression>& staticNameRule();
Rule<MacroCall>& macroCallRule();
Rule<TokensExpression>& bracketedArgumentRule();
Rule<TokensExpression>& openArgumentRule();

Rule<Declaration>& declarationRule();
Rule<BaseDeclaration>& baseRule();
Rule<ClassDeclaration>& classRule();
Rule<ArgumentDeclaration>& argumentRule();
Rule<FunctionDeclaration>& functionRule();
Rule<PropertyDeclaration>& propertyRule();
Rule<VariableDeclaration>& variableRule();
Rule<EnumItem>& enumItemRule();
Rule<EnumDeclaration>& enumRule();
Rule<TypeAliasDeclaration>& aliasRule();
Rule<MacroDeclaration>& macroDeclarationRule();
Rule<Block>& blockRule();
Rule<MatchBool>& accessSectionRule();
Rule<ImportDeclaration>& importRule();
Rule<Block>& moduleBodyRule();
Rule<Module>& moduleRule();
Rule<TemplateCall>& templateCallRule();
Rule<TemplateDeclaration>& templateDeclarationRule();
Rule<TemplateArgumentDeclaration>& templateArgumentRule();
