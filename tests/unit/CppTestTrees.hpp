// Builders of small syntax trees for the C++ back end tests, and a capture that runs the
// emitter over one node and returns its text. Test support only.
#pragma once

#include <boost/make_shared.hpp>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "tree/Ast.hpp"
#include "back/CppBackEnd.hpp"
#include "back/CppEmitter.hpp"
#include "GoldenSupport.hpp"
#include "TestTrees.hpp"

namespace cpptest {

// type, typeOp, constant, binary, callOf, memberOf
using namespace testtrees;

inline SourceLocation at(int line, int column = 0, const std::string& file = "test.vn") {
    return SourceLocation(internFileName(file), line, column);
}

template <class T>
boost::shared_ptr<T> make(int line = -1) {
    boost::shared_ptr<T> node = boost::make_shared<T>();
    if (line > 0) node->location = at(line);
    return node;
}

inline TemplateCallPtr templateArgs(std::initializer_list<AnyExpressionPtr> arguments) {
    TemplateCallPtr call = make<TemplateCall>();
    call->arguments = arguments;
    return call;
}

inline StaticExpressionPtr name(const std::string& text, TypeExpressionPtr scope = TypeExpressionPtr()) {
    StaticExpressionPtr node = make<StaticExpression>();
    node->name = text;
    node->scope = scope;
    return node;
}

inline TupleExpressionPtr parens(std::initializer_list<ExpressionPtr> elements) {
    TupleExpressionPtr node = make<TupleExpression>();
    node->elements = elements;
    return node;
}

inline BlockPtr block(std::initializer_list<StatementPtr> statements, int line = -1) {
    BlockPtr node = make<Block>(line);
    node->statements.assign(statements.begin(), statements.end());
    return node;
}

inline ExpressionStatementPtr exprStatement(ExpressionPtr expression, int line) {
    ExpressionStatementPtr node = make<ExpressionStatement>(line);
    node->expression = expression;
    return node;
}

inline ReturnStatementPtr returns(ExpressionPtr value, int line) {
    ReturnStatementPtr node = make<ReturnStatement>(line);
    node->value = value;
    return node;
}

inline ArgumentDeclarationPtr argument(TypeExpressionPtr argumentType, const std::string& argumentName,
                                       ExpressionPtr defaultValue = ExpressionPtr()) {
    ArgumentDeclarationPtr node = make<ArgumentDeclaration>();
    node->type = argumentType;
    node->name = argumentName;
    node->defaultValue = defaultValue;
    return node;
}

inline FunctionDeclarationPtr function(int line, TypeExpressionPtr result, const std::string& functionName,
                                       std::initializer_list<ArgumentDeclarationPtr> arguments, BlockPtr body,
                                       Access access = Public) {
    FunctionDeclarationPtr node = make<FunctionDeclaration>(line);
    node->type = result;
    node->name = functionName;
    node->arguments = arguments;
    node->body = body;
    node->access = access;
    return node;
}

inline VariableDeclarationPtr variable(int line, TypeExpressionPtr variableType, const std::string& variableName,
                                       std::initializer_list<ExpressionPtr> initializers = {},
                                       Access access = Public) {
    VariableDeclarationPtr node = make<VariableDeclaration>(line);
    node->type = variableType;
    node->name = variableName;
    node->initializers = initializers;
    node->access = access;
    return node;
}

inline ClassDeclarationPtr classOf(int line, const std::string& className, BlockPtr body) {
    ClassDeclarationPtr node = make<ClassDeclaration>(line);
    node->name = className;
    node->body = body;
    return node;
}

inline TemplateDeclarationPtr templateOf(std::initializer_list<std::string> typeParameters) {
    TemplateDeclarationPtr node = make<TemplateDeclaration>();
    for (const std::string& parameterName : typeParameters) {
        TemplateArgumentDeclarationPtr parameter = make<TemplateArgumentDeclaration>();
        parameter->isType = true;
        parameter->name = parameterName;
        node->arguments.push_back(parameter);
    }
    return node;
}

using golden::freshDirectory;
using golden::readFile;
using golden::writeFile;

// Runs the emitter over nodes in one phase, from a given current line, and returns the text.
class Capture {
public:
    explicit Capture(EmitPhase phase, int line = 1) : path_(freshDirectory("capture") + "out.txt"), writer_(file_),
                                                     emitter_(writer_, argumentSuffixes_) {
        file_.open(path_);
        writer_.resetLine(line);
        emitter_.phase = phase;
    }

    CppEmitter& emitter() { return emitter_; }
    CppWriter& writer() { return writer_; }

    std::string emit(const ASTObjectPtr& node) {
        emitter_.visit(node);
        return text();
    }

    std::string text() {
        file_.close();
        return readFile(path_);
    }

private:
    std::string path_;
    DiffingFile file_;
    CppWriter writer_;
    ArgumentSuffixes argumentSuffixes_;
    CppEmitter emitter_;
};

inline std::string emit(const ASTObjectPtr& node, EmitPhase phase, int line = 1) {
    Capture capture(phase, line);
    return capture.emit(node);
}

}  // namespace cpptest
