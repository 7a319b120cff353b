// Run options: the one instance of the options record and the switches on verbose output.
#include "base/RunOptions.hpp"

#include "base/Diagnostics.hpp"

RunOptions runOptions;
std::string precompiledHeaderLine;

void verboseProgress(const std::string& text) {
    if (runOptions.verbose) verboseLine(text);
}

void lookupTrace(std::initializer_list<std::string_view> parts) {
    if (!runOptions.verboseLookup) return;
    std::string text;
    for (std::string_view part : parts) text += part;
    verboseLineNoIndent(text);
}
