// The compiler's predefined macros and include directories, asked once and kept in a file
// under vorn/ in the user's cache folder, one per compiler command. Takes the command; gives
// what queryCompilerPreprocessor would. Never fails for the cache's sake: a cache that cannot be
// read, written or trusted is passed over and the compiler asked as before.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "base/Text.hpp"
#include "platform/Platform.hpp"

namespace platform {

namespace {

// Stable across runs and builds, unlike std::hash: it names the cache file.
std::string fnv1a(const std::string& text) {
    TextDigest digest;
    digest.add(text);
    return digest.hex();
}

// The file the command's first word runs, links resolved; empty when it is not found.
std::string resolvedExecutable(const std::string& command) {
    std::string::size_type start = command.find_first_not_of(" \t");
    if (start == std::string::npos) return std::string();
    const std::string path = findProgram(command.substr(start, command.find_first_of(" \t", start) - start));
    return path.empty() ? std::string() : canonicalPath(path);
}

// What makes a cached answer stale: the command, and the executable's path, size and time.
std::string keyOf(const std::string& command) {
    std::string executable = resolvedExecutable(command);
    const long long size = executable.empty() ? -1 : fileSize(executable);
    if (size < 0) return std::string();
    return "command " + command + "\nexecutable " + executable + "\nsize " + std::to_string(size) +
           "\nmodified " + std::to_string(modificationTime(executable)) + "\n";
}

std::string cacheDirectory() {
    const std::string base = userCacheDirectory();
    return base.empty() ? base : base + "/vorn";
}

const char* const formatLine = "vorn compiler preprocessor cache 1\n";

std::string serialized(const std::string& key, const CompilerPreprocessor& facts) {
    std::string text = formatLine + key + "directories " + std::to_string(facts.includeDirectories.size()) + "\n";
    for (const std::string& dir : facts.includeDirectories) text += dir + "\n";
    return text + "predefines " + std::to_string(facts.predefines.size()) + "\n" + facts.predefines + "end\n";
}

// The answer in `text` when it was written for `key` and is whole; false otherwise.
bool parsed(const std::string& text, const std::string& key, CompilerPreprocessor& facts) {
    const std::string head = formatLine + key + "directories ";
    if (text.compare(0, head.size(), head) != 0) return false;
    std::istringstream in(text.substr(head.size()));
    std::size_t count = 0;
    if (!(in >> count) || in.get() != '\n' || count > 10000) return false;
    std::string line;
    for (std::size_t i = 0; i < count; ++i) {
        if (!std::getline(in, line)) return false;
        facts.includeDirectories.push_back(line);
    }
    std::size_t size = 0;
    if (!(in >> line) || line != "predefines" || !(in >> size) || in.get() != '\n' || size > text.size()) return false;
    facts.predefines.resize(size);
    if (!in.read(&facts.predefines[0], static_cast<std::streamsize>(size))) return false;
    std::string rest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (rest != "end\n") return false;
    facts.found = true;
    return true;
}

bool makeDirectories(const std::string& path) {
    for (std::string::size_type slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (!makeDirectory(part)) return false;
        if (slash == std::string::npos) return true;
    }
}

// Written whole beside its place and renamed onto it, so that no run reads half a file.
void store(const std::string& file, const std::string& text) {
    std::string::size_type slash = file.rfind('/');
    if (!makeDirectories(file.substr(0, slash))) return;
    std::string temporary = uniqueNameBeside(file);
    {
        std::ofstream out(temporary, std::ios::binary);
        out << text;
        out.close();
        if (!out) {
            deleteFile(temporary);
            return;
        }
    }
    if (!renameFile(temporary, file)) deleteFile(temporary);
}

}  // namespace

CompilerPreprocessor askCompilerPreprocessor(const std::string& compilerCommand) {
    const std::string key = keyOf(compilerCommand);
    const std::string directory = cacheDirectory();
    if (key.empty() || directory.empty()) return queryCompilerPreprocessor(compilerCommand);
    const std::string file = directory + "/compiler-" + fnv1a(compilerCommand) + ".txt";
    if (isRegularFile(file)) {
        std::ifstream in(file, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        CompilerPreprocessor facts;
        if (parsed(text, key, facts)) return facts;
    }
    CompilerPreprocessor facts = queryCompilerPreprocessor(compilerCommand);
    if (facts.found) store(file, serialized(key, facts));
    return facts;
}
}  // namespace platform
