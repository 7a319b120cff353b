// Build manager: loading with the up-to-date rule and the module registry, import resolution,
// the translate loop and the import recheck. Takes module names; gives loaded, completed and
// written modules. Never guesses a result it did not compute: a missing piece fails loudly.
#include "driver/BuildManager.hpp"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <boost/make_shared.hpp>

#include "sema/ClassLowering.hpp"
#include "back/CppBackEnd.hpp"
#include "front/CppFrontEnd.hpp"
#include "back/CppWriter.hpp"
#include "base/Diagnostics.hpp"
#include "front/HeaderCache.hpp"
#include "front/IncludeFrontEnd.hpp"
#include "base/RunOptions.hpp"
#include "back/LibBackEnd.hpp"
#include "front/LibFrontEnd.hpp"
#include "sema/MacroExpander.hpp"
#include "sema/NameLookup.hpp"
#include "sema/Lowering.hpp"
#include "tree/TreeModifier.hpp"
#include "sema/TypeOf.hpp"
#include "front/VnFrontEnd.hpp"
#include "platform/Platform.hpp"

// At the end of a run the trees are left to the operating system (keepModulesAtExit). They
// stay reachable from here, so a leak checker sees memory in use, not memory lost; outside an
// unnamed namespace, so the compiler cannot drop the stores as never read.
std::map<ModuleName, ModulePtr>* modulesKeptAtExit = nullptr;
std::vector<ModulePtr>* replacedKeptAtExit = nullptr;

// How much of a module the caller needs: what its interface file holds, every declaration an
// importer can reach, or the whole module for its translation.
enum class BuildManager::LoadDepth { Interface, Declarations, Whole };

namespace {

void cutImports(Module& module) {
    for (auto& import : module.imports) import.second->module.reset();
}

}  // namespace

BuildManager::BuildManager() {
    forgetModuleRoots();
    forgetDeclarationsDigests();
    forgetReadHeaders();
}

BuildManager::~BuildManager() {
    if (keptAtExit) {
        modulesKeptAtExit = new std::map<ModuleName, ModulePtr>();
        modulesKeptAtExit->swap(moduleRegistry);
        replacedKeptAtExit = new std::vector<ModulePtr>();
        replacedKeptAtExit->swap(replacedModules);
        return;
    }
    // Modules that import each other hold each other through their imports: the links are cut
    // so that the registry really frees what it owns.
    for (auto& entry : moduleRegistry)
        if (entry.second) cutImports(*entry.second);
    for (const ModulePtr& module : replacedModules) cutImports(*module);
}

void BuildManager::pushWork(const ModuleName& name) { workStack.push(name); }

BackEnd& BuildManager::cppBackEndInstance() {
    if (!cppBackEnd) cppBackEnd = boost::make_shared<CppBackEnd>();
    return *cppBackEnd;
}

void BuildManager::registerFrontEnds() {
    if (!frontEnds.empty()) return;
    frontEnds["vn"] = boost::make_shared<VnFrontEnd>(runOptions.tabSize > 0 ? runOptions.tabSize : 8);
    frontEnds["vni"] = boost::make_shared<IncludeFrontEnd>([this](const ModuleName& name, const SourceLocation& at,
                                                              bool declarations) {
        return loadToDepth(name, declarations ? LoadDepth::Declarations : LoadDepth::Interface, at);
    });
    frontEnds["h"] = boost::make_shared<CppFrontEnd>();
    frontEnds["hpp"] = boost::make_shared<CppFrontEnd>();
}

// The middle of the pipeline, in one place. The passes run on demand (a declaration when
// something first reaches it), so what is said here is which pass handles which declarations:
// type inference (variables, for parts, arguments, type aliases), lowering (functions, unions)
// and class lowering (classes, properties); no two take the same class. The hooks between them
// are set here too: inference hands every expression slot it holds to lowering, and moves a
// field's initialiser into its class only because class lowering writes the constructors.
void registerPasses() {
    registerTypeInference();
    registerLowering();
    registerClassLowering();
    expressionProcessor = &processExpression;
    moveMemberInitializers = true;
}

