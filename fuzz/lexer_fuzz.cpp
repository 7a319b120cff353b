// Fuzz target for the lexer: arbitrary bytes, the first two choosing the LexerOptions (every
// combination, the source and preprocessor sets among them) and the tab size, the rest the
// input. Lexes to EndOfFile; must never crash, hang, leak or trip a sanitizer.
#include "FuzzTargets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size >= 2) fuzzing::lexAll(fuzzing::lexerInput(data, size));
    return 0;
}
