// What each fuzz target does with one input, shared by the libFuzzer programs in fuzz/ and by
// the unit test that replays their seeds and past findings in every ordinary test run.
// Takes raw bytes; gives a short summary of what the reader made of them. Errors the reader
// reports are expected results; a reader that stops making progress traps, so a hang is loud.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <boost/lexical_cast.hpp>

#include "BuildManager.hpp"
#include "CompilerConfig.hpp"
#include "Diagnostics.hpp"
#include "CppFrontEnd.hpp"
#include "Driver.hpp"
#include "Grammar.hpp"
#include "Lexer.hpp"
#include "LibBackEnd.hpp"
#include "LibFrontEnd.hpp"
#include "MacroExpander.hpp"
#include "ParentFinder.hpp"
#include "PreProcessor.hpp"
#include "platform/Platform.hpp"

namespace fuzzing {

const LexerOptions allLexerOptionBits = OwnWords | Indentation | SemicolonEndsStatement | NestedComments |
                                        VerbatimRegions | KnownOperatorsOnly | LineSplice | WhitespaceTokens |
                                        CTokens;

// A lexer input: the first two bytes choose the options (every combination of the bits) and a
// small tab size (0 included); the rest is the text.
struct LexerInput {
    LexerOptions options = 0;
    int tabSize = 0;
    std::string text;
};

inline LexerInput lexerInput(const std::uint8_t* data, std::size_t size) {
    LexerInput input;
    if (size < 2) return input;
    input.options = static_cast<LexerOptions>((data[0] | (data[1] << 8)) & allLexerOptionBits);
    // Bits of the second byte that no option uses pick the tab size.
    input.tabSize = (data[1] >> 1) & 0x0f;
    input.text.assign(reinterpret_cast<const char*>(data) + 2, size - 2);
    return input;
}

// Lexes to EndOfFile; returns the number of tokens read.
inline std::size_t lexAll(const LexerInput& input) {
    std::istringstream in(input.text);
    Lexer lexer(in, "fuzz.vn", input.options, input.tabSize);
    // Every byte yields at most a few tokens; far more would mean the lexer stopped progressing.
    std::size_t limit = 16 * input.text.size() + 64;
    std::size_t count = 1;
    for (; !lexer.atEnd(); ++count) {
        if (count > limit) __builtin_trap();
        lexer.advance();
    }
    clearDiagnostics();
    return count;
}

// What reading a script and expanding its templates came to.
struct ScriptOutcome {
    bool read = false;   // false: a success code was not an integer
    int expanded = 0;    // templates that expanded
    int refused = 0;     // templates that failed with their message
};

inline void expandInto(const std::string& text, ScriptOutcome& outcome) {
    try {
        expandTemplate(text);
        ++outcome.expanded;
    } catch (const CompileError&) {
        ++outcome.refused;
    }
}

// The process-wide values templates read; with `full`, option words and two visited modules.
inline void setUpScriptRun(bool full) {
    runOptions.vornDir = "/opt/vorn/";
    runOptions.compilerOptions = "-O2";
    runOptions.linkerOptions = "-lm";
    runOptions.scriptOptions.clear();
    visited.clear();
    currentModule = ModuleName();
    currentTemporaryFile = full ? "/tmp/vorn-link.rsp" : "";
    if (!full) return;
    runOptions.scriptOptions.insert("debug");
    runOptions.scriptOptions.insert("windows");
    for (const char* path : {"main.vn", "util/strings.vn"}) visited.insert(parseModuleName(path, false, true));
}

// Reads the bytes as a script into a fresh record and expands its four templates, with and
// without option words and visited modules, and then the whole text as one template.
inline ScriptOutcome readAndExpandScript(const std::uint8_t* data, std::size_t size) {
    std::string script(reinterpret_cast<const char*>(data), size);
    CompilerConfiguration configuration;
    ScriptOutcome outcome;
    try {
        std::istringstream in(script);
        readCompilerConfiguration(in, configuration);
    } catch (const boost::bad_lexical_cast&) {
        return outcome;
    }
    outcome.read = true;
    for (bool full : {false, true}) {
        setUpScriptRun(full);
        expandInto(configuration.compileTemplate, outcome);
        expandInto(configuration.linkTemplate, outcome);
        expandInto(configuration.compileFileTemplate, outcome);
        expandInto(configuration.linkFileTemplate, outcome);
    }
    expandInto(script, outcome);
    clearDiagnostics();
    return outcome;
}

// Each module a library file describes, written back on its own as the writer would.
inline std::vector<std::string> rewrittenModules(const std::string& text) {
    std::istringstream in(text);
    std::vector<ModulePtr> described;
    readLibraryRecords(in, "Library.Fuzz", described);
    std::vector<std::string> written;
    // The reader links what it builds itself; the parent finder is for parsed trees.
    for (const ModulePtr& module : described) {
        std::ostringstream out;
        writeLibraryRecords(*module, module->name, out);
        written.push_back(out.str());
    }
    return written;
}

// Reads the bytes as a library interface file and writes back each module it describes; then
// reads and writes each written file twice more. The first round may normalise (a second CR
// before a line end, say); after that, writing what was read must give the same text.
// Returns the length of the first written text; 0 when the file held records only library
// files have ("tal", "dal"), which the writer refuses with an internal error by design.
inline std::size_t readAndRewriteLibrary(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> first;
    try {
        first = rewrittenModules(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const CompileError& error) {
        if (error.severity != SeverityInternal) __builtin_trap();
        clearDiagnostics();
        return 0;
    }
    std::size_t length = 0;
    for (const std::string& once : first) {
        length += once.size();
        std::vector<std::string> twice = rewrittenModules(once);
        if (twice.size() != 1) __builtin_trap();
        std::vector<std::string> thrice = rewrittenModules(twice[0]);
        if (thrice.size() != 1 || thrice[0] != twice[0]) __builtin_trap();
    }
    clearDiagnostics();
    return length;
}

// Lexes and parses the bytes as a ".vn" module with the source grammar, and links the tree as
// the source front end does. Returns whether a module came out; syntax errors are results.
inline bool parseAll(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    Lexer lexer(in, "fuzz.vn", sourceLexerOptions);
    buildSourceGrammar();
    ModulePtr module = parseModule(lexer, "fuzz");
    if (module) ParentFinder().linkModule(*module);
    clearDiagnostics();
    return module != nullptr;
}

// What expanding the macro statements of a module came to.
struct MacroOutcome {
    bool parsed = false;
    bool internal = false;          // a construct the interpreter refuses with an internal error
    std::size_t diagnostics = 0;    // errors the expansion queued
};

// Lexes, parses and links the bytes as a ".vn" module, then expands its macro statements as
// module completion does, with the macros' debug_print lines discarded. Errors are results,
// and so are the internal errors that name constructs macro bodies cannot run.
inline MacroOutcome expandMacrosOf(const std::uint8_t* data, std::size_t size) {
    MacroOutcome outcome;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    Lexer lexer(in, "fuzz.vn", sourceLexerOptions);
    buildSourceGrammar();
    ModulePtr module = parseModule(lexer, "fuzz");
    clearDiagnostics();
    if (!module || !module->block) return outcome;
    outcome.parsed = true;
    ParentFinder().linkModule(*module);
    std::ostringstream discarded;
    std::streambuf* standardOutput = std::cout.rdbuf(discarded.rdbuf());
    try {
        expandMacroStatements(*module->block);
    } catch (const CompileError& error) {
        std::cout.rdbuf(standardOutput);
        if (error.severity != SeverityInternal) __builtin_trap();
        outcome.internal = true;
    }
    std::cout.rdbuf(standardOutput);
    outcome.diagnostics = queuedDiagnostics().size();
    clearDiagnostics();
    return outcome;
}

// What preprocessing a header came to.
struct PreprocessOutcome {
    bool completed = false;  // false: a failure ended the load (an error, not a finding)
    std::size_t tokens = 0;
};

// Writes the bytes to a header file of their own (so "#include __FILE__" recurses for real)
// and preprocesses it with a small work limit, with two predefined macros and no system
// headers. Failures are results; only an internal error is a finding.
inline PreprocessOutcome preprocess(const std::uint8_t* data, std::size_t size) {
    static const std::string path = platform::createTemporaryFile();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    PreProcessorSettings settings;
    settings.defines["FUZZ"] = "1";
    settings.defines["SELF"] = "SELF + 1";
    settings.workLimit = 200000;
    PreprocessOutcome outcome;
    try {
        PreProcessor preprocessor(path, cHeaderLexerOptions, settings);
        outcome.completed = true;
        outcome.tokens = preprocessor.size();
    } catch (const CompileError& error) {
        if (error.severity == SeverityInternal) __builtin_trap();
    }
    clearDiagnostics();
    return outcome;
}

// What reading a header with the declaration grammar came to.
struct HeaderOutcome {
    bool preprocessed = false;  // false: the preprocessor ended the load (a result)
    bool parsed = false;        // a module came out
    std::size_t diagnostics = 0;
};

// Preprocesses the bytes as a header (as preprocess() does, with no system headers) and parses
// the tokens with the C++ declaration grammar, then links the tree as the header front end
// does. Syntax errors are results; only an internal error is a finding.
inline HeaderOutcome parseHeader(const std::uint8_t* data, std::size_t size) {
    static const std::string path = platform::createTemporaryFile();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    PreProcessorSettings settings;
    settings.defines["FUZZ"] = "1";
    settings.workLimit = 200000;
    HeaderOutcome outcome;
    try {
        PreProcessor preprocessor(path, cHeaderLexerOptions, settings);
        outcome.preprocessed = true;
        HeaderTokens tokens(preprocessor);
        ModulePtr module = parseCppModule(tokens, "fuzz");
        outcome.parsed = module != nullptr;
        if (module) ParentFinder().linkModule(*module);
    } catch (const CompileError& error) {
        if (error.severity == SeverityInternal) __builtin_trap();
    }
    outcome.diagnostics = queuedDiagnostics().size();
    clearDiagnostics();
    return outcome;
}

}  // namespace fuzzing
