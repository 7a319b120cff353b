// Build manager: module names and paths, loading with the up-to-date rule, import resolution,
// the translate loop and the import recheck. Takes module names; gives loaded, completed and
// written modules. Never guesses a result it did not compute: a missing piece fails loudly.
#include "BuildManager.hpp"

#include <algorithm>
#include <boost/make_shared.hpp>

#include "CppBackEnd.hpp"
#include "Diagnostics.hpp"
#include "Driver.hpp"
#include "LibBackEnd.hpp"
#include "LibFrontEnd.hpp"
#include "MacroExpander.hpp"
#include "NameLookup.hpp"
#include "TreeModifier.hpp"
#include "TypeOf.hpp"
#include "VnFrontEnd.hpp"
#include "platform/Platform.hpp"

std::string baseDirectory;
std::string outputDirectory;
std::stack<ModuleName> workStack;
std::set<ModuleName> visited;
std::set<ModuleName> converted;
std::set<ModuleName> toCompile;
std::map<ModuleName, ModulePtr> moduleRegistry;
std::map<std::string, FrontEndPtr> frontEnds;
BackEndPtr cppBackEnd;

namespace {

// Modules that import each other hold each other through their imports. They live for the
// whole run anyway; at its end (and when tests reset the state) the links are cut so that the
// registry really frees what it owns.
void releaseModules() {
    for (auto& entry : moduleRegistry)
        if (entry.second)
            for (auto& import : entry.second->imports) import.second->module.reset();
    moduleRegistry.clear();
}

struct ModuleRelease {
    ~ModuleRelease() { releaseModules(); }
} moduleRelease;  // defined after the registry, so destroyed before it

}  // namespace

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

bool endsInSeparator(const std::string& text) { return !text.empty() && isSeparator(text.back()); }

std::string joined(const std::vector<std::string>& parts, const std::string& glue, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) out += glue;
        out += parts[i];
    }
    return out;
}

std::string joined(const std::vector<std::string>& parts, const std::string& glue) {
    return joined(parts, glue, parts.size());
}

bool isLibraryName(const ModuleName& name) {
    return !name.components.empty() && name.components[0] == "Library";
}

// The extension a path names: the text after its last '.', or nothing. With checking, a
// text that cannot be an extension (a directory part, or not starting lower-case) is none.
std::string extensionOf(const std::string& path, bool checkExtension) {
    std::string::size_type dot = path.rfind('.');
    if (dot == std::string::npos) return std::string();
    std::string extension = path.substr(dot + 1);
    if (checkExtension) {
        bool startsLower = !extension.empty() && extension[0] >= 'a' && extension[0] <= 'z';
        if (!startsLower || extension.find_first_of("/\\") != std::string::npos) return std::string();
    }
    return extension;
}

}  // namespace

ModuleName parseModuleName(const std::string& path, bool resolveBase, bool checkExtension) {
    bool absolute = (!path.empty() && isSeparator(path[0])) || (path.size() > 1 && path[1] == ':');
    if (resolveBase) {
        if (absolute) {
            baseDirectory.clear();
        } else {
            baseDirectory = platform::currentDirectory();
            if (!endsInSeparator(baseDirectory)) baseDirectory += '/';
        }
    }
    ModuleName name;
    name.extension = extensionOf(path, checkExtension);

    std::string::size_type pos = 0;
    while (pos < path.size()) {
        std::string::size_type end = path.find_first_of("/\\.", pos);
        if (end == pos) end = path.find_first_of("/\\", pos);  // keeps ".", ".." and ".name" whole
        if (end == std::string::npos) end = path.size();
        std::string component = path.substr(pos, end - pos);
        bool directory = end < path.size() && isSeparator(path[end]);
        if (component == ".") {
            // the current directory adds nothing
        } else if (resolveBase && directory) {
            baseDirectory += component + "/";
        } else if (absolute && name.components.empty() && pos <= baseDirectory.size() &&
                   baseDirectory.compare(pos, component.size(), component) == 0) {
            // still inside the base directory's own text
        } else {
            name.components.push_back(component);
        }
        pos = end + 1;
    }
    if (!name.extension.empty() && !name.components.empty()) name.components.pop_back();
    if (resolveBase) runOptions.includeDirs[0] = baseDirectory;
    return name;
}

