// Include interface files: reading the ".vni" format, finding the headers it names and
// importing each as a header module with the interface's renaming in force. Takes a module
// name; gives an IncludeModule. Never writes a file and never changes the base directory.
#include "front/IncludeFrontEnd.hpp"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <boost/make_shared.hpp>

#include "base/Diagnostics.hpp"
#include "tree/ParentFinder.hpp"
#include "base/RunOptions.hpp"
#include "base/Text.hpp"

namespace {

// Headers found by the include front end, by module name, for the C++ front end to read.
std::map<ModuleName, FoundHeader> headerLocations;
// Header modules offered from kept records, by module name, with the files read for each; for
// the C++ front end's loadKept. Written by the include front end alone.
std::map<ModuleName, std::vector<std::string>> keptHeaders;

std::string trimmed(const std::string& text) {
    const char* const blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// A line is a note when "//" comes before anything but blanks and tabs.
bool isComment(const std::string& line) {
    const size_t slashes = line.find("//");
    if (slashes == std::string::npos) return false;
    const size_t first = line.find_first_not_of(" \t");
    return first >= slashes;
}

// "link = sqlite3 m": each word a library. The names reach a shell command, so they hold only
// what library names do.
void addLibraries(const std::string& value, const SourceLocation& at, std::vector<std::string>& into) {
    std::string word;
    for (size_t i = 0; i <= value.size(); ++i) {
        const char c = i < value.size() ? value[i] : ' ';
        if (c == ' ' || c == '\t' || c == ',') {
            if (!word.empty() && std::find(into.begin(), into.end(), word) == into.end()) into.push_back(word);
            word.clear();
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '+' || c == '-') {
            word += c;
        } else {
            reportError(std::string("A library name holds only letters, digits and . _ + -, not '") + c + "'", at);
            return;
        }
    }
}

// What pkg-config says a package needs: its header folders (-I) join the search, its libraries
// (-l) the module's links. The name reached the shell only after addLibraries checked it.
bool addPackage(const std::string& package, IncludeModule& module, const SourceLocation& at) {
    std::string output;
    const int status = platform::captureCommandOutput("pkg-config --cflags-only-I --libs-only-l " + package + " 2>&1", output);
    if (status != 0) {
        reportError("pkg-config knows no package " + package + " (is pkg-config and the package's -dev package installed?)",
                    at);
        return false;
    }
    std::string word;
    for (size_t i = 0; i <= output.size(); ++i) {
        const char c = i < output.size() ? output[i] : ' ';
        if (!std::isspace(static_cast<unsigned char>(c))) {
            word += c;
            continue;
        }
        std::vector<std::string>& into = word.compare(0, 2, "-I") == 0 ? runOptions.packageIncludeDirs : module.links;
        if (word.size() > 2 && (word.compare(0, 2, "-I") == 0 || word.compare(0, 2, "-l") == 0) &&
            std::find(into.begin(), into.end(), word.substr(2)) == into.end())
            into.push_back(word.substr(2));
        word.clear();
    }
    return true;
}

void addUnique(std::map<std::string, std::string>& map, const std::string& key, const std::string& value) {
    map.emplace(key, value);  // a second line for the same name is ignored
}

bool isAbsolute(const std::string& path) {
    return !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
}

std::string withSlash(const std::string& dir) {
    if (dir.empty() || dir.back() == '/' || dir.back() == '\\') return dir;
    return dir + "/";
}

// The entries of one directory matching the file name part of a pattern.
std::vector<FoundHeader> matches(const std::string& root, const std::string& value, bool system = false) {
    const size_t slash = value.find_last_of("/\\");
    const std::string directoryPart = slash == std::string::npos ? std::string() : value.substr(0, slash + 1);
    const std::string filePattern = value.substr(directoryPart.size());
    if (runOptions.verbose) verboseLine("searching in: " + root + value);
    std::vector<FoundHeader> found;
    for (const std::string& entry : platform::listDirectory(root + directoryPart, filePattern)) {
        const std::string path = root + directoryPart + entry;
        // A folder that matches a pattern is no header.
        if (!platform::isRegularFile(path)) continue;
        if (runOptions.verbose) verboseLine("  found: " + entry);
        found.push_back({path, (isAbsolute(value) ? std::string() : directoryPart) + entry, system});
    }
    return found;
}

ModuleName headerModuleNameOf(const FoundHeader& header) {
    ModuleName name = headerModuleName(header.relative);
    const size_t dot = header.path.find_last_of('.');
    name.extension = dot != std::string::npos && header.path.substr(dot + 1) == "h" ? "h" : "hpp";
    return name;
}

ImportDeclarationPtr importHeader(const ModuleName& name, const FoundHeader& header, const SourceLocation& at,
                                  bool declarations, const IncludeFrontEnd::ModuleLoader& load) {
    headerLocations[name] = header;
    ImportDeclarationPtr import = boost::make_shared<ImportDeclaration>();
    import->path = name.components;
    import->location = at;
    import->access = Public;
    import->module = load(name, at, declarations);
    // Its names are found from the modules that import the interface file.
    import->inHeader = 2;
    return import;
}

// Everything besides the interface file that decides which files its headers are: the
// compiler asked and its answer, and the folders searched before and after it.
std::string headerSearchKey() {
    TextDigest digest;
    auto add = [&digest](const std::string& text) { digest.add(text + '\n'); };
    add(runOptions.cxxCommand);
    add(baseDirectory);
    for (const std::string& dir : runOptions.includeDirs) add("I" + dir);
    for (const std::string& dir : runOptions.packageIncludeDirs) add("P" + dir);
    for (const std::string& dir : systemPreprocessor().includeDirectories) add("S" + dir);
    add(systemPreprocessor().predefines);
    return digest.hex();
}

// The header modules' parent links, and the interface module's own, linked too so that a
// lookup in it (Json.Json, the module's type of its own name) goes on into the headers.
void linkHeaders(Module& module) {
    for (const auto& entry : module.imports)
        if (entry.second->module) ParentFinder().linkModule(*entry.second->module);
    ParentFinder().linkModule(module);
}

}  // namespace

// The compiler's own search list, then the folders the environment names (on Windows, where
// no compiler may be there to ask).
platform::CompilerPreprocessor withEnvironmentFolders(platform::CompilerPreprocessor facts) {
    for (const std::string& folder : platform::environmentIncludeDirectories()) {
        if (std::find(facts.includeDirectories.begin(), facts.includeDirectories.end(), folder) ==
            facts.includeDirectories.end())
            facts.includeDirectories.push_back(folder);
        facts.found = true;
    }
    return facts;
}

const platform::CompilerPreprocessor& systemPreprocessor() {
    static const platform::CompilerPreprocessor facts =
        withEnvironmentFolders(platform::askCompilerPreprocessor(runOptions.cxxCommand));
    return facts;
}

void readIncludeInterface(std::istream& in, const std::string& fileName, IncludeModule& module,
                          std::vector<IncludeValue>& includes) {
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = trimmed(line.substr(0, equals));
        const std::string value = trimmed(line.substr(equals + 1));
        if (key == "include") {
            includes.push_back({value, number});
        } else if (key == "prefix") {
            module.prefixes.push_back(value);
        } else if (key == "getter prefix") {
            module.getterPrefixes.push_back(value);
        } else if (key == "setter prefix") {
            module.setterPrefixes.push_back(value);
        } else if (key == "namespace") {
            module.namespaces.push_back(value);
        } else if (key == "link") {
            addLibraries(value, SourceLocation(internFileName(fileName), number, 0), module.links);
        } else if (key == "pkg-config") {
            addLibraries(value, SourceLocation(internFileName(fileName), number, 0), module.packages);
            module.packageLine = number;
        } else if (key == "extra code") {
            module.extraCode += value;
        } else if (key.compare(0, 6, "alias ") == 0) {
            addUnique(module.aliases, key.substr(6), value);
        } else if (key.compare(0, 7, "define ") == 0) {
            addUnique(module.defines, key.substr(7), value);
        } else if (!isComment(line)) {
            std::string shown = line;
            if (!shown.empty() && shown.back() == '\r') shown.pop_back();
            reportError("Unrecognized line: '" + shown + "'", SourceLocation(internFileName(fileName), number, 0));
        }
    }
}

