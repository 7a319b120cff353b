// cl.exe emulation: one pass over the response file's words (a table of rules, the first that
// applies decides), the search for modules whose own interface files lie in the output
// directory, the build, the rewritten response file and the tool started on it.
#include "driver/VisualCppEmulation.hpp"

#include <algorithm>

#include <fstream>
#include <set>
#include <sstream>

#include "driver/BuildManager.hpp"
#include "back/CppBackEnd.hpp"
#include "base/Diagnostics.hpp"
#include "front/LibFrontEnd.hpp"
#include "base/ModuleName.hpp"
#include "base/RunOptions.hpp"
#include "platform/Platform.hpp"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool startsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool isAbsolute(const std::string& path) {
    return (!path.empty() && (path[0] == '/' || path[0] == '\\')) || (path.size() > 1 && path[1] == ':');
}

// The directory part of a path, separator included; empty for a bare file name.
std::string directoryOf(const std::string& path) {
    std::string::size_type separator = path.find_last_of("/\\");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

}  // namespace

std::vector<ResponseToken> tokenizeResponseFile(const std::string& text, bool* cut) {
    if (cut) *cut = false;
    std::vector<ResponseToken> tokens;
    std::string::size_type pos = 0;
    for (;;) {
        while (pos < text.size() && isBlank(text[pos])) ++pos;
        if (pos == text.size()) return tokens;
        std::string::size_type end = pos;
        while (end < text.size() && !isBlank(text[end]) && text[end] != '"') ++end;
        ResponseToken token;
        if (end < text.size() && text[end] == '"') {
            std::string::size_type close = text.find('"', end + 1);
            if (end == pos) {
                token.quoted = true;
                if (close == std::string::npos && cut) *cut = true;
                token.text = text.substr(pos + 1, close == std::string::npos ? std::string::npos : close - pos - 1);
            } else {
                // A quote opened inside a word (/Fo"out/) that never closes cuts the list short
                // as much as one that starts a word.
                if (close == std::string::npos && cut) *cut = true;
                token.text = text.substr(pos, close == std::string::npos ? std::string::npos : close + 1 - pos);
            }
            end = close == std::string::npos ? text.size() : close + 1;
        } else {
            token.text = text.substr(pos, end - pos);
        }
        tokens.push_back(token);
        pos = end;
    }
}

namespace {

// The state of one emulation run, and the handlers of the response file's words.
class Emulation {
public:
    Emulation(const std::string& responseFileName, BuildManager& build)
        : responseFileName(responseFileName), build(build) {}

    bool run();

private:
    typedef std::vector<ResponseToken> Tokens;
    // A rule applies to the word at `at`; its handler returns how many words it used.
    struct Rule {
        bool (*applies)(const Tokens& tokens, size_t at);
        size_t (Emulation::*handle)(const Tokens& tokens, size_t at);
    };
    static const Rule rules[];

    static bool isVerbose(const Tokens& t, size_t at) { return t[at].text == "--verbose"; }
    static bool isVerboseLookup(const Tokens& t, size_t at) { return t[at].text == "--verbose-lookup"; }
    static bool isPrecompiledHeader(const Tokens& t, size_t at) {
        return t[at].text == "--precompiled-header" && at + 1 < t.size();
    }
    static bool isOutputOption(const Tokens& t, size_t at) { return startsWith(t[at].text, "/Fo"); }
    static bool isSource(const Tokens& t, size_t at) { return endsWith(t[at].text, ".vn"); }
    static bool isObject(const Tokens& t, size_t at) { return endsWith(t[at].text, ".obj"); }
    static bool isCompiled(const Tokens& t, size_t at) { return t[at].text.find(".c") != std::string::npos; }
    static bool always(const Tokens&, size_t) { return true; }

