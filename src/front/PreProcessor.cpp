// The C preprocessor. Each file is lexed a line at a time; a reader hands the lines'
// tokens to the macro expander, carrying out each directive line as it reaches it, so a macro
// call may span lines and the macros in force are always those of the point reached.
// Expansion follows C: a macro is not expanded again while its own replacement is rescanned.
#include "front/PreProcessor.hpp"

#include <cctype>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>

#include "base/ModuleName.hpp"
#include "base/RunOptions.hpp"

using namespace std::string_view_literals;

namespace {

// A token on its way through the preprocessor: `blank` says whether blanks or a line end came
// before it; `painted` marks a name C will never expand again.
struct Tok {
    Token token;
    bool blank = false;
    bool painted = false;
};
typedef std::vector<Tok> Toks;

bool isIdentifier(const Token& t) {
    return t.kind == Name || t.kind == Keyword || t.kind == TypeName || t.kind == MacroName;
}
bool is(const Tok& t, std::string_view text) { return t.token.text == text && t.token.kind != String; }

// Attributes the GCC that compiles the output knows; __has_attribute answers 1 for these, so
// headers take the branches they take under g++.
constexpr std::string_view gccAttributes[] = {
    "access", "alias", "aligned", "alloc_align", "alloc_size", "always_inline", "artificial",
    "assume_aligned", "cleanup", "cold", "const", "constructor", "copy", "deprecated", "destructor",
    "error", "externally_visible", "fallthrough", "flatten", "format", "format_arg", "gnu_inline",
    "hot", "leaf", "malloc", "may_alias", "mode", "no_sanitize_address", "noinline", "nonnull",
    "nonstring", "noreturn", "nothrow", "packed", "pure", "returns_nonnull", "returns_twice",
    "section", "sentinel", "transparent_union", "unused", "used", "vector_size", "visibility",
    "warn_unused_result", "warning", "weak",
};
// The type-trait keywords g++ 12 counts as builtins besides the "__builtin_" family; the C++
// library chooses its implementation of <type_traits> by them.
constexpr std::string_view gccTraitBuiltins[] = {
    "__has_nothrow_assign", "__has_nothrow_constructor", "__has_nothrow_copy",
    "__has_trivial_assign", "__has_trivial_constructor", "__has_trivial_copy",
    "__has_trivial_destructor", "__has_unique_object_representations", "__has_virtual_destructor",
    "__is_abstract", "__is_aggregate", "__is_assignable", "__is_base_of", "__is_class",
    "__is_constructible", "__is_empty", "__is_enum", "__is_final", "__is_layout_compatible",
    "__is_literal_type", "__is_nothrow_assignable", "__is_nothrow_constructible",
    "__is_pointer_interconvertible_base_of", "__is_pod", "__is_polymorphic", "__is_same",
    "__is_same_as", "__is_standard_layout", "__is_trivial", "__is_trivially_assignable",
    "__is_trivially_constructible", "__is_trivially_copyable", "__is_union", "__underlying_type",
};
// Standard attributes with the values g++ gives in C++17.
struct CppAttribute {
    std::string_view name;
    long value;
};
constexpr CppAttribute cppAttributes[] = {
    {"carries_dependency", 200809}, {"deprecated", 201309}, {"fallthrough", 201603},
    {"likely", 201803},             {"maybe_unused", 201603}, {"nodiscard", 201907},
    {"no_unique_address", 201803},  {"noreturn", 200809},     {"unlikely", 201803},
};

std::string withoutUnderscores(const std::string& name) {
    if (name.size() > 4 && name.compare(0, 2, "__") == 0 && name.compare(name.size() - 2, 2, "__") == 0)
        return name.substr(2, name.size() - 4);
    return name;
}

long featureValue(const std::string& feature, const std::string& name) {
    std::string plain = withoutUnderscores(name);
    if (feature == "__has_attribute"sv) {
        for (std::string_view a : gccAttributes)
            if (plain == a) return 1;
        return 0;
    }
    if (feature == "__has_cpp_attribute"sv) {
        for (const CppAttribute& a : cppAttributes)
            if (plain == a.name) return a.value;
        return 0;
    }
    for (std::string_view b : gccTraitBuiltins)
        if (name == b) return 1;
    return name.compare(0, 10, "__builtin_") == 0 ? 1 : 0;
}

bool isFeatureTest(const std::string& name) {
    return name == "__has_attribute"sv || name == "__has_cpp_attribute"sv || name == "__has_builtin"sv ||
           name == "__has_include"sv || name == "__has_include_next"sv;
}

std::string directoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string withSlash(const std::string& dir) {
    return dir.empty() || dir.back() == '/' ? dir : dir + "/";
}

std::string timeText(const char* format) {
    std::time_t now = std::time(nullptr);
    char text[64];
    std::tm local{};
    platform::localTime(now, local);
    std::strftime(text, sizeof text, format, &local);
    return text;
}

// A string or character literal as the text between its quotes, escapes doubled for "#x".
std::string stringized(const Toks& tokens) {
    std::string text;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (i > 0 && tokens[i].blank) text += ' ';
        const Token& t = tokens[i].token;
        if (t.kind != String) {
            text += t.text;
            continue;
        }
        for (char c : t.text) {
            if (c == '"' || c == '\\') text += '\\';
            text += c;
        }
    }
    return "\"" + text + "\"";
}

// ---- Conditions ----------------------------------------------------------------------------

// A value of #if arithmetic: 64 bits, signed or unsigned as C's rules make it.
struct Value {
    std::uint64_t bits = 0;
    bool isUnsigned = false;
    std::int64_t asSigned() const { return static_cast<std::int64_t>(bits); }
    bool isTrue() const { return bits != 0; }
};
Value signedValue(std::int64_t v) { return Value{static_cast<std::uint64_t>(v), false}; }

struct BinaryOperator {
    std::string_view text;
    int precedence;
};
// C's binary operators from loosest to tightest; "?:" and "," are handled around them.
constexpr BinaryOperator binaryOperators[] = {
    {"||", 1}, {"&&", 2}, {"|", 3},  {"^", 4},  {"&", 5},  {"==", 6}, {"!=", 6},
    {"<", 7},  {">", 7},  {"<=", 7}, {">=", 7}, {"<<", 8}, {">>", 8}, {"+", 9},
    {"-", 9},  {"*", 10}, {"/", 10}, {"%", 10},
};

// C++ spells these operators as words too; a C++ compiler reads them so in #if as well.
struct AlternativeToken {
    std::string_view word, op;
};
constexpr AlternativeToken alternativeTokens[] = {
    {"and", "&&"},    {"or", "||"},     {"not", "!"},       {"bitand", "&"},   {"bitor", "|"},    {"xor", "^"},
    {"compl", "~"},   {"not_eq", "!="}, {"and_eq", "&="},   {"or_eq", "|="},   {"xor_eq", "^="},
};

