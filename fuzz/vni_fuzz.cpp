// Fuzz target for include interface files: arbitrary bytes written as a ".vni" file beside a
// C and a C++ header and loaded as the build manager loads it, so the header search and the
// import of what it finds run with the file's prefixes, aliases and defines. Errors are
// results; a crash, a hang, a leak or an internal error without a position is a finding.
#include "FuzzTargets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::loadInterface(data, size);
    return 0;
}
