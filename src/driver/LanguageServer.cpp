// Language server: the message loop, the documents the editor holds, and the analysis of one of
// them at a time. The build state is process-wide, so each analysis starts from a reset and the
// trees of the last one stay until the next; hover, definition and symbols read those trees.
// Nothing here writes a file: modules are loaded and completed, never translated.
#include "driver/LanguageServer.hpp"

#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <typeinfo>
#include <vector>

#include <nlohmann/json.hpp>

#include "tree/Ast.hpp"
#include "driver/BuildManager.hpp"
#include "base/Diagnostics.hpp"
#include "front/Lexer.hpp"
#include "base/ModuleName.hpp"
#include "sema/NameLookup.hpp"
#include "front/Parser.hpp"
#include "base/RunOptions.hpp"
#include "sema/TypeOf.hpp"
#include "front/VnFrontEnd.hpp"
#include "platform/Platform.hpp"

using nlohmann::json;

namespace {

// JSON-RPC's error codes, and the protocol's own.
enum ErrorCode {
    ParseErrorCode = -32700,
    InvalidRequest = -32600,
    MethodNotFound = -32601,
    InvalidParams = -32602,
    InternalError = -32603,
    ServerNotInitialized = -32002,
};

// A header line longer than this, or a body larger, is no message an editor sends.
const size_t maximumHeaderLine = 4096;
const size_t maximumBody = 64u << 20;

// Thrown by a handler whose params lack what it needs; the loop answers with InvalidParams.
struct BadParams {
    std::string message;
};

// ---- positions ----

// The protocol counts columns in UTF-16 code units, the lexer in bytes.
int utf16Column(const std::string& line, int byteColumn) {
    int units = 0;
    for (int i = 0; i < byteColumn && i < static_cast<int>(line.size()); ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if ((c & 0xC0) == 0x80) continue;
        units += c >= 0xF0 ? 2 : 1;
    }
    return units;
}

int byteColumn(const std::string& line, int utf16) {
    int units = 0;
    size_t i = 0;
    for (; i < line.size() && units < utf16; ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if ((c & 0xC0) == 0x80) continue;
        units += c >= 0xF0 ? 2 : 1;
    }
    while (i < line.size() && (static_cast<unsigned char>(line[i]) & 0xC0) == 0x80) ++i;
    return static_cast<int>(i);
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (char c : text) {
        if (c == '\n')
            lines.emplace_back();
        else if (c != '\r')
            lines.back() += c;
    }
    return lines;
}

bool isWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The word (name) around a byte column of a line, with its first column; empty when none.
std::string wordAt(const std::string& line, int column, int& start) {
    if (column < 0 || column > static_cast<int>(line.size())) return std::string();
    int begin = column, end = column;
    while (begin > 0 && isWordChar(line[begin - 1])) --begin;
    while (end < static_cast<int>(line.size()) && isWordChar(line[end])) ++end;
    start = begin;
    return line.substr(begin, end - begin);
}

// ---- URIs ----

std::string uriToPath(const std::string& uri) {
    const std::string scheme = "file://";
    if (uri.compare(0, scheme.size(), scheme) != 0) return std::string();
    std::string path;
    for (size_t i = scheme.size(); i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && std::isxdigit(static_cast<unsigned char>(uri[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(uri[i + 2]))) {
            path += static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            path += uri[i];
        }
    }
    return path;
}

std::string pathToUri(const std::string& path) {
    std::string uri = "file://";
    for (unsigned char c : path) {
        if (isWordChar(static_cast<char>(c)) || c == '/' || c == '.' || c == '-' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            uri += escaped;
        }
    }
    return uri;
}

// ---- types as the language writes them ----

// The language's names of the types that inference and lowering leave in C++'s spelling
// ("int" for Int), from the prelude's aliases. Filled by each analysis, read by spelled.
std::map<std::string, std::string> preludeNames;

void learnPreludeNames(const BuildManager& build) {
    preludeNames.clear();
    for (const auto& entry : build.moduleRegistry) {
        if (!entry.second || !isLibraryName(entry.first) || !entry.second->block) continue;
        // A library's alias is a declaration of the C++ name entered under the language's one.
        for (const auto& named : entry.second->block->names) {
            const Declaration* declaration = named.second.get();
            if (declaration && declaration->name != named.first && typeid(*declaration) == typeid(TypeDeclaration))
                preludeNames.emplace(declaration->name, named.first);
        }
    }
}

std::string spelled(const TypeExpression* type);

std::string spelledArguments(const TemplateCall* call) {
    if (!call) return std::string();
    std::string text = "[";
    for (size_t i = 0; i < call->arguments.size(); ++i) {
        if (i) text += ", ";
        const AnyExpression* argument = call->arguments[i].get();
        if (const TypeExpression* type = dynamic_cast<const TypeExpression*>(argument))
            text += spelled(type);
        else if (const ConstantExpression* constant = dynamic_cast<const ConstantExpression*>(argument))
            text += constant->value;
        else
            text += "...";
    }
    return text + "]";
}

std::string spelledList(const TypeExpressionList& types) {
    std::string text;
    for (size_t i = 0; i < types.size(); ++i) text += (i ? ", " : "") + spelled(types[i].get());
    return text;
}

std::string spelled(const TypeExpression* type) {
    if (!type) return "?";
    if (const SimpleTypeExpr* simple = dynamic_cast<const SimpleTypeExpr*>(type)) {
        auto known = preludeNames.find(simple->name);
        return (known == preludeNames.end() ? simple->name : known->second) + spelledArguments(simple->templateArgs.get());
    }
    if (const SubTypeExpr* sub = dynamic_cast<const SubTypeExpr*>(type))
        return spelled(sub->scope.get()) + "." + sub->name + spelledArguments(sub->templateArgs.get());
    if (const TypeOperator* op = dynamic_cast<const TypeOperator*>(type)) {
        const std::string operand = spelled(op->operand.get());
        switch (op->kind) {
        case PointerType: return operand + "*";
        case SharedPointerType: return operand + "$";
        case ReferenceType: return operand + "&";
        case ArrayType: {
            const ConstantExpression* size = dynamic_cast<const ConstantExpression*>(op->size.get());
            return operand + "#" + (size ? size->value : std::string());
        }
        case VectorType: return "[" + operand + "]";
        case MapType: return operand + " -> " + spelled(op->valueType.get());
        case ConstType: return operand + " const";
        case VolatileType: return operand + " volatile";
        }
    }
    if (const TupleType* tuple = dynamic_cast<const TupleType*>(type)) return "(" + spelledList(tuple->elements) + ")";
    if (const FuncType* function = dynamic_cast<const FuncType*>(type))
        return spelled(function->result.get()) + "(" + spelledList(function->arguments) + ")";
    if (const FunctionPointerType* pointer = dynamic_cast<const FunctionPointerType*>(type))
        return spelled(pointer->result.get()) + "(*)(" + spelledList(pointer->arguments) + ")";
    return "?";
}

// The types declarations were written with, before the passes resolved them to what C++ is
// given (an argument's added const and reference, "int" for Int). Filled by each analysis
// before it completes the module; declarations without one are spelt as they are now.
std::map<const Declaration*, std::string> writtenTypes;

std::string typeText(const DataDeclaration& declaration) {
    auto written = writtenTypes.find(&declaration);
    return written != writtenTypes.end() ? written->second : spelled(declaration.type.get());
}

void rememberWrittenTypes(Module& module, bool keepStatements);

// The module's loops and macro statements as parsed, kept by each analysis: the passes replace
// them (a loop by C++'s, whose variable is declared auto while inference typed the loop's part;
// a macro call by what it returns), and a cursor on them still asks about what was written.
// Whole statements are kept, so that the back links of what they hold stay good.
std::vector<StatementPtr> keptStatements;

std::vector<ASTObject*> keptNodes() {
    std::vector<ASTObject*> nodes;
    for (const StatementPtr& statement : keptStatements) {
        if (ForStatement* loop = dynamic_cast<ForStatement*>(statement.get()))
            for (const ForPartPtr& part : loop->parts)
                if (part) nodes.push_back(part.get());
        if (MacroStatement* macro = dynamic_cast<MacroStatement*>(statement.get()))
            if (macro->call) nodes.push_back(macro->call.get());
    }
    return nodes;
}

const ForPart* loopPartOf(const Declaration* declaration) {
    for (ASTObject* node : keptNodes())
        if (ForPart* part = dynamic_cast<ForPart*>(node))
            if (part->name == declaration->name && part->location == declaration->location) return part;
    return nullptr;
}

// What a hover shows of a declaration: its type and name as a declaration of it reads, with
// the name the program writes (a header's function may be known by a shorter one).
std::string declarationText(Declaration* declaration, const std::string& writtenAs) {
    if (FunctionDeclaration* function = dynamic_cast<FunctionDeclaration*>(declaration)) {
        // A library file records no arguments: its functions are shown as taking any.
        if (!function->location.hasFile() && function->arguments.empty())
            return typeText(*function) + " " + writtenAs + "(...)";
        std::string text = typeText(*function) + " " + writtenAs + "(";
        for (size_t i = 0; i < function->arguments.size(); ++i) {
            const ArgumentDeclaration& argument = *function->arguments[i];
            text += (i ? ", " : "") + typeText(argument);
            if (!argument.name.empty()) text += " " + argument.name;
        }
        return text + ")" + (function->isConst ? " const" : "");
    }
    // A library's type: the language's name for a C++ one (String for std::string).
    if (typeid(*declaration) == typeid(TypeDeclaration))
        return "type " + writtenAs + (writtenAs != declaration->name ? " (C++ " + declaration->name + ")" : "");
    if (writtenAs != declaration->name) return declarationText(declaration, declaration->name);
    if (dynamic_cast<ClassDeclaration*>(declaration)) return "class " + declaration->name;
    if (dynamic_cast<EnumDeclaration*>(declaration)) return "enum " + declaration->name;
    if (dynamic_cast<UnionDeclaration*>(declaration)) return "union " + declaration->name;
    if (TypeAliasDeclaration* alias = dynamic_cast<TypeAliasDeclaration*>(declaration))
        return "type " + alias->name + " = " + spelled(alias->type.get());
    if (MacroDeclaration* macro = dynamic_cast<MacroDeclaration*>(declaration)) {
        std::string text = "macro " + macro->name + "(";
        for (size_t i = 0; i < macro->arguments.size(); ++i)
            text += (i ? ", " : "") + typeText(*macro->arguments[i]) + " " + macro->arguments[i]->name;
        return text + ")";
    }
    if (dynamic_cast<ModuleDeclaration*>(declaration)) return "module " + declaration->name;
    if (dynamic_cast<NamespaceDeclaration*>(declaration)) return "namespace " + declaration->name;
    if (CppConstantMacroDeclaration* macro = dynamic_cast<CppConstantMacroDeclaration*>(declaration))
        return "#define " + macro->name + " " + macro->value;
    if (DataDeclaration* data = dynamic_cast<DataDeclaration*>(declaration)) {
        std::string type;
        const ForPart* part = loopPartOf(data);
        if (writtenTypes.count(data)) {
            type = writtenTypes[data];
        } else if (part && (part->elementType || part->type)) {
            // The loop variable's own type; the part's type is the hidden iterator's.
            type = spelled(part->elementType ? part->elementType.get() : part->type.get());
        } else {
            TypeExpressionPtr inferred = typeOfDeclaration(declaration);
            type = spelled(inferred.get());
        }
        return (dynamic_cast<PropertyDeclaration*>(declaration) ? "property " : "") + type + " " + declaration->name;
    }
    return declaration->name;
}

// ---- the trees of one analysis ----

// Every node of a module's own tree, in field order, without descending into other modules.
std::vector<ASTObject*> nodesOf(Module& module) {
    std::vector<ASTObject*> nodes, pending{&module};
    while (!pending.empty()) {
        ASTObject* node = pending.back();
        pending.pop_back();
        nodes.push_back(node);
        if (dynamic_cast<ImportDeclaration*>(node)) continue;
        appendChildNodes(*node, pending);
    }
    return nodes;
}

// The name a node writes at its place, which a cursor on that name asks about.
std::string writtenName(ASTObject* node) {
    if (StaticExpression* name = dynamic_cast<StaticExpression*>(node)) return name->name;
    if (SubExpression* member = dynamic_cast<SubExpression*>(node)) return member->member;
    if (SimpleTypeExpr* type = dynamic_cast<SimpleTypeExpr*>(node)) return type->name;
    if (SubTypeExpr* type = dynamic_cast<SubTypeExpr*>(node)) return type->name;
    if (MacroCall* call = dynamic_cast<MacroCall*>(node)) return call->name;
    if (Declaration* declaration = dynamic_cast<Declaration*>(node)) return declaration->name;
    return std::string();
}

// Whether a node stands for the word written at a column: it writes the word, or lowering
// replaced the word there (a header's own name for a renamed function, a property's accessor).
bool standsFor(ASTObject* node, const std::string& word, int column) {
    const std::string name = writtenName(node);
    if (name == word) return true;
    if (StaticExpression* renamed = dynamic_cast<StaticExpression*>(node))
        if (renamed->renamedFrom && node->location.column == column) return true;
    // A type an include interface renames (alias z_stream = ZStream) is written in C's name.
    if (dynamic_cast<SimpleTypeExpr*>(node) && node->location.column == column && !name.empty()) return true;
    if (!dynamic_cast<SubExpression*>(node) || word.empty() || name.size() != word.size() + 3) return false;
    std::string accessor = word;
    accessor[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(accessor[0])));
    return name == "get" + accessor || name == "set" + accessor;
}

// What a node written as word names: the declaration it refers to, or that it is.
Declaration* namedDeclaration(ASTObject* node, const std::string& word) {
    Block* place = placeOf(node);
    if (StaticExpression* name = dynamic_cast<StaticExpression*>(node)) {
        if (name->renamedFrom) return name->renamedFrom;
        if (name->scope) return lookupMember(name->name, declarationOf(name->scope.get(), place));
        return place ? lookup(name->name, place) : nullptr;
    }
    if (SubExpression* member = dynamic_cast<SubExpression*>(node)) {
        TypeExpressionPtr objectType = member->object ? typeOf(member->object.get()) : TypeExpressionPtr();
        Declaration* scope = objectType ? declarationOf(objectType.get(), place) : nullptr;
        if (!scope) return nullptr;
        Declaration* found = lookupMember(word, scope);
        return found ? found : lookupMember(member->member, scope);
    }
    if (TypeExpression* type = dynamic_cast<TypeExpression*>(node))
        return type->declaration ? type->declaration : declarationOf(type, place);
    if (MacroCall* call = dynamic_cast<MacroCall*>(node))
        return call->declaration ? call->declaration : place ? lookup(call->name, place) : nullptr;
    if (Declaration* declaration = dynamic_cast<Declaration*>(node)) return declaration;
    return nullptr;
}

void rememberWrittenTypes(Module& module, bool keepStatements) {
    for (ASTObject* node : nodesOf(module)) {
        if (DataDeclaration* data = dynamic_cast<DataDeclaration*>(node))
            if (data->type) writtenTypes.emplace(data, spelled(data->type.get()));
        if (Block* block = keepStatements ? dynamic_cast<Block*>(node) : nullptr)
            for (const StatementPtr& statement : block->statements)
                if (dynamic_cast<ForStatement*>(statement.get()) || dynamic_cast<MacroStatement*>(statement.get()))
                    keptStatements.push_back(statement);
    }
}

struct Symbol {
    std::string name;
    int kind;  // the protocol's SymbolKind
    std::string detail;
    int line, column, endLine;
    std::vector<Symbol> children;
};

// The protocol's numbers for the kinds of symbol a module declares.
enum SymbolKind {
    NamespaceKind = 3,
    ClassKind = 5,
    MethodKind = 6,
    PropertyKind = 7,
    FieldKind = 8,
    EnumKind = 10,
    FunctionKind = 12,
    VariableKind = 13,
    EnumMemberKind = 22,
    StructKind = 23,
    TypeParameterKind = 26,
};

int lastLine(ASTObject& node) {
    int last = node.location.line;
    std::vector<ASTObject*> pending{&node};
    while (!pending.empty()) {
        ASTObject* at = pending.back();
        pending.pop_back();
        if (at->location.line > last && at->location.file() == node.location.file()) last = at->location.line;
        appendChildNodes(*at, pending);
    }
    return last;
}

void collectSymbols(Block* block, bool inClass, std::vector<Symbol>& out);

Symbol symbolOf(Declaration& declaration, int kind, const std::string& detail) {
    return Symbol{declaration.name, kind, detail, declaration.location.line, declaration.location.column,
                  lastLine(declaration), {}};
}

void collectSymbol(ASTObject* node, bool inClass, std::vector<Symbol>& out) {
    Declaration* declaration = dynamic_cast<Declaration*>(node);
    // Names the passes made are no part of what the program declares.
    if (!declaration || declaration->name.empty() || declaration->name.compare(0, 5, "VORN_") == 0) return;
    if (ClassDeclaration* cls = dynamic_cast<ClassDeclaration*>(node)) {
        out.push_back(symbolOf(*cls, ClassKind, "class"));
        collectSymbols(cls->body.get(), true, out.back().children);
    } else if (UnionDeclaration* u = dynamic_cast<UnionDeclaration*>(node)) {
        out.push_back(symbolOf(*u, StructKind, "union"));
        collectSymbols(u->body.get(), true, out.back().children);
    } else if (NamespaceDeclaration* space = dynamic_cast<NamespaceDeclaration*>(node)) {
        out.push_back(symbolOf(*space, NamespaceKind, "namespace"));
        collectSymbols(space->body.get(), false, out.back().children);
    } else if (EnumDeclaration* e = dynamic_cast<EnumDeclaration*>(node)) {
        out.push_back(symbolOf(*e, EnumKind, "enum"));
        for (const EnumItemPtr& item : e->items)
            out.back().children.push_back(
                Symbol{item->name, EnumMemberKind, "", item->location.line, item->location.column, item->location.line, {}});
    } else if (FunctionDeclaration* function = dynamic_cast<FunctionDeclaration*>(node)) {
        out.push_back(symbolOf(*function, inClass ? MethodKind : FunctionKind, declarationText(function, function->name)));
    } else if (PropertyDeclaration* property = dynamic_cast<PropertyDeclaration*>(node)) {
        out.push_back(symbolOf(*property, PropertyKind, typeText(*property)));
    } else if (VariableDeclaration* variable = dynamic_cast<VariableDeclaration*>(node)) {
        out.push_back(symbolOf(*variable, inClass ? FieldKind : VariableKind,
                               variable->type ? typeText(*variable) : "var"));
    } else if (MacroDeclaration* macro = dynamic_cast<MacroDeclaration*>(node)) {
        out.push_back(symbolOf(*macro, FunctionKind, "macro"));
    } else if (TypeAliasDeclaration* alias = dynamic_cast<TypeAliasDeclaration*>(node)) {
        out.push_back(symbolOf(*alias, TypeParameterKind, spelled(alias->type.get())));
    }
}

void collectSymbols(Block* block, bool inClass, std::vector<Symbol>& out) {
    if (!block) return;
    for (const StatementPtr& statement : block->statements) collectSymbol(statement.get(), inClass, out);
}

// ---- documents and the analysis ----

struct Document {
    std::string path;
    std::string text;
    long long version = 0;
};

// What vorn's command line would say about every analysis, from the editor's
// initializationOptions: {"includeDirs": [...], "tabSize": N, "cxx": "command"}.
struct AnalysisOptions {
    std::vector<std::string> includeDirs;  // each ending in a separator, as -I keeps them
    int tabSize = 8;
    std::string cxx = RunOptions().cxxCommand;
};

}  // namespace