void spellOperators(Toks& tokens) {
    for (Tok& t : tokens) {
        if (!isIdentifier(t.token)) continue;
        for (const AlternativeToken& a : alternativeTokens)
            if (t.token.text == a.word) {
                t.token.kind = Operator;
                t.token.text = std::string(a.op);
                t.token.textChanged();
            }
    }
}

int precedenceOf(const std::string& op) {
    for (const BinaryOperator& b : binaryOperators)
        if (op == b.text) return b.precedence;
    return 0;
}

// A C integer literal: decimal, octal, hexadecimal or binary, with u, l, ul, ll and ull
// suffixes in either case. Anything else is not a number #if can use.
Value integerLiteral(const Token& t) {
    const std::string& s = t.text;
    size_t end = s.size();
    bool isUnsigned = false;
    int longs = 0;
    while (end > 0) {
        char c = s[end - 1];
        if ((c == 'u' || c == 'U') && !isUnsigned) {
            isUnsigned = true;
        } else if ((c == 'l' || c == 'L') && longs < 2) {
            ++longs;
        } else {
            break;
        }
        --end;
    }
    std::string digits = s.substr(0, end);
    int base = 10;
    size_t i = 0;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        i = 2;
    } else if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'b' || digits[1] == 'B')) {
        base = 2;
        i = 2;
    } else if (digits.size() > 1 && digits[0] == '0') {
        base = 8;
        i = 1;
    }
    if (i >= digits.size()) {
        if (digits != "0"sv) throw CompileError("invalid integer constant in preprocessor expression: " + s, t.location);
    }
    std::uint64_t value = 0;
    bool tooLarge = false;
    for (; i < digits.size(); ++i) {
        char c = digits[i];
        int d = c >= '0' && c <= '9' ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : 99;
        if (d >= base) throw CompileError("invalid integer constant in preprocessor expression: " + s, t.location);
        if (value > (UINT64_MAX - static_cast<std::uint64_t>(d)) / static_cast<std::uint64_t>(base)) tooLarge = true;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    }
    if (tooLarge) throw CompileError("integer constant too large in preprocessor expression: " + s, t.location);
    // A literal too large for the signed type is unsigned, as in C.
    if (value > static_cast<std::uint64_t>(INT64_MAX)) isUnsigned = true;
    return Value{value, isUnsigned};
}

// A character constant: its one character (a plain char is signed, as in GCC), or the bytes
// of a multi-character constant run together.
Value characterLiteral(const Token& t) {
    const std::string& s = t.text;
    if (s.size() < 3 || s.back() != '\'') throw CompileError("invalid character constant in preprocessor expression: " + s, t.location);
    std::uint64_t value = 0;
    int count = 0;
    for (size_t i = 1; i + 1 < s.size(); ++count) {
        int c = static_cast<unsigned char>(s[i++]);
        if (c == '\\' && i + 1 < s.size()) {
            char e = s[i++];
            static const char simple[] = "n\nt\tr\ra\ab\bf\fv\v0\0";
            c = static_cast<unsigned char>(e);
            if (e == 'x') {
                c = 0;
                for (int k = 0; i + 1 < s.size() && k < 2 && std::isxdigit(static_cast<unsigned char>(s[i])); ++k, ++i)
                    c = c * 16 + (std::isdigit(static_cast<unsigned char>(s[i])) ? s[i] - '0' : (s[i] | 0x20) - 'a' + 10);
            } else if (e >= '0' && e <= '7') {
                c = e - '0';
                for (int k = 1; i + 1 < s.size() && k < 3 && s[i] >= '0' && s[i] <= '7'; ++k, ++i) c = c * 8 + (s[i] - '0');
            } else {
                for (size_t k = 0; k + 1 < sizeof simple; k += 2)
                    if (simple[k] == e) c = static_cast<unsigned char>(simple[k + 1]);
            }
        }
        value = count == 0 ? static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<signed char>(c)))
                           : (value << 8) | static_cast<std::uint64_t>(c & 0xff);
    }
    if (count > 1) return signedValue(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
    return Value{value, false};
}

// #if arithmetic over the expanded tokens of a directive line, with C's precedences,
// grouping, conversions and short-circuit rules. Errors in a part that short-circuiting
// leaves unevaluated (a division by zero after "0 &&") are not errors, as in C.
class Evaluator {
public:
    explicit Evaluator(const Toks& tokens) : tokens(tokens) {}

    Value evaluate() {
        Value v = comma();
        if (pos < tokens.size()) {
            const Token& t = tokens[pos].token;
            if (t.kind == Operator) throw CompileError("operator not supported: " + t.text, t.location);
            throw CompileError("missing binary operator before \"" + t.text + "\" in preprocessor expression", t.location);
        }
        return v;
    }

private:
    const Toks& tokens;
    size_t pos = 0;
    int depth = 0;
    int skipping = 0;  // > 0 inside an operand that short-circuiting does not evaluate

    static const int maxDepth = 256;

    const Tok* peek() const { return pos < tokens.size() ? &tokens[pos] : nullptr; }
    bool at(const char* text) const { return pos < tokens.size() && is(tokens[pos], text); }

    Value comma() {
        Value v = conditional();
        while (at(",")) {
            ++pos;
            v = conditional();
        }
        return v;
    }

    Value conditional() {
        Value condition = binary(1);
        if (!at("?")) return condition;
        // "a ? b ? c : d : e" nests without parentheses; the depth bound covers it too.
        Nesting nesting(*this, tokens[pos].token.location);
        SourceLocation where = tokens[pos].token.location;
        ++pos;
        skipping += condition.isTrue() ? 0 : 1;
        Value a = comma();
        skipping -= condition.isTrue() ? 0 : 1;
        if (!at(":")) throw CompileError("expected : in preprocessor expression", where);
        ++pos;
        skipping += condition.isTrue() ? 1 : 0;
        Value b = conditional();
        skipping -= condition.isTrue() ? 1 : 0;
        Value result = condition.isTrue() ? a : b;
        result.isUnsigned = a.isUnsigned || b.isUnsigned;
        return result;
    }

    Value binary(int minimum) {
        Value left = unary();
        for (;;) {
            const Tok* op = peek();
            if (!op || op->token.kind != Operator) return left;
            int precedence = precedenceOf(op->token.text);
            if (precedence < minimum || precedence == 0) {
                if (precedence == 0 && !is(*op, "?") && !is(*op, ":") && !is(*op, ","))
                    throw CompileError("operator not supported: " + op->token.text, op->token.location);
                return left;
            }
            ++pos;
            const std::string& text = op->token.text;
            bool shortCircuit = (text == "&&"sv && !left.isTrue()) || (text == "||"sv && left.isTrue());
            if (shortCircuit) ++skipping;
            Value right = binary(precedence + 1);
            if (shortCircuit) --skipping;
            left = combine(text, left, right, op->token.location);
        }
    }

