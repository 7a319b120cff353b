// The parser combinator framework: grammar rules are trees of small parser objects composed at
// compile time and run by recursive descent, with backtracking, over a TokenStream.
// Takes tokens; gives syntax tree nodes filled through member setters, plus the furthest-failure
// bookkeeping from which syntax errors are worded, and the per-parse state both grammars share.
// A failing parser never throws; only the statement-level recovery raises (and catches again)
// syntax errors, and the nesting guard ends a statement nested too deeply.
#pragma once

#include <bitset>
#include <cstdint>

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "tree/Token.hpp"

// Node type of a rule that only matches and builds nothing.
struct MatchBool {};

// 0 selects the source language grammar, 1 the C++ declaration grammar. Written by the grammar
// build functions, read by every rule accessor.
extern int grammarMode;

// The node of type T under construction, one process-wide slot per type. Rules save and restore
// it around their body, so nested rules of one type behave as a stack on the C++ call stack.
template <class T>
inline boost::shared_ptr<T> constructionSlotOf;
// A variable rather than a function's static: asked on every rule run, it needs no first-use check.
template <class T>
boost::shared_ptr<T>& constructionSlot() {
    return constructionSlotOf<T>;
}

// Puts a node into a construction slot and gives the previous one back on scope exit, also when
// a nested rule throws, so a caught error never leaves a stale node behind.
template <class T>
class SlotGuard {
public:
    explicit SlotGuard(boost::shared_ptr<T> node) : saved(constructionSlot<T>()) {
        constructionSlot<T>() = std::move(node);
    }
    ~SlotGuard() { constructionSlot<T>() = std::move(saved); }
    SlotGuard(const SlotGuard&) = delete;
    SlotGuard& operator=(const SlotGuard&) = delete;

private:
    boost::shared_ptr<T> saved;
};

// The node that a member setter writes into; an empty slot means a grammar bug.
[[noreturn]] void noNodeUnderConstruction();
template <class T>
T& nodeUnderConstruction() {
    T* node = constructionSlot<T>().get();
    if (!node) noNodeUnderConstruction();
    return *node;
}

// Hook for a grammar to initialise a fresh node from the parse state (the default access of
// declarations, for example). The grammar overloads it for its own node classes; it runs before
// the node enters its slot, so it can still see the enclosing node of the same type.
inline void nodeCreated(const void*) {}

template <class T>
boost::shared_ptr<T> newNode(TokenStream& ts) {
    // Not make_shared: its combined block carries a flag and padding that a tree of a million
    // nodes pays for in megabytes; small separate blocks cost nothing extra.
    boost::shared_ptr<T> node(new T());
    if (ts.current != ts.end()) node->location = ts.current->location;
    nodeCreated(node.get());
    return node;
}

// ---- Expectation bookkeeping and recovery (members of the token stream in spirit) ----

// Expected names are only needed to word a syntax error, and most files have none. So a parse
// first runs without keeping them; the first error it meets throws ExpectationsNeeded, and the
// caller parses again from the start with them kept, so the error reads as it always has.
// Written by parseRecordingOnError, read by every failing match.
extern bool recordingExpectations;
struct ExpectationsNeeded {};

// Records that `name` would have been accepted at the read position.
void expect(TokenStream& ts, const char* name, int priority);
// Throws the ParseError for the furthest error position and clears the expected names.
[[noreturn]] void raiseSyntaxError(TokenStream& ts);
// Skips to the end of the current statement; false when the end of the block or file came first.
bool skipStatement(TokenStream& ts);
// Queues an error caught during recovery; internal errors are rethrown, they end the run.
void queueParseDiagnostic(const CompileError& error);

// ---- Replaying a run instead of repeating it ----
//
// A grammar that keeps the outcome of a run to reuse it at the same place must also give the
// furthest-failure bookkeeping what a repeated run would have recorded. Only the expectations
// at the run's furthest position can still count later (that position never moves back), and
// of those only the ones from the last named rule on; a recording keeps just these.
struct ExpectationRecord {
    TokenStream::Position at;
    ExpectedName name;
    int priority;
};
typedef std::vector<ExpectationRecord> Expectations;

// Recordings nest; each one sees what the recordings inside it kept.
class ExpectationRecording {
public:
    ExpectationRecording();
    // Abandoned (by an exception) it leaves what it saw to the recording around it.
    ~ExpectationRecording();
    ExpectationRecording(const ExpectationRecording&) = delete;
    ExpectationRecording& operator=(const ExpectationRecording&) = delete;
    Expectations finish();

private:
    size_t start;
    bool finished = false;
};

// Records the expectations again, as the run that made the recording would.
void replayExpectations(TokenStream& ts, const Expectations& expectations);
// Forgets every recording; for a fresh token stream.
void resetExpectationRecordings();

// Rule runs since the program started. Written by Rule::parse, read by tests and benchmarks
// that check the parse stays linear in its input.
extern unsigned long long parseSteps;

