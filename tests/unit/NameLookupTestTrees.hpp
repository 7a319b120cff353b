// Builders of small linked trees for the name lookup and type inference tests: modules with
// imports, classes with bases, functions, variables and loops, plus the built-in library read
// from its file and a capture of the lookup trace. Test support only.
#pragma once

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <sstream>
#include <string>

#include "tree/Ast.hpp"
#include "driver/BuildManager.hpp"
#include "driver/Driver.hpp"
#include "front/LibFrontEnd.hpp"
#include "base/ModuleName.hpp"
#include "sema/NameLookup.hpp"
#include "tree/ParentFinder.hpp"
#include "TestTrees.hpp"

namespace lookuptest {

// type, typeOp, constant, binary, callOf, memberOf
using namespace testtrees;

inline SourceLocation at(int line, int column = 0) { return SourceLocation(internFileName("main.vn"), line, column); }

template <class T>
boost::shared_ptr<T> make(int line = -1) {
    boost::shared_ptr<T> node = boost::make_shared<T>();
    if (line > 0) node->location = at(line);
    return node;
}

inline ModulePtr module(const std::string& name) {
    ModulePtr m = make<Module>();
    m->name = name;
    m->block = make<Block>();
    m->block->parent = m.get();
    return m;
}

inline BlockPtr block(std::initializer_list<StatementPtr> statements) {
    BlockPtr b = make<Block>();
    b->statements.assign(statements.begin(), statements.end());
    return b;
}

inline void add(const BlockPtr& b, const StatementPtr& statement) { b->statements.push_back(statement); }

// Links the module (and fills its tables); done again after every change to the tree.
inline void link(const ModulePtr& m) { ParentFinder().linkModule(*m); }

// An import of `imported` by `importer`, resolved and bound as the build manager does.
inline ImportDeclarationPtr import(const ModulePtr& importer, const ModulePtr& imported, int inHeader = 1) {
    ImportDeclarationPtr i = make<ImportDeclaration>();
    i->path = splitDottedName(imported->name);
    i->inHeader = inHeader;
    i->module = imported;
    importer->addImport(i);
    bindImport(*importer->block, i->path, SourceLocation(), imported);
    return i;
}

inline StaticExpressionPtr name(const std::string& text, int line = -1, TypeExpressionPtr scope = {}) {
    StaticExpressionPtr e = make<StaticExpression>(line);
    e->name = text;
    e->scope = scope;
    return e;
}

inline SubExpressionPtr member(ExpressionPtr object, const std::string& text) { return memberOf(object, text); }

inline OperExpressionPtr oper(ExpressionPtr left, const std::string& op, ExpressionPtr right) {
    return binary(left, op, right);
}

inline FuncExpressionPtr call(ExpressionPtr function, std::initializer_list<ExpressionPtr> arguments = {}) {
    return callOf(function, arguments);
}

inline RangeExpressionPtr range(ExpressionPtr start, ExpressionPtr end, bool startIncluded = true,
                                bool endIncluded = false) {
    RangeExpressionPtr e = make<RangeExpression>();
    e->start = start;
    e->end = end;
    e->startIncluded = startIncluded;
    e->endIncluded = endIncluded;
    return e;
}

inline VariableDeclarationPtr var(const std::string& name, TypeExpressionPtr t,
                                  std::initializer_list<ExpressionPtr> initializers = {}, int line = -1) {
    VariableDeclarationPtr v = make<VariableDeclaration>(line);
    v->name = name;
    v->type = t;
    v->initializers = initializers;
    return v;
}

inline ArgumentDeclarationPtr argument(const std::string& name, TypeExpressionPtr t) {
    ArgumentDeclarationPtr a = make<ArgumentDeclaration>();
    a->name = name;
    a->type = t;
    return a;
}

inline FunctionDeclarationPtr function(const std::string& name, TypeExpressionPtr result,
                                       std::initializer_list<ArgumentDeclarationPtr> arguments,
                                       std::initializer_list<StatementPtr> body = {}) {
    FunctionDeclarationPtr f = make<FunctionDeclaration>();
    f->name = name;
    f->type = result;
    f->arguments = arguments;
    f->body = block(body);
    return f;
}

inline ClassDeclarationPtr cls(const std::string& name, std::initializer_list<std::string> bases,
                               std::initializer_list<StatementPtr> body = {}) {
    ClassDeclarationPtr c = make<ClassDeclaration>();
    c->name = name;
    for (const std::string& baseName : bases) {
        BaseDeclarationPtr base = make<BaseDeclaration>();
        base->type = type(baseName);
        c->bases.push_back(base);
    }
    c->body = block(body);
    return c;
}

inline ForPartPtr forPart(const std::string& name, ExpressionPtr iterated, bool reverse = false, int line = -1) {
    ForPartPtr p = make<ForPart>(line);
    p->name = name;
    p->range = iterated;
    p->isReverse = reverse;
    return p;
}

inline ForStatementPtr forLoop(std::initializer_list<ForPartPtr> parts, std::initializer_list<StatementPtr> body = {}) {
    ForStatementPtr f = make<ForStatement>();
    f->parts = parts;
    f->body = block(body);
    return f;
}

inline ExpressionStatementPtr statement(ExpressionPtr e) {
    ExpressionStatementPtr s = make<ExpressionStatement>();
    s->expression = e;
    return s;
}

// The built-in library as the program ships it (Int, String, Vector, Map...).
inline ModulePtr builtin() {
    std::ifstream in(std::string(VORN_SOURCE_DIR) + "/lib/Library/Buildin.vnl");
    EXPECT_TRUE(in.good());
    std::vector<ModulePtr> described;
    return readLibraryRecords(in, "Library.Buildin", described);
}

// C++ spelling of a type, enough to compare inferred types in tests.
inline std::string spell(const TypeExpression* t) {
    if (!t) return "<unknown>";
    if (const SimpleTypeExpr* s = dynamic_cast<const SimpleTypeExpr*>(t)) return s->name;
    if (const SubTypeExpr* s = dynamic_cast<const SubTypeExpr*>(t)) return spell(s->scope.get()) + "::" + s->name;
    if (const TupleType* tuple = dynamic_cast<const TupleType*>(t)) {
        std::string text = "(";
        for (const TypeExpressionPtr& e : tuple->elements) text += (text.size() > 1 ? "," : "") + spell(e.get());
        return text + ")";
    }
    if (const FuncType* f = dynamic_cast<const FuncType*>(t)) {
        std::string text = spell(f->result.get()) + "(";
        for (size_t i = 0; i < f->arguments.size(); ++i) text += (i ? "," : "") + spell(f->arguments[i].get());
        return text + ")";
    }
    const TypeOperator* op = dynamic_cast<const TypeOperator*>(t);
    if (!op) return "?";
    switch (op->kind) {
    case PointerType:
        return spell(op->operand.get()) + "*";
    case SharedPointerType:
        return "shared<" + spell(op->operand.get()) + ">";
    case ReferenceType:
        return spell(op->operand.get()) + "&";
    case ArrayType:
        return spell(op->operand.get()) + "[]";
    case VectorType:
        return "vector<" + spell(op->operand.get()) + ">";
    case MapType:
        return "map<" + spell(op->operand.get()) + "," + spell(op->valueType.get()) + ">";
    case ConstType:
        return "const " + spell(op->operand.get());
    case VolatileType:
        return "volatile " + spell(op->operand.get());
    }
    return "?";
}

inline std::string spell(const TypeExpressionPtr& t) { return spell(t.get()); }

// Collects what goes to standard output (the lookup trace) while it lives.
class StdoutCapture {
public:
    StdoutCapture() : saved(std::cout.rdbuf(buffer.rdbuf())) {}
    ~StdoutCapture() { std::cout.rdbuf(saved); }
    std::string text() const { return buffer.str(); }

private:
    std::ostringstream buffer;
    std::streambuf* saved;
};

// Each test starts with an empty diagnostics list, the trace off and the passes installed, and
// leaves them so: a test that swaps a pass's handler or hook for its own must not leave a later
// test (or its own next repetition) without it.
class LookupFixture : public ::testing::Test {
protected:
    void SetUp() override {
        clearDiagnostics();
        runOptions.verboseLookup = false;
        registerPasses();  // lookup processes what it finds, as in a run
    }
    void TearDown() override {
        clearDiagnostics();
        runOptions.verboseLookup = false;
        registerPasses();
    }

    static std::vector<std::string> messages() {
        std::vector<std::string> texts;
        for (const CompileError& e : queuedDiagnostics()) texts.push_back(e.message);
        return texts;
    }
};

}  // namespace lookuptest
