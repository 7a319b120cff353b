// Golden files of the source grammar: each tests/data/grammar/*.vn is parsed and its tree dump
// compared with the checked-in .tree beside it; each tests/data/grammar-errors/*.vn also has
// its diagnostics compared with the checked-in .diag. VORN_REGENERATE=1 rewrites the expected
// files instead, so a changed expectation shows up as a diff to review.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>

#include "AstDump.hpp"
#include "Grammar.hpp"
#include "Lexer.hpp"

namespace {

const std::string dataDir = std::string(VORN_SOURCE_DIR) + "/tests/data/";

std::vector<std::string> sourcesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir((dataDir + folder).c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() > 3 && name.compare(name.size() - 3, 3, ".vn") == 0) names.push_back(name.substr(0, name.size() - 3));
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool regenerating() {
    const char* flag = std::getenv("VORN_REGENERATE");
    return flag && std::string(flag) == "1";
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

void checkOrRegenerate(const std::string& path, const std::string& actual) {
    if (regenerating()) {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    std::ifstream probe(path);
    ASSERT_TRUE(probe.good()) << "missing expected file " << path << " (run with VORN_REGENERATE=1)";
    EXPECT_EQ(readFile(path), actual) << "differs from " << path;
}

class GrammarGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(GrammarGolden, TreeMatches) {
    std::string tree, diagnostics;
    parseFile("grammar/" + GetParam() + ".vn", tree, diagnostics);
    EXPECT_EQ(diagnostics, "") << "a file of the valid set reported errors";
    checkOrRegenerate(dataDir + "grammar/" + GetParam() + ".tree", tree);
}

INSTANTIATE_TEST_SUITE_P(Files, GrammarGolden, ::testing::ValuesIn(sourcesIn("grammar")),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

class GrammarErrorGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(GrammarErrorGolden, DiagnosticsAndTreeMatch) {
    std::string tree, diagnostics;
    parseFile("grammar-errors/" + GetParam() + ".vn", tree, diagnostics);
    EXPECT_NE(diagnostics, "") << "a file of the error set parsed cleanly";
    checkOrRegenerate(dataDir + "grammar-errors/" + GetParam() + ".diag", diagnostics);
    checkOrRegenerate(dataDir + "grammar-errors/" + GetParam() + ".tree", tree);
}

INSTANTIATE_TEST_SUITE_P(Files, GrammarErrorGolden, ::testing::ValuesIn(sourcesIn("grammar-errors")),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(GrammarGoldenFolders, AreNotEmpty) {
    EXPECT_FALSE(sourcesIn("grammar").empty());
    EXPECT_FALSE(sourcesIn("grammar-errors").empty());
}

}  // namespace
