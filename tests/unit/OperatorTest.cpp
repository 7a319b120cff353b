// The operator vocabulary: the tables' invariants once, then the lookups the emitter relies on.
// Precedence and grouping are seen where they act, in the parsed trees of GrammarTest.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/Diagnostics.hpp"
#include "tree/Operator.hpp"

namespace {

template <typename List>
void expectDistinct(const List& list, const char* table) {
    std::set<std::string> seen;
    for (const std::string& s : list) EXPECT_TRUE(seen.insert(s).second) << table << " lists \"" << s << "\" twice";
}

std::string internalErrorText(const std::string& spelling) {
    try {
        operatorFunctionName(spelling);
    } catch (const CompileError& e) {
        return e.what();
    }
    return "";
}

TEST(OperatorTables, EachSpellingListedOnce) {
    expectDistinct(knownOperatorSpellings(), "known operators");
    expectDistinct(basicTypeNameList(), "basic type names");
    expectDistinct(precedenceSpellings(), "precedences");
    expectDistinct(groupingSpellings(), "groupings");
    std::string characters = operatorWordCharacters();
    EXPECT_EQ(std::set<char>(characters.begin(), characters.end()).size(), characters.size());
}

TEST(OperatorTables, KnownOperatorsAreMadeOfOperatorCharacters) {
    // The lexer builds known operators from operator characters and ","; a spelling outside
    // that set could never be read with KnownOperatorsOnly.
    for (const std::string& op : knownOperatorSpellings())
        for (char c : op) EXPECT_TRUE(isOperatorChar(c) || c == ',') << op;
}

TEST(OperatorTables, EveryOperatorCharacterButTheBackquoteHasAWord) {
    for (int c = 0; c < 256; ++c) {
        if (!isOperatorChar(c)) continue;
        std::string spelling(1, static_cast<char>(c));
        if (c == '`')
            EXPECT_NE(internalErrorText(spelling), "");
        else
            EXPECT_EQ(internalErrorText(spelling), "") << spelling;
    }
}

TEST(Operators, IsKnownOperator) {
    for (const char* yes : {"~=", "->*", "...", "..", "#", ",", "::", "<<=", "!="})
        EXPECT_TRUE(isKnownOperator(yes)) << yes;
    for (const char* no : {"?", ":", "##", "", "<=>", "[", "+++", "=>", "&&="})
        EXPECT_FALSE(isKnownOperator(no)) << no;
}

TEST(Operators, FunctionNames) {
    struct Case {
        const char* spelling;
        const char* name;
    };
    const Case cases[] = {
        {"+", "operator_plus"},
        {"+=", "operator_plus_equal"},
        {"<=>", "operator_less_equal_greater"},
        {"->", "operator_minus_greater"},
        {"", "operator"},
        {"!#$%&*,./", "operator_exclamation_hash_dollar_percent_amp_star_comma_dot_slash"},
        {":;<=>?@\\^|~", "operator_colon_semicolon_less_equal_greater_question_at_backslash_"
                         "circumflex_pipe_tilde"},
    };
    for (const Case& c : cases) EXPECT_EQ(operatorFunctionName(c.spelling), c.name) << c.spelling;
}

TEST(Operators, CharactersWithoutAWordAreInternalErrors) {
    for (const char* bad : {"`", "+a", "_", "1", "'", "\"", "(", "]", "{", " ", "\n", "\xC3"}) {
        std::string text = internalErrorText(bad);
        EXPECT_NE(text.find("INTERNAL COMPILER ERROR"), std::string::npos) << bad;
        EXPECT_NE(text.find("illegal token in operator"), std::string::npos) << bad;
        EXPECT_NE(text.find("ERROR ON src/Operator("), std::string::npos) << bad;
    }
}

TEST(Operators, BasicTypeNames) {
    for (const char* yes : {"unsigned double", "char", "signed short", "size_t", "ptr_diff", "float"})
        EXPECT_TRUE(isBasicTypeName(yes)) << yes;
    for (const char* no : {"long long", "bool", "unsigned", "Int", "", "void", "ptrdiff_t"})
        EXPECT_FALSE(isBasicTypeName(no)) << no;
}

TEST(Operators, OperatorCharacters) {
    const std::string all = "`~!@#$%^&*-+=<>./?:\\|";
    int count = 0;
    for (int c = -1; c < 256; ++c)
        if (isOperatorChar(c)) {
            ++count;
            EXPECT_NE(all.find(static_cast<char>(c)), std::string::npos) << c;
        }
    EXPECT_EQ(count, static_cast<int>(all.size()));
}

}  // namespace
