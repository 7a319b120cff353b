// Driver: reads vorn's command line into the run options and runs the stages in order.
// Takes argc/argv; gives the exit status, with usage texts and driver failures on stderr.
// Never prints progress (that is the stages' verbose output) and never swallows a failure.
#include "driver/Driver.hpp"

#include <charconv>
#include <iostream>

#include "driver/BuildManager.hpp"
#include "driver/CompilerConfig.hpp"
#include "base/Diagnostics.hpp"
#include "front/Lexer.hpp"
#include "driver/Toolchain.hpp"
#include "driver/VisualCppEmulation.hpp"
#include "platform/Platform.hpp"
#include "tree/NodeDispatch.hpp"

namespace {

void printLine(const std::string& text) { std::cerr << text << '\n' << std::flush; }

bool endsInSeparator(const std::string& text) {
    return !text.empty() && (text.back() == '/' || text.back() == '\\');
}

std::string withSeparator(const std::string& directory) {
    return endsInSeparator(directory) ? directory : directory + "/";
}

void appendWithSpace(std::string& options, const std::string& text) {
    if (!options.empty()) options += ' ';
    options += text;
}

using Status = std::optional<int>;

// The module the dependency file's rule is written for: the first one named.
ModuleName firstInput;

Status help(const std::string&, const std::string& programName) {
    printUsage(programName, true);
    return runOptions.successStatus;
}

Status version(const std::string&, const std::string&) {
    std::cout << "vorn " << VORN_VERSION << '\n' << std::flush;
    return runOptions.successStatus;
}

Status single(const std::string&, const std::string&) {
    runOptions.processImports = false;
    return std::nullopt;
}

Status doc(const std::string&, const std::string&) {
    runOptions.documentation = true;
    return std::nullopt;
}

Status verbose(const std::string&, const std::string&) {
    runOptions.verbose = true;
    return std::nullopt;
}

Status verboseLookup(const std::string&, const std::string&) {
    runOptions.verboseLookup = true;
    return std::nullopt;
}

Status compiler(const std::string& value, const std::string&) {
    runOptions.compilerGiven = true;
    loadCompilerConfiguration(value);
    return std::nullopt;
}

Status out(const std::string& value, const std::string&) {
    runOptions.outputName = value;
    return std::nullopt;
}

Status scriptOption(const std::string& value, const std::string&) {
    runOptions.scriptOptions.insert(value);
    return std::nullopt;
}

Status compilerOption(const std::string& value, const std::string&) {
    appendWithSpace(runOptions.compilerOptions, value);
    return std::nullopt;
}

Status linkerOption(const std::string& value, const std::string&) {
    appendWithSpace(runOptions.linkerOptions, value);
    return std::nullopt;
}

// An optional '+' and digits only: "4x" and " 4" are refused, not read as 4.
int positiveInteger(const std::string& value, const std::string& what) {
    int number = 0;
    const size_t start = !value.empty() && value[0] == '+' ? 1 : 0;
    const char* end = value.data() + value.size();
    std::from_chars_result read = std::from_chars(value.data() + start, end, number);
    if (start == value.size() || read.ec != std::errc() || read.ptr != end || number < 1)
        throw CompileError(what + " must be a positive integer: " + value);
    return number;
}

Status tabSize(const std::string& value, const std::string&) {
    const int size = positiveInteger(value, "tabsize");
    if (size > Lexer::maximumTabSize)
        throw CompileError("tabsize must be at most " + std::to_string(Lexer::maximumTabSize));
    runOptions.tabSize = size;
    return std::nullopt;
}

Status jobs(const std::string& value, const std::string&) {
    runOptions.jobs = positiveInteger(value, "the number of jobs");
    return std::nullopt;
}

Status includeDir(const std::string& value, const std::string&) {
    runOptions.includeDirs.push_back(withSeparator(value));
    return std::nullopt;
}

Status forwardRealCl(const std::string&, const std::string&) {
    runOptions.forwardRealCl = true;
    return std::nullopt;
}

// A build tool that runs one translation per module wants the generated files in its own
// tree, named without the leading '_', all in one folder.
Status outputDir(const std::string& value, const std::string&) {
    bool absolute = !value.empty() && (value[0] == '/' || value[0] == '\\' || (value.size() > 1 && value[1] == ':'));
    outputDirectory = withSeparator(absolute ? value : platform::currentDirectory() + "/" + value);
    return std::nullopt;
}

Status cxx(const std::string& value, const std::string&) {
    runOptions.cxxCommand = value;
    return std::nullopt;
}

Status dependencyFile(const std::string& value, const std::string&) {
    runOptions.dependencyFile = value;
    return std::nullopt;
}

// Editors read gcc's form of a diagnostic without being taught vorn's.
Status diagnosticsFormat(const std::string& value, const std::string&) {
    if (value == "vorn")
        reportFormat = ReportFormat::Vorn;
    else if (value == "gcc")
        reportFormat = ReportFormat::Gcc;
    else
        throw CompileError("the diagnostics format is vorn or gcc, not " + value);
    return std::nullopt;
}

const std::vector<OptionRow> options = {
    {"-?", "--help", false, help},
    {nullptr, "--version", false, version},
    {"-s", "--single", false, single},
    {"-d", "--doc", false, doc},
    {"-v", "--verbose", false, verbose},
    {nullptr, "--verbose-lookup", false, verboseLookup},
    {"-c", "--compiler", true, compiler},
    {"-o", "--out", true, out},
    {"-O", "--option", true, scriptOption},
    {"-C", "--copt", true, compilerOption},
    {"-L", "--lopt", true, linkerOption},
    {"-j", "--jobs", true, jobs},
    {"-t", "--tabsize", true, tabSize},
    {"-I", "--include-dir", true, includeDir},
    {nullptr, "--vc-forward-realcl", false, forwardRealCl},
    {nullptr, "--output-dir", true, outputDir},
    {nullptr, "--depfile", true, dependencyFile},
    {nullptr, "--cxx", true, cxx},
    {nullptr, "--diagnostics-format", true, diagnosticsFormat},
};

// The first row naming the word; an option whose value would be missing does not match.
const OptionRow* findOption(const std::string& word, bool valueFollows) {
    for (const OptionRow& row : options) {
        bool named = (row.word && word == row.word) || word == row.longWord;
        if (named && (!row.takesValue || valueFollows)) return &row;
    }
    return nullptr;
}

const char* const fullUsage[] = {
    "  -?, --help          Display this screen",
    "      --version       Print the version",
    "  -o, --out           Set the output filename (of the executable)",
    "  -s, --single        Don't process files imported by the named files",
    "  -c, --compiler      Use the specified compiler to compile and link files",
    "                      The compiler information is stored in files in the compiler directory",
    "  -C, --copt          Pass the option to the compiler",
    "  -L, --lopt          Pass the option to the linker",
    "  -j, --jobs          Run this many compiles at once, default the hardware threads",
    "  -O, --option        Pass the option to the compiler script, some supported options are:",
    "                        - debug     compile with debug information",
    "                        - windows   create a windows application (non-console)",
    "  -d, --doc           Generates documentation in the form XML files",
    "  -t, --tabsize       Specifies the size of tabstops, default value is 8",
    "  -I  --include-dir   Adds an include directory, include directories are used for:",
    "                        - library files",
    "                        - when loading C++ modules",
    "  -v  --verbose       Output additional information about the process",
    "  @<file>             Act like MSVC cl.exe, converts .vn files, passes on to cl.exe",
    "                      If .obj files are specified acts like link.exe instead",
    "                      Sets tabsize=4 unless -t is specified",
    "      --output-dir    Write the generated files into this directory (without the _)",
    "      --depfile       Write a make rule naming every source the translation read",
    "      --cxx           The C++ compiler to ask for its include directories (default c++)",
    "      --diagnostics-format  vorn (default) or gcc: print diagnostics as file:line:col: error: text",
};

}  // namespace