struct LanguageServer::State {
    explicit State(std::ostream& o) : out(o) {}

    std::ostream& out;
    bool initialized = false;
    bool shutDown = false;
    bool exitSeen = false;
    std::map<std::string, Document> documents;  // by URI
    AnalysisOptions options;

    // The last analysis: which document and text it was made from, what it found. Its trees
    // live in its build until the next analysis makes a new one.
    std::string analyzedUri;
    std::string analyzedText;
    std::unique_ptr<BuildManager> build;
    ModulePtr module;
    std::vector<std::string> lines;
    std::vector<Symbol> symbols;
    std::vector<CompileError> found;

    std::map<std::string, std::function<json(const json&)>> requests;
    std::map<std::string, std::function<void(const json&)>> notifications;

    void send(const json& message) {
        const std::string body = message.dump(-1, ' ', false, json::error_handler_t::replace);
        out << "Content-Length: " << body.size() << "\r\n\r\n" << body << std::flush;
    }
    void respond(const json& id, const json& result) { send({{"jsonrpc", "2.0"}, {"id", id}, {"result", result}}); }
    void refuse(const json& id, int code, const std::string& message) {
        send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
    }
    void notify(const std::string& method, const json& params) {
        send({{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
    }

    void analyze(const std::string& uri);
    void publishDiagnostics(const std::string& uri);
    const Document& documentOf(const json& params);
    void ensureAnalyzed(const std::string& uri);
    ASTObject* nodeAt(const json& position, int& wordStart, std::string& word);

    json range(int line, int column, int length) const;
    json location(const SourceLocation& at, const std::string& name) const;
    json symbolJson(const Symbol& symbol) const;

    json initialize(const json& params);
    json hover(const json& params);
    json definition(const json& params);
    json documentSymbols(const json& params);
    void didOpen(const json& params);
    void didChange(const json& params);
    void didClose(const json& params);

    void handle(const std::string& body);
    void dispatch(const json& message);
};

namespace {

// Where vorn's data directories are: beside this program when it sits in a build tree, in
// lib/vorn/ beside its bin/ when installed, else where vorn on the search path keeps them.
void findDataDirectory() {
    const std::string own = platform::runningExecutableDirectory();
    for (const std::string& candidate : {own, own + "../lib/vorn/"})
        if (!own.empty() && platform::isRegularFile(candidate + "lib/Library/Buildin.vnl")) {
            runOptions.vornDir = candidate;
            return;
        }
    runOptions.vornDir.clear();
    std::string path;
    if (!platform::getEnvironment("PATH", path)) return;
    for (std::string directory : platform::splitPathList(path)) {
        if (directory.empty()) directory = ".";
        const std::string candidate = directory + "/" + platform::executableFileName();
        if (!platform::isExecutableFile(candidate)) continue;
        const std::string real = platform::linkTargetDirectory(candidate);
        runOptions.vornDir = real.empty() ? directory + "/" : real;
        return;
    }
}

const std::string& dataDirectory() {
    static const std::string found = [] {
        findDataDirectory();
        return runOptions.vornDir;
    }();
    return found;
}

// Fresh run options and process-wide state, as for a run of vorn that names this one module and
// translates nothing.
void resetForAnalysis(const AnalysisOptions& options) {
    baseDirectory.clear();
    outputDirectory.clear();
    clearDiagnostics();
    resetUniqueNames();
    resetParseState();
    runOptions = RunOptions();
    runOptions.vornDir = dataDirectory();
    runOptions.tabSize = options.tabSize;
    runOptions.cxxCommand = options.cxx;
    runOptions.includeDirs.insert(runOptions.includeDirs.end(), options.includeDirs.begin(), options.includeDirs.end());
    // Loaded modules are not put on the work stack, so none is translated or written.
    runOptions.processImports = false;
}

}  // namespace

LanguageServer::LanguageServer(std::ostream& out) : state(new State(out)) {
    State& s = *state;
    s.requests["initialize"] = [&s](const json& p) { return s.initialize(p); };
    s.requests["shutdown"] = [&s](const json&) {
        s.shutDown = true;
        return json();
    };
    s.requests["textDocument/hover"] = [&s](const json& p) { return s.hover(p); };
    s.requests["textDocument/definition"] = [&s](const json& p) { return s.definition(p); };
    s.requests["textDocument/documentSymbol"] = [&s](const json& p) { return s.documentSymbols(p); };
    s.notifications["initialized"] = [](const json&) {};
    s.notifications["exit"] = [&s](const json&) { s.exitSeen = true; };
    s.notifications["textDocument/didOpen"] = [&s](const json& p) { s.didOpen(p); };
    s.notifications["textDocument/didChange"] = [&s](const json& p) { s.didChange(p); };
    s.notifications["textDocument/didClose"] = [&s](const json& p) { s.didClose(p); };
    s.notifications["textDocument/didSave"] = [](const json&) {};
}

LanguageServer::~LanguageServer() = default;

json LanguageServer::State::initialize(const json& params) {
    initialized = true;
    // Options of a wrong type are passed over: the analysis runs as vorn's defaults have it.
    const json none = json::object();
    const json& given = params.is_object() && params.contains("initializationOptions") &&
                                params["initializationOptions"].is_object()
                            ? params["initializationOptions"]
                            : none;
    std::string root;
    if (params.is_object() && params.contains("rootUri") && params["rootUri"].is_string())
        root = uriToPath(params["rootUri"].get<std::string>());
    if (given.contains("includeDirs") && given["includeDirs"].is_array())
        for (const json& dir : given["includeDirs"]) {
            if (!dir.is_string() || dir.get<std::string>().empty()) continue;
            std::string path = dir.get<std::string>();
            if (path[0] != '/' && !root.empty()) path = root + "/" + path;
            if (path.back() != '/') path += '/';
            options.includeDirs.push_back(path);
        }
    if (given.contains("tabSize") && given["tabSize"].is_number_integer()) {
        const long long size = given["tabSize"].get<long long>();
        if (size >= 1 && size <= Lexer::maximumTabSize) options.tabSize = static_cast<int>(size);
    }
    if (given.contains("cxx") && given["cxx"].is_string()) options.cxx = given["cxx"].get<std::string>();
    return {{"capabilities",
             {{"textDocumentSync", {{"openClose", true}, {"change", 1}}},
              {"hoverProvider", true},
              {"definitionProvider", true},
              {"documentSymbolProvider", true}}},
            {"serverInfo", {{"name", "vorn-lsp"}, {"version", VORN_VERSION}}}};
}

// ---- params ----

namespace {

const json& field(const json& object, const char* name) {
    if (!object.is_object() || !object.contains(name)) throw BadParams{std::string("missing ") + name};
    return object.at(name);
}

std::string textField(const json& object, const char* name) {
    const json& value = field(object, name);
    if (!value.is_string()) throw BadParams{std::string(name) + " is no string"};
    return value.get<std::string>();
}

int numberField(const json& object, const char* name) {
    const json& value = field(object, name);
    if (!value.is_number_integer() || value.get<long long>() < 0 || value.get<long long>() > 1 << 30)
        throw BadParams{std::string(name) + " is no line or column number"};
    return value.get<int>();
}

}  // namespace

namespace {

// The byte offset of a protocol position in a text; past the end of a line is its end.
size_t offsetOf(const std::string& text, const json& position) {
    const int line = numberField(position, "line");
    const int character = numberField(position, "character");
    size_t start = 0;
    for (int i = 0; i < line; ++i) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) return text.size();
        start = end + 1;
    }
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string lineText = text.substr(start, end - start);
    return start + static_cast<size_t>(byteColumn(lineText, character));
}

std::string withEdit(const std::string& text, const json& range, const std::string& replacement) {
    const size_t from = offsetOf(text, field(range, "start"));
    const size_t to = offsetOf(text, field(range, "end"));
    if (to < from) throw BadParams{"the range ends before it starts"};
    return text.substr(0, from) + replacement + text.substr(to);
}

// The last component of a module's name: what an import line of it ends with.
std::string moduleStem(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = file.rfind('.');
    return dot == std::string::npos ? file : file.substr(0, dot);
}

// Whether a text has an import line that names the stem as a word.
bool importsByName(const std::string& text, const std::string& stem) {
    if (stem.empty()) return false;
    for (const std::string& line : splitLines(text)) {
        if (line.compare(0, 7, "import ") != 0) continue;
        for (size_t at = line.find(stem); at != std::string::npos; at = line.find(stem, at + 1)) {
            const size_t end = at + stem.size();
            if ((at == 0 || !isWordChar(line[at - 1])) && (end == line.size() || !isWordChar(line[end]))) return true;
        }
    }
    return false;
}

}  // namespace

const Document& LanguageServer::State::documentOf(const json& params) {
    const std::string uri = textField(field(params, "textDocument"), "uri");
    auto found = documents.find(uri);
    if (found == documents.end()) throw BadParams{"the document is not open: " + uri};
    return found->second;
}

void LanguageServer::State::didOpen(const json& params) {
    const json& item = field(params, "textDocument");
    const std::string uri = textField(item, "uri");
    Document& document = documents[uri];
    document.path = uriToPath(uri);
    document.text = textField(item, "text");
    document.version = item.contains("version") && item["version"].is_number_integer() ? item["version"].get<long long>() : 0;
    publishDiagnostics(uri);
}

void LanguageServer::State::didChange(const json& params) {
    const std::string uri = textField(field(params, "textDocument"), "uri");
    auto found = documents.find(uri);
    if (found == documents.end()) throw BadParams{"the document is not open: " + uri};
    const json& changes = field(params, "contentChanges");
    if (!changes.is_array()) throw BadParams{"contentChanges is no list"};
    // The server asks for whole texts; a change with a range is applied all the same.
    std::string text = found->second.text;
    for (const json& change : changes) {
        if (change.is_object() && change.contains("range"))
            text = withEdit(text, change["range"], textField(change, "text"));
        else
            text = textField(change, "text");
    }
    found->second.text = text;
    const json& identifier = params["textDocument"];
    if (identifier.contains("version") && identifier["version"].is_number_integer())
        found->second.version = identifier["version"].get<long long>();
    // Open importers see the new text too; the changed document goes last, so that the trees
    // kept for the next hover are its own.
    const std::string stem = moduleStem(found->second.path);
    for (const auto& other : documents)
        if (other.first != uri && importsByName(other.second.text, stem)) publishDiagnostics(other.first);
    publishDiagnostics(uri);
}

void LanguageServer::State::didClose(const json& params) {
    const std::string uri = textField(field(params, "textDocument"), "uri");
    documents.erase(uri);
    if (analyzedUri == uri) analyzedUri.clear();
    notify("textDocument/publishDiagnostics", {{"uri", uri}, {"diagnostics", json::array()}});
}

// ---- analysis ----

void LanguageServer::State::analyze(const std::string& uri) {
    const Document& document = documents.at(uri);
    analyzedUri = uri;
    analyzedText = document.text;
    lines = splitLines(document.text);
    symbols.clear();
    found.clear();
    module.reset();
    writtenTypes.clear();
    preludeNames.clear();
    keptStatements.clear();
    build.reset();
    resetForAnalysis(options);
    build = std::make_unique<BuildManager>();
    reportCollector = [this](const CompileError& error) { found.push_back(error); };
    struct CollectorReset {
        ~CollectorReset() { reportCollector = nullptr; }
    } collectorReset;
    const SourceLocation atStart(internFileName(document.path), 1, 0);
    // Other files an editor may hand over (a .vni, a header) are read only as imports.
    if (document.path.size() < 3 || document.path.compare(document.path.size() - 3, 3, ".vn") != 0) return;
    try {
        const ModuleName name = parseModuleName(document.path, true, true);
        build->registerFrontEnds();
        VnFrontEnd* source = dynamic_cast<VnFrontEnd*>(build->frontEnds["vn"].get());
        if (source)
            for (const auto& open : documents)
                if (!open.second.path.empty()) source->heldTexts[open.second.path] = open.second.text;
        module = build->loadModule(name, true);
        // A module with a syntax error is not loaded; what its text declares still makes an
        // outline, from a parse of its own whose errors were reported already.
        if (!module && source) {
            for (const CompileError& error : queuedDiagnostics()) found.push_back(error);
            clearDiagnostics();
            ModulePtr partial = source->loadModule(document.path, dottedName(name));
            clearDiagnostics();
            if (partial && partial->block) collectSymbols(partial->block.get(), false, symbols);
        }
        if (module && module->block) {
            learnPreludeNames(*build);
            for (const auto& entry : build->moduleRegistry)
                if (entry.second && !isLibraryName(entry.first))
                    rememberWrittenTypes(*entry.second, entry.second == module);
            collectSymbols(module->block.get(), false, symbols);
            if (module->complete && !hasQueuedErrors()) build->completeModule(*module);
        }
    } catch (const CompileError& error) {
        found.push_back(error);
    } catch (const std::exception& error) {
        found.push_back(CompileError(std::string("internal error while analysing: ") + error.what(), atStart));
    } catch (...) {
        found.push_back(CompileError("internal error while analysing", atStart));
    }
    for (const CompileError& error : queuedDiagnostics()) found.push_back(error);
    clearDiagnostics();
}

void LanguageServer::State::ensureAnalyzed(const std::string& uri) {
    if (analyzedUri != uri || analyzedText != documents.at(uri).text) analyze(uri);
}

json LanguageServer::State::range(int line, int column, int length) const {
    const std::string text = line >= 0 && line < static_cast<int>(lines.size()) ? lines[line] : std::string();
    const int start = utf16Column(text, column);
    const int end = utf16Column(text, column + length);
    return {{"start", {{"line", line}, {"character", start}}},
            {"end", {{"line", line}, {"character", std::max(end, start)}}}};
}

void LanguageServer::State::publishDiagnostics(const std::string& uri) {
    analyze(uri);
    const std::string& path = documents.at(uri).path;
    // Problems in another file are shown at this module's first import, which led to them.
    int importLine = 0;
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].compare(0, 7, "import ") == 0) {
            importLine = static_cast<int>(i);
            break;
        }
    json list = json::array();
    const CompileError* previous = nullptr;
    for (const CompileError& error : found) {
        if (previous && previous->position == error.position && previous->message == error.message) continue;
        previous = &error;
        const bool here = error.position.fileName() == path;
        int line = here && error.position.line > 0 ? error.position.line - 1 : importLine;
        int column = here && error.position.column > 0 ? error.position.column : 0;
        if (line >= static_cast<int>(lines.size())) line = static_cast<int>(lines.size()) - 1;
        const std::string& text = lines[line];
        column = std::min(column, static_cast<int>(text.size()));
        int length = 0;
        // A member's error stands at its dot: the range takes the member's name with it.
        if (column < static_cast<int>(text.size()) && text[column] == '.') length = 1;
        while (column + length < static_cast<int>(text.size()) && isWordChar(text[column + length])) ++length;
        if (length == 0) length = column < static_cast<int>(text.size()) ? 1 : 0;
        std::string message = error.message;
        if (!here && error.position.hasFile()) {
            std::string where = error.position.fileName();
            if (error.position.line > 0) where += "(" + std::to_string(error.position.line) + ")";
            message = where + ": " + message;
        }
        list.push_back({{"range", range(line, column, length)},
                        {"severity", error.severity == SeverityWarning ? 2 : 1},
                        {"source", "vorn"},
                        {"message", message}});
    }
    notify("textDocument/publishDiagnostics",
           {{"uri", uri}, {"version", documents.at(uri).version}, {"diagnostics", list}});
}

