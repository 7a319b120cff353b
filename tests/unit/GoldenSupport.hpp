// Support for the golden-file tests: reading and writing files, the regeneration switch,
// listing a case folder, comparing a result with its checked-in file (or rewriting that file),
// and compiling and running generated C++. Takes paths and texts; gives test results.
// Test support only: nothing here may reach the translator itself.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/BuildManager.hpp"
#include "base/ModuleName.hpp"
#include "../support/PortableSupport.hpp"
#include "platform/Platform.hpp"

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
    for (const std::string& name : platform::listDirectory(directory, "*" + suffix))
        if (name.size() > suffix.size()) names.push_back(name);
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
    return platform::hostPath(portable::uniqueDirectory(::testing::TempDir() + "vorn_" + label + "_")) + "/";
}

// Runs a command through the shell; its exit status and what it printed on both streams.
inline int runCommand(const std::string& command, std::string& output) {
    output.clear();
    return platform::captureCommandOutput(command + " 2>&1", output);
}

// The compile-and-run checks use the POSIX shell's quoting, so they run where it is.
inline bool haveCompiler(const std::string& compiler) {
#ifdef _WIN32
    (void)compiler;
    return false;
#else
    return !platform::findProgram(compiler).empty();
#endif
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
// queues each as a module of the build and translates them all. What the translation printed on
// standard error goes to `reported`; true when it succeeded.
inline bool translateCopiedSources(const std::string& from, const std::string& base, BuildManager& build,
                                   std::string& reported) {
    namespace fs = std::filesystem;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(from)) {
        if (entry.path().extension() != ".vn") continue;
        const fs::path target = fs::path(base) / fs::relative(entry.path(), from);
        fs::create_directories(target.parent_path());
        fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing);
    }
    for (const std::string& file : filesIn(base, ".vn")) build.pushWork(parseModuleName(base + file, true, true));
    std::ostringstream stream;
    std::streambuf* savedErr = std::cerr.rdbuf(stream.rdbuf());
    const bool built = build.buildAll();
    std::cerr.rdbuf(savedErr);
    reported = stream.str();
    return built;
}

}  // namespace golden