// ---- What can start a match ----
//
// Most alternatives fail on their first token. A parser that knows which tokens can start it
// lets a rule that cannot match skip building its node (and a named rule skip its run: its
// name, expected with the top priority, outweighs whatever the run would have recorded at
// that position). Only parsers whose failure on a non-starting token has no effect besides
// recorded expectations say they know; the others (run-time steps, "yes", a member set by a
// parser that may match nothing) are unknown, and whatever starts with them is always run.
struct FirstSet {
    bool known = true;
    bool nullable = false;  // may succeed without consuming a token
    unsigned kinds = 0;     // one bit per TokenKind
    std::bitset<maxLiterals> literals;  // by literal number
    std::bitset<256> splitStarts;       // one-character literals that may be carved off an operator

    static FirstSet unknown() {
        FirstSet s;
        s.known = false;
        return s;
    }
    void add(const FirstSet& o);
    // Asked before nearly every rule run: a few bit tests once the token's literal is known.
    bool starts(const Token& t) const {
        if (kinds & (1u << t.kind)) return true;
        if (literals[static_cast<size_t>(literalIdOf(t))]) return true;
        // A superset of the splits StringParser makes, which is enough for a guard.
        unsigned char c = static_cast<unsigned char>(t.text[0]);
        return splitStarts[c] && t.kind == Operator && t.text.size() > 1;
    }
};
FirstSet literalFirst(const char* literal);
FirstSet kindFirst(TokenKind kind);
// A then B: B's starts count only when A may match nothing.
template <class A, class B>
FirstSet sequenceFirst(const A& a, const B& b) {
    FirstSet s = a.first();
    if (!s.nullable) return s;
    FirstSet t = b.first();
    s.add(t);
    s.nullable = t.nullable;
    return s;
}

extern int nestingDepth;
const int maxNestingDepth = 600;

// True when the parser would certainly fail on the current token. Near the nesting limit
// every run goes ahead, so that the error a nested body raises on entry stays where it was.
inline bool cannotStart(const FirstSet& first, TokenStream& ts) {
    return first.known && !first.nullable && nestingDepth < maxNestingDepth && ts.current != ts.end() &&
           !first.starts(*ts.current);
}

// ---- Parser classes ----

// Every parser class derives from this tag, so the operators below know their operands.
struct ParserTag {};

template <class P>
struct IsParser : std::is_base_of<ParserTag, P> {};

template <class R>
struct IsNodeResult : std::false_type {};
template <class N>
struct IsNodeResult<boost::shared_ptr<N>> : std::true_type {};

template <class P>
struct IsNodeParser : IsNodeResult<typename P::Result> {};

// Runs a parser as one step of a bigger one: a delivered node becomes the node under
// construction of its own type (the enclosing rule's), and counts as success.
template <class P>
bool runStep(const P& p, TokenStream& ts) {
    if constexpr (IsNodeParser<P>::value) {
        auto node = p.parse(ts);
        if (!node) return false;
        constructionSlot<typename P::Result::element_type>() = std::move(node);
        return true;
    } else {
        return p.parse(ts);
    }
}

class StringParser : public ParserTag {
public:
    typedef bool Result;
    explicit StringParser(const char* literal) : literal(literal), id(literalId(literal)) {}
    bool parse(TokenStream& ts) const;
    FirstSet first() const { return literalFirst(literal); }
    const char* literal;
    int id;
};

class TokenParser : public ParserTag {
public:
    typedef bool Result;
    explicit TokenParser(TokenKind kind) : kind(kind) {}
    bool parse(TokenStream& ts) const;
    FirstSet first() const { return kindFirst(kind); }
    TokenKind kind;
};

class YesParser : public ParserTag {
public:
    typedef bool Result;
    bool parse(TokenStream&) const { return true; }
    FirstSet first() const { return FirstSet::unknown(); }
};

template <class T>
class NoParser : public ParserTag {
public:
    typedef boost::shared_ptr<T> Result;
    Result parse(TokenStream&) const { return Result(); }
    FirstSet first() const { return FirstSet(); }
};

typedef bool (*ParseFunction)(TokenStream&);
typedef void (*CleanupFunction)(TokenStream&);

class FuncParser : public ParserTag {
public:
    typedef bool Result;
    explicit FuncParser(ParseFunction function) : function(function) {}
    bool parse(TokenStream& ts) const { return function(ts); }
    FirstSet first() const { return FirstSet::unknown(); }
    ParseFunction function;
};

template <class P>
class FinallyParser : public ParserTag {
public:
    typedef typename P::Result Result;
    FinallyParser(const P& p, CleanupFunction cleanup) : p(p), cleanup(cleanup) {}
    Result parse(TokenStream& ts) const {
        // Also runs when P throws, so state pushed before P stays balanced after recovery.
        struct Cleanup {
            CleanupFunction f;
            TokenStream& ts;
            ~Cleanup() { f(ts); }
        } atExit{cleanup, ts};
        return p.parse(ts);
    }
    FirstSet first() const { return FirstSet::unknown(); }
    P p;
    CleanupFunction cleanup;
};

