// Run options: the one instance of the options record and the switches on verbose output.
#include "base/RunOptions.hpp"

#include "base/Diagnostics.hpp"

RunOptions runOptions;
std::string precompiledHeaderLine;

void verboseProgress(const std::string& text) {
    if (runOptions.verbose) verboseLine(text);
}

void lookupTrace(const std::string& text) {
    if (runOptions.verboseLookup) verboseLineNoIndent(text);
}
