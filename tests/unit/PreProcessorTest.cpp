// The preprocessor's small exact pieces and what the differential tests against GCC cannot
// see: unquoteCString, token kinds and locations, the state restored after a failed load,
// macros predefined by an include interface file, and the work limit.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "base/ModuleName.hpp"
#include "front/PreProcessor.hpp"
#include "base/RunOptions.hpp"

namespace {

struct PreProcessorTest : ::testing::Test {
    std::string path = platform::createTemporaryFile();
    void write(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    void TearDown() override {
        platform::deleteFile(path);
        runOptions = RunOptions();
        clearDiagnostics();
    }
    std::string dump(PreProcessor& pp) {
        std::string out;
        for (const Token& t : pp)
            if (t.kind != EndOfFile) out += std::to_string(t.location.line) + ":" + tokenKindName(t.kind) + ":" + t.text + " ";
        return out;
    }
};

TEST(UnquoteCString, ContentsAndFailures) {
    struct Case {
        const char* literal;
        const char* content;  // nullptr: fails with `failure`
        const char* failure;
    } cases[] = {
        {"\"abc\"", "abc", nullptr},       {"\"\"", "", nullptr},
        {"\"a\\\"b\"", "a\"b", nullptr},   {"\"a\\nb\"", "a\nb", nullptr},
        {"\"a\\\\b\"", "a\\b", nullptr},   {"\"a\\tb\"", "atb", nullptr},
        {"\"", nullptr, "invalid string"}, {"abc", nullptr, "invalid string"},
        {"'a'", nullptr, "invalid string"}, {"\"ab\\\"", nullptr, "unexpected end of string"},
    };
    for (const Case& c : cases) {
        if (c.content) {
            EXPECT_EQ(unquoteCString(c.literal), c.content) << c.literal;
            continue;
        }
        try {
            unquoteCString(c.literal);
            ADD_FAILURE() << c.literal << " was accepted";
        } catch (const CompileError& e) {
            EXPECT_EQ(e.message, c.failure) << c.literal;
        }
    }
}

TEST_F(PreProcessorTest, KindsAndLocationsOfExpandedTokens) {
    write("#define CALL(x) x + 1\nstatic CALL(\n  2)\n#define K const\nK\n");
    PreProcessor pp(path, cHeaderLexerOptions);
    EXPECT_EQ(dump(pp), "2:keyword:static 2:number:2 2:operator:+ 2:number:1 5:keyword:const ");
    EXPECT_EQ(pp.streamName(), "preprocessor");
    EXPECT_EQ(pp.kind(), Keyword);  // the first token is current
}

TEST_F(PreProcessorTest, DateAndTimeHaveTheirFormats) {
    write("__DATE__ ; __TIME__ ; __cplusplus\n");
    PreProcessor pp(path, cHeaderLexerOptions);
    std::vector<std::string> texts;
    for (const Token& t : pp)
        if (t.kind != Delimiter) texts.push_back(t.text);
    ASSERT_EQ(texts.size(), 3u);
    // The day keeps its leading zero ("Dec 08 2026"), where GCC pads with a blank.
    EXPECT_TRUE(std::regex_match(texts[0], std::regex("\"[A-Z][a-z]{2} [0-9]{2} [0-9]{4}\""))) << texts[0];
    EXPECT_TRUE(std::regex_match(texts[1], std::regex("\"[0-9]{2}:[0-9]{2}:[0-9]{2}\""))) << texts[1];
    EXPECT_EQ(texts[2], "201703L");
}

TEST_F(PreProcessorTest, PredefinedMacrosAndTheirOwnName) {
    write("SELF WIDTH\n#ifdef WIDTH\ndefined\n#endif\n");
    PreProcessorSettings settings;
    settings.defines["SELF"] = "SELF + 1";
    settings.defines["WIDTH"] = "  80  ";
    settings.commandLineMacros = "#define LATER WIDTH\n#undef WIDTH\n#define WIDTH 81\n";
    PreProcessor pp(path, cHeaderLexerOptions, settings);
    EXPECT_EQ(dump(pp), "1:name:SELF 1:operator:+ 1:number:1 1:number:81 3:name:defined ");
}

TEST_F(PreProcessorTest, FailedLoadRestoresTheIncludePathAndBaseDirectory) {
    write("#include \"missing.h\"\n");
    runOptions.includeDirs = {"base/", "extra/"};
    baseDirectory = "base/";
    EXPECT_THROW(PreProcessor(path, cHeaderLexerOptions), CompileError);
    EXPECT_EQ(runOptions.includeDirs, (std::vector<std::string>{"base/", "extra/"}));
    EXPECT_EQ(baseDirectory, "base/");
    baseDirectory.clear();
}

TEST_F(PreProcessorTest, RunawayExpansionEndsAtTheWorkLimit) {
    std::string text = "#define A0 x x\n";
    for (int i = 1; i < 40; ++i) text += "#define A" + std::to_string(i) + " A" + std::to_string(i - 1) + " A" + std::to_string(i - 1) + "\n";
    write(text + "A39\n");
    PreProcessorSettings settings;
    settings.workLimit = 100000;
    try {
        PreProcessor pp(path, cHeaderLexerOptions, settings);
        ADD_FAILURE() << "2^40 tokens were made";
    } catch (const CompileError& e) {
        EXPECT_EQ(e.message.rfind("Too much preprocessing", 0), 0u) << e.message;
    }
    EXPECT_THROW(PreProcessor("/no/such/header.h", cHeaderLexerOptions), CompileError);
}

// The limit bounds what one stretch of expansion makes, not the header: many honest lines
// together make far more tokens than it.
TEST_F(PreProcessorTest, AHeaderOfAnySizeStaysUnderTheWorkLimit) {
    std::string text = "#define PAIR(x) x x\n";
    for (int i = 0; i < 2000; ++i) text += "int v" + std::to_string(i) + " = PAIR(PAIR(1));\n";
    write(text);
    PreProcessorSettings settings;
    settings.workLimit = 100;
    PreProcessor pp(path, cHeaderLexerOptions, settings);
    EXPECT_GT(pp.size(), 2000u * 7);
}

}  // namespace
