#include <gtest/gtest.h>

#include <sstream>

#include "base/Diagnostics.hpp"
#include "tree/Token.hpp"

namespace {

struct DiagnosticsTest : ::testing::Test {
    void SetUp() override { clearDiagnostics(); }
    void TearDown() override { clearDiagnostics(); }
};

TEST_F(DiagnosticsTest, ReportLineLayouts) {
    const std::string* file = internFileName("a.vn");
    struct Case {
        CompileError error;
        const char* expected;
    } cases[] = {
        {CompileError("bad", SourceLocation(file, 12, 5)), "a.vn(12,6) : error : bad\n"},
        {CompileWarning("careful", SourceLocation(file, 1, 0)), "a.vn(1,1) : warning : careful\n"},
        {CompileError("no place"), " : error : no place\n"},
        {CompileError("file only", SourceLocation(file, -1, -1)), "a.vn : error : file only\n"},
        {CompileError("internal", SourceLocation(), SeverityInternal), " : error : internal\n"},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        report(c.error, out);
        EXPECT_EQ(out.str(), c.expected);
    }
}

TEST_F(DiagnosticsTest, InternedNamesShareOneString) {
    EXPECT_EQ(internFileName("x.vn"), internFileName(std::string("x") + ".vn"));
    EXPECT_NE(internFileName("x.vn"), internFileName("y.vn"));
}

TEST_F(DiagnosticsTest, AdjacentDuplicatesPrintOnce) {
    SourceLocation at(internFileName("d.vn"), 3, 4);
    reportError("same", at);
    reportError("same", at);
    reportError("other", at);
    reportError("same", at);
    std::ostringstream out;
    EXPECT_TRUE(flushDiagnostics(2, out));
    EXPECT_EQ(out.str(), "d.vn(3,5) : error : same\nd.vn(3,5) : error : other\nd.vn(3,5) : error : same\n");
    EXPECT_TRUE(queuedDiagnostics().empty());
}

TEST_F(DiagnosticsTest, WarningsDoNotReachErrorThreshold) {
    reportWarning("Unable to find declaration of x", SourceLocation());
    std::ostringstream out;
    EXPECT_FALSE(flushDiagnostics(2, out));
    EXPECT_EQ(out.str(), " : warning : Unable to find declaration of x\n");
    reportWarning("w", SourceLocation());
    std::ostringstream out1;
    EXPECT_TRUE(flushDiagnostics(1, out1));
    std::ostringstream out2;
    EXPECT_FALSE(flushDiagnostics(1, out2));
    EXPECT_EQ(out2.str(), "");
}

TEST_F(DiagnosticsTest, SkippedDuplicateStillCountsForThreshold) {
    reportWarning("w", SourceLocation());
    reportWarning("w", SourceLocation());
    std::ostringstream out;
    EXPECT_TRUE(flushDiagnostics(1, out));
    EXPECT_EQ(out.str(), " : warning : w\n");
}

TEST_F(DiagnosticsTest, FillMissingPositionsOnlyTouchesEntriesWithoutFile) {
    SourceLocation own(internFileName("own.vn"), 2, 1);
    SourceLocation statement(internFileName("s.vn"), 7, 3);
    reportError("deep", SourceLocation());
    reportError("placed", own);
    fillMissingPositions(statement);
    std::ostringstream out;
    flushDiagnostics(2, out);
    EXPECT_EQ(out.str(), "s.vn(7,4) : error : deep\nown.vn(2,2) : error : placed\n");
}

TEST_F(DiagnosticsTest, InternalErrorHasThreeLines) {
    CompileError e = internalError("src/Token", "42", "unknown token");
    EXPECT_EQ(std::string(e.what()), "INTERNAL COMPILER ERROR\n      unknown token\n      ERROR ON src/Token(42)");
    EXPECT_EQ(e.severity, 3);
    EXPECT_FALSE(e.position.hasFile());
}

TEST_F(DiagnosticsTest, MacroErrorTexts) {
    EXPECT_STREQ(NoOperator("+", "bool").what(), "No operator + for type bool");
    EXPECT_STREQ(NoCast("int", "bool").what(), "No conversion from int to bool");
    EXPECT_STREQ(NoMember("string", "foo").what(), "string has no member 'foo'");
    EXPECT_STREQ(NoCall("int").what(), "int is not a function");
    NoCall copy = NoCall("int");
    EXPECT_EQ(copy.severity, 2);
    EXPECT_EQ(copy.position.line, -1);
}

TEST(TokenKindNames, KnownAndUnknownKinds) {
    EXPECT_STREQ(tokenKindName(EndOfFile), "end-of-file");
    EXPECT_STREQ(tokenKindName(OpeningBrace), "opening brace");
    EXPECT_STREQ(tokenKindName(TypeName), "type-name");
    for (int bad : {10, 11, 12, 14, -1}) {
        try {
            tokenKindName(bad);
            ADD_FAILURE() << "kind " << bad << " has a name";
        } catch (const CompileError& e) {
            EXPECT_NE(std::string(e.what()).find("unknown token"), std::string::npos);
            EXPECT_NE(std::string(e.what()).find("ERROR ON src/Token("), std::string::npos);
        }
    }
}

}  // namespace
