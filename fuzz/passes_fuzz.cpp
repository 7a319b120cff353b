// Fuzz target for the passes after parsing: bytes that parse as a ".vn" module are translated
// whole (name lookup, type inference, lowering, the C++ back end) in a scratch folder. User
// errors at a position are results; a crash, a hang, a leak, an escaping exception or an
// internal error without a file and line is a finding.
#include "FuzzTargets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::translateProgram(data, size);
    return 0;
}
