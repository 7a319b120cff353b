// The words of a response file: blanks of every kind, quoted words, and quotes inside words.
#include <gtest/gtest.h>

#include "driver/VisualCppEmulation.hpp"

namespace {

TEST(VisualCppEmulationTest, ResponseFileWords) {
    typedef std::vector<ResponseToken> Tokens;
    struct Case {
        const char* text;
        Tokens tokens;
    } cases[] = {
        {"", {}},
        {" \r\n\t ", {}},
        {"/c /nologo\r\nmain.vn\tutil.cpp\n", {{"/c"}, {"/nologo"}, {"main.vn"}, {"util.cpp"}}},
        {"\"my dir\\a.vn\" b", {{"my dir\\a.vn", true}, {"b"}}},
        {"\"\"", {{"", true}}},
        // A quote inside a word keeps its quotes; the word ends at the closing one.
        {"/Fo\"out dir\\\" x", {{"/Fo\"out dir\\\""}, {"x"}}},
        {"/DX=\"a b\"c d", {{"/DX=\"a b\""}, {"c"}, {"d"}}},
        {"\"a b\"c", {{"a b", true}, {"c"}}},
        {"\"open to the end", {{"open to the end", true}}},
        {"x\"y z", {{"x\"y z"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(tokenizeResponseFile(c.text), c.tokens);
    }
}

}  // namespace