const std::vector<OptionRow>& optionTable() { return options; }

void printUsage(const std::string& programName, bool full, std::ostream& out) {
    out << "Usage: " << programName << " [options] files\n";
    if (full) {
        out << '\n';
        for (const char* line : fullUsage) out << line << '\n';
    } else {
        out << "Try " << programName << " --help for more information\n\n";
    }
    out << std::flush;
}

void printUsage(const std::string& programName, bool full) { printUsage(programName, full, std::cerr); }

void locateExecutable() {
    std::string path;
    bool pathSet = platform::getEnvironment("PATH", path);
    if (pathSet) {
        std::vector<std::string> directories = platform::splitPathList(path);
        directories.push_back(".");
        for (std::string directory : directories) {
            // An empty entry stands for the current directory, as in the shell's own search.
            if (directory.empty()) directory = ".";
            std::string candidate = directory + "/" + platform::executableFileName();
            if (platform::isExecutableFile(candidate)) {
                // A link on the search path (bin/vorn) leads to the real program, and the
                // data directories lie beside that one.
                std::string real = platform::linkTargetDirectory(candidate);
                runOptions.vornDir = real.empty() ? withSeparator(directory) : real;
                return;
            }
        }
    }
    // A build tree or an installation that is not on the search path still finds its data
    // files beside the running program.
    std::string own = platform::runningExecutableDirectory();
    if (!own.empty() && platform::isExecutableFile(own + platform::executableFileName())) {
        runOptions.vornDir = own;
        return;
    }
    printLine(pathSet ? "vorn executable not in path" : "PATH environment variable should be set");
}

