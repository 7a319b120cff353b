// Compiler configuration: reads the scripts in compiler/ that say how to compile and link
// the generated C++, and expands their command templates.
// Takes a script name (or a stream) and a template; gives the configuration record and
// command lines. Never runs a command: the compile and link stages do.
#pragma once

#include <iosfwd>
#include <set>
#include <string>
#include <vector>

#include "base/ModuleName.hpp"

namespace platform {
class Registry;
}

// What the scripts read so far say; fields a script leaves out keep their earlier values.
struct CompilerConfiguration {
    std::string compileTemplate;      // "compiler"
    std::string linkTemplate;         // "linker"
    std::string compileFileTemplate;  // "compiler temp"
    std::string linkFileTemplate;     // "linker temp"
    std::string objectFileTemplate;   // "object file": where the compile command puts its output
    int compileSuccess = 0;           // "compiler success"
    int linkSuccess = 0;              // "linker success"
    std::vector<std::string> scripts;  // the paths of the scripts read, in order, for messages
};

// Written while the command line is read, read by the compile and link stages.
extern CompilerConfiguration compilerConfiguration;

// What the template commands refer to besides the options: the modules a $perFile; block
// walks (the build's visited modules), the module $file; and its kin name (set by the compile
// and link stages, and moved by $perFile;), and the file $temp; names. Each stage owns its own.
struct TemplateContext {
    std::set<ModuleName> modules;
    ModuleName module;
    std::string temporaryFile;
};

// Reads vornDir + "compiler/" + name over the current configuration. Throws when the file
// cannot be opened or a success code is not an integer.
void loadCompilerConfiguration(const std::string& name);
// The same for an already opened script.
void readCompilerConfiguration(std::istream& in, CompilerConfiguration& configuration);

// A file that takes the place of the outermost $perFile; blocks of a command line too long for
// the system: their text is gathered in `text` for the caller to write to `path`, and the
// command names the file as "@path", which g++, clang and link.exe read as more arguments.
struct ListFile {
    std::string path;
    mutable std::string text;
};

// Expands $command; templates for the current module. Throws on a command without its ';'
// and on an unknown command.
std::string expandTemplate(const std::string& text, TemplateContext& context);
// The same for a command line that the shell reads: every path and name is quoted for the
// place it stands in (the options are shell text and stay as they are).
std::string expandCommandTemplate(const std::string& text, TemplateContext& context);
std::string expandCommandTemplate(const std::string& text, TemplateContext& context, const ListFile& list);

// Imports Visual C++'s include and library directories from the registry key: sets the
// "include" and "lib" environment variables and appends the include directories to
// runOptions.includeDirs. Prints a message and changes nothing when a read fails.
void loadVisualCppDirectories(const std::string& keyPath);
void loadVisualCppDirectories(const std::string& keyPath, platform::Registry& registry, std::ostream& err);
