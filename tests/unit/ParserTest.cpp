// The combinator framework on its own: a toy grammar over a hand-made token list, with
// test-local node classes, so the framework's behaviour is checked apart from the real grammar.
#include <gtest/gtest.h>

#include <vector>

#include "front/Parser.hpp"

namespace {

// Yields a fixed token list one token per fill, like a lexer that reads lazily.
class ListStream : public TokenStream {
public:
    // Tokens are given as "kind:text" words or lone brackets, separated by blanks; a "/" word
    // starts a new line.
    explicit ListStream(const std::string& words) {
        const std::string* file = internFileName("test.vn");
        int line = 1, column = 0;
        size_t i = 0;
        while (i < words.size()) {
            size_t end = words.find(' ', i);
            if (end == std::string::npos) end = words.size();
            std::string w = words.substr(i, end - i);
            i = end + 1;
            if (w.empty()) continue;
            if (w == "/") {
                ++line;
                column = 0;
                continue;
            }
            // A lone bracket is its own text; other words are "kind:text".
            std::string text = w.size() == 1 ? w : w.substr(2);
            pending.push_back(Token(kindOf(w), text, SourceLocation(file, line, column)));
            column += static_cast<int>(w.size());
        }
        pending.push_back(Token(EndOfFile, "\n", SourceLocation(file, line + 1, 0)));
        advance();
    }
    void fill() override {
        push_back(pending[next < pending.size() ? next : pending.size() - 1]);
        ++next;
    }
    std::string streamName() const override { return "test"; }

