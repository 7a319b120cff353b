// Fuzz target for compiler configuration scripts: takes arbitrary bytes as a script, reads it
// into a fresh configuration record and expands each of its four templates, with and without
// option words and visited modules. Errors the reader or the expander throws are fine; a crash,
// a hang, a leak or any other exception is a finding.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include <boost/lexical_cast.hpp>

#include "BuildManager.hpp"
#include "CompilerConfig.hpp"
#include "Diagnostics.hpp"
#include "Driver.hpp"

namespace {

void expandQuietly(const std::string& text) {
    try {
        expandTemplate(text);
    } catch (const CompileError&) {
    }
}

void setUpRun(bool withOptionsAndModules) {
    runOptions.vornDir = "/opt/vorn/";
    runOptions.compilerOptions = "-O2";
    runOptions.linkerOptions = "-lm";
    runOptions.scriptOptions.clear();
    visited.clear();
    currentModule = ModuleName();
    if (!withOptionsAndModules) return;
    runOptions.scriptOptions.insert("debug");
    runOptions.scriptOptions.insert("windows");
    for (const char* path : {"main.vn", "util/strings.vn"}) visited.insert(parseModuleName(path, false, true));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string script(reinterpret_cast<const char*>(data), size);
    CompilerConfiguration configuration;
    try {
        std::istringstream in(script);
        readCompilerConfiguration(in, configuration);
    } catch (const boost::bad_lexical_cast&) {
        return 0;  // a success code that is not an integer: the run ends with that text
    }
    for (bool full : {false, true}) {
        setUpRun(full);
        expandQuietly(configuration.compileTemplate);
        expandQuietly(configuration.linkTemplate);
        expandQuietly(configuration.compileFileTemplate);
        expandQuietly(configuration.linkFileTemplate);
    }
    // The whole input as one template too, so line ends and '=' signs reach the expander.
    expandQuietly(script);
    clearDiagnostics();
    return 0;
}
