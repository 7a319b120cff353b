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
#include <unordered_map>
#include <boost/make_shared.hpp>

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

namespace {

// A header's module and an include interface's write no interface file of their own, so no
// digest of theirs stands for what their headers include: an importer records those too.
bool writesInterface(const Module& module) {
    return module.headerPath.empty() && !dynamic_cast<const IncludeModule*>(&module);
}

// The modules whose declarations a translation of `module` read: each import, marked by whether
// the module's header passes it on, and, behind an import without an interface file of its own,
// what its header includes in turn (an importer's inference reaches through the types it hands
// out). Behind any other import the import's digest covers that. Library modules are vorn's own.
void collectDeclarationSources(const Module& module, std::vector<RecordedDigest>& found) {
    const unsigned skipped = ImportDeclaration::builtinImport | ImportDeclaration::implicitImport |
                             ImportDeclaration::noChangeCheck;
    std::set<const Module*> seen;
    // Those passed on first, so that a module reached both ways is marked passed on.
    for (const bool passedOn : {true, false}) {
        std::vector<const Module*> reach;
        auto take = [&](const ImportDeclaration& import) {
            const Module* imported = import.module.get();
            if (!imported || (import.flags & skipped) || isLibraryName(dottedModuleName(imported->name)) ||
                !seen.insert(imported).second)
                return;
            found.push_back(RecordedDigest{passedOn, std::string(), imported->name, imported->headerPath});
            if (!writesInterface(*imported)) reach.push_back(imported);
        };
        for (const auto& entry : module.imports)
            if ((entry.second->inHeader > 0) == passedOn) take(*entry.second);
        while (!reach.empty()) {
            const Module* at = reach.back();
            reach.pop_back();
            for (const auto& entry : at->imports)
                if (entry.second->inHeader > 0) take(*entry.second);
        }
    }
}

// A module as the chained digests see it, keyed like knownDigests. Its sources are the records
// its own interface file marks passed on, read from the file as it is, so that a digest taken
// while writing comes out the same when a later run checks it.
struct DigestNode {
    std::string module, headerPath;
    bool sourcesRead = false;
    std::vector<DigestNode*> sources;
    // Empty until taken; then shared by every module of its import cycle (`cycle`).
    std::string chained;
    boost::shared_ptr<const std::vector<DigestNode*>> cycle;
    // Modules outside its cycle whose chained digest was made from this one's.
    std::vector<DigestNode*> users;
};

// Written by chainedDigest, emptied of a module (and of whatever was chained through it) when
// its files are written, wholly by tests. The nodes never move: `sources` points at them.
std::unordered_map<std::string, DigestNode> digestNodes;

DigestNode& digestNode(const std::string& module, const std::string& headerPath) {
    DigestNode& node = digestNodes[outputPath(dottedModuleName(module), "hpp")];
    if (node.module.empty()) {
        node.module = module;
        node.headerPath = headerPath;
    }
    return node;
}

void noteSources(DigestNode& node, const InterfaceSeal& seal) {
    node.sourcesRead = true;
    node.sources.clear();
    if (!seal.whole) return;
    for (const RecordedDigest& each : seal.digests)
        if (each.passedOn) node.sources.push_back(&digestNode(each.module, each.headerPath));
}

void readSources(DigestNode& node) {
    if (node.sourcesRead) return;
    if (!node.headerPath.empty()) {
        node.sourcesRead = true;
        return;
    }
    noteSources(node, readInterfaceSeal(outputPath(dottedModuleName(node.module), "vnl")));
}

// One digest for a whole cycle: each module's own declarations, in a fixed order, and the chained
// digests of what the cycle's headers pass on from outside it.
void sealCycle(std::vector<DigestNode*> members) {
    std::sort(members.begin(), members.end(),
              [](const DigestNode* a, const DigestNode* b) { return a->module < b->module; });
    TextDigest digest;
    std::map<std::string, DigestNode*> below;
    for (DigestNode* member : members) {
        digest.add("mod " + member->module + ' ' + declarationsDigest(dottedModuleName(member->module), member->headerPath) + '\n');
        for (DigestNode* source : member->sources)
            if (!source->chained.empty()) below.emplace(source->module, source);
    }
    for (const auto& each : below) digest.add("use " + each.first + ' ' + each.second->chained + '\n');
    auto cycle = boost::make_shared<const std::vector<DigestNode*>>(members);
    for (DigestNode* member : members) {
        member->chained = digest.hex();
        member->cycle = cycle;
    }
    for (const auto& each : below) each.second->users.push_back(members.front());
}

// The strongly connected components of the sources below `start`, found without recursion (a
// chain of imports is as long as the program) and sealed from the bottom up.
const std::string& chainedDigest(DigestNode& start) {
    if (!start.chained.empty()) return start.chained;
    struct Mark {
        size_t index, low;
        bool open;
    };
    std::unordered_map<DigestNode*, Mark> marks;
    std::vector<std::pair<DigestNode*, size_t>> path;
    std::vector<DigestNode*> open;
    auto enter = [&](DigestNode* node) {
        readSources(*node);
        const size_t index = marks.size();
        marks[node] = Mark{index, index, true};
        open.push_back(node);
        path.emplace_back(node, 0);
    };
    enter(&start);
    while (!path.empty()) {
        DigestNode* node = path.back().first;
        if (path.back().second < node->sources.size()) {
            DigestNode* source = node->sources[path.back().second++];
            if (!source->chained.empty()) continue;
            auto seen = marks.find(source);
            if (seen == marks.end())
                enter(source);
            else if (seen->second.open)
                marks[node].low = std::min(marks[node].low, seen->second.index);
            continue;
        }
        path.pop_back();
        const Mark mark = marks[node];
        if (!path.empty()) {
            Mark& above = marks[path.back().first];
            above.low = std::min(above.low, mark.low);
        }
        if (mark.low != mark.index) continue;
        std::vector<DigestNode*> members;
        do {
            members.push_back(open.back());
            marks[open.back()].open = false;
            open.pop_back();
        } while (members.back() != node);
        sealCycle(members);
    }
    return start.chained;
}

// Forgets the chained digest of the module, of its cycle and of every module chained through
// them; with `ownFile`, also the sources read from the module's interface file.
void forgetChained(const ModuleName& name, bool ownFile) {
    auto found = digestNodes.find(outputPath(name, "hpp"));
    if (found == digestNodes.end()) return;
    if (ownFile) found->second.sourcesRead = false;
    std::vector<DigestNode*> stale(1, &found->second);
    while (!stale.empty()) {
        DigestNode* node = stale.back();
        stale.pop_back();
        if (node->chained.empty()) continue;
        node->chained.clear();
        if (node->cycle) stale.insert(stale.end(), node->cycle->begin(), node->cycle->end());
        node->cycle.reset();
        stale.insert(stale.end(), node->users.begin(), node->users.end());
        node->users.clear();
    }
}

std::string digestRecords(std::vector<RecordedDigest> digests) {
    std::sort(digests.begin(), digests.end(),
              [](const RecordedDigest& a, const RecordedDigest& b) { return a.module < b.module; });
    std::string text;
    for (const RecordedDigest& each : digests) {
        text += std::string("dig ") + (each.passedOn ? '1' : '0') + ' ' +
                chainedDigest(digestNode(each.module, each.headerPath)) + ' ' + each.module;
        text += each.headerPath.empty() ? "\n" : " " + each.headerPath + "\n";
    }
    return text + "eof\n";
}

}  // namespace

