// Lexing real files through VnFrontEnd: each tests/data/lexer/*.vn beside its expected token
// dump (*.tokens, diagnostics at the end). Run with VORN_REGENERATE=1 to rewrite the dumps,
// then read the diff.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "FileCaseSupport.hpp"
#include "front/VnFrontEnd.hpp"

namespace fs = std::filesystem;
using filecase::lexFile;
using filecase::ScratchFile;

namespace {

const fs::path dataDir = fs::path(VORN_SOURCE_DIR) / "tests" / "data" / "lexer";

TEST(LexerFiles, DumpsMatchTheirExpectations) {
    filecase::checkFileCases(dataDir, ".vn", ".tokens", [](const fs::path& path) { return lexFile(path); }, 4);
}

TEST(LexerFiles, WindowsFileReadsLikeItsUnixTwin) {
    std::string windows = lexFile(dataDir / "crlf-bom.vn");
    ScratchFile unix("vorn-lexer-unix-twin.vn", "if x\n    f(1) // note\ng()\n");
    EXPECT_EQ(windows, lexFile(unix.path()));
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
    ScratchFile file("vorn-lexer-tabs.vn", "if x\n\tf\n    g\n");
    std::string withEight = texts(*VnFrontEnd().openSource(file.path().string()));
    std::string withFour = texts(*VnFrontEnd(4).openSource(file.path().string()));
    // With 8 the tab reaches column 8 and "g" at 4 leaves the block of "f"; with 4 it stays.
    EXPECT_EQ(withEight, "if x { f { } } g { } ");
    EXPECT_EQ(withFour, "if x { f { } g { } } ");
}

}  // namespace
