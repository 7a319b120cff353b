// Tokens and the abstract token stream that every front end hands the parser.
// A stream fills itself on demand and keeps every token it produced, so a parser can step
// back to any saved position. It never interprets tokens; that is the grammar's job.
#pragma once

#include <cstddef>
#include <cstring>
#include <new>
#include <list>
#include <memory_resource>
#include <string>
#include <vector>

#include "base/Diagnostics.hpp"

enum TokenKind : int {
    TypeName = 0,
    Name = 1,
    MacroName = 2,
    Operator = 3,
    String = 4,
    Number = 5,
    Delimiter = 6,
    OpeningBrace = 7,
    ClosingBrace = 8,
    Keyword = 9,
    Whitespace = 11,
    NoExpand = 12,
    EndOfFile = 13,
};

struct Token {
    TokenKind kind = EndOfFile;
    // Which grammar literal the text spells, worked out when first asked (literalIdOf below).
    // Code that changes `text` after a parser may have looked at the token calls textChanged.
    mutable unsigned spellingCache = 0;
    bool blankBefore = false;  // set only by a lexer asked for BlankFlags
    std::string text;
    SourceLocation location;

    Token() = default;
    Token(TokenKind k, std::string t, const SourceLocation& loc) : kind(k), text(std::move(t)), location(loc) {}
    void textChanged() { spellingCache = 0; }
};

// ---- Grammar literals as numbers ----
//
// Every literal a grammar names gets a number from 1 up when its parser is made, so that a
// parser asks "is this token that literal" or "can this token start me" by comparing numbers
// instead of texts. A token's number is looked up once and kept in the token.
const int maxLiterals = 1024;
// The number of `text`, registering it when new.
int literalId(const char* text);

// A cache word at or above this mark says "no literal", valid while the registry has the count
// of literals in its low bits; a new literal makes every such word stale.
const unsigned noLiteralMark = 0x80000000u;
// noLiteralMark plus the count of registered literals. Written by literalId, read below.
extern unsigned noLiteralNow;
int lookUpLiteralId(const Token& t);
// The number of the literal the token spells, 0 for none.
inline int literalIdOf(const Token& t) {
    unsigned c = t.spellingCache;
    if (c == noLiteralNow) return 0;
    if (c != 0 && c < noLiteralMark) return static_cast<int>(c);
    return lookUpLiteralId(t);
}

// A name a syntax error may list as expected: a literal (shown quoted) or a rule or token kind
// name. The text is a string literal of the grammar or of the kind table, so recording one
// copies nothing; the words are built only when an error is raised.
struct ExpectedName {
    const char* text;
    bool quoted;
    // Asked for every failed alternative: most names differ already in their first byte.
    bool operator==(const ExpectedName& o) const {
        return quoted == o.quoted && (text == o.text || (text[0] == o.text[0] && std::strcmp(text, o.text) == 0));
    }
    std::string spelled() const { return quoted ? std::string("'") + text + "'" : std::string(text); }
};

// Display name used in messages; kinds without one are an internal error ("unknown token").
const char* tokenKindName(int kind);

// The tokens of a stream are allocated from one arena of the stream: a file's tokens are made
// one by one, kept together for the parse and let go all at once. A token a stream drops (the
// preprocessor takes its lexer's tokens a line at a time) leaves its place for the next one, so
// a header read through never sits in memory whole.
class TokenArena : public std::pmr::memory_resource {
protected:
    TokenArena() = default;
    std::pmr::memory_resource* arena() { return this; }

private:
    struct Freed {
        Freed* next;
    };
    std::pmr::monotonic_buffer_resource blocks{64 * 1024};
    Freed* freed = nullptr;
    std::size_t freedSize = 0;  // every block of a list has the node's size

    void* do_allocate(std::size_t bytes, std::size_t alignment) override {
        if (freed != nullptr && bytes == freedSize && alignment <= alignof(std::max_align_t)) {
            Freed* reused = freed;
            freed = reused->next;
            return reused;
        }
        return blocks.allocate(bytes, alignment);
    }
    void do_deallocate(void* p, std::size_t bytes, std::size_t alignment) override {
        if (bytes < sizeof(Freed) || alignment > alignof(std::max_align_t)) return;
        if (freedSize == 0) freedSize = bytes;
        if (bytes != freedSize) return;
        freed = new (p) Freed{freed};
    }
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }
};

class TokenStream : private TokenArena, public std::pmr::list<Token> {
public:
    using Position = std::pmr::list<Token>::iterator;

    TokenStream() : std::pmr::list<Token>(arena()), current(end()), furthestError(end()) {}
    TokenStream(const TokenStream&) = delete;
    TokenStream& operator=(const TokenStream&) = delete;
    virtual ~TokenStream() = default;

    // Appends the tokens of the next piece of input (possibly none); appends EndOfFile at the end.
    virtual void fill() = 0;
    virtual std::string streamName() const = 0;
    // Whether "{" and "}" stand for the layout (indentation, statement ends) rather than for
    // text the user wrote: messages then leave them out.
    virtual bool bracesAreLayout() const { return false; }

    // Steps to the next token, reading more input when the current one is the last.
    void advance();

    const Token& token() const { return *current; }
    TokenKind kind() const { return current->kind; }
    const std::string& text() const { return current->text; }
    const SourceLocation& location() const { return current->location; }
    bool atEnd() const { return current == end() || current->kind == EndOfFile; }

    Position current;

    // Kept by the parser framework: where the furthest failure so far happened, how strongly
    // it was expected, and what was expected there.
    Position furthestError;
    int errorPriority = -1;
    // Without repeats, in the order recorded; the message sorts them.
    std::vector<ExpectedName> expected;
};

// One token as "line:column kind text", the text with line ends and control bytes escaped.
std::string dumpToken(const Token& token);

// The dump of every token from the stream's current one through EndOfFile, one per line.
// Advances the stream; for tests and for looking at what a front end produced.
std::string dumpTokens(TokenStream& stream);
