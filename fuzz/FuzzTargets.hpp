// What each fuzz target does with one input, shared by the libFuzzer programs in fuzz/ and by
// the unit test that replays their seeds and past findings in every ordinary test run.
// Takes raw bytes; gives a short summary of what the reader made of them. Errors the reader
// reports are expected results; a reader that stops making progress traps, so a hang is loud.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <boost/lexical_cast.hpp>

#include "driver/BuildManager.hpp"
#include "driver/CompilerConfig.hpp"
#include "base/Diagnostics.hpp"
#include "front/CppFrontEnd.hpp"
#include "driver/Driver.hpp"
#include "front/Grammar.hpp"
#include "front/Lexer.hpp"
#include "back/LibBackEnd.hpp"
#include "front/LibFrontEnd.hpp"
#include "sema/MacroExpander.hpp"
#include "tree/ParentFinder.hpp"
#include "front/PreProcessor.hpp"
#include "base/RunOptions.hpp"
#include "driver/VisualCppEmulation.hpp"
#include "platform/Platform.hpp"
#include "../tests/support/PortableSupport.hpp"

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

inline void expandInto(const std::string& text, TemplateContext& context, ScriptOutcome& outcome) {
    try {
        expandTemplate(text, context);
        ++outcome.expanded;
    } catch (const CompileError&) {
        ++outcome.refused;
    }
}

// The values templates read; with `full`, option words and two visited modules.
inline TemplateContext setUpScriptRun(bool full) {
    runOptions.vornDir = "/opt/vorn/";
    runOptions.compilerOptions = "-O2";
    runOptions.linkerOptions = "-lm";
    runOptions.scriptOptions.clear();
    TemplateContext context;
    context.temporaryFile = full ? "/tmp/vorn-link.rsp" : "";
    if (!full) return context;
    runOptions.scriptOptions.insert("debug");
    runOptions.scriptOptions.insert("windows");
    for (const char* path : {"main.vn", "util/strings.vn"}) context.modules.insert(parseModuleName(path, false, true));
    return context;
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
    TemplateContext context;
    for (bool full : {false, true}) {
        context = setUpScriptRun(full);
        expandInto(configuration.compileTemplate, context, outcome);
        expandInto(configuration.linkTemplate, context, outcome);
        expandInto(configuration.compileFileTemplate, context, outcome);
        expandInto(configuration.linkFileTemplate, context, outcome);
    }
    expandInto(script, context, outcome);
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

// A folder of the process's own under the temporary directory, removed with what it holds
// when the process ends. path ends in "/".
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& label) {
        path = portable::uniqueDirectory(platform::temporaryDirectory() + "/vorn-" + label + "-") + "/";
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Outputs of the input before would pass for up to date, or be found by an import.
    void empty() const {
        for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(path))
            std::filesystem::remove_all(entry.path());
    }
    void write(const std::string& relative, const std::string& text) const {
        std::filesystem::create_directories(std::filesystem::path(path + relative).parent_path());
        std::ofstream out(path + relative, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }

    std::string path;
};

// Every piece of process-wide state a translation reads or leaves, as a fresh run has it, with
// the built-in library taken from the source tree; the build itself is the caller's own.
inline void startFreshRun() {
    runOptions = RunOptions();
    runOptions.vornDir = std::string(VORN_SOURCE_DIR) + "/";
    precompiledHeaderLine.clear();
    baseDirectory.clear();
    outputDirectory.clear();
    resetUniqueNames();
    compilerConfiguration = CompilerConfiguration();
    clearDiagnostics();
}

// Holds what goes to standard output and error while it lives: report lines are the result
// to look at, and macros' debug_print lines are noise.
class CapturedOutput {
public:
    CapturedOutput() : savedOut(std::cout.rdbuf(discarded.rdbuf())), savedErr(std::cerr.rdbuf(reported.rdbuf())) {}
    ~CapturedOutput() {
        std::cout.rdbuf(savedOut);
        std::cerr.rdbuf(savedErr);
    }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;
    std::string errors() const { return reported.str(); }

private:
    std::ostringstream discarded, reported;
    std::streambuf* savedOut;
    std::streambuf* savedErr;
};

// Whether the report holds an internal error without "file(line,column)" before it. Its
// report is three lines: "PLACE : error : INTERNAL COMPILER ERROR", the message, and "ERROR
// ON" with the translator's source; a user's text quoted in a message (an unrecognized line
// holding those words) is none of these.
inline bool hasUnpositionedInternalError(const std::string& reported) {
    const std::string marker = " : error : INTERNAL COMPILER ERROR";
    std::vector<std::string> lines;
    std::istringstream in(reported);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    static const std::regex positioned(R"(.+\([0-9]+,-?[0-9]+\))");
    for (std::size_t i = 0; i + 2 < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.size() < marker.size() || line.compare(line.size() - marker.size(), marker.size(), marker) != 0)
            continue;
        if (lines[i + 2].compare(0, 15, "      ERROR ON ") != 0) continue;
        if (!std::regex_match(line.substr(0, line.size() - marker.size()), positioned)) return true;
    }
    return false;
}

// Traps on an exception out of a load or a translation that is a fault: the driver prints only
// an escaping error's text, so an internal error that gets out has lost its position, and an
// exception of the library (an index out of range, a failed allocation) is never a report.
inline void trapOnEscapedFault(const std::exception_ptr& escaped) {
    try {
        std::rethrow_exception(escaped);
    } catch (const CompileError& error) {
        if (error.severity == SeverityInternal) __builtin_trap();
    } catch (...) {
        __builtin_trap();
    }
}

// What splitting a response file came to.
struct ResponseOutcome {
    std::size_t words = 0;
    bool cut = false;  // a quoted word ran to the end of the text
};

