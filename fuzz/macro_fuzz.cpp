// Fuzz target for macro bodies: arbitrary bytes parsed as a ".vn" module whose macro statements
// are then expanded by the interpreter. Errors, internal errors included, are results; a crash,
// a hang, a leak, a sanitizer report or an escaping exception is a finding.
#include "FuzzTargets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::expandMacrosOf(data, size);
    return 0;
}