std::string dottedName(const ModuleName& name) { return joined(name.components, "."); }

std::string relativeFileName(const ModuleName& name) { return joined(name.components, "/") + "." + name.extension; }

std::string sourcePath(const ModuleName& name, const std::string& extension) {
    std::string root = isLibraryName(name) ? runOptions.vornDir + "lib/" : baseDirectory;
    std::string path = root + joined(name.components, "/");
    if (!extension.empty()) path += "." + extension;
    return path;
}

std::string outputPath(const ModuleName& name, const std::string& extension) {
    std::string path;
    if (!outputDirectory.empty()) {
        path = outputDirectory + (name.components.empty() ? std::string() : name.components.back());
    } else {
        path = baseDirectory;
        size_t count = name.components.size();
        if (count > 0) {
            if (count > 1) path += joined(name.components, "/", count - 1) + "/";
            path += "_" + name.components.back();
        }
    }
    if (!extension.empty()) path += "." + extension;
    return path;
}

void pushWork(const ModuleName& name) { workStack.push(name); }

void resetBuildState() {
    baseDirectory.clear();
    outputDirectory.clear();
    workStack = std::stack<ModuleName>();
    visited.clear();
    converted.clear();
    toCompile.clear();
    releaseModules();
    frontEnds.clear();
    cppBackEnd.reset();
}

namespace {
// A stage that does not exist yet must not look like one that succeeded.
bool refuse(const std::string& what) {
    report(CompileError(what + " is not implemented yet in this version of vorn"));
    return false;
}

void verbose(const std::string& text) {
    if (runOptions.verbose) verboseLine(text);
}

// A front end that a later version brings. It finds the source like the real one will, so
// the search order of extensions is already the real one, and refuses to read it with a
// message at the file.
class PendingFrontEnd : public FrontEnd {
public:
    PendingFrontEnd(const std::string& extension, const std::string& what, bool ownExtensionOnly)
        : extension(extension), what(what), ownExtensionOnly(ownExtensionOnly) {}

    ModulePtr loadModule(const ModuleName& name) override {
        SourceLocation at(internFileName(sourcePath(name, extension)), -1, -1);
        reportError(what + " is not implemented yet in this version of vorn", at);
        return ModulePtr();
    }
    std::time_t sourceTime(const ModuleName& name) override {
        if (ownExtensionOnly && name.extension != extension) return 0;
        return platform::modificationTime(sourcePath(name, extension));
    }

private:
    std::string extension;
    std::string what;
    bool ownExtensionOnly;  // C++ headers are looked for only under their own extension
};

BackEnd& cppBackEndInstance() {
    if (!cppBackEnd) cppBackEnd = boost::make_shared<CppBackEnd>();
    return *cppBackEnd;
}

void registerFrontEnds() {
    if (!frontEnds.empty()) return;
    frontEnds["vn"] = boost::make_shared<VnFrontEnd>(runOptions.tabSize > 0 ? runOptions.tabSize : 8);
    frontEnds["vni"] = boost::make_shared<PendingFrontEnd>("vni", "reading include interface files", false);
    frontEnds["h"] = boost::make_shared<PendingFrontEnd>("h", "reading C++ headers", true);
    frontEnds["hpp"] = boost::make_shared<PendingFrontEnd>("hpp", "reading C++ headers", true);
}

}  // namespace

void registerPasses() { registerTypeInference(); }

