// The source front end: opens a module's ".vn" file, lexes it with the source configuration of
// the lexer and parses it with the source grammar. Takes a file path; gives a lexer positioned
// on the first token, or the parsed Module. Syntax errors go to the diagnostics list; only a
// file that cannot be opened is thrown.
#pragma once

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <boost/shared_ptr.hpp>

#include "tree/Ast.hpp"
#include "tree/FrontEnd.hpp"
#include "front/Lexer.hpp"

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

// The text of a HeldTextLexer; a base of its own so it is there before the Lexer base reads.
struct HeldText {
    std::istringstream stream;
};

// A lexer over a text held in memory, which it keeps as long as the tokens are read.
class HeldTextLexer : private HeldText, public Lexer {
public:
    HeldTextLexer(const std::string& text, const std::string& path, LexerOptions options, int tabSize);
};

class VnFrontEnd : public FrontEnd {
public:
    explicit VnFrontEnd(int tabSize = 8) : tabSize(tabSize) {}

    // The build manager's entry: parses the name's ".vn" file and links the tree (back links
    // and declaration tables). A file that cannot be opened is queued as an error at the file.
    ModulePtr loadModule(const ModuleName& name) override;
    // The same with every function body stepped over unread.
    ModulePtr loadDeclarations(const ModuleName& name) override;
    // Modification time of the name's ".vn" file, 0 when there is none.
    platform::FileTime sourceTime(const ModuleName& name) override;

    // Opens `path` and returns its lexer; throws CompileError("Unable to open file") when the
    // file cannot be read.
    boost::shared_ptr<Lexer> openSource(const std::string& path) const;

    // Builds (once) and selects the source grammar, lexes and parses `path`, and stores
    // `moduleName` in the module. The module's `complete` flag tells whether the text was one
    // module body up to the end of the file; syntax errors are queued, not thrown.
    ModulePtr loadModule(const std::string& path, const std::string& moduleName, bool declarationsOnly = false) const;

    int tabSize;
    // Texts that stand for files by their paths: an editor's unsaved buffers, read instead of
    // the disk. Filled by the language server before an analysis.
    std::map<std::string, std::string> heldTexts;

private:
    ModulePtr load(const ModuleName& name, bool declarationsOnly);
};