    Value combine(const std::string& op, Value a, Value b, const SourceLocation& where) {
        if (op == "&&"sv) return signedValue(a.isTrue() && b.isTrue());
        if (op == "||"sv) return signedValue(a.isTrue() || b.isTrue());
        if (op == "<<"sv || op == ">>"sv) return shift(op == "<<"sv, a, b);
        bool u = a.isUnsigned || b.isUnsigned;
        std::uint64_t x = a.bits, y = b.bits;
        std::int64_t sx = a.asSigned(), sy = b.asSigned();
        if (op == "=="sv) return signedValue(x == y);
        if (op == "!="sv) return signedValue(x != y);
        if (op == "<"sv) return signedValue(u ? x < y : sx < sy);
        if (op == ">"sv) return signedValue(u ? x > y : sx > sy);
        if (op == "<="sv) return signedValue(u ? x <= y : sx <= sy);
        if (op == ">="sv) return signedValue(u ? x >= y : sx >= sy);
        Value r{0, u};
        if (op == "+"sv) r.bits = x + y;
        else if (op == "-"sv) r.bits = x - y;
        else if (op == "*"sv) r.bits = x * y;
        else if (op == "&"sv) r.bits = x & y;
        else if (op == "|"sv) r.bits = x | y;
        else if (op == "^"sv) r.bits = x ^ y;
        else if (y == 0) {
            if (!skipping) reportError("division by zero in preprocessor expression", where);
        } else if (u) {
            r.bits = op == "/"sv ? x / y : x % y;
        } else if (sy == -1) {
            // INT64_MIN / -1 overflows; C's wrapped result is the negation.
            r.bits = op == "/"sv ? 0 - x : 0;
        } else {
            r.bits = static_cast<std::uint64_t>(op == "/"sv ? sx / sy : sx % sy);
        }
        return r;
    }

    static Value shift(bool left, Value a, Value b) {
        std::int64_t count = b.isUnsigned && b.bits > 64 ? 64 : b.asSigned();
        if (count < 0) {
            left = !left;
            count = count < -64 ? 64 : -count;
        }
        Value r{0, a.isUnsigned};
        if (left) {
            r.bits = count >= 64 ? 0 : a.bits << count;
        } else if (a.isUnsigned || a.asSigned() >= 0) {
            r.bits = count >= 64 ? 0 : a.bits >> count;
        } else {
            r.bits = static_cast<std::uint64_t>(count >= 64 ? -1 : a.asSigned() >> count);
        }
        return r;
    }

    struct Nesting {
        Evaluator& e;
        Nesting(Evaluator& e, const SourceLocation& where) : e(e) {
            if (++e.depth > maxDepth) {
                --e.depth;
                throw CompileError("preprocessor expression nested too deeply", where);
            }
        }
        ~Nesting() { --e.depth; }
    };

    Value unary() {
        const Tok* t = peek();
        if (!t) return Value();  // a missing operand counts as 0
        Nesting nesting(*this, t->token.location);
        return unaryOf(*t);
    }

    Value unaryOf(const Tok& t) {
        const Token& token = t.token;
        ++pos;
        if (token.kind == Operator) {
            if (token.text == "-"sv) {
                Value v = unary();
                v.bits = 0 - v.bits;
                return v;
            }
            if (token.text == "+"sv) return unary();
            if (token.text == "~"sv) {
                Value v = unary();
                v.bits = ~v.bits;
                return v;
            }
            if (token.text == "!"sv) return signedValue(!unary().isTrue());
            throw CompileError("operator not supported: " + token.text, token.location);
        }
        if (is(t, "(")) {
            Value v = comma();
            if (!at(")")) throw CompileError("expected ) in preprocessor expression", token.location);
            ++pos;
            return v;
        }
        if (token.kind == Number) return integerLiteral(token);
        if (token.kind == String && token.text[0] == '\'') return characterLiteral(token);
        if (token.kind == String) throw CompileError("string in preprocessor expression: " + token.text, token.location);
        if (token.text == "true"sv) return signedValue(1);
        // Any other name is a macro that is not defined: 0, as in C.
        if (isIdentifier(token)) return Value();
        throw CompileError("unexpected token in preprocessor expression: " + token.text, token.location);
    }
};

}  // namespace

// ---- The engine ------------------------------------------------------------------------------

struct PreProcessor::Engine {
    // Where the expander takes its tokens from when no replacement is pending.
    struct Source {
        virtual ~Source() = default;
        virtual bool next(Tok& token) = 0;
    };

    // A file being read: its lexer, the line being read, and what it says about a guard macro.
    struct File {
        std::string path;
        int foundAt = -1;  // index in searchDirs of the directory it came from; -1: none
        bool keepTokens = false;
        // Found in a system directory (or beside a file that was): GCC's warnings about
        // questionable but working text are not given there, and vorn's are warnings only.
        bool system = false;
        Lexer* lexer = nullptr;
        Toks line;
        size_t pos = 0;
        bool ended = false;
        bool lineReady = false;
        size_t conditionBase = 0;
        // "#ifndef G" first and its "#endif" last make G the file's guard.
        std::string guard;
        size_t guardLevel = 0;
        bool guardClosed = false;
        bool guardBroken = false;
        bool sawContent = false;
    };

    PreProcessor& pp;
    PreProcessorSettings settings;
    std::vector<std::string> searchDirs;  // -I directories, then the system's
    size_t systemFrom = 0;                // the first of the system's in searchDirs
    std::vector<File*> files;
    std::unordered_map<std::string, std::string> guards;  // path to the macro guarding it
    std::set<std::string> onceOnly;                        // "#pragma once" files
    // Tokens made by expansion since a file last gave one: an honest header of any size keeps
    // it small, a macro whose expansion doubles at every level does not.
    std::size_t work = 0;
    int argumentDepth = 0;
    int counter = 0;

    static const int maxArgumentDepth = 200;

    Engine(PreProcessor& pp, const PreProcessorSettings& settings) : pp(pp), settings(settings) {
        if (runOptions.includeDirs.empty()) runOptions.includeDirs.emplace_back();
        for (size_t i = 1; i < runOptions.includeDirs.size(); ++i) searchDirs.push_back(withSlash(runOptions.includeDirs[i]));
        for (const std::string& dir : runOptions.packageIncludeDirs) searchDirs.push_back(withSlash(dir));
        systemFrom = searchDirs.size();
        for (const std::string& dir : settings.system.includeDirectories) searchDirs.push_back(withSlash(dir));
    }

    void spend(std::size_t amount, const SourceLocation& where) {
        work += amount;
        if (work > settings.workLimit)
            throw CompileError("Too much preprocessing, probably recursion: more than " +
                                   std::to_string(settings.workLimit) + " tokens",
                               where);
    }

    bool active() const { return pp.conditions.empty() || pp.conditions.back() == 0; }

    // Text C accepts but that is likely a mistake: a warning, and none in a system header.
    void warnUnlessSystem(const std::string& message, const SourceLocation& where) const {
        if (files.empty() || !files.back()->system) reportWarning(message, where);
    }
    // Text GCC rejects: an error, but only a warning in a system header, which must never stop
    // a translation that merely imports it.
    void rejectUnlessSystem(const std::string& message, const SourceLocation& where) const {
        if (!files.empty() && files.back()->system)
            reportWarning(message, where);
        else
            reportError(message, where);
    }

