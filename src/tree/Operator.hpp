// The operator vocabulary shared by the lexers, the expression parsers and the C++ emitter:
// which spellings C++ knows, binary precedence and grouping, the identifier that stands for an
// operator spelling, and the basic type names. Pure lookups over fixed tables; no state, and
// never a decision about what the user meant.
#pragma once

#include <string>
#include <vector>

// True for the spellings that C++ itself can write as operators.
bool isKnownOperator(const std::string& spelling);

// An operator spelling that C++ lacks (such as "<=>" or "+-"): made of operator characters,
// not a C++ operator. It is a binary operator that becomes a call of its mangled name.
bool isNamedOperator(const std::string& spelling);

// Named operators bind tighter than comparisons and looser than shifts and arithmetic, and
// group to the left: a + 1 <=> b == 0 is ((a + 1) <=> b) == 0.
constexpr int namedOperatorPrecedence = 105;

// Binary precedence; -2 marks a spelling that ends an expression, 0 one that is no binary operator.
int binaryPrecedence(const std::string& spelling);

// 0 groups to the left, 1 to the right, 3 marks the logical and bitwise operators that must not
// be mixed without parentheses.
enum OperatorGroupingClass { GroupsLeft = 0, GroupsRight = 1, GroupsLogical = 3 };
int operatorGrouping(const std::string& spelling);

// "operator" followed by one word per character, e.g. "+=" gives "operator_plus_equal".
// A character without a word is an internal error ("illegal token in operator").
std::string operatorFunctionName(const std::string& spelling);

// True for the built-in arithmetic type names ("int", "unsigned long", "size_t", ...).
bool isBasicTypeName(const std::string& name);

// The characters that make up operator tokens in the lexer: the backquote and ~!@#$%^&*-+=<>./?:\|
bool isOperatorChar(int c);

// The rows of the tables above, so their invariants (each spelling listed once) are checked once.
std::vector<std::string> knownOperatorSpellings();
std::vector<std::string> basicTypeNameList();
std::vector<std::string> precedenceSpellings();
std::vector<std::string> groupingSpellings();
std::string operatorWordCharacters();
