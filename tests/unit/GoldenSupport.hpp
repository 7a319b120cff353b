// Support for the golden-file tests: reading and writing files, the regeneration switch,
// listing a case folder, comparing a result with its checked-in file (or rewriting that file),
// and compiling and running generated C++. Takes paths and texts; gives test results.
// Test support only: nothing here may reach the translator itself.
#pragma once

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "BuildManager.hpp"
#include "ModuleName.hpp"

namespace golden {

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline bool fileExists(const std::string& path) { return std::ifstream(path).good(); }

// VORN_REGENERATE set to anything but the empty text: rewrite expected files, do not compare.
inline bool regenerating() {
    const char* flag = std::getenv("VORN_REGENERATE");
    return flag && *flag;
}

// The names (without directory) in a directory that end in the suffix, sorted.
inline std::vector<std::string> filesIn(const std::string& directory, const std::string& suffix) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(directory.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Every occurrence of `from` in the text replaced by `to`.
inline std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
    return text;
}

// Compares the text with the expected file, or rewrites that file when regenerating.
inline void checkOrRegenerate(const std::string& expectedPath, const std::string& actual) {
    if (regenerating()) {
        writeFile(expectedPath, actual);
        return;
    }
    ASSERT_TRUE(fileExists(expectedPath)) << "missing expected file " << expectedPath
                                          << " (run with VORN_REGENERATE=1)";
    EXPECT_EQ(actual, readFile(expectedPath)) << "differs from " << expectedPath;
}

// A fresh directory of its own under the test temporary directory, ending in "/".
inline std::string freshDirectory(const std::string& label) {
    std::string pattern = ::testing::TempDir() + "vorn_" + label + "_XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) return std::string();
    return std::string(buffer.data()) + "/";
}

// Runs a command through the shell; its exit status and what it printed on both streams.
inline int runCommand(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool haveCompiler(const std::string& compiler) {
    return std::system(("command -v " + compiler + " >/dev/null 2>&1").c_str()) == 0;
}

// The include directory of the support header of generated code.
inline std::string supportIncludeDirectory() { return std::string(VORN_SOURCE_DIR) + "/include"; }

// Compiles and links the sources (paths) with each compiler present, warnings as errors,
// against the support header and the directory of the generated headers; runs the program
// and compares what it prints with the expected output file (rewritten when regenerating).
// Skips the test when no compiler is present.
inline void compileAndRun(const std::vector<std::string>& sources, const std::string& headerDirectory,
                          const std::string& program, const std::string& expectedOutput,
                          std::initializer_list<const char*> compilers = {"g++", "clang++"}) {
    int used = 0;
    for (const char* compiler : compilers) {
        if (!haveCompiler(compiler)) continue;
        ++used;
        std::string command = std::string(compiler) + " -std=c++17 -Wall -Wextra -Werror -I'" +
                              supportIncludeDirectory() + "' -I'" + headerDirectory + "'";
        for (const std::string& source : sources) command += " '" + source + "'";
        const std::string binary = program + "_" + compiler;
        command += " -o '" + binary + "'";
        std::string output;
        ASSERT_EQ(runCommand(command, output), 0) << command << "\n" << output;
        ASSERT_EQ(runCommand("'" + binary + "'", output), 0) << output;
        if (regenerating())
            writeFile(expectedOutput, output);
        else
            EXPECT_EQ(output, readFile(expectedOutput)) << compiler;
    }
    if (used == 0) GTEST_SKIP() << "no C++ compiler";
}

// Copies the ".vn" files under `from` (keeping their folders) into the fresh directory `base`,
// queues each as a module and translates them all. What the translation printed on standard
// error goes to `reported`; true when it succeeded.
inline bool translateCopiedSources(const std::string& from, const std::string& base, std::string& reported) {
    EXPECT_EQ(std::system(("cd '" + from + "' && find . -name '*.vn' -exec cp --parents {} '" + base + "' \\;").c_str()),
              0);
    for (const std::string& file : filesIn(base, ".vn")) pushWork(parseModuleName(base + file, true, true));
    std::ostringstream stream;
    std::streambuf* savedErr = std::cerr.rdbuf(stream.rdbuf());
    const bool built = buildAll();
    std::cerr.rdbuf(savedErr);
    reported = stream.str();
    return built;
}

}  // namespace golden
