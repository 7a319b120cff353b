#include "base/Text.hpp"

#include "base/Diagnostics.hpp"

std::string quoteCString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out + "\"";
}

std::string unquoteCString(const std::string& literal) {
    if (literal.size() < 2 || literal.front() != '"' || literal.back() != '"') throw CompileError("invalid string");
    std::string text;
    for (size_t i = 1; i + 1 < literal.size(); ++i) {
        char c = literal[i];
        if (c == '\\') {
            if (i + 2 >= literal.size()) throw CompileError("unexpected end of string");
            c = literal[++i];
            if (c == 'n') c = '\n';
        }
        text += c;
    }
    return text;
}
