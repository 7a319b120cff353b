// The source grammar on small texts: operator precedence and grouping, the mixing error,
// nesting limits, grammar building and mode selection, and loading a file through VnFrontEnd.
// The construct families themselves are covered by the golden files (GrammarGoldenTest).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "front/Grammar.hpp"
#include "front/VnFrontEnd.hpp"

namespace {

struct GrammarTest : ::testing::Test {
    void SetUp() override { clearDiagnostics(); }
    void TearDown() override { clearDiagnostics(); }
};

ModulePtr parseText(const std::string& text) {
    std::istringstream input(text);
    Lexer lexer(input, "text.vn", sourceLexerOptions);
    return parseModule(lexer, "Text");
}

// Writes an expression with every operator application in parentheses.
std::string render(const ExpressionPtr& e) {
    if (!e) return "<none>";
    if (auto s = boost::dynamic_pointer_cast<StaticExpression>(e)) return s->name;
    if (auto c = boost::dynamic_pointer_cast<ConstantExpression>(e)) return c->value;
    if (auto o = boost::dynamic_pointer_cast<OperExpression>(e))
        return "(" + render(o->left) + " " + o->op + " " + render(o->right) + ")";
    if (auto p = boost::dynamic_pointer_cast<PrefixOperExpression>(e)) return "(" + p->op + render(p->operand) + ")";
    if (auto t = boost::dynamic_pointer_cast<TernaryOperExpression>(e))
        return "(" + render(t->condition) + " ? " + render(t->whenTrue) + " : " + render(t->whenFalse) + ")";
    if (auto m = boost::dynamic_pointer_cast<SubExpression>(e))
        return render(m->object) + (m->isArrow ? "->" : ".") + m->member;
    if (auto f = boost::dynamic_pointer_cast<FuncExpression>(e)) {
        std::string out = render(f->function) + "(";
        for (size_t i = 0; i < f->arguments.size(); ++i) out += (i ? ", " : "") + render(f->arguments[i]);
        return out + ")";
    }
    if (auto r = boost::dynamic_pointer_cast<RangeExpression>(e))
        return std::string(r->startIncluded ? "[" : "(") + render(r->start) + "..." + (r->end ? render(r->end) : "") +
               (r->endIncluded ? "]" : ")");
    if (auto t = boost::dynamic_pointer_cast<TupleExpression>(e)) {
        std::string out = "[";
        for (size_t i = 0; i < t->elements.size(); ++i) out += (i ? ", " : "") + render(t->elements[i]);
        return out + "]";
    }
    return std::string("<") + e->typeName() + ">";
}

// The expression of the one statement of a module, or the first diagnostic.
std::string parseExpression(const std::string& text) {
    clearDiagnostics();
    ModulePtr module = parseText(text + "\n");
    if (!queuedDiagnostics().empty()) return "error: " + queuedDiagnostics().front().message;
    if (!module || module->block->statements.size() != 1) return "not one statement";
    auto statement = boost::dynamic_pointer_cast<ExpressionStatement>(module->block->statements.front());
    if (!statement) return "not an expression statement";
    return render(statement->expression);
}

TEST_F(GrammarTest, PrecedenceAndGrouping) {
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"a + b * c - d", "((a + (b * c)) - d)"},
        {"a * b + c", "((a * b) + c)"},
        {"a < b && c == d", "((a < b) && (c == d))"},
        {"a || b >= c", "(a || (b >= c))"},
        {"a && b != c + d", "(a && (b != (c + d)))"},
        {"a - b - c", "((a - b) - c)"},
        {"a = b = c", "(a = (b = c))"},
        {"a += b -= c", "(a += (b -= c))"},
        {"-a * b", "((-a) * b)"},
        {"!a && b", "((!a) && b)"},
        {"a & b == c", "(a & (b == c))"},
        {"a < b == c", "((a < b) == c)"},
        {"a << b + c", "(a << (b + c))"},
        {"a + 1 <=> b +- c == 0", "((((a + 1) <=> b) +- c) == 0)"},
        {"a < b <=> c", "(a < (b <=> c))"},
        {"a && b && c", "(a && (b && c))"},
        {"a | b | c", "(a | (b | c))"},
        {"(a && b) || c", "([(a && b)] || c)"},
        {"a && (b || c)", "(a && [(b || c)])"},
        {"a ? b : c ? d : e", "(a ? b : (c ? d : e))"},
        {"x = a ? b : c", "(x = (a ? b : c))"},
        {"a.b(c)", "a.b(c)"},
        {"a.b.c(d).e", "a.b.c(d).e"},
        {"p->q + 1", "(p->q + 1)"},
        {"f(a)(b)", "f(a)(b)"},
        {"x = if a then b else c", "(x = (a ? b : c))"},
        {"x = if a b else c + 1", "(x = (a ? b : (c + 1)))"},
        {"-(-a)", "(-[(-a)])"},
        {"a * -b", "(a * (-b))"},
        {"a & b | c", "((a & b) | c)"},  // different precedences may meet
    };
    for (const Case& c : cases) EXPECT_EQ(parseExpression(c.text), c.expected) << c.text;
}

