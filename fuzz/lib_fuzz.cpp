// Fuzz target for library interface files: arbitrary bytes read as a ".vnl" file, every module
// it describes written back, and the written text read and written once more, which
// must not change it. A crash, a hang, a leak or a sanitizer report is a finding.
#include "FuzzTargets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::readAndRewriteLibrary(data, size);
    return 0;
}
