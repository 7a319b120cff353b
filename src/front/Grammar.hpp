// The source language grammar (grammar mode 0): modules, declarations, types, statements,
// expressions with their precedence steps, and macro calls with raw-token arguments.
// Takes a token stream from the source lexer; gives a Module tree (or any sub-tree through the
// rule accessors). Syntax errors go to the diagnostics list; a bad statement never stops the
// parse of the rest of the file.
#pragma once

#include <string>

#include "tree/Ast.hpp"
#include "front/Parser.hpp"

// Builds the rules on the first call, registering the conversions of compile-time values that
// need tree nodes and the statement rule; every call selects grammar mode 0.
void buildSourceGrammar();

// Parses a whole module from a fresh stream and stores its name. Delivers no module only when
// the module rule itself cannot run; syntax errors are in the diagnostics list. With
// `declarationsOnly` every function gets an empty body, and errors inside bodies go unseen: for
// a module whose translation is current and that is read only for what its importers see.
ModulePtr parseModule(TokenStream& ts, const std::string& moduleName, bool declarationsOnly = false);

// The raw tokens of a macro argument parsed as one statement by the statement rule, all of
// them used; null when they are not exactly one statement. Ends the tokens with the empty
// statement pair when they do not already end in "}", and with end-of-file.
StatementPtr parseTokensAsStatement(TokensExpression& tokens);

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
Rule<StaticExpression>& scopedValueRule();
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
