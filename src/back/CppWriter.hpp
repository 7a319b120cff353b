// Output writer: the one path every generated character takes, with the emission phases the
// emitter writes by, and the file that compares itself with the one it replaces.
// Takes text and source positions; gives files on disk and whether each equals its old content.
// Never decides what to write: the back end lays out the files, the emitter writes the nodes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/Diagnostics.hpp"

// Emission phases. Declarations test bits; the for loop's three passes are exact values.
enum EmitPhase : int {
    PhaseForward = 1,          // hpp2: forward declarations of classes and unions
    PhaseTypes = 2,            // hpp: top-level enums and type aliases
    PhaseDeclarations = 4,     // hpp: classes, function declarations, inline and template code
    PhaseImplementation = 8,   // cpp: definitions and top-level statements
    PhaseBody = 15,            // inside a function body: all four bits
    PhaseInitialisers = 16,    // the constructor initialiser list
    PhaseForInit = 32,
    PhaseForTest = 33,
    PhaseForStep = 34,
};

// Every generated file reaches its name by a rename, so a reader (another run, the compiler, the
// next run after a kill) finds the previous file whole or the new one whole, never a part.
// Writes the text to a fresh name beside `path` (platform::uniqueNameBeside); that name, or
// empty when the text could not be written whole (nothing is left behind then).
std::string writeBeside(const std::string& path, std::string_view text);
// Renames a file written beside into place; false, with the file deleted, when it cannot.
bool moveIntoPlace(const std::string& aside, const std::string& path);

// Writes a file while comparing it line by line with the file it replaces. The new text is
// gathered in memory and goes aside under a name of this run alone in one write when the file
// is closed, then replaces the old file, which is read whole when the file is opened; blank
// lines and #line directives are ignored on both sides, so moving source lines changes nothing.
//
// With holdFiles the closed files stay aside until commit(): a module whose writing fails half
// way keeps all of its previous files, which are older than its source (so the next run
// translates it again) and are what the next run's comparison must be made with, because the
// object files were compiled from them. Files still held when the object dies are discarded,
// so an exception out of the emitter leaves no half-written file in place.
class DiffingFile {
public:
    ~DiffingFile() {
        close();
        discard();
    }

    void open(const std::string& path);
    void write(std::string_view text);
    void close();
    // Moves every held file into place; false (and the first path that failed in `failed`)
    // when one could not be moved.
    bool commit(std::string& failed);
    // Deletes every held file, leaving the previous files as they were.
    void discard();

    // False once any compared line differed, or the old file was missing or longer.
    bool sameSoFar() const { return same_; }
    // After close: false when the new file could not be created or written in full.
    bool written() const { return written_; }
    // Forgets text carried over from the last file (a new module starts clean).
    void dropPendingLine() { pending_.clear(); }

    bool verbose = false;
    bool holdFiles = false;

    // Empty, only blanks, or a #line directive.
    static bool isIgnorable(std::string_view line);

private:
    void comparePendingLine();
    // The next line of the old file that is not ignorable; false at its end. `ended` tells
    // whether a newline closed it.
    bool readOldLine(std::string_view& line, bool& ended);

    std::string old_;  // the whole previous file
    std::string::size_type oldPosition_ = 0;
    bool oldOpen_ = false;
    std::string new_;  // the text written since open
    // Once a difference was found, the pending text is new_ from this offset on.
    bool deferring_ = false;
    std::string::size_type deferredFrom_ = 0;
    std::string path_;
    std::string temporaryPath_;
    // Final paths and the names beside them where their new text waits.
    std::vector<std::pair<std::string, std::string>> held_;
    std::string pending_;
    bool same_ = true;
    bool open_ = false;
    bool written_ = true;
};

// The one writer every generated character passes through: indentation by braces, the count
// of the source line the next output line stands for, and the #line directives that keep the
// two in step.
class CppWriter {
public:
    explicit CppWriter(DiffingFile& file) : file_(file) {}

    // Indents at line start; a text opening with "}" closes a level first, one opening with "{"
    // opens one after the indentation.
    void write(const std::string& text);
    void newLine();
    void writeRaw(std::string_view text) { file_.write(text); }
    void writeInteger(long long value) { writeRaw(std::to_string(value)); }
    // Brings the output to the position's line: up to 10 lines ahead by blank lines, any other
    // move by a #line directive. Positions without a file are ignored.
    void markPosition(const SourceLocation& position);

    // Starts the line count of a new file: the next line stands for `line`.
    void resetLine(int line) {
        currentLine = line;
        atLineStart = true;
    }

    int currentLine = 0;
    bool atLineStart = true;
    int indentLevel = 0;

private:
    DiffingFile& file_;
};