template <class A, class B>
class SequenceParser : public ParserTag {
public:
    typedef bool Result;
    SequenceParser(const A& a, const B& b) : a(a), b(b) {}
    bool parse(TokenStream& ts) const {
        TokenStream::Position saved = ts.current;
        if (!runStep(a, ts)) return false;
        if (!runStep(b, ts)) {
            ts.current = saved;
            return false;
        }
        return true;
    }
    FirstSet first() const { return sequenceFirst(a, b); }
    A a;
    B b;
};

// Which alternatives of a chain can start at a token, one bit per alternative in the order
// they are tried. Alternatives that may match nothing or whose starts are unknown are always in.
struct AlternativeSelection {
    static const int maxAlternatives = 64;
    uint64_t always = 0;
    uint64_t byKind[16] = {};
    uint64_t bySplit[256] = {};
    std::vector<uint64_t> byLiteral = std::vector<uint64_t>(maxLiterals, 0);

    explicit AlternativeSelection(const std::vector<FirstSet>& alternatives);
    uint64_t of(const Token& t) const {
        uint64_t m = always | byKind[t.kind] | byLiteral[static_cast<size_t>(literalIdOf(t))];
        if (t.kind == Operator && t.text.size() > 1) m |= bySplit[static_cast<unsigned char>(t.text[0])];
        return m;
    }
};

template <class A, class B>
class OrParser;
template <class P>
struct IsOrParser : std::false_type {};
template <class A, class B>
struct IsOrParser<OrParser<A, B>> : std::true_type {};

template <class A, class B>
class OrParser : public ParserTag {
    static_assert(IsNodeParser<A>::value == IsNodeParser<B>::value,
                  "alternatives must both deliver nodes or both match only");

public:
    typedef typename A::Result Result;
    // A chain a | b | c nests to the left; its alternatives are counted along that side.
    static constexpr int alternatives = [] {
        if constexpr (IsOrParser<A>::value)
            return A::alternatives + 1;
        else
            return 2;
    }();
    static_assert(alternatives <= AlternativeSelection::maxAlternatives, "too many alternatives in one chain");

    OrParser(const A& a, const B& b) : a(a), b(b) {}
    Result parse(TokenStream& ts) const {
        // A long chain tries only the alternatives that can start at the token, unless their
        // expected names are wanted; near the nesting limit every one runs (see cannotStart).
        if (alternatives >= 3 && !recordingExpectations && nestingDepth < maxNestingDepth && ts.current != ts.end())
            return parseSelected(ts, selection().of(*ts.current));
        Result r = a.parse(ts);
        if (r) return r;
        return b.parse(ts);
    }
    Result parseSelected(TokenStream& ts, uint64_t chosen) const {
        if constexpr (IsOrParser<A>::value) {
            Result r = a.parseSelected(ts, chosen);
            if (r) return r;
        } else if (chosen & 1u) {
            Result r = a.parse(ts);
            if (r) return r;
        }
        if (chosen & (uint64_t(1) << (alternatives - 1))) return b.parse(ts);
        return Result();
    }
    void alternativeFirsts(std::vector<FirstSet>& firsts) const {
        if constexpr (IsOrParser<A>::value)
            a.alternativeFirsts(firsts);
        else
            firsts.push_back(a.first());
        firsts.push_back(b.first());
    }
    // Worked out on first use, when the grammar is complete.
    const AlternativeSelection& selection() const {
        if (!chosenBy) {
            std::vector<FirstSet> firsts;
            alternativeFirsts(firsts);
            chosenBy.reset(new AlternativeSelection(firsts));
        }
        return *chosenBy;
    }
    FirstSet first() const {
        FirstSet s = a.first();
        FirstSet t = b.first();
        s.add(t);
        s.nullable = s.nullable || t.nullable;
        return s;
    }
    A a;
    B b;
    // Shared by copies: a chain is copied into bigger parsers while the grammar is built.
    mutable std::shared_ptr<AlternativeSelection> chosenBy;
};

template <class A, class B>
class EitherParser : public ParserTag {
public:
    typedef bool Result;
    EitherParser(const A& a, const B& b) : a(a), b(b) {}
    bool parse(TokenStream& ts) const {
        bool first = runStep(a, ts);
        bool second = runStep(b, ts);
        return first || second;
    }
    FirstSet first() const { return FirstSet::unknown(); }
    A a;
    B b;
};

const int unbounded = 2147483647;

template <class P, int min, int max>
class RepeatParser : public ParserTag {
public:
    typedef bool Result;
    explicit RepeatParser(const P& p) : p(p) {}
    bool parse(TokenStream& ts) const {
        TokenStream::Position saved = ts.current;
        int runs = 0;
        for (; runs < min; ++runs) {
            if (!runStep(p, ts)) {
                ts.current = saved;
                return false;
            }
        }
        while (runs < max) {
            // Most loops end on a token their body cannot start; without expected names to
            // record, that is seen at once instead of by trying every alternative of the body.
            if (!recordingExpectations && cannotStart(bodyFirst(), ts)) break;
            TokenStream::Position before = ts.current;
            if (!runStep(p, ts)) break;
            ++runs;
            // A body that matches without consuming would match forever.
            if (ts.current == before) break;
        }
        return true;
    }
    FirstSet first() const {
        FirstSet s = p.first();
        if (min == 0) s.nullable = true;
        return s;
    }
    // Worked out on first use, when the grammar is complete.
    const FirstSet& bodyFirst() const {
        if (!bodyFirstKnown) {
            bodyFirstSet = p.first();
            bodyFirstKnown = true;
        }
        return bodyFirstSet;
    }
    P p;
    mutable FirstSet bodyFirstSet;
    mutable bool bodyFirstKnown = false;
};

