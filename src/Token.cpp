// Token kind names and the token stream's stepping rule.
#include "Token.hpp"

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