// ---- hover and definition ----

ASTObject* LanguageServer::State::nodeAt(const json& position, int& wordStart, std::string& word) {
    const int line = numberField(position, "line");
    const int character = numberField(position, "character");
    if (!module || line >= static_cast<int>(lines.size())) return nullptr;
    word = wordAt(lines[line], byteColumn(lines[line], character), wordStart);
    if (word.empty()) return nullptr;
    const std::string& path = documents.at(analyzedUri).path;
    // Of the nodes on the line that write the word, the one that starts last before it; else a
    // declaration of the word that starts after it (a loop's variable stands at its range).
    ASTObject *best = nullptr, *after = nullptr;
    std::vector<ASTObject*> nodes = nodesOf(*module);
    for (ASTObject* kept : keptNodes()) nodes.push_back(kept);
    for (ASTObject* node : nodes) {
        if (node->location.line != line + 1 || node->location.fileName() != path) continue;
        if (!standsFor(node, word, wordStart)) continue;
        if (node->location.column <= wordStart) {
            if (!best || node->location.column > best->location.column) best = node;
        } else if (dynamic_cast<Declaration*>(node) && (!after || node->location.column < after->location.column)) {
            after = node;
        }
    }
    return best ? best : after;
}

json LanguageServer::State::location(const SourceLocation& at, const std::string& name) const {
    const int line = at.line > 0 ? at.line - 1 : 0;
    int column = at.column > 0 ? at.column : 0;
    // The line as the editor holds it, or as the file reads: the name may stand after the
    // declaration's start (its type, or "macro"), and columns are counted in UTF-16 there.
    std::string text;
    bool open = false;
    for (const auto& document : documents)
        if (document.second.path == at.fileName()) {
            const std::vector<std::string> held = splitLines(document.second.text);
            if (line < static_cast<int>(held.size())) text = held[line];
            open = true;
        }
    if (!open) {
        std::ifstream file(at.fileName(), std::ios::binary);
        int read = 0;
        while (read <= line && std::getline(file, text)) ++read;
        if (read <= line) text.clear();
        if (!text.empty() && text.back() == '\r') text.pop_back();
    }
    const size_t named = name.empty() ? std::string::npos : text.find(name, static_cast<size_t>(column));
    if (named != std::string::npos) column = static_cast<int>(named);
    const int length = static_cast<int>(name.size());
    const int start = text.empty() ? column : utf16Column(text, column);
    const int end = text.empty() ? column + length : std::max(start, utf16Column(text, column + length));
    return {{"uri", pathToUri(at.fileName())},
            {"range",
             {{"start", {{"line", line}, {"character", start}}}, {"end", {{"line", line}, {"character", end}}}}}};
}

