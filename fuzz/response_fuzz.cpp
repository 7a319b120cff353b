// Fuzz target for cl.exe response files: arbitrary bytes split into words by the emulation's
// tokenizer, and the words written back as it passes them on split again, which must give the
// same words. A crash, a hang, a leak or a changed word is a finding.
#include "FuzzTargets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::splitResponseFile(data, size);
    return 0;
}
