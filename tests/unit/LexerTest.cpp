// The lexer, theme by theme: blocks and indentation, comments, numbers, strings, operators,
// whitespace tokens, verbatim regions, errors, and the character reader.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "front/Lexer.hpp"

namespace {

// Every token from a fresh lexer through EndOfFile, one per line: "line:column kind text".
std::string dump(const std::string& source, LexerOptions options = sourceLexerOptions,
                 int tabSize = 8) {
    std::istringstream in(source);
    Lexer lexer(in, "test.vn", options, tabSize);
    return dumpTokens(lexer);
}

// Only the token texts, blank-separated, without EndOfFile; Whitespace shows as <sp> or <nl>.
std::string texts(const std::string& source, LexerOptions options = sourceLexerOptions,
                  int tabSize = 8) {
    std::istringstream in(source);
    Lexer lexer(in, "test.vn", options, tabSize);
    std::string out;
    for (; lexer.kind() != EndOfFile; lexer.advance()) {
        if (!out.empty()) out += ' ';
        if (lexer.kind() == Whitespace)
            out += lexer.text() == "\n" ? "<nl>" : "<sp>";
        else
            out += lexer.text();
    }
    return out;
}

std::vector<Token> tokens(const std::string& source, LexerOptions options = sourceLexerOptions) {
    std::istringstream in(source);
    Lexer lexer(in, "test.vn", options);
    std::vector<Token> out;
    for (;; lexer.advance()) {
        out.push_back(lexer.token());
        if (lexer.kind() == EndOfFile) return out;
    }
}

struct TextCase {
    const char* source;
    const char* expected;
};

class LexerTest : public ::testing::Test {
protected:
    void SetUp() override { clearDiagnostics(); }
    void TearDown() override { clearDiagnostics(); }

    void expectTexts(const std::vector<TextCase>& cases, LexerOptions options = sourceLexerOptions) {
        for (const TextCase& c : cases) EXPECT_EQ(texts(c.source, options), c.expected) << "source: " << c.source;
    }
};

// ---- Blocks and indentation ------------------------------------------------------------

TEST_F(LexerTest, ExampleProgramGivesTheDocumentedTokens) {
    std::vector<Token> got = tokens("if x\n    f(1)\ng()\n");
    struct Expected {
        TokenKind kind;
        const char* text;
        int line;
    };
    const Expected expected[] = {
        {Keyword, "if", 1},      {Name, "x", 1},          {OpeningBrace, "{", 1},
        {Name, "f", 2},          {OpeningBrace, "(", 2},  {Number, "1", 2},
        {ClosingBrace, ")", 2},  {OpeningBrace, "{", 2},  {ClosingBrace, "}", 2},
        {ClosingBrace, "}", 3},  {Name, "g", 3},          {OpeningBrace, "(", 3},
        {ClosingBrace, ")", 3},  {OpeningBrace, "{", 3},  {ClosingBrace, "}", 3},
        {EndOfFile, "\n", 4},
    };
    ASSERT_EQ(got.size(), sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].kind, expected[i].kind) << "token " << i;
        EXPECT_EQ(got[i].text, expected[i].text) << "token " << i;
        EXPECT_EQ(got[i].location.line, expected[i].line) << "token " << i;
        EXPECT_EQ(got[i].location.fileName(), "test.vn");
    }
    // Real tokens carry the column they start at.
    EXPECT_EQ(got[1].location.column, 3);
    EXPECT_EQ(got[3].location.column, 4);
    EXPECT_EQ(got[5].location.column, 6);
    EXPECT_TRUE(queuedDiagnostics().empty());
}

TEST_F(LexerTest, EmptyInputsGiveOnlyEndOfFile) {
    for (const char* source : {"", "\n\n", "   ", "// only a comment", "/* c */\n", "\t\n  \n"}) {
        std::vector<Token> got = tokens(source);
        ASSERT_EQ(got.size(), 1u) << source;
        EXPECT_EQ(got[0].kind, EndOfFile);
        EXPECT_EQ(got[0].text, "\n");
    }
    EXPECT_EQ(dump(""), "1:0 end-of-file \\n\n");
}