    void warnExtraTokens(const Toks& line, size_t from) const {
        if (line.size() > from)
            warnUnlessSystem("extra tokens at end of #" + line[1].token.text + " directive", line[from].token.location);
    }

    // ---- Files ----

    // While a file is read its directory is the run's base directory and the first entry of the
    // include path; both come back when the file ends, also when a failure ends it.
    struct FileScope {
        Engine& engine;
        std::string baseBefore, firstDirBefore;
        FileScope(Engine& engine, File& file, const std::string& dir) : engine(engine) {
            baseBefore = baseDirectory;
            firstDirBefore = runOptions.includeDirs[0];
            baseDirectory = dir;
            runOptions.includeDirs[0] = dir;
            engine.files.push_back(&file);
        }
        ~FileScope() {
            engine.files.pop_back();
            baseDirectory = baseBefore;
            runOptions.includeDirs[0] = firstDirBefore;
        }
    };

    // Reads the file's next line into f.line, taking the tokens out of the lexer as they come
    // so that a large header never sits in memory whole; false at the end of the file.
    bool readLine(File& f) {
        f.line.clear();
        bool blank = true;
        Lexer& lexer = *f.lexer;
        for (;;) {
            if (lexer.empty()) lexer.fill();
            if (lexer.empty()) continue;
            Token& t = lexer.front();
            if (t.kind == EndOfFile) {
                f.ended = true;
                break;
            }
            if (t.kind == Whitespace) {
                bool lineEnd = t.text == "\n"sv;
                lexer.pop_front();
                if (lineEnd) break;
                blank = true;
                continue;
            }
            work = 0;
            f.line.emplace_back();
            f.line.back().token = std::move(t);
            f.line.back().blank = blank || f.line.back().token.blankBefore;
            blank = false;
            lexer.pop_front();
        }
        return !f.ended || !f.line.empty();
    }

    void processStream(std::istream& in, const std::string& path, int foundAt, bool keepTokens) {
        Lexer lexer(in, path, static_cast<LexerOptions>(pp.options | BlankFlags));
        File file;
        file.path = path;
        file.foundAt = foundAt;
        file.keepTokens = keepTokens;
        file.system = (foundAt >= 0 && static_cast<size_t>(foundAt) >= systemFrom) ||
                      (foundAt < 0 && !files.empty() && files.back()->system);
        file.lexer = &lexer;
        file.conditionBase = pp.conditions.size();
        FileScope scope(*this, file, directoryOf(path));
        FileSource source(*this);
        Expander expander(*this, source, false);
        Tok t;
        while (expander.next(t)) emit(std::move(t));
        if (pp.conditions.size() > file.conditionBase) {
            reportError("unterminated conditional directive",
                        lexer.empty() ? SourceLocation() : lexer.back().location);
            pp.conditions.resize(file.conditionBase);
            file.guardBroken = true;
        }
        if (!file.guard.empty() && file.guardClosed && !file.guardBroken) guards[path] = file.guard;
    }

    void processFile(const std::string& path, int foundAt, bool keepTokens, const std::string& failure) {
        std::ifstream in;
        // A directory, a pipe or a device is no header; opening a pipe would wait for a writer.
        if (platform::isRegularFile(path)) in.open(path, std::ios::binary);
        if (!in.is_open()) throw CompileError(failure + path);
        processStream(in, path, foundAt, keepTokens);
    }

    void emit(Tok&& t) {
        Token& token = t.token;
        if (!pp.empty() && token.kind == String && token.text[0] == '"' && pp.back().kind == String &&
            pp.back().text[0] == '"') {
            // Adjacent literals are one: their contents run together, escapes untouched.
            std::string& joined = pp.back().text;
            joined.pop_back();
            joined.append(token.text, 1, std::string::npos);
            return;
        }
        pp.push_back(std::move(token));
    }

    // The reader behind a file's expander: the tokens of its active text lines, with each
    // directive line carried out when the reader reaches it.
    struct FileSource : Source {
        Engine& engine;
        explicit FileSource(Engine& engine) : engine(engine) {}
        bool next(Tok& token) override {
            File& f = *engine.files.back();
            for (;;) {
                if (f.lineReady && f.pos < f.line.size()) {
                    token = std::move(f.line[f.pos++]);
                    return true;
                }
                f.lineReady = false;
                f.pos = 0;
                if (f.ended || !engine.readLine(f)) return false;
                if (f.line.empty()) continue;
                if (f.guardClosed) f.guardBroken = true;
                if (is(f.line[0], "#") && f.line[0].token.kind == Operator) {
                    // An include reads other files, never this one's line.
                    engine.directive(f, f.line);
                    f.sawContent = true;
                    continue;
                }
                f.sawContent = true;
                if (!engine.active()) continue;
                for (const Tok& t : f.line)
                    if (t.token.text == "__VA_ARGS__"sv)
                        engine.warnUnlessSystem("__VA_ARGS__ can only stand in the replacement of a variadic macro",
                                                t.token.location);
                if (f.keepTokens) f.lineReady = true;
            }
        }
    };

    struct VectorSource : Source {
        const Toks& tokens;
        size_t pos = 0;
        explicit VectorSource(const Toks& tokens) : tokens(tokens) {}
        bool next(Tok& token) override {
            if (pos >= tokens.size()) return false;
            token = tokens[pos++];
            return true;
        }
    };

    // ---- Directives ----

    typedef void (Engine::*DirectiveHandler)(File&, const Toks&);
    struct DirectiveRow {
        std::string_view name;
        DirectiveHandler handler;
        bool conditional;  // runs in untaken regions too
    };

    void directive(File& f, const Toks& line) {
        static const DirectiveRow rows[] = {
            {"if", &Engine::onIf, true},           {"ifdef", &Engine::onIfdef, true},
            {"ifndef", &Engine::onIfdef, true},    {"elif", &Engine::onElse, true},
            {"else", &Engine::onElse, true},       {"endif", &Engine::onEndif, true},
            {"define", &Engine::onDefine, false},  {"undef", &Engine::onUndef, false},
            {"include", &Engine::onInclude, false}, {"include_next", &Engine::onInclude, false},
            {"error", &Engine::onError, false},    {"warning", &Engine::onWarning, false},
            {"pragma", &Engine::onPragma, false},
            // "#ident" and "#sccs" change only the object file.
            {"line", &Engine::onLine, false},      {"ident", &Engine::onIgnored, false},
            {"sccs", &Engine::onIgnored, false},
        };
        if (line.size() < 2) return;  // "#" alone does nothing
        const Token& name = line[1].token;
        for (const DirectiveRow& row : rows) {
            if (name.text != row.name || name.kind == String) continue;
            if (row.conditional || active()) (this->*row.handler)(f, line);
            return;
        }
        // GCC's "# 12 "file"" line markers are read like "#line".
        if (active() && name.kind == Number) return onLine(f, line);
        if (active()) reportError("unrecognized preprocessor directive", line[0].token.location);
    }

