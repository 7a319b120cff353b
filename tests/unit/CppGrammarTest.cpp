// The C++ declaration grammar: each tests/data/cpp-grammar/*.h is read through the preprocessor
// and the grammar, and its tree dump (without positions, which hold the machine's paths)
// compared with the checked-in .tree beside it (VORN_REGENERATE=1 rewrites them). Installed
// system headers must parse without a syntax error.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "tree/AstDump.hpp"
#include "front/CppFrontEnd.hpp"
#include "base/Diagnostics.hpp"
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

// C's type words in any order name one type; combinations C rejects are syntax errors.
TEST(CppGrammar, ReadsTypeWordsInAnyOrder) {
    const struct {
        const char* words;
        const char* name;  // empty: an error
    } rows[] = {
        {"unsigned long", "ULong"},       {"unsigned", "UInt"},           {"unsigned char", "UChar"},
        {"signed", "Int"},                {"signed char", "Char"},        {"short int", "Short"},
        {"long int", "Long"},             {"long unsigned int", "ULong"}, {"int unsigned short", "UShort"},
        {"long long", "LongLong"},        {"long int long unsigned", "ULongLong"},
        {"long double", "LongDouble"},    {"double", "double"},           {"short long", ""},
        {"long long long", ""},           {"unsigned signed", ""},        {"char int", ""},
        {"unsigned double", ""},
    };
    std::string path = testing::TempDir() + "vorn-words.h";
    for (const auto& row : rows) {
        writeFile(path, std::string(row.words) + " v;\n");
        clearDiagnostics();
        ModulePtr module = CppFrontEnd().loadHeader(path, "Words");
        ASSERT_TRUE(module) << row.words;
        std::string errors = diagnosticsText();
        if (!*row.name) {
            EXPECT_NE(errors, "") << row.words;
            continue;
        }
        EXPECT_EQ(errors, "") << row.words;
        ASSERT_EQ(module->block->statements.size(), 1u) << row.words;
        VariableDeclarationPtr v = boost::dynamic_pointer_cast<VariableDeclaration>(module->block->statements.front());
        ASSERT_TRUE(v) << row.words;
        boost::shared_ptr<SimpleTypeExpr> type = boost::dynamic_pointer_cast<SimpleTypeExpr>(v->type);
        ASSERT_TRUE(type) << row.words;
        EXPECT_EQ(type->name, row.name) << row.words;
    }
}

// Bad input gives errors, never a crash: each of these nests far deeper than the stack allows
// a descent parser to follow.
TEST(CppGrammar, DeepNestingIsAnErrorNotACrash) {
    auto repeat = [](const std::string& piece, int times) {
        std::string text;
        for (int i = 0; i < times; ++i) text += piece;
        return text;
    };
    const std::string headers[] = {
        "int " + repeat("(*", 5000) + "f;\n",
        "int a = " + repeat("{", 5000) + ";\n",
        repeat("extern \"C\" {", 5000) + "\n",
        repeat("struct S {", 5000) + "\n",
        "int f() { return " + repeat("(", 5000) + "1; }\n",
        "void f() " + repeat("{ if (1) ", 5000) + "\n",
        "typedef " + repeat("const ", 5000) + "int t;\n",
    };
    std::string path = testing::TempDir() + "vorn-deep.h";
    for (const std::string& text : headers) {
        writeFile(path, text);
        clearDiagnostics();
        CppFrontEnd().loadHeader(path, "Deep");
        EXPECT_NE(diagnosticsText(), "") << text.substr(0, 40);
    }
}

// Real headers hold what the table does not: attributes, __extension__, __restrict, asm
// labels, static inline bodies, anonymous unions, nested function pointers. Parsed as g++
// would see them; each must declare the function named beside it.
TEST(CppGrammar, ParsesInstalledLibraryHeaders) {
    const struct {
        const char* path;
        const char* function;
    } headers[] = {
        {"/usr/include/zlib.h", "zlibVersion"},
        {"/usr/include/sqlite3.h", "sqlite3_libversion"},
        {"/usr/include/cjson/cJSON.h", "cJSON_Version"},
    };
    PreProcessorSettings settings;
    settings.system = platform::askCompilerPreprocessor("g++ -std=c++17");
#ifdef _WIN32
    // These are the host's headers, and only the host's g++ knows their search list.
    if (!settings.system.found) GTEST_SKIP() << "no g++ to ask";
#endif
    int parsed = 0;
    for (const auto& header : headers) {
        if (!fileExists(header.path)) continue;
        clearDiagnostics();
        ModulePtr module = CppFrontEnd().loadHeader(header.path, "lib", settings);
        ASSERT_TRUE(module) << header.path;
        EXPECT_EQ(diagnosticsText(), "") << header.path;
        bool found = false;
        for (const StatementPtr& s : module->block->statements) {
            FunctionDeclarationPtr f = boost::dynamic_pointer_cast<FunctionDeclaration>(s);
            if (f && f->name == header.function) found = f->arguments.empty();
        }
        EXPECT_TRUE(found) << header.function << "(void) was not declared by " << header.path;
        ++parsed;
    }
    if (parsed == 0) GTEST_SKIP() << "none of the library headers is installed";
}

// The C library's own headers, with every header they include read as well (bit fields for
// padding, "long unsigned int", function type typedefs, _Complex, inline namespaces).
TEST(CppGrammar, ParsesSystemHeadersWithWhatTheyInclude) {
    const char* headers[] = {"stdio.h", "stdlib.h", "string.h", "math.h", "time.h",  "signal.h",
                             "unistd.h", "pthread.h", "wchar.h", "complex.h", "printf.h", "glob.h"};
    PreProcessorSettings settings;
    settings.system = platform::askCompilerPreprocessor("g++ -std=c++17");
#ifdef _WIN32
    // These are the host's headers, and only the host's g++ knows their search list.
    if (!settings.system.found) GTEST_SKIP() << "no g++ to ask";
#endif
    settings.keepIncludedTokens = true;
    for (const char* header : headers) {
        std::string path = std::string("/usr/include/") + header;
        if (!fileExists(path)) continue;
        clearDiagnostics();
        ModulePtr module = CppFrontEnd().loadHeader(path, "sys", settings);
        ASSERT_TRUE(module) << path;
        EXPECT_EQ(diagnosticsText(), "") << path;
    }
}

}  // namespace