TEST_F(LexerTest, IndentationStructure) {
    expectTexts({
        // blank lines and comment lines change nothing
        {"if x\n\n    // note\n    a\n\n    b\n", "if x { a { } b { } }"},
        // a line ending in an operator continues on the next one
        {"a +\n    b\n", "a + b { }"},
        {"f(a,\n    b)\n", "f ( a , b ) { }"},
        // a line that starts with a closing bracket continues the statement
        {"f(a\n)\ng\n", "f ( a ) { } g { }"},
        {"x[1\n]\n", "x [ 1 ] { }"},
        // inside brackets a smaller indentation means nothing
        {"    f(a,\n  b)\n", "f ( a , b ) { }"},
        // a dedent between two levels closes the deeper one; the line joins the outer block
        {"a\n        b\n    c\nd\n", "a { b { } } c { } d { }"},
        // several levels closed by one dedent, and by the end of input
        {"a\n  b\n    c\nd\n", "a { b { c { } } } d { }"},
        {"a\n  b\n    c", "a { b { c { } } }"},
        // a block may stand inside parentheses
        {"f(fn()\n    body\n)\n", "f ( fn ( ) { body { } } ) { }"},
        // ";" ends a statement like a line end
        {"a; b\nc;\n", "a { } b { } c { }"},
        {"a;;b", "a { } b { }"},
        // the first token never opens a block, whatever its indentation; its line still
        // counts as column 0, so a second line at the same indentation is its body
        {"    a\n", "a { }"},
        {"    a\n    b\n", "a { b { } }"},
        {"a\n  b\n", "a { b { } }"},
    });
}

TEST_F(LexerTest, TabsAdvanceToTheNextTabStop) {
    expectTexts({
        {"if x\n\tf\n        g\n", "if x { f { } g { } }"},
        {"if x\n  \tf\n\tg\n", "if x { f { } g { } }"},  // blanks then a tab still reach 8
        {"if x\n\t f\n\tg\n", "if x { f { } } g { }"},   // column 9, then 8: g leaves f's block
    });
    EXPECT_EQ(texts("if x\n\tf\n    g\n", sourceLexerOptions, 4), "if x { f { } g { } }");
    // Columns count a tab as one character; made-up block tokens take the column of the token
    // that caused them (here the end of input).
    EXPECT_EQ(dump("a\n\tb\n"), "1:0 name a\n1:1 opening brace {\n2:1 name b\n2:0 opening brace {\n"
                                "2:0 closing brace }\n3:0 closing brace }\n3:0 end-of-file \\n\n");
    // A tab size of zero would divide by zero; it counts as one.
    EXPECT_EQ(texts("a\n\tb\n", sourceLexerOptions, 0), "a { b { } }");
}

TEST_F(LexerTest, ExplicitBraces) {
    expectTexts({
        // inside explicit braces indentation is ignored
        {"f {\n  a\n      b\n c\n}\n", "f { a { } b { } c { } }"},
        {"x { a }\ny\n", "x { a { } } y { }"},
        {"x {}\n", "x { }"},
        // one "}" closes the indentation blocks down to the innermost explicit one
        {"f {\ng\n}\n", "f { g { } }"},
        {"a {\n  b {\n  c }\n}\n", "a { b { c { } } }"},
        // braces without Indentation are plain tokens
    });
    EXPECT_EQ(texts("{ a }\n", preprocessorLexerOptions), "{ <sp> a <sp> } <nl>");
    std::vector<Token> got = tokens("{ }", preprocessorLexerOptions);
    EXPECT_EQ(got[0].kind, OpeningBrace);
    EXPECT_EQ(got[2].kind, ClosingBrace);
}

