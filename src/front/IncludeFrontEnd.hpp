// Include interface files (".vni"): the front end that imports C and C++ headers. Takes an
// interface file naming headers and the renaming of their names; gives an IncludeModule whose
// imports are the header modules, each read by the C++ front end. Never writes a file and
// never moves the run's base directory: a found header's folder stays with its module.
#pragma once

#include <ctime>
#include <functional>
#include <istream>
#include <string>
#include <vector>

#include "tree/FrontEnd.hpp"
#include "front/HeaderCache.hpp"
#include "base/ModuleName.hpp"
#include "platform/Platform.hpp"

struct IncludeValue {
    std::string value;
    int line;  // counted from 1
};

// Reads the lines of an interface file into the module; "include" values are appended to
// includes in file order. Unrecognized lines are queued as errors at fileName.
void readIncludeInterface(std::istream& in, const std::string& fileName, IncludeModule& module,
                          std::vector<IncludeValue>& includes);

// The headers an "include" value names, as full paths (wildcards "*" and "?" in the file
// name part). An absolute value is used as it stands; a relative one is tried against the
// base directory, then each -I directory, then the system include directories, and the first
// of these that matches anything gives the result. Each pattern tried is printed verbosely,
// and noted in `trail` when given.
std::vector<FoundHeader> findHeaders(const std::string& value, const std::vector<std::string>& systemDirectories,
                                     HeaderSearchTrail* trail = nullptr);

// Whether a system include directory is the C++ library's (its C headers are wrappers).
bool isCppLibraryDirectory(const std::string& dir);

// The module name a found header is imported under: its relative name with every character
// that cannot stand in a name component made "_" (widgets/wg.h gives widgets_wg_h), so it
// never collides with the interface file's own module or with a source module.
ModuleName headerModuleName(const std::string& relative);

// Where the header of a header module lies, set when the include front end finds it; empty
// for a name it has not found (the header is then looked for under the base directory).
std::string headerLocation(const ModuleName& name);
// What the generated C++ includes for it when it lies in the compiler's own directories: <name>
// as the user wrote it, never a path that names the compiler's version. Empty otherwise.
std::string headerIncludeText(const ModuleName& name);

// What a header module read from the records kept by an earlier run is given instead of the
// preprocessor's list: the files read for it besides the header. Empty when it was not offered.
const std::vector<std::string>* keptHeaderFiles(const ModuleName& name);

// The predefined macros and include directories of the system's C++ compiler ("c++"), asked
// once per run and only when a header is imported; empty when there is no such compiler.
const platform::CompilerPreprocessor& systemPreprocessor();

class IncludeFrontEnd : public FrontEnd {
public:
    // Loads a module through the build manager's pipeline, empty when it cannot be loaded (the
    // reason printed, at the given position); with declarations, one the kept records stand for
    // does not do. Handed in, because the manager picks this front end: neither includes the
    // other.
    typedef std::function<ModulePtr(const ModuleName&, const SourceLocation&, bool declarations)> ModuleLoader;
    explicit IncludeFrontEnd(ModuleLoader loadImported) : loadImported(std::move(loadImported)) {}

    ModulePtr loadModule(const ModuleName& name) override;
    // The interface file read, its headers taken from the records an earlier run kept.
    ModulePtr loadKept(const ModuleName& name) override;
    platform::FileTime sourceTime(const ModuleName& name) override;

private:
    ModulePtr readInterface(const ModuleName& name, bool kept);
    ModuleLoader loadImported;
};