namespace {

// An up-to-date module's own interface file, when it is no older than the source, stands for
// the module: a run that rewrites nothing then reads no source at all. Only a module that is
// not rewritten may be taken this way, and a module that is rewritten reads its imports from
// source (resolveImports), so no translation ever sees the shorter declarations of the file.
ModulePtr loadFromInterface(const ModuleName& request, platform::FileTime source) {
    if (request.extension != "vn" || LibBackEnd().outputTime(request) < source) return ModulePtr();
    std::vector<ModulePtr> described = LibFrontEnd().readOwnInterface(request);
    // Under a flat output directory another module's file may sit at the same path.
    if (described.empty() || described.front()->name != dottedName(request)) return ModulePtr();
    verboseProgress("loading: " + dottedName(request) + " from .vnl because its up to date");
    return described.front();
}

}  // namespace

ModulePtr BuildManager::loadFromSource(const ModuleName& request, FrontEnd& frontEnd, LoadDepth depth) {
    platform::FileTime source = frontEnd.sourceTime(request);
    if (source == 0) return ModulePtr();
    // Equal times count as up to date: the outputs were written from this very source.
    bool upToDate = cppBackEndInstance().outputTime(request) >= source &&
                    (request.extension != "vn" || LibBackEnd::interfaceCurrent(request, source));
    ModulePtr module;
    if (upToDate && depth == LoadDepth::Interface) module = loadFromInterface(request, source);
    // Records an earlier run kept stand for what reading the source would give a run that
    // does not translate the module; it stays not fully loaded, so a translation reads it again.
    if (upToDate && depth == LoadDepth::Interface && !module) module = frontEnd.loadKept(request);
    if (module && hasQueuedErrors()) return ModulePtr();
    if (!module) {
        verboseProgress("loading: " + dottedName(request) + " from source");
        // A current module is translated in this run only when an import's declarations
        // change, and then it is read again whole: until then its importers need no bodies.
        ++frontEndReads;
        try {
            module = upToDate && depth == LoadDepth::Declarations ? frontEnd.loadDeclarations(request)
                                                                  : frontEnd.loadModule(request);
        } catch (...) {
            --frontEndReads;
            throw;
        }
        --frontEndReads;
        if (hasQueuedErrors() || !module) return ModulePtr();  // a warning fails no load
        module->fullyLoaded = true;
    }
    module->upToDate = upToDate;
    if (module->name.empty()) module->name = dottedName(request);
    ModulePtr& entry = moduleRegistry[request];
    if (entry) replacedModules.push_back(entry);
    entry = module;
    resolveImports(*module);
    if (runOptions.processImports) {
        pushWork(request);
        loadedForWork.push_back(request);
        translateLoaded();
    }
    return module;
}

ModulePtr BuildManager::loadFromLibrary(const ModuleName& request) {
    verboseProgress("loading: " + dottedName(request) + " from library");
    ModuleName file;
    file.components.assign(request.components.begin(),
                           request.components.begin() + std::min<size_t>(2, request.components.size()));
    ModuleName wanted = request;
    if (!wanted.components.empty() && wanted.components.back() == "*") wanted.components.pop_back();
    ModuleName registered;
    registered.components = libraryRegistryName(wanted.components);
    // A module already known under its capitalised name is that module, however the request
    // is spelt: where the file system ignores case, "BUILDIN.vnl" would read it a second time.
    auto known = moduleRegistry.find(registered);
    if (known != moduleRegistry.end() && known->second) return known->second;
    if (!moduleRegistry.count(file)) {
        std::vector<ModulePtr> described = LibFrontEnd().readLibrary(file);
        for (const ModulePtr& each : described) {
            ModuleName registered;
            registered.components = libraryRegistryName(splitDottedName(each->name));
            moduleRegistry[registered] = each;
        }
        moduleRegistry[file] = described.empty() ? ModulePtr() : described.front();
    }
    auto found = moduleRegistry.find(registered);
    return found == moduleRegistry.end() ? ModulePtr() : found->second;
}


