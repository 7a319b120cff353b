// Test support for folders of file cases: each input beside its checked-in expected output,
// compared on every run and rewritten under VORN_REGENERATE=1 (read the diff afterwards).
// Also the token dump of a source file and a scratch file that removes itself.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "base/Diagnostics.hpp"
#include "front/Lexer.hpp"
#include "front/VnFrontEnd.hpp"

namespace filecase {

namespace fs = std::filesystem;

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Every INPUT_EXTENSION file of the folder against its EXPECTED_EXTENSION twin. Files named
// "fail_*" must report an error and no others may; at least `minimum` cases must be found, so
// that an emptied or moved folder cannot pass unnoticed.
inline void checkFileCases(const fs::path& folder, const char* inputExtension, const char* expectedExtension,
                           const std::function<std::string(const fs::path&)>& produce, int minimum) {
    bool regenerate = std::getenv("VORN_REGENERATE") != nullptr;
    int checked = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != inputExtension) continue;
        fs::path expectedPath = entry.path();
        expectedPath.replace_extension(expectedExtension);
        std::string got = produce(entry.path());
        if (regenerate) std::ofstream(expectedPath, std::ios::binary) << got;
        EXPECT_EQ(got, readFile(expectedPath)) << entry.path();
        bool failing = entry.path().filename().string().rfind("fail_", 0) == 0;
        EXPECT_EQ(failing, got.find(" : error : ") != std::string::npos) << entry.path();
        ++checked;
    }
    EXPECT_GE(checked, minimum) << folder;
}

// The token dump of a file lexed through the front end, its diagnostics after it. Reports
// name the file by its name alone, so expectations do not depend on the checkout.
inline std::string lexFile(const fs::path& path) {
    clearDiagnostics();
    boost::shared_ptr<Lexer> lexer = VnFrontEnd().openSource(path.string());
    std::string out = dumpTokens(*lexer);
    std::ostringstream diagnostics;
    flushDiagnostics(1, diagnostics);
    std::string text = diagnostics.str();
    for (size_t at; (at = text.find(path.string())) != std::string::npos;)
        text.replace(at, path.string().size(), path.filename().string());
    return out + text;
}

// A file of the given bytes in the temporary directory, removed when this goes.
class ScratchFile {
public:
    ScratchFile(const std::string& name, const std::string& bytes) : path_(fs::temp_directory_path() / name) {
        std::ofstream(path_, std::ios::binary) << bytes;
    }
    ~ScratchFile() {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

}  // namespace filecase