    const SourceLocation& operandLocation(const Toks& line) const {
        return line.size() < 3 ? line[0].token.location : line[2].token.location;
    }

    void onIf(File& f, const Toks& line) {
        noteGuard(f, line);
        pp.conditions.push_back(!active() ? 2 : condition(line, 2) ? 0 : 1);
    }

    void onIfdef(File& f, const Toks& line) {
        noteGuard(f, line);
        if (!active()) {
            pp.conditions.push_back(2);
            return;
        }
        const std::string& name = line[1].token.text;
        if (line.size() < 3 || !isIdentifier(line[2].token)) {
            reportError("expected name in #" + name, operandLocation(line));
            pp.conditions.push_back(2);
            return;
        }
        bool defined = pp.isDefined(line[2].token.text);
        pp.conditions.push_back(defined == (name == "ifdef"sv) ? 0 : 1);
    }

    // "#ifndef G" as the file's first line may open its guard.
    void noteGuard(File& f, const Toks& line) {
        if (f.sawContent || line[1].token.text != "ifndef"sv || line.size() < 3) return;
        f.guard = line[2].token.text;
        f.guardLevel = pp.conditions.size();
    }

    void onElse(File& f, const Toks& line) {
        if (pp.conditions.size() <= f.conditionBase) {
            reportError("unexpected #else", line[0].token.location);
            return;
        }
        int state = pp.conditions.back();
        pp.conditions.pop_back();
        if (pp.conditions.size() == f.guardLevel) f.guardBroken = true;
        bool outerActive = active();
        if (outerActive && line[1].token.text == "else"sv) warnExtraTokens(line, 2);
        if (line[1].token.text == "else"sv)
            pp.conditions.push_back(outerActive && state == 1 ? 0 : 2);
        else if (state == 1 && outerActive)
            pp.conditions.push_back(condition(line, 2) ? 0 : 1);
        else
            pp.conditions.push_back(2);
    }

    void onEndif(File& f, const Toks& line) {
        if (pp.conditions.size() <= f.conditionBase) {
            reportError("unexpected #endif", line[0].token.location);
            return;
        }
        pp.conditions.pop_back();
        if (active()) warnExtraTokens(line, 2);
        if (!f.guard.empty() && pp.conditions.size() == f.guardLevel) {
            if (f.guardClosed) f.guardBroken = true;
            f.guardClosed = true;
        }
    }

    void onDefine(File&, const Toks& line) { define(line); }

    void onUndef(File&, const Toks& line) {
        if (line.size() < 3 || !isIdentifier(line[2].token)) {
            reportError("expected name in #undef", operandLocation(line));
            return;
        }
        pp.macros.erase(line[2].token.text);
    }

    void onInclude(File&, const Toks& line) { include(line, line[1].token.text == "include_next"sv); }

    void onError(File&, const Toks& line) { throw CompileError("user error: " + messageOf(line), line[0].token.location); }

    void onWarning(File&, const Toks& line) { reportWarning("user warning: " + messageOf(line), line[0].token.location); }

    void onPragma(File& f, const Toks& line) {
        if (line.size() >= 3 && line[2].token.text == "once"sv) onceOnly.insert(f.path);
    }

    void onIgnored(File&, const Toks&) {}

    // "#line N" and "#line N "name"": the next line is line N, of the file so named for
    // __FILE__ and for every message about it. GCC's markers "# N "name" flags" are the same.
    void onLine(File& f, const Toks& line) {
        const bool marker = line[1].token.kind == Number;
        Toks operand = expanded(Toks(line.begin() + (marker ? 1 : 2), line.end()));
        const SourceLocation& where = operand.empty() ? line[1].token.location : operand[0].token.location;
        if (operand.empty() || operand[0].token.kind != Number ||
            operand[0].token.text.find_first_not_of("0123456789") != std::string::npos) {
            reportError("#line expects a line number of decimal digits, not \"" +
                            (operand.empty() ? std::string() : operand[0].token.text) + "\"",
                        where);
            return;
        }
        const std::string& digits = operand[0].token.text;
        std::size_t first = std::min(digits.find_first_not_of('0'), digits.size());
        if (digits.size() - first > 10 || std::stoll("0" + digits.substr(first)) > 2147483647) {
            reportError("line number out of range in #line: " + digits, where);
            return;
        }
        std::string name = f.lexer->fileName();
        if (operand.size() > 1) {
            const Token& file = operand[1].token;
            if (file.kind != String || file.text[0] != '"') {
                reportError("invalid file name in #line: " + file.text, file.location);
                return;
            }
            name = unquoteCString(file.text);
            if (operand.size() > 2 && !marker)
                reportWarning("extra tokens at end of #line directive", operand[2].token.location);
        }
        f.lexer->renumber(static_cast<int>(std::stoll("0" + digits.substr(first))), name);
    }

    static std::string messageOf(const Toks& line) {
        std::string text;
        for (size_t i = 2; i < line.size(); ++i) {
            if (i > 2 && line[i].blank) text += ' ';
            const Token& t = line[i].token;
            if (t.kind == String && t.text[0] == '"') {
                try {
                    text += unquoteCString(t.text);
                } catch (const CompileError&) {
                    text += t.text;
                }
            } else {
                text += t.text;
            }
        }
        return text;
    }

    Toks expanded(const Toks& operand, bool inCondition = false) {
        VectorSource source(operand);
        Expander expander(*this, source, inCondition);
        Toks out;
        Tok t;
        while (expander.next(t)) out.push_back(std::move(t));
        return out;
    }

    bool condition(const Toks& line, size_t from) {
        Toks operand = expanded(Toks(line.begin() + static_cast<std::ptrdiff_t>(from), line.end()), true);
        spellOperators(operand);
        return Evaluator(operand).evaluate().isTrue();
    }

    void define(const Toks& line) {
        const SourceLocation& where = line[0].token.location;
        if (line.size() < 3 || !isIdentifier(line[2].token)) {
            reportError("expected name in #define", line.size() < 3 ? where : line[2].token.location);
            return;
        }
        MacroPtr macro(new Macro);
        const std::string& name = line[2].token.text;
        size_t i = 3;
        if (i < line.size() && !line[i].blank) {
            if (!is(line[i], "(")) throw CompileError("unexpected token in macro declaration", line[i].token.location);
            macro->functionLike = true;
            i = parameters(line, i + 1, *macro);
        }
        for (; i < line.size(); ++i) {
            const Tok& t = line[i];
            // "##" reaches us as two "#" tokens side by side; they paste as one.
            if (is(t, "#") && i + 1 < line.size() && is(line[i + 1], "#") && !line[i + 1].blank) {
                macro->body.push_back(Token(Operator, "##", t.token.location));
                macro->blankBefore.push_back(t.blank);
                macro->parameterAt.push_back(-1);
                ++i;
                continue;
            }
            macro->body.push_back(t.token);
            macro->blankBefore.push_back(t.blank);
            int parameter = -1;
            if (isIdentifier(t.token))
                for (size_t p = 0; p < macro->parameters.size(); ++p)
                    if (macro->parameters[p] == t.token.text) parameter = static_cast<int>(p);
            macro->parameterAt.push_back(parameter);
        }
        checkReplacement(*macro);
        auto old = pp.macros.find(name);
        if (old != pp.macros.end() && !sameDefinition(*old->second, *macro))
            warnUnlessSystem("\"" + name + "\" redefined with a different replacement", line[2].token.location);
        pp.macros[name] = macro;
    }

