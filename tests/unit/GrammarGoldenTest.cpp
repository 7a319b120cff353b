// Golden files of the source grammar: each tests/data/grammar/*.vn is parsed and its tree dump
// compared with the checked-in .tree beside it; each tests/data/grammar-errors/*.vn also has
// its diagnostics compared with the checked-in .diag. VORN_REGENERATE=1 rewrites the expected
// files instead, so a changed expectation shows up as a diff to review.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "tree/AstDump.hpp"
#include "GoldenSupport.hpp"
#include "front/Grammar.hpp"
#include "front/Lexer.hpp"

namespace {

const std::string dataDir = std::string(VORN_SOURCE_DIR) + "/tests/data/";

using namespace golden;

// The case names (without ".vn") of a data folder.
std::vector<std::string> sourcesIn(const std::string& folder) {
    std::vector<std::string> names = filesIn(dataDir + folder, ".vn");
    for (std::string& name : names) name.erase(name.size() - 3);
    return names;
}

// A test's name for a case: gtest names take no "-".
std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

// Parses one file (named by its path relative to the data folder, so report lines are stable)
// and gives its tree dump and its diagnostics.
void parseFile(const std::string& relative, std::string& tree, std::string& diagnostics) {
    clearDiagnostics();
    std::istringstream input(readFile(dataDir + relative));
    Lexer lexer(input, relative, sourceLexerOptions);
    ModulePtr module = parseModule(lexer, "Test");
    tree = module ? dumpTree(module) : "(no module)\n";
    std::ostringstream out;
    flushDiagnostics(1, out);
    diagnostics = out.str();
}

class GrammarGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(GrammarGolden, TreeMatches) {
    std::string tree, diagnostics;
    parseFile("grammar/" + GetParam() + ".vn", tree, diagnostics);
    EXPECT_EQ(diagnostics, "") << "a file of the valid set reported errors";
    checkOrRegenerate(dataDir + "grammar/" + GetParam() + ".tree", tree);
}

INSTANTIATE_TEST_SUITE_P(Files, GrammarGolden, ::testing::ValuesIn(sourcesIn("grammar")),
                         testName);

class GrammarErrorGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(GrammarErrorGolden, DiagnosticsAndTreeMatch) {
    std::string tree, diagnostics;
    parseFile("grammar-errors/" + GetParam() + ".vn", tree, diagnostics);
    EXPECT_NE(diagnostics, "") << "a file of the error set parsed cleanly";
    checkOrRegenerate(dataDir + "grammar-errors/" + GetParam() + ".diag", diagnostics);
    checkOrRegenerate(dataDir + "grammar-errors/" + GetParam() + ".tree", tree);
}

INSTANTIATE_TEST_SUITE_P(Files, GrammarErrorGolden, ::testing::ValuesIn(sourcesIn("grammar-errors")),
                         testName);

TEST(GrammarGoldenFolders, AreNotEmpty) {
    EXPECT_FALSE(sourcesIn("grammar").empty());
    EXPECT_FALSE(sourcesIn("grammar-errors").empty());
}

}  // namespace