TEST_F(GrammarTest, LogicalAndBitwiseOperatorsDoNotMix) {
    struct Case {
        const char* text;
        const char* message;
        int column;
    } cases[] = {
        {"a && b || c", "Cannot mix operators && and ||", 7},
        {"a || b && c", "Cannot mix operators || and &&", 7},
        {"a || b || c && d", "Cannot mix operators || and &&", 12},
    };
    for (const Case& c : cases) {
        clearDiagnostics();
        ModulePtr module = parseText(std::string(c.text) + "\nafter = 1\n");
        ASSERT_EQ(queuedDiagnostics().size(), 1u) << c.text;
        EXPECT_EQ(queuedDiagnostics()[0].message, c.message) << c.text;
        EXPECT_EQ(queuedDiagnostics()[0].position.line, 1) << c.text;
        EXPECT_EQ(queuedDiagnostics()[0].position.column, c.column) << c.text;
        // The statement is skipped; the next one still parses.
        ASSERT_EQ(module->block->statements.size(), 1u) << c.text;
    }
}

// Functions, properties and variables read the same start; a look past the name decides which
// rules run. A wrong "no" would still parse once the error run keeps expected names, so the
// first run, the one without them, is checked on its own.
TEST_F(GrammarTest, DeclarationsSharingAStartKeepTheirKindWithoutTheErrorRun) {
    const struct {
        const char* text;
        const char* kind;
    } cases[] = {
        {"Int f(Int a)\n    return a\n", "FunctionDeclaration"},
        {"T first[T](T a)\n    return a\n", "FunctionDeclaration"},
        {"Int#4 cells()\n    return\n", "FunctionDeclaration"},
        {"[Int] (Int, Int) pairs()\n    return\n", "FunctionDeclaration"},
        {"Bool operator==(Int a)\n    return true\n", "FunctionDeclaration"},
        {"Int x\n    get\n        return 1\n", "PropertyDeclaration"},
        {"Int x get\n    return 1\n", "PropertyDeclaration"},
        {"Int x\n    virtual set\n        return\n", "PropertyDeclaration"},
        {"Int#n cells\n", "VariableDeclaration"},
        {"Map[String, Int] m = make(1)\n", "VariableDeclaration"},
        {"var x = 1\n", "VariableDeclaration"},
        {"base: (1)\n", "InitStatement"},
        {"x: (1)\n", "InitStatement"},
        {"x = y < z\n", "ExpressionStatement"},
    };
    buildSourceGrammar();
    for (const auto& c : cases) {
        std::istringstream input(c.text);
        Lexer lexer(input, "text.vn", sourceLexerOptions);
        resetParseState();
        StatementPtr statement;
        bool saved = recordingExpectations;
        recordingExpectations = false;
        try {
            statement = statementRule().parse(lexer);
        } catch (const ExpectationsNeeded&) {
        }
        recordingExpectations = saved;
        ASSERT_TRUE(statement) << c.text;
        EXPECT_EQ(statement->typeName(), std::string(c.kind)) << c.text;
        EXPECT_TRUE(lexer.atEnd()) << c.text;
    }
}