    // What C forbids in a replacement list, each at its token.
    void checkReplacement(const Macro& macro) const {
        const size_t n = macro.body.size();
        for (size_t i = 0; i < n; ++i) {
            const Token& b = macro.body[i];
            if (b.kind == Operator && b.text == "##"sv && (i == 0 || i + 1 == n))
                rejectUnlessSystem("\"##\" cannot stand at either end of a macro's replacement", b.location);
            else if (macro.functionLike && b.kind == Operator && b.text == "#"sv && (i + 1 == n || macro.parameterAt[i + 1] < 0))
                rejectUnlessSystem("\"#\" is not followed by a macro parameter", b.location);
            else if (b.text == "__VA_ARGS__"sv && macro.parameterAt[i] < 0)
                warnUnlessSystem("__VA_ARGS__ can only stand in the replacement of a variadic macro", b.location);
        }
    }

    // C's rule for a harmless redefinition: the same parameters and the same replacement,
    // token for token, with blanks between the same tokens.
    static bool sameDefinition(const Macro& a, const Macro& b) {
        if (a.functionLike != b.functionLike || a.variadic != b.variadic || a.parameters != b.parameters ||
            a.body.size() != b.body.size())
            return false;
        for (size_t i = 0; i < a.body.size(); ++i)
            if (a.body[i].text != b.body[i].text || (i > 0 && a.blankBefore[i] != b.blankBefore[i])) return false;
        return true;
    }

    // Reads "a, b, ...)" from `i`; returns the index after ")".
    static size_t parameters(const Toks& line, size_t i, Macro& macro) {
        if (i < line.size() && is(line[i], ")")) return i + 1;
        for (;;) {
            if (i >= line.size())
                throw CompileError("unexpected EOF in macro argument declaration", line.back().token.location);
            const Token& t = line[i].token;
            if (t.text == "..."sv) {
                macro.parameters.push_back("__VA_ARGS__");
                macro.variadic = true;
            } else if (t.kind == Name || t.kind == TypeName) {
                macro.parameters.push_back(t.text);
                // GNU's named variadic parameter: "args...".
                if (i + 1 < line.size() && line[i + 1].token.text == "..."sv) {
                    macro.variadic = true;
                    ++i;
                }
            } else {
                throw CompileError("not a valid argument name", t.location);
            }
            ++i;
            if (i >= line.size())
                throw CompileError("unexpected EOF in macro argument declaration", line.back().token.location);
            if (is(line[i], ")")) return i + 1;
            if (!is(line[i], ",") || macro.variadic)
                throw CompileError("unexpected token in macro argument declaration", line[i].token.location);
            ++i;
        }
    }

    // ---- Including ----

    // Only regular files are headers: "/dev/zero" or a pipe would never end.
    static bool exists(const std::string& path) { return platform::isRegularFile(path); }

    // Finds `name` as C does: a quoted name first beside the including file, then in the -I
    // and system directories; #include_next resumes after the directory the current file
    // came from. Returns the path and sets foundAt; empty when there is none.
    std::string find(const std::string& name, bool quoted, bool next, int& foundAt) const {
        foundAt = -1;
        if (!name.empty() && name[0] == '/') return existsOrMissed(name) ? name : std::string();
        const File* current = files.empty() ? nullptr : files.back();
        size_t start = 0;
        if (next && current && current->foundAt >= 0) {
            start = static_cast<size_t>(current->foundAt) + 1;
        } else if (quoted && existsOrMissed(runOptions.includeDirs[0] + name)) {
            return runOptions.includeDirs[0] + name;
        }
        for (size_t i = start; i < searchDirs.size(); ++i) {
            if (existsOrMissed(searchDirs[i] + name)) {
                foundAt = static_cast<int>(i);
                return searchDirs[i] + name;
            }
        }
        return std::string();
    }
    bool existsOrMissed(const std::string& path) const {
        if (exists(path)) return true;
        pp.missed.insert(path);
        return false;
    }

    // The name of an #include operand and whether it was quoted; false when the operand is
    // neither form.
    static bool includeName(const Toks& operand, std::string& name, bool& quoted) {
        if (operand.empty()) return false;
        const Token& first = operand[0].token;
        if (first.kind == String && first.text[0] == '"') {
            name = unquoteCString(first.text);
            quoted = true;
            return true;
        }
        if (first.text != "<"sv) return false;
        std::string joined;
        for (size_t i = 1; i < operand.size(); ++i) {
            if (operand[i].token.text == ">"sv) {
                name = unquoteCString("\"" + joined + "\"");
                quoted = false;
                return true;
            }
            if (i > 1 && operand[i].blank) joined += ' ';
            joined += operand[i].token.text;
        }
        throw CompileError("missing > in #include <", first.location);
    }

    void include(const Toks& line, bool next) {
        const SourceLocation& where = line[0].token.location;
        Toks operand(line.begin() + 2, line.end());
        std::string name;
        bool quoted = false;
        if (!includeName(operand, name, quoted)) {
            // C expands macros in any other operand and reads the result as one of the forms.
            if (!includeName(expanded(operand), name, quoted)) {
                reportError("#include expects \"FILENAME\" or <FILENAME>", where);
                return;
            }
        }
        includeFile(name, quoted, next, where);
    }

    bool inTokenlessDirectory(const std::string& path) const {
        for (const std::string& dir : settings.tokenlessDirectories)
            if (!dir.empty() && path.compare(0, dir.size(), dir) == 0 &&
                (path.size() == dir.size() || dir.back() == '/' || path[dir.size()] == '/' || path[dir.size()] == '\\'))
                return true;
        return false;
    }

    void includeFile(const std::string& name, bool quoted, bool next, const SourceLocation& where) {
        if (pp.includeDepth + 1 > maxIncludeDepth) throw CompileError("Too much include, probably recursion", where);
        int foundAt = -1;
        std::string path = find(name, quoted, next, foundAt);
        if (path.empty()) throw CompileError("File not found in include path: " + name, where);
        if (onceOnly.count(path)) return;
        auto guard = guards.find(path);
        if (guard != guards.end() && pp.isDefined(guard->second)) return;
        pp.included.insert(path);
        ++pp.includeDepth;
        const bool outerKept = files.empty() || files.back()->keepTokens;
        processFile(path, foundAt, settings.keepIncludedTokens && outerKept && !inTokenlessDirectory(path),
                    "Unable to open include file: ");
        --pp.includeDepth;
    }