// Whether a module still waiting on the work stack imports this one, directly or through others.
bool BuildManager::awaitedByPendingImporter(const Module& module) {
    std::set<const Module*> seen;
    std::vector<const Module*> reach;
    // One waiting module walked at a time, so that the first importer found ends the search: in an
    // import cycle that is the module next in line, one import away, and walking the whole cycle
    // for every module of it would make a run quadratic in its length.
    auto reaches = [&](const ModuleName& name) {
        if (visited.count(name)) return false;
        auto known = moduleRegistry.find(name);
        if (known == moduleRegistry.end() || !known->second) return false;
        reach.push_back(known->second.get());
        while (!reach.empty()) {
            const Module* at = reach.back();
            reach.pop_back();
            if (!seen.insert(at).second) continue;
            for (const auto& entry : at->imports) {
                const Module* imported = entry.second->module.get();
                if (imported == &module) return true;
                if (imported) reach.push_back(imported);
            }
        }
        return false;
    };
    // While the work runs over every module read, each loaded one still to be translated is
    // also on the short list of those read but not yet translated; walking the whole stack for
    // each module would make a run quadratic in the number of modules.
    if (working && runOptions.processImports) {
        for (const ModuleName& name : loadedForWork)
            if (reaches(name)) return true;
    } else {
        for (std::stack<ModuleName> pending = workStack; !pending.empty(); pending.pop())
            if (reaches(pending.top())) return true;
    }
    return false;
}

namespace {

void emptyBody(const BlockPtr& body) {
    if (!body) return;
    body->statements.clear();
    body->names.clear();
}

// Function bodies are the bulk of a tree. Once written they are read by nothing but a later
// translation of a module that imports this one, which only needs declarations anyway; freeing
// them lets the modules still to come reuse the memory. Nested modules are left whole: they are
// written as modules of their own.
void releaseBodies(Block& block) {
    for (const StatementPtr& statement : block.statements) {
        ASTObject* node = statement.get();
        if (FunctionDeclaration* function = nodeCast<FunctionDeclaration>(node)) {
            emptyBody(function->body);
        } else if (PropertyDeclaration* property = nodeCast<PropertyDeclaration>(node)) {
            emptyBody(property->getter);
            emptyBody(property->setter);
        } else if (ClassDeclaration* cls = nodeCast<ClassDeclaration>(node)) {
            if (cls->body) releaseBodies(*cls->body);
        } else if (UnionDeclaration* u = nodeCast<UnionDeclaration>(node)) {
            if (u->body) releaseBodies(*u->body);
        } else if (NamespaceDeclaration* space = nodeCast<NamespaceDeclaration>(node)) {
            if (space->body) releaseBodies(*space->body);
        }
    }
}

}  // namespace

bool BuildManager::processModule(const ModuleName& name) {
    BackEnd& backEnd = cppBackEndInstance();
    const std::string header = headerLocation(name);
    verboseProgress("Converting file: " + (header.empty() ? sourcePath(name, name.extension) : header));
    ModulePtr module = loadModule(name, false);
    if (flushDiagnostics(2)) return false;
    // An import translated while this module was read failed: the work ends there.
    if (workFailed) return false;
    if (!module || !module->complete) {
        verboseProgress("  Loading failed, invalidating output: " + dottedName(name));
        backEnd.removeObjects(name);
        return false;
    }
    // What its headers gave is kept for the next run, also when it is up to date itself.
    const IncludeModule* include = dynamic_cast<const IncludeModule*>(module.get());
    if (include && !include->fromKeptHeaders) writeKeptHeaders(name);
    if (module->upToDate) {
        verboseProgress("  No writing, file is up to date");
        return true;
    }
    return translateModule(name);
}

