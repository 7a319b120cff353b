// vorn-pp: prints the token stream that vorn's declaration parser reads from a C or C++ header,
// after vorn's own preprocessor. Takes -I, -D, -U and the compiler to ask for the system's
// include directories and predefined macros; gives the tokens, separated by blanks with a line
// break where the source line changes, and diagnostics on standard error (status 1 on any error).
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <tuple>
#include <string>

#include "tree/Ast.hpp"
#include "driver/BuildManager.hpp"
#include "base/Diagnostics.hpp"
#include "driver/Driver.hpp"
#include "sema/Lowering.hpp"
#include "base/ModuleName.hpp"
#include "sema/NameLookup.hpp"
#include "tree/NodeDispatch.hpp"
#include "front/PreProcessor.hpp"
#include "base/RunOptions.hpp"
#include "platform/Platform.hpp"

namespace {

const char usage[] =
    "usage: vorn-pp [-I DIR]... [-D NAME[=VALUE]]... [-U NAME]... [--cxx COMMAND | --no-cxx] [--all] FILE\n"
    "       vorn-pp --lex FILE\n"
    "       vorn-pp --vni FILE.vni\n"
    "       vorn-pp --version\n"
    "  -I DIR         search DIR for included headers, before the system's directories\n"
    "  -D NAME=VALUE  define NAME (to 1 when no value is given); -U NAME undefines it\n"
    "  --cxx COMMAND  the C++ compiler whose include directories and predefined macros to use\n"
    "                 (default \"g++ -std=c++17\"); --no-cxx uses none\n"
    "  --all          print the tokens of included files too, as a C compiler's -E does\n"
    "  --lex          print FILE's tokens as read, without preprocessing\n"
    "  --vni          list what importing the include interface file gives a program: each name\n"
    "                 as the program writes it, its C name where that differs, and its type\n";

// Prints tokens with a line break where the file or line changes, and joins adjacent
// double-quoted literals when asked (the preprocessor does so itself).
void print(TokenStream& tokens, bool joinStrings) {
    const Token* previous = nullptr;
    std::string pending;
    for (const Token& t : tokens) {
        if (t.kind == EndOfFile) break;
        if (t.kind == Whitespace) continue;
        if (joinStrings && previous && t.kind == String && t.text[0] == '"' && previous->kind == String &&
            previous->text[0] == '"') {
            pending.pop_back();
            pending.append(t.text, 1, std::string::npos);
            previous = &t;
            continue;
        }
        if (previous) {
            bool sameLine = previous->location.file() == t.location.file() && previous->location.line == t.location.line;
            pending += sameLine ? ' ' : '\n';
        }
        pending += t.text;
        previous = &t;
        if (pending.size() > 65536) {
            size_t cut = pending.size() - t.text.size();
            std::cout.write(pending.data(), static_cast<std::streamsize>(cut));
            pending.erase(0, cut);
        }
    }
    if (previous) pending += '\n';
    std::cout << pending;
}


// Header types are looked up when a program uses them; the listing looks up each one it shows.
// A header names its own types by their C names, which the interface may have renamed, so
// those are taken from the listed headers' declarations.
std::map<std::string, std::pair<std::string, Declaration*>> headerTypes;  // C name: known name
Block* listedContext = nullptr;  // the header block whose name is being listed

std::string shown(TypeExpression* type, int depth = 0);

// A typedef that a program cannot write (uLong, z_streamp) is shown as what it stands for
// (ULong, ZStream*); the depth guards a chain that never ends in a written name.
std::string shownName(const SimpleTypeExpr& simple, int depth) {
    std::string known = simple.name;
    Declaration* declaration = simple.declaration;
    auto found = headerTypes.find(simple.name);
    if (found != headerTypes.end()) std::tie(known, declaration) = found->second;
    else if (declaration) known = writtenType(&simple);
    auto* alias = nodeCast<TypeAliasDeclaration>(declaration);
    if (alias && alias->type && depth < 32 && !std::isupper(static_cast<unsigned char>(known[0])))
        return shown(alias->type.get(), depth + 1);
    return known;
}

std::string shown(TypeExpression* type, int depth) {
    if (type) declarationOf(type, listedContext);
    return writtenType(type, [depth](const SimpleTypeExpr& simple) { return shownName(simple, depth); });
}

// One line of the listing: what the name is, the name a program writes, the C name where the
// interface renamed it, and its type in the program's spelling.
std::string listingLine(const std::string& scope, const std::string& known, Declaration& declaration) {
    std::string kind = "type", type;
    if (auto* macro = nodeCast<CppConstantMacroDeclaration>(&declaration)) {
        kind = macro->functionLike ? "macro" : "constant";
        const auto* result = nodeCast<FuncType>(macro->type.get());
        TypeExpression* value = result ? result->result.get() : macro->type.get();
        if (value) type = shown(value);
        if (macro->functionLike) type = type.empty() ? "(...)" : "(...) -> " + type;
    } else if (auto* function = nodeCast<FunctionDeclaration>(&declaration)) {
        kind = "function";
        std::string arguments;
        for (const ArgumentDeclarationPtr& argument : function->arguments)
            arguments += (arguments.empty() ? "" : ", ") + shown(typeOfDeclaration(argument.get()).get());
        type = "(" + arguments + ")";
        if (function->type) type += " -> " + shown(function->type.get());
    } else if (nodeCast<PropertyDeclaration>(&declaration)) {
        kind = "property";
        type = shown(typeOfDeclaration(&declaration).get());
    } else if (auto* data = nodeCast<DataDeclaration>(&declaration)) {
        kind = "variable";
        type = shown(typeOfDeclaration(data).get());
    } else if (nodeCast<EnumDeclaration>(&declaration)) {
        kind = "enum";
    } else if (auto* alias = nodeCast<TypeAliasDeclaration>(&declaration)) {
        kind = "type";
        if (alias->type) type = shown(alias->type.get());
    } else if (nodeCast<ClassDeclaration>(&declaration) || nodeCast<UnionDeclaration>(&declaration)) {
        kind = nodeCast<UnionDeclaration>(&declaration) ? "union" : "class";
    } else {
        return std::string();  // include lines and qualifiers name nothing a program uses
    }
    const auto* property = nodeCast<PropertyDeclaration>(&declaration);
    const std::string cName = property && !property->getterName.empty() ? property->getterName : declaration.name;
    std::string line = kind + " " + scope + known;
    if (cName != known) line += " (C: " + cName + ")";
    if (!type.empty()) line += ": " + type;
    return line;
}

// Walks the headers an include interface file imports, and those they include, and prints
// each name they give a program once, sorted. Names that begin with "_" are the C library's
// own business and are left out.
bool listIncludeInterface(const std::string& file) {
    locateExecutable();
    const ModuleName name = parseModuleName(file, true, true);
    BuildManager build;
    build.keepModulesAtExit();  // the listing's tables point into the trees
    ModulePtr module = build.loadModule(name, true);
    if (!module || hasQueuedErrors()) return false;
    std::map<std::string, std::string> lines;
    std::set<const Module*> seen;
    std::vector<const Module*> pending{module.get()}, headerModules;
    while (!pending.empty()) {
        const Module* current = pending.back();
        pending.pop_back();
        if (!seen.insert(current).second) continue;
        for (const auto& entry : current->imports)
            if (entry.second->module) pending.push_back(entry.second->module.get());
        // The built-in library's own modules are the language's, not the import's.
        if (current->headerPath.empty() || !current->block) continue;
        headerModules.push_back(current);
    }
    // The language's basic types are the built-in library's, which C++ spells "void" or "int".
    ModulePtr builtin = build.loadModule(parseModuleName("Library/Buildin/*", false, true), false);
    if (builtin && builtin->block) headerModules.push_back(builtin.get());
    for (const Module* current : headerModules)
        for (const auto& entry : current->block->names)
            if (nodeCast<TypeDeclaration>(entry.second.get()))
                headerTypes.emplace(entry.second->name, std::make_pair(entry.first, entry.second.get()));
    if (builtin && builtin->block) headerModules.pop_back();
    for (const Module* current : headerModules) {
        for (const auto& entry : current->block->names) {
            if (entry.first.empty() || entry.first[0] == '_' || lines.count(entry.first)) continue;
            listedContext = current->block.get();
            const std::string line = listingLine(std::string(), entry.first, *entry.second);
            if (line.empty()) continue;
            lines.emplace(entry.first, line);
            // A class's members are reached through it: listed as Counter.add.
            const auto* record = nodeCast<ClassDeclaration>(entry.second.get());
            const auto* variant = nodeCast<UnionDeclaration>(entry.second.get());
            Block* body = record ? record->body.get() : variant ? variant->body.get() : nullptr;
            if (!body) continue;
            listedContext = body;
            for (const auto& member : body->names) {
                // A constructor is called through the class (Counter:(5)), not by its name.
                const std::string name = entry.first + "." + member.first;
                if (member.first.empty() || member.first[0] == '_' || member.first == "construct" || lines.count(name))
                    continue;
                const std::string memberLine = listingLine(entry.first + ".", member.first, *member.second);
                if (!memberLine.empty()) lines.emplace(name, memberLine);
            }
        }
    }
    for (const auto& entry : lines) std::cout << entry.second << '\n';
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    PreProcessorSettings settings;
    std::string compiler = "g++ -std=c++17";
    std::string file;
    bool lexOnly = false;
    bool listInterface = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* option) -> std::string {
            if (arg.size() > 2 && arg.compare(0, 2, option) == 0) return arg.substr(2);
            if (i + 1 >= argc) {
                std::cerr << "vorn-pp: " << option << " needs a value\n" << usage;
                std::exit(1);
            }
            return argv[++i];
        };
        if (arg.compare(0, 2, "-I") == 0) {
            std::string dir = value("-I");
            runOptions.includeDirs.push_back(dir.empty() || dir.back() == '/' ? dir : dir + "/");
        } else if (arg.compare(0, 2, "-D") == 0) {
            std::string define = value("-D");
            size_t equals = define.find('=');
            settings.commandLineMacros += "#define " + (equals == std::string::npos ? define + " 1"
                                                                                     : define.substr(0, equals) + " " + define.substr(equals + 1)) + "\n";
        } else if (arg.compare(0, 2, "-U") == 0) {
            settings.commandLineMacros += "#undef " + value("-U") + "\n";
        } else if (arg == "--cxx") {
            compiler = value("--cxx");
        } else if (arg == "--no-cxx") {
            compiler.clear();
        } else if (arg == "--all") {
            settings.keepIncludedTokens = true;
        } else if (arg == "--lex") {
            lexOnly = true;
        } else if (arg == "--vni") {
            listInterface = true;
        } else if (arg == "--version") {
            std::cout << "vorn-pp " << VORN_VERSION << '\n';
            return 0;
        } else if (arg == "-h" || arg == "--help") {
            std::cout << usage;
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            std::cerr << "vorn-pp: unknown option " << arg << "\n" << usage;
            return 1;
        } else if (file.empty()) {
            file = arg;
        } else {
            std::cerr << "vorn-pp: only one file at a time\n" << usage;
            return 1;
        }
    }
    if (file.empty()) {
        std::cerr << usage;
        return 1;
    }
    bool failed = false;
    try {
        if (listInterface) {
            failed = !listIncludeInterface(file);
        } else if (lexOnly) {
            std::ifstream in;
            if (platform::isRegularFile(file)) in.open(file, std::ios::binary);
            if (!in.is_open()) throw CompileError("Unable to open file: " + file);
            Lexer lexer(in, file, cHeaderLexerOptions);
            while (lexer.back().kind != EndOfFile) lexer.fill();
            print(lexer, true);
        } else {
            if (!compiler.empty()) {
                settings.system = platform::askCompilerPreprocessor(compiler);
                if (!settings.system.found) throw CompileError("cannot ask the C++ compiler \"" + compiler + "\" for its include directories");
            }
            PreProcessor preprocessor(file, cHeaderLexerOptions, settings);
            print(preprocessor, false);
        }
    } catch (const CompileError& error) {
        report(error);
        failed = true;
    }
    if (flushDiagnostics(SeverityError)) failed = true;
    return failed ? 1 : 0;
}
