// The preprocessor against GCC's: the same headers through vorn's PreProcessor (in process, the
// compiler asked once beforehand, as vorn does once per run) and through `g++ -std=c++17 -E`
// (a process per run, its start included), plus the vorn-pp tool end to end (which reads the
// compiler's answer from ~/.cache/vorn once a first run has asked). Inputs: zlib.h and
// sqlite3.h with everything they include, and a generated header of 1 MB. bench/pp_vs_gcc.sh runs this and prints the ratios.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "front/PreProcessor.hpp"

namespace {

const platform::CompilerPreprocessor& compilerFacts() {
    static const platform::CompilerPreprocessor facts = platform::askCompilerPreprocessor("g++ -std=c++17");
    return facts;
}

// About 1 MB of declarations, macros with arguments, pasting, stringizing and conditions.
const std::string& generatedHeader() {
    static std::string path;
    if (!path.empty()) return path;
    path = platform::temporaryDirectory() + "/vorn-pp-bench.h";
    std::ofstream out(path);
    out << "#include <stddef.h>\n#define CAT(a, b) a##b\n#define STR(x) #x\n";
    for (int i = 0; out.tellp() < 1000000; ++i) {
        std::string n = std::to_string(i);
        out << "#define M" << n << "(a, b) ((a) + (b) * " << n << ")\n"
            << "#if M" << n << "(1, 2) > 3 && defined(CAT)\n"
            << "int CAT(function_, " << n << ")(int x, const char* name /* the name */);\n"
            << "#else\nlong other" << n << ";\n#endif\n"
            << "struct S" << n << " { size_t a[M" << n << "(2, 3)]; const char* s = STR(S" << n << "); };\n";
    }
    return path;
}

std::string inputPath(int which) {
    switch (which) {
    case 0: return "/usr/include/zlib.h";
    case 1: return "/usr/include/sqlite3.h";
    default: return generatedHeader();
    }
}
const char* inputName(int which) { return which == 0 ? "zlib.h" : which == 1 ? "sqlite3.h" : "generated-1MB"; }

void vornPreprocessor(benchmark::State& state) {
    std::string path = inputPath(static_cast<int>(state.range(0)));
    PreProcessorSettings settings;
    settings.system = compilerFacts();
    settings.keepIncludedTokens = true;
    state.SetLabel(inputName(static_cast<int>(state.range(0))));
    size_t tokens = 0;
    for (auto _ : state) {
        PreProcessor pp(path, cHeaderLexerOptions, settings);
        tokens = pp.size();
        benchmark::DoNotOptimize(tokens);
    }
    state.counters["tokens"] = static_cast<double>(tokens);
}

void run(benchmark::State& state, const std::string& command) {
    state.SetLabel(inputName(static_cast<int>(state.range(0))));
    std::string line = command + " " + inputPath(static_cast<int>(state.range(0))) + " > /dev/null";
    for (auto _ : state)
        if (std::system(line.c_str()) != 0) state.SkipWithError(("failed: " + line).c_str());
}

void gccPreprocessor(benchmark::State& state) { run(state, "g++ -std=c++17 -E"); }

void vornPpTool(benchmark::State& state) { run(state, std::string(VORN_PP_PATH) + " --all"); }

}  // namespace

BENCHMARK(vornPreprocessor)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(gccPreprocessor)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(vornPpTool)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