std::vector<FoundHeader> findHeaders(const std::string& value, const std::vector<std::string>& systemDirectories,
                                     HeaderSearchTrail* trail) {
    if (value.empty()) return std::vector<FoundHeader>();
    const bool pattern = value.find_first_of("*?", value.find_last_of("/\\") + 1) != std::string::npos;
    // A new file where a root gave nothing, or one more match of the pattern, changes the answer.
    auto note = [&](const std::string& root, const std::vector<FoundHeader>& found) {
        if (!trail) return;
        if (pattern)
            trail->patterns.emplace_back(root + value, found.size());
        else if (found.empty())
            trail->missed.push_back(root + value);
    };
    if (isAbsolute(value)) {
        std::vector<FoundHeader> found = matches(std::string(), value);
        note(std::string(), found);
        return found;
    }
    std::vector<std::string> roots{baseDirectory};
    const size_t ownRoots = runOptions.includeDirs.empty() ? 1 : runOptions.includeDirs.size();
    for (size_t i = 1; i < runOptions.includeDirs.size(); ++i) roots.push_back(withSlash(runOptions.includeDirs[i]));
    // A package's folders are the compiler's too (the compile gets them): its headers are
    // included by name.
    for (const std::string& dir : runOptions.packageIncludeDirs) roots.push_back(withSlash(dir));
    // The C++ library's own folders hold wrappers of the C headers (its stdlib.h has only
    // "using std::..." lines): a C header is the C library's.
    const bool cHeader = value.size() > 2 && value.compare(value.size() - 2, 2, ".h") == 0;
    for (int pass = cHeader ? 0 : 1; pass < 2; ++pass)
        for (const std::string& dir : systemDirectories)
            if (!cHeader || isCppLibraryDirectory(dir) == (pass == 1)) roots.push_back(withSlash(dir));
    for (size_t i = 0; i < roots.size(); ++i) {
        std::vector<FoundHeader> found = matches(roots[i], value, i >= ownRoots);
        note(roots[i], found);
        if (!found.empty()) return found;
    }
    return std::vector<FoundHeader>();
}