    // ---- Expansion ----

    // A replacement being rescanned (or tokens put back); its macro stays active until the
    // reader has gone past its last token.
    struct Context {
        MacroPtr macro;
        Toks tokens;
        size_t pos = 0;
    };

    class Expander {
    public:
        Expander(Engine& engine, Source& source, bool inCondition)
            : engine(engine), source(source), inCondition(inCondition) {}
        ~Expander() {
            for (Context& c : stack)
                if (c.macro) c.macro->active = false;
        }
        Expander(const Expander&) = delete;
        Expander& operator=(const Expander&) = delete;

        // The next token of the fully expanded text; false at its end.
        bool next(Tok& t) {
            for (;;) {
                if (!raw(t)) return false;
                if (t.painted || !isIdentifier(t.token)) return true;
                const std::string& name = t.token.text;
                if (inCondition && (name == "defined"sv || isFeatureTest(name))) {
                    t = featureTest(t);
                    return true;
                }
                if (name == "_Pragma"sv) {
                    pragmaOperator(t);
                    continue;
                }
                if (builtin(t)) return true;
                auto found = engine.pp.macros.find(name);
                if (found == engine.pp.macros.end()) return true;
                MacroPtr macro = found->second;
                if (macro->active) {
                    t.painted = true;
                    return true;
                }
                if (!call(t, macro)) return true;
            }
        }

    private:
        Engine& engine;
        Source& source;
        bool inCondition;
        std::vector<Context> stack;

        bool raw(Tok& t) {
            while (!stack.empty()) {
                Context& c = stack.back();
                if (c.pos < c.tokens.size()) {
                    t = std::move(c.tokens[c.pos++]);  // each replacement is read once
                    return true;
                }
                if (c.macro) c.macro->active = false;
                stack.pop_back();
            }
            return source.next(t);
        }

        void putBack(const Tok& t) {
            stack.emplace_back();
            stack.back().tokens.push_back(t);
        }

        // "__LINE__" and its kind, which no #define made.
        bool builtin(Tok& t) {
            const std::string& name = t.token.text;
            if (name.size() < 8 || name[0] != '_' || name[1] != '_') return false;
            const SourceLocation& at = t.token.location;
            if (name == "__LINE__"sv) {
                t.token = Token(Number, std::to_string(at.line), at);
            } else if (name == "__FILE__"sv) {
                t.token = Token(String, quoteCString(at.fileName()), at);
            } else if (name == "__TIME__"sv) {
                t.token = Token(String, "\"" + timeText("%H:%M:%S") + "\"", at);
            } else if (name == "__DATE__"sv) {
                t.token = Token(String, "\"" + timeText("%b %d %Y") + "\"", at);
            } else if (name == "__COUNTER__"sv) {
                t.token = Token(Number, std::to_string(engine.counter++), at);
            } else if (name == "__INCLUDE_LEVEL__"sv) {
                t.token = Token(Number, std::to_string(engine.pp.includeDepth), at);
            } else if (name == "__cplusplus"sv && !engine.pp.macros.count(name)) {
                // The C++ the output is compiled as; headers test it against 201103L and up.
                t.token = Token(Number, "201703L", at);
            } else {
                return false;
            }
            return true;
        }

        // `_Pragma ( "text" )` is "#pragma text" written where a directive cannot stand (in
        // a macro's replacement); like #pragma it is dropped, its operand with it.
        void pragmaOperator(const Tok& t) {
            static const char* const shape[] = {"(", "\"", ")"};
            for (const char* expected : shape) {
                Tok u;
                bool fits = raw(u) && (expected[0] == '"' ? u.token.kind == String && u.token.text[0] == '"'
                                                          : is(u, expected));
                if (!fits) {
                    reportError("_Pragma takes a parenthesized string literal", t.token.location);
                    if (!u.token.text.empty()) putBack(u);
                    return;
                }
                if (expected[0] == '"' && u.token.text == "\"once\""sv && !engine.files.empty())
                    engine.onceOnly.insert(engine.files.back()->path);
            }
        }

        // "defined X", "defined(X)" and the __has_ tests of #if, read without expansion and
        // replaced by their value.
        Tok featureTest(const Tok& t) {
            const std::string& name = t.token.text;
            const SourceLocation& at = t.token.location;
            Tok u;
            if (!raw(u)) throw CompileError("unexpected end of file", at);
            bool parenthesised = is(u, "(");
            if (name != "defined"sv && !parenthesised) throw CompileError("expected ( after " + name, at);
            Toks operand;
            int depth = 0;
            if (parenthesised) {
                for (;;) {
                    if (!raw(u)) throw CompileError("unexpected end of file", at);
                    if (is(u, "(")) ++depth;
                    if (is(u, ")") && depth-- == 0) break;
                    operand.push_back(u);
                }
            } else {
                operand.push_back(u);
            }
            long value = 0;
            if (name == "defined"sv) {
                if (operand.size() != 1 || !isIdentifier(operand[0].token))
                    throw CompileError("expected name after defined", at);
                value = engine.pp.isDefined(operand[0].token.text);
            } else if (name == "__has_include"sv || name == "__has_include_next"sv) {
                std::string file;
                bool quoted = false;
                if (!includeName(operand, file, quoted)) throw CompileError("expected file name in " + name, at);
                int foundAt = -1;
                value = !engine.find(file, quoted, name == "__has_include_next"sv, foundAt).empty();
            } else {
                value = operand.empty() ? 0 : featureValue(name, operand.back().token.text);
            }
            Tok result;
            result.token = Token(Number, std::to_string(value), at);
            result.blank = t.blank;
            return result;
        }

        // Expands one use of `macro` at `t` onto the stack; false when a function-like macro
        // is not called (its name then stays, as in C).
        bool call(const Tok& t, const MacroPtr& macro) {
            std::vector<Toks> arguments;
            if (macro->functionLike) {
                Tok u;
                if (!raw(u)) return false;
                if (!is(u, "(")) {
                    putBack(u);
                    return false;
                }
                arguments = collectArguments(t, *macro);
            }
            Context context;
            context.tokens = substitute(t, *macro, arguments);
            engine.spend(context.tokens.size() + 1, t.token.location);
            for (Tok& r : context.tokens) r.token.location = t.token.location;
            if (!context.tokens.empty()) context.tokens[0].blank = t.blank;
            context.macro = macro;
            macro->active = true;
            stack.push_back(std::move(context));
            return true;
        }

