// The one place the unit tests reset what vorn keeps process-wide on purpose (options, the
// directories names start from, diagnostics, the fresh-name counter, the parse state, the file
// caches of a run): before each test, so that no test sees another's leftovers whatever order
// they run in. Build state needs no reset: each test makes its own BuildManager.
#include <gtest/gtest.h>

#include "back/LibBackEnd.hpp"
#include "base/Diagnostics.hpp"
#include "base/ModuleName.hpp"
#include "base/RunOptions.hpp"
#include "driver/CompilerConfig.hpp"
#include "front/HeaderCache.hpp"
#include "front/Parser.hpp"
#include "tree/Ast.hpp"

namespace {

class FreshProcessState : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        runOptions = RunOptions();
        precompiledHeaderLine.clear();
        compilerConfiguration = CompilerConfiguration();
        baseDirectory.clear();
        outputDirectory.clear();
        reportFormat = ReportFormat();
        reportCollector = nullptr;
        verboseIndent = 0;
        clearDiagnostics();
        resetUniqueNames();
        resetParseState();
        forgetModuleRoots();
        forgetDeclarationsDigests();
        forgetReadHeaders();
    }
};

// Appended before main runs the tests; the listener list owns it.
[[maybe_unused]] const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshProcessState);
    return true;
}();

}  // namespace
