// The macros of an imported header as declarations: a small reader of C expressions over a
// macro's replacement tokens that tells whether it is a value and, where it can, its C++ type.
// Takes the preprocessor's macro table and the parsed header; gives table entries only (no
// statement: the header itself is what C++ reads). Never replaces a declaration of the header.
#include "front/HeaderMacros.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <set>
#include <boost/make_shared.hpp>

#include "tree/NodeDispatch.hpp"

namespace {

typedef std::unordered_map<std::string, PreProcessor::MacroPtr> MacroTable;

// Replacement texts nested deeper than this are not typed; real headers stay far below it.
const int maxNesting = 64;

SimpleTypeExprPtr basicType(const std::string& name) {
    SimpleTypeExprPtr type = boost::make_shared<SimpleTypeExpr>();
    type->name = name;
    return type;
}

TypeExpressionPtr around(TypeOperatorType kind, const TypeExpressionPtr& operand) {
    TypeOperatorPtr type = boost::make_shared<TypeOperator>();
    type->kind = kind;
    type->operand = operand;
    return type;
}

// The arithmetic types by conversion rank, as C++ orders them for the usual conversions.
const char* const arithmeticRanks[] = {"Int", "UInt", "Long", "ULong", "LongLong", "ULongLong",
                                       "Float", "Double", "LongDouble"};
const char* const promotedToInt[] = {"Bool", "Char", "UChar", "Short", "UShort", "SChar"};

const SimpleTypeExpr* simpleOf(const TypeExpressionPtr& type) { return nodeCast<SimpleTypeExpr>(type.get()); }

// The rank of an arithmetic type after promotion; -1 for any other type. An enum is an int.
int rankOf(const TypeExpressionPtr& type) {
    const SimpleTypeExpr* simple = simpleOf(type);
    if (!simple) return -1;
    if (nodeCast<EnumDeclaration>(simple->declaration)) return 0;
    for (const char* name : promotedToInt)
        if (simple->name == name) return 0;
    for (int i = 0; i < static_cast<int>(std::size(arithmeticRanks)); ++i)
        if (simple->name == arithmeticRanks[i]) return i;
    return -1;
}

TypeExpressionPtr promoted(const TypeExpressionPtr& type) {
    const int rank = rankOf(type);
    return rank < 0 ? TypeExpressionPtr() : basicType(arithmeticRanks[rank]);
}

TypeExpressionPtr commonType(const TypeExpressionPtr& left, const TypeExpressionPtr& right) {
    const int a = rankOf(left), b = rankOf(right);
    if (a < 0 || b < 0) return TypeExpressionPtr();
    return basicType(arithmeticRanks[std::max(a, b)]);
}

bool hasSuffixLetter(const std::string& suffix, char letter) {
    for (char c : suffix)
        if ((c | 0x20) == letter) return true;
    return false;
}

// A number as C++ types it: the suffix, then whether the value fits in 32 bits.
TypeExpressionPtr numberType(const std::string& text) {
    const bool hex = text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const bool floating = text.find('.') != std::string::npos ||
                          (!hex && text.find_first_of("eE") != std::string::npos) ||
                          (hex && text.find_first_of("pP") != std::string::npos);
    size_t digitsEnd = text.size();
    while (digitsEnd > 0 && std::strchr("uUlLfF", text[digitsEnd - 1]) && !(hex && (text[digitsEnd - 1] | 0x20) == 'f'))
        --digitsEnd;
    const std::string suffix = text.substr(digitsEnd);
    if (floating) {
        if (hasSuffixLetter(suffix, 'f')) return basicType("Float");
        if (hasSuffixLetter(suffix, 'l')) return basicType("LongDouble");
        return basicType("Double");
    }
    const bool isUnsigned = hasSuffixLetter(suffix, 'u');
    int longs = 0;
    for (char c : suffix) longs += (c | 0x20) == 'l';
    const unsigned long long value = std::strtoull(text.substr(0, digitsEnd).c_str(), nullptr, 0);
    const bool decimal = text[0] != '0' || text.size() == 1;
    if (longs >= 2) return basicType(isUnsigned ? "ULongLong" : "LongLong");
    if (longs == 1) return basicType(isUnsigned || (!decimal && value > 0x7fffffffffffffffULL) ? "ULong" : "Long");
    if (value <= 0x7fffffffULL && !isUnsigned) return basicType("Int");
    if (value <= 0xffffffffULL && (isUnsigned || !decimal)) return basicType("UInt");
    return basicType(isUnsigned || (!decimal && value > 0x7fffffffffffffffULL) ? "ULong" : "Long");
}

bool isTypeKeyword(const std::string& word) {
    static const std::set<std::string> words{"void", "char", "short", "int", "long", "float", "double", "signed",
                                             "unsigned", "bool", "_Bool", "const", "volatile", "struct", "union",
                                             "enum", "wchar_t"};
    return words.count(word) != 0;
}

bool startsName(const Token& t) {
    return (t.kind == Name || t.kind == TypeName || t.kind == MacroName) && !t.text.empty() &&
           (std::isalpha(static_cast<unsigned char>(t.text[0])) || t.text[0] == '_');
}

// What the reader knows of the header: its declarations by C name and its macros.
struct HeaderContext {
    const MacroTable& macros;
    std::map<std::string, Declaration*> declared;
    std::map<std::string, TypeExpressionPtr> typedMacros;  // results so far, null for untyped
    std::set<std::string> reading;                          // macros being typed, against cycles
};

// Reads one replacement list as an expression. `ok` turns false on anything that is not one
// (a keyword, a statement, a type alone); the type is null where it cannot be told.
class ExpansionReader {
public:
    ExpansionReader(const std::vector<Token>& tokens, const std::vector<std::string>& parameters,
                    HeaderContext& context, int depth)
        : tokens(tokens), parameters(parameters), context(context), depth(depth) {}