    std::vector<std::string> texts() {
        std::vector<std::string> out;
        for (const Token& t : *this) out.push_back(t.text);
        return out;
    }
    size_t position() { return static_cast<size_t>(std::distance(begin(), current)); }

private:
    static TokenKind kindOf(const std::string& w) {
        switch (w[0]) {
            case 'T': return TypeName;
            case 'n': return Name;
            case 'o': return Operator;
            case '#': return Number;
            case '(':
            case '{': return OpeningBrace;
            case ')':
            case '}': return ClosingBrace;
            case 'k': return Keyword;
            default: return Delimiter;
        }
    }
    std::vector<Token> pending;
    size_t next = 0;
};

// Test-local tree: numbers, left-nested sums, and a block of statements.
struct TNode {
    virtual ~TNode() = default;
    SourceLocation location;
};
struct TExpr : TNode {};
struct TNum : TExpr {
    std::string value;
};
struct TSum : TExpr {
    boost::shared_ptr<TExpr> left;
    std::string op;
    boost::shared_ptr<TExpr> right;
};
struct TStmt : TNode {
    boost::shared_ptr<TExpr> expr;
    bool isReturn = false;
};
struct TBlock : TNode {
    std::vector<boost::shared_ptr<TStmt>> statements;
};

VORN_RULE(TNum, numberRule)
VORN_RULE(TExpr, primaryRule)
VORN_RULE(TExpr, sumRule)
VORN_RULE(TExpr, parenRule)
VORN_RULE(TStmt, statementRule)
VORN_RULE(TBlock, blockRule)
VORN_RULE(MatchBool, endRule)

// One grammar for all tests:
//   number    = Number → value
//   paren     = "(" sum ")"                    (the inner node replaces the fresh one)
//   primary   = number | paren                 (node rule over node alternatives)
//   sum "sum" = primary { wrap(left) Operator → op, primary → right }
//   end "end-of-statement" = "{" "}"
//   statement = [ "return" ⇒ isReturn ] sum → expr end
//   block "block" = "{" { skip(statement → statements) } "}"
void buildToyGrammar() {
    static bool built = false;
    grammarMode = 0;
    if (built) return;
    built = true;
    Rule<TNum>& number = numberRule();
    Rule<TExpr>& primary = primaryRule();
    Rule<TExpr>& sum = sumRule();
    Rule<TExpr>& paren = parenRule();
    Rule<TStmt>& statement = statementRule();
    Rule<TBlock>& block = blockRule();
    Rule<MatchBool>& end = endRule();
    sum.name = "sum";
    end.name = "end-of-statement";
    block.name = "block";

    number = tok(Number) % to<TNum>(&TNum::value);
    paren = lit("(") >> sum >> ")";
    primary = none<TExpr>() | number | paren;
    sum = primary >> many(wrap<TSum>(&TSum::left, tok(Operator) % to<TSum>(&TSum::op) >> primary % to<TSum>(&TSum::right)));
    end = lit("{") >> "}";
    statement = opt(lit("return") % setTo<TStmt>(&TStmt::isReturn, true)) >> sum % to<TStmt>(&TStmt::expr) >> end;
    block = "{" >> many(skip(statement % to<TBlock>(&TBlock::statements))) >> "}";
}

// A node rule run as a step with no enclosing rule of its type leaves its node in the slot;
// the next test must not find it there.
void clearToySlots() {
    constructionSlot<TNum>().reset();
    constructionSlot<TExpr>().reset();
    constructionSlot<TStmt>().reset();
    constructionSlot<TBlock>().reset();
}

struct ParserTest : ::testing::Test {
    void SetUp() override {
        clearDiagnostics();
        clearToySlots();
        buildToyGrammar();
    }
    void TearDown() override {
        clearDiagnostics();
        clearToySlots();
    }
};

std::set<std::string> expectedNames(const TokenStream& ts) {
    std::set<std::string> names;
    for (const ExpectedName& name : ts.expected) names.insert(name.spelled());
    return names;
}

std::string syntaxErrorOf(TokenStream& ts) {
    try {
        raiseSyntaxError(ts);
    } catch (const ParseError& e) {
        return e.message;
    }
    return "(no error)";
}

std::string show(const boost::shared_ptr<TExpr>& e) {
    if (auto n = boost::dynamic_pointer_cast<TNum>(e)) return n->value;
    if (auto s = boost::dynamic_pointer_cast<TSum>(e)) return "(" + show(s->left) + s->op + show(s->right) + ")";
    return "?";
}

TEST_F(ParserTest, OneCharacterLiteralSplitsAnOperatorButNotComparisons) {
    struct Case {
        const char* input;
        const char* literal;
        bool matches;
        std::vector<std::string> tokensAfter;
    } cases[] = {
        {"o:>>", ">", true, {">", ">"}},
        {"o:>>=", ">", true, {">", ">="}},
        {"o:>=", ">", false, {">="}},
        {"o:==", "=", false, {"=="}},
        {"o:!=", "!", false, {"!="}},
        {"o:<=", "<", false, {"<="}},
        {"o:...", ".", false, {"..."}},
        {"o:->", "-", true, {"-", ">"}},
        {"n:ab", "a", false, {"ab"}},  // only operators split
        {"o:**", "**", true, {"**"}},
    };
    for (const Case& c : cases) {
        ListStream ts(c.input);
        EXPECT_EQ(lit(c.literal).parse(ts), c.matches) << c.input << " with " << c.literal;
        std::vector<std::string> texts = ts.texts();
        texts.pop_back();  // EndOfFile or nothing: only compare the tokens read so far
        if (ts.back().kind != EndOfFile) texts.push_back(ts.back().text);
        EXPECT_EQ(texts, c.tokensAfter) << c.input;
        if (c.matches && c.tokensAfter.size() == 2) {
            EXPECT_EQ(ts.current->text, c.tokensAfter[1]);
            EXPECT_EQ(ts.current->kind, Operator);
            EXPECT_EQ(ts.current->location, ts.begin()->location);
        }
    }
}

// Literals are matched by number, kept in the token once looked up: a split or a join must
// make the token look its number up again, or the old text would still match.
TEST_F(ParserTest, SplitAndJoinedOperatorsMatchTheirNewText) {
    StringParser greater = lit(">"), shift = lit(">>");
    ListStream ts("o:>> n:a");
    TokenStream::Position start = ts.current;
    EXPECT_TRUE(shift.parse(ts));  // the token now knows its number
    ts.current = start;
    EXPECT_TRUE(greater.parse(ts));  // splits it
    ts.current = start;
    EXPECT_FALSE(shift.parse(ts));
    joinSplitOperators(ts);
    EXPECT_TRUE(shift.parse(ts));
    EXPECT_EQ(ts.current->text, "a");
}

TEST_F(ParserTest, FailingSequenceRestoresTheReadPosition) {
    ListStream ts("n:a n:b n:c n:x");
    auto p = lit("a") >> "b" >> "c" >> "d";
    EXPECT_FALSE(p.parse(ts));
    EXPECT_EQ(ts.position(), 0u);
    EXPECT_TRUE((lit("a") >> "b").parse(ts));
    EXPECT_EQ(ts.position(), 2u);
}

TEST_F(ParserTest, RepeatBounds) {
    {
        ListStream ts("n:x");
        EXPECT_FALSE(many1(lit("a")).parse(ts));
        EXPECT_EQ(ts.position(), 0u);
        EXPECT_TRUE(many(lit("a")).parse(ts));
        EXPECT_TRUE(opt(lit("a")).parse(ts));
        EXPECT_EQ(ts.position(), 0u);
    }
    {
        ListStream ts("n:a n:a n:x");
        EXPECT_TRUE(many1(lit("a")).parse(ts));
        EXPECT_EQ(ts.position(), 2u);
    }
    {
        ListStream ts("n:a n:a n:a");
        EXPECT_TRUE(opt(lit("a")).parse(ts));
        EXPECT_EQ(ts.position(), 1u);
        // At least two, where a failure of the mandatory part gives everything back.
        RepeatParser<StringParser, 3, unbounded> three(lit("a"));
        ListStream two("n:a n:a n:x");
        EXPECT_FALSE(three.parse(two));
        EXPECT_EQ(two.position(), 0u);
    }
    {
        // A body that matches without consuming stops the repetition instead of looping.
        ListStream ts("n:x");
        EXPECT_TRUE(many(opt(lit("a"))).parse(ts));
        EXPECT_EQ(ts.position(), 0u);
    }
}

TEST_F(ParserTest, OrTakesTheFirstMatchAndEitherRunsBoth) {
    ListStream ts("n:a n:b n:c");
    EXPECT_TRUE((lit("a") | "b").parse(ts));
    EXPECT_EQ(ts.position(), 1u);
    EXPECT_TRUE(either(lit("x"), lit("b")).parse(ts));
    EXPECT_EQ(ts.position(), 2u);
    EXPECT_FALSE(either(lit("x"), lit("y")).parse(ts));
    EXPECT_TRUE(either(lit("c"), yes).parse(ts));
}

TEST_F(ParserTest, NodeRulesBuildLeftNestedTrees) {
    ListStream ts("#:1 o:+ #:2 o:- ( #:3 o:* #:4 ) o:/ #:5");
    boost::shared_ptr<TExpr> e = sumRule().parse(ts);
    ASSERT_TRUE(e);
    EXPECT_EQ(show(e), "(((1+2)-(3*4))/5)");
    // A wrapper starts where its suffix starts: the outermost sum at the "/".
    EXPECT_EQ(e->location.column, 23);
    EXPECT_EQ(ts.current->kind, EndOfFile);
    // The slots are empty again once the outermost rule returns.
    EXPECT_FALSE(constructionSlot<TExpr>());
    EXPECT_FALSE(constructionSlot<TSum>());
}

TEST_F(ParserTest, MemberSettersStoreTextsFlagsAndLists) {
    ListStream ts("{ k:return #:7 { } #:8 { } }");
    boost::shared_ptr<TBlock> b = blockRule().parse(ts);
    ASSERT_TRUE(b);
    ASSERT_EQ(b->statements.size(), 2u);
    EXPECT_TRUE(b->statements[0]->isReturn);
    EXPECT_EQ(show(b->statements[0]->expr), "7");
    EXPECT_FALSE(b->statements[1]->isReturn);
    EXPECT_EQ(show(b->statements[1]->expr), "8");
    EXPECT_TRUE(queuedDiagnostics().empty());
}

TEST_F(ParserTest, LiteralsExpectedAtTheSameTokenAreListedInByteOrder) {
    ListStream ts("n:x");
    EXPECT_FALSE((lit("b") | lit("a") | lit("(")).parse(ts));
    EXPECT_EQ(syntaxErrorOf(ts), "Syntax error, expected '(' or 'a' or 'b' instead of 'x'");
    // Raising cleared the names; the position stays.
    EXPECT_TRUE(ts.expected.empty());
    EXPECT_EQ(ts.furthestError, ts.begin());
}

TEST_F(ParserTest, NamedRuleFailingAtTheFurthestTokenReplacesTheLiterals) {
    ListStream ts("n:x");
    EXPECT_FALSE(sumRule().parse(ts));
    EXPECT_EQ(syntaxErrorOf(ts), "Syntax error, expected sum instead of 'x'");
}

TEST_F(ParserTest, OnlyTheFurthestFailureCounts) {
    // "(" 1 then garbage: the failure after "1" is further than the one at "(".
    // The stream is lazy and nothing read "z" yet, so the found text ends at "y".
    ListStream ts("( #:1 n:y n:z");
    EXPECT_FALSE(sumRule().parse(ts));
    EXPECT_EQ(ts.position(), 0u);
    EXPECT_EQ(syntaxErrorOf(ts), "Syntax error, expected ')' or operator instead of 'y'");
}

TEST_F(ParserTest, ExpectationPriorities) {
    ListStream ts("n:x n:y");
    expect(ts, "'a'", 0);
    expect(ts, "name", 0);
    EXPECT_EQ(expectedNames(ts), (std::set<std::string>{"'a'", "name"}));
    expect(ts, "first rule", 100);
    expect(ts, "'b'", 0);  // lower priority at the same token: ignored
    EXPECT_EQ(expectedNames(ts), (std::set<std::string>{"first rule"}));
    expect(ts, "second rule", 100);
    EXPECT_EQ(expectedNames(ts), (std::set<std::string>{"second rule"}));
    ts.advance();
    expect(ts, "'c'", 0);  // further on: starts afresh
    EXPECT_EQ(expectedNames(ts), (std::set<std::string>{"'c'"}));
    EXPECT_EQ(ts.errorPriority, 0);
    ts.current = ts.begin();
    expect(ts, "back", 100);  // before the furthest token: ignored
    EXPECT_EQ(expectedNames(ts), (std::set<std::string>{"'c'"}));
}

TEST_F(ParserTest, SplitTokensShareALocationButOrderStillCounts) {
    ListStream ts("o:>> n:x");
    expect(ts, "'a'", 0);
    ASSERT_TRUE(lit(">").parse(ts));
    expect(ts, "'b'", 0);  // same location as the furthest token, but after it in the list
    EXPECT_EQ(expectedNames(ts), (std::set<std::string>{"'b'"}));
}

TEST_F(ParserTest, OperatorExpectationAbsorbsOperatorLiterals) {
    ListStream ts("n:x");
    for (const char* name : {"operator", "'+'", "'*'", "'('", "'['", "'if'", "'_x'", "'Tx'", "name", "'?:'"})
        expect(ts, name, 0);
    EXPECT_EQ(syntaxErrorOf(ts), "Syntax error, expected '(' or 'Tx' or '[' or '_x' or 'if' or name or operator instead of 'x'");
    // Without "operator" the literals stay.
    ListStream other("n:x");
    expect(other, "'+'", 0);
    expect(other, "'*'", 0);
    EXPECT_EQ(syntaxErrorOf(other), "Syntax error, expected '*' or '+' instead of 'x'");
}

TEST_F(ParserTest, FoundTextForms) {
    struct Case {
        const char* input;
        const char* found;
    } cases[] = {
        {"n:a n:b n:c n:d n:e n:f n:g", "a b c d e"},  // at most five tokens
        {"n:a n:b / n:c", "a b"},                      // stops at the line end
        {"{ } n:c", "end-of-statement"},               // the empty statement pair
        {"{ n:c", "{ c"},
        {"", "end-of-file"},
    };
    for (const Case& c : cases) {
        ListStream ts(c.input);
        // The recovery reads to the statement end before it words the error, so the tokens
        // after the failure are in the list by then.
        while (ts.current->kind != EndOfFile) ts.advance();
        ts.current = ts.begin();
        expect(ts, "'z'", 0);
        EXPECT_EQ(syntaxErrorOf(ts), std::string("Syntax error, expected 'z' instead of '") + c.found + "'") << c.input;
    }
}

TEST_F(ParserTest, SkipStatementStopsAtTheStatementEnd) {
    struct Case {
        const char* input;
        bool reached;
        size_t position;
    } cases[] = {
        {"n:a n:b { } n:c", true, 4},        // past the empty pair
        {"n:a { n:b { } } n:c", true, 6},    // past the nested body
        {"n:a ;:; n:c", true, 2},            // a semicolon at depth 0
        {"n:a { ;:; } n:c", true, 4},        // a semicolon inside braces does not end it
        {"n:a } n:c", false, 1},             // the "}" of the enclosing block is left alone
        {"n:a n:b", false, 2},               // end of file
    };
    for (const Case& c : cases) {
        ListStream ts(c.input);
        EXPECT_EQ(skipStatement(ts), c.reached) << c.input;
        EXPECT_EQ(ts.position(), c.position) << c.input;
    }
}

TEST_F(ParserTest, BadStatementInABlockIsReportedAndSkipped) {
    ListStream ts("{ / #:1 { } / #:2 #:3 { } / #:4 o:+ { } / #:5 { } / }");
    boost::shared_ptr<TBlock> b = blockRule().parse(ts);
    ASSERT_TRUE(b);
    ASSERT_EQ(b->statements.size(), 2u);
    EXPECT_EQ(show(b->statements[0]->expr), "1");
    EXPECT_EQ(show(b->statements[1]->expr), "5");
    ASSERT_EQ(queuedDiagnostics().size(), 2u);
    // Furthest failure after "2": the operator loop and the statement end both wanted something
    // else, and the named rule's expectation replaced the literal ones.
    EXPECT_EQ(queuedDiagnostics()[0].message, "Syntax error, expected end-of-statement instead of '3 { }'");
    EXPECT_EQ(queuedDiagnostics()[0].position.line, 3);
    EXPECT_EQ(queuedDiagnostics()[0].position.column, 3);
    EXPECT_EQ(queuedDiagnostics()[1].message, "Syntax error, expected '(' or number instead of 'end-of-statement'");
    EXPECT_EQ(ts.current->kind, EndOfFile);
    EXPECT_FALSE(constructionSlot<TBlock>());
    EXPECT_FALSE(constructionSlot<TStmt>());
}

TEST_F(ParserTest, StatementCutOffByTheBlockEndIsReportedNotDropped) {
    // "7 +" has no statement end before the "}" of its block.
    ListStream ts("{ #:1 { } #:7 o:+ }");
    boost::shared_ptr<TBlock> b = blockRule().parse(ts);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->statements.size(), 1u);
    ASSERT_EQ(queuedDiagnostics().size(), 1u);
    EXPECT_EQ(queuedDiagnostics()[0].message, "Syntax error, expected '(' or number instead of '}'");
}

