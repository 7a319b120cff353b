// Lexing throughput in MB/s and tokens/s: a generated ".vn" corpus of realistic modules, and
// pathological inputs (deep indentation with long lines, one huge line) at growing sizes, so a
// quadratic step shows up as throughput that falls with size.
#include <benchmark/benchmark.h>

#include <streambuf>
#include <string>

#include "front/Lexer.hpp"

namespace {

// Reads a string in place, so the benchmark measures the lexer and not a copy of its input.
class MemoryBuffer : public std::streambuf {
public:
    explicit MemoryBuffer(const std::string& text) {
        char* begin = const_cast<char*>(text.data());
        setg(begin, begin, begin + text.size());
    }
};

std::string moduleText(int n) {
    std::string s = std::to_string(n);
    return "// module part " + s + "\n"
           "import Library.Io\n\n"
           "class Shape" + s + "\n"
           "    public int width, height\n"
           "    double scale = 1.5e-3\n"
           "    int area() const\n"
           "        return width * height + 0x1F - 0b101  /* rough */\n"
           "    void grow(int by)\n"
           "        if by > 0 && width < 1000\n"
           "            width += by; height += by\n"
           "        else { print(\"cannot grow \\\"" + s + "\\\"\\n\") }\n\n"
           "/+ nested /+ comment +/ +/\n"
           "int main" + s + "(int argc, char** argv)\n"
           "    Shape" + s + " shape\n"
           "    for int i = 0 .. 100\n"
           "        shape.grow(i % 7)\n"
           "        _CPP(\n"
           "            std::printf(\"%d\", " + s + ");\n"
           "        )\n"
           "    return shape.area() >> 2\n\n";
}

std::string corpus(size_t minBytes) {
    std::string text;
    for (int n = 0; text.size() < minBytes; ++n) text += moduleText(n);
    return text;
}

// Indentation that climbs one column per line to `depth`, each line long, then falls back.
std::string deepIndentation(size_t minBytes) {
    const int depth = 1000;
    std::string payload;
    for (int i = 0; i < 40; ++i) payload += "value" + std::to_string(i) + " + ";
    payload += "f(x, y)\n";
    std::string text;
    while (text.size() < minBytes)
        for (int level = 0; level < depth && text.size() < minBytes; ++level)
            text += std::string(level, ' ') + payload;
    return text;
}

// One line holding everything: a single statement of `minBytes` characters.
std::string longLine(size_t minBytes) {
    std::string text = "x = ";
    while (text.size() < minBytes) text += "alpha + 12.5e-3 * beta(\"text\", 'c') - ";
    return text + "omega\n";
}

void lexAll(benchmark::State& state, const std::string& text) {
    size_t tokens = 0;
    for (auto _ : state) {
        MemoryBuffer buffer(text);
        std::istream in(&buffer);
        Lexer lexer(in, "bench.vn", sourceLexerOptions);
        while (lexer.kind() != EndOfFile) lexer.advance();
        tokens += lexer.size();
        benchmark::DoNotOptimize(lexer.back());
        clearDiagnostics();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["tokens/s"] = benchmark::Counter(static_cast<double>(tokens), benchmark::Counter::kIsRate);
    state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}

void BM_LexCorpus(benchmark::State& state) {
    static const std::string text = corpus(5u << 20);
    lexAll(state, text);
}
BENCHMARK(BM_LexCorpus)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_LexDeepIndentation(benchmark::State& state) {
    std::string text = deepIndentation(static_cast<size_t>(state.range(0)) << 10);
    lexAll(state, text);
}
BENCHMARK(BM_LexDeepIndentation)->Arg(256)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_LexLongLine(benchmark::State& state) {
    std::string text = longLine(static_cast<size_t>(state.range(0)) << 10);
    lexAll(state, text);
}
BENCHMARK(BM_LexLongLine)->Arg(256)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