    TypeExpressionPtr readWhole() {
        TypeExpressionPtr type = expression();
        if (at < tokens.size()) ok = false;
        return type;
    }
    bool ok = true;

private:
    const std::vector<Token>& tokens;
    const std::vector<std::string>& parameters;
    HeaderContext& context;
    int depth;
    size_t at = 0;
    int nesting = 0;

    const Token* peek(size_t ahead = 0) const { return at + ahead < tokens.size() ? &tokens[at + ahead] : nullptr; }
    bool is(const char* text, size_t ahead = 0) const {
        const Token* t = peek(ahead);
        return t && t->text == text && t->kind != String;
    }
    bool take(const char* text) {
        if (!is(text)) return false;
        ++at;
        return true;
    }
    void fail() {
        ok = false;
        at = tokens.size();
    }

    // Binary operators from the loosest to the tightest; each level a list of spellings.
    TypeExpressionPtr binary(int level) {
        static const std::vector<std::vector<const char*>> levels{
            {"||"}, {"&&"}, {"|"}, {"^"}, {"&"}, {"==", "!="}, {"<", ">", "<=", ">="}, {"<<", ">>"}, {"+", "-"},
            {"*", "/", "%"}};
        if (level == static_cast<int>(levels.size())) return unary();
        TypeExpressionPtr left = binary(level + 1);
        for (;;) {
            const char* op = nullptr;
            for (const char* each : levels[level])
                if (is(each)) op = each;
            if (!op || !ok) return left;
            ++at;
            TypeExpressionPtr right = binary(level + 1);
            const std::string spelled = op;
            if (level <= 1 || level == 5 || level == 6)
                left = basicType("Bool");
            else if (level == 7)
                left = promoted(left);
            else if ((spelled == "+" || spelled == "-") && rankOf(left) < 0 && rankOf(right) >= 0)
                left = nodeCast<TypeOperator>(left.get()) ? left : TypeExpressionPtr();  // a pointer moved on
            else
                left = commonType(left, right);
        }
    }

    TypeExpressionPtr expression() {
        if (++nesting > maxNesting) {
            fail();
            return TypeExpressionPtr();
        }
        TypeExpressionPtr condition = binary(0);
        TypeExpressionPtr result = condition;
        if (ok && take("?")) {
            TypeExpressionPtr whenTrue = expression();
            if (!take(":")) fail();
            TypeExpressionPtr whenFalse = expression();
            const SimpleTypeExpr* a = simpleOf(whenTrue);
            const SimpleTypeExpr* b = simpleOf(whenFalse);
            result = a && b && a->name == b->name ? whenTrue : commonType(whenTrue, whenFalse);
        }
        --nesting;
        return result;
    }

    // A type named in a cast: C's words, a header's type name, const and stars.
    bool castAhead() const {
        if (!is("(")) return false;
        size_t i = 1;
        bool sawType = false, sawUnknownName = false;
        for (; peek(i) && !is(")", i); ++i) {
            const Token& t = *peek(i);
            if (t.text == "*" && t.kind != String) continue;
            if (isTypeKeyword(t.text)) {
                sawType = true;
                continue;
            }
            if (!startsName(t) || isParameter(t.text) || context.macros.count(t.text)) return false;
            auto declared = context.declared.find(t.text);
            if (declared != context.declared.end()) {
                if (!nodeCast<TypeDeclaration>(declared->second)) return false;
                sawType = true;
            } else {
                sawUnknownName = true;
            }
        }
        if (!peek(i) || i == 1) return false;
        if (sawType) return true;
        // (name)x: a name C would only put in parentheses before an operand if it were a type.
        const Token* next = peek(i + 1);
        return sawUnknownName && i == 2 && next && (next->kind == Number || next->kind == String || startsName(*next) || next->text == "(");
    }