TEST_F(ParserTest, ErrorAtTheLastTokenFindsEndOfFile) {
    ListStream ts("{ #:1 { }");
    EXPECT_FALSE(blockRule().parse(ts));
    EXPECT_EQ(syntaxErrorOf(ts), "Syntax error, expected sum instead of 'end-of-file'");
}

// A parse run first without expected names starts again at the first error, with every split
// operator joined, and words its errors as a parse that kept them all along.
TEST_F(ParserTest, ParseRetriedWithExpectationsWordsErrorsTheSame) {
    const char* input = "{ / o:(( #:1 ) ) { } / #:2 #:3 { } / #:4 o:+ { } / }";
    ListStream direct(input);
    ASSERT_TRUE(blockRule().parse(direct));
    std::vector<CompileError> expected = queuedDiagnostics();
    ASSERT_EQ(expected.size(), 2u);
    clearDiagnostics();
    ListStream retried(input);
    int runs = 0;
    boost::shared_ptr<TBlock> b = parseRecordingOnError(retried, [&] {
        ++runs;
        resetParseState();
        if (runs == 1) {
            EXPECT_FALSE(recordingExpectations);
        }
        return blockRule().parse(retried);
    });
    EXPECT_EQ(runs, 2);
    EXPECT_TRUE(recordingExpectations);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->statements.size(), 1u);
    EXPECT_EQ(retried.texts(), direct.texts());
    ASSERT_EQ(queuedDiagnostics().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(queuedDiagnostics()[i].message, expected[i].message);
        EXPECT_EQ(queuedDiagnostics()[i].position, expected[i].position);
    }
}

