// Driver: the command line of vorn and the order of a run.
// Takes the program's arguments; gives the run options, the work stack's first entries and
// the exit status. Never translates anything itself: the build manager's stages do.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/RunOptions.hpp"

class BuildManager;

// One row of the option table. `word` and `longWord` are compared whole and case-sensitively.
// An option with a value that is the last argument does not match (the word is then read
// as an input name). `apply` returns the exit status when the run ends at this option.
struct OptionRow {
    const char* word;  // the short form, or nullptr when there is none
    const char* longWord;
    bool takesValue;
    std::optional<int> (*apply)(const std::string& value, const std::string& programName);
};

// The option rows in the order they are tried (the @-word and input names come after them).
const std::vector<OptionRow>& optionTable();

void printUsage(const std::string& programName, bool full, std::ostream& out);
void printUsage(const std::string& programName, bool full);

// Finds the directory holding vorn and stores it in runOptions.vornDir.
void locateExecutable();

// Reads the arguments (not the program name) into runOptions and the build's work stack. Returns
// the exit status when the run ends while reading (help, @, -c with -d), nothing when the
// build should run. May throw: a conversion failure, a C string, a configuration error.
std::optional<int> readOptions(const std::vector<std::string>& arguments, const std::string& programName,
                               BuildManager& build);

// The build stages in their order; the exit status.
int runStages(BuildManager& build);

// Runs `work` inside main's two handlers: an escaping std::exception (every CompileError
// among them) or thrown C string is printed as one line on stderr and gives failureStatus.
int withFailureHandlers(const std::function<int()>& work, std::ostream& err);

// Everything main does, with its two handlers around it.
int vornMain(int argc, char** argv);