// Reads the module whole, runs the passes and writes both interfaces; false after an error.
bool BuildManager::translateModule(const ModuleName& name) {
    BackEnd& backEnd = cppBackEndInstance();
    ModulePtr module = loadModule(name, true);
    if (!module) return false;
    if (module->declarationsOnly)
        throw VORN_INTERNAL_ERROR("src/BuildManager", "module without its function bodies to translate: " + module->name);
    // What an include interface file imports is the library's own: its declarations are used
    // where the program reaches them, its C++ is the header itself, and only reading it again
    // gives its declarations back, so no library interface file is written for it.
    const bool imported = !module->headerPath.empty() || dynamic_cast<IncludeModule*>(module.get());
    if (!imported) completeModule(*module);
    if (flushDiagnostics(2)) return false;
    // The interface file goes into place last, and only after the C++ files: until it is there
    // the module's outputs are not current (LibBackEnd::interfaceCurrent), so a run stopped at any
    // point, or one that failed, leaves the module to be translated again. No file of another
    // run is deleted: runs that share a module may write it at the same time.
    LibBackEnd interface;
    if (!imported && !interface.writeAside(*module)) {
        flushDiagnostics(2);
        return false;
    }
    try {
        forgetDeclarationsDigest(name);
        backEnd.writeModule(*module);
    } catch (const CompileError& error) {
        flushDiagnostics(2);
        // Positioned ones name the user's line that led there; the others end the run as before.
        if (!error.position.hasFile()) throw;
        report(error);
        return false;
    }
    if (flushDiagnostics(2)) {
        // The back end reported an error in what it wrote: the files it has just put in place
        // are of no use to the compiler.
        backEnd.removeOutputs(name);
        return false;
    }
    if (!imported && !interface.commit()) {
        // Without their interface file the C++ files this run has just put in place would pass
        // for the module's when an older one is missing.
        backEnd.removeOutputs(name);
        flushDiagnostics(2);
        return false;
    }
    writtenInRun.insert(name);
    if (!module->headerUnchanged) rewrittenHeaders.insert(module.get());
    if (module->block && !awaitedByPendingImporter(*module)) {
        releaseBodies(*module->block);
        // Whoever wants the whole module again must read it again.
        module->declarationsOnly = true;
    }
    return true;
}

// One module of the work, once; after a failed one nothing more is translated.
void BuildManager::workOn(const ModuleName& name) {
    if (visited.count(name)) {
        auto known = moduleRegistry.find(name);
        if (known != moduleRegistry.end()) includesAsRead.erase(known->second.get());
    }
    if (workFailed || visited.count(name)) return;
    visited.insert(name);
    if (processModule(name))
        converted.insert(name);
    else
        workFailed = true;
}

// Whether every module the module reaches through its imports has its own imports loaded:
// in an import cycle none can be translated before the whole cycle is read. A walk that
// succeeds makes every module it saw ready (each one's imports lie within the walk), and one
// that fails marks its start blocked, with a module behind it whose imports are still being
// loaded, for as long as the caller keeps the mark; later walks stop at it: where every module
// imports every other, each module is walked about once.
bool BuildManager::importsAllLoaded(const Module& module, std::unordered_map<const Module*, const Module*>& blocked) {
    if (readyForWork.count(&module)) return true;
    if (blocked.count(&module)) return false;
    if (resolving.count(&module)) {
        blocked.emplace(&module, &module);
        return false;
    }
    std::unordered_set<const Module*> seen{&module};
    std::vector<const Module*> reach(1, &module);
    while (!reach.empty()) {
        const Module* at = reach.back();
        reach.pop_back();
        for (const auto& entry : at->imports) {
            const Module* imported = entry.second->module.get();
            if (!imported || readyForWork.count(imported) || seen.count(imported)) continue;
            auto behind = blocked.find(imported);
            if (behind != blocked.end() || resolving.count(imported)) {
                blocked.emplace(&module, behind != blocked.end() ? behind->second : imported);
                return false;
            }
            seen.insert(imported);
            reach.push_back(imported);
        }
    }
    readyForWork.insert(seen.begin(), seen.end());
    return true;
}

namespace {

struct Flag {
    bool& flag;
    explicit Flag(bool& f) : flag(f) { flag = true; }
    ~Flag() { flag = false; }
};

struct VerboseIndentReset {
    int kept = verboseIndent;
    VerboseIndentReset() { verboseIndent = 0; }
    ~VerboseIndentReset() { verboseIndent = kept; }
};

}  // namespace