TEST_F(ParserTest, SplitOperatorsAreJoinedNewestFirst) {
    ListStream ts("o:->* n:x");
    ASSERT_TRUE((lit("-") >> lit(">") >> lit("*")).parse(ts));
    EXPECT_EQ(ts.texts(), (std::vector<std::string>{"-", ">", "*", "x"}));
    joinSplitOperators(ts);
    EXPECT_EQ(ts.texts(), (std::vector<std::string>{"->*", "x"}));
}

TEST_F(ParserTest, RulesAreChosenByGrammarMode) {
    static Rule<MatchBool>* modeZero = &endRule();
    grammarMode = 1;
    EXPECT_NE(&endRule(), modeZero);
    EXPECT_FALSE(endRule().hasBody());
    ListStream ts("{ }");
    try {
        endRule().parse(ts);
        ADD_FAILURE() << "a rule without a body parsed";
    } catch (const CompileError& e) {
        EXPECT_EQ(e.severity, SeverityInternal);
        EXPECT_NE(e.message.find("rule without a body"), std::string::npos);
    }
    grammarMode = 0;
    EXPECT_EQ(&endRule(), modeZero);
    EXPECT_TRUE(endRule().parse(ts));
}

// A function step that throws: the recovery queues its error and skips the statement.
bool refuseSeven(TokenStream& ts) {
    if (ts.current->text == "7") throw CompileError("no sevens", ts.current->location);
    return true;
}
int cleanups = 0;
void countCleanup(TokenStream&) { ++cleanups; }

