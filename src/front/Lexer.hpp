// The lexer: a TokenStream that turns the bytes of a source or header file into tokens.
// Takes a byte stream (owned by the caller), a file name and a set of LexerOptions; gives
// tokens one lexical item per fill, with indentation turned into "{" "}" block tokens when
// asked. It never throws for bad input: brace errors are queued as diagnostics and lexing
// goes on.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "tree/Token.hpp"

// Bits of the lexer configuration; the source front end and the preprocessor each pick a set.
enum LexerOption : std::uint16_t {
    OwnWords = 1,                 // the source language's word classes and keywords
    Indentation = 2,              // indentation and "{" "}" make blocks; statements end in "{" "}"
    SemicolonEndsStatement = 4,   // ";" ends a statement like a line end
    NestedComments = 8,           // "/+ ... +/", nesting
    VerbatimRegions = 32,         // "_HPP" and "_CPP" suspend statement structure
    KnownOperatorsOnly = 64,      // operator tokens grow only while C++ knows the spelling
    LineSplice = 128,             // backslash before a line end joins the lines
    WhitespaceTokens = 256,       // blanks and line ends become Whitespace tokens
    // C's preprocessing numbers, kept as written ("0x1fUL", "017", "1e-5f"), and literals
    // that end at an unescaped line end, as a C compiler reads a header.
    CTokens = 512,
    // With WhitespaceTokens: a blank is no token but marks the token after it (`blankBefore`);
    // only line ends stay tokens. What the preprocessor needs, at half the tokens.
    BlankFlags = 1024,
};
using LexerOptions = std::uint16_t;

const LexerOptions sourceLexerOptions =
    OwnWords | Indentation | SemicolonEndsStatement | NestedComments | VerbatimRegions;
const LexerOptions preprocessorLexerOptions = KnownOperatorsOnly | LineSplice | WhitespaceTokens;
// What the C preprocessor reads headers with: the set above plus C's own numbers and literals.
const LexerOptions cHeaderLexerOptions = preprocessorLexerOptions | CTokens;

// Kind of a word: keywords, and with ownWords the source language's type and macro names.
TokenKind classifyWord(const std::string& word, bool ownWords);

class Lexer : public TokenStream {
public:
    // The widest tab stop a run may ask for (-t); with it, indentation never overflows.
    static constexpr int maximumTabSize = 64;
    static constexpr int maximumIndent = 1 << 24;

    // Reads `input` until it is exhausted; `input` must outlive the lexer. The first token is
    // current when the constructor returns. Tabs in indentation advance to multiples of tabSize.
    Lexer(std::istream& input, const std::string& fileName, LexerOptions options, int tabSize = 8);

    void fill() override;
    std::string streamName() const override { return "lexer"; }
    bool bracesAreLayout() const override { return has(Indentation); }

    // C's "#line": the line after the current one is `nextLine` of `fileName`. Called between
    // lines, when no token of the next line has been read.
    void renumber(int nextLine, const std::string& fileName);
    const std::string& fileName() const { return *file; }

    struct Block {
        int indent;        // column of the block's lines; -1 for an explicit "{" block
        int openBrackets;  // "(" and "[" open in this block
    };
    std::vector<Block> indentStack;
    int verbatimDepth = 0;

private:
    // Character reader: bytes, with CR LF and a lone CR both arriving as one '\n'.
    int peekChar();
    void skipSplices();
    int getChar();
    void ungetChar(int c);
    void skipByteOrderMark();

    bool has(LexerOptions bit) const { return (options & bit) != 0; }
    // A token read from the input, located where it began.
    void append(TokenKind kind, std::string&& text);
    // A block token the lexer makes up, located on the given line.
    void appendAt(TokenKind kind, const char* text, int atLine);
    void push(TokenKind kind, std::string&& text, int atLine, int atColumn);

    void beginToken(TokenKind coming);
    void endStatement();
    void openBlock(int indent);
    void closeBlock();
    void emitSpace(const char* text);
    void endOfInput();

    void readBracket(int c);
    void closeBlocksInsideBracket();
    void readClosingBrace();
    void readLineComment();
    void reportUnterminated(const char* what, int atLine, int atColumn);
    void readBlockComment();
    void readNestedComment();
    void readNumber(int c);
    void readDecimalDigits(std::string& text);
    void readIntegerSuffix(std::string& text);
    void readPreprocessingNumber(int c);
    void readWord(int c);
    void readString(int quote);
    void readOperator(int c);
    bool commentStartsAfterSlash();

    std::streambuf* input;
    LexerOptions options;
    int tabSize;
    const std::string* file;
    SourceLocation fileStart;  // the file's number looked up once, not for every token
    SourceLocation locationAt(int atLine, int atColumn) const {
        SourceLocation at = fileStart;
        at.line = atLine;
        at.column = atColumn;
        return at;
    }
    int pushedBack[3];          // bytes put back by ungetChar, last one read first
    int pushedCount = 0;
    bool atLineStart = true;
    bool inputEnded = false;    // end of input has been run; later fills add only EndOfFile
    int lineIndent = 0;
    int line = 1;
    int currentColumn = 0;
    int tokenLine = 1;          // where the token being read began
    int tokenColumn = 0;
    int statementEndLine = 1;   // line on which the last real token ended
    // A blank is held back until the next item shows whether it is needed, so a trailing blank
    // never has to be taken back out of the list after the parser has stood on it.
    bool pendingBlank = false;
    int blankLine = 0;
    int blankColumn = 0;
};