namespace {

// The file a loaded module was read from: the header it stands for, or its source.
std::string moduleFile(const Module* module, const BuildManager& build) {
    if (!module) return std::string();
    if (!module->headerPath.empty()) return module->headerPath;
    for (const auto& entry : build.moduleRegistry)
        if (entry.second.get() == module && !entry.first.extension.empty())
            return sourcePath(entry.first, entry.first.extension);
    return std::string();
}

// The import written on a line of the module, if any.
ImportDeclaration* importOnLine(Module& module, int line) {
    for (const auto& entry : module.imports)
        if (entry.second->location.line == line) return entry.second.get();
    return nullptr;
}

}  // namespace

json LanguageServer::State::hover(const json& params) {
    const Document& document = documentOf(params);
    ensureAnalyzed(field(params, "textDocument")["uri"].get<std::string>());
    int wordStart = 0;
    std::string word;
    ASTObject* node = nodeAt(field(params, "position"), wordStart, word);
    const int line = numberField(field(params, "position"), "line");
    std::string text;
    if (ImportDeclaration* import = module ? importOnLine(*module, line + 1) : nullptr) {
        const std::string file = moduleFile(import->module.get(), *build);
        text = "```vorn\nmodule " + (import->module ? import->module->name : word) + "\n```" +
               (file.empty() ? "" : "\nread from `" + file + "`");
    } else if (node) {
        Declaration* declaration = namedDeclaration(node, word);
        if (declaration) {
            text = "```vorn\n" + declarationText(declaration, word) + "\n```";
            if (declaration->name != word && dynamic_cast<FunctionDeclaration*>(declaration))
                text += "\nC name `" + declaration->name + "`";
        }
        else if (Expression* expression = dynamic_cast<Expression*>(node)) {
            TypeExpressionPtr type = typeOf(expression);
            if (type) text = "```vorn\n" + spelled(type.get()) + " " + word + "\n```";
        }
        // A call's own result, where the name is the function of one.
        if (FuncExpression* call = dynamic_cast<FuncExpression*>(node->parent))
            if (call->function.get() == node) {
                TypeExpressionPtr result = typeOf(call);
                if (result) text += "\ncall gives `" + spelled(result.get()) + "`";
            }
        if (declaration && declaration->location.line > 0) {
            const bool here = declaration->location.fileName() == document.path;
            text += "\ndeclared at line " + std::to_string(declaration->location.line) +
                    (here ? std::string() : " of `" + declaration->location.fileName() + "`");
        }
    }
    // What the lookups behind the answer queued belongs to no analysis.
    clearDiagnostics();
    if (text.empty()) return json();
    return {{"contents", {{"kind", "markdown"}, {"value", text}}},
            {"range", range(line, wordStart, static_cast<int>(word.size()))}};
}

