// Operator facts as tables: each lookup asks one table (through an index made from it once), so
// a reviewer checks a row, not a chain of comparisons.
#include "tree/Operator.hpp"

#include <cstring>
#include <unordered_map>

#include "base/Diagnostics.hpp"

namespace {

// The tables below are asked for every operator the parser meets; scanning them compared each
// row's text in turn, so each is indexed once by its spelling. The first row of a spelling wins,
// as in a scan.
template <class Row, size_t N, class Key, class Value>
auto indexOf(const Row (&rows)[N], Key key, Value value) {
    std::unordered_map<std::string, decltype(value(rows[0]))> index;
    for (const Row& row : rows) index.emplace(key(row), value(row));
    return index;
}

template <size_t N>
std::unordered_map<std::string, bool> listIndex(const char* const (&list)[N]) {
    return indexOf(list, [](const char* row) { return row; }, [](const char*) { return true; });
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

bool isKnownOperator(const std::string& spelling) {
    static const auto index = listIndex(knownOperators);
    return index.count(spelling) != 0;
}

bool isNamedOperator(const std::string& spelling) {
    if (spelling.empty() || isKnownOperator(spelling)) return false;
    for (char c : spelling)
        if (!isOperatorChar(static_cast<unsigned char>(c))) return false;
    return true;
}

int binaryPrecedence(const std::string& spelling) {
    static const auto index = indexOf(precedences, [](const Precedence& row) { return row.spelling; },
                                [](const Precedence& row) { return row.precedence; });
    auto found = index.find(spelling);
    if (found != index.end()) return found->second;
    return isNamedOperator(spelling) ? namedOperatorPrecedence : 0;
}

int operatorGrouping(const std::string& spelling) {
    static const auto index = indexOf(groupings, [](const Grouping& row) { return row.spelling; },
                                [](const Grouping& row) { return row.grouping; });
    auto found = index.find(spelling);
    return found != index.end() ? found->second : GroupsLeft;
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

bool isBasicTypeName(const std::string& name) {
    static const auto index = listIndex(basicTypeNames);
    return index.count(name) != 0;
}

// Asked for nearly every byte the lexer reads: one lookup, not a search of the list.
bool isOperatorChar(int c) {
    static const struct Table {
        bool is[128] = {};
        Table() {
            for (const char* p = operatorChars; *p != 0; ++p) is[static_cast<unsigned char>(*p)] = true;
        }
    } table;
    return c > 0 && c < 128 && table.is[c];
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