    size_t verbose(const Tokens&, size_t) {
        runOptions.verbose = true;
        return 1;
    }
    size_t verboseLookup(const Tokens&, size_t) {
        runOptions.verboseLookup = true;
        return 1;
    }
    size_t precompiledHeader(const Tokens& t, size_t at) {
        precompiledHeaderLine = "#include\"" + t[at + 1].text + "\"\n";
        return 2;
    }
    size_t outputOption(const Tokens& t, size_t at);
    size_t source(const Tokens& t, size_t at) {
        ModuleName name = parseModuleName(t[at].text, false, true);
        build.pushWork(name);
        build.toCompile.insert(name);
        return 1;
    }
    size_t object(const Tokens& t, size_t at);
    size_t compiled(const Tokens& t, size_t at) {
        compileMode = true;
        return passOn(t[at]);
    }
    size_t other(const Tokens& t, size_t at) { return passOn(t[at]); }
    size_t passOn(const ResponseToken& token) {
        append(token.quoted ? "\"" + token.text + "\"" : token.text);
        return 1;
    }

    void append(const std::string& text) {
        if (!commandLine.empty()) commandLine += ' ';
        commandLine += text;
    }
    bool readResponseFile(std::string& text);
    void findEarlierOutputs();
    ModulePtr loadOwnInterface(const std::string& path);
    bool writeResponseFile();
    bool startTool();