json LanguageServer::State::definition(const json& params) {
    documentOf(params);
    ensureAnalyzed(field(params, "textDocument")["uri"].get<std::string>());
    int wordStart = 0;
    std::string word;
    const int line = numberField(field(params, "position"), "line");
    ASTObject* node = nodeAt(field(params, "position"), wordStart, word);
    if (ImportDeclaration* import = module ? importOnLine(*module, line + 1) : nullptr) {
        const std::string file = moduleFile(import->module.get(), *build);
        if (file.empty()) return json();
        return location(SourceLocation(internFileName(file), 1, 0), "");
    }
    Declaration* declaration = node ? namedDeclaration(node, word) : nullptr;
    clearDiagnostics();
    if (!declaration || !declaration->location.hasFile()) return json();
    return location(declaration->location, declaration->name);
}

// ---- symbols ----

json LanguageServer::State::symbolJson(const Symbol& symbol) const {
    const int line = symbol.line > 0 ? symbol.line - 1 : 0;
    const int endLine = std::max(line, symbol.endLine > 0 ? symbol.endLine - 1 : 0);
    const std::string text = line < static_cast<int>(lines.size()) ? lines[line] : std::string();
    // The name on its line, after where the declaration starts (its type comes first).
    size_t at = text.find(symbol.name, symbol.column > 0 ? static_cast<size_t>(symbol.column) : 0);
    const int nameColumn = at == std::string::npos ? std::max(symbol.column, 0) : static_cast<int>(at);
    const std::string last = endLine < static_cast<int>(lines.size()) ? lines[endLine] : std::string();
    json selection = range(line, nameColumn, static_cast<int>(symbol.name.size()));
    json whole = {{"start", {{"line", line}, {"character", 0}}},
                  {"end", {{"line", endLine}, {"character", utf16Column(last, static_cast<int>(last.size()))}}}};
    if (endLine == line) whole["end"]["character"] = std::max(whole["end"]["character"].get<int>(),
                                                             selection["end"]["character"].get<int>());
    json children = json::array();
    for (const Symbol& child : symbol.children) children.push_back(symbolJson(child));
    return {{"name", symbol.name}, {"kind", symbol.kind}, {"detail", symbol.detail},
            {"range", whole},      {"selectionRange", selection}, {"children", children}};
}

