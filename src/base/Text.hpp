// Text helpers every stage may use: C string literals written and read back, and a digest of
// text for telling files and settings apart. A leaf: it includes nothing of vorn's but the
// diagnostics, so that no stage includes a later one for a string function.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// The text as a C string literal, quotes included.
std::string quoteCString(const std::string& text);

// The inverse of quoteCString: the content of a double-quoted literal, with a backslash
// taking the next character as it is ("\n" gives a line end). Throws "invalid string" and
// "unexpected end of string".
std::string unquoteCString(const std::string& literal);

// 64-bit FNV-1a: a change detector, not a guard against chosen collisions. Header-only, so the
// platform layer below every stage uses it too.
struct TextDigest {
    std::uint64_t value = 14695981039346656037ull;

    void add(std::string_view text) {
        for (unsigned char c : text) {
            value ^= c;
            value *= 1099511628211ull;
        }
    }
    // Sixteen lower-case hexadecimal digits.
    std::string hex() const {
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
        return text;
    }
};