// Empties the memory of remembered runs (below) unless one is in progress; a statement's runs
// are never tried again by the next statement.
void forgetRunsOfEarlierStatements();

template <class P>
class SkippingParser : public ParserTag {
public:
    typedef bool Result;
    explicit SkippingParser(const P& p) : p(p) {}
    bool parse(TokenStream& ts) const {
        forgetRunsOfEarlierStatements();
        try {
            if (runStep(p, ts)) return true;
        } catch (const CompileError& error) {
            // Later messages depend on what this statement recorded.
            if (!recordingExpectations && error.severity < SeverityInternal) throw ExpectationsNeeded();
            queueParseDiagnostic(error);
            return skipStatement(ts);
        }
        TokenStream::Position start = ts.current;
        bool reachedEnd = false;
        try {
            reachedEnd = skipStatement(ts);
            // When the end of the block or file came first, the tokens skipped on the way were
            // a statement all the same: report it rather than drop it without a word.
            if (reachedEnd || ts.current != start) raiseSyntaxError(ts);
            return false;
        } catch (const CompileError& error) {
            queueParseDiagnostic(error);
        }
        return reachedEnd;
    }
    FirstSet first() const { return FirstSet::unknown(); }
    P p;
};

template <class T>
class Rule;

template <class T>
class RuleParser : public ParserTag {
public:
    typedef typename std::conditional<std::is_same<T, MatchBool>::value, bool, boost::shared_ptr<T>>::type Result;
    explicit RuleParser(Rule<T>* rule) : rule(rule) {}
    Result parse(TokenStream& ts) const { return rule->parse(ts); }
    FirstSet first() const { return rule->first(); }
    Rule<T>* rule;
};

// A member set after a parser that may match nothing would change a node even on a miss.
template <class P>
FirstSet settingFirst(const P& p) {
    FirstSet s = p.first();
    return s.nullable ? FirstSet::unknown() : s;
}

// Stores what P matched into a member of the node of type T under construction: a delivered
// node, or for a text member the text of the last token consumed (which for a literal is the
// literal itself, also after an operator split).
template <class P, class T, class M>
class OutMember : public ParserTag {
public:
    typedef bool Result;
    OutMember(const P& p, M T::*member) : p(p), member(member) {}
    bool parse(TokenStream& ts) const {
        if constexpr (IsNodeParser<P>::value) {
            auto node = p.parse(ts);
            if (!node) return false;
            nodeUnderConstruction<T>().*member = std::move(node);
            return true;
        } else {
            static_assert(std::is_same<M, std::string>::value, "a matching parser can only store text");
            if (!p.parse(ts)) return false;
            nodeUnderConstruction<T>().*member = previousText(ts);
            return true;
        }
    }
    static const std::string& previousText(TokenStream& ts);
    FirstSet first() const { return settingFirst(p); }
    P p;
    M T::*member;
};

[[noreturn]] void nothingConsumedYet();
[[noreturn]] void matchedOutsideFirst();

template <class P, class T, class M>
const std::string& OutMember<P, T, M>::previousText(TokenStream& ts) {
    if (ts.current == ts.begin()) nothingConsumedYet();
    return std::prev(ts.current)->text;
}

template <class P, class T, class L>
class OutMemberList : public ParserTag {
    static_assert(IsNodeParser<P>::value, "a list member collects nodes");

public:
    typedef bool Result;
    OutMemberList(const P& p, L T::*member) : p(p), member(member) {}
    bool parse(TokenStream& ts) const {
        auto node = p.parse(ts);
        if (!node) return false;
        (nodeUnderConstruction<T>().*member).push_back(std::move(node));
        return true;
    }
    FirstSet first() const { return settingFirst(p); }
    P p;
    L T::*member;
};

template <class P, class T, class V>
class SetMember : public ParserTag {
public:
    typedef typename P::Result Result;
    SetMember(const P& p, V T::*member, V value) : p(p), member(member), value(value) {}
    Result parse(TokenStream& ts) const {
        Result r = p.parse(ts);
        if (r) nodeUnderConstruction<T>().*member = value;
        return r;
    }
    FirstSet first() const { return settingFirst(p); }
    P p;
    V T::*member;
    V value;
};

