// Build manager: module names, the paths derived from them, the registry of loaded modules
// and the translation of a run. Takes input file names from the command line; gives loaded
// and written modules, and the sets the compile stage works from. Never reads the command
// line itself and never reads or writes a file format: front and back ends do that.
#pragma once

#include <map>
#include <set>
#include <stack>
#include <string>
#include <vector>

#include "FrontEnd.hpp"

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

// Every module loaded in this run, by name; an empty entry records a failed load. Written by
// the loader (and by the library reader for the modules a library file describes).
extern std::map<ModuleName, ModulePtr> moduleRegistry;
// Front ends by the extension they read, tried in this (alphabetical) order for a name
// without extension. Filled on the first load of a run unless something put entries there.
extern std::map<std::string, FrontEndPtr> frontEnds;
// The C++ back end; made on first use and kept to the end of the run.
extern BackEndPtr cppBackEnd;

void pushWork(const ModuleName& name);
// Empties every piece of build state (for tests, which run many builds in one process).
void resetBuildState();

// Installs every pass's handlers with the tree modifier. Completing a module calls it first;
// tests that drive the passes by hand call it themselves.
void registerPasses();

// The module of that name: from memory, from the library, or read by a front end. With full,
// a module read from a library interface file does not do: it is read from source again.
// Empty when it cannot be loaded (the reason has been printed).
ModulePtr loadModule(const ModuleName& name, bool full);
// Loads and binds the imports of a module and adds the built-in library, once.
void resolveImports(Module& module);
// Recomputes whether the module's imports changed their generated files, once per run.
void checkImports(Module& module);
// Runs the top-level statements of a module once (declarations only), queueing errors.
void completeModule(Module& module);
// The module's own name as a ModuleName (its dotted name split), for back ends.
ModuleName moduleNameOf(const Module& module);

// The run's stages; each returns true on success.
bool buildAll();
bool compileAll();
bool linkAll();
bool emulateVisualCpp(const std::string& responseFileName);
