// Fuzz target for compiler configuration scripts: arbitrary bytes read as a script, its four
// templates expanded with and without option words and visited modules, and the whole text
// expanded as one template. The reader's and expander's own errors are fine; a crash, a hang,
// a leak, a sanitizer report or any other exception is a finding.
#include "FuzzTargets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::readAndExpandScript(data, size);
    return 0;
}
