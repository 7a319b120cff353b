// The source front end's reading side: opens a module's ".vn" file and lexes it with the
// source configuration of the lexer. Takes a file path; gives a lexer positioned on the first
// token. It never parses; the grammar's caller does that with the stream it gets here.
#pragma once

#include <fstream>
#include <string>

#include <boost/shared_ptr.hpp>

#include "Lexer.hpp"

// The file of a SourceFileLexer; a base of its own so it is open before the Lexer base reads.
struct SourceFile {
    std::ifstream stream;
};

// A lexer over a file it opened itself, so the file stays open exactly as long as the tokens
// are read.
class SourceFileLexer : private SourceFile, public Lexer {
public:
    // `opened` tells whether the file could be opened; if not, the lexer read an empty input.
    SourceFileLexer(const std::string& path, LexerOptions options, int tabSize, bool& opened);
};

class VnFrontEnd {
public:
    explicit VnFrontEnd(int tabSize = 8) : tabSize(tabSize) {}

    // Opens `path` and returns its lexer; throws CompileError("Unable to open file") when the
    // file cannot be read.
    boost::shared_ptr<Lexer> openSource(const std::string& path) const;

    int tabSize;
};