TEST_F(LexerTest, BlockTokensSitOnTheLineTheStatementEndedOn) {
    // The empty pair follows "a" on line 1 even though the blank lines put the next token on 4,
    // and a ";" on the first line does not place the pair on line 0.
    EXPECT_EQ(dump("a\n\n\nb;c"), "1:0 name a\n1:0 opening brace {\n1:0 closing brace }\n"
                                  "4:0 name b\n4:1 opening brace {\n4:1 closing brace }\n"
                                  "4:2 name c\n4:3 opening brace {\n4:3 closing brace }\n"
                                  "4:3 end-of-file \\n\n");
}

// ---- Comments ----------------------------------------------------------------------------

TEST_F(LexerTest, Comments) {
    expectTexts({
        {"a // note\nb\n", "a { } b { }"},
        {"a /* one\n  two */ b\n", "a b { }"},   // a line end inside does not end the statement
        {"/* c */ a", "a { }"},
        {"a /*/ still comment */ b", "a b { }"},
        {"a /* unterminated", "a { }"},
        {"/+ a /+ b +/ c +/ x", "x { }"},          // nested comments nest
        {"a /+ /+ +/ unterminated", "a { }"},
        {"/* a /* b */ c", "c { }"},               // block comments do not nest
        {"a/**/b", "a b { }"},
        // an operator stops before a comment instead of swallowing it
        {"x+// note\ny\n", "x + y { }"},
        {"x=/* c */1", "x = 1 { }"},
        {"x-/+ c +/1", "x - 1 { }"},
    });
    // A line that begins with a comment takes its indentation from after the comment.
    expectTexts({
        {"if x\n    /* c */f\n", "if x { } f { }"},
        {"if x\n/* c */    f\n", "if x { f { } }"},
    });
    // Without NestedComments "/+" is an operator; "//" may continue over a line splice.
    expectTexts({
        {"a /+ b", "a <sp> / + <sp> b"},
        {"// a \\\n b\nc", "<nl> c"},
        {"a /* x\ny */ b", "a <sp> b"},
    },
                preprocessorLexerOptions);
}

// ---- Numbers -----------------------------------------------------------------------------

TEST_F(LexerTest, Numbers) {
    const TextCase cases[] = {
        {"0012", "12"},    {"000", "0"},      {"007", "7"},       {"0", "0"},
        {"0.5", ".5"},     {".5", ".5"},      {"1.5f", "1.5f"},   {"1.2.3", "1.2.3"},
        {"0b101", "5"},    {"0B11", "3"},     {"0b", "0"},        {"0b0010", "2"},
        {"0o17", "017"},   {"0O7", "07"},     {"0o", "0"},
        {"0x1F", "0x1F"},  {"0X1f", "0x1f"},  {"0x", "0x"},
        {"10L", "10L"},    {"0L", "0L"},      {"0x10L", "0x10L"},
        // a lone zero before an exponent or a float suffix keeps its zero
        {"0e5", "0e5"},    {"0f", "0f"},      {"0E2", "0E2"},     {"00e5", "0e5"},
        {"0F", "0F"},
        // an exponent's sign belongs to the number
        {"1e-5", "1e-5"},  {"2.5E+3", "2.5E+3"}, {"0e-5", "0e-5"}, {".5e+3f", ".5e+3f"},
        {"1E-5L", "1E-5L"},
    };
    for (const TextCase& c : cases) {
        std::vector<Token> got = tokens(std::string(c.source) + "\n", KnownOperatorsOnly);
        ASSERT_EQ(got.size(), 2u) << c.source;
        EXPECT_EQ(got[0].kind, Number) << c.source;
        EXPECT_EQ(got[0].text, c.expected) << c.source;
        EXPECT_EQ(got[0].location.column, 0) << c.source;
    }
    // Where a number stops.
    expectTexts({
        {"1..5", "1 .. 5"},
        {"1.x", "1 . x"},
        {"0..5", "0 .. 5"},
        {"1e-x", "1e - x"},        // no digit after the sign: the sign is an operator
        {"1f-5", "1f - 5"},        // "f" is no exponent
        {"0x1e-5", "0x1e - 5"},    // nor is a hexadecimal "e"
        {"0b102", "2 2"},
        {"0o78", "07 8"},
        {"12abc", "12 abc"},
        {"0xg", "0x g"},
    },
                KnownOperatorsOnly);
}

