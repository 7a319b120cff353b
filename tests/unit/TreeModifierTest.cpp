#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <stdexcept>

#include "tree/Ast.hpp"
#include "tree/TreeModifier.hpp"

namespace {

// Installs a handler for functions for the length of a test, then puts back what was there.
class HandlerScope {
public:
    explicit HandlerScope(const DeclarationHandler<FunctionDeclaration>& handler)
        : saved(declarationHandler<FunctionDeclaration>()) {
        setDeclarationHandler<FunctionDeclaration>(handler);
    }
    ~HandlerScope() { setDeclarationHandler<FunctionDeclaration>(saved); }

private:
    DeclarationHandler<FunctionDeclaration> saved;
};

FunctionDeclarationPtr function(const std::string& name) {
    FunctionDeclarationPtr f = boost::make_shared<FunctionDeclaration>();
    f->name = name;
    f->location = SourceLocation(internFileName("m.vn"), 4, 2);
    return f;
}

class TreeModifierTest : public ::testing::Test {
protected:
    void SetUp() override { clearDiagnostics(); }
    void TearDown() override { clearDiagnostics(); }
};

TEST_F(TreeModifierTest, ProcessesOnceEvenWhenRecursive) {
    int calls = 0;
    HandlerScope scope([&](FunctionDeclaration& d) {
        ++calls;
        processDeclaration(&d);  // a recursive function reaching itself
        return ASTObjectPtr();
    });
    FunctionDeclarationPtr f = function("fact");
    SourceLocation at = processDeclaration(f.get());
    processDeclaration(f.get());
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(f->processed);
    EXPECT_EQ(at, f->location);
    EXPECT_TRUE(queuedDiagnostics().empty());
    EXPECT_EQ(processDeclaration(nullptr), SourceLocation());
}

TEST_F(TreeModifierTest, ClassesWithoutHandlerAreMarkedOnly) {
    EnumDeclarationPtr e = boost::make_shared<EnumDeclaration>();
    processDeclaration(e.get());
    EXPECT_TRUE(e->processed);
    EXPECT_TRUE(queuedDiagnostics().empty());
    // Only the classes the modifier dispatches take a handler; any other would never run.
    EXPECT_THROW(setDeclarationHandler<EnumDeclaration>([](EnumDeclaration&) { return ASTObjectPtr(); }),
                 CompileError);
}

TEST_F(TreeModifierTest, FailuresBecomeDiagnosticsAtTheDeclaration) {
    struct Row {
        const char* what;
        std::function<ASTObjectPtr(FunctionDeclaration&)> handler;
        const char* message;
        int line;  // where the diagnostic must point
        int severity;
    };
    const Row rows[] = {
        {"replacement", [](FunctionDeclaration&) { return boost::make_shared<VariableDeclaration>(); },
         "Declarations can not be changed", 4, SeverityError},
        {"positioned error",
         [](FunctionDeclaration&) -> ASTObjectPtr {
             throw CompileError("bad type", SourceLocation(internFileName("m.vn"), 9, 1));
         },
         "bad type", 9, SeverityError},
        {"unpositioned error", [](FunctionDeclaration&) -> ASTObjectPtr { throw CompileError("no place"); }, "no place", 4,
         SeverityError},
        {"warning", [](FunctionDeclaration&) -> ASTObjectPtr { throw CompileWarning("odd"); }, "odd", 4, SeverityWarning},
        {"standard", [](FunctionDeclaration&) -> ASTObjectPtr { throw std::runtime_error("std failure"); }, "std failure", 4,
         SeverityError},
    };
    for (const Row& row : rows) {
        clearDiagnostics();
        HandlerScope scope(row.handler);
        FunctionDeclarationPtr f = function("f");
        EXPECT_NO_THROW(processDeclaration(f.get())) << row.what;
        ASSERT_EQ(queuedDiagnostics().size(), 1u) << row.what;
        const CompileError& e = queuedDiagnostics()[0];
        EXPECT_NE(e.message.find(row.message), std::string::npos) << row.what << ": " << e.message;
        EXPECT_EQ(e.position.line, row.line) << row.what;
        EXPECT_EQ(e.position.fileName(), "m.vn") << row.what;
        EXPECT_EQ(e.severity, row.severity) << row.what;
    }
}

}  // namespace
