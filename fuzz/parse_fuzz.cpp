// Fuzz target for the whole ".vn" parse: arbitrary bytes lexed with the source configuration,
// parsed by the source grammar and linked by the parent finder. Syntax errors are results; a
// crash, a hang, a leak, a sanitizer report or an escaping exception is a finding.
#include "FuzzTargets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::parseAll(data, size);
    return 0;
}