// Left-recursive wrapping: when P matches, a new W takes the node built so far (the enclosing
// rule's B) into `member` and becomes the enclosing rule's node.
template <class P, class W, class B>
class WrapMember : public ParserTag {
public:
    typedef bool Result;
    WrapMember(const P& p, boost::shared_ptr<B> W::*member) : p(p), member(member) {}
    bool parse(TokenStream& ts) const {
        if (!firstKnown) {
            firstSet = settingFirst(p);
            firstKnown = true;
        }
        if (cannotStart(firstSet, ts)) {
            if (!recordingExpectations) return false;
            // Run for the expectations it records, without a wrapper to build.
            SlotGuard<W> guard(boost::shared_ptr<W>{});
            if (runStep(p, ts)) matchedOutsideFirst();
            return false;
        }
        SlotGuard<W> guard(newNode<W>(ts));
        if (!runStep(p, ts)) return false;
        // Moved, not copied: the guard puts the outer W back, and B's slot is refilled here.
        boost::shared_ptr<W> wrapper = std::move(constructionSlot<W>());
        (*wrapper).*member = std::move(constructionSlot<B>());
        constructionSlot<B>() = std::move(wrapper);
        return true;
    }
    FirstSet first() const { return settingFirst(p); }
    P p;
    boost::shared_ptr<B> W::*member;
    mutable FirstSet firstSet;
    mutable bool firstKnown = false;
};

// ---- Rules ----

[[noreturn]] void ruleWithoutBody(const char* name);

template <class T>
class Rule {
public:
    static constexpr bool matchOnly = std::is_same<T, MatchBool>::value;
    typedef typename RuleParser<T>::Result Result;

    class RuleBase {
    public:
        virtual ~RuleBase() = default;
        virtual Result parse(const char* name, TokenStream& ts) = 0;
        // Runs the body on a token that cannot start it, for the expectations it records.
        virtual void miss(TokenStream& ts) = 0;
        virtual FirstSet first() const = 0;
    };

    template <class P>
    class AnyRule : public RuleBase {
    public:
        explicit AnyRule(const P& p) : parser(p) {}
        Result parse(const char* name, TokenStream& ts) override {
            if constexpr (matchOnly) {
                bool ok = runStep(parser, ts);
                if (!ok && name) expect(ts, name, 100);
                return ok;
            } else if constexpr (IsNodeParser<P>::value) {
                Result node = parser.parse(ts);
                if (!node && name) expect(ts, name, 100);
                return node;
            } else {
                Result node;
                {
                    SlotGuard<T> guard(newNode<T>(ts));
                    // The guard refills the slot on leaving, so the node is moved out of it.
                    if (parser.parse(ts)) node = std::move(constructionSlot<T>());
                }
                if (!node && name) expect(ts, name, 100);
                return node;
            }
        }
        void miss(TokenStream& ts) override {
            bool matched;
            if constexpr (matchOnly || IsNodeParser<P>::value) {
                matched = static_cast<bool>(parser.parse(ts));
            } else {
                SlotGuard<T> guard(boost::shared_ptr<T>{});
                matched = parser.parse(ts);
            }
            if (matched) matchedOutsideFirst();
        }
        FirstSet first() const override { return parser.first(); }
        P parser;
    };

    Rule() = default;
    explicit Rule(const char* name) : name(name) {}
    Rule(const Rule&) = delete;
    Rule& operator=(const Rule&) = delete;

    template <class P, class = typename std::enable_if<IsParser<P>::value>::type>
    Rule& operator=(const P& p) {
        impl.reset(new AnyRule<P>(p));
        firstState = FirstUnknownYet;
        return *this;
    }

    Result parse(TokenStream& ts) {
        if (!impl) ruleWithoutBody(name);
        ++parseSteps;
        if (cannotStart(first(), ts)) {
            if (!recordingExpectations) return Result();
            if (name)
                expect(ts, name, 100);
            else
                impl->miss(ts);
            return Result();
        }
        return impl->parse(name, ts);
    }

    // Worked out on first use, when the grammar is complete. A rule met again while its own
    // set is being worked out starts with itself, which a descent parser cannot have: unknown.
    const FirstSet& first() {
        static const FirstSet unknownSet = FirstSet::unknown();
        if (firstState == FirstKnown) return firstSet;
        if (firstState == FirstInProgress || !impl) return unknownSet;
        firstState = FirstInProgress;
        firstSet = impl->first();
        firstState = FirstKnown;
        return firstSet;
    }

    bool hasBody() const { return impl != nullptr; }

    const char* name = nullptr;
    std::unique_ptr<RuleBase> impl;

private:
    enum { FirstUnknownYet, FirstInProgress, FirstKnown } firstState = FirstUnknownYet;
    FirstSet firstSet;
};

// ---- Notation: what a rule's C++ text is written with ----
//
//   a >> b          sequence              a | b            first match wins
//   opt(p)          [ p ]                 many(p), many1(p) { p }, { p }+
//   p % to<T>(&T::m)   p → m              p % setTo<T>(&T::m, v)   p ⇒ m = v
//   wrap<W>(&W::m, p)  wrap the node so far into W::m when p matches
//   previous        YesParser; `previous % to<T>(&T::name)` is "name := previous token"
// A literal text or a TokenKind next to a parser is a StringParser or TokenParser.

inline StringParser toParser(const char* literal) { return StringParser(literal); }
inline TokenParser toParser(TokenKind kind) { return TokenParser(kind); }
template <class T>
RuleParser<T> toParser(Rule<T>& rule) {
    return RuleParser<T>(&rule);
}
template <class P, class = typename std::enable_if<IsParser<P>::value>::type>
const P& toParser(const P& p) {
    return p;
}

