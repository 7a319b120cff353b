// vorn-pp: prints the token stream that vorn's declaration parser reads from a C or C++ header,
// after vorn's own preprocessor. Takes -I, -D, -U and the compiler to ask for the system's
// include directories and predefined macros; gives the tokens, separated by blanks with a line
// break where the source line changes, and diagnostics on standard error (status 1 on any error).
#include <fstream>
#include <iostream>
#include <string>

#include "Diagnostics.hpp"
#include "PreProcessor.hpp"
#include "RunOptions.hpp"
#include "platform/Platform.hpp"

namespace {

const char usage[] =
    "usage: vorn-pp [-I DIR]... [-D NAME[=VALUE]]... [-U NAME]... [--cxx COMMAND | --no-cxx] [--all] FILE\n"
    "       vorn-pp --lex FILE\n"
    "       vorn-pp --version\n"
    "  -I DIR         search DIR for included headers, before the system's directories\n"
    "  -D NAME=VALUE  define NAME (to 1 when no value is given); -U NAME undefines it\n"
    "  --cxx COMMAND  the C++ compiler whose include directories and predefined macros to use\n"
    "                 (default \"g++ -std=c++17\"); --no-cxx uses none\n"
    "  --all          print the tokens of included files too, as a C compiler's -E does\n"
    "  --lex          print FILE's tokens as read, without preprocessing\n";

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

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    PreProcessorSettings settings;
    std::string compiler = "g++ -std=c++17";
    std::string file;
    bool lexOnly = false;
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
        if (lexOnly) {
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
