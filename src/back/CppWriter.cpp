// Output writer: indentation by braces, the line count that #line directives and padding keep
// in step with the source, and the line-by-line comparison with the previous file.
#include "back/CppWriter.hpp"

#include <cstdio>
#include <fstream>

#include "base/Diagnostics.hpp"
#include "platform/Platform.hpp"

// ---- DiffingFile ----

bool DiffingFile::isIgnorable(std::string_view line) {
    if (line.compare(0, 5, "#line") == 0) return true;
    return line.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

void DiffingFile::open(const std::string& path) {
    close();
    path_ = path;
    temporaryPath_ = platform::uniqueNameBeside(path);
    same_ = true;
    old_.clear();
    oldPosition_ = 0;
    // What cannot be read (a directory in the file's place) compares as an empty file.
    std::FILE* old = std::fopen(path.c_str(), "rb");
    oldOpen_ = old != nullptr;
    if (old) {
        char buffer[65536];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, old)) > 0) old_.append(buffer, got);
        std::fclose(old);
    } else {
        same_ = false;
    }
    new_.clear();
    // Made once, whole, at close: creating it empty first cost a second open and close of
    // every output, most of a run of many small modules.
    written_ = true;
    open_ = true;
    if (verbose) verboseLineNoIndent("  diffing file: " + path + " with " + temporaryPath_);
}

void DiffingFile::write(std::string_view text) {
    if (!same_) {
        // Nothing more to compare; the text still pending at close is taken from new_ then,
        // instead of being copied piece by piece.
        if (!deferring_) {
            deferring_ = true;
            deferredFrom_ = new_.size();
        }
        new_.append(text);
        return;
    }
    new_.append(text);
    std::string_view::size_type start = 0;
    std::string_view::size_type newline;
    while ((newline = text.find('\n', start)) != std::string_view::npos) {
        pending_.append(text.substr(start, newline - start));
        comparePendingLine();
        start = newline + 1;
    }
    pending_.append(text.substr(start));
}

bool DiffingFile::readOldLine(std::string_view& line, bool& ended) {
    while (oldPosition_ < old_.size()) {
        const std::string::size_type newline = old_.find('\n', oldPosition_);
        ended = newline != std::string::npos;
        const std::string::size_type end = ended ? newline : old_.size();
        line = std::string_view(old_).substr(oldPosition_, end - oldPosition_);
        oldPosition_ = ended ? end + 1 : end;
        if (!isIgnorable(line)) return true;
    }
    return false;
}

void DiffingFile::comparePendingLine() {
    if (isIgnorable(pending_) || !same_) {
        pending_.clear();
        return;
    }
    std::string_view oldLine;
    bool ended = false;
    const bool found = readOldLine(oldLine, ended);
    // A last line without its newline counts as different: the file was cut short.
    if (found && oldLine == pending_ && ended) {
        pending_.clear();
        return;
    }
    same_ = false;
    if (verbose) {
        verboseLineNoIndent("    difference: ");
        verboseLineNoIndent("      old: " + (found ? std::string(oldLine) : std::string()));
        verboseLineNoIndent("      new: " + pending_);
    }
    pending_.clear();
}

void DiffingFile::close() {
    if (!open_) return;
    if (same_ && oldOpen_) {
        std::string_view line;
        bool ended = false;
        if (readOldLine(line, ended)) same_ = false;
    }
    old_.clear();
    old_.shrink_to_fit();
    if (deferring_) {
        // Carried into the next file's comparison, as if it had been gathered all along.
        pending_.append(new_, deferredFrom_, std::string::npos);
        deferring_ = false;
    }
    if (written_) {
        std::FILE* out = std::fopen(temporaryPath_.c_str(), "wb");
        written_ = out && std::fwrite(new_.data(), 1, new_.size(), out) == new_.size();
        if (out && std::fclose(out) != 0) written_ = false;
    }
    new_.clear();
    open_ = false;
    if (!written_) {
        platform::deleteFile(temporaryPath_);
        return;
    }
    held_.emplace_back(path_, temporaryPath_);
    if (holdFiles) return;
    std::string failed;
    written_ = commit(failed);
}

bool DiffingFile::commit(std::string& failed) {
    bool ok = true;
    for (const auto& held : held_) {
        if (moveIntoPlace(held.second, held.first)) continue;
        if (ok) failed = held.first;
        ok = false;
    }
    held_.clear();
    return ok;
}

void DiffingFile::discard() {
    for (const auto& held : held_) platform::deleteFile(held.second);
    held_.clear();
}

std::string writeBeside(const std::string& path, std::string_view text) {
    const std::string aside = platform::uniqueNameBeside(path);
    std::ofstream out(aside, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out.fail()) return aside;
    platform::deleteFile(aside);
    return std::string();
}

bool moveIntoPlace(const std::string& aside, const std::string& path) {
    // Where a rename does not replace an existing file, the old one has to go first.
    if (platform::renameFile(aside, path) || (platform::deleteFile(path) && platform::renameFile(aside, path)))
        return true;
    platform::deleteFile(aside);
    return false;
}

// ---- CppWriter ----

void CppWriter::write(const std::string& text) {
    if (text.empty()) return;
    if (text[0] == '}') --indentLevel;
    if (atLineStart) {
        static const std::string tabs(64, '\t');
        for (int left = indentLevel; left > 0; left -= static_cast<int>(tabs.size()))
            file_.write(std::string_view(tabs).substr(0, static_cast<size_t>(left)));
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
