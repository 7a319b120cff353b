// Operator facts as tables: each lookup is one scan of one table, so a reviewer checks a row,
// not a chain of comparisons.
#include "Operator.hpp"

#include <cstring>

#include "Diagnostics.hpp"

namespace {

bool inList(const char* const* begin, const char* const* end, const std::string& text) {
    for (const char* const* p = begin; p != end; ++p)
        if (text == *p) return true;
    return false;
}

template <size_t N>
bool inList(const char* const (&list)[N], const std::string& text) {
    return inList(list, list + N, text);
}

constexpr const char* knownOperators[] = {
    "|",  "&",  "^",  "%",  "+",  "-",  "*",  "/",   "!",  "~",  "<",  ">",  "=",  "||", "&&",
    "<<", ">>", ">>=", "<<=", "|=", "&=", "^=", "%=", "+=", "-=", "*=", "/=", "!=", "~=", "<=",
    ">=", "==", ",",  "++", "--", "::", ".",  "->", "->*", ".*", "...", "..", "#",
};

struct Precedence {
    const char* spelling;
    int precedence;
};
// In the order the expression parser asks; the first matching row wins.
constexpr Precedence precedences[] = {
    {"..", -2},  {"...", -2}, {":", -2},
    {".", 160},  {"->", 160}, {"#", 160},  {"[", 160},
    {".*", 150}, {"->*", 150},
    {"*", 130},  {"/", 130},  {"%", 130},
    {"+", 120},  {"-", 120},
    {"<<", 110}, {">>", 110},
    {"<", 100},  {">", 100},  {"<=", 100}, {">=", 100},
    {"==", 90},  {"!=", 90},
    {"&", 80},
    {"^", 70},
    {"|", 60},
    {"&&", 50},  {"||", 50},
    {"?", 30},
    {"=", 20},   {"*=", 20},  {"/=", 20},  {"%=", 20},  {"+=", 20}, {"-=", 20},
    {"<<=", 20}, {">>=", 20}, {"&=", 20},  {"^=", 20},  {"|=", 20},
    {",", 10},
};

struct Grouping {
    const char* spelling;
    int grouping;
};
constexpr Grouping groupings[] = {
    {"?", GroupsRight},   {":", GroupsRight},   {"=", GroupsRight},   {"*=", GroupsRight},
    {"/=", GroupsRight},  {"%=", GroupsRight},  {"+=", GroupsRight},  {"-=", GroupsRight},
    {"<<=", GroupsRight}, {">>=", GroupsRight}, {"&=", GroupsRight},  {"^=", GroupsRight},
    {"|=", GroupsRight},  {",", GroupsRight},
    {"||", GroupsLogical}, {"&&", GroupsLogical}, {"|", GroupsLogical}, {"^", GroupsLogical},
    {"&", GroupsLogical},
};

struct CharacterWord {
    char character;
    const char* word;
};
constexpr CharacterWord characterWords[] = {
    {'!', "_exclamation"}, {'<', "_less"},     {'#', "_hash"},       {'=', "_equal"},
    {'$', "_dollar"},      {'>', "_greater"},  {'%', "_percent"},    {'?', "_question"},
    {'&', "_amp"},         {'@', "_at"},       {'*', "_star"},       {'\\', "_backslash"},
    {'+', "_plus"},        {'^', "_circumflex"}, {',', "_comma"},    {'|', "_pipe"},
    {'-', "_minus"},       {'~', "_tilde"},    {'.', "_dot"},        {':', "_colon"},
    {'/', "_slash"},       {';', "_semicolon"},
};

constexpr const char* basicTypeNames[] = {
    "char",  "unsigned char",  "signed char",  "short",  "unsigned short",  "signed short",
    "int",   "unsigned int",   "signed int",   "long",   "unsigned long",   "signed long",
    "float", "unsigned float", "signed float", "double", "unsigned double", "signed double",
    "size_t", "ptr_diff",
};

constexpr char operatorChars[] = "`~!@#$%^&*-+=<>./?:\\|";

}  // namespace

bool isKnownOperator(const std::string& spelling) { return inList(knownOperators, spelling); }

bool isNamedOperator(const std::string& spelling) {
    if (spelling.empty() || isKnownOperator(spelling)) return false;
    for (char c : spelling)
        if (!isOperatorChar(static_cast<unsigned char>(c))) return false;
    return true;
}

int binaryPrecedence(const std::string& spelling) {
    for (const Precedence& row : precedences)
        if (spelling == row.spelling) return row.precedence;
    return isNamedOperator(spelling) ? namedOperatorPrecedence : 0;
}

int operatorGrouping(const std::string& spelling) {
    for (const Grouping& row : groupings)
        if (spelling == row.spelling) return row.grouping;
    return GroupsLeft;
}

std::string operatorFunctionName(const std::string& spelling) {
    std::string name = "operator";
    for (char c : spelling) {
        const char* word = nullptr;
        for (const CharacterWord& row : characterWords)
            if (row.character == c) word = row.word;
        if (!word) throw VORN_INTERNAL_ERROR("src/Operator", "illegal token in operator");
        name += word;
    }
    return name;
}

bool isBasicTypeName(const std::string& name) { return inList(basicTypeNames, name); }

bool isOperatorChar(int c) {
    return c > 0 && c < 128 && std::strchr(operatorChars, c) != nullptr;
}

template <size_t N>
static std::vector<std::string> spellings(const char* const (&list)[N]) {
    return std::vector<std::string>(list, list + N);
}

std::vector<std::string> knownOperatorSpellings() { return spellings(knownOperators); }
std::vector<std::string> basicTypeNameList() { return spellings(basicTypeNames); }

std::vector<std::string> precedenceSpellings() {
    std::vector<std::string> out;
    for (const Precedence& row : precedences) out.push_back(row.spelling);
    return out;
}

std::vector<std::string> groupingSpellings() {
    std::vector<std::string> out;
    for (const Grouping& row : groupings) out.push_back(row.spelling);
    return out;
}

std::string operatorWordCharacters() {
    std::string out;
    for (const CharacterWord& row : characterWords) out += row.character;
    return out;
}