std::string nestedBlocks(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += std::string(i * 2, ' ') + "if a\n";
    return text + std::string(depth * 2, ' ') + "f()\nafter()\n";
}

int blockDepth(const StatementPtr& statement) {
    auto ifStatement = boost::dynamic_pointer_cast<IfStatement>(statement);
    if (!ifStatement) return 0;
    return 1 + blockDepth(ifStatement->blocks.front()->statements.front());
}

TEST_F(GrammarTest, FiveHundredNestedBlocksParse) {
    ModulePtr module = parseText(nestedBlocks(500));
    EXPECT_TRUE(queuedDiagnostics().empty());
    ASSERT_EQ(module->block->statements.size(), 2u);
    // Counted without recursion into the tree's own destructor order: 500 ifs, then the call.
    int depth = 0;
    StatementPtr s = module->block->statements.front();
    while (auto i = boost::dynamic_pointer_cast<IfStatement>(s)) {
        ++depth;
        s = i->blocks.front()->statements.front();
    }
    EXPECT_EQ(depth, 500);
    EXPECT_TRUE(boost::dynamic_pointer_cast<ExpressionStatement>(s));
}

TEST_F(GrammarTest, NestingBeyondTheLimitIsAnErrorNotACrash) {
    struct Case {
        std::string text;
        size_t statementsLeft;
    } cases[] = {
        {"x = " + std::string(2000, '(') + "1" + std::string(2000, ')') + "\nafter()\n", 1},
        {std::string(maxNestingDepth + 5, '[') + "Int" + std::string(maxNestingDepth + 5, ']') + " v\nafter()\n", 1},
        {nestedBlocks(maxNestingDepth + 5), 2},  // the outer "if" and the call after it
    };
    for (const Case& c : cases) {
        clearDiagnostics();
        ModulePtr module = parseText(c.text);
        // Blocks right at the limit may report once more when a statement is tried at their
        // closing brace; every report is the nesting error.
        ASSERT_GE(queuedDiagnostics().size(), 1u) << c.text.substr(0, 40);
        for (const CompileError& e : queuedDiagnostics())
            EXPECT_EQ(e.message, "Nesting too deep: more than " + std::to_string(maxNestingDepth) +
                                     " nested expressions, types and blocks");
        EXPECT_EQ(module->block->statements.size(), c.statementsLeft) << c.text.substr(0, 40);
    }
    // Just inside the limit still parses.
    clearDiagnostics();
    std::string deep = "x = " + std::string(maxNestingDepth - 10, '(') + "1" + std::string(maxNestingDepth - 10, ')') + "\n";
    ModulePtr module = parseText(deep);
    EXPECT_TRUE(queuedDiagnostics().empty());
    EXPECT_EQ(module->block->statements.size(), 1u);
}

TEST_F(GrammarTest, UnclosedParenthesesEndInOneError) {
    // Tuple and range both try every "(": without remembering failed expressions this took
    // 2^40 attempts.
    ModulePtr module = parseText("x = " + std::string(40, '(') + "1\nafter()\n");
    ASSERT_EQ(queuedDiagnostics().size(), 1u);
    // At the innermost bracket left open, the one the next line was read into.
    EXPECT_EQ(queuedDiagnostics()[0].message.compare(0, 47, "Syntax error, this '(' is not closed; at line 2"), 0)
        << queuedDiagnostics()[0].message;
    EXPECT_EQ(queuedDiagnostics()[0].position.column, 43);
    // The open brackets swallow the line ends, so nothing after them is a statement of its own.
    EXPECT_TRUE(module->block->statements.empty());
}

