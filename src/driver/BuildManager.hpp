// Build manager: the registry of loaded modules, the choice of front end, the up-to-date rule
// and the translation of a run. Takes module names from the command line; gives loaded
// and written modules, and the sets the compile stage works from. Never reads the command
// line itself and never reads or writes a file format: front and back ends do that.
#pragma once

#include <map>
#include <set>
#include <stack>
#include <string>
#include <vector>

#include "tree/FrontEnd.hpp"
#include "base/ModuleName.hpp"

// Process-wide state of the build. The driver and the loader push work.
extern std::stack<ModuleName> workStack;
extern std::set<ModuleName> visited;
extern std::set<ModuleName> converted;
extern std::set<ModuleName> toCompile;

// Every module loaded in this run, by name; an empty entry records a failed load. Written by
// the loader alone, also for the modules a library file describes.
extern std::map<ModuleName, ModulePtr> moduleRegistry;
// Front ends by the extension they read, tried in this (alphabetical) order for a name
// without extension. Filled on the first load of a run unless something put entries there.
extern std::map<std::string, FrontEndPtr> frontEnds;
// The C++ back end; made on first use and kept to the end of the run.
extern BackEndPtr cppBackEnd;

void pushWork(const ModuleName& name);
// Empties every piece of build state (for tests, which run many builds in one process).
void resetBuildState();

// Puts the front ends in frontEnds unless something put entries there. Loading does it on its
// first use; the language server does it first, to hand the source front end the editor's texts.
void registerFrontEnds();

// Installs every pass's handlers with the tree modifier. Completing a module calls it first;
// tests that drive the passes by hand call it themselves.
void registerPasses();

// The module of that name: from memory, from the library, from its own interface file when
// it is up to date, or read by a front end. With full, a module read from an interface file
// does not do: it is read from source again.
// Empty when it cannot be loaded (the reason has been printed, at requestedAt when that is
// the import that asked for it).
ModulePtr loadModule(const ModuleName& name, bool full, const SourceLocation& requestedAt = SourceLocation());
// Loads and binds the imports of a module and adds the built-in library, once.
void resolveImports(Module& module);
// Recomputes whether the module's imports changed their generated files, once per run.
void checkImports(Module& module);
// Runs the top-level statements of a module once (declarations only), queueing errors.
void completeModule(Module& module);
// The run's stages; each returns true on success.
bool buildAll();
// Writes a make rule "target: sources" naming the source of every module loaded in this run,
// from source or from its interface file (library modules are vorn's own), for build tools
// that rerun a translation when an imported module changes. False, with the reason printed,
// when the file cannot be written.
bool writeDependencyFile(const std::string& path, const std::string& target);