// Translates the loaded modules of the work whose imports are all loaded, in the order their
// loads finished, while the rest of the program is still to be read: each module is written and
// its bodies freed before the next one is parsed, so the trees of a run are never all alive at
// once and the next parse reuses memory that is already mapped.
void BuildManager::translateLoaded() {
    if (!working || translating || frontEndReads > 0 || !queuedDiagnostics().empty()) return;
    Flag busy(translating);
    // No module stops being loaded while the loop runs, so what it finds blocked stays so. Nor
    // does a module found blocked in an earlier pass stop being so while every module behind
    // those is still being loaded (and no module was read again): the pass starts after them.
    // Else, in an import cycle, every load of the cycle would look at every module loaded before.
    std::unordered_map<const Module*, const Module*>& blocked = blockedScan.blocked;
    size_t i = 0;
    if (blockedScan.checked <= loadedForWork.size() && blockedScan.replaced == replacedModules.size() &&
        std::all_of(blockedScan.behind.begin(), blockedScan.behind.end(),
                    [this](const Module* behind) { return resolving.count(behind) > 0; })) {
        i = blockedScan.checked;
    } else {
        blocked.clear();
        blockedScan.behind.clear();
    }
    for (; i < loadedForWork.size();) {
        const ModuleName name = loadedForWork[i];
        auto known = moduleRegistry.find(name);
        const bool done = visited.count(name) || known == moduleRegistry.end() || !known->second;
        if (!done && !importsAllLoaded(*known->second, blocked)) {
            blockedScan.behind.insert(blocked[known->second.get()]);
            ++i;
            continue;
        }
        loadedForWork.erase(loadedForWork.begin() + static_cast<std::ptrdiff_t>(i));
        if (done) continue;
        includesAsRead.emplace(known->second.get(), known->second->includes.size());
        // Its lines are those of a module of the work, not of the load that read it.
        VerboseIndentReset indent;
        workOn(name);
    }
    blockedScan.checked = loadedForWork.size();
    blockedScan.replaced = replacedModules.size();
}

void BuildManager::recheckImports() {
    VerboseIndentScope indent;
    verboseProgress("Rechecking if imports are out of date");
    for (const ModuleName& name : converted) {
        verboseProgress(" Checking " + dottedName(name));
        ModulePtr module = loadModule(name, false);
        if (!module) continue;
        checkImports(*module);
        if (!module->importsUpToDate || !module->upToDate) {
            verboseProgress("Invalidating " + dottedName(name) + " and sending it to compiler");
            cppBackEndInstance().removeObjects(name);
            toCompile.insert(name);
        }
    }
}

ModulePtr BuildManager::loadModule(const ModuleName& name, bool full, const SourceLocation& requestedAt) {
    return loadToDepth(name, full ? LoadDepth::Whole : LoadDepth::Interface, requestedAt);
}

namespace {

bool deepEnough(const Module& module, BuildManager::LoadDepth depth) {
    switch (depth) {
    case BuildManager::LoadDepth::Interface: return true;
    case BuildManager::LoadDepth::Declarations: return module.fullyLoaded;
    case BuildManager::LoadDepth::Whole: return module.fullyLoaded && !module.declarationsOnly;
    }
    return false;
}

// Each import loads its own imports before it returns: a chain of imports is as deep a
// recursion. Deeper than this is refused; the stack vorn runs on holds it with room to spare,
// and the refusal unwinds less than the 64 MB that a sanitizer build's larger frames allow.
const int maxImportDepth = 3000;

}  // namespace

ModulePtr BuildManager::loadToDepth(const ModuleName& name, LoadDepth depth, const SourceLocation& requestedAt) {
    struct Deeper {
        int& depth;
        explicit Deeper(int& d) : depth(d) { ++depth; }
        ~Deeper() { --depth; }
    } deeper(importDepth);
    if (importDepth > maxImportDepth)
        throw CompileError("Imports nest deeper than " + std::to_string(maxImportDepth) + " modules: " + dottedName(name) +
                               " is imported at the end of a chain that long",
                           requestedAt);
    VerboseIndentScope indent;
    if (isLibraryName(name)) return loadFromLibrary(name);
    auto known = moduleRegistry.find(name);
    if (known != moduleRegistry.end()) {
        if (depth == LoadDepth::Interface || (known->second && deepEnough(*known->second, depth))) {
            verboseProgress("loading: " + dottedName(name) + " from memory");
            return known->second;
        }
        verboseProgress("loading: " + dottedName(name) + " not from memory, we want full version");
    }
    registerFrontEnds();
    ModuleName request = name;
    ModulePtr module;
    if (request.extension.empty()) {
        for (const auto& entry : frontEnds) {
            request.extension = entry.first;
            module = loadFromSource(request, *entry.second, depth);
            // A front end that found the file but could not read it has said why; trying the
            // next extension would only bury that.
            if (module || !queuedDiagnostics().empty()) break;
        }
        request.extension.clear();
    } else {
        auto frontEnd = frontEnds.find(request.extension);
        if (frontEnd != frontEnds.end()) module = loadFromSource(request, *frontEnd->second, depth);
    }
    if (module) return module;
    // Asked for by the command line, the message stands at the file it looked for.
    const SourceLocation at =
        requestedAt.hasFile() ? requestedAt : SourceLocation(internFileName(sourcePath(request, request.extension)), -1, -1);
    if (!flushDiagnostics(1)) report(CompileError("Unable to load file " + relativeFileName(request), at));
    moduleRegistry[name] = ModulePtr();
    return ModulePtr();
}

