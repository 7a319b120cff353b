// Token kind names and the token stream's stepping rule.
#include "Token.hpp"

#include <cstdio>

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
