// The framework's run-time pieces: literal and token-kind matching (with operator splitting),
// the furthest-failure bookkeeping, the wording of syntax errors, statement skipping, and the
// per-parse state every grammar shares (precedence, nesting depth, remembered runs).
// Takes a token stream; gives match results, and ParseErrors only through raiseSyntaxError.
// Never consumes input except by advancing the stream's read position or splitting an operator.
#include "front/Parser.hpp"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <set>

int grammarMode = 0;
unsigned long long parseSteps = 0;
bool recordingExpectations = true;

namespace {

// Operators that a one-character literal must not be carved out of.
const char* const unsplittable[] = {"...", "==", ">=", "!=", "<="};

bool splittable(const std::string& text) {
    for (const char* u : unsplittable)
        if (text == u) return false;
    // The language has no reference to a reference: "&&" after a capitalised word (NULL && x)
    // is the logical operator, which a type tried first must not carve up. C++ headers spell
    // rvalue references so.
    return grammarMode != 0 || text != "&&";
}

bool locationBefore(const SourceLocation& a, const SourceLocation& b) {
    return a.line < b.line || (a.line == b.line && a.column < b.column);
}

// An expected name that the generic "operator" expectation makes redundant: a quoted literal
// that starts with an operator character.
bool absorbedByOperator(const std::string& name) {
    static const char operatorChars[] = "`~!@#$%^&*-+=<>./?:\\|";
    if (name.size() <= 2) return false;
    char first = name[1];
    if (first == '_' || std::isupper(static_cast<unsigned char>(first))) return false;
    return first != '\0' && std::strchr(operatorChars, first) != nullptr;
}

std::string foundText(TokenStream& ts, TokenStream::Position f) {
    if (f->text == "{") {
        TokenStream::Position next = std::next(f);
        if (next != ts.end() && next->text == "}") return "end-of-statement";
    }
    if (f->kind == EndOfFile) return "end-of-file";
    // The braces of an indented source are the lexer's, not the user's: the text shows the
    // statement as written, up to its end.
    const bool layout = ts.bracesAreLayout();
    if (layout && f->text == "{") return "an indented block";
    if (layout && f->text == "}") return "end of block";
    std::string found;
    int count = 0;
    for (TokenStream::Position p = f; p != ts.end() && count < 5 && p->location.line == f->location.line; ++p) {
        if (layout && (p->text == "{" || p->text == "}")) break;  // the statement ends there
        if (count++) found += ' ';
        found += p->text;
    }
    return found;
}

}  // namespace

namespace {

enum class Expectation { ignore, add, restart };

// What recording an expectation of this priority at the read position would do. Decided before
// the name is built, because most failures happen behind the furthest one and are dropped.
Expectation classify(TokenStream& ts, int priority) {
    TokenStream::Position cur = ts.current;
    TokenStream::Position far = ts.furthestError;
    if (far == ts.end()) return Expectation::restart;
    if (cur == far) {
        if (priority > ts.errorPriority || priority >= 100) return Expectation::restart;
        return priority == ts.errorPriority ? Expectation::add : Expectation::ignore;
    }
    if (locationBefore(cur->location, far->location)) return Expectation::ignore;
    // Within one file a later place is a later token; tokens split from one operator (or made
    // by one macro use) share a place and stand together, so only their order in the list
    // tells, and the walk stays within them: a long input must not be walked to its end for
    // every expectation. Across the files of a header only the list order tells.
    const bool sameFile = cur->location.file() == far->location.file();
    if (sameFile && locationBefore(far->location, cur->location)) return Expectation::restart;
    for (TokenStream::Position p = cur; p != ts.end(); ++p) {
        if (p == far) return Expectation::ignore;
        if (sameFile && locationBefore(cur->location, p->location)) break;
    }
    return Expectation::restart;
}

// What open recordings have seen, oldest first; each recording owns the tail from its start.
// Only expectations that changed the bookkeeping are kept: one that was ignored would be
// ignored again on a replay, since the furthest position and its priority only grow.
std::vector<ExpectationRecord> journal;
int openRecordings = 0;

// The first halves of the operators split since the parse state was reset, oldest first.
std::vector<TokenStream::Position> splitOperators;

void record(TokenStream& ts, Expectation what, const ExpectedName& name, int priority) {
    if (what == Expectation::add && std::find(ts.expected.begin(), ts.expected.end(), name) != ts.expected.end()) return;
    if (what == Expectation::restart) {
        ts.furthestError = ts.current;
        ts.expected.clear();
        ts.errorPriority = priority;
    }
    ts.expected.push_back(name);
    if (openRecordings) journal.push_back(ExpectationRecord{ts.current, name, priority});
}

}  // namespace

bool StringParser::parse(TokenStream& ts) const {
    Token& t = *ts.current;
    if (literalIdOf(t) == id) {
        ts.advance();
        return true;
    }
    if (t.kind == Operator && literal[0] != '\0' && literal[1] == '\0' && t.text.size() > 1 &&
        t.text[0] == literal[0] && splittable(t.text)) {
        ts.insert(std::next(ts.current), Token(Operator, t.text.substr(1), t.location));
        t.text.erase(1);
        t.textChanged();
        splitOperators.push_back(ts.current);
        ts.advance();
        return true;
    }
    if (!recordingExpectations) return false;
    Expectation what = classify(ts, 0);
    if (what != Expectation::ignore) record(ts, what, ExpectedName{literal, true}, 0);
    return false;
}

