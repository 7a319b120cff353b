// The token stream's stepping rule and backtracking over kept tokens, on a scripted stream;
// and the token dump that the lexer tests read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tree/Token.hpp"

namespace {

// A stream fed from a script: each fill appends the next group of texts, possibly none.
using Script = std::vector<std::vector<std::string>>;

class ScriptedStream : public TokenStream {
public:
    explicit ScriptedStream(Script script) : script(std::move(script)) {}

    void fill() override {
        ++fills;
        if (next == script.size()) {
            push_back(Token(EndOfFile, "\n", SourceLocation()));
            return;
        }
        for (const std::string& text : script[next]) push_back(Token(Name, text, SourceLocation()));
        ++next;
    }
    std::string streamName() const override { return "script"; }

    Script script;
    size_t next = 0;
    int fills = 0;
};

TEST(TokenStream, AdvanceFillsOnlyWhenTheCurrentTokenIsTheLast) {
    ScriptedStream s(Script{{}, {}, {"a", "b"}, {}, {"c"}});
    s.advance();  // empty fills are repeated until a token is there
    EXPECT_EQ(s.text(), "a");
    EXPECT_EQ(s.fills, 3);
    s.advance();  // "b" is already in the list
    EXPECT_EQ(s.text(), "b");
    EXPECT_EQ(s.fills, 3);
    s.advance();
    EXPECT_EQ(s.text(), "c");
    EXPECT_EQ(s.fills, 5);
    s.advance();
    EXPECT_EQ(s.kind(), EndOfFile);
    EXPECT_TRUE(s.atEnd());
    s.advance();  // past the end the stream keeps answering EndOfFile
    EXPECT_EQ(s.kind(), EndOfFile);
    EXPECT_EQ(s.size(), 5u);
}

TEST(TokenStream, SavedPositionsStayValidForBacktracking) {
    ScriptedStream s(Script{{"a"}, {"b"}, {"c"}});
    s.advance();
    TokenStream::Position saved = s.current;
    s.advance();
    s.advance();
    EXPECT_EQ(s.text(), "c");
    s.current = saved;
    EXPECT_EQ(s.text(), "a");
    s.advance();  // stepping forward again reads no more input
    EXPECT_EQ(s.text(), "b");
    EXPECT_EQ(s.fills, 3);
}

TEST(TokenStream, FreshStreamHasNoErrorRecorded) {
    ScriptedStream s(Script{{"a"}});
    EXPECT_EQ(s.errorPriority, -1);
    EXPECT_TRUE(s.expected.empty());
    EXPECT_EQ(s.furthestError, s.end());
}

TEST(TokenDump, EscapesLineEndsAndControlBytes) {
    SourceLocation at(internFileName("x.vn"), 3, 7);
    EXPECT_EQ(dumpToken(Token(String, "\"a\"", at)), "3:7 string \"a\"");
    EXPECT_EQ(dumpToken(Token(EndOfFile, "\n", at)), "3:7 end-of-file \\n");
    EXPECT_EQ(dumpToken(Token(Whitespace, " ", at)), "3:7 whitespace  ");
    EXPECT_EQ(dumpToken(Token(NoExpand, "X", at)), "3:7 no-expand X");
    EXPECT_EQ(dumpToken(Token(Operator, "\x01\xC3", at)), "3:7 operator \\x01\\xC3");
}

TEST(TokenDump, DumpsFromTheCurrentTokenThroughEndOfFile) {
    ScriptedStream s(Script{{"a", "b"}});
    s.advance();
    s.advance();
    EXPECT_EQ(dumpTokens(s), "-1:-1 name b\n-1:-1 end-of-file \\n\n");
}

}  // namespace
