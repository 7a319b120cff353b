// Lowering on hand-built trees, for what no source text can reach: anonymous functions (the
// grammar makes none) and statement insertion where there is no statement to insert before.
// Everything a program can show is tested by translating programs (tests/data/lowering, run by tests/e2e/programs.sh).
#include <gtest/gtest.h>

#include "sema/Lowering.hpp"
#include "NameLookupTestTrees.hpp"

namespace {

using namespace lookuptest;

class LoweringTest : public LookupFixture {};

AnonFuncExpressionPtr anonymous(int result) {
    AnonFuncExpressionPtr f = make<AnonFuncExpression>();
    f->result = type("Int");
    ReturnStatementPtr value = make<ReturnStatement>();
    value->value = constant(std::to_string(result));
    f->body = block({value});
    return f;
}

TEST_F(LoweringTest, AnonymousFunctionsOfOneBlockGetDistinctNamesBeforeTheirFunction) {
    ModulePtr m = module("main");
    import(m, builtin());
    ExpressionStatementPtr first = statement(anonymous(1)), second = statement(anonymous(2));
    FunctionDeclarationPtr outer = function("outer", type("Void"), {}, {first, second});
    add(m->block, outer);
    link(m);
    processBody(*m->block, false);
    EXPECT_TRUE(messages().empty());
    std::vector<std::string> declared;
    for (const StatementPtr& s : m->block->statements)
        if (const FunctionDeclaration* f = dynamic_cast<const FunctionDeclaration*>(s.get())) declared.push_back(f->name);
    EXPECT_EQ(declared, (std::vector<std::string>{"VORN_ANON_FUNCTION1", "VORN_ANON_FUNCTION2", "outer"}));
    // Each expression now names its function, and both functions were processed.
    for (size_t i = 0; i < 2; ++i) {
        const ExpressionStatement* s = dynamic_cast<const ExpressionStatement*>(
            std::next(outer->body->statements.begin(), static_cast<long>(i))->get());
        ASSERT_TRUE(s);
        const ConstantExpression* name = dynamic_cast<const ConstantExpression*>(s->expression.get());
        ASSERT_TRUE(name);
        EXPECT_EQ(name->value, declared[i]);
        EXPECT_TRUE(std::next(m->block->statements.begin(), static_cast<long>(i))->get()->processed);
    }
}

TEST_F(LoweringTest, InsertingWhereNoStatementStandsThrowsCantAddStatement) {
    ExpressionStatementPtr loose = statement(constant("1"));
    try {
        insertStatementBefore(*loose, statement(constant("2")));
        ADD_FAILURE() << "inserted before a statement of no block";
    } catch (const CompileError& error) {
        EXPECT_EQ(error.message, "Can't add statement");
    }
}

// The guard behind "nothing reaches the back end unlowered": a statement the pass never saw
// (here one added after processing, as a pass that skipped a body would leave it) is reported.
TEST_F(LoweringTest, AStatementLeftUnprocessedIsReportedAtItsPosition) {
    ModulePtr m = module("main");
    import(m, builtin());
    FunctionDeclarationPtr f = function("f", type("Void"), {}, {statement(constant("1"))});
    add(m->block, f);
    link(m);
    processBody(*m->block, false);
    reportUnprocessedStatements(*m->block);
    EXPECT_TRUE(messages().empty());
    ExpressionStatementPtr skipped = statement(constant("2"));
    skipped->location = SourceLocation(internFileName("x.vn"), 7, 4);
    f->body->statements.push_back(skipped);
    reportUnprocessedStatements(*m->block);
    ASSERT_EQ(queuedDiagnostics().size(), 1u);
    const CompileError& error = queuedDiagnostics().front();
    EXPECT_EQ(error.position, skipped->location);
    EXPECT_NE(error.message.find("a statement was never processed: ExpressionStatement"), std::string::npos)
        << error.message;
}

}  // namespace