void forgetDeclarationsDigest(const ModuleName& name) {
    knownDigests.erase(outputPath(name, "hpp"));
    forgetChained(name, true);
}

void forgetDeclarationsDigests() {
    knownDigests.clear();
    digestNodes.clear();
}

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
    module_ = module.name;
    std::vector<RecordedDigest> digests;
    collectDeclarationSources(module, digests);
    aside_ = writeBeside(path_, records.str() + digestRecords(digests));
    if (!aside_.empty()) return true;
    reportError("Unable to write file " + path_, SourceLocation());
    return false;
}

bool LibBackEnd::commit() {
    if (aside_.empty()) return false;
    const bool moved = moveIntoPlace(aside_, path_);
    aside_.clear();
    // Its sources are read from the file: the one just moved into place may name others.
    forgetChained(dottedModuleName(module_), true);
    if (!moved) reportError("Unable to write file " + path_, SourceLocation());
    return moved;
}

bool LibBackEnd::interfaceCurrent(const ModuleName& name, platform::FileTime source) {
    const std::string path = outputPath(name, "vnl");
    if (!platform::fileExists(path)) return true;
    const InterfaceSeal seal = readInterfaceSeal(path);
    if (!seal.whole || platform::modificationTime(path) < source) return false;
    DigestNode& own = digestNode(dottedName(name), std::string());
    if (!own.sourcesRead) noteSources(own, seal);
    for (const RecordedDigest& each : seal.digests)
        if (chainedDigest(digestNode(each.module, each.headerPath)) != each.digest) return false;
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
