// Library back end: one record per import, class, function, variable and property, in the
// order of the module. Takes the completed tree; gives the ".vnl" text. A node class it does
// not know ends the run with an internal error rather than being left out unnoticed.
#include "back/LibBackEnd.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "back/CppWriter.hpp"
#include "front/LibFrontEnd.hpp"
#include "base/Text.hpp"
#include "base/ModuleName.hpp"
#include "base/RunOptions.hpp"
#include "tree/NodeDispatch.hpp"
#include "platform/Platform.hpp"

namespace {

const char* const sourceFile = "src/LibBackEnd";

class RecordWriter;
typedef NodeDispatch<void(const Statement&, RecordWriter&)> RecordDispatch;

class RecordWriter {
public:
    explicit RecordWriter(std::ostream& out) : out(out) {}

    void block(const Block* block) {
        if (!block) return;
        for (const StatementPtr& statement : block->statements)
            if (statement) dispatch()(*statement, *this);
    }

private:
    static const RecordDispatch& dispatch();
    static const bool dispatchListed;  // for the check of every table

    void classRecord(const ClassDeclaration& c) {
        out << "cls " << c.name;
        for (const BaseDeclarationPtr& base : c.bases) out << ' ' << libraryTypeText(base ? base->type.get() : nullptr);
        out << '\n';
        block(c.body.get());
        out << "end\n";
    }
    void functionRecord(const FunctionDeclaration& f) { out << "fun   " << f.name << ' ' << libraryTypeText(f.type.get()) << '\n'; }
    void variableRecord(const VariableDeclaration& v) { out << "var   " << v.name << ' ' << libraryTypeText(v.type.get()) << '\n'; }
    void propertyRecord(const PropertyDeclaration& p) {
        out << "prp " << p.name << ' ' << p.getterName << ' ' << p.setterName << '\n';
    }

    std::ostream& out;
};

// The classes with a record, then those without one: the declarations among them are either
// private to the module (enumerations, aliases, macros) or of no use to an importer yet.
const RecordDispatch& RecordWriter::dispatch() {
    typedef RecordDispatch D;
    static const D table(sourceFile, "LibBackEnd", {
        D::on<ClassDeclaration, &RecordWriter::classRecord>(),
        D::on<FunctionDeclaration, &RecordWriter::functionRecord>(),
        D::on<VariableDeclaration, &RecordWriter::variableRecord>(),
        D::on<PropertyDeclaration, &RecordWriter::propertyRecord>(),
        // statements
        D::skip<ForStatement>(), D::skip<IfStatement>(), D::skip<TryStatement>(), D::skip<CatchStatement>(),
        D::skip<WhileStatement>(), D::skip<DeleteStatement>(), D::skip<ReturnStatement>(), D::skip<BreakStatement>(),
        D::skip<ContinueStatement>(), D::skip<ThrowStatement>(), D::skip<ExpressionStatement>(),
        D::skip<BlockStatement>(), D::skip<MacroStatement>(), D::skip<InitStatement>(), D::skip<CppForStatement>(),
        D::skip<CppSwitchStatement>(), D::skip<CppCaseStatement>(),
        // declarations
        D::skip<ForPart>(), D::skip<ArgumentDeclaration>(), D::skip<TypeAliasDeclaration>(),
        D::skip<EnumDeclaration>(), D::skip<MacroDeclaration>(), D::skip<NamespaceDeclaration>(),
        D::skip<UnionDeclaration>(), D::skip<FriendDeclaration>(), D::skip<ModuleDeclaration>(),
        D::skip<CppConstantMacroDeclaration>(), D::skip<CppIncludeDeclaration>(),
        D::skip<UsingDeclaration>(), D::skip<UsingNamespaceDeclaration>(),
    });
    return table;
}
const bool RecordWriter::dispatchListed = listNodeDispatch(&RecordWriter::dispatch);

std::string dotted(const std::vector<std::string>& components) {
    std::string text;
    for (size_t i = 0; i < components.size(); ++i) text += (i ? "." : "") + components[i];
    return text;
}

}  // namespace

std::string libraryTypeText(const TypeExpression* type) {
    if (const SimpleTypeExpr* simple = dynamic_cast<const SimpleTypeExpr*>(type)) return simple->name;
    return std::string();
}

void writeLibraryRecords(const Module& module, const std::string& dottedName, std::ostream& out) {
    out << "lib " << dottedName << '\n';
    for (const auto& entry : module.imports) {
        const ImportDeclaration& import = *entry.second;
        // The built-in library and imports found by lookup are the importer's own business.
        if (import.flags & (ImportDeclaration::builtinImport | ImportDeclaration::noChangeCheck)) continue;
        out << "imp " << static_cast<char>('0' + import.inHeader) << ' ' << dotted(import.path) << '\n';
    }
    RecordWriter(out).block(module.block.get());
}

namespace {

// Written by declarationsDigest, emptied of a module when its C++ is written, wholly by tests;
// keyed by the path of the module's hpp file.
std::map<std::string, std::string> knownDigests;

// False when the file is missing or no regular file.
bool addFileToDigest(TextDigest& digest, const std::string& path, bool skipIgnorable) {
    if (!platform::isRegularFile(path)) return false;
    std::ifstream in(path.c_str(), std::ios::binary);
    std::string line;
    while (std::getline(in, line))
        if (!skipIgnorable || !DiffingFile::isIgnorable(line)) digest.add(line + "\n");
    return !in.bad();
}

}  // namespace

