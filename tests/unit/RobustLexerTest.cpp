// The lexer on the inputs users and other programs really produce: files in
// tests/data/robust/lexer (empty, no final line end, CR LF and lone CR, NUL bytes, invalid
// UTF-8, stray braces) beside their expected token dumps (VORN_REGENERATE=1 rewrites them), and
// generated extremes: deep nesting of every kind and tokens of several megabytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "FileCaseSupport.hpp"
#include "front/Lexer.hpp"

namespace fs = std::filesystem;

namespace {

const fs::path dataDir = fs::path(VORN_SOURCE_DIR) / "tests" / "data" / "robust" / "lexer";

TEST(RobustLexerFiles, DumpsMatchTheirExpectations) {
    filecase::checkFileCases(dataDir, ".vn", ".tokens", [](const fs::path& path) { return filecase::lexFile(path); },
                             12);
}

// Line ends of every convention, and a missing last one, give the same tokens.
TEST(RobustLexerFiles, LineEndConventionsAgree) {
    const char* unix = "class A\n    x = 1\ng()\n";
    std::vector<std::string> variants = {"class A\r\n    x = 1\r\ng()\r\n", "class A\r    x = 1\rg()\r",
                                         "class A\n    x = 1\r\ng()", "\xEF\xBB\xBF" "class A\n    x = 1\ng()\n"};
    auto texts = [](const std::string& source) {
        std::istringstream in(source);
        Lexer lexer(in, "t.vn", sourceLexerOptions);
        std::string out;
        for (; !lexer.atEnd(); lexer.advance())
            out += std::to_string(lexer.location().line) + ":" + lexer.text() + " ";
        return out;
    };
    for (const std::string& variant : variants) EXPECT_EQ(texts(variant), texts(unix)) << variant;
}

struct Extreme {
    const char* name;
    std::string source;
};

std::string repeated(const std::string& piece, size_t times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (size_t i = 0; i < times; ++i) out += piece;
    return out;
}

std::vector<Extreme> extremes() {
    // Tokens are kept until the lexer goes, so inputs of one token per byte stay smaller.
    const size_t huge = 1 << 20, many = 1 << 18;
    std::string indented;
    for (int depth = 0; depth < 1500; ++depth) indented += std::string(depth, ' ') + "if x\n";
    return {
        {"indentation 1500 deep", indented},
        {"brackets 200000 deep", "f" + repeated("(", 200000) + "\n" + repeated(")", 200000) + "\n"},
        {"braces 200000 deep", repeated("{", 200000) + repeated("}", 200000) + "\n"},
        {"unclosed braces 200000 deep", repeated("{", 200000)},
        {"closing braces only", repeated("}", 200000)},
        {"nested comments 200000 deep", repeated("/+", 200000) + repeated("+/", 200000) + "x\n"},
        {"verbatim regions 100000 deep", repeated("_HPP(", 100000) + "\n"},
        {"word of 1 MB", "x = " + std::string(huge, 'a') + "\n"},
        {"number of 1 MB", "x = 1" + std::string(huge, '0') + "\n"},
        {"binary number of 1 MB", "x = 0b" + std::string(huge, '1') + "\n"},
        {"string of 1 MB", "x = \"" + std::string(huge, 'a') + "\"\n"},
        {"operator run of 256 kB", "x " + std::string(many, '+') + " y\n"},
        {"comment of 1 MB", "/*" + std::string(huge, '*') + "*/x\n"},
        {"1 MB of line ends", std::string(huge, '\n') + "x"},
        {"256 kB of NUL bytes", std::string(many, '\0')},
        {"1 MB of one blank line", std::string(huge, ' ')},
    };
}

// Nothing in the lexer recurses or grows with the square of the input: deep nesting and huge
// tokens lex in one pass under every configuration in use, and the block tokens stay balanced.
TEST(RobustLexerExtremes, DeepAndHugeInputsLexToTheEnd) {
    for (const Extreme& extreme : extremes()) {
        for (LexerOptions options : {sourceLexerOptions, preprocessorLexerOptions}) {
            clearDiagnostics();
            std::istringstream in(extreme.source);
            Lexer lexer(in, "t.vn", options);
            size_t tokens = 0, longest = 0;
            long depth = 0;
            for (; !lexer.atEnd(); lexer.advance(), ++tokens) {
                longest = std::max(longest, lexer.text().size());
                if (lexer.kind() == OpeningBrace && lexer.text() == "{") ++depth;
                if (lexer.kind() == ClosingBrace && lexer.text() == "}") --depth;
            }
            EXPECT_EQ(lexer.kind(), EndOfFile) << extreme.name;
            EXPECT_LE(tokens, 2 * extreme.source.size() + 4) << extreme.name;
            if ((options & Indentation) && queuedDiagnostics().empty()) {
                EXPECT_EQ(depth, 0) << extreme.name;
            }
        }
        clearDiagnostics();
    }
}

// Huge tokens arrive whole, and the line count behind them is right.
TEST(RobustLexerExtremes, HugeTokensArriveWhole) {
    const size_t huge = 4 << 20;  // one token each, so several megabytes cost little
    struct Case {
        std::string source;
        TokenKind kind;
        size_t length;
    } cases[] = {
        {std::string(huge, 'a') + "\nz", Name, huge},
        {"\"" + std::string(huge, 'a') + "\"\nz", String, huge + 2},
        {"\"" + repeated("a\n", huge / 2) + "\"\nz", String, huge / 2 * 3 + 2},  // line ends become \n
        {"9" + std::string(huge, '9') + "\nz", Number, huge + 1},
        {"0x" + std::string(huge, 'F') + "\nz", Number, huge + 2},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.source);
        Lexer lexer(in, "t.vn", sourceLexerOptions);
        EXPECT_EQ(lexer.kind(), c.kind);
        EXPECT_EQ(lexer.text().size(), c.length);
        while (!lexer.atEnd() && lexer.text() != "z") lexer.advance();
        int lines = 1;
        for (char ch : c.source) lines += ch == '\n';
        EXPECT_EQ(lexer.location().line, lines) << "after a token of " << c.length;
    }
}

// Unmatched explicit braces, however many, give one report each way, never one per brace
// left open.
TEST(RobustLexerExtremes, UnbalancedBracesReportOnce) {
    clearDiagnostics();
    std::istringstream open(repeated("{", 10000));
    Lexer opener(open, "t.vn", sourceLexerOptions);
    while (!opener.atEnd()) opener.advance();
    ASSERT_EQ(queuedDiagnostics().size(), 1u);
    EXPECT_EQ(queuedDiagnostics()[0].message, "Syntax error, expected '}' at end of file");
    clearDiagnostics();
}

}  // namespace