// Tuple and range both parse the expression after "("; the range takes the one the tuple built.
TEST_F(GrammarTest, NestedRangesKeepTheirShape) {
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"x = ((1 ... 2) ... 3)", "(x = ((1...2)...3))"},
        {"x = [(a ... b] ... (c ... d))", "(x = [(a...b]...(c...d)))"},
        {"x = ((1 ... 2), (3 ...))", "(x = [(1...2), (3...)])"},
        {"x = f(((1 ... 2) ... 3))", "(x = f(((1...2)...3)))"},
        {"x = ((a + 1 ... b) ... (c ... d) + 1)", "(x = (((a + 1)...b)...((c...d) + 1)))"},
    };
    for (const Case& c : cases) EXPECT_EQ(parseExpression(c.text), c.expected) << c.text;

    std::string deep = "1";
    for (int i = 0; i < 40; ++i) deep = "(" + deep + " ... " + std::to_string(i) + ")";
    std::string expected = "1";
    for (int i = 0; i < 40; ++i) expected = "(" + expected + "..." + std::to_string(i) + ")";
    EXPECT_EQ(parseExpression("x = " + deep), "(x = " + expected + ")");
}

// The expression in a bracket is parsed once, so a syntax error in a block inside it is
// reported once, where it is, and not again against the token the tuple stopped at.
TEST_F(GrammarTest, ErrorInABlockInsideBracketsIsReportedOnce) {
    for (const char* text : {"x = (Foo with\n    a b\n...2)\n", "x = [Foo with\n    a b\n...2]\n"}) {
        clearDiagnostics();
        parseText(text);
        ASSERT_EQ(queuedDiagnostics().size(), 1u) << text;
        EXPECT_EQ(queuedDiagnostics()[0].message, "Syntax error, expected end-of-statement instead of 'b'") << text;
        EXPECT_EQ(queuedDiagnostics()[0].position.line, 2) << text;
    }
}

TEST_F(GrammarTest, BuildingTwiceKeepsTheRulesAndSelectsModeZero) {
    buildSourceGrammar();
    Rule<Module>* first = &moduleRule();
    // Whether mode 1 has a body depends on whether an earlier test read a header.
    grammarMode = 1;
    EXPECT_NE(&moduleRule(), first);
    buildSourceGrammar();
    EXPECT_EQ(grammarMode, 0);
    EXPECT_EQ(&moduleRule(), first);
    EXPECT_TRUE(moduleRule().hasBody());
    EXPECT_STREQ(anyExpressionRule().name, "any expresion");
    EXPECT_STREQ(endOfStatementRule().name, "end-of-statement");
}

TEST_F(GrammarTest, ModuleRuleClearsCompleteWhenTheBodyStopsEarly) {
    // A stray "}" the lexer does not drop can only come from a hand-made stream; parse the
    // module body over tokens whose block ends before the end of the file.
    class Tokens : public TokenStream {
    public:
        Tokens() {
            const std::string* file = internFileName("t.vn");
            for (const char* t : {"x", "{", "}", "}", "y", "{", "}"}) {
                TokenKind kind = t[0] == '{' ? OpeningBrace : t[0] == '}' ? ClosingBrace : Name;
                pending.push_back(Token(kind, t, SourceLocation(file, 1, static_cast<int>(pending.size()))));
            }
            advance();
        }
        void fill() override {
            if (next < pending.size())
                push_back(pending[next++]);
            else
                push_back(Token(EndOfFile, "\n", SourceLocation()));
        }
        std::string streamName() const override { return "tokens"; }
        std::vector<Token> pending;
        size_t next = 0;
    } tokens;
    ModulePtr module = parseModule(tokens, "Partial");
    ASSERT_TRUE(module);
    EXPECT_FALSE(module->complete);
    EXPECT_EQ(module->name, "Partial");
    ASSERT_TRUE(module->block);
    EXPECT_EQ(module->block->statements.size(), 1u);
}