json LanguageServer::State::documentSymbols(const json& params) {
    documentOf(params);
    ensureAnalyzed(field(params, "textDocument")["uri"].get<std::string>());
    json list = json::array();
    for (const Symbol& symbol : symbols) list.push_back(symbolJson(symbol));
    return list;
}

// ---- the message loop ----

void LanguageServer::State::dispatch(const json& message) {
    const bool isRequest = message.contains("id");
    // Checked before it is copied: a copy of a nested value recurses as deep as it nests.
    if (isRequest && !message["id"].is_string() && !message["id"].is_number_integer() && !message["id"].is_null())
        return refuse(json(), InvalidRequest, "the id is no number or string");
    const json id = isRequest ? message["id"] : json();
    if (!message.contains("method") || !message["method"].is_string()) {
        // A response to a request of ours (we send none) is passed over.
        if (isRequest && (message.contains("result") || message.contains("error"))) return;
        return refuse(id, InvalidRequest, "a message needs a method");
    }
    const std::string method = message["method"].get<std::string>();
    static const json noParams = json::object();
    const json& params = message.contains("params") ? message["params"] : noParams;
    if (isRequest) {
        auto handler = requests.find(method);
        if (handler == requests.end()) return refuse(id, MethodNotFound, "no such method: " + method);
        if (!initialized && method != "initialize") return refuse(id, ServerNotInitialized, "not initialized yet");
        if (shutDown) return refuse(id, InvalidRequest, "the server is shutting down");
        try {
            respond(id, handler->second(params));
        } catch (const BadParams& bad) {
            refuse(id, InvalidParams, bad.message);
        } catch (const std::exception& error) {
            refuse(id, InternalError, error.what());
        }
        return;
    }
    auto handler = notifications.find(method);
    // Unknown notifications, and all but exit before initialize, are dropped as the protocol says.
    if (handler == notifications.end() || (!initialized && method != "exit")) return;
    try {
        handler->second(params);
    } catch (const BadParams& bad) {
        std::cerr << "vorn-lsp: " << method << ": " << bad.message << '\n';
    } catch (const std::exception& error) {
        std::cerr << "vorn-lsp: " << method << ": " << error.what() << '\n';
    }
}