    TypeExpressionPtr castType() {
        take("(");
        std::string words;
        int longs = 0;
        bool isUnsigned = false, constant = false;
        TypeExpressionPtr named;
        int stars = 0;
        while (!is(")")) {
            const std::string word = peek()->text;
            ++at;
            if (word == "*") ++stars;
            else if (word == "const") constant = true;
            else if (word == "unsigned") isUnsigned = true;
            else if (word == "long") ++longs;
            else if (word == "volatile" || word == "signed" || word == "struct" || word == "union" || word == "enum") continue;
            else if (isTypeKeyword(word)) words = word;
            else named = headerType(word);
        }
        take(")");
        TypeExpressionPtr type = named;
        if (!type) {
            static const std::map<std::string, std::string> plain{{"char", "Char"}, {"short", "Short"},
                                                                  {"float", "Float"}, {"double", "Double"},
                                                                  {"void", "Void"}, {"bool", "Bool"},
                                                                  {"_Bool", "Bool"}, {"wchar_t", "wchar_t"}};
            std::string name = words.empty() || words == "int" ? "Int" : plain.at(words);
            if (longs == 1 && name == "Double") name = "LongDouble";
            else if (longs == 1) name = "Long";
            else if (longs >= 2) name = "LongLong";
            if (isUnsigned && (name == "Char" || name == "Short" || name == "Int" || name == "Long" || name == "LongLong"))
                name = "U" + name;
            type = basicType(name);
        }
        if (constant) type = around(ConstType, type);
        for (int i = 0; i < stars; ++i) type = around(PointerType, type);
        return type;
    }

    // A header's own type is resolved here, where its name is the C one; the program may know
    // it by another.
    TypeExpressionPtr headerType(const std::string& name) {
        SimpleTypeExprPtr type = basicType(name);
        auto declared = context.declared.find(name);
        if (declared != context.declared.end()) {
            type->declaration = declared->second;
            type->processed = true;
        }
        return type;
    }

    bool isParameter(const std::string& name) const {
        return std::find(parameters.begin(), parameters.end(), name) != parameters.end() || name == "__VA_ARGS__";
    }

    TypeExpressionPtr unary() {
        // Prefix operators and casts nest without brackets: bounded like the brackets.
        struct Depth {
            int& level;
            explicit Depth(int& level) : level(++level) {}
            ~Depth() { --level; }
        } depthGuard(nesting);
        const Token* t = peek();
        if (nesting > maxNesting || !t) {
            fail();
            return TypeExpressionPtr();
        }
        if (t->kind != String) {
            if (t->text == "-" || t->text == "+" || t->text == "~") {
                ++at;
                return promoted(unary());
            }
            if (t->text == "!") {
                ++at;
                unary();
                return basicType("Bool");
            }
            if (t->text == "*") {
                ++at;
                TypeExpressionPtr pointer = unary();
                const TypeOperator* op = nodeCast<TypeOperator>(pointer.get());
                return op && op->kind == PointerType ? op->operand : TypeExpressionPtr();
            }
            if (t->text == "&") {
                ++at;
                TypeExpressionPtr object = unary();
                return object ? around(PointerType, object) : object;
            }
            if (t->text == "sizeof") {
                ++at;
                if (castAhead())
                    castType();
                else
                    unary();
                return basicType("ULong");
            }
            if (castAhead()) {
                TypeExpressionPtr type = castType();
                unary();
                return type;
            }
        }
        return postfix(primary());
    }

    TypeExpressionPtr postfix(TypeExpressionPtr type) {
        while (ok) {
            if (take("(")) {
                while (ok && !is(")")) {
                    expression();
                    if (!is(")") && !take(",")) fail();
                }
                if (!take(")")) fail();
                type = calledResult;
                calledResult.reset();
            } else if (take("[")) {
                expression();
                if (!take("]")) fail();
                type.reset();
            } else if (is(".") || is("->")) {
                ++at;
                if (!peek() || !startsName(*peek())) fail();
                ++at;
                type.reset();
            } else {
                return type;
            }
        }
        return type;
    }

    // Set by a name that is called next: what the call gives.
    TypeExpressionPtr calledResult;

