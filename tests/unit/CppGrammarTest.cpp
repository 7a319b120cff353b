// The C++ declaration grammar: each tests/data/cpp-grammar/*.h is read through the preprocessor
// and the grammar, and its tree dump (without positions, which hold the machine's paths)
// compared with the checked-in .tree beside it (VORN_REGENERATE=1 rewrites them). Installed
// system headers must parse without a syntax error.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "AstDump.hpp"
#include "CppFrontEnd.hpp"
#include "Diagnostics.hpp"
#include "GoldenSupport.hpp"

namespace {

const std::string dataDir = std::string(VORN_SOURCE_DIR) + "/tests/data/cpp-grammar/";

using namespace golden;

std::string diagnosticsText() {
    std::ostringstream out;
    flushDiagnostics(1, out);
    return out.str();
}

std::vector<std::string> headers() {
    std::vector<std::string> names = filesIn(dataDir, ".h");
    for (std::string& name : names) name.erase(name.size() - 2);
    return names;
}

class CppGrammarGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(CppGrammarGolden, TreeMatches) {
    clearDiagnostics();
    ModulePtr module = CppFrontEnd().loadHeader(dataDir + GetParam() + ".h", "Test");
    ASSERT_TRUE(module);
    EXPECT_EQ(diagnosticsText(), "");
    EXPECT_TRUE(module->complete);
    checkOrRegenerate(dataDir + GetParam() + ".tree", dumpTree(module, false));
}

INSTANTIATE_TEST_SUITE_P(Files, CppGrammarGolden, ::testing::ValuesIn(headers()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(CppGrammar, ReportsABadDeclarationAndGoesOn) {
    clearDiagnostics();
    std::string path = testing::TempDir() + "vorn-bad.h";
    writeFile(path, "int f(;\nint g(void);\n");
    ModulePtr module = CppFrontEnd().loadHeader(path, "Bad");
    ASSERT_TRUE(module);
    EXPECT_NE(diagnosticsText(), "");
    ASSERT_EQ(module->block->statements.size(), 1u);
    EXPECT_EQ(boost::dynamic_pointer_cast<Declaration>(module->block->statements.front())->name, "g");
}

// Real headers hold what the table does not: attributes, __extension__, __restrict, asm
// labels, static inline bodies, anonymous unions. Parsed as g++ would see them.
TEST(CppGrammar, ParsesInstalledZlibHeader) {
    const std::string path = "/usr/include/zlib.h";
    if (!fileExists(path)) GTEST_SKIP() << "zlib.h is not installed";
    PreProcessorSettings settings;
    settings.system = platform::askCompilerPreprocessor("g++ -std=c++17");
    clearDiagnostics();
    ModulePtr module = CppFrontEnd().loadHeader(path, "zlib", settings);
    ASSERT_TRUE(module);
    EXPECT_EQ(diagnosticsText(), "");
    bool found = false;
    for (const StatementPtr& s : module->block->statements) {
        FunctionDeclarationPtr f = boost::dynamic_pointer_cast<FunctionDeclaration>(s);
        if (f && f->name == "zlibVersion") found = f->arguments.empty();
    }
    EXPECT_TRUE(found) << "zlibVersion(void) was not declared";
}

}  // namespace
