// Lexing real files through VnFrontEnd: each tests/data/lexer/*.vn beside its expected token
// dump (*.tokens, diagnostics at the end). Run with VORN_REGENERATE=1 to rewrite the dumps,
// then read the diff.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "VnFrontEnd.hpp"

namespace fs = std::filesystem;

namespace {

const fs::path dataDir = fs::path(VORN_SOURCE_DIR) / "tests" / "data" / "lexer";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The dump names the file by its name alone, so expectations do not depend on the checkout.
std::string lexFile(const fs::path& path) {
    clearDiagnostics();
    VnFrontEnd frontEnd;
    boost::shared_ptr<Lexer> lexer = frontEnd.openSource(path.string());
    std::string out = dumpTokens(*lexer);
    std::ostringstream diagnostics;
    flushDiagnostics(1, diagnostics);
    std::string text = diagnostics.str();
    for (size_t at; (at = text.find(path.string())) != std::string::npos;)
        text.replace(at, path.string().size(), path.filename().string());
    return out + text;
}

TEST(LexerFiles, DumpsMatchTheirExpectations) {
    bool regenerate = std::getenv("VORN_REGENERATE") != nullptr;
    int checked = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(dataDir)) {
        if (entry.path().extension() != ".vn") continue;
        fs::path expectedPath = entry.path();
        expectedPath.replace_extension(".tokens");
        std::string got = lexFile(entry.path());
        if (regenerate) std::ofstream(expectedPath, std::ios::binary) << got;
        EXPECT_EQ(got, readFile(expectedPath)) << entry.path();
        bool failing = entry.path().filename().string().rfind("fail_", 0) == 0;
        EXPECT_EQ(failing, got.find(" : error : ") != std::string::npos) << entry.path();
        ++checked;
    }
    EXPECT_GE(checked, 4);
}

TEST(LexerFiles, WindowsFileReadsLikeItsUnixTwin) {
    std::string windows = lexFile(dataDir / "crlf-bom.vn");
    fs::path unix = fs::temp_directory_path() / "vorn-lexer-unix-twin.vn";
    std::ofstream(unix, std::ios::binary) << "if x\n    f(1) // note\ng()\n";
    std::string unixDump = lexFile(unix);
    fs::remove(unix);
    EXPECT_EQ(windows, unixDump);
}

TEST(LexerFiles, UnopenableFilesAreReported) {
    VnFrontEnd frontEnd;
    for (const fs::path& bad : {dataDir / "no-such-module.vn", dataDir}) {
        try {
            frontEnd.openSource(bad.string());
            ADD_FAILURE() << bad << " opened";
        } catch (const CompileError& e) {
            EXPECT_STREQ(e.what(), "Unable to open file");
        }
    }
}

std::string texts(TokenStream& stream) {
    std::string out;
    for (; stream.kind() != EndOfFile; stream.advance()) out += stream.text() + " ";
    return out;
}

TEST(LexerFiles, TabSizeReachesTheLexer) {
    fs::path path = fs::temp_directory_path() / "vorn-lexer-tabs.vn";
    std::ofstream(path, std::ios::binary) << "if x\n\tf\n    g\n";
    std::string withEight = texts(*VnFrontEnd().openSource(path.string()));
    std::string withFour = texts(*VnFrontEnd(4).openSource(path.string()));
    fs::remove(path);
    // With 8 the tab reaches column 8 and "g" at 4 leaves the block of "f"; with 4 it stays.
    EXPECT_EQ(withEight, "if x { f { } } g { } ");
    EXPECT_EQ(withFour, "if x { f { } g { } } ");
}

}  // namespace
