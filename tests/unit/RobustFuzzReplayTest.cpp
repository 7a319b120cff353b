// Every ordinary test run (the sanitizer run among them) replays each fuzz target's seeds
// (fuzz/corpus/TARGET, and the test inputs fuzz/corpus/TARGET.list names) and the inputs of its
// past findings (tests/data/robust/TARGET), so a fixed crash, hang or leak that comes back fails
// here, not only under a fuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../fuzz/FuzzTargets.hpp"

namespace fs = std::filesystem;

namespace {

std::string contentsOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> inputsOf(const std::string& target) {
    const fs::path root(VORN_SOURCE_DIR);
    std::vector<std::string> inputs;
    for (const fs::path& dir : {root / "fuzz" / "corpus" / target, root / "tests" / "data" / "robust" / target}) {
        if (!fs::is_directory(dir)) continue;
        for (const fs::directory_entry& entry : fs::directory_iterator(dir)) inputs.push_back(contentsOf(entry.path()));
    }
    // The seeds that are test inputs too, named in fuzz/corpus/TARGET.list.
    std::ifstream list(root / "fuzz" / "corpus" / (target + ".list"));
    for (std::string line; std::getline(list, line);) {
        if (line.empty() || line[0] == '#') continue;
        EXPECT_TRUE(fs::is_regular_file(root / line)) << target << ".list names " << line;
        inputs.push_back(contentsOf(root / line));
    }
    return inputs;
}

const std::uint8_t* bytes(const std::string& input) { return reinterpret_cast<const std::uint8_t*>(input.data()); }

using RobustFuzzReplay = ::testing::Test;

TEST_F(RobustFuzzReplay, LexerInputs) {
    std::vector<std::string> inputs = inputsOf("lexer_fuzz");
    ASSERT_GE(inputs.size(), 20u);
    for (const std::string& input : inputs) {
        if (input.size() < 2) continue;
        fuzzing::LexerInput lexerInput = fuzzing::lexerInput(bytes(input), input.size());
        EXPECT_GE(fuzzing::lexAll(lexerInput), 1u);
    }
}

TEST_F(RobustFuzzReplay, ScriptInputs) {
    std::vector<std::string> inputs = inputsOf("config_fuzz");
    ASSERT_GE(inputs.size(), 5u);
    for (const std::string& input : inputs) {
        fuzzing::ScriptOutcome outcome = fuzzing::readAndExpandScript(bytes(input), input.size());
        // Read scripts have all nine expansions end one way or the other.
        if (outcome.read) {
            EXPECT_EQ(outcome.expanded + outcome.refused, 9);
        }
    }
}

TEST_F(RobustFuzzReplay, ParseInputs) {
    std::vector<std::string> inputs = inputsOf("parse_fuzz");
    ASSERT_GE(inputs.size(), 20u);
    size_t modules = 0;
    for (const std::string& input : inputs) modules += fuzzing::parseAll(bytes(input), input.size());
    EXPECT_GT(modules, 0u);
}

TEST_F(RobustFuzzReplay, LibraryInputs) {
    std::vector<std::string> inputs = inputsOf("lib_fuzz");
    ASSERT_GE(inputs.size(), 5u);
    for (const std::string& input : inputs) {
        // A class or a function writes records back, unless records only libraries have
        // ("tal", "dal") made the writer refuse the module.
        auto has = [&input](const char* keyword) { return input.find(keyword) != std::string::npos; };
        bool declares = (has("cls ") || has("fun ")) && !has("tal ") && !has("dal ");
        if (declares) {
            EXPECT_GT(fuzzing::readAndRewriteLibrary(bytes(input), input.size()), 0u);
        } else {
            fuzzing::readAndRewriteLibrary(bytes(input), input.size());
        }
    }
}

TEST_F(RobustFuzzReplay, MacroInputs) {
    std::vector<std::string> inputs = inputsOf("macro_fuzz");
    ASSERT_GE(inputs.size(), 5u);
    size_t clean = 0, refused = 0;
    for (const std::string& input : inputs) {
        fuzzing::MacroOutcome outcome = fuzzing::expandMacrosOf(bytes(input), input.size());
        if (outcome.parsed && !outcome.internal && outcome.diagnostics == 0) ++clean;
        if (outcome.parsed && !outcome.internal && outcome.diagnostics > 0) ++refused;
        EXPECT_FALSE(outcome.internal) << input;
    }
    // The seeds hold programs that expand cleanly and bodies the interpreter refuses, each
    // refusal an error of the user's.
    EXPECT_GT(clean, 0u);
    EXPECT_GT(refused, 0u);
}

TEST_F(RobustFuzzReplay, PreprocessorInputs) {
    std::vector<std::string> inputs = inputsOf("pp_fuzz");
    ASSERT_GE(inputs.size(), 10u);
    size_t completed = 0, failed = 0;
    for (const std::string& input : inputs) {
        fuzzing::PreprocessOutcome outcome = fuzzing::preprocess(bytes(input), input.size());
        (outcome.completed ? completed : failed) += 1;
    }
    // The seeds hold headers that come through and ones that end the load (runaway macros,
    // includes of themselves, deep conditions).
    EXPECT_GT(completed, 0u);
    EXPECT_GT(failed, 0u);
}

TEST_F(RobustFuzzReplay, HeaderGrammarInputs) {
    std::vector<std::string> inputs = inputsOf("cpp_fuzz");
    ASSERT_GE(inputs.size(), 5u);
    size_t clean = 0, reported = 0;
    for (const std::string& input : inputs) {
        fuzzing::HeaderOutcome outcome = fuzzing::parseHeader(bytes(input), input.size());
        if (outcome.parsed && outcome.diagnostics == 0) ++clean;
        if (outcome.diagnostics > 0) ++reported;
    }
    // The seeds hold headers that read cleanly and declarations the grammar reports.
    EXPECT_GT(clean, 0u);
    EXPECT_GT(reported, 0u);
}

TEST_F(RobustFuzzReplay, ResponseFileInputs) {
    std::vector<std::string> inputs = inputsOf("response_fuzz");
    ASSERT_GE(inputs.size(), 5u);
    size_t cut = 0, whole = 0;
    for (const std::string& input : inputs) {
        fuzzing::ResponseOutcome outcome = fuzzing::splitResponseFile(bytes(input), input.size());
        if (outcome.cut) ++cut;
        if (!outcome.cut && outcome.words > 0) ++whole;
    }
    // The seeds hold files whose quotes close and one that ends inside a quoted word.
    EXPECT_GT(cut, 0u);
    EXPECT_GT(whole, 0u);
}

TEST_F(RobustFuzzReplay, IncludeInterfaceInputs) {
    std::vector<std::string> inputs = inputsOf("vni_fuzz");
    ASSERT_GE(inputs.size(), 5u);
    size_t loaded = 0, failed = 0;
    for (const std::string& input : inputs) {
        fuzzing::InterfaceOutcome outcome = fuzzing::loadInterface(bytes(input), input.size());
        if (outcome.loaded) {
            ++loaded;
            // A header found and the built-in library.
            EXPECT_GE(outcome.headers, 2u);
            EXPECT_EQ(outcome.reported, 0u);
        } else {
            ++failed;
            EXPECT_GT(outcome.reported, 0u);
        }
    }
    EXPECT_GT(loaded, 0u);
    EXPECT_GT(failed, 0u);
}

// The check the translating targets make on what a run reported, against the report lines
// of real internal errors.
TEST(FuzzReportCheck, FindsOnlyInternalErrorsWithoutAPlace) {
    auto reported = [](const SourceLocation& at, const std::string& message) {
        CompileError error = VORN_INTERNAL_ERROR("src/Fuzz", message);
        error.position = at;
        std::ostringstream out;
        report(CompileError("Unrecognized line: 'x : error : INTERNAL COMPILER ERROR'", at), out);
        report(error, out);
        return out.str();
    };
    const std::string* file = internFileName("fuzz.vn");
    EXPECT_FALSE(fuzzing::hasUnpositionedInternalError(reported(SourceLocation(file, 3, 4), "a")));
    EXPECT_TRUE(fuzzing::hasUnpositionedInternalError(reported(SourceLocation(), "b")));
    EXPECT_TRUE(fuzzing::hasUnpositionedInternalError(reported(SourceLocation(file, -1, -1), "c")));
}

TEST_F(RobustFuzzReplay, TranslationInputs) {
    std::vector<std::string> inputs = inputsOf("passes_fuzz");
    ASSERT_GE(inputs.size(), 5u);
    size_t built = 0;
    for (const std::string& input : inputs) {
        fuzzing::TranslationOutcome outcome = fuzzing::translateProgram(bytes(input), input.size());
        built += outcome.built;
        // A translation that fails says why.
        if (outcome.parsed && !outcome.built) {
            EXPECT_GT(outcome.reported, 0u);
        }
    }
    // The seeds are working programs; past findings may be ones that fail.
    EXPECT_GT(built, 0u);
}

}  // namespace
