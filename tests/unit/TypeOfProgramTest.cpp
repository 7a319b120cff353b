// Whole programs through name lookup and type inference, translated by the build manager as
// the vorn binary translates them, compared with tests/data/cpp/inference/<case>/, then
// compiled with g++ and run.
// Regenerate with: VORN_REGENERATE=1 build/tests/vorn_unit_tests --gtest_filter='TypeOfProgram*'
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "driver/BuildManager.hpp"
#include "GoldenSupport.hpp"
#include "base/ModuleName.hpp"
#include "base/RunOptions.hpp"

namespace {

using namespace golden;

std::string caseDirectory(const std::string& label) {
    return std::string(VORN_SOURCE_DIR) + "/tests/data/cpp/inference/" + label + "/";
}

class TypeOfProgramTest : public ::testing::Test {
protected:
    void SetUp() override { runOptions.vornDir = std::string(VORN_SOURCE_DIR) + "/"; }

    // Translates every ".vn" file of the case (copied into a fresh base directory), compares
    // the C++ with the case's files, compiles the implementation files with g++, runs the
    // program and compares its output.
    void translateAndRun(const std::string& label) {
        const std::string base = freshDirectory("inference");
        ASSERT_FALSE(base.empty());
        std::string reported;
        ASSERT_TRUE(translateCopiedSources(caseDirectory(label), base, build, reported)) << reported;
        EXPECT_EQ(reported, "") << "the translation reported something";
        std::vector<std::string> sources;
        for (const ModuleName& name : build.converted) {
            for (const char* extension : {"hpp2", "hpp", "cpp"})
                checkOrRegenerate(caseDirectory(label) + dottedName(name) + "." + extension,
                                  replaceAll(readFile(outputPath(name, extension)), baseDirectory, ""));
            sources.push_back(outputPath(name, "cpp"));
        }
        compileAndRun(sources, baseDirectory, baseDirectory + label, caseDirectory(label) + "output.txt", {"g++"});
    }

    BuildManager build;
};

TEST_F(TypeOfProgramTest, VariablesOfEveryInferableKind) { translateAndRun("variables"); }

TEST_F(TypeOfProgramTest, LoopsOverRangesVectorsAndMaps) {
    translateAndRun("loops");
    // Several vector and map types, one include line each.
    const std::string header = readFile(outputPath(*build.converted.begin(), "hpp"));
    auto count = [&](const std::string& text) {
        size_t n = 0;
        for (size_t at = header.find(text); at != std::string::npos; at = header.find(text, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("#include <vector>"), 1u);
    EXPECT_EQ(count("#include <map>"), 1u);
}

TEST_F(TypeOfProgramTest, MembersThroughBasesAndNamesFromImports) { translateAndRun("imports"); }

}  // namespace