bool TokenParser::parse(TokenStream& ts) const {
    if (ts.current->kind == kind) {
        ts.advance();
        return true;
    }
    if (!recordingExpectations) return false;
    Expectation what = classify(ts, 0);
    if (what != Expectation::ignore) record(ts, what, ExpectedName{tokenKindName(kind), false}, 0);
    return false;
}

void FirstSet::add(const FirstSet& o) {
    known = known && o.known;
    kinds |= o.kinds;
    literals |= o.literals;
    splitStarts |= o.splitStarts;
}

AlternativeSelection::AlternativeSelection(const std::vector<FirstSet>& alternatives) {
    for (size_t i = 0; i < alternatives.size(); ++i) {
        const FirstSet& first = alternatives[i];
        uint64_t bit = uint64_t(1) << i;
        if (!first.known || first.nullable) {
            always |= bit;
            continue;
        }
        for (unsigned kind = 0; kind < 16; ++kind)
            if (first.kinds & (1u << kind)) byKind[kind] |= bit;
        for (size_t id = 1; id < static_cast<size_t>(maxLiterals); ++id)
            if (first.literals[id]) byLiteral[id] |= bit;
        for (unsigned c = 0; c < 256; ++c)
            if (first.splitStarts[c]) bySplit[c] |= bit;
    }
}

FirstSet literalFirst(const char* literal) {
    FirstSet s;
    s.literals.set(static_cast<size_t>(literalId(literal)));
    if (literal[0] != '\0' && literal[1] == '\0') s.splitStarts.set(static_cast<unsigned char>(literal[0]));
    return s;
}

FirstSet kindFirst(TokenKind kind) {
    FirstSet s;
    s.kinds = 1u << kind;
    return s;
}

void expect(TokenStream& ts, const char* name, int priority) {
    if (!recordingExpectations) return;
    Expectation what = classify(ts, priority);
    if (what != Expectation::ignore) record(ts, what, ExpectedName{name, false}, priority);
}

ExpectationRecording::ExpectationRecording() : start(journal.size()) { ++openRecordings; }

ExpectationRecording::~ExpectationRecording() {
    if (finished) return;
    if (--openRecordings == 0) journal.clear();
}

Expectations ExpectationRecording::finish() {
    finished = true;
    Expectations kept;
    if (journal.size() > start) {
        // Kept expectations only move forward, so the furthest ones are the tail. Before a named
        // rule's expectation there, a replay would restart anyway.
        size_t first = journal.size() - 1;
        TokenStream::Position at = journal.back().at;
        while (first > start && journal[first - 1].at == at && journal[first].priority < 100) --first;
        kept.assign(journal.begin() + first, journal.end());
    }
    journal.resize(start);
    if (--openRecordings == 0)
        journal.clear();
    else
        journal.insert(journal.end(), kept.begin(), kept.end());
    return kept;
}

void replayExpectations(TokenStream& ts, const Expectations& expectations) {
    TokenStream::Position saved = ts.current;
    for (const ExpectationRecord& e : expectations) {
        ts.current = e.at;
        Expectation what = classify(ts, e.priority);
        if (what != Expectation::ignore) record(ts, what, e.name, e.priority);
    }
    ts.current = saved;
}

void resetExpectationRecordings() {
    journal.clear();
    openRecordings = 0;
}

const PrecedenceEntry PrecedenceState::none{0, ""};
PrecedenceState precedence;
int nestingDepth = 0;
std::map<RunKey, RunOutcome> rememberedRuns;
int rememberDepth = 0;

void forgetRunsOfEarlierStatements() {
    if (rememberDepth == 0) rememberedRuns.clear();
}

bool enterNesting(TokenStream& ts) {
    if (++nestingDepth > maxNestingDepth)
        throw CompileError("Nesting too deep: more than " + std::to_string(maxNestingDepth) +
                               " nested expressions, types and blocks",
                           ts.current->location);
    return true;
}

void leaveNesting(TokenStream&) { --nestingDepth; }

std::vector<PartHeight> openParts(1, PartHeight{0, 0});
int lastPartHeight = 0;

namespace {

void checkHeight(const PartHeight& part, TokenStream& ts) {
    if (part.height() > maxTreeHeight)
        throw CompileError("Expression too deep: more than " + std::to_string(maxTreeHeight) +
                               " levels of operators, calls, member accesses and brackets",
                           ts.current->location);
}

}  // namespace

bool openPart(TokenStream&) {
    openParts.push_back(PartHeight{0, 0});
    return true;
}

void holdPart(PartHeight& part, int height, TokenStream& ts) {
    part.highestInside = std::max(part.highestInside, height);
    checkHeight(part, ts);
}