namespace {

ModulePtr loadFromSource(const ModuleName& request, FrontEnd& frontEnd) {
    std::time_t source = frontEnd.sourceTime(request);
    if (source == 0) return ModulePtr();
    // Equal times count as up to date: the outputs were written from this very source.
    bool upToDate = cppBackEndInstance().outputTime(request) >= source;
    verbose("loading: " + dottedName(request) + " from source");
    ModulePtr module = frontEnd.loadModule(request);
    if (!queuedDiagnostics().empty() || !module) return ModulePtr();
    module->upToDate = upToDate;
    module->fullyLoaded = true;
    if (module->name.empty()) module->name = dottedName(request);
    moduleRegistry[request] = module;
    resolveImports(*module);
    if (runOptions.processImports) pushWork(request);
    return module;
}

ModulePtr loadFromLibrary(const ModuleName& request) {
    verbose("loading: " + dottedName(request) + " from library");
    ModuleName file;
    file.components.assign(request.components.begin(),
                           request.components.begin() + std::min<size_t>(2, request.components.size()));
    ModuleName wanted = request;
    if (!wanted.components.empty() && wanted.components.back() == "*") wanted.components.pop_back();
    if (!moduleRegistry.count(file)) moduleRegistry[file] = LibFrontEnd().loadModule(file);
    ModuleName registered;
    registered.components = libraryRegistryName(wanted.components);
    auto found = moduleRegistry.find(registered);
    return found == moduleRegistry.end() ? ModulePtr() : found->second;
}


bool processModule(const ModuleName& name) {
    BackEnd& backEnd = cppBackEndInstance();
    verbose("Converting file: " + sourcePath(name, name.extension));
    ModulePtr module = loadModule(name, false);
    if (flushDiagnostics(2)) return false;
    if (!module || !module->complete) {
        verbose("  Loading failed, invalidating output: " + dottedName(name));
        backEnd.removeObjects(name);
        return false;
    }
    if (module->upToDate) {
        verbose("  No writing, file is up to date");
        return true;
    }
    module = loadModule(name, true);
    if (!module) return false;
    completeModule(*module);
    if (flushDiagnostics(2)) return false;
    // Some generated file could not be written, or was left half written by a node the back
    // end cannot write: none of them may count as this module's output, or the next run would
    // find it up to date.
    auto discardOutputs = [&] {
        backEnd.removeOutputs(name);
        LibBackEnd().removeOutputs(name);
    };
    try {
        LibBackEnd().writeModule(*module);
        backEnd.writeModule(*module);
    } catch (const CompileError& error) {
        flushDiagnostics(2);
        discardOutputs();
        // Positioned ones name the user's line that led there; the others end the run as before.
        if (!error.position.hasFile()) throw;
        report(error);
        return false;
    }
    if (flushDiagnostics(2)) {
        discardOutputs();
        return false;
    }
    return true;
}

void recheckImports() {
    VerboseIndentScope indent;
    verbose("Rechecking if imports are out of date");
    for (const ModuleName& name : converted) {
        verbose(" Checking " + dottedName(name));
        ModulePtr module = loadModule(name, false);
        if (!module) continue;
        checkImports(*module);
        if (!module->importsUpToDate || !module->upToDate) {
            verbose("Invalidating " + dottedName(name) + " and sending it to compiler");
            cppBackEndInstance().removeObjects(name);
            toCompile.insert(name);
        }
    }
}

}  // namespace

ModuleName moduleNameOf(const Module& module) {
    ModuleName name;
    name.components = splitDottedName(module.name);
    return name;
}

