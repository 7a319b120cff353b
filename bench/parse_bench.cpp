// Parse throughput of the source grammar: lexes and parses a generated corpus of realistic ".vn"
// code (classes, properties, functions with nested control flow and expressions), at two sizes
// so that a non-linear parse shows as a time ratio above two. Reports lines/s, bytes/s and the
// peak resident memory of the process. Lexing only is measured alongside for comparison.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <sstream>
#include <string>

#include "front/Grammar.hpp"
#include "front/Lexer.hpp"

namespace {

// One class of about 50 lines; `n` keeps names distinct.
void appendClass(std::string& out, int n) {
    std::string id = std::to_string(n);
    out += "class Shape" + id + "[T] : public Base\n";
    out += "    Int width\n";
    out += "    Int height = 4\n";
    out += "    Vector[T] items\n";
    out += "    Int -> String names\n";
    out += "    Int area\n";
    out += "        get\n";
    out += "            return width * height\n";
    out += "\n";
    out += "    construct(Int w, Int h)\n";
    out += "        width = w\n";
    out += "        height = h + " + id + "\n";
    out += "\n";
    out += "    Int compute(Int limit, Bool verbose = false) const\n";
    out += "        Int total = 0, count = 0\n";
    out += "        for i in [0 ... limit)\n";
    out += "            if i % 2 == 0 && verbose\n";
    out += "                total += i * (width - height) / 3\n";
    out += "            elseif i > 10\n";
    out += "                total = total - items.size() + f(i, count)\n";
    out += "            else\n";
    out += "                count += 1\n";
    out += "        while total > 1000\n";
    out += "            total = total >> 1\n";
    out += "        return total\n";
    out += "\n";
    out += "    Void render(Canvas& canvas)\n";
    out += "        try\n";
    out += "            Point p = new Point: (width, height)\n";
    out += "            canvas.draw(p.x + 1, p.y - 1, if verbose then 2 else 1)\n";
    out += "            String label = \"shape " + id + "\"\n";
    out += "            _log(label, width)\n";
    out += "        catch Error e\n";
    out += "            report(e.message)\n";
    out += "            throw\n";
    out += "\n";
    out += "    virtual Bool operator == (Shape" + id + "[T] other)\n";
    out += "        return width == other.width && height == other.height\n";
    out += "\n";
    out += "enum Kind" + id + "\n";
    out += "    small\n";
    out += "    medium = 2\n";
    out += "    large\n";
    out += "\n";
    out += "alias Table" + id + " = Int -> Shape" + id + "[Int]*\n";
    out += "Int counter" + id + " = (1 + 2) * 3 - -4\n";
    out += "\n";
}

std::string corpus(int minimumLines) {
    std::string out = "import Library.Graphics\nimport Utilities.*\n\n";
    int lines = 3;
    for (int n = 0; lines < minimumLines; ++n) {
        size_t before = out.size();
        appendClass(out, n);
        for (size_t i = before; i < out.size(); ++i) lines += out[i] == '\n';
    }
    return out;
}

int lineCount(const std::string& text) {
    int lines = 0;
    for (char c : text) lines += c == '\n';
    return lines;
}

void setCounters(benchmark::State& state, const std::string& text) {
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lineCount(text)) * state.iterations(),
                                                   benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<int64_t>(text.size()) * state.iterations());
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peakRSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.counters["lines"] = lineCount(text);
}

void BM_ParseModule(benchmark::State& state) {
    const std::string text = corpus(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::istringstream input(text);
        Lexer lexer(input, "corpus.vn", sourceLexerOptions);
        ModulePtr module = parseModule(lexer, "Corpus");
        if (!module || !module->complete || !queuedDiagnostics().empty()) {
            state.SkipWithError("the corpus did not parse cleanly");
            break;
        }
        benchmark::DoNotOptimize(module.get());
    }
    setCounters(state, text);
}
BENCHMARK(BM_ParseModule)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_LexOnly(benchmark::State& state) {
    const std::string text = corpus(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::istringstream input(text);
        Lexer lexer(input, "corpus.vn", sourceLexerOptions);
        while (lexer.current->kind != EndOfFile) lexer.advance();
        benchmark::DoNotOptimize(lexer.size());
    }
    setCounters(state, text);
}
BENCHMARK(BM_LexOnly)->Arg(50000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
