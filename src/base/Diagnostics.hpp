// Diagnostics: the CompileError family, source positions, the process-wide queue of
// diagnostics with its flush rules, internal compiler errors and verbose-output helpers.
// Takes messages from every stage; gives report lines on stderr and verbose lines on stdout.
// Never decides whether a run fails: callers read the flush result.
#pragma once

#include <exception>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

// A place in a source file. The file name points into one process-wide set of interned
// names, so locations copy cheaply and never own the string. It is kept as a number: every
// tree node holds a location, and twelve bytes leave room beside it where sixteen would not.
struct SourceLocation {
    int line = -1;
    int column = -1;

    SourceLocation() = default;
    SourceLocation(const std::string* f, int l, int c);

    const std::string* file() const;  // null when there is no file
    bool hasFile() const { return fileNumber_ != 0; }
    const std::string& fileName() const;  // "" when there is no file
    bool operator==(const SourceLocation& o) const {
        return fileNumber_ == o.fileNumber_ && line == o.line && column == o.column;
    }
    bool operator!=(const SourceLocation& o) const { return !(*this == o); }

private:
    unsigned fileNumber_ = 0;  // 0: no file
};

// Returns the interned copy of a file name; the same text always gives the same pointer.
const std::string* internFileName(const std::string& name);

enum Severity { SeverityWarning = 1, SeverityError = 2, SeverityInternal = 3 };

class CompileError : public std::exception {
public:
    CompileError(const std::string& message, const SourceLocation& position = SourceLocation(),
                 int severity = SeverityError)
        : position(position), message(message), severity(severity) {}
    const char* what() const noexcept override { return message.c_str(); }

    SourceLocation position;
    std::string message;
    int severity;
};

class CompileWarning : public CompileError {
public:
    CompileWarning(const std::string& message, const SourceLocation& position = SourceLocation())
        : CompileError(message, position, SeverityWarning) {}
};

class ParseError : public CompileError {
public:
    ParseError(const std::string& message, const SourceLocation& position = SourceLocation())
        : CompileError(message, position, SeverityError) {}
};

// Base of the interpreter's run-time errors; never raised by itself.
class MacroError : public CompileError {
protected:
    explicit MacroError(const std::string& message) : CompileError(message) {}
};

class NoOperator : public MacroError {
public:
    NoOperator(const std::string& op, const char* typeName)
        : MacroError("No operator " + op + " for type " + typeName) {}
};

class NoCast : public MacroError {
public:
    NoCast(const char* from, const std::string& to)
        : MacroError(std::string("No conversion from ") + from + " to " + to) {}
};

class NoMember : public MacroError {
public:
    NoMember(const char* typeName, const std::string& member)
        : MacroError(std::string(typeName) + " has no member '" + member + "'") {}
};

class NoCall : public MacroError {
public:
    explicit NoCall(const char* typeName) : MacroError(std::string(typeName) + " is not a function") {}
};

// How a report line is spelt: vorn's own "file(line,column) : error : message", or
// "file:line:column: error: message", which the default error formats of Vim and Emacs read.
// Written by the driver's --diagnostics-format, read by report.
enum class ReportFormat { Vorn, Gcc };
extern ReportFormat reportFormat;

// While set, report hands each entry here instead of printing it: the language server keeps
// the diagnostics of an analysis for the editor. Written by the language server alone.
extern std::function<void(const CompileError&)> reportCollector;

// Prints one report line in reportFormat (or hands it to reportCollector).
void report(const CompileError& error);
void report(const CompileError& error, std::ostream& out);

void reportError(const char* message, const SourceLocation& position);
void reportError(const std::string& message, const SourceLocation& position);
void reportWarning(const std::string& message, const SourceLocation& position);

// Whether the queue holds an entry of error severity or above.
bool hasQueuedErrors();
// Prints and empties the queue; true when any entry had severity >= threshold.
bool flushDiagnostics(int threshold);
bool flushDiagnostics(int threshold, std::ostream& out);
void fillMissingPositions(const SourceLocation& position);

// Read-only view of the queue, for tests and for callers that need to look before flushing.
const std::vector<CompileError>& queuedDiagnostics();
void clearDiagnostics();

CompileError internalError(const std::string& sourceFile, const std::string& lineText, const std::string& message);

// Builds an internal error attributed to this translator's own source file. `file` is the
// component's path such as "src/Token"; the compiler supplies the line. No build time goes in:
// the same sources must build the same program.
#define VORN_STRINGIZE2(x) #x
#define VORN_STRINGIZE(x) VORN_STRINGIZE2(x)
#define VORN_INTERNAL_ERROR(file, message) \
    internalError(file, VORN_STRINGIZE(__LINE__), message)

// Verbose progress: lines go to stdout, each flushed, nested ones indented by verboseIndent.
extern int verboseIndent;
void verboseLine(const std::string& text);          // with the indentation
void verboseLineNoIndent(const std::string& text);  // as it stands

// Keeps verboseIndent balanced while a loader or checker works on one module.
class VerboseIndentScope {
public:
    VerboseIndentScope() { verboseIndent += 2; }
    ~VerboseIndentScope() { verboseIndent -= 2; }
    VerboseIndentScope(const VerboseIndentScope&) = delete;
    VerboseIndentScope& operator=(const VerboseIndentScope&) = delete;
};