template <class X>
struct IsRule : std::false_type {};
template <class T>
struct IsRule<Rule<T>> : std::true_type {};

template <class X>
struct IsOperand {
    typedef typename std::decay<X>::type D;
    static constexpr bool parserLike = IsParser<D>::value || IsRule<D>::value;
    static constexpr bool value =
        parserLike || std::is_same<D, const char*>::value || std::is_same<D, char*>::value || std::is_same<D, TokenKind>::value;
};

template <class X>
using ParserType = typename std::decay<decltype(toParser(std::declval<X&>()))>::type;

template <class A, class B>
using EnableIfGrammar = typename std::enable_if<IsOperand<A>::value && IsOperand<B>::value &&
                                                (IsOperand<A>::parserLike || IsOperand<B>::parserLike)>::type;

template <class A, class B, class = EnableIfGrammar<A, B>>
SequenceParser<ParserType<A>, ParserType<B>> operator>>(A&& a, B&& b) {
    return SequenceParser<ParserType<A>, ParserType<B>>(toParser(a), toParser(b));
}

template <class A, class B, class = EnableIfGrammar<A, B>>
OrParser<ParserType<A>, ParserType<B>> operator|(A&& a, B&& b) {
    return OrParser<ParserType<A>, ParserType<B>>(toParser(a), toParser(b));
}

inline StringParser lit(const char* literal) { return StringParser(literal); }
inline TokenParser tok(TokenKind kind) { return TokenParser(kind); }
inline FuncParser func(ParseFunction f) { return FuncParser(f); }
template <class T>
NoParser<T> none() {
    return NoParser<T>();
}
const YesParser previous{};
const YesParser yes{};

template <class A, class B>
EitherParser<ParserType<A>, ParserType<B>> either(A&& a, B&& b) {
    return EitherParser<ParserType<A>, ParserType<B>>(toParser(a), toParser(b));
}
template <class P>
RepeatParser<ParserType<P>, 0, 1> opt(P&& p) {
    return RepeatParser<ParserType<P>, 0, 1>(toParser(p));
}
template <class P>
RepeatParser<ParserType<P>, 0, unbounded> many(P&& p) {
    return RepeatParser<ParserType<P>, 0, unbounded>(toParser(p));
}
template <class P>
RepeatParser<ParserType<P>, 1, unbounded> many1(P&& p) {
    return RepeatParser<ParserType<P>, 1, unbounded>(toParser(p));
}
template <class P>
SkippingParser<ParserType<P>> skip(P&& p) {
    return SkippingParser<ParserType<P>>(toParser(p));
}
template <class P>
FinallyParser<ParserType<P>> finally(P&& p, CleanupFunction cleanup) {
    return FinallyParser<ParserType<P>>(toParser(p), cleanup);
}

// A member of the node type T. Members declared in a base class are named through T, so the
// store goes to T's slot, the one the enclosing rule fills.
template <class T, class M>
struct MemberTarget {
    M T::*member;
};
template <class T, class M, class Owner>
MemberTarget<T, M> to(M Owner::*member) {
    static_assert(std::is_base_of<Owner, T>::value, "member of another class");
    return MemberTarget<T, M>{static_cast<M T::*>(member)};
}

template <class T, class V>
struct ValueTarget {
    V T::*member;
    V value;
};
template <class T, class V, class Owner, class X>
ValueTarget<T, V> setTo(V Owner::*member, X value) {
    static_assert(std::is_base_of<Owner, T>::value, "member of another class");
    return ValueTarget<T, V>{static_cast<V T::*>(member), static_cast<V>(value)};
}

template <class M>
struct IsNodeList : std::false_type {};
template <template <class...> class C, class N, class... Rest>
struct IsNodeList<C<boost::shared_ptr<N>, Rest...>> : std::true_type {};

template <class A, class T, class M, class = typename std::enable_if<IsOperand<A>::value>::type>
auto operator%(A&& a, const MemberTarget<T, M>& target) {
    if constexpr (IsNodeList<M>::value)
        return OutMemberList<ParserType<A>, T, M>(toParser(a), target.member);
    else
        return OutMember<ParserType<A>, T, M>(toParser(a), target.member);
}

template <class A, class T, class V, class = typename std::enable_if<IsOperand<A>::value>::type>
SetMember<ParserType<A>, T, V> operator%(A&& a, const ValueTarget<T, V>& target) {
    return SetMember<ParserType<A>, T, V>(toParser(a), target.member, target.value);
}

template <class W, class B, class Owner, class P>
WrapMember<ParserType<P>, W, B> wrap(boost::shared_ptr<B> Owner::*member, P&& p) {
    static_assert(std::is_base_of<Owner, W>::value, "member of another class");
    return WrapMember<ParserType<P>, W, B>(toParser(p), static_cast<boost::shared_ptr<B> W::*>(member));
}

// Declares the accessor of a rule: a table of two rules, one per grammar mode.
#define VORN_RULE(NodeType, accessor)                \
    Rule<NodeType>& accessor() {                     \
        static Rule<NodeType> rules[2];              \
        return rules[grammarMode];                   \
    }