void BuildManager::resolveImports(Module& module) {
    if (module.importsResolved) return;
    struct Resolving {
        std::set<const Module*>& resolving;
        const Module* module;
        Resolving(std::set<const Module*>& r, const Module* m) : resolving(r), module(m) { resolving.insert(m); }
        ~Resolving() { resolving.erase(module); }
    } mark(resolving, &module);
    for (const auto& entry : module.imports) {
        ImportDeclaration& import = *entry.second;
        if (import.module) continue;
        ModuleName imported;
        imported.components = import.path;
        // A module read from source may be completed, and its translation may reach into the
        // imports of its imports: they all need their full declarations.
        ModulePtr loaded = loadToDepth(imported, module.fullyLoaded ? LoadDepth::Declarations : LoadDepth::Interface,
                                       import.location);
        if (!loaded) throw CompileError("Unable to load module " + relativeFileName(imported), import.location);
        import.module = loaded;
        auto asRead = includesAsRead.find(loaded.get());
        const size_t taken = asRead == includesAsRead.end() ? loaded->includes.size() : asRead->second;
        for (size_t i = 0; i < taken; ++i) module.addInclude(loaded->includes[i]);
        if (module.block) bindImport(*module.block, import.path, import.location, loaded);
    }
    ModuleName builtin = parseModuleName("Library/Buildin/*", false, true);
    ImportDeclarationPtr import = boost::make_shared<ImportDeclaration>();
    import->path = builtin.components;
    import->module = loadModule(builtin, false);
    // Every program relies on the built-in names; going on without them would only turn into
    // a flood of unknown names later. Their absence nearly always means that the wrong data
    // directory was chosen, so the message names the one that was searched.
    if (!import->module) {
        std::string dataDirectory = runOptions.vornDir;
        const bool absolute = !dataDirectory.empty() && (dataDirectory[0] == '/' || dataDirectory[0] == '\\' ||
                                                         (dataDirectory.size() > 1 && dataDirectory[1] == ':'));
        if (!absolute) dataDirectory = platform::currentDirectory() + "/" + dataDirectory;
        throw CompileError("Unable to load module " + relativeFileName(builtin) + "\nvorn looked for its data in " +
                           dataDirectory + " and found no lib/Library/Buildin.vnl there");
    }
    import->flags = ImportDeclaration::builtinImport;
    module.addImport(import);
    verboseProgress("adding building library to: " + module.name);
    module.importsResolved = true;
}

// Whether the declarations a module shows its importers changed in this run: its own header's
// text, or that of a module its header includes (whose names its importers' inference can reach
// through the types it hands out).
bool BuildManager::declarationsChanged(const Module& module, std::set<const Module*>& seen) {
    if (!seen.insert(&module).second) return false;
    if (rewrittenHeaders.count(&module)) return true;
    for (const auto& entry : module.imports) {
        const ImportDeclaration& import = *entry.second;
        if (import.module && import.inHeader > 0 && !(import.flags & ImportDeclaration::noChangeCheck) &&
            declarationsChanged(*import.module, seen))
            return true;
    }
    return false;
}