TEST_F(LexerTest, LongBinaryNumbersKeepTheirValue) {
    // 2^33 - 1 does not fit in 32 bits; 2^64 does not fit in 64 and is written in hexadecimal.
    EXPECT_EQ(texts("0b" + std::string(33, '1')), "8589934591 { }");
    EXPECT_EQ(texts("0b" + std::string(64, '1')), "18446744073709551615 { }");
    EXPECT_EQ(texts("0b1" + std::string(64, '0')), "0x10000000000000000 { }");
    EXPECT_EQ(texts("0b" + std::string(100, '0') + "101"), "5 { }");
}

// ---- Strings -----------------------------------------------------------------------------

TEST_F(LexerTest, Strings) {
    const TextCase cases[] = {
        {"\"ab\"", "\"ab\""},
        {"'c'", "'c'"},
        {"\"it's\"", "\"it's\""},
        {"'say \"x\"'", "'say \"x\"'"},
        {"\"a\\\"b\"", "\"a\\\"b\""},      // an escaped quote does not close the literal
        {"\"a\\\\\"", "\"a\\\\\""},        // an escaped backslash does not escape the quote
        {"\"a\nb\"", "\"a\\nb\""},         // a line end becomes the escape
        {"\"\"", "\"\""},
    };
    for (const TextCase& c : cases) {
        std::vector<Token> got = tokens(c.source, KnownOperatorsOnly);
        ASSERT_EQ(got.size(), 2u) << c.source;
        EXPECT_EQ(got[0].kind, String) << c.source;
        EXPECT_EQ(got[0].text, c.expected) << c.source;
    }
    // A literal over a line end: the token is located where it began, and the statement it
    // ends closes on the line where it ended.
    EXPECT_EQ(dump("x \"a\nb\" y\nz"), "1:0 name x\n1:2 string \"a\\nb\"\n2:3 name y\n"
                                       "2:0 opening brace {\n2:0 closing brace }\n3:0 name z\n"
                                       "3:1 opening brace {\n3:1 closing brace }\n3:1 end-of-file \\n\n");
    EXPECT_TRUE(queuedDiagnostics().empty());
}

// ---- Words -------------------------------------------------------------------------------

TEST(ClassifyWord, SourceAndCppWords) {
    struct Case {
        const char* word;
        TokenKind own;
        TokenKind cpp;
    };
    const Case cases[] = {
        {"_HPP", MacroName, Name},     {"_", MacroName, Name},
        {"Foo", TypeName, Name},       {"X1", TypeName, Name},
        {"if", Keyword, Keyword},      {"operator", Keyword, Keyword},
        {"return", Keyword, Keyword},  {"mutable", Keyword, Keyword},
        {"import", Keyword, Name},     {"noinline", Keyword, Name},
        {"alias", Keyword, Name},      {"abstract", Keyword, Name},
        {"typedef", Name, Keyword},    {"unsigned", Name, Keyword},
        {"template", Name, Keyword},   {"struct", Name, Keyword},
        {"for", Name, Name},           {"while", Name, Name},
        {"this", Name, Name},          {"true", Name, Name},
        {"int", Name, Name},           {"void", Name, Name},
        {"", Name, Name},              {"+x", Operator, Operator},
        {"(a", OpeningBrace, OpeningBrace}, {"}", ClosingBrace, ClosingBrace},
        {"If", TypeName, Name},        {"ifx", Name, Name},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(classifyWord(c.word, true), c.own) << c.word;
        EXPECT_EQ(classifyWord(c.word, false), c.cpp) << c.word;
    }
}