// ==== Per-parse state shared by the grammars ====
//
// Process-wide like the grammar tables. The steps of each grammar read and write it; every
// front end calls resetParseState before it parses, so each grammar starts each file clean.

// Empties the precedence stack, the nesting depth, the remembered runs, the expectation
// recordings and the log of split operators.
void resetParseState();

// Runs `parse` (which resets the parse state itself) without keeping expected names; when it
// meets a syntax error, the operators it split are joined again and it runs once more from the
// same token, keeping them.
void joinSplitOperators(TokenStream& ts);
template <class F>
auto parseRecordingOnError(TokenStream& ts, F parse) {
    TokenStream::Position start = ts.current;
    struct Off {
        bool saved = recordingExpectations;
        Off() { recordingExpectations = false; }
        ~Off() { recordingExpectations = saved; }
    };
    try {
        Off off;
        return parse();
    } catch (const ExpectationsNeeded&) {
    }
    joinSplitOperators(ts);
    ts.current = start;
    return parse();
}

// ---- precedence ----
//
// The entries the expression steps of a grammar push and pop, and the one popped last (the
// check that logical operators are not mixed reads it).
struct PrecedenceEntry {
    int precedence;
    std::string op;
};
struct PrecedenceState {
    std::vector<PrecedenceEntry> stack;
    PrecedenceEntry lastPopped{0, ""};

    const PrecedenceEntry& top() const { return stack.empty() ? none : stack.back(); }
    static const PrecedenceEntry none;
};
extern PrecedenceState precedence;

// ---- nesting guard ----
//
// Each nested expression, type or block costs the recursive descent a few dozen stack frames;
// past the limit the statement is given up with an error instead of overflowing the stack.
// One level costs under 1 KB of stack in an optimised build and several KB with the sanitizers,
// so 600 levels fit a 1 MB stack (optimised) and a 4 MB one (sanitized), and 500 nested blocks
// with their statements still parse. The limit, maxNestingDepth, is declared with the guard
// against runs that cannot start, which reads it.

// Steps around a nested body: the first throws past the limit, the second undoes it.
bool enterNesting(TokenStream& ts);
void leaveNesting(TokenStream& ts);

// ---- height guard ----
//
// The tree can be much deeper than the recursion that builds it: a chain of binary operators,
// member accesses, calls or postfix type operators is read by a loop, yet each link holds the
// one before it, and every later walk over the tree (linking, lookup, inference, emission, and
// freeing it) recurses once per level. So each expression, type and block being read (a part)
// keeps a bound of its height: the highest part completed inside it, plus the links its loop
// added, plus one. A statement whose bound outgrows the limit is given up with an error.
// A statement whose tree would be deeper than this (counting a chain of operators, member
// accesses, calls or postfix type operators one level per link, and each bracket, nested
// expression and block one more) ends with an error instead of exhausting the stack of a
// later walk over the tree. The deepest trees that pass (a chain at the limit, alone, under
// brackets, under blocks or in a type) take every stage together under 0.8 MB of stack in an
// optimised build and under 3.4 MB with the sanitizers, well inside the default 8 MB.
const int maxTreeHeight = 2000;
struct PartHeight {
    int highestInside;
    int links;
    int height() const { return highestInside + links + 1; }
};
// The bottom entry stands for the module body, which is no part of its own.
extern std::vector<PartHeight> openParts;
// Height of the part completed last, which a remembered run hands on when it is replayed.
extern int lastPartHeight;

bool openPart(TokenStream& ts);
// A part of the given height is now complete inside `part`.
void holdPart(PartHeight& part, int height, TokenStream& ts);
// Only a part that parsed is in the tree; one that failed leaves its enclosing part as it was.
bool completePart(TokenStream& ts);
void closePart(TokenStream& ts);
bool addLink(TokenStream& ts);

// Runs R but starts like S: for steps around a body that do nothing lasting when the body
// fails on its first token.
template <class R, class S>
class StartsLike : public ParserTag {
public:
    typedef typename R::Result Result;
    StartsLike(const R& run, const S& start) : run(run), start(start) {}
    Result parse(TokenStream& ts) const { return run.parse(ts); }
    FirstSet first() const { return start.first(); }
    R run;
    S start;
};
template <class R, class S>
StartsLike<R, S> startsLike(const R& run, const S& start) {
    return StartsLike<R, S>(run, start);
}

// A part opened and closed around a body that fails leaves the heights as they were; the
// nesting count that nested() raises is covered by cannotStart's look at the limit.
template <class P>
auto treePart(const P& body) {
    return startsLike(finally(func(openPart) >> body >> func(completePart), closePart), body);
}

template <class P>
auto nested(const P& body) {
    return startsLike(finally(func(enterNesting) >> treePart(body), leaveNesting), body);
}

// One round of a loop that wraps what was read so far into a new node.
template <class P>
auto link(const P& wrapping) {
    return wrapping >> func(addLink);
}

