// Build manager: module names, the paths derived from them, and the work of a run.
// Takes input file names from the command line; gives module names, the work stack and the
// sets the compile stage works from. Never reads the command line itself.
// Translating, compiling and linking are not built yet: their entry points refuse loudly.
#pragma once

#include <set>
#include <stack>
#include <string>
#include <vector>

// A module's name: its components (a.b.c) and the extension of the file it came from.
// Only the components take part in ordering and equality, so a name is the same key
// whatever extension it was given with.
struct ModuleName {
    std::string extension;
    std::vector<std::string> components;

    bool operator<(const ModuleName& o) const { return components < o.components; }
    bool operator==(const ModuleName& o) const { return components == o.components; }
    bool operator!=(const ModuleName& o) const { return !(*this == o); }
};

// Turns a file path into a module name. With resolveBase the directories of the path become
// the base directory (and slot 0 of the include directories); with checkExtension an
// extension that cannot be one (not starting with a lower-case letter) is dropped.
ModuleName parseModuleName(const std::string& path, bool resolveBase, bool checkExtension);

// The components joined by "." (for messages).
std::string dottedName(const ModuleName& name);
// The components joined by "/", then "." and the extension (the "." even when it is empty).
std::string relativeFileName(const ModuleName& name);
// Where the module's source with the given extension lies: under vornDir + "lib/" for
// library modules, else under the base directory; no "." when the extension is empty.
std::string sourcePath(const ModuleName& name, const std::string& extension);
// Where a generated file goes: base directory, the path with "_" before the last component;
// or, with an output directory, that directory and the last component. No "." when the
// extension is empty.
std::string outputPath(const ModuleName& name, const std::string& extension);

// Process-wide state of the build. parseModuleName writes the base directory; the emulation
// of cl.exe writes the output directory; the driver and the loader push work.
extern std::string baseDirectory;
extern std::string outputDirectory;
extern std::stack<ModuleName> workStack;
extern std::set<ModuleName> visited;
extern std::set<ModuleName> converted;
extern std::set<ModuleName> toCompile;

void pushWork(const ModuleName& name);
// Empties every piece of build state (for tests, which run many builds in one process).
void resetBuildState();

// The run's stages; each returns true on success.
bool buildAll();
bool compileAll();
bool linkAll();
bool emulateVisualCpp(const std::string& responseFileName);