TEST_F(LexerTest, WordsAreLettersDigitsAndUnderscores) {
    std::vector<Token> got = tokens("_a1 B_2 c3d import", KnownOperatorsOnly);
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0].kind, Name);  // without OwnWords there are no macro names
    EXPECT_EQ(got[2].text, "c3d");
    EXPECT_EQ(got[3].kind, Name);
    got = tokens("_a1 B_2 c3d import");
    EXPECT_EQ(got[0].kind, MacroName);
    EXPECT_EQ(got[1].kind, TypeName);
    EXPECT_EQ(got[2].kind, Name);
    EXPECT_EQ(got[3].kind, Keyword);
}

// ---- Operators, brackets and delimiters ---------------------------------------------------

TEST_F(LexerTest, OperatorRuns) {
    // Without KnownOperatorsOnly an operator is the longest run of operator characters.
    expectTexts({
        {"a+-b", "a +- b { }"},
        {"a<=>b", "a <=> b { }"},
        {"a->>b", "a ->> b { }"},
        {"a`b@c$", "a ` b @ c $ { }"},
        {"a\\b", "a \\ b { }"},
        {"a?:b", "a ?: b { }"},
        {"f(a, b)", "f ( a , b ) { }"},
        {"x[i]", "x [ i ] { }"},
    });
    // With it, a run grows only while it stays a known operator.
    expectTexts({
        {"a->*b", "a ->* b"},
        {"##", "# #"},
        {"?:", "? :"},
        {"a<<=b", "a <<= b"},
        {"a...b", "a ... b"},
        {"a+-b", "a + - b"},
        {"x;y", "x ; y"},
    },
                KnownOperatorsOnly);
}

TEST_F(LexerTest, StrayBytesAreSingleOperatorTokens) {
    std::vector<Token> got = tokens("a\xC3\xA9+b\x01", sourceLexerOptions);
    ASSERT_GE(got.size(), 5u);
    EXPECT_EQ(got[1].kind, Operator);
    EXPECT_EQ(got[1].text, "\xC3");
    EXPECT_EQ(got[2].text, "\xA9+");  // operator characters join whatever started the run
    EXPECT_EQ(got[3].text, "b");
    EXPECT_EQ(got[4].text, "\x01");
    EXPECT_EQ(got[4].kind, Operator);
}

TEST_F(LexerTest, KindsOfPunctuation) {
    std::vector<Token> got = tokens("(a, b)[c]{d}", KnownOperatorsOnly | WhitespaceTokens);
    const TokenKind kinds[] = {OpeningBrace, Name, Delimiter, Whitespace, Name, ClosingBrace,
                               OpeningBrace, Name, ClosingBrace, OpeningBrace, Name, ClosingBrace,
                               EndOfFile};
    ASSERT_EQ(got.size(), sizeof kinds / sizeof kinds[0]);
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].kind, kinds[i]) << i;
}

// ---- Whitespace tokens -------------------------------------------------------------------

TEST_F(LexerTest, WhitespaceTokens) {
    expectTexts({
        {"a  /* x */  b", "a <sp> b"},
        {"a \n", "a <nl>"},
        {"a  \t \n  \n b", "a <nl> b"},
        {"a // c\nb", "a <nl> b"},
        {"a /* x\n */ b", "a <sp> b"},     // a block comment counts as a blank
        {"a \\\n b", "a <sp> b"},          // a line splice joins the lines
        {"a\\\nb", "ab"},                 // even inside a name
        {"a \\ b", "a <sp> \\ <sp> b"},    // a backslash elsewhere is an operator
        {"a  ", "a"},                      // trailing blanks are dropped at the end
        {"a /* c */", "a"},
        {"  a", "a"},                      // leading blanks are indentation
    },
                preprocessorLexerOptions);
    // Without the option blanks and line ends yield nothing.
    EXPECT_EQ(texts("a  b \\\n c", KnownOperatorsOnly), "a b \\ c");
    // Locations: the line end stands where it was read; the spliced line counts.
    EXPECT_EQ(dump("a \\\n b\n", preprocessorLexerOptions),
              "1:0 name a\n1:1 whitespace  \n2:1 name b\n2:2 whitespace \\n\n3:0 end-of-file \\n\n");
}