// A module that was up to date was written against its imports' earlier declarations: what
// it inferred from them (the type of a `var`, an overload) may no longer hold, so when an
// import's header changed in this run it is translated again, not only compiled. Imports are
// checked first, so a change passes up through a chain of importers in one walk.
void BuildManager::retranslateIfDeclarationsChanged(Module& module) {
    if (translationFailed || !module.upToDate || !module.headerPath.empty() || dynamic_cast<IncludeModule*>(&module))
        return;
    bool changed = false;
    for (const auto& entry : module.imports) {
        const ImportDeclaration& import = *entry.second;
        std::set<const Module*> seen;
        if (import.module && !(import.flags & ImportDeclaration::noChangeCheck) &&
            declarationsChanged(*import.module, seen))
            changed = true;
    }
    if (!changed) return;
    const ModuleName* name = nullptr;
    for (const auto& known : moduleRegistry)
        if (known.second.get() == &module) name = &known.first;
    if (!name || isLibraryName(*name)) return;
    const ModuleName request = *name;
    verboseProgress("  declarations of an import changed, translating again: " + dottedName(request));
    if (!translateModule(request)) {
        translationFailed = true;
        cppBackEndInstance().removeObjects(request);
        return;
    }
    ModulePtr written = moduleRegistry[request];
    // Importers still hold this object: they judge this module by what the new write changed.
    module.upToDate = false;
    if (written && !written->headerUnchanged) rewrittenHeaders.insert(&module);
    if (written) {
        // A header that includes a changed one counts as changed even when its text is not.
        module.headerUnchanged = module.headerUnchanged && written->headerUnchanged;
        module.cppUnchanged = module.cppUnchanged && written->cppUnchanged;
        written->upToDate = false;
        written->importsChecked = true;
    }
}

void BuildManager::checkImports(Module& module) {
    if (module.importsChecked) return;
    module.importsChecked = true;
    verboseProgress("checking imports of: " + module.name);
    VerboseIndentScope indent;
    for (const auto& entry : module.imports) {
        const ImportDeclaration& import = *entry.second;
        if (!import.module || (import.flags & ImportDeclaration::noChangeCheck)) continue;
        Module& imported = *import.module;
        checkImports(imported);
        if (imported.cppUnchanged && imported.headerUnchanged) continue;
        verboseProgress("  import out of date: " + imported.name);
        module.importsUpToDate = false;
        if (import.inHeader > 0) {
            // The importer's header includes the changed one, so it changed too.
            module.headerUnchanged = false;
            break;
        }
    }
    retranslateIfDeclarationsChanged(module);
}

void BuildManager::completeModule(Module& module) {
    Block* top = module.block.get();
    if (!top || top->completed) return;
    top->completed = true;
    registerPasses();
    // Macro statements are expanded where statement processing reaches them.
    startModuleMacros();
    processBody(*top, false);
    // After an error, statements below the failed one may be left unprocessed on purpose.
    if (!hasQueuedErrors()) reportUnprocessedStatements(*top);
}

bool BuildManager::buildAll() {
    workFailed = false;
    {
        Flag busy(working);
        while (!workStack.empty()) {
            ModuleName name = workStack.top();
            workStack.pop();
            workOn(name);
        }
    }
    loadedForWork.clear();
    blockedScan = BlockedScan();
    includesAsRead.clear();
    if (workFailed) translationFailed = true;
    recheckImports();
    // Every module written in a run that succeeded was made from the declarations of its imports
    // as they now are, also one in an import cycle, which was written before the others.
    if (!translationFailed)
        for (const ModuleName& name : writtenInRun)
            if (!LibBackEnd::refreshDigests(name)) {
                report(CompileError("Unable to write file " + outputPath(name, "vnl")));
                return false;
            }
    return !translationFailed;
}

namespace {
// Make reads blanks as separators and '$' and '#' as its own; Ninja reads the same escapes.
std::string makeWord(const std::string& path) {
    std::string word;
    for (char c : path) {
        if (c == ' ' || c == '#') word += '\\';
        if (c == '$') word += '$';
        word += c;
    }
    return word;
}
}  // namespace

bool BuildManager::writeDependencyFile(const std::string& path, const std::string& target) {
    std::string rule = makeWord(target) + ':';
    std::set<std::string> listed;  // headers included by several are named once
    for (const auto& entry : moduleRegistry)
        // Modules taken from their interface files count too: their sources decide whether
        // that file is still current.
        if (entry.second && !isLibraryName(entry.first)) {
            // A header's module is named for the header but read from where the search found it.
            const std::string& header = entry.second->headerPath;
            rule += " \\\n  " + makeWord(header.empty() ? sourcePath(entry.first, entry.first.extension) : header);
            // And every file its preprocessor read: a change to any of them changes the header.
            for (const std::string& file : entry.second->headerFiles)
                if (listed.insert(file).second) rule += " \\\n  " + makeWord(file);
        }
    rule += '\n';
    const std::string aside = writeBeside(path, rule);
    if (!aside.empty() && moveIntoPlace(aside, path)) return true;
    report(CompileError("Unable to write the dependency file " + path));
    return false;
}
