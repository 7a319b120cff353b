// Test support for the driver, compiler script and toolchain tests: a fixture with a build of
// its own, module names, scripts read from text, scratch directories, captured stderr, and the
// text of an error a step must raise.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "driver/BuildManager.hpp"
#include "driver/CompilerConfig.hpp"
#include "driver/Driver.hpp"
#include "../support/PortableSupport.hpp"
#include "platform/Platform.hpp"

namespace runtest {

// A test of the run's stages with a build of its own; what is process-wide is made fresh before
// every test (FreshProcessState.cpp).
struct RunStateTest : ::testing::Test {
    BuildManager build;
};

inline ModuleName moduleNamed(const std::vector<std::string>& components, const char* extension = "vn") {
    ModuleName name;
    name.components = components;
    name.extension = extension;
    return name;
}

// A compiler script given as text, read over `start` as a later -c script would be.
inline CompilerConfiguration readScript(const std::string& text, CompilerConfiguration start = CompilerConfiguration()) {
    std::istringstream in(text);
    readCompilerConfiguration(in, start);
    return start;
}

// What a failed conversion of an option or script value says.
const char* const lexicalCastFailure = "bad lexical cast: source type value could not be interpreted as target";

// The what() text (for C strings the string) of the E that the action throws; noError when
// it throws nothing. Other exceptions pass through and fail the test.
const char* const noError = "(no error)";

template <class E, class F>
std::string thrownText(F action) {
    try {
        action();
    } catch (const E& e) {
        if constexpr (std::is_same_v<E, const char*>)
            return e;
        else
            return e.what();
    }
    return noError;
}

// A fresh directory of its own under the temporary directory, removed with all it holds when
// this goes. path() has no trailing slash.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string& label) {
        path_ = portable::uniqueDirectory(platform::temporaryDirectory() + "/vorn-" + label + "-");
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& relative) const { return path_ + "/" + relative; }
    void makeDirectories(const std::string& relative) const { std::filesystem::create_directories(file(relative)); }
    void write(const std::string& relative, const std::string& text) const { std::ofstream(file(relative)) << text; }

private:
    std::string path_;
};

// Holds what is written to std::cerr while it lives.
class CapturedStderr {
public:
    CapturedStderr() : saved_(std::cerr.rdbuf(text_.rdbuf())) {}
    ~CapturedStderr() { std::cerr.rdbuf(saved_); }
    CapturedStderr(const CapturedStderr&) = delete;
    CapturedStderr& operator=(const CapturedStderr&) = delete;
    std::string text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* saved_;
};

}  // namespace runtest