TEST_F(ParserTest, ErrorThrownInsideAStatementIsQueuedAndTheStatementSkipped) {
    ListStream ts("#:1 { } #:7 o:+ #:2 { } #:3 { }");
    cleanups = 0;
    auto stmt = finally(func(refuseSeven) >> statementRule(), countCleanup);
    std::vector<bool> results;
    for (int i = 0; i < 3; ++i) results.push_back(skip(stmt).parse(ts));
    EXPECT_EQ(results, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(cleanups, 3);  // the cleanup also ran when the step threw
    ASSERT_EQ(queuedDiagnostics().size(), 1u);
    EXPECT_EQ(queuedDiagnostics()[0].message, "no sevens");
    EXPECT_EQ(ts.current->kind, EndOfFile);
}

// Whatever a parse left behind (an error thrown at the nesting limit, say) is gone for the next
// parse, whichever grammar runs it: the state belongs to the framework, not to one grammar.
TEST(ParseStateTest, ResetLeavesNothingOfTheLastParse) {
    precedence.stack.push_back(PrecedenceEntry{130, "*"});
    precedence.lastPopped = PrecedenceEntry{120, "+"};
    nestingDepth = maxNestingDepth;
    rememberDepth = 2;
    rememberedRuns.emplace(RunKey{nullptr, nullptr, 0, ""}, RunOutcome{false, {}, {}, PrecedenceEntry{0, ""}, {}, 0});
    openParts.push_back(PartHeight{5, 7});
    resetParseState();
    EXPECT_EQ(openParts.size(), 1u);
    EXPECT_TRUE(precedence.stack.empty());
    EXPECT_EQ(precedence.lastPopped.precedence, 0);
    EXPECT_EQ(precedence.lastPopped.op, "");
    EXPECT_EQ(nestingDepth, 0);
    EXPECT_EQ(rememberDepth, 0);
    EXPECT_TRUE(rememberedRuns.empty());
}

}  // namespace
