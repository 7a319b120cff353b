// Compiler configuration: the key = value script reader and the $command; template language.
// Takes script text and templates; gives the configuration record and expanded command lines.
// Never runs what it expands, and never reads a template when the script is loaded.
#include "driver/CompilerConfig.hpp"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <istream>
#include <map>

#include <boost/lexical_cast.hpp>

#include "base/Diagnostics.hpp"
#include "base/RunOptions.hpp"
#include "platform/Platform.hpp"

CompilerConfiguration compilerConfiguration;

namespace {

std::string trimmed(const std::string& text) {
    static const char* const blanks = " \t\n\r";
    std::string::size_type first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    std::string::size_type last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// Scripts written on Windows end their lines in CR LF; the CR is part of the line end.
bool readLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

struct ConfigurationKey {
    const char* key;
    std::string CompilerConfiguration::*text;  // a template field, or
    int CompilerConfiguration::*code;          // a success code field, or neither: vc dirs
};

const ConfigurationKey configurationKeys[] = {
    {"compiler", &CompilerConfiguration::compileTemplate, nullptr},
    {"linker", &CompilerConfiguration::linkTemplate, nullptr},
    {"compiler temp", &CompilerConfiguration::compileFileTemplate, nullptr},
    {"linker temp", &CompilerConfiguration::linkFileTemplate, nullptr},
    {"object file", &CompilerConfiguration::objectFileTemplate, nullptr},
    {"compiler success", nullptr, &CompilerConfiguration::compileSuccess},
    {"linker success", nullptr, &CompilerConfiguration::linkSuccess},
    {"load vc dirs", nullptr, nullptr},
};

void storeValue(const std::string& key, const std::string& value, CompilerConfiguration& configuration) {
    for (const ConfigurationKey& row : configurationKeys) {
        if (key != row.key) continue;
        if (row.text)
            configuration.*row.text = value;
        else if (row.code)
            configuration.*row.code = boost::lexical_cast<int>(value);
        else
            loadVisualCppDirectories(value);
        return;
    }
}

}  // namespace

void readCompilerConfiguration(std::istream& in, CompilerConfiguration& configuration) {
    std::string line;
    while (readLine(in, line)) {
        std::string::size_type equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = trimmed(line.substr(0, equals));
        std::string value = trimmed(line.substr(equals + 1));
        std::string next;
        while (!value.empty() && value.back() == '\\' && readLine(in, next)) {
            value.pop_back();
            value += next;
        }
        storeValue(key, value, configuration);
    }
}

void loadCompilerConfiguration(const std::string& name) {
    std::string path = runOptions.vornDir + "compiler/" + name;
    std::ifstream in;
    // A directory, a pipe or a device is no script (opening a pipe would wait for a writer).
    if (platform::isRegularFile(path)) in.open(path.c_str());
    if (!in.is_open()) throw CompileError("compiler configuration file not found:\n" + path);
    readCompilerConfiguration(in, compilerConfiguration);
    compilerConfiguration.scripts.push_back(path);
}

namespace {

std::string joinedLibraries(const char* before, const char* after) {
    std::string text;
    for (const std::string& library : runOptions.linkedLibraries)
        text += (text.empty() ? "" : " ") + std::string(before) + library + after;
    return text;
}

// The -I directories as a GNU compiler takes them: the headers of the modules found there, and
// those the program's headers include, are read from them. Each is quoted for a place outside
// quotes, where the template must put it.
std::string includeFlags() {
    std::string text;
    std::vector<std::string> dirs(runOptions.includeDirs.begin() + (runOptions.includeDirs.empty() ? 0 : 1),
                                  runOptions.includeDirs.end());
    dirs.insert(dirs.end(), runOptions.packageIncludeDirs.begin(), runOptions.packageIncludeDirs.end());
    for (std::string dir : dirs) {
        if (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
        text += (text.empty() ? "-I" : " -I") + platform::shellQuoted(dir, platform::ShellQuoting::none);
    }
    return text;
}

// Commands that stand for a text.
struct Substitution {
    const char* command;
    std::string (*value)(const TemplateContext&);
    // Options are shell text by intent; every other value is a path or name taken as it is.
    bool shellText = false;
};

const Substitution substitutions[] = {
    {"file", [](const TemplateContext& c) { return sourcePath(c.module, ""); }},
    {"vnFile", [](const TemplateContext& c) { return sourcePath(c.module, c.module.extension); }},
    {"cppFile", [](const TemplateContext& c) { return outputPath(c.module, "cpp"); }},
    {"outFile", [](const TemplateContext& c) { return outputPath(c.module, ""); }},
    {"temp", [](const TemplateContext& c) { return c.temporaryFile; }},
    {"vornDir",
     [](const TemplateContext&) {
         const std::string& dir = runOptions.vornDir;
         return dir.empty() ? std::string() : dir.substr(0, dir.size() - 1);
     }},
    // The program's top folder, which the include lines of generated files start from: without
    // its trailing separator, except for the root itself; "." when module names start at the
    // current directory.
    {"baseDir",
     [](const TemplateContext&) {
         const std::string& dir = baseDirectory;
         if (dir.empty()) return std::string(".");
         return dir.size() == 1 ? dir : dir.substr(0, dir.size() - 1);
     }},
    {"compilerOptions", [](const TemplateContext&) { return runOptions.compilerOptions; }, true},
    {"linkerOptions", [](const TemplateContext&) { return runOptions.linkerOptions; }, true},
    // The imports' libraries as a GNU linker and as link.exe name them; the names were checked
    // to be plain words when they were read.
    {"libraryFlags", [](const TemplateContext&) { return joinedLibraries("-l", ""); }, true},
    {"libraryFiles", [](const TemplateContext&) { return joinedLibraries("", ".lib"); }, true},
    {"includeFlags", [](const TemplateContext&) { return includeFlags(); }, true},
    // The program a link makes: the -o name, else the first input's path without extension.
    {"outputName",
     [](const TemplateContext&) {
         return runOptions.outputName.empty() ? runOptions.defaultOutputName : runOptions.outputName;
     }},
};

// Expands one template. Blocks ($if...;, $if!...;, $perFile;) run to the $; that closes them;
// a block that is dropped is still expanded, so its commands are checked all the same.
class TemplateExpander {
public:
    TemplateExpander(const std::string& text, TemplateContext& context, bool forShell, const ListFile* list = nullptr)
        : text(text), context(context), forShell(forShell), list(list) {}

    std::string run() {
        std::string out;
        expandBlock(out);  // an outermost $; ends the template: the rest is ignored
        return out;
    }

private:
    // Nested $perFile; blocks multiply their text by the number of modules at each level, so a
    // few dozen of them would fill memory; no real command or response file comes near this.
    static constexpr std::string::size_type maximumExpansion = std::string::size_type(1) << 24;
    // Blocks are expanded by recursion; no script needs more than a handful of levels, and this
    // many stay inside the stack also under the address sanitizer (2,000 did not).
    static constexpr int maximumNesting = 1000;

    const std::string& text;
    TemplateContext& context;
    // A command line is read by the shell: each value is quoted for where it stands, so a
    // folder named "$(rm x)" or holding a quote reaches the compiler as the very name.
    const bool forShell;
    // When set, each outermost $perFile; block goes to this file and the command names it.
    const ListFile* list;
    int nesting = 0;
    int perFileNesting = 0;
    platform::ShellQuoting quoting = platform::ShellQuoting::none;
    std::string::size_type pos = 0;
    std::string::size_type written = 0;  // characters put into any block's text so far
    // A $perFile; block sets the current module itself, so its text and its end depend only
    // on where it starts: each one is expanded once however often an outer block repeats it.
    struct ExpandedBlock {
        std::string text;
        std::string::size_type end;
        platform::ShellQuoting quotingAfter;
    };
    std::map<std::string::size_type, ExpandedBlock> perFileBlocks;

    void put(std::string& out, const std::string& piece, std::string::size_type from = 0,
             std::string::size_type count = std::string::npos) {
        count = std::min(count, piece.size() - from);
        written += count;
        if (written > maximumExpansion)
            throw CompileError("template expansion is longer than " + std::to_string(maximumExpansion) +
                               " characters");
        out.append(piece, from, count);
    }

    // Appends the expansion up to the $; that closes the block (consumed) or the end.
    void expandBlock(std::string& out) {
        while (pos < text.size()) {
            std::string::size_type dollar = text.find('$', pos);
            if (dollar == std::string::npos) {
                putShellText(out, text.substr(pos));
                pos = text.size();
                return;
            }
            putShellText(out, text.substr(pos, dollar - pos));
            std::string::size_type semicolon = text.find(';', dollar + 1);
            if (semicolon == std::string::npos)
                throw CompileError("$" + text.substr(dollar + 1) + " should be terminated with a semicolon");
            std::string command = text.substr(dollar + 1, semicolon - dollar - 1);
            pos = semicolon + 1;
            if (command.empty()) return;
            runCommand(command, out);
        }
    }

    // Text of the template itself (or options): the shell reads it as it stands.
    void putShellText(std::string& out, const std::string& piece) {
        if (forShell) quoting = platform::shellQuotingAfter(quoting, piece);
        put(out, piece);
    }

    // An expander serves one expansion: after a throw nothing reads the counts again, so they
    // need no undoing on the way out.
    void enter() {
        if (++nesting > maximumNesting) tooDeep();
    }
    // Out of line, so that the message's strings take no room in the frames of every level.
    [[noreturn, gnu::noinline]] static void tooDeep() {
        throw CompileError("template blocks nested more than " + std::to_string(maximumNesting) + " deep");
    }

    void conditionalBlock(bool keep, std::string& out) {
        enter();
        const platform::ShellQuoting before = quoting;
        std::string inner;
        expandBlock(inner);
        if (keep)
            put(out, inner);
        else
            quoting = before;
        --nesting;
    }

    void perFileBlock(std::string& out) {
        if (list && perFileNesting == 0) return listPerFile(out);
        enter();
        ++perFileNesting;
        std::string::size_type start = pos;
        auto known = perFileBlocks.find(start);
        if (known == perFileBlocks.end()) {
            ExpandedBlock block;
            if (context.modules.empty()) {
                std::string discarded;
                expandBlock(discarded);
            }
            for (const ModuleName& name : context.modules) {
                pos = start;
                context.module = name;
                expandBlock(block.text);
            }
            block.end = pos;
            block.quotingAfter = quoting;
            known = perFileBlocks.emplace(start, std::move(block)).first;
        } else if (!context.modules.empty()) {
            context.module = *context.modules.rbegin();
        }
        quoting = known->second.quotingAfter;
        pos = known->second.end;
        put(out, known->second.text);
        --perFileNesting;
        --nesting;
    }

    // Kept out of perFileBlock, which every level of nested blocks passes through: its locals
    // would make each of those frames larger.
    [[gnu::noinline]] void listPerFile(std::string& out) {
        // Written for the tool's reading of the file, which takes quotes as the shell does
        // outside any; the command line names the file in its place.
        const platform::ShellQuoting before = quoting;
        quoting = platform::ShellQuoting::none;
        std::string listed;
        ++perFileNesting;
        perFileBlock(listed);
        --perFileNesting;
        quoting = before;
        list->text += listed;
        put(out, "@" + platform::shellQuoted(list->path, quoting));
    }

    static bool hasPrefix(const std::string& text, const std::string& prefix) {
        return text.compare(0, prefix.size(), prefix) == 0;
    }

    void runCommand(const std::string& command, std::string& out) {
        for (const Substitution& row : substitutions) {
            if (command == row.command) {
                if (row.shellText)
                    putShellText(out, row.value(context));
                else
                    put(out, forShell ? platform::shellQuoted(row.value(context), quoting) : row.value(context));
                return;
            }
        }
        if (hasPrefix(command, "if!"))
            conditionalBlock(runOptions.scriptOptions.count(command.substr(3)) == 0, out);
        else if (hasPrefix(command, "if"))
            conditionalBlock(runOptions.scriptOptions.count(command.substr(2)) != 0, out);
        else if (command == "perFile")
            perFileBlock(out);
        else
            throw CompileError("$" + command + " is not a recognized command");
    }
};


}  // namespace

std::string expandTemplate(const std::string& text, TemplateContext& context) {
    return TemplateExpander(text, context, false).run();
}

std::string expandCommandTemplate(const std::string& text, TemplateContext& context) {
    return TemplateExpander(text, context, true).run();
}

std::string expandCommandTemplate(const std::string& text, TemplateContext& context, const ListFile& list) {
    list.text.clear();
    return TemplateExpander(text, context, true, &list).run();
}

void loadVisualCppDirectories(const std::string& keyPath, platform::Registry& registry, std::ostream& err) {
    if (!registry.openKey(keyPath)) {
        err << "Unable to load vc settings from \n" << keyPath << '\n' << std::flush;
        return;
    }
    std::string includeDirs, libraryDirs;
    if (!registry.readString("Include Dirs", includeDirs)) {
        err << "Unable to load vc settings/Include Dirs\n" << std::flush;
        registry.closeKey();
        return;
    }
    if (!registry.readString("Library Dirs", libraryDirs)) {
        err << "Unable to load vc settings/Library Dirs\n" << std::flush;
        registry.closeKey();
        return;
    }
    registry.closeKey();
    platform::setEnvironment("include", includeDirs);
    platform::setEnvironment("lib", libraryDirs);
    // The registry keeps Windows lists, separated by ';' whatever system reads them.
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type end = includeDirs.find(';', start);
        runOptions.includeDirs.push_back(includeDirs.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
}

void loadVisualCppDirectories(const std::string& keyPath) {
    loadVisualCppDirectories(keyPath, platform::registry(), std::cerr);
}