ModuleName headerModuleName(const std::string& relative) {
    std::string component = relative;
    for (char& c : component)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) c = '_';
    ModuleName name;
    name.components.push_back(component);
    return name;
}

bool isCppLibraryDirectory(const std::string& dir) {
    std::string path = dir;
    for (char& c : path)
        if (c == '\\') c = '/';
    return path.find("/c++/") != std::string::npos || (path.size() >= 4 && path.compare(path.size() - 4, 4, "/c++") == 0);
}

std::string headerLocation(const ModuleName& name) {
    auto found = headerLocations.find(name);
    return found == headerLocations.end() ? std::string() : found->second.path;
}

std::string headerIncludeText(const ModuleName& name) {
    auto found = headerLocations.find(name);
    if (found == headerLocations.end() || !found->second.inSystemDirectory) return std::string();
    return "<" + found->second.relative + ">";
}

const std::vector<std::string>* keptHeaderFiles(const ModuleName& name) {
    auto found = keptHeaders.find(name);
    return found == keptHeaders.end() ? nullptr : &found->second;
}

platform::FileTime IncludeFrontEnd::sourceTime(const ModuleName& name) {
    const std::string path = sourcePath(name, "vni");
    const platform::FileTime time = platform::modificationTime(path);
    return time != 0 && platform::nameMatchesExactly(path) ? time : 0;
}