std::optional<int> readOptions(const std::vector<std::string>& arguments, const std::string& programName,
                               BuildManager& build) {
    bool inputSeen = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (const OptionRow* row = findOption(word, i + 1 < arguments.size())) {
            std::string value = row->takesValue ? arguments[++i] : std::string();
            if (Status status = row->apply(value, programName)) return status;
        } else if (!word.empty() && word[0] == '@') {
            return emulateVisualCpp(word.substr(1), build) ? runOptions.successStatus : runOptions.failureStatus;
        } else if (word.size() > 1 && word[0] == '-' && !findOption(word, true)) {
            // A value option given last stays a file name, as it always was; "-" alone is a name.
            throw CompileError("unknown option: " + word);
        } else {
            const std::string previousBase = baseDirectory;
            ModuleName name = parseModuleName(word, true, true);
            // Module names start at one base directory: a second folder would move it, and the
            // inputs named before would be looked for in the wrong place.
            if (inputSeen && baseDirectory != previousBase)
                throw CompileError("The input files lie in different folders (" + previousBase + " and " +
                                   baseDirectory + "); name the modules of one folder and reach the others with -I");
            if (runOptions.defaultOutputName.empty() && !name.components.empty()) {
                runOptions.defaultOutputName = sourcePath(name, "");
                firstInput = name;
            }
            build.pushWork(name);
            inputSeen = true;
        }
    }
    if (runOptions.compilerGiven && runOptions.documentation) {
        printLine("-c and -d are mutually exclusive");
        return runOptions.failureStatus;
    }
    if (runOptions.tabSize == 0) runOptions.tabSize = 8;
    return std::nullopt;
}

int runStages(BuildManager& build) {
    bool ok = build.buildAll();
    if (ok && !runOptions.dependencyFile.empty()) {
        if (firstInput.components.empty()) throw CompileError("--depfile needs a module to translate");
        ok = build.writeDependencyFile(runOptions.dependencyFile, outputPath(firstInput, "cpp"));
    }
    if (runOptions.compilerGiven) {
        ok = ok && compileAll(build);
        if (runOptions.processImports) {
            if (!ok) return runOptions.failureStatus;
            ok = linkAll(build);
        }
    }
    return ok ? runOptions.successStatus : runOptions.failureStatus;
}

int withFailureHandlers(const std::function<int()>& work, std::ostream& err) {
    try {
        return work();
    } catch (const std::exception& error) {
        err << error.what() << '\n' << std::flush;
    }
    return runOptions.failureStatus;
}

int vornMain(int argc, char** argv) {
    std::string programName = argc > 0 && argv[0] ? argv[0] : "";
    return withFailureHandlers(
        [&] {
#ifndef NDEBUG
            // A visitor's table with no row for a node class would fail only in the translation
            // that reaches the class: debug builds ask every table once, before any work.
            static const bool tablesChecked = (checkNodeDispatchTables(), true);
            (void)tablesChecked;
#endif
            if (argc < 2) {
                printUsage(programName, false);
                return runOptions.successStatus;
            }
            locateExecutable();
            BuildManager build;
            build.keepModulesAtExit();
            std::vector<std::string> arguments(argv + 1, argv + argc);
            if (std::optional<int> status = readOptions(arguments, programName, build)) return *status;
            return runStages(build);
        },
        std::cerr);
}