TEST_F(LexerTest, SteppingOnATrailingBlankIsSafe) {
    // The parser stands on each token before the lexer reads further; the trailing blank must
    // never be a token it has already been given.
    std::istringstream in("a \\\n ");
    Lexer lexer(in, "test.h", preprocessorLexerOptions);
    std::vector<std::string> seen;
    for (int i = 0; i < 4; ++i) {
        seen.push_back(lexer.text());
        lexer.advance();
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "\n", "\n", "\n"}));
    EXPECT_EQ(lexer.size(), 5u);  // "a", then one EndOfFile per fill at the end
    EXPECT_EQ(lexer.kind(), EndOfFile);
}

// ---- Verbatim regions --------------------------------------------------------------------

TEST_F(LexerTest, VerbatimRegions) {
    expectTexts({
        // statements do not end inside; ";" is a delimiter there
        {"_HPP(\n  int x;\n  int y;\n)\nz\n", "_HPP ( int x ; int y ; ) { } z { }"},
        {"_CPP(a; b)\nc; d\n", "_CPP ( a ; b ) { } c { } d { }"},
        {"_CPP(f(a)\ng)\nh\n", "_CPP ( f ( a ) g ) { } h { }"},
        // indentation still opens and closes blocks inside
        {"_HPP(\n  x\n      y\n)", "_HPP ( x { y } ) { }"},
        // other words that start with an underscore open nothing
        {"_X(a; b)", "_X ( a { } b ) { }"},
    });
    // Without the option "_HPP" is a word like any other.
    EXPECT_EQ(texts("_HPP(a; b)", OwnWords | Indentation | SemicolonEndsStatement),
              "_HPP ( a { } b ) { }");
}

TEST_F(LexerTest, VerbatimDepthCountsBracketsAndBlocks) {
    std::istringstream in("_HPP(a[\n");
    Lexer lexer(in, "test.vn", sourceLexerOptions);
    while (lexer.kind() != EndOfFile) lexer.advance();
    EXPECT_EQ(lexer.verbatimDepth, 3);
    std::istringstream in2("_HPP(a[b]) c");
    Lexer closed(in2, "test.vn", sourceLexerOptions);
    while (closed.kind() != EndOfFile) closed.advance();
    EXPECT_EQ(closed.verbatimDepth, 0);
}

// ---- Errors ------------------------------------------------------------------------------

TEST_F(LexerTest, TooManyClosingBraces) {
    EXPECT_EQ(texts("a\n}\nb\n"), "a { } b { }");
    ASSERT_EQ(queuedDiagnostics().size(), 1u);
    const CompileError& e = queuedDiagnostics()[0];
    EXPECT_STREQ(e.what(), "Syntax error, unexpected '}', too much closing braces");
    EXPECT_EQ(e.severity, SeverityError);
    EXPECT_EQ(e.position.fileName(), "test.vn");
    EXPECT_EQ(e.position.line, 2);
    EXPECT_EQ(e.position.column, 0);
    clearDiagnostics();
    // An indentation block is closed on the way before the error.
    EXPECT_EQ(texts("a\n  b }\n"), "a { b { } }");
    EXPECT_EQ(queuedDiagnostics().size(), 1u);
}

TEST_F(LexerTest, UnclosedBraceAtEndOfFile) {
    EXPECT_EQ(dump("f {\n  a\n    b"), "1:0 name f\n1:2 opening brace {\n2:2 name a\n"
                                       "2:4 opening brace {\n2:4 closing brace }\n3:4 name b\n"
                                       "3:5 opening brace {\n3:5 closing brace }\n3:5 end-of-file \\n\n");
    ASSERT_EQ(queuedDiagnostics().size(), 1u);
    const CompileError& e = queuedDiagnostics()[0];
    EXPECT_STREQ(e.what(), "Syntax error, expected '}' at end of file");
    EXPECT_EQ(e.position.line, 3);
    EXPECT_EQ(e.position.column, 5);
}