        std::vector<Toks> collectArguments(const Tok& t, const Macro& macro) {
            std::vector<Toks> arguments(1);
            size_t variadicAt = macro.variadic ? macro.parameters.size() - 1 : SIZE_MAX;
            int depth = 0;
            Tok u;
            for (;;) {
                if (!raw(u))
                    throw CompileError("unterminated argument list invoking macro \"" + t.token.text + "\"",
                                       t.token.location);
                if (is(u, "(")) ++depth;
                if (is(u, ")") && depth-- == 0) break;
                if (is(u, ",") && depth == 0 && arguments.size() - 1 != variadicAt) {
                    arguments.emplace_back();
                    continue;
                }
                arguments.back().push_back(u);
                engine.spend(1, u.token.location);
            }
            // "F()" passes no argument to a macro without parameters; "V(a)" may leave out
            // the variadic part.
            if (macro.parameters.empty() && arguments.size() == 1 && arguments[0].empty()) arguments.clear();
            if (macro.variadic && arguments.size() + 1 == macro.parameters.size()) arguments.emplace_back();
            if (arguments.size() != macro.parameters.size())
                throw CompileError("Not the right number of arguments", t.token.location);
            return arguments;
        }

        Toks expandArgument(const Toks& argument) {
            // Numbers and operators expand to themselves: most arguments need no expander.
            bool hasName = false;
            for (const Tok& u : argument) hasName = hasName || isIdentifier(u.token);
            if (!hasName) return argument;
            struct Nesting {
                int& depth;
                explicit Nesting(int& depth) : depth(depth) { ++depth; }
                ~Nesting() { --depth; }
            } nesting(engine.argumentDepth);
            if (engine.argumentDepth > maxArgumentDepth)
                throw CompileError("macro arguments nested too deeply",
                                   argument.empty() ? SourceLocation() : argument[0].token.location);
            VectorSource source(argument);
            Expander expander(engine, source, inCondition);
            Toks out;
            Tok u;
            while (expander.next(u)) out.push_back(std::move(u));
            return out;
        }

        // The macro's body with its parameters replaced, "#" stringizing and "##" pasting.
        Toks substitute(const Tok& t, const Macro& macro, const std::vector<Toks>& arguments) {
            std::vector<std::unique_ptr<Toks>> expanded(arguments.size());
            Toks out;
            Toks piece;  // what the body item gives; kept across items for its room
            bool pasteNext = false;
            size_t produced = 1;  // tokens the last body item gave; 0 lets "##" paste nothing
            const size_t n = macro.body.size();
            for (size_t i = 0; i < n; ++i) {
                const Token& b = macro.body[i];
                if (b.kind == Operator && b.text == "##"sv) {
                    pasteNext = true;
                    continue;
                }
                Tok body;
                body.token = b;
                body.blank = macro.blankBefore[i];
                piece.clear();
                int parameter = macro.parameterAt[i];
                if (macro.functionLike && b.text == "#"sv && b.kind == Operator && i + 1 < n && macro.parameterAt[i + 1] >= 0) {
                    Tok s;
                    s.token = Token(String, stringized(arguments[static_cast<size_t>(macro.parameterAt[++i])]), t.token.location);
                    s.blank = body.blank;
                    piece.push_back(std::move(s));
                } else if (parameter >= 0) {
                    size_t p = static_cast<size_t>(parameter);
                    bool nextPastes = i + 1 < n && macro.body[i + 1].kind == Operator && macro.body[i + 1].text == "##"sv;
                    // GNU: ", ## __VA_ARGS__" drops the comma when the variadic part is empty.
                    if (pasteNext && macro.variadic && p + 1 == macro.parameters.size() && produced == 1 &&
                        !out.empty() && is(out.back(), ",")) {
                        if (arguments[p].empty()) out.pop_back();
                        else out.insert(out.end(), arguments[p].begin(), arguments[p].end());
                        pasteNext = false;
                        produced = arguments[p].size();
                        continue;
                    }
                    if (pasteNext || nextPastes) {
                        piece = arguments[p];
                    } else {
                        if (!expanded[p]) expanded[p].reset(new Toks(expandArgument(arguments[p])));
                        piece = *expanded[p];
                    }
                    if (!piece.empty()) piece[0].blank = body.blank;
                } else {
                    piece.push_back(std::move(body));
                }
                size_t from = 0;
                if (pasteNext && produced > 0 && !piece.empty() && !out.empty()) {
                    paste(out, piece[0]);
                    from = 1;
                }
                for (size_t k = from; k < piece.size(); ++k) out.push_back(std::move(piece[k]));
                produced = piece.size();
                pasteNext = false;
            }
            return out;
        }

        // Joins the last token of `out` with `right` into the one token their texts make.
        void paste(Toks& out, const Tok& right) {
            Tok& left = out.back();
            std::string text = left.token.text + right.token.text;
            std::istringstream in(text);
            Lexer lexer(in, left.token.location.fileName(), CTokens | KnownOperatorsOnly);
            while (lexer.back().kind != EndOfFile) lexer.fill();
            if (lexer.size() == 2 && lexer.front().kind != Whitespace) {
                left.token.kind = lexer.front().kind;
                left.token.text = text;
                left.token.textChanged();
                left.painted = false;
                return;
            }
            reportError("pasting \"" + left.token.text + "\" and \"" + right.token.text +
                            "\" does not give a valid preprocessing token",
                        left.token.location);
            out.push_back(right);
        }
    };
};

// ---- The stream ------------------------------------------------------------------------------

PreProcessor::PreProcessor(const std::string& path, LexerOptions options, const PreProcessorSettings& settings)
    : options(static_cast<LexerOptions>(options | WhitespaceTokens)), engine(new Engine(*this, settings)) {
    for (const auto& define : settings.defines) {
        std::istringstream in(define.second);
        Lexer lexer(in, "macro", this->options);
        while (lexer.back().kind != EndOfFile) lexer.fill();
        MacroPtr macro(new Macro);
        bool blank = true;
        for (const Token& t : lexer) {
            if (t.kind == Whitespace || t.kind == EndOfFile) {
                blank = true;
                continue;
            }
            macro->body.push_back(t);
            macro->blankBefore.push_back(blank);
            macro->parameterAt.push_back(-1);
            blank = false;
        }
        macros[define.first] = macro;
    }
    std::istringstream predefined(settings.system.predefines + settings.commandLineMacros);
    engine->processStream(predefined, "<command-line>", -1, false);
    std::ifstream in;
    if (platform::isRegularFile(path)) in.open(path, std::ios::binary);
    if (!in.is_open()) throw CompileError("Unable to open file: " + path);
    engine->processStream(in, path, -1, true);
    advance();
}

PreProcessor::~PreProcessor() = default;

void PreProcessor::fill() { emplace_back(EndOfFile, "\n", empty() ? SourceLocation() : back().location); }

bool PreProcessor::isDefined(const std::string& name) const {
    static const char* const builtins[] = {"__LINE__", "__FILE__", "__TIME__", "__DATE__", "__cplusplus", "__COUNTER__", "__INCLUDE_LEVEL__", "__has_include", "__has_include_next",
                                           "__has_attribute", "__has_cpp_attribute", "__has_builtin"};
    for (const char* b : builtins)
        if (name == b) return true;
    return macros.count(name) != 0;
}