bool completePart(TokenStream& ts) {
    lastPartHeight = openParts.back().height();
    if (openParts.size() > 1) holdPart(openParts[openParts.size() - 2], lastPartHeight, ts);
    return true;
}

void closePart(TokenStream&) { openParts.pop_back(); }

bool addLink(TokenStream& ts) {
    ++openParts.back().links;
    checkHeight(openParts.back(), ts);
    return true;
}

void resetParseState() {
    precedence = PrecedenceState();
    nestingDepth = 0;
    openParts.assign(1, PartHeight{0, 0});
    lastPartHeight = 0;
    rememberDepth = 0;
    rememberedRuns.clear();
    resetExpectationRecordings();
    splitOperators.clear();
}

void joinSplitOperators(TokenStream& ts) {
    // Newest first: a second half may itself have been split again.
    for (auto it = splitOperators.rbegin(); it != splitOperators.rend(); ++it) {
        TokenStream::Position second = std::next(*it);
        (*it)->text += second->text;
        (*it)->textChanged();
        ts.erase(second);
    }
    splitOperators.clear();
}

// In an indented source: the bracket opened on an earlier line than f and not closed before f,
// within f's statement; ts.end() when there is none.
TokenStream::Position unclosedBracketBefore(TokenStream& ts, TokenStream::Position f) {
    if (!ts.bracesAreLayout() || f == ts.begin() || f == ts.end()) return ts.end();
    int depth = 0;
    for (TokenStream::Position p = std::prev(f);; --p) {
        const std::string& text = p->text;
        if (p->kind != String && (text == "{" || text == "}")) return ts.end();
        if (p->kind != String && (text == ")" || text == "]")) ++depth;
        if (p->kind != String && (text == "(" || text == "[") && depth-- == 0)
            return p->location.line < f->location.line ? p : ts.end();
        if (p == ts.begin()) return ts.end();
    }
}

void raiseSyntaxError(TokenStream& ts) {
    if (!recordingExpectations) throw ExpectationsNeeded();
    std::set<std::string> expected;
    for (const ExpectedName& name : ts.expected) {
        std::string spelled = name.spelled();
        // In an indented source the braces are the layout's: say what they stand for.
        if (ts.bracesAreLayout() && spelled == "'{'") spelled = "an indented block";
        if (ts.bracesAreLayout() && spelled == "'}'") spelled = "end of block";
        expected.insert(spelled);
    }
    if (expected.count("operator")) {
        for (auto it = expected.begin(); it != expected.end();)
            it = absorbedByOperator(*it) ? expected.erase(it) : std::next(it);
    }
    TokenStream::Position f = ts.furthestError != ts.end() ? ts.furthestError : ts.current;
    std::string message = "Syntax error, expected ";
    bool first = true;
    for (const std::string& name : expected) {
        if (!first) message += " or ";
        message += name;
        first = false;
    }
    message += " instead of '" + foundText(ts, f) + "'";
    ts.expected.clear();
    // A bracket left open carries the statement on into the lines below it: the mistake is
    // the bracket, where the reader should look.
    if (TokenStream::Position open = unclosedBracketBefore(ts, f); open != ts.end())
        throw ParseError("Syntax error, this '" + open->text + "' is not closed; at line " +
                             std::to_string(f->location.line) + ": " + message.substr(14),
                         open->location);
    throw ParseError(message, f->location);
}

bool skipStatement(TokenStream& ts) {
    int depth = 0;
    while (ts.current->kind != EndOfFile) {
        const std::string& text = ts.current->text;
        if (text == "{") {
            ++depth;
        } else if (text == "}") {
            if (depth == 1) {
                ts.advance();
                return true;
            }
            if (--depth < 0) return false;
        } else if (text == ";" && depth == 0) {
            ts.advance();
            return true;
        }
        ts.advance();
    }
    return false;
}

void queueParseDiagnostic(const CompileError& error) {
    if (error.severity >= SeverityInternal) throw error;
    // A header's declaration that the grammar cannot read costs the program only that name:
    // the C++ compiler reads the header itself.
    if (grammarMode == 1 && error.message.compare(0, 12, "Syntax error") == 0) {
        reportWarning(error.message + "; the declaration is skipped", error.position);
        return;
    }
    if (error.severity == SeverityWarning)
        reportWarning(error.message, error.position);
    else
        reportError(error.message, error.position);
}

void noNodeUnderConstruction() {
    throw VORN_INTERNAL_ERROR("src/Parser", "member set without a node under construction");
}

void matchedOutsideFirst() {
    throw VORN_INTERNAL_ERROR("src/Parser", "a parser matched a token that cannot start it");
}

void matchedWithoutNode() {
    throw VORN_INTERNAL_ERROR("src/Parser", "a rule matched but none of its alternatives delivered a node");
}

void nothingConsumedYet() { throw VORN_INTERNAL_ERROR("src/Parser", "no token consumed before a previous-token read"); }

void ruleWithoutBody(const char* name) {
    throw VORN_INTERNAL_ERROR("src/Parser", std::string("rule without a body: ") + (name ? name : "(unnamed)"));
}
