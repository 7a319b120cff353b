// The whole ".vn" parse on hostile input: what the fuzzer found (a caught variable's table
// entry that kept its own handler alive) and the inputs (deep nesting, NUL bytes,
// invalid UTF-8, CR LF, no final line end, an empty file). Each parses to the end without a
// crash, and deep nesting is a positioned error, not a stack overflow.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <boost/weak_ptr.hpp>

#include "Diagnostics.hpp"
#include "Grammar.hpp"
#include "Lexer.hpp"
#include "ParentFinder.hpp"

namespace {

ModulePtr parsed(const std::string& source) {
    std::istringstream in(source);
    Lexer lexer(in, "robust.vn", sourceLexerOptions);
    buildSourceGrammar();
    ModulePtr module = parseModule(lexer, "robust");
    if (module) ParentFinder().linkModule(*module);
    return module;
}

struct RobustParse : ::testing::Test {
    void SetUp() override { clearDiagnostics(); }
    void TearDown() override { clearDiagnostics(); }
};

// A linked module is freed with its last owner; the handler's entry in its own block's table
// once held the try statement, and so the whole statement, forever.
TEST_F(RobustParse, LinkedTryStatementIsFreed) {
    ModulePtr module = parsed("Void f()\n    try\n        risky()\n    catch Error e\n        handle(e)\n");
    ASSERT_TRUE(module);
    EXPECT_TRUE(queuedDiagnostics().empty());
    boost::weak_ptr<Module> watch = module;
    boost::weak_ptr<Block> body = module->block;
    module.reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_TRUE(body.expired());
}

struct Input {
    const char* name;
    std::string source;
    bool error;  // a diagnostic is expected
};

std::string repeated(const std::string& piece, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) out += piece;
    return out;
}

TEST_F(RobustParse, HostileInputsEndInAModuleOrAnError) {
    std::string indented;
    for (int depth = 0; depth < 1000; ++depth) indented += std::string(depth, ' ') + "if x\n";
    Input inputs[] = {
        {"empty", "", false},
        {"no final line end", "Void f()\n    g()", false},
        {"CR LF", "Void f()\r\n    g()\r\n", false},
        {"NUL byte", std::string("x = a\0b\n", 8), true},
        {"invalid UTF-8", "x = \xff\xfe\n", true},
        {"parentheses 1000 deep", "x = " + repeated("(", 1000) + "1" + repeated(")", 1000) + "\n", true},
        {"indentation 1000 deep", "Void f()\n" + indented, true},
        {"string of 1 MB", "x = \"" + std::string(1 << 20, 'a') + "\"\n", false},
    };
    for (const Input& input : inputs) {
        SCOPED_TRACE(input.name);
        clearDiagnostics();
        parsed(input.source);
        EXPECT_EQ(!queuedDiagnostics().empty(), input.error);
        for (const CompileError& error : queuedDiagnostics()) EXPECT_GE(error.position.line, 1);
    }
}

}  // namespace
