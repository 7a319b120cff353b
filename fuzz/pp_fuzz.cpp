// Fuzz target for the C preprocessor: arbitrary bytes as a header (directives, macro bodies,
// recursion, includes of itself). Failures of the load are results; a crash, a hang, a leak,
// a sanitizer report or an escaping exception is a finding.
#include "FuzzTargets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::preprocess(data, size);
    return 0;
}
