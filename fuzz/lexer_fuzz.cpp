// Fuzz target for the lexer: takes arbitrary bytes; the first two choose the LexerOptions
// (every bit combination, the source and preprocessor sets among them) and the tab size, the
// rest is the input. Lexes to EndOfFile; must never crash, hang or leak, whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "Diagnostics.hpp"
#include "Lexer.hpp"

namespace {
const LexerOptions allOptionBits = OwnWords | Indentation | SemicolonEndsStatement | NestedComments |
                                   VerbatimRegions | KnownOperatorsOnly | LineSplice | WhitespaceTokens;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    LexerOptions options = static_cast<LexerOptions>((data[0] | (data[1] << 8)) & allOptionBits);
    // Bit 0x10 is unused by the lexer; the spare high bits pick small tab sizes, 0 included.
    int tabSize = (data[1] >> 1) & 0x0f;
    std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
    std::istringstream in(text);
    Lexer lexer(in, "fuzz.vn", options, tabSize);
    // Every byte yields at most a few tokens; far more would mean the lexer stopped progressing.
    std::size_t limit = 16 * text.size() + 64;
    for (std::size_t n = 0; !lexer.atEnd(); ++n) {
        if (n > limit) __builtin_trap();
        lexer.advance();
    }
    clearDiagnostics();
    return 0;
}