std::string declarationsDigest(const ModuleName& name, const std::string& headerPath) {
    const std::string header = outputPath(name, "hpp");
    auto known = knownDigests.find(header);
    if (known != knownDigests.end()) return known->second;
    TextDigest digest;
    std::string text = "none";
    if (addFileToDigest(digest, outputPath(name, "hpp2"), true) && addFileToDigest(digest, header, true)) {
        // A header that cannot be read counts as one that changed.
        if (!headerPath.empty() && !addFileToDigest(digest, headerPath, false)) digest.add("\n-");
        text = digest.hex();
    }
    return knownDigests[header] = text;
}

void forgetDeclarationsDigest(const ModuleName& name) { knownDigests.erase(outputPath(name, "hpp")); }

void forgetDeclarationsDigests() { knownDigests.clear(); }

namespace {

// The modules whose declarations a translation of `module` read: each import, and what the
// header of an import includes in turn (an importer's inference reaches through the types it
// hands out). Library modules are vorn's own and have no header.
void collectDeclarationSources(const Module& module, bool direct, std::set<const Module*>& seen,
                               std::vector<RecordedDigest>& found) {
    for (const auto& entry : module.imports) {
        const ImportDeclaration& import = *entry.second;
        const unsigned skipped = ImportDeclaration::builtinImport | ImportDeclaration::implicitImport |
                                 ImportDeclaration::noChangeCheck;
        if (!import.module || (import.flags & skipped) || (!direct && import.inHeader == 0)) continue;
        if (isLibraryName(dottedModuleName(import.module->name)) || !seen.insert(import.module.get()).second) continue;
        found.push_back(RecordedDigest{std::string(), import.module->name, import.module->headerPath});
        collectDeclarationSources(*import.module, false, seen, found);
    }
}

std::string digestRecords(std::vector<RecordedDigest> digests) {
    std::sort(digests.begin(), digests.end(),
              [](const RecordedDigest& a, const RecordedDigest& b) { return a.module < b.module; });
    std::string text;
    for (const RecordedDigest& each : digests) {
        text += "dig " + declarationsDigest(dottedModuleName(each.module), each.headerPath) + " " + each.module;
        text += each.headerPath.empty() ? "\n" : " " + each.headerPath + "\n";
    }
    return text + "eof\n";
}

}  // namespace

LibBackEnd::~LibBackEnd() {
    if (!aside_.empty()) platform::deleteFile(aside_);
}

void LibBackEnd::writeModule(Module& module) {
    if (writeAside(module)) commit();
}

bool LibBackEnd::writeAside(const Module& module) {
    if (runOptions.verbose) verboseLineNoIndent("writing: " + module.name + " to vnl");
    // A file that cannot be written is an error, not a loss to pass over: an older file left
    // in its place would give importers declarations the module no longer has.
    path_ = outputPath(dottedModuleName(module.name), "vnl");
    std::ostringstream records;
    writeLibraryRecords(module, module.name, records);
    std::set<const Module*> seen;
    std::vector<RecordedDigest> digests;
    collectDeclarationSources(module, true, seen, digests);
    aside_ = writeBeside(path_, records.str() + digestRecords(digests));
    if (!aside_.empty()) return true;
    reportError("Unable to write file " + path_, SourceLocation());
    return false;
}

bool LibBackEnd::commit() {
    if (aside_.empty()) return false;
    const bool moved = moveIntoPlace(aside_, path_);
    aside_.clear();
    if (!moved) reportError("Unable to write file " + path_, SourceLocation());
    return moved;
}

bool LibBackEnd::interfaceCurrent(const ModuleName& name, platform::FileTime source) {
    const std::string path = outputPath(name, "vnl");
    if (!platform::fileExists(path)) return true;
    const InterfaceSeal seal = readInterfaceSeal(path);
    if (!seal.whole || platform::modificationTime(path) < source) return false;
    for (const RecordedDigest& each : seal.digests)
        if (declarationsDigest(dottedModuleName(each.module), each.headerPath) != each.digest) return false;
    return true;
}

bool LibBackEnd::refreshDigests(const ModuleName& name) {
    const std::string path = outputPath(name, "vnl");
    const InterfaceSeal seal = readInterfaceSeal(path);
    if (!seal.whole || interfaceCurrent(name, 0)) return true;
    const std::string aside = writeBeside(path, seal.records + digestRecords(seal.digests));
    return !aside.empty() && moveIntoPlace(aside, path);
}

platform::FileTime LibBackEnd::outputTime(const ModuleName& name) {
    return platform::modificationTime(outputPath(name, "vnl"));
}

void LibBackEnd::removeOutputs(const ModuleName& name) { platform::deleteFile(outputPath(name, "vnl")); }

void LibBackEnd::removeObjects(const ModuleName&) { throw VORN_INTERNAL_ERROR(sourceFile, "not implemented"); }