inline std::string writtenBack(const std::vector<ResponseToken>& tokens) {
    std::string text;
    for (const ResponseToken& token : tokens) {
        if (!text.empty()) text += ' ';
        text += token.quoted ? "\"" + token.text + "\"" : token.text;
    }
    return text;
}

// Splits the bytes as a cl.exe response file, then splits the words written back as the
// emulation passes them on (quoted ones in their quotes, one blank between): that must give
// the same words, none cut. A word that is neither quoted nor holds a quote has no blank and
// is not empty; the words never hold more characters than the text.
inline ResponseOutcome splitResponseFile(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ResponseOutcome outcome;
    const std::vector<ResponseToken> tokens = tokenizeResponseFile(text, &outcome.cut);
    outcome.words = tokens.size();
    std::size_t characters = 0;
    for (const ResponseToken& token : tokens) {
        characters += token.text.size();
        const bool plain = !token.quoted && token.text.find('"') == std::string::npos;
        if (plain && (token.text.empty() || token.text.find_first_of(" \t\r\n") != std::string::npos))
            __builtin_trap();
    }
    if (characters > size) __builtin_trap();
    // A list cut short is refused whole; only one that ends right is passed on and read again.
    if (outcome.cut) return outcome;
    bool cutAgain = false;
    if (tokenizeResponseFile(writtenBack(tokens), &cutAgain) != tokens || cutAgain) __builtin_trap();
    return outcome;
}

// What loading an include interface file came to.
struct InterfaceOutcome {
    bool loaded = false;       // the module and every header it names came in
    std::size_t headers = 0;   // imports of the loaded module, the built-in library's included
    std::size_t reported = 0;  // characters of report lines
};

// The folder the interface file is written to, with headers for its "include =" lines to
// find: a C header with macros and a guarded declaration, and a C++ header in a subfolder
// with a namespace, accessors and an include of the first.
inline const ScratchFolder& interfaceFolder() {
    static const ScratchFolder folder("vni");
    static const bool written = [] {
        folder.write("widgets.h",
                   "#ifndef WIDGETS_H\n#define WIDGETS_H\n#define WG_LIMIT 10\n#define WG_TWICE(x) ((x) * 2)\n"
                   "enum Colour { red, green, blue };\nstruct wg_point { int x; int y; };\n"
                   "typedef struct wg_point wg_Point;\nint wg_area(int width, int height);\n"
                   "#ifdef WG_EXTRAS\nint wg_extra(void);\n#endif\n#endif\n");
        folder.write("sub/shapes.hpp",
                   "#pragma once\n#include \"../widgets.h\"\nnamespace geo {\nenum class Unit { Metre, Foot };\n"
                   "class Counter {\npublic:\n    explicit Counter(int start = 0) : value(start) {}\n"
                   "    int get_count() const { return value; }\n    void set_count(int v) { value = v; }\n"
                   "private:\n    int value;\n};\ninline int twice(int n) { return WG_TWICE(n); }\n}\n");
        folder.write("sub/small.h", "#define SMALL_ONE 1\nint small_value(void);\n");
        return true;
    }();
    (void)written;
    return folder;
}

// Writes the bytes as Fuzz.vni beside the headers above and loads it through the build
// manager, which hands it to the include front end, finds the headers its lines name and
// imports them. Errors are results; a crash, a hang, an internal error without a position or
// an exception out of the load is a finding.
inline InterfaceOutcome loadInterface(const std::uint8_t* data, std::size_t size) {
    const ScratchFolder& folder = interfaceFolder();
    startFreshRun();
    folder.write("Fuzz.vni", std::string(reinterpret_cast<const char*>(data), size));
    InterfaceOutcome outcome;
    {
        CapturedOutput output;
        try {
            BuildManager build;
            ModulePtr module = build.loadModule(parseModuleName(folder.path + "Fuzz.vni", true, true), false);
            outcome.loaded = module != nullptr && queuedDiagnostics().empty();
            if (module) outcome.headers = module->imports.size();
        } catch (...) {
            trapOnEscapedFault(std::current_exception());
        }
        flushDiagnostics(1);
        if (hasUnpositionedInternalError(output.errors())) __builtin_trap();
        outcome.reported = output.errors().size();
    }
    startFreshRun();
    return outcome;
}

// What translating a module came to.
struct TranslationOutcome {
    bool parsed = false;  // false: a syntax error (the passes never ran)
    bool built = false;   // the build manager wrote the module
    std::size_t reported = 0;
};

// Parses the bytes as a ".vn" module; when that succeeds, writes them as fuzz.vn in a folder
// of their own and translates it as the vorn binary does: name lookup, type inference,
// lowering and the C++ back end, with the built-in library. Positioned errors are results; an
// internal error with no file and line, or an exception out of the build, is a finding.
inline TranslationOutcome translateProgram(const std::uint8_t* data, std::size_t size) {
    TranslationOutcome outcome;
    if (!parseAll(data, size)) return outcome;
    outcome.parsed = true;
    static const ScratchFolder folder("passes");
    startFreshRun();
    folder.empty();
    folder.write("fuzz.vn", std::string(reinterpret_cast<const char*>(data), size));
    {
        CapturedOutput output;
        try {
            BuildManager build;
            build.pushWork(parseModuleName(folder.path + "fuzz.vn", true, true));
            outcome.built = build.buildAll();
        } catch (...) {
            trapOnEscapedFault(std::current_exception());
        }
        flushDiagnostics(1);
        if (hasUnpositionedInternalError(output.errors())) __builtin_trap();
        outcome.reported = output.errors().size();
    }
    startFreshRun();
    return outcome;
}

}  // namespace fuzzing