void LanguageServer::State::handle(const std::string& body) {
    json message = json::parse(body, nullptr, false);
    if (message.is_discarded()) return refuse(json(), ParseErrorCode, "the message is no JSON");
    if (message.is_array()) return refuse(json(), InvalidRequest, "batches are not served");
    if (!message.is_object()) return refuse(json(), InvalidRequest, "a message is a JSON object");
    dispatch(message);
}

namespace {

// One header line without its CR LF; false at the end of the input. An overlong line is read
// to its end and given back cut, so that it is refused as no header.
bool readHeaderLine(std::istream& in, std::string& line) {
    line.clear();
    for (int c; (c = in.get()) != EOF;) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
        if (line.size() < maximumHeaderLine) line += static_cast<char>(c);
    }
    return !line.empty();
}

bool lengthValue(const std::string& text, size_t& length) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i == text.size()) return false;
    length = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return text.find_first_not_of(' ', i) == std::string::npos;
        length = length * 10 + static_cast<size_t>(text[i] - '0');
        if (length > maximumBody) return false;
    }
    return true;
}

}  // namespace

int LanguageServer::run(std::istream& in) {
    State& s = *state;
    std::string line;
    while (!s.exitSeen) {
        // The header part: lines up to an empty one, of which Content-Length is required.
        bool haveLength = false, badHeader = false, any = false;
        size_t length = 0;
        bool more = true;
        while ((more = readHeaderLine(in, line)) && !line.empty()) {
            any = true;
            // The rest of a body shorter than its length stands before the next header: the
            // header is taken from where it starts, so one bad message costs only itself.
            std::string lower = line;
            for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const size_t header = lower.find("content-length:");
            if (header != std::string::npos && header > 0) {
                s.refuse(json(), ParseErrorCode, "text before a header");
                line.erase(0, header);
                badHeader = false;
            }
            const size_t colon = line.find(':');
            std::string name = colon == std::string::npos ? std::string() : line.substr(0, colon);
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (name == "content-length") {
                haveLength = lengthValue(line.substr(colon + 1), length);
                badHeader = badHeader || !haveLength;
            } else if (name.empty() || name.find(' ') != std::string::npos)
                badHeader = true;
        }
        if (!more && !any) break;
        // Blank lines between messages are passed over.
        if (!any) continue;
        if (badHeader || !haveLength) {
            // Without a length the body cannot be found: what follows is read as headers again.
            s.refuse(json(), ParseErrorCode, "expected a Content-Length header");
            if (!more) break;
            continue;
        }
        std::string body(length, '\0');
        in.read(&body[0], static_cast<std::streamsize>(length));
        if (static_cast<size_t>(in.gcount()) != length) {
            s.refuse(json(), ParseErrorCode, "the input ended inside a message");
            break;
        }
        s.handle(body);
    }
    return s.shutDown ? 0 : 1;
}