// ---- runs after an opening bracket are not repeated ----
//
// The tuple and the range both start with "(" expression, and a type or an expression after a
// bracket is tried by several alternatives (construction, static name, tuple type, template
// argument), so without a memory every bracket would parse what follows it several times, and
// nested brackets, open or closed, a number of times exponential in their depth. The same goes
// for a type at the start of a statement, which the function, property and variable
// declarations each read before they tell themselves apart. The outcome of an expression or a
// type depends only on where it starts and on the precedence entry it must exceed, so it is
// kept under those until the next statement starts outside every remembered run (the tokens
// the keys point at live at least that long): where the run ended, the node it built, the last
// popped entry it left (a binary check after it reads that) and what it expected.
// A run that raised syntax errors inside a nested block reports them once, not per repetition.
struct RunKey {
    const void* rule;
    const Token* start;
    int precedence;
    std::string op;
    bool operator<(const RunKey& o) const {
        if (rule != o.rule) return rule < o.rule;
        if (start != o.start) return start < o.start;
        if (precedence != o.precedence) return precedence < o.precedence;
        return op < o.op;
    }
};
struct RunOutcome {
    bool matched;
    TokenStream::Position end;
    boost::shared_ptr<void> node;
    PrecedenceEntry lastPopped;
    Expectations expectations;
    int height;
};
// The runs kept so far and the number of remembered runs in progress (the memory is emptied
// when a statement starts while none is).
extern std::map<RunKey, RunOutcome> rememberedRuns;
extern int rememberDepth;

// Where a rule's runs are tried more than once at one place: right after an opening bracket,
// and for a type also at the start of a statement (after the "}" that ended the one before).
enum RememberAt { AfterBracket, AfterBracketOrAtStatementStart };

// The body of a rule building a T, run at most once per key.
template <class T, RememberAt where, class P>
class Remember : public ParserTag {
public:
    typedef bool Result;
    explicit Remember(const P& p) : p(p) {}
    static bool worthRemembering(TokenStream& ts) {
        if (ts.current == ts.begin()) return false;
        const Token& before = *std::prev(ts.current);
        if (before.kind == OpeningBrace) return true;
        return where == AfterBracketOrAtStatementStart && before.kind == ClosingBrace && before.text == "}";
    }
    bool parse(TokenStream& ts) const {
        struct Depth {
            Depth() { ++rememberDepth; }
            ~Depth() { --rememberDepth; }
        } depth;
        if (!worthRemembering(ts)) return runStep(p, ts);
        PrecedenceEntry top = precedence.top();
        RunKey key{this, &*ts.current, top.precedence, top.op};
        auto found = rememberedRuns.find(key);
        if (found != rememberedRuns.end()) {
            const RunOutcome& outcome = found->second;
            replayExpectations(ts, outcome.expectations);
            precedence.lastPopped = outcome.lastPopped;
            if (!outcome.matched) return false;
            holdPart(openParts.back(), outcome.height, ts);
            ts.current = outcome.end;
            constructionSlot<T>() = boost::static_pointer_cast<T>(outcome.node);
            return true;
        }
        ExpectationRecording recording;
        bool matched = runStep(p, ts);
        RunOutcome outcome{matched, ts.current, boost::shared_ptr<void>(), precedence.lastPopped, recording.finish(),
                           lastPartHeight};
        if (matched) outcome.node = constructionSlot<T>();
        rememberedRuns.emplace(key, std::move(outcome));
        return matched;
    }
    FirstSet first() const { return p.first(); }
    P p;
};

template <class T, RememberAt where = AfterBracket, class P>
Remember<T, where, P> remember(const P& p) {
    return Remember<T, where, P>(p);
}

// Runs P only where `fits` allows a match, so that a rule does not build a node it would throw
// away a token later. While expected names are kept, P always runs, for the names it records.
// `fits` must answer true wherever P could match or raise an error.
template <class P>
class Guarded : public ParserTag {
public:
    typedef typename P::Result Result;
    Guarded(const P& p, ParseFunction fits) : p(p), fits(fits) {}
    Result parse(TokenStream& ts) const {
        if (!recordingExpectations && !fits(ts)) return Result();
        return p.parse(ts);
    }
    FirstSet first() const { return p.first(); }
    P p;
    ParseFunction fits;
};

template <class P>
Guarded<ParserType<P>> guardedBy(ParseFunction fits, P&& p) {
    return Guarded<ParserType<P>>(toParser(p), fits);
}

[[noreturn]] void matchedWithoutNode();

// The body of a rule whose alternatives each deliver the rule's node (an expression is one of
// its kinds, never a bare expression): the rule starts with an empty slot instead of making a
// node of its own that every match would replace and throw away.
template <class T, class P>
class Delivered : public ParserTag {
public:
    typedef boost::shared_ptr<T> Result;
    explicit Delivered(const P& p) : p(p) {}
    Result parse(TokenStream& ts) const {
        SlotGuard<T> guard(Result{});
        if (!runStep(p, ts)) return Result();
        Result node = std::move(constructionSlot<T>());
        if (!node) matchedWithoutNode();
        return node;
    }
    FirstSet first() const { return p.first(); }
    P p;
};

template <class T, class P>
Delivered<T, ParserType<P>> delivered(P&& p) {
    return Delivered<T, ParserType<P>>(toParser(p));
}
