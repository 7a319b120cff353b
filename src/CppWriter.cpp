// Output writer: indentation by braces, the line count that #line directives and padding keep
// in step with the source, and the line-by-line comparison with the previous file.
#include "CppWriter.hpp"

#include "Diagnostics.hpp"
#include "platform/Platform.hpp"

// ---- DiffingFile ----

bool DiffingFile::isIgnorable(const std::string& line) {
    if (line.compare(0, 5, "#line") == 0) return true;
    return line.find_first_not_of(" \t\r\n") == std::string::npos;
}

void DiffingFile::open(const std::string& path) {
    close();
    path_ = path;
    temporaryPath_ = path + ".tmp";
    same_ = true;
    old_.clear();
    old_.open(path, std::ios::binary);
    if (!old_.is_open()) same_ = false;
    new_.clear();
    new_.open(temporaryPath_, std::ios::binary | std::ios::trunc);
    written_ = new_.is_open();
    open_ = true;
    if (verbose) verboseLineNoIndent("  diffing file: " + path + " with " + temporaryPath_);
}

void DiffingFile::write(const std::string& text) {
    new_ << text;
    if (!same_) {
        pending_ += text;
        return;
    }
    std::string::size_type start = 0;
    std::string::size_type newline;
    while ((newline = text.find('\n', start)) != std::string::npos) {
        pending_.append(text, start, newline - start);
        comparePendingLine();
        start = newline + 1;
    }
    pending_.append(text, start, std::string::npos);
}

bool DiffingFile::readOldLine(std::string& line) {
    while (std::getline(old_, line))
        if (!isIgnorable(line)) return true;
    return false;
}

void DiffingFile::comparePendingLine() {
    if (isIgnorable(pending_) || !same_) {
        pending_.clear();
        return;
    }
    std::string oldLine;
    const bool found = readOldLine(oldLine);
    if (found && oldLine == pending_ && old_.good()) {
        pending_.clear();
        return;
    }
    same_ = false;
    if (verbose) {
        verboseLineNoIndent("    difference: ");
        verboseLineNoIndent("      old: " + (found ? oldLine : std::string()));
        verboseLineNoIndent("      new: " + pending_);
    }
    pending_.clear();
}

void DiffingFile::close() {
    if (!open_) return;
    if (same_ && old_.is_open()) {
        std::string line;
        if (readOldLine(line)) same_ = false;
    }
    old_.close();
    // A write that failed on the way (a full disk) leaves the stream bad; closing flushes the
    // rest and fails the same way.
    if (written_) {
        new_.close();
        written_ = !new_.fail();
    }
    open_ = false;
    if (!written_) {
        platform::deleteFile(temporaryPath_);
        return;
    }
    held_.push_back(path_);
    if (holdFiles) return;
    std::string failed;
    written_ = commit(failed);
}

bool DiffingFile::commit(std::string& failed) {
    bool ok = true;
    for (const std::string& path : held_) {
        const std::string aside = path + ".tmp";
        // Where a rename does not replace an existing file, the old one has to go first.
        if (platform::renameFile(aside, path) || (platform::deleteFile(path) && platform::renameFile(aside, path)))
            continue;
        platform::deleteFile(aside);
        if (ok) failed = path;
        ok = false;
    }
    held_.clear();
    return ok;
}

void DiffingFile::discard() {
    for (const std::string& path : held_) platform::deleteFile(path + ".tmp");
    held_.clear();
}

// ---- CppWriter ----

void CppWriter::write(const std::string& text) {
    if (text.empty()) return;
    if (text[0] == '}') --indentLevel;
    if (atLineStart) {
        if (indentLevel > 0) file_.write(std::string(static_cast<size_t>(indentLevel), '\t'));
        atLineStart = false;
    }
    if (text[0] == '{') ++indentLevel;
    file_.write(text);
}

void CppWriter::newLine() {
    file_.write("\n");
    ++currentLine;
    atLineStart = true;
}

void CppWriter::markPosition(const SourceLocation& position) {
    if (!position.hasFile()) return;
    const int line = position.line;
    if (line == currentLine) return;
    if (currentLine < line && line - currentLine <= 10) {
        while (currentLine < line) {
            file_.write("\n");
            ++currentLine;
        }
    } else {
        file_.write("\n#line " + std::to_string(line) + "\n");
        currentLine = line;
    }
    atLineStart = true;
}