TEST_F(LexerTest, FillingAfterTheEndAddsOnlyEndOfFile) {
    std::istringstream in("f {\n  a");
    Lexer lexer(in, "test.vn", sourceLexerOptions);
    while (lexer.kind() != EndOfFile) lexer.advance();
    size_t count = lexer.size();
    lexer.advance();
    lexer.advance();
    EXPECT_EQ(lexer.kind(), EndOfFile);
    EXPECT_EQ(lexer.size(), count + 2);
    EXPECT_EQ(queuedDiagnostics().size(), 1u);  // the missing "}" is reported once
}

// ---- Character reader --------------------------------------------------------------------

TEST_F(LexerTest, WindowsLineEndsReadAsOne) {
    const std::string unix = "if x\n    f(1) // c\n\"a\nb\"\ng()\n";
    std::string windows, mac;
    for (char c : unix) {
        if (c == '\n') {
            windows += "\r\n";
            mac += '\r';
        } else {
            windows += c;
            mac += c;
        }
    }
    EXPECT_EQ(dump(windows), dump(unix));
    EXPECT_EQ(dump(mac), dump(unix));
    EXPECT_EQ(dump("a \\\r\n b", preprocessorLexerOptions), dump("a \\\n b", preprocessorLexerOptions));
}

TEST_F(LexerTest, ByteOrderMarkIsSkipped) {
    EXPECT_EQ(dump("\xEF\xBB\xBFif x\n    y\n"), dump("if x\n    y\n"));
    // Anything short of the whole mark is ordinary bytes.
    EXPECT_EQ(texts("\xEF\xBBx"), "\xEF \xBB x { }");
}

TEST_F(LexerTest, StreamNameAndFirstTokenCurrent) {
    std::istringstream in("a b");
    Lexer lexer(in, "dir/file.vn", sourceLexerOptions);
    EXPECT_EQ(lexer.streamName(), "lexer");
    EXPECT_EQ(lexer.text(), "a");
    EXPECT_EQ(lexer.location().fileName(), "dir/file.vn");
    EXPECT_EQ(lexer.location().file(), internFileName("dir/file.vn"));
}

}  // namespace

namespace {

// ---- Robustness --------------------------------------------------------------------------

// Random inputs from the characters that matter to the lexer, under every configuration: the
// lexer always ends with EndOfFile, positions stay inside the input, and when no brace error
// was reported the block tokens nest properly.
TEST_F(LexerTest, RandomInputsEndCleanly) {
    const std::string alphabet = " \t\n\r(){}[];,/*+\\\"'_aZ09.exbo-=<>#`\xEF\xBB\xBF\x80";
    const LexerOptions configurations[] = {sourceLexerOptions, preprocessorLexerOptions,
                                           0xFFFF, 0};
    unsigned state = 12345;
    auto next = [&state] { return (state = state * 1103515245u + 12345u) >> 16; };
    for (int round = 0; round < 3000; ++round) {
        std::string source;
        for (size_t n = next() % 120; n > 0; --n) source += alphabet[next() % alphabet.size()];
        int lines = 1;
        for (char c : source) lines += c == '\n' || c == '\r';
        for (LexerOptions options : configurations) {
            clearDiagnostics();
            std::vector<Token> got = tokens(source, options);
            ASSERT_EQ(got.back().kind, EndOfFile);
            int depth = 0;
            bool nested = true;
            for (const Token& t : got) {
                ASSERT_GE(t.location.line, 1);
                ASSERT_LE(t.location.line, lines + 1);
                ASSERT_GE(t.location.column, 0);
                if (t.text == "{" && t.kind == OpeningBrace) ++depth;
                if (t.text == "}" && t.kind == ClosingBrace && --depth < 0) nested = false;
            }
            if ((options & Indentation) && queuedDiagnostics().empty()) {
                EXPECT_TRUE(nested && depth == 0) << "source: " << source;
            }
        }
    }
}

}  // namespace
