// Build manager: the registry of loaded modules, the choice of front end, the up-to-date rule
// and the translation of a run. Takes module names from the command line; gives loaded
// and written modules, and the sets the compile stage works from. Never reads the command
// line itself and never reads or writes a file format: front and back ends do that.
#pragma once

#include <map>
#include <set>
#include <stack>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "tree/FrontEnd.hpp"
#include "base/ModuleName.hpp"

// The state of one build: made by the driver for a run (by the language server for each
// analysis), and handed to every stage that loads modules or reads what the run did. Making one
// also forgets the file caches of an earlier build (module roots, declaration digests, kept
// header records), which belong to the run that filled them.
class BuildManager {
public:
    BuildManager();
    ~BuildManager();
    BuildManager(const BuildManager&) = delete;
    BuildManager& operator=(const BuildManager&) = delete;

    // The driver and the loader push work; the work takes it off.
    std::stack<ModuleName> workStack;
    // Modules the work took, and those of them it translated or found up to date.
    std::set<ModuleName> visited;
    std::set<ModuleName> converted;
    // Modules the compile stage compiles whatever their object files say.
    std::set<ModuleName> toCompile;
    // Every module loaded in this build, by name; an empty entry records a failed load. Written
    // by the loader alone, also for the modules a library file describes.
    std::map<ModuleName, ModulePtr> moduleRegistry;
    // Front ends by the extension they read, tried in this (alphabetical) order for a name
    // without extension. Filled on the first load unless something put entries there.
    std::map<std::string, FrontEndPtr> frontEnds;
    // The C++ back end; made on first use unless something put one there.
    BackEndPtr cppBackEnd;

    void pushWork(const ModuleName& name);
    // Puts the front ends in frontEnds unless something put entries there. Loading does it on
    // its first use; the language server does it first, to hand the source front end the
    // editor's texts.
    void registerFrontEnds();
    // The module of that name: from memory, from the library, from its own interface file when
    // it is up to date, or read by a front end. With full, a module read from an interface file
    // does not do: it is read from source again.
    // Empty when it cannot be loaded (the reason has been printed, at requestedAt when that is
    // the import that asked for it).
    ModulePtr loadModule(const ModuleName& name, bool full, const SourceLocation& requestedAt = SourceLocation());
    // Loads and binds the imports of a module and adds the built-in library, once.
    void resolveImports(Module& module);
    // Recomputes whether the module's imports changed their generated files, once per build.
    void checkImports(Module& module);
    // Runs the top-level statements of a module once (declarations only), queueing errors.
    void completeModule(Module& module);
    // The translate stage: every module of the work, then the import recheck; true on success.
    bool buildAll();
    // Writes a make rule "target: sources" naming the source of every module loaded in this
    // build, from source or from its interface file (library modules are vorn's own), for build
    // tools that rerun a translation when an imported module changes. False, with the reason
    // printed, when the file cannot be written.
    bool writeDependencyFile(const std::string& path, const std::string& target);
    // Leaves the trees to the operating system when this goes, instead of freeing them: the
    // driver's build ends with the process, and freeing every node costs a noticeable share of
    // a translation.
    void keepModulesAtExit() { keptAtExit = true; }

    // How much of a module a load needs (defined with the loader).
    enum class LoadDepth;

private:
    // Set by a failed translation, also one the import recheck started; later ones are not tried.
    bool translationFailed = false;
    // Set when a module of the work failed: the modules after it are not translated.
    bool workFailed = false;
    // Modules on the work stack in the order their loads finished (imports before importers),
    // until they are translated; read by translateLoaded.
    std::vector<ModuleName> loadedForWork;
    // Modules whose imports are being loaded: one that reaches them cannot be translated yet.
    std::set<const Module*> resolving;
    // Where translateLoaded's last pass ended: the first `checked` entries of loadedForWork were
    // found blocked (`blocked`, each with a module behind it), all behind one of `behind`, with
    // `replaced` modules read again so far.
    struct BlockedScan {
        size_t checked = 0, replaced = 0;
        std::unordered_map<const Module*, const Module*> blocked;
        std::set<const Module*> behind;
    } blockedScan;
    // Front-end reads in progress (an include interface loads the modules it imports from
    // within its own read); translating then would run passes in the middle of a read.
    int frontEndReads = 0;
    // Set while buildAll takes modules off the work stack: modules read later (by the import
    // recheck) are only loaded, as before.
    bool working = false;
    // For each module translated while the program was still being read: how many include texts
    // it had when read. Until the work reaches it in its own turn, importers take over only
    // those, as they would had the program been read whole before the first translation: the
    // texts its translation added show up in the headers of the modules that import it only
    // after that turn.
    std::map<const Module*, size_t> includesAsRead;
    // Modules found to reach no module whose imports are still being loaded; that stays so.
    std::set<const Module*> readyForWork;
    bool translating = false;
    // Modules translated and written in this build; their digests are brought up to date at
    // its end.
    std::set<ModuleName> writtenInRun;
    // Modules whose header was written in this build with a text other than before.
    std::set<const Module*> rewrittenHeaders;
    // Modules read from their interface files and then again from source: the importers that
    // had bound them still hold them, so they live on outside the registry.
    std::vector<ModulePtr> replacedModules;
    // How deep the loads of a chain of imports nest at the moment.
    int importDepth = 0;
    bool keptAtExit = false;

    BackEnd& cppBackEndInstance();
    ModulePtr loadToDepth(const ModuleName& name, LoadDepth depth, const SourceLocation& requestedAt);
    ModulePtr loadFromSource(const ModuleName& request, FrontEnd& frontEnd, LoadDepth depth);
    ModulePtr loadFromLibrary(const ModuleName& request);
    bool awaitedByPendingImporter(const Module& module);
    bool processModule(const ModuleName& name);
    bool translateModule(const ModuleName& name);
    void workOn(const ModuleName& name);
    bool importsAllLoaded(const Module& module, std::unordered_map<const Module*, const Module*>& blocked);
    void translateLoaded();
    void recheckImports();
    bool declarationsChanged(const Module& module, std::set<const Module*>& seen);
    void retranslateIfDeclarationsChanged(Module& module);
};

// Installs every pass's handlers with the tree modifier, and the hooks between the passes, in
// the one order of the pipeline. Completing a module calls it first; tests that drive the
// passes by hand call it themselves.
void registerPasses();
