// The lexer: one lexical item per fill. Indentation becomes "{" "}" pairs here, so the grammar
// only ever sees braces; every statement is followed by a block, its body or an empty pair.
#include "front/Lexer.hpp"

#include <limits>

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "tree/Operator.hpp"

namespace {

// Character classes of the "C" locale, on byte values; bytes above 127 are neither.
bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isLetter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isWordChar(int c) { return isLetter(c) || isDigit(c) || c == '_'; }
bool isHexDigit(int c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v'; }
bool isDecimalChar(int c) { return c > 0 && std::strchr("0123456789feFE.", c) != nullptr; }
bool isExponent(int c) { return c == 'e' || c == 'E'; }
bool isFloatStart(int c) { return isExponent(c) || c == 'f' || c == 'F'; }
// The text of a one-byte token; push_back is inline where the (count, char) constructor is not,
// which shows in the lexer's profile.
std::string oneChar(int c) {
    std::string text;
    text.push_back(static_cast<char>(c));
    return text;
}

constexpr std::string_view keywords[] = {
    "static", "virtual", "public", "private", "protected", "inline", "mutable", "if",
    "else", "enum", "class", "const", "volatile", "break", "continue", "new",
    "delete", "try", "catch", "throw", "return", "operator",
};
constexpr std::string_view ownKeywords[] = {"alias", "import", "abstract", "noinline"};
constexpr std::string_view cppKeywords[] = {
    "template", "struct", "union", "auto", "friend", "register", "typedef", "typename",
    "signed", "unsigned",
};

// The keywords of one table by first letter: a word is compared only with the few that could
// be it, since nearly every word the lexer reads is a plain name.
class KeywordIndex {
public:
    template <size_t N>
    explicit KeywordIndex(const std::string_view (&list)[N]) {
        for (std::string_view w : list) byLetter[static_cast<unsigned char>(w[0])].push_back(w);
    }
    bool contains(std::string_view word) const {
        if (word.empty()) return false;
        for (std::string_view w : byLetter[static_cast<unsigned char>(word[0])])
            if (word == w) return true;
        return false;
    }

private:
    std::vector<std::string_view> byLetter[256];
};

const KeywordIndex commonKeywordIndex(keywords);
const KeywordIndex ownKeywordIndex(ownKeywords);
const KeywordIndex cppKeywordIndex(cppKeywords);

// The binary digits after "0b" as text: decimal while the value fits in 64 bits, beyond that
// the same bits in hexadecimal, so a long literal never silently wraps to another value.
std::string binaryLiteralText(const std::string& digits) {
    size_t first = digits.find('1');
    if (first == std::string::npos) return "0";
    std::string bits = digits.substr(first);
    if (bits.size() <= 64) {
        std::uint64_t value = 0;
        for (char b : bits) value = value * 2 + static_cast<std::uint64_t>(b - '0');
        return std::to_string(value);
    }
    std::string hex = "0x";
    size_t lead = bits.size() % 4;
    for (size_t i = 0; i < bits.size();) {
        size_t width = i == 0 && lead != 0 ? lead : 4;
        int nibble = 0;
        for (size_t k = 0; k < width; ++k) nibble = nibble * 2 + (bits[i + k] - '0');
        hex += "0123456789ABCDEF"[nibble];
        i += width;
    }
    return hex;
}

}  // namespace

TokenKind classifyWord(const std::string& word, bool ownWords) {
    if (ownWords && !word.empty() && word[0] == '_') return MacroName;
    if (ownWords && !word.empty() && word[0] >= 'A' && word[0] <= 'Z') return TypeName;
    if (commonKeywordIndex.contains(word)) return Keyword;
    if ((ownWords ? ownKeywordIndex : cppKeywordIndex).contains(word)) return Keyword;
    if (word.empty()) return Name;
    int first = static_cast<unsigned char>(word[0]);
    if (isLetter(first) || first == '_') return Name;
    if (isOperatorChar(first)) return Operator;
    if (std::strchr("({[", first)) return OpeningBrace;
    if (std::strchr(")}]", first)) return ClosingBrace;
    return Name;
}

Lexer::Lexer(std::istream& in, const std::string& fileName, LexerOptions options, int tabSize)
    : input(in.rdbuf()), options(options), tabSize(tabSize < 1 ? 1 : tabSize),
      file(internFileName(fileName)), fileStart(file, 0, 0) {
    indentStack.push_back(Block{0, 0});
    skipByteOrderMark();
    advance();
}

// ---- Character reader ------------------------------------------------------------------

// C joins a line ending in a backslash to the next before it cuts tokens, so a splice may
// fall inside a name, a number, a literal or a comment: it is taken out here, below them all.
void Lexer::skipSplices() {
    while (input && input->sgetc() == '\\') {
        input->sbumpc();
        int next = input->sgetc();
        if (next != '\n' && next != '\r') {
            input->sungetc();
            return;
        }
        input->sbumpc();
        if (next == '\r' && input->sgetc() == '\n') input->sbumpc();
        if (line < std::numeric_limits<int>::max()) ++line;
        currentColumn = 0;
    }
}

int Lexer::peekChar() {
    if (pushedCount) return pushedBack[pushedCount - 1];
    int c = input ? input->sgetc() : std::char_traits<char>::eof();
    if (c == '\\' && has(LineSplice)) {
        skipSplices();
        c = input->sgetc();
    }
    if (c == std::char_traits<char>::eof()) return -1;
    return c == '\r' ? '\n' : c;
}

int Lexer::getChar() {
    int c;
    if (pushedCount) {
        c = pushedBack[--pushedCount];
    } else {
        // Splices are looked for only at a backslash, so that other characters cost nothing.
        if (input && input->sgetc() == '\\' && has(LineSplice)) skipSplices();
        c = input ? input->sbumpc() : std::char_traits<char>::eof();
        if (c == std::char_traits<char>::eof()) return -1;
        // A Windows line end is one line end; so is a lone CR.
        if (c == '\r') {
            if (input->sgetc() == '\n') input->sbumpc();
            c = '\n';
        }
    }
    if (c == '\n') {
        if (line < std::numeric_limits<int>::max()) ++line;  // "#line 2147483647" is the last
        currentColumn = 0;
    } else {
        ++currentColumn;
    }
    return c;
}

void Lexer::renumber(int nextLine, const std::string& fileName) {
    line = nextLine;
    file = internFileName(fileName);
    fileStart = SourceLocation(file, 0, 0);
}

// Only ever called for a byte on the current line, never for a line end.
void Lexer::ungetChar(int c) {
    if (pushedCount == 3) throw VORN_INTERNAL_ERROR("src/Lexer", "too many characters put back");
    pushedBack[pushedCount++] = c;
    if (c == '\n')
        --line;  // a line end put back is counted again when it is read again
    else
        --currentColumn;
}

// Editors on Windows often start UTF-8 files with a byte order mark; it is not text.
void Lexer::skipByteOrderMark() {
    static const int mark[3] = {0xEF, 0xBB, 0xBF};
    int seen[3];
    int n = 0;
    while (n < 3 && peekChar() == mark[n]) seen[n++] = getChar();
    if (n < 3)
        while (n > 0) ungetChar(seen[--n]);
    currentColumn = 0;
}

// ---- Appending tokens --------------------------------------------------------------------

void Lexer::push(TokenKind kind, std::string&& text, int atLine, int atColumn) {
    bool blank = pendingBlank;
    if (pendingBlank) {
        pendingBlank = false;
        if (!has(BlankFlags)) emplace_back(Whitespace, " ", locationAt(blankLine, blankColumn));
    }
    emplace_back(kind, std::move(text), locationAt(atLine, atColumn));
    if (blank && has(BlankFlags)) back().blankBefore = true;
}

void Lexer::append(TokenKind kind, std::string&& text) {
    push(kind, std::move(text), tokenLine, tokenColumn);
    if (kind != Whitespace) statementEndLine = line;
}

void Lexer::appendAt(TokenKind kind, const char* text, int atLine) {
    push(kind, std::string(text), atLine, tokenColumn);
}

void Lexer::emitSpace(const char* text) {
    if (!has(WhitespaceTokens)) return;
    bool lineEnd = text[0] == '\n';
    if (pendingBlank) {
        if (!lineEnd) return;
        pendingBlank = false;  // the blank turns into the line end
    } else if (!empty() && back().kind == Whitespace) {
        return;
    }
    if (lineEnd) {
        append(Whitespace, "\n");
    } else {
        pendingBlank = true;
        blankLine = tokenLine;
        blankColumn = tokenColumn;
    }
}

// ---- Blocks ------------------------------------------------------------------------------

void Lexer::beginToken(TokenKind coming) {
    if (!atLineStart) return;
    atLineStart = false;
    if (empty() || !has(Indentation)) return;
    const Block top = indentStack.back();
    if (lineIndent < top.indent) {
        // Inside brackets a smaller indentation means nothing.
        if (top.openBrackets != 0) return;
        endStatement();
        while (lineIndent < indentStack.back().indent) closeBlock();
        // Deeper than the level it returns to, shallower than the one it left: which block the
        // line belongs to is a guess either way.
        if (lineIndent > indentStack.back().indent && indentStack.back().indent != -1)
            reportError("Syntax error, the indentation matches no open block", SourceLocation(file, tokenLine, tokenColumn));
        return;
    }
    TokenKind lastKind = back().kind;
    if (lastKind == Operator || lastKind == OpeningBrace || lastKind == Delimiter ||
        coming == ClosingBrace)
        return;  // the line continues the previous one
    if (lineIndent != top.indent && top.indent != -1) {
        openBlock(lineIndent);
        return;
    }
    if (top.openBrackets == 0) endStatement();
}

// The empty pair sits on the line where the statement ended, which is where a reader looks.
void Lexer::endStatement() {
    if (verbatimDepth != 0 || empty() || !has(Indentation)) return;
    const std::string& last = back().text;
    if (last.size() == 1 && (last[0] == '{' || last[0] == '}')) return;
    appendAt(OpeningBrace, "{", statementEndLine);
    appendAt(ClosingBrace, "}", statementEndLine);
}

void Lexer::openBlock(int indent) {
    appendAt(OpeningBrace, "{", indent == -1 ? tokenLine : statementEndLine);
    indentStack.push_back(Block{indent, 0});
    if (verbatimDepth != 0) ++verbatimDepth;
}

void Lexer::closeBlock() {
    appendAt(ClosingBrace, "}", tokenLine);
    indentStack.pop_back();
    if (verbatimDepth != 0 && --verbatimDepth == 1) verbatimDepth = 0;
}

// ---- One step ----------------------------------------------------------------------------

void Lexer::fill() {
    if (inputEnded) {
        push(EndOfFile, "\n", line, currentColumn);
        return;
    }
    tokenLine = line;
    tokenColumn = currentColumn;
    int c = getChar();
    if (c < 0) return endOfInput();
    if (atLineStart) {
        lineIndent = 0;
        while (c == ' ' || c == '\t') {
            // Saturates: a line of a billion blanks must not wrap round to a small indentation.
            if (lineIndent < maximumIndent)
                lineIndent = c == ' ' ? lineIndent + 1 : (lineIndent / tabSize + 1) * tabSize;
            tokenLine = line;
            tokenColumn = currentColumn;
            c = getChar();
            if (c < 0) return endOfInput();
        }
    }

    if (isBlank(c)) return emitSpace(" ");
    if (c == '\n') {
        emitSpace("\n");
        atLineStart = true;
        return;
    }
    switch (c) {
    case '(': case '[': case ')': case ']':
        return readBracket(c);
    case '{':
        beginToken(has(Indentation) ? Name : OpeningBrace);
        if (has(Indentation))
            openBlock(-1);
        else
            append(OpeningBrace, "{");
        return;
    case '}':
        return readClosingBrace();
    case ';':
        beginToken(Name);
        if (has(SemicolonEndsStatement) && verbatimDepth == 0)
            endStatement();
        else
            append(Delimiter, ";");
        return;
    case ',':
        beginToken(Name);
        return append(Delimiter, ",");
    case '/': {
        int next = peekChar();
        if (next == '/') return readLineComment();
        if (next == '*') return readBlockComment();
        if (next == '+' && has(NestedComments)) return readNestedComment();
        break;
    }
    default:
        break;
    }
    if (isDigit(c) || (c == '.' && isDigit(peekChar()))) return readNumber(c);
    if (isLetter(c) || c == '_') return readWord(c);
    if (c == '"' || c == '\'') return readString(c);
    readOperator(c);
}

void Lexer::readBracket(int c) {
    if (c == '(' || c == '[') {
        beginToken(OpeningBrace);
        append(OpeningBrace, oneChar(c));
        ++indentStack.back().openBrackets;
        if (verbatimDepth != 0) ++verbatimDepth;
        return;
    }
    beginToken(ClosingBrace);
    closeBlocksInsideBracket();
    append(ClosingBrace, oneChar(c));
    // A stray closing bracket must not leave the count below zero: every later dedent would be
    // taken for a line inside brackets and the rest of the file would join this statement.
    if (indentStack.back().openBrackets > 0) --indentStack.back().openBrackets;
    if (verbatimDepth != 0 && --verbatimDepth == 1) verbatimDepth = 0;
}

// A bracket closed on an indented line that opened a block inside it, as in "f(if x" followed
// by "    g())", also ends that block: the bracket was opened outside it. Left open, the block
// would keep the bracket's count at the outer level and swallow every following line.
void Lexer::closeBlocksInsideBracket() {
    if (!has(Indentation)) return;
    std::size_t owner = indentStack.size() - 1;
    while (owner > 0 && indentStack[owner].openBrackets == 0 && indentStack[owner].indent != -1) --owner;
    if (owner == indentStack.size() - 1 || indentStack[owner].openBrackets == 0) return;
    endStatement();
    while (indentStack.size() - 1 > owner) closeBlock();
}

// One "}" closes every indentation block down to and including the innermost explicit one.
void Lexer::readClosingBrace() {
    if (!has(Indentation)) {
        beginToken(ClosingBrace);
        return append(ClosingBrace, "}");
    }
    endStatement();
    beginToken(Name);
    while (!indentStack.empty()) {
        bool explicitBlock = indentStack.back().indent == -1;
        if (indentStack.size() == 1) {
            reportError("Syntax error, unexpected '}', too much closing braces",
                        SourceLocation(file, tokenLine, tokenColumn));
            return;
        }
        closeBlock();
        if (explicitBlock) return;
    }
}

// ---- Comments ----------------------------------------------------------------------------

void Lexer::readLineComment() {
    int c = getChar();
    while (c >= 0 && c != '\n') c = getChar();
    atLineStart = true;
    emitSpace("\n");
}

// A comment or literal open at the end of the input would take the rest of the file with it,
// and C++ would be written without all that follows: an error at its opening.
void Lexer::reportUnterminated(const char* what, int atLine, int atColumn) {
    reportError(std::string("Syntax error, unterminated ") + what, SourceLocation(file, atLine, atColumn));
}

void Lexer::readBlockComment() {
    const int openLine = tokenLine, openColumn = tokenColumn;
    getChar();
    bool closed = false;
    for (int c = getChar(); c >= 0 && !closed; c = getChar())
        if (c == '*' && peekChar() == '/') {
            getChar();
            closed = true;
            break;
        }
    if (!closed) reportUnterminated("comment", openLine, openColumn);
    emitSpace(" ");
}

void Lexer::readNestedComment() {
    const int openLine = tokenLine, openColumn = tokenColumn;
    getChar();
    int depth = 1;
    while (depth > 0) {
        int c = getChar();
        if (c < 0) {
            reportUnterminated("nested comment", openLine, openColumn);
            break;
        }
        if (c == '+' && peekChar() == '/') {
            getChar();
            --depth;
        } else if (c == '/' && peekChar() == '+') {
            getChar();
            ++depth;
        }
    }
    emitSpace(" ");
}

// ---- Numbers, words, strings, operators --------------------------------------------------

void Lexer::readNumber(int c) {
    if (has(CTokens)) return readPreprocessingNumber(c);
    std::string text;
    int next = peekChar();
    if (c == '0' && (next == 'x' || next == 'X')) {
        getChar();
        text = "0x";
        while (isHexDigit(peekChar())) text += static_cast<char>(getChar());
    } else if (c == '0' && (next == 'b' || next == 'B')) {
        getChar();
        std::string digits;
        while (peekChar() == '0' || peekChar() == '1') digits += static_cast<char>(getChar());
        text = binaryLiteralText(digits);
    } else if (c == '0' && (next == 'o' || next == 'O')) {
        getChar();
        text = "0";
        while (peekChar() >= '0' && peekChar() <= '7') text += static_cast<char>(getChar());
    } else if (c == '0') {
        // Leading zeros are dropped: a number is decimal whatever it starts with. A lone zero
        // before an exponent or a float suffix stays, or "0e5" would turn into the word "e5".
        while (peekChar() == '0') getChar();
        if (isFloatStart(peekChar())) text = "0";
        if (isDecimalChar(peekChar())) readDecimalDigits(text);
        if (text.empty()) text = "0";
    } else {
        text = static_cast<char>(c);
        readDecimalDigits(text);
    }
    const bool integer = text.compare(0, 2, "0x") == 0 || text.find_first_of(".eEfF") == std::string::npos;
    if (integer)
        readIntegerSuffix(text);
    else if (peekChar() == 'L')
        text += static_cast<char>(getChar());  // long double
    beginToken(Name);
    append(Number, std::move(text));
}

// C's integer suffixes, written through as they stand: u or U, l, L, ll or LL, in either order.
void Lexer::readIntegerSuffix(std::string& text) {
    auto unsignedMark = [this, &text] {
        if (peekChar() != 'u' && peekChar() != 'U') return false;
        text += static_cast<char>(getChar());
        return true;
    };
    auto longMark = [this, &text] {
        const int l = peekChar();
        if (l != 'l' && l != 'L') return false;
        text += static_cast<char>(getChar());
        if (peekChar() == l) text += static_cast<char>(getChar());  // "lL" is no suffix
        return true;
    };
    if (unsignedMark())
        longMark();
    else if (longMark())
        unsignedMark();
}

void Lexer::readDecimalDigits(std::string& text) {
    while (isDecimalChar(peekChar())) {
        int c = getChar();
        text += static_cast<char>(c);
        if (c == '.' && !isDigit(peekChar())) {
            // "1..5" and "1.x": the dot belongs to what follows.
            text.pop_back();
            ungetChar(c);
            return;
        }
        if (isExponent(c) && (peekChar() == '+' || peekChar() == '-')) {
            // The exponent's sign is part of the number ("1e-5"), but only before a digit.
            int sign = getChar();
            if (isDigit(peekChar()))
                text += static_cast<char>(sign);
            else
                ungetChar(sign);
        }
    }
}

// C's pp-number: digits, letters, "_", "." and a sign right after an exponent letter, so a
// header's "0xffffffffUL" or "1.5e-3f" is one token with its value intact.
void Lexer::readPreprocessingNumber(int c) {
    std::string text = oneChar(c);
    for (int next = peekChar(); isWordChar(next) || next == '.'; next = peekChar()) {
        text += static_cast<char>(getChar());
        char last = text.back();
        bool exponent = last == 'e' || last == 'E' || last == 'p' || last == 'P';
        if (exponent && (peekChar() == '+' || peekChar() == '-')) text += static_cast<char>(getChar());
    }
    beginToken(Name);
    append(Number, std::move(text));
}

void Lexer::readWord(int c) {
    std::string text = oneChar(c);
    // Straight from the buffer: a word never holds a line end, so only the column moves.
    if (pushedCount == 0 && input) {
        for (int next = input->sgetc(); isWordChar(next); next = input->snextc()) {
            text += static_cast<char>(next);
            ++currentColumn;
        }
    }
    while (isWordChar(peekChar())) text += static_cast<char>(getChar());
    beginToken(Name);
    bool opensRegion = has(VerbatimRegions) && text[0] == '_' && (text == "_HPP" || text == "_CPP");
    TokenKind kind = classifyWord(text, has(OwnWords));
    append(kind, std::move(text));
    if (opensRegion) ++verbatimDepth;
}

// A literal may span lines; its text then holds "\n" escapes in place of the line ends.
void Lexer::readString(int quote) {
    const int openLine = tokenLine, openColumn = tokenColumn;
    const char* const what = quote == '"' ? "string literal" : "character literal";
    std::string text(1, static_cast<char>(quote));
    for (int c = getChar();; c = getChar()) {
        if (c < 0) {
            reportUnterminated(what, openLine, openColumn);
            break;
        }
        if (c == quote) break;
        if (c == '\n' && (has(CTokens) || quote == '\'')) {
            // C ends an unterminated literal at its line, as a C compiler's lexer does (text in a
            // skipped conditional may hold a lone quote); a character never runs over a line.
            // The line end is read again as one.
            if (!has(CTokens)) reportUnterminated(what, openLine, openColumn);
            ungetChar(c);
            break;
        }
        if (c == '\n') {
            text += "\\n";
            continue;
        }
        text += static_cast<char>(c);
        if (c == '\\') {
            int escaped = getChar();
            if (escaped < 0) {
                reportUnterminated(what, openLine, openColumn);
                break;
            }
            text += static_cast<char>(escaped);
        }
    }
    text += static_cast<char>(quote);
    beginToken(Name);
    append(String, std::move(text));
}

// True when the next character is a "/" that starts a comment rather than continuing an
// operator; "x+// note" is "x", "+" and a comment, not the operator "+//".
bool Lexer::commentStartsAfterSlash() {
    int slash = getChar();
    int after = peekChar();
    ungetChar(slash);
    return after == '/' || after == '*' || (after == '+' && has(NestedComments));
}

void Lexer::readOperator(int c) {
    std::string text = oneChar(c);
    for (int next = peekChar(); isOperatorChar(next); next = peekChar()) {
        if (has(KnownOperatorsOnly) && !isKnownOperator(text + static_cast<char>(next))) break;
        if (next == '/' && commentStartsAfterSlash()) break;
        text += static_cast<char>(getChar());
    }
    beginToken(Operator);
    append(Operator, std::move(text));
}

// ---- End of input ------------------------------------------------------------------------

void Lexer::endOfInput() {
    tokenLine = line;
    tokenColumn = currentColumn;
    if (has(Indentation)) {
        endStatement();
        while (indentStack.size() > 1 && indentStack.back().indent != -1) closeBlock();
        if (indentStack.size() > 1)
            reportError("Syntax error, expected '}' at end of file",
                        SourceLocation(file, tokenLine, tokenColumn));
    }
    pendingBlank = false;  // a trailing blank is dropped
    push(EndOfFile, "\n", tokenLine, tokenColumn);
    inputEnded = true;
}