TEST_F(GrammarTest, VnFrontEndLoadsAModule) {
    std::string path = std::string(VORN_BINARY_DIR) + "/grammar_load_test.vn";
    std::ofstream(path) << "import Other\nclass Foo\n    Int x\n";
    ModulePtr module = VnFrontEnd().loadModule(path, "Foo");
    std::remove(path.c_str());
    ASSERT_TRUE(module);
    EXPECT_EQ(module->name, "Foo");
    EXPECT_TRUE(module->complete);
    EXPECT_EQ(module->imports.size(), 1u);
    EXPECT_EQ(module->block->statements.size(), 1u);
    EXPECT_TRUE(queuedDiagnostics().empty());

    try {
        VnFrontEnd().loadModule(path + ".missing", "Missing");
        ADD_FAILURE() << "a missing file loaded";
    } catch (const CompileError& e) {
        EXPECT_EQ(e.message, "Unable to open file");
    }
}

}  // namespace

namespace {

// Runs a rule's body at a position without the start check, as the check would have skipped it.
template <class T>
bool bodyMatches(Rule<T>& rule, TokenStream& ts) {
    resetParseState();
    try {
        return static_cast<bool>(rule.impl->parse(nullptr, ts));
    } catch (const CompileError&) {
        return true;  // it got far enough to find fault: it started
    }
}

// Every rule whose start set says a token cannot start it really fails there: the parser
// skips such runs, so a set missing a start would silently change what parses.
template <class T>
void checkStarts(Rule<T>& (*accessor)(), const char* label, const std::string& text) {
    std::istringstream input(text);
    Lexer lexer(input, "starts.vn", sourceLexerOptions);
    while (!lexer.atEnd()) lexer.advance();
    buildSourceGrammar();
    Rule<T>& rule = accessor();
    int skipped = 0;
    for (TokenStream::Position p = lexer.begin(); p->kind != EndOfFile; ++p) {
        const FirstSet& first = rule.first();
        lexer.current = p;
        if (!cannotStart(first, lexer)) continue;
        ++skipped;
        EXPECT_FALSE(bodyMatches(rule, lexer)) << label << " at '" << p->text << "' line " << p->location.line;
    }
    clearDiagnostics();
    EXPECT_GT(skipped, 0) << label << " never skips a run";
}

}  // namespace

TEST_F(GrammarTest, RulesFailWhereTheirStartSetSaysTheyCannotStart) {
    const std::string program =
        "import Other\n"
        "public class Box[T] : public Base[T]\n"
        "    private\n"
        "    Int#4 cells\n"
        "    [String] names\n"
        "    Int->Double map\n"
        "    construct(Int a)\n"
        "        base:(a)\n"
        "        count:(a)\n"
        "    virtual Int size() const\n"
        "        return count\n"
        "    Int doubled\n"
        "        get\n"
        "            return count * 2\n"
        "alias Pair[A] = (A, Int)\n"
        "enum Color\n"
        "    red = 1, green\n"
        "macro _twice(x)\n"
        "    return x\n"
        "Int main()\n"
        "    Int x = -1, y : (2)\n"
        "    var p = new $ Box[Int]:(3) with\n"
        "        weight = 2.0\n"
        "    for i in reverse [0...x), j in p->names\n"
        "        x += i >> 2 ? 1 : 0\n"
        "    if x > 1 && y < 2\n"
        "        delete # p\n"
        "    elseif if x then y else 0\n"
        "        throw\n"
        "    else\n"
        "        try\n"
        "            _twice(x)\n"
        "        catch Error e\n"
        "            break\n"
        "    do\n"
        "        continue\n"
        "    while A\"s\" != U\"t\"\n"
        "    Box[Int].make(x, (1, 2), [1...2], Foo{ })\n";
    checkStarts(declarationRule, "declaration", program);
    checkStarts(classRule, "class", program);
    checkStarts(functionRule, "function", program);
    checkStarts(variableRule, "variable", program);
    checkStarts(propertyRule, "property", program);
    checkStarts(typeRule, "type", program);
    checkStarts(constructionRule, "construction", program);
    checkStarts(staticNameRule, "static name", program);
    checkStarts(constantRule, "constant", program);
    checkStarts(rangeRule, "range", program);
    checkStarts(initStatementRule, "initialiser", program);
    checkStarts(templateCallRule, "template call", program);
    checkStarts(argumentRule, "argument", program);
}