    TypeExpressionPtr primary() {
        const Token& t = *peek();
        if (t.kind == Number) {
            ++at;
            return numberType(t.text);
        }
        if (t.kind == String) {
            bool character = t.text[0] == '\'';
            while (peek() && peek()->kind == String) ++at;
            return basicType(character ? "Char" : "const char*");
        }
        if (take("(")) {
            TypeExpressionPtr inner = expression();
            if (!take(")")) fail();
            return inner;
        }
        if (!startsName(t) || isTypeKeyword(t.text) || isStatementWord(t.text)) {
            fail();
            return TypeExpressionPtr();
        }
        ++at;
        const bool called = is("(");
        if (isParameter(t.text)) return TypeExpressionPtr();
        auto macro = context.macros.find(t.text);
        if (macro != context.macros.end() && macro->second && macro->second->functionLike == called) {
            TypeExpressionPtr result = macroType(t.text, *macro->second, context, depth + 1);
            if (called) calledResult = result;
            return result;
        }
        auto declared = context.declared.find(t.text);
        if (declared == context.declared.end()) return TypeExpressionPtr();
        if (FunctionDeclaration* function = nodeCast<FunctionDeclaration>(declared->second)) {
            if (called) calledResult = function->type;
            return TypeExpressionPtr();
        }
        if (nodeCast<TypeDeclaration>(declared->second) && !called) fail();
        if (DataDeclaration* data = nodeCast<DataDeclaration>(declared->second)) return data->type;
        return TypeExpressionPtr();
    }

    static bool isStatementWord(const std::string& word) {
        static const std::set<std::string> words{"do", "while", "for", "if", "else", "return", "switch", "case",
                                                 "break", "continue", "goto", "extern", "static", "inline",
                                                 "typedef", "__attribute__", "__declspec", "__extension__",
                                                 "__inline", "__inline__", "asm", "__asm__", "register", "auto"};
        return words.count(word) != 0;
    }

public:
    // The type of a macro's replacement, remembered; null when it is no value or untyped.
    static TypeExpressionPtr macroType(const std::string& name, const PreProcessor::Macro& macro,
                                       HeaderContext& context, int depth) {
        auto known = context.typedMacros.find(name);
        if (known != context.typedMacros.end()) return known->second;
        if (depth > maxNesting || !context.reading.insert(name).second) return TypeExpressionPtr();
        ExpansionReader reader(macro.body, macro.parameters, context, depth);
        TypeExpressionPtr type = macro.body.empty() ? TypeExpressionPtr() : reader.readWhole();
        if (!reader.ok) type.reset();
        context.reading.erase(name);
        context.typedMacros[name] = type;
        return type;
    }

    static bool isValue(const PreProcessor::Macro& macro, HeaderContext& context) {
        if (macro.body.empty()) return false;
        ExpansionReader reader(macro.body, macro.parameters, context, 0);
        reader.readWhole();
        return reader.ok;
    }
};

std::set<std::string> predefinedNames(const std::string& predefines) {
    std::set<std::string> names;
    size_t at = 0;
    while ((at = predefines.find("#define ", at)) != std::string::npos) {
        at += 8;
        size_t end = at;
        while (end < predefines.size() && (std::isalnum(static_cast<unsigned char>(predefines[end])) || predefines[end] == '_'))
            ++end;
        names.insert(predefines.substr(at, end - at));
    }
    return names;
}

std::string replacementText(const PreProcessor::Macro& macro) {
    std::string text;
    for (size_t i = 0; i < macro.body.size(); ++i) {
        if (i > 0 && i < macro.blankBefore.size() && macro.blankBefore[i]) text += ' ';
        text += macro.body[i].text;
    }
    return text;
}

}  // namespace

void enterHeaderMacros(const MacroTable& macros, const std::string& predefines, Module& module) {
    if (!module.block) return;
    Block& block = *module.block;
    HeaderContext context{macros, {}, {}, {}};
    for (const auto& entry : block.names)
        if (entry.second) context.declared.emplace(entry.second->name, entry.second.get());
    const std::set<std::string> predefined = predefinedNames(predefines);
    // In name order, so that the table and any message come out the same on every run.
    std::map<std::string, PreProcessor::MacroPtr> ordered(macros.begin(), macros.end());
    for (const auto& entry : ordered) {
        const std::string& name = entry.first;
        const PreProcessor::Macro* macro = entry.second.get();
        if (!macro || name.empty() || name[0] == '_' || predefined.count(name) || context.declared.count(name)) continue;
        if (!macro->functionLike && !ExpansionReader::isValue(*macro, context)) continue;
        boost::shared_ptr<CppConstantMacroDeclaration> declaration = boost::make_shared<CppConstantMacroDeclaration>();
        declaration->name = name;
        declaration->value = replacementText(*macro);
        declaration->functionLike = macro->functionLike;
        TypeExpressionPtr type = ExpansionReader::macroType(name, *macro, context, 0);
        if (macro->functionLike) {
            FuncTypePtr function = boost::make_shared<FuncType>();
            function->result = type;
            type = function;
        }
        declaration->type = type;
        declaration->access = Public;
        declaration->location = macro->body.empty() ? module.location : macro->body.front().location;
        declaration->parent = &block;
        declaration->place.memberContext = &block;
        declaration->place.statementSlot.block = &block;
        declaration->processed = true;
        const std::string known = currentIncludeModule ? currentIncludeModule->importedName(name) : name;
        block.names.emplace(known, declaration);
    }
}
