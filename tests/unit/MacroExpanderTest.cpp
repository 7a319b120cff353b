// The pieces of macro expansion that a whole program does not show: raw tokens turned into a
// statement by the source grammar, the single-token conversions registered with it, the
// argument-count exception for a trailing empty pair, and the internal errors of constructs a
// macro body cannot run. Whole programs are in tests/data/macros (run by tests/e2e/programs.sh).
#include <gtest/gtest.h>

#include <sstream>

#include "front/Grammar.hpp"
#include "front/Lexer.hpp"
#include "sema/MacroExpander.hpp"
#include "tree/ParentFinder.hpp"

namespace {

TokensExpressionPtr tokensOf(std::initializer_list<Token> list) {
    TokensExpressionPtr tokens = boost::make_shared<TokensExpression>();
    for (const Token& token : list) tokens->push_back(token);
    return tokens;
}
Token name(const char* text) { return Token(Name, text, SourceLocation()); }
Token type(const char* text) { return Token(TypeName, text, SourceLocation()); }
Token open(const char* text) { return Token(OpeningBrace, text, SourceLocation()); }
Token close(const char* text) { return Token(ClosingBrace, text, SourceLocation()); }
Token number(const char* text) { return Token(Number, text, SourceLocation()); }
Token string(const char* text) { return Token(String, text, SourceLocation()); }
Token keyword(const char* text) { return Token(Keyword, text, SourceLocation()); }
Token oper(const char* text) { return Token(Operator, text, SourceLocation()); }

// A parsed and linked module; the test fails when the text does not parse.
ModulePtr moduleOf(const std::string& text) {
    std::istringstream in(text);
    Lexer lexer(in, "test.vn", sourceLexerOptions);
    ModulePtr module = parseModule(lexer, "test");
    EXPECT_TRUE(module && module->block && queuedDiagnostics().empty()) << text;
    if (module) ParentFinder().linkModule(*module);
    return module;
}

struct MacroExpanderTest : ::testing::Test {
    void SetUp() override {
        clearDiagnostics();
        buildSourceGrammar();
    }
    void TearDown() override { clearDiagnostics(); }
};

TEST_F(MacroExpanderTest, TokensBecomeOneStatement) {
    struct Case {
        TokensExpressionPtr tokens;
        const char* statement;  // the class of the statement delivered, or "none"
    };
    const Case cases[] = {
        // an argument cut out of a line has no empty pair: it gets one
        {tokensOf({name("printf"), open("("), string("\"x\""), close(")")}), "ExpressionStatement"},
        {tokensOf({name("printf"), open("("), close(")"), open("{"), close("}")}), "ExpressionStatement"},
        {tokensOf({keyword("return"), number("5")}), "ReturnStatement"},
        {tokensOf({type("Int"), name("x"), oper("="), number("7")}), "VariableDeclaration"},
        {tokensOf({number("1"), oper("+")}), "none"},
        // tokens left over after one statement would be lost code
        {tokensOf({keyword("return"), number("5"), open("{"), close("}"), number("7"), open("{"), close("}")}), "none"},
        {tokensOf({}), "none"},
    };
    for (const Case& c : cases) {
        StatementPtr statement = parseTokensAsStatement(*c.tokens);
        EXPECT_STREQ(statement ? statement->className() : "none", c.statement) << c.statement;
        // A second conversion of the same argument reads the same tokens.
        StatementPtr again = parseTokensAsStatement(*c.tokens);
        EXPECT_STREQ(again ? again->className() : "none", c.statement) << c.statement;
    }
}

TEST_F(MacroExpanderTest, GrammarRegistersTheNodeConversions) {
    EXPECT_EQ(castTo<int>(tokensOf({number("17")}))->value, 17);
    EXPECT_EQ(castTo<std::string>(tokensOf({string("\"s\"")}))->value, "\"s\"");
    ConstantExpressionPtr constant = boost::make_shared<ConstantExpression>();
    constant->value = "\"text\"";
    EXPECT_EQ(castTo<std::string>(constant)->value, "\"text\"");
    ObjectPtr statement = castToStatement(tokensOf({name("f"), open("("), close(")")}));
    EXPECT_STREQ(boost::dynamic_pointer_cast<Statement>(statement)->className(), "ExpressionStatement");
    EXPECT_THROW(castTo<int>(tokensOf({number("1"), number("2")})), NoCast);
    EXPECT_THROW(castToStatement(constant), NoCast);
}

TEST_F(MacroExpanderTest, OneExtraArgumentIsAcceptedOnlyWhenItIsTheEmptyPair) {
    ModulePtr module = moduleOf("macro _one(Code c)\n    return c\n");
    MacroDeclaration& macro = dynamic_cast<MacroDeclaration&>(*module->block->statements.front());
    struct Case {
        TokensExpressionPtr extra;
        const char* error;  // empty when the call runs
    };
    const Case cases[] = {
        {nullptr, ""},
        {tokensOf({}), ""},
        {tokensOf({open("{"), close("}")}), ""},
        {tokensOf({name("x")}), "Macro _one expected 1 arguments, 2 provided"},
        {tokensOf({open("{"), close("}"), open("{"), close("}")}), "Macro _one expected 1 arguments, 2 provided"},
    };
    for (const Case& c : cases) {
        MacroCall call;
        call.name = "_one";
        TokensExpressionPtr argument = tokensOf({name("a")});
        call.arguments.push_back(argument);
        if (c.extra) call.arguments.push_back(c.extra);
        try {
            EXPECT_EQ(callMacro(call, macro), argument);
            EXPECT_STREQ("", c.error);
        } catch (const CompileError& error) {
            EXPECT_EQ(error.message, c.error);
        }
    }
    MacroCall none;
    none.name = "_one";
    EXPECT_THROW(callMacro(none, macro), CompileError);
}

TEST_F(MacroExpanderTest, ConstructsMacroBodiesCannotRunAreErrorsOfTheUser) {
    struct Case {
        const char* body;
        const char* message;
    };
    const Case cases[] = {
        {"debug_print((1, 2))", "A macro body has no tuples: this one has 2 elements"},
        {"debug_print(Foo:(1))", "A macro body cannot compute a construction; return its code with _code(...)"},
        {"return _other(1)", "A macro body cannot call the macro _other; return the call's code with _code(...)"},
        {"Int x = 1\n    x = 2", "A macro body cannot assign to its variable x"},
    };
    for (const Case& c : cases) {
        ModulePtr module = moduleOf(std::string("macro _m(Code c)\n    ") + c.body + "\n\n_m(1)\n");
        expandMacroStatements(*module->block);
        ASSERT_EQ(queuedDiagnostics().size(), 1u) << c.body;
        EXPECT_EQ(queuedDiagnostics()[0].severity, SeverityError) << c.body;
        EXPECT_EQ(queuedDiagnostics()[0].message, c.message);
        clearDiagnostics();
        // The argument the failed call bound is gone: the next call starts from no scope.
        ModulePtr next = moduleOf("macro _n()\n    return c\n\n_n()\n");
        expandMacroStatements(*next->block);
        ASSERT_EQ(queuedDiagnostics().size(), 1u);
        EXPECT_EQ(queuedDiagnostics()[0].message, "function not found: c");
        clearDiagnostics();
    }
}

}  // namespace
