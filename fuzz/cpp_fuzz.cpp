// Fuzz target for the C++ declaration grammar: arbitrary bytes preprocessed as a header and
// parsed into a module tree. Syntax errors are results; a crash, a hang, a leak, a sanitizer
// report or an escaping exception is a finding.
#include "FuzzTargets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::parseHeader(data, size);
    return 0;
}
