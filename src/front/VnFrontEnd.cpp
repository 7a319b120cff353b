// Opening ".vn" files for the lexer and parsing them into modules. A file that cannot be opened
// is the caller's error to report; the lexer itself never sees a missing file.
#include "front/VnFrontEnd.hpp"

#include "base/ModuleName.hpp"
#include "front/Grammar.hpp"
#include "tree/ParentFinder.hpp"
#include "platform/Platform.hpp"

#include <ios>
#include <limits>

namespace {
// Opens the file before the Lexer base exists; the flag carries the outcome to the caller.
// A directory opens on some systems but reads as nothing, a pipe may never end and a device may
// never stop giving bytes: only a regular file counts as openable.
std::ifstream& openSourceFile(std::ifstream& file, const std::string& path, bool& opened) {
    opened = false;
    if (!platform::isRegularFile(path)) return file;
    // Binary, so every platform sees the same bytes; the lexer itself folds CR LF.
    file.open(path, std::ios::in | std::ios::binary);
    opened = file.is_open();
    return file;
}
}  // namespace

SourceFileLexer::SourceFileLexer(const std::string& path, LexerOptions options, int tabSize,
                                 bool& opened)
    : SourceFile(), Lexer(openSourceFile(stream, path, opened), path, options, tabSize) {}

namespace {
std::istringstream& heldStream(std::istringstream& stream, const std::string& text) {
    stream.str(text);
    return stream;
}
}  // namespace

HeldTextLexer::HeldTextLexer(const std::string& text, const std::string& path, LexerOptions options, int tabSize)
    : HeldText(), Lexer(heldStream(stream, text), path, options, tabSize) {}

boost::shared_ptr<Lexer> VnFrontEnd::openSource(const std::string& path) const {
    auto held = heldTexts.find(path);
    if (held != heldTexts.end())
        return boost::shared_ptr<Lexer>(new HeldTextLexer(held->second, path, sourceLexerOptions, tabSize));
    bool opened = false;
    boost::shared_ptr<Lexer> lexer(new SourceFileLexer(path, sourceLexerOptions, tabSize, opened));
    if (!opened) throw CompileError("Unable to open file");
    return lexer;
}

ModulePtr VnFrontEnd::loadModule(const std::string& path, const std::string& moduleName, bool declarationsOnly) const {
    boost::shared_ptr<Lexer> lexer = openSource(path);
    ModulePtr module = parseModule(*lexer, moduleName, declarationsOnly);
    if (module) module->declarationsOnly = declarationsOnly;
    return module;
}

ModulePtr VnFrontEnd::loadModule(const ModuleName& name) { return load(name, false); }

ModulePtr VnFrontEnd::loadDeclarations(const ModuleName& name) { return load(name, true); }

ModulePtr VnFrontEnd::load(const ModuleName& name, bool declarationsOnly) {
    std::string path = sourcePath(name, "vn");
    ModulePtr module;
    try {
        module = loadModule(path, dottedName(name), declarationsOnly);
    } catch (const CompileError& error) {
        reportError(error.message, SourceLocation(internFileName(path), -1, -1));
        return ModulePtr();
    } catch (const std::ios_base::failure&) {
        // The file opened but a read failed (an I/O error, a special file): the library's own
        // text would not say which file.
        reportError("Unable to read file", SourceLocation(internFileName(path), -1, -1));
        return ModulePtr();
    }
    if (module) ParentFinder().linkModule(*module);
    return module;
}

platform::FileTime VnFrontEnd::sourceTime(const ModuleName& name) {
    const std::string path = sourcePath(name, "vn");
    // A held text is newer than anything written from the file: it is always read.
    if (heldTexts.count(path)) return std::numeric_limits<platform::FileTime>::max();
    const platform::FileTime time = platform::modificationTime(path);
    return time != 0 && platform::nameMatchesExactly(path) ? time : 0;
}
