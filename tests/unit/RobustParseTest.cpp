// The whole ".vn" parse on hostile input: what the fuzzer found (a caught variable's table
// entry that kept its own handler alive) and the hostile inputs we know of (deep nesting, NUL
// bytes, invalid UTF-8, CR LF, no final line end, an empty file). Each parses to the end without a
// crash, and deep nesting or a long chain is a positioned error, not a stack overflow.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <boost/weak_ptr.hpp>

#include "base/Diagnostics.hpp"
#include "front/Grammar.hpp"
#include "front/Lexer.hpp"
#include "tree/ParentFinder.hpp"

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
        {"sum of 100,000 terms", "x = 1" + repeated(" + 1", 100000) + "\n", true},
        {"member chain 100,000 deep", "x = a" + repeated(".n", 100000) + "\n", true},
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

// Rule runs for a text built from `depth` copies of an opening piece, a middle and as many
// copies of a closing piece, less the runs of the same text at depth 0.
unsigned long long stepsAtDepth(const char* open, const char* middle, const char* close, int depth) {
    auto text = [&](int d) { return "x = " + repeated(open, d) + middle + repeated(close, d) + "\n"; };
    parseSteps = 0;
    parsed(text(0));
    unsigned long long base = parseSteps;
    parseSteps = 0;
    parsed(text(depth));
    return parseSteps - base;
}

// Brackets that several alternatives try (tuple and range, construction and static name, a
// template argument as type and as expression) once made the parse repeat what follows them,
// twice or more per bracket. Doubling the depth must no more than double the work, give or
// take; the depths are small so that a return of the blow-up fails here rather than hangs.
TEST_F(RobustParse, StepsGrowLinearlyWithBracketDepth) {
    struct Shape {
        const char* name;
        const char* open;
        const char* middle;
        const char* close;
    } shapes[] = {
        {"unclosed parentheses", "(", "1", ""},
        {"unclosed square brackets", "[", "1", ""},
        {"unclosed calls", "f(", "1", ""},
        {"unclosed template arguments", "A[", "1", ""},
        {"unclosed mixed brackets", "([", "1", ""},
        {"closed parentheses", "(", "1", ")"},
        {"nested ranges", "(", "1", " ... 2)"},
        {"nested ranges, included ends", "[0 ... ", "1", "]"},
        {"ranges in tuples", "((0 ... 1), ", "1", ")"},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        unsigned long long previous = stepsAtDepth(shape.open, shape.middle, shape.close, 6);
        for (int depth = 12; depth <= 48; depth *= 2) {
            unsigned long long steps = stepsAtDepth(shape.open, shape.middle, shape.close, depth);
            EXPECT_LE(steps, previous * 5 / 2) << "depth " << depth;
            if (steps > previous * 5 / 2) break;  // deeper would only take longer
            previous = steps;
        }
    }
}

// The shape of a fuzzer's input that once ran for minutes: open parentheses, a run of "/", and
// more parentheses than the nesting limit allows, some of them closed.
TEST_F(RobustParse, FuzzedOpenParenthesesStayLinear) {
    std::string text = "x = " + repeated("(", 415) + repeated("/", 120) + repeated("(", 585) + "0" + repeated(")", 208) + "\n";
    parseSteps = 0;
    parsed(text);
    EXPECT_LT(parseSteps, 20 * text.size());
    ASSERT_EQ(queuedDiagnostics().size(), 1u);
}

}  // namespace
