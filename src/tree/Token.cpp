// Token kind names and the token stream's stepping rule.
#include "tree/Token.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
struct KindName {
    int kind;
    const char* name;
};
// Kinds 10, 11 and 12 have no display name on purpose: asking for one is a bug.
constexpr KindName kindNames[] = {
    {TypeName, "type-name"},     {Name, "name"},         {MacroName, "macro-name"},
    {Operator, "operator"},      {String, "string"},     {Number, "number"},
    {Delimiter, "delimiter"},    {OpeningBrace, "opening brace"}, {ClosingBrace, "closing brace"},
    {Keyword, "keyword"},        {EndOfFile, "end-of-file"},
};
}  // namespace

const char* tokenKindName(int kind) {
    for (const KindName& k : kindNames)
        if (k.kind == kind) return k.name;
    throw VORN_INTERNAL_ERROR("src/Token", "unknown token");
}

namespace {

// Open addressing over the literals' texts. Literals are few and short: a token longer than
// every literal is answered without a look, and a hash of the length and three bytes spreads
// them well enough.
const size_t literalSlots = 4096;
// Plain arrays: grammar rules may be built during static initialisation.
const char* literalTexts[maxLiterals];  // number 0 is no literal
size_t literalLengths[maxLiterals];
int literalCount = 0;
unsigned short literalSlotTable[literalSlots];
size_t longestLiteral = 0;
// Which first bytes the literals of each length start with: most names are told apart by these
// two alone, without a hash.
const size_t shapeLengths = 16;
bool literalShapes[shapeLengths][256];

size_t slotOf(const char* text, size_t length) {
    if (length == 0) return 0;
    size_t h = length * 2654435761u;
    h ^= static_cast<unsigned char>(text[0]) * 40503u;
    h ^= static_cast<unsigned char>(text[length - 1]) * 9176u;
    h ^= static_cast<unsigned char>(text[length / 2]) * 2131u;
    return (h ^ (h >> 12)) & (literalSlots - 1);
}

// The slot holding the text, or the empty slot where it would go.
size_t findSlot(const char* text, size_t length) {
    size_t slot = slotOf(text, length);
    for (;;) {
        unsigned short id = literalSlotTable[slot];
        if (id == 0) return slot;
        if (literalLengths[id] == length && std::memcmp(literalTexts[id], text, length) == 0) return slot;
        slot = (slot + 1) & (literalSlots - 1);
    }
}

}  // namespace

unsigned noLiteralNow = noLiteralMark;

int literalId(const char* text) {
    size_t length = std::strlen(text);
    size_t slot = findSlot(text, length);
    if (literalSlotTable[slot] != 0) return literalSlotTable[slot];
    int id = ++literalCount;
    if (id >= maxLiterals) throw VORN_INTERNAL_ERROR("src/Token", "too many grammar literals");
    // Grammar literals are string literals of the program: the pointer stays valid.
    literalTexts[id] = text;
    literalLengths[id] = length;
    literalSlotTable[slot] = static_cast<unsigned short>(id);
    longestLiteral = std::max(longestLiteral, length);
    if (length < shapeLengths) literalShapes[length][static_cast<unsigned char>(text[0])] = true;
    noLiteralNow = noLiteralMark + static_cast<unsigned>(id);
    return id;
}

int lookUpLiteralId(const Token& t) {
    size_t length = t.text.size();
    int id = 0;
    if (length <= longestLiteral &&
        (length >= shapeLengths || literalShapes[length][static_cast<unsigned char>(t.text[0])]))
        id = literalSlotTable[findSlot(t.text.data(), length)];
    t.spellingCache = id != 0 ? static_cast<unsigned>(id) : noLiteralNow;
    return id;
}

void TokenStream::advance() {
    if (empty()) {
        while (empty()) fill();
        current = begin();
        return;
    }
    if (current == end()) {
        current = begin();
        return;
    }
    Position next = current;
    ++next;
    while (next == end()) {
        fill();
        next = current;
        ++next;
    }
    current = next;
}

std::string dumpToken(const Token& token) {
    std::string out = std::to_string(token.location.line) + ":" + std::to_string(token.location.column) + " ";
    switch (token.kind) {
    case Whitespace: out += "whitespace"; break;
    case NoExpand: out += "no-expand"; break;
    default: out += tokenKindName(token.kind); break;
    }
    out += " ";
    for (unsigned char c : token.text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20 || c >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string dumpTokens(TokenStream& stream) {
    if (stream.current == stream.end()) stream.advance();
    std::string out;
    for (;;) {
        out += dumpToken(*stream.current) + "\n";
        if (stream.current->kind == EndOfFile) return out;
        stream.advance();
    }
}