ModulePtr IncludeFrontEnd::loadModule(const ModuleName& name) { return readInterface(name, false); }

ModulePtr IncludeFrontEnd::loadKept(const ModuleName& name) { return readInterface(name, true); }

ModulePtr IncludeFrontEnd::readInterface(const ModuleName& name, bool kept) {
    const std::string path = sourcePath(name, "vni");
    // Checked before opening: opening a pipe waits for a writer.
    std::ifstream in;
    if (platform::isRegularFile(path)) in.open(path.c_str(), std::ios::binary);
    if (!in.is_open()) {
        reportError("Unable to open vni file", SourceLocation(internFileName(path), -1, -1));
        return ModulePtr();
    }
    IncludeModulePtr module = boost::make_shared<IncludeModule>();
    module->name = dottedName(name);
    module->block = boost::make_shared<Block>();
    module->location = SourceLocation(internFileName(path), 1, 0);
    std::vector<IncludeValue> includes;
    readIncludeInterface(in, path, *module, includes);
    // The load fails for the bad line; reading headers now would only add errors of their own.
    if (!queuedDiagnostics().empty()) return module;
    for (const std::string& package : module->packages)
        if (!addPackage(package, *module, SourceLocation(internFileName(path), module->packageLine, 0))) return module;
    for (const std::string& library : module->links)
        if (std::find(runOptions.linkedLibraries.begin(), runOptions.linkedLibraries.end(), library) ==
            runOptions.linkedLibraries.end())
            runOptions.linkedLibraries.push_back(library);

    struct CurrentScope {
        IncludeModulePtr saved = currentIncludeModule;
        ~CurrentScope() { currentIncludeModule = saved; }
    } current;
    currentIncludeModule = module;
    if (kept) {
        std::vector<KeptHeader> headers;
        if (!readKeptHeaders(name, path, headerSearchKey(), headers)) return ModulePtr();
        verboseProgress("loading: headers of " + dottedName(name) + " from .vnh because they are unchanged");
        module->fromKeptHeaders = true;
        for (const KeptHeader& header : headers) {
            keptHeaders[header.name] = header.files;
            const SourceLocation at(internFileName(path), header.line, 0);
            ImportDeclarationPtr import = importHeader(header.name, header.found, at, false, loadImported);
            if (!import->module) {
                reportError("Unable to load header " + header.found.path, at);
                return module;
            }
            module->addImport(import);
        }
        linkHeaders(*module);
        return module;
    }
    std::vector<KeptHeader> read;
    for (const IncludeValue& include : includes) {
        const SourceLocation at(internFileName(path), include.line, 0);
        HeaderSearchTrail trail;
        const std::vector<FoundHeader> headers = findHeaders(
            include.value, isAbsolute(include.value) ? std::vector<std::string>() : systemPreprocessor().includeDirectories,
            &trail);
        // Every name the program takes from it would be unknown, far from the cause.
        if (headers.empty()) {
            const bool asked = isAbsolute(include.value) || systemPreprocessor().found;
            reportError("No header found for include = " + include.value +
                            (asked ? "" : " (the C++ compiler " + runOptions.cxxCommand + " could not be asked for its include folders)"),
                        at);
            return module;
        }
        for (const FoundHeader& header : headers) {
            const ModuleName headerName = headerModuleNameOf(header);
            ImportDeclarationPtr import = importHeader(headerName, header, at, true, loadImported);
            // One header that cannot be read fails the import; the next would only fail too.
            if (!import->module) {
                reportError("Unable to load header " + header.path, at);
                return module;
            }
            module->addImport(import);
            read.push_back(KeptHeader{headerName, include.line, header, import->module->headerFiles, trail});
            // The value's search once, with the first of its headers; each its own includes'.
            trail = HeaderSearchTrail();
            for (const std::string& path : import->module->headerMissed) read.back().trail.missed.push_back(path);
        }
    }
    noteReadHeaders(name, std::move(read), headerSearchKey());
    linkHeaders(*module);
    return module;
}
