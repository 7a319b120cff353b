// Diagnostics: the queue, the report line and internal errors.
#include "base/Diagnostics.hpp"

#include <iostream>
#include <map>
#include <set>

namespace {
// Written by reportError/reportWarning from any stage, emptied only by flushDiagnostics.
// Process-wide on purpose: any stage may queue a message from wherever it finds the fault.
std::vector<CompileError>& diagnosticsList() {
    static std::vector<CompileError> list;
    return list;
}
}  // namespace

int verboseIndent = 0;

namespace {
// File names by number, from 1, and the numbers of the names; written only while locations are
// made, which happens on the one thread that translates.
std::vector<const std::string*>& numberedFiles() {
    static std::vector<const std::string*> files;
    return files;
}

unsigned fileNumber(const std::string* file) {
    if (!file) return 0;
    // A file's locations are made one after another: the last answer nearly always holds.
    static const std::string* lastFile = nullptr;
    static unsigned lastNumber = 0;
    if (file == lastFile) return lastNumber;
    static std::map<const std::string*, unsigned> numbers;
    unsigned& number = numbers[file];
    if (number == 0) {
        numberedFiles().push_back(file);
        number = static_cast<unsigned>(numberedFiles().size());
    }
    lastFile = file;
    lastNumber = number;
    return number;
}
}  // namespace

SourceLocation::SourceLocation(const std::string* f, int l, int c) : line(l), column(c), fileNumber_(fileNumber(f)) {}

const std::string* SourceLocation::file() const { return fileNumber_ ? numberedFiles()[fileNumber_ - 1] : nullptr; }

const std::string& SourceLocation::fileName() const {
    static const std::string empty;
    return fileNumber_ ? *numberedFiles()[fileNumber_ - 1] : empty;
}

const std::string* internFileName(const std::string& name) {
    // Node-based set: element addresses stay valid for the whole run.
    static std::set<std::string> names;
    return &*names.insert(name).first;
}

ReportFormat reportFormat = ReportFormat::Vorn;
std::function<void(const CompileError&)> reportCollector;

namespace {
// gcc's form: columns from 1, and a missing part left out with its colon.
std::string gccLine(const CompileError& error) {
    std::string line = error.position.fileName();
    if (error.position.line != -1) {
        line += ":" + std::to_string(error.position.line);
        if (error.position.column >= 0) line += ":" + std::to_string(error.position.column + 1);
    }
    if (line.empty()) line = "vorn";
    line += error.severity == SeverityWarning ? ": warning: " : ": error: ";
    return line + error.what();
}
}  // namespace

void report(const CompileError& error, std::ostream& out) {
    if (reportCollector) {
        reportCollector(error);
        return;
    }
    if (reportFormat == ReportFormat::Gcc) {
        out << gccLine(error) << '\n' << std::flush;
        return;
    }
    std::string line;
    if (error.position.hasFile()) line += error.position.fileName();
    // Stored from 0, printed from 1: the column g++ gives for the same place through #line.
    if (error.position.line != -1)
        line += "(" + std::to_string(error.position.line) + "," +
                std::to_string(error.position.column >= 0 ? error.position.column + 1 : error.position.column) + ")";
    line += error.severity == SeverityWarning ? " : warning : " : " : error : ";
    line += error.what();
    out << line << '\n' << std::flush;
}

void report(const CompileError& error) { report(error, std::cerr); }

void reportError(const char* message, const SourceLocation& position) {
    diagnosticsList().push_back(CompileError(message, position, SeverityError));
}

void reportError(const std::string& message, const SourceLocation& position) {
    diagnosticsList().push_back(CompileError(message, position, SeverityError));
}

void reportWarning(const std::string& message, const SourceLocation& position) {
    diagnosticsList().push_back(CompileWarning(message, position));
}

bool hasQueuedErrors() {
    for (const CompileError& entry : diagnosticsList())
        if (entry.severity >= SeverityError) return true;
    return false;
}

static bool sameDiagnostic(const CompileError& a, const CompileError& b) {
    return a.position == b.position && a.message == b.message && a.severity == b.severity;
}

bool flushDiagnostics(int threshold, std::ostream& out) {
    std::vector<CompileError> entries;
    entries.swap(diagnosticsList());
    bool reached = false;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].severity >= threshold) reached = true;
        if (i > 0 && sameDiagnostic(entries[i], entries[i - 1])) continue;
        report(entries[i], out);
    }
    return reached;
}

bool flushDiagnostics(int threshold) { return flushDiagnostics(threshold, std::cerr); }

void fillMissingPositions(const SourceLocation& position) {
    for (CompileError& e : diagnosticsList())
        if (!e.position.hasFile()) e.position = position;
}

const std::vector<CompileError>& queuedDiagnostics() { return diagnosticsList(); }

void clearDiagnostics() { diagnosticsList().clear(); }

CompileError internalError(const std::string& sourceFile, const std::string& lineText, const std::string& message) {
    return CompileError("INTERNAL COMPILER ERROR\n      " + message + "\n      ERROR ON " + sourceFile + "(" + lineText + ")",
                        SourceLocation(), SeverityInternal);
}

void verboseLine(const std::string& text) {
    std::cout << std::string(static_cast<size_t>(verboseIndent > 0 ? verboseIndent : 0), ' ') << text << '\n'
              << std::flush;
}

void verboseLineNoIndent(const std::string& text) { std::cout << text << '\n' << std::flush; }