    std::string responseFileName;
    BuildManager& build;
    std::string commandLine;
    bool compileMode = false;
    bool linkMode = false;
    std::set<std::string> objectNames;
};

const Emulation::Rule Emulation::rules[] = {
    {&Emulation::isVerbose, &Emulation::verbose},
    {&Emulation::isVerboseLookup, &Emulation::verboseLookup},
    {&Emulation::isPrecompiledHeader, &Emulation::precompiledHeader},
    {&Emulation::isOutputOption, &Emulation::outputOption},
    {&Emulation::isSource, &Emulation::source},
    {&Emulation::isObject, &Emulation::object},
    {&Emulation::isCompiled, &Emulation::compiled},
    {&Emulation::always, &Emulation::other},
};

// The output directory comes after the base directory. A value that does not end in a
// separator names an object file, as it does for cl.exe, so its directory is the one meant.
size_t Emulation::outputOption(const Tokens& t, size_t at) {
    std::string value = t[at].text.substr(3);
    if (startsWith(value, "\"")) {
        value.erase(0, 1);
        if (endsWith(value, "\"")) value.pop_back();
    }
    value = directoryOf(platform::hostPath(value));
    outputDirectory = isAbsolute(value) ? value : baseDirectory + value;
    return passOn(t[at]);
}

// A build tool names the object file of "main.vn" main.obj; the compiler made _main.obj of
// _main.cpp. A missing object is looked for under that name in its directory (the current
// one for a bare name), and passed on as named when there is none, for the linker to report.
size_t Emulation::object(const Tokens& t, size_t at) {
    linkMode = true;
    std::string name = platform::hostPath(t[at].text);
    if (!platform::fileExists(name)) {
        std::string directory = directoryOf(name);
        std::string file = name.substr(directory.size());
        for (const std::string& found : platform::listDirectory(directory, "*_" + file)) {
            if (objectNames.count(directory + found)) continue;
            name = directory + found;
            break;
        }
    }
    objectNames.insert(name);
    ResponseToken written = t[at];
    written.text = name;
    return passOn(written);
}

bool Emulation::readResponseFile(std::string& text) {
    std::ifstream in;
    // A directory opens as a stream on some systems and would read as an empty file; a pipe or
    // a device may never end.
    if (platform::isRegularFile(responseFileName)) in.open(responseFileName.c_str(), std::ios::binary);
    if (in.is_open()) {
        std::ostringstream content;
        content << in.rdbuf();
        if (!in.bad()) {
            text = content.str();
            return true;
        }
    }
    // Going on with no words would start the real compiler on nothing.
    report(CompileError("Unable to open file", SourceLocation(internFileName(responseFileName), -1, -1)));
    return false;
}

// A module's own interface file, when it is that module's and newer than its source, stands
// for the module: a module the build tool did not name (it did not change) is compiled again
// when one of its imports changed. The file's "lib" record names the module, since flat
// output names keep only the last component.
ModulePtr Emulation::loadOwnInterface(const std::string& path) {
    std::ifstream in;
    if (platform::isRegularFile(path)) in.open(path.c_str());
    if (!in.is_open()) return ModulePtr();
    std::vector<ModulePtr> described;
    readLibraryRecords(in, dottedName(parseModuleName(path, false, true)), described, path);
    if (described.empty()) return ModulePtr();
    ModulePtr module = described.front();
    ModuleName name = dottedModuleName(module->name);
    if (name.components.empty() || isLibraryName(name) || outputPath(name, "vnl") != path) return ModulePtr();
    // A module named in the response file is translated from its source.
    if (build.toCompile.count(name) || build.moduleRegistry.count(name)) return ModulePtr();
    platform::FileTime source = platform::modificationTime(sourcePath(name, "vn"));
    if (source == 0 || platform::modificationTime(path) < source || CppBackEnd().outputTime(name) < source)
        return ModulePtr();
    VerboseIndentScope indent;
    verboseProgress("loading: " + dottedName(name) + " from .vnl because its up to date");
    build.moduleRegistry[name] = module;
    build.resolveImports(*module);
    return module;
}

void Emulation::findEarlierOutputs() {
    std::string directory = outputDirectory.empty() ? baseDirectory : outputDirectory;
    for (const std::string& file : platform::listDirectory(directory, "*.vnl")) {
        verboseProgress("Checking if " + file + " might be an input file");
        ModulePtr module = loadOwnInterface(directory + file);
        if (!module) continue;
        verboseProgress("Also found output of " + module->name + ", adding");
        build.pushWork(dottedModuleName(module->name));
    }
}

bool Emulation::writeResponseFile() {
    std::string include = runOptions.vornDir + "include";
    // A blank in the program's directory would split the option's value.
    if (include.find_first_of(" \t") != std::string::npos) include = "\"" + include + "\"";
    std::ofstream out(responseFileName.c_str(), std::ios::binary | std::ios::trunc);
    out << "/I " << include << ' ' << commandLine;
    out.close();
    if (out.fail()) {
        // The tool would read the build tool's words, which name no C++ it can compile.
        report(CompileError("Unable to write file " + responseFileName));
        return false;
    }
    return true;
}

bool Emulation::startTool() {
    std::string program;
    // One argument, quoted when started where it must be, so that a blank in the name (a
    // user's %TEMP%) does not split it, for cl.exe and realcl.exe alike.
    const std::string responseArgument = "@" + responseFileName;
    if (compileMode) {
        verboseProgress("invoking compiler");
        program = runOptions.forwardRealCl ? "realcl.exe" : "cl.exe";
    } else if (linkMode) {
        program = "link.exe";
    } else {
        return true;
    }
    int status = platform::spawnAndWait(program, {program, responseArgument, "/nologo"});
    if (status == -1) report(CompileError("Unable to start " + program));
    return status == 0;
}

bool Emulation::run() {
    std::string text;
    if (!readResponseFile(text)) return false;
    runOptions.processImports = false;
    if (runOptions.tabSize == 0) runOptions.tabSize = 4;
    baseDirectory = platform::currentDirectory();
    if (!endsWith(baseDirectory, "/")) baseDirectory += '/';
    runOptions.includeDirs[0] = baseDirectory;

    bool cut = false;
    Tokens tokens = tokenizeResponseFile(text, &cut);
    // Going on would start the tool on nothing, or on a list that lost its end.
    const SourceLocation file(internFileName(responseFileName), -1, -1);
    if (tokens.empty()) {
        report(CompileError("The response file holds no arguments", file));
        return false;
    }
    if (cut) {
        report(CompileError("The response file ends inside a quoted argument", file));
        return false;
    }
    for (size_t at = 0; at < tokens.size();) {
        for (const Rule& rule : rules) {
            if (!rule.applies(tokens, at)) continue;
            at += (this->*rule.handle)(tokens, at);
            break;
        }
    }
    findEarlierOutputs();
    bool ok = build.buildAll();
    for (const ModuleName& name : build.toCompile) {
        append("\"" + outputPath(name, "cpp") + "\"");
        compileMode = true;
    }
    ok = writeResponseFile() && startTool() && ok;
    verboseProgress(std::string("success=") + (ok ? "1" : "0") + " -> retval=" + (ok ? "0" : "1"));
    return ok;
}

}  // namespace

bool emulateVisualCpp(const std::string& responseFileName, BuildManager& build) {
    return Emulation(responseFileName, build).run();
}