ModulePtr loadModule(const ModuleName& name, bool full) {
    VerboseIndentScope indent;
    if (isLibraryName(name)) return loadFromLibrary(name);
    auto known = moduleRegistry.find(name);
    if (known != moduleRegistry.end()) {
        if (!full || (known->second && known->second->fullyLoaded)) {
            verbose("loading: " + dottedName(name) + " from memory");
            return known->second;
        }
        verbose("loading: " + dottedName(name) + " not from memory, we want full version");
    }
    registerFrontEnds();
    ModuleName request = name;
    ModulePtr module;
    if (request.extension.empty()) {
        for (const auto& entry : frontEnds) {
            request.extension = entry.first;
            module = loadFromSource(request, *entry.second);
            // A front end that found the file but could not read it has said why; trying the
            // next extension would only bury that.
            if (module || !queuedDiagnostics().empty()) break;
        }
        request.extension.clear();
    } else {
        auto frontEnd = frontEnds.find(request.extension);
        if (frontEnd != frontEnds.end()) module = loadFromSource(request, *frontEnd->second);
    }
    if (module) return module;
    if (!flushDiagnostics(1)) report(CompileError("Unable to load file " + relativeFileName(request)));
    moduleRegistry[name] = ModulePtr();
    return ModulePtr();
}

void resolveImports(Module& module) {
    if (module.importsResolved) return;
    for (const auto& entry : module.imports) {
        ImportDeclaration& import = *entry.second;
        if (import.module) continue;
        ModuleName imported;
        imported.components = import.path;
        ModulePtr loaded = loadModule(imported, false);
        if (!loaded) throw CompileError("Unable to load module " + relativeFileName(imported), import.location);
        import.module = loaded;
        for (const std::string& include : loaded->includes)
            if (std::find(module.includes.begin(), module.includes.end(), include) == module.includes.end())
                module.includes.push_back(include);
        if (module.block) bindImport(*module.block, import.path, import.location, loaded);
    }
    ModuleName builtin = parseModuleName("Library/Buildin/*", false, true);
    ImportDeclarationPtr import = boost::make_shared<ImportDeclaration>();
    import->path = builtin.components;
    import->module = loadModule(builtin, false);
    // Every program relies on the built-in names; going on without them would only turn into
    // a flood of unknown names later.
    if (!import->module) throw CompileError("Unable to load module " + relativeFileName(builtin));
    import->flags = ImportDeclaration::builtinImport;
    module.addImport(import);
    verbose("adding building library to: " + module.name);
    module.importsResolved = true;
}

void checkImports(Module& module) {
    if (module.importsChecked) return;
    module.importsChecked = true;
    verbose("checking imports of: " + module.name);
    VerboseIndentScope indent;
    for (const auto& entry : module.imports) {
        const ImportDeclaration& import = *entry.second;
        if (!import.module || (import.flags & ImportDeclaration::noChangeCheck)) continue;
        Module& imported = *import.module;
        checkImports(imported);
        if (imported.cppUnchanged && imported.headerUnchanged) continue;
        verbose("  import out of date: " + imported.name);
        module.importsUpToDate = false;
        if (import.inHeader > 0) {
            // The importer's header includes the changed one, so it changed too.
            module.headerUnchanged = false;
            break;
        }
    }
}

void completeModule(Module& module) {
    Block* top = module.block.get();
    if (!top || top->completed) return;
    top->completed = true;
    registerPasses();
    // Macro statements take their delivered statements' places before anything is analysed;
    // those left name no macro ("_HPP", "_CPP") and stay for the back end, or failed, which
    // is reported.
    expandMacroStatements(*top);
    for (const StatementPtr& statement : top->statements) {
        if (!statement) continue;
        if (Declaration* declaration = dynamic_cast<Declaration*>(statement.get()))
            processDeclaration(declaration);
        else if (!dynamic_cast<MacroStatement*>(statement.get()))
            reportError("Only declarations allowed in this scope", statement->location);
        fillMissingPositions(statement->location);
    }
}

bool buildAll() {
    bool ok = true;
    while (!workStack.empty()) {
        ModuleName name = workStack.top();
        workStack.pop();
        if (!ok || visited.count(name)) continue;
        visited.insert(name);
        if (processModule(name))
            converted.insert(name);
        else
            ok = false;
    }
    recheckImports();
    return ok;
}

bool emulateVisualCpp(const std::string&) { return refuse("acting as cl.exe or link.exe"); }
