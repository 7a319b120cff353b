// C++ back end: the three generated files of a module, their fixed layout, the writer that
// keeps output lines in step with source lines, and the comparison with the previous files.
// Takes a lowered Module; gives files on disk and the module's two "unchanged" flags.
// A file that cannot be written is queued as an error, never passed over: a module without
// its files must not count as translated.
#include "CppBackEnd.hpp"

#include <sstream>

#include "CppEmitter.hpp"
#include "Driver.hpp"
#include "platform/Platform.hpp"

namespace {

std::string joined(const std::vector<std::string>& parts, const std::string& glue) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += glue;
        out += parts[i];
    }
    return out;
}

// The components of the module an import names; a trailing "*" names the module itself.
std::vector<std::string> importedComponents(const ImportDeclaration& import) {
    if (import.module && !import.module->name.empty()) return moduleComponents(*import.module);
    std::vector<std::string> components = import.path;
    if (!components.empty() && components.back() == "*") components.pop_back();
    return components;
}

// A library module has no generated header: its C++ comes with the support header.
bool producesNoInclude(const ImportDeclaration& import) {
    ModuleName imported;
    imported.components = importedComponents(import);
    return (import.flags & (ImportDeclaration::builtinImport | ImportDeclaration::implicitImport)) != 0 ||
           isLibraryName(imported);
}

}  // namespace

std::string quoteCString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out + "\"";
}

std::string generatedIncludePath(const std::vector<std::string>& components, const std::string& extension,
                                 bool flat) {
    if (components.empty()) return "." + extension;
    if (flat) return components.back() + "." + extension;
    std::string path;
    for (size_t i = 0; i + 1 < components.size(); ++i) path += components[i] + "/";
    return path + "_" + components.back() + "." + extension;
}

std::string guardName(const std::vector<std::string>& components) { return joined(components, "_"); }

std::vector<std::string> moduleComponents(const Module& module) {
    std::vector<std::string> components;
    std::string::size_type start = 0;
    while (true) {
        std::string::size_type dot = module.name.find('.', start);
        components.push_back(module.name.substr(start, dot - start));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return components;
}

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

// ---- CppBackEnd ----

std::string CppBackEnd::argumentSuffix(const ArgumentDeclaration* argument) {
    auto found = argumentNumbers_.find(argument);
    if (found == argumentNumbers_.end())
        found = argumentNumbers_.emplace(argument, static_cast<unsigned>(argumentNumbers_.size() + 1)).first;
    std::ostringstream hex;
    hex << std::hex << found->second;
    return hex.str();
}

std::time_t CppBackEnd::outputTime(const ModuleName& name) {
    std::time_t oldest = 0;
    bool first = true;
    for (const char* extension : {"cpp", "hpp2", "hpp"}) {
        const std::time_t time = platform::modificationTime(outputPath(name, extension));
        if (first || time < oldest) oldest = time;
        first = false;
    }
    return oldest;
}

void CppBackEnd::removeOutputs(const ModuleName& name) {
    for (const char* extension : {"hpp", "hpp2", "cpp"}) platform::deleteFile(outputPath(name, extension));
}

void CppBackEnd::removeObjects(const ModuleName& name) {
    for (const char* extension : {"obj", "o"}) platform::deleteFile(outputPath(name, extension));
}

namespace {

// Where the module's source lies, for the #line directives: the file its nodes came from.
std::string sourcePathOf(const Module& module, const std::string& fallback) {
    if (module.location.hasFile()) return module.location.fileName();
    if (module.block) {
        if (module.block->location.hasFile()) return module.block->location.fileName();
        for (const StatementPtr& statement : module.block->statements)
            if (statement && statement->location.hasFile()) return statement->location.fileName();
    }
    return fallback;
}

}  // namespace

void CppBackEnd::writeModule(Module& module) {
    const bool verbose = runOptions.verbose;
    ModuleName name;
    name.components = moduleComponents(module);
    const std::vector<std::string>& components = name.components;
    if (verbose) verboseLineNoIndent("writing: " + dottedName(name) + " to C++");
    const std::string guard = guardName(components);
    const std::string source = quoteCString(sourcePathOf(module, sourcePath(name, "vn")));

    // One file object per module: a nested module gets its own, and text left over from a
    // difference in one module's implementation file never marks the next module changed.
    DiffingFile file;
    file.verbose = verbose;
    file.holdFiles = true;
    CppWriter out(file);

    std::string unwritten;  // the first file that could not be written
    auto finish = [&](const std::string& path) {
        file.close();
        if (!file.written() && unwritten.empty()) unwritten = path;
    };

    file.open(outputPath(name, "hpp2"));
    writeForwardFile(module, out, source, guard);
    finish(outputPath(name, "hpp2"));

    file.open(outputPath(name, "hpp"));
    writeHeaderFile(module, out, source, guard);
    finish(outputPath(name, "hpp"));
    if (!file.sameSoFar()) {
        module.headerUnchanged = false;
        if (verbose) verboseLine("  header changed for: " + dottedName(name));
    }

    file.open(outputPath(name, "cpp"));
    writeImplementationFile(module, out, source);
    finish(outputPath(name, "cpp"));
    // Both ways: the flag tells whether this implementation file equals the previous one.
    module.cppUnchanged = file.sameSoFar();
    // The three files replace the previous ones together or not at all.
    if (unwritten.empty() && file.commit(unwritten)) return;
    file.discard();
    reportError("Unable to write file " + unwritten, SourceLocation());
}

void CppBackEnd::writeTopLevel(const Module& module, CppWriter& out, EmitPhase phase) {
    if (!module.block) return;
    CppEmitter emitter(out, *this);
    emitter.phase = phase;
    // A module nested in this one is written as a module of its own.
    emitter.writeNestedModule = [this](const Module& nested) { writeModule(const_cast<Module&>(nested)); };
    for (const StatementPtr& statement : module.block->statements) emitter.visit(statement);
}

void CppBackEnd::writeForwardFile(const Module& module, CppWriter& out, const std::string& source,
                                  const std::string& guard) {
    out.resetLine(0);
    out.write("#ifndef HEADER2" + guard);
    out.newLine();
    out.write("#define HEADER2" + guard);
    out.newLine();
    out.write("#include <vorn_base.hpp>");
    out.writeRaw("\n");
    out.resetLine(0);
    out.write("#line 1 " + source);
    out.newLine();
    out.newLine();
    out.newLine();
    out.write("// Forward declarations of classes");
    out.newLine();
    writeTopLevel(module, out, PhaseForward);
    out.newLine();
    out.newLine();
    out.newLine();
    out.write("#endif");
    out.newLine();
}

void CppBackEnd::writeHeaderFile(const Module& module, CppWriter& out, const std::string& source,
                                 const std::string& guard) {
    const std::vector<std::string> components = moduleComponents(module);
    out.resetLine(0);
    out.write("#ifndef HEADER" + guard);
    out.newLine();
    out.write("#define HEADER" + guard);
    out.newLine();
    out.write("#include " + quoteCString(generatedIncludePath(components, "hpp2", flatMode())));
    out.newLine();
    out.writeRaw("\n");
    out.resetLine(0);
    out.write("#line 1 " + source);
    out.newLine();
    out.newLine();
    out.write("// Imports/includes");
    out.newLine();
    for (const std::string& include : module.includes) {
        out.write("#include " + include);
        out.newLine();
    }
    for (const auto& entry : module.imports) {
        const ImportDeclaration& import = *entry.second;
        if (producesNoInclude(import)) continue;
        out.markPosition(import.location);
        out.write("#include " + quoteCString(generatedIncludePath(importedComponents(import),
                                                                   import.inHeader > 0 ? "hpp" : "hpp2", flatMode())));
        out.newLine();
    }
    out.newLine();
    out.newLine();
    out.write("// Enums, types");
    out.newLine();
    writeTopLevel(module, out, PhaseTypes);
    out.newLine();
    out.newLine();
    out.write("// Classes, function declarations");
    out.newLine();
    writeTopLevel(module, out, PhaseDeclarations);
    out.newLine();
    out.newLine();
    out.newLine();
    out.write("#endif");
    out.newLine();
}

void CppBackEnd::writeImplementationFile(const Module& module, CppWriter& out, const std::string& source) {
    out.resetLine(0);
    if (!precompiledHeader.empty()) out.writeRaw("#include\"" + precompiledHeader + "\"\n");
    out.write("#include " + quoteCString(generatedIncludePath(moduleComponents(module), "hpp", flatMode())));
    out.newLine();
    out.writeRaw("\n");
    out.resetLine(0);
    out.write("#line 1 " + source);
    out.newLine();
    for (const auto& entry : module.imports) {
        const ImportDeclaration& import = *entry.second;
        if (producesNoInclude(import) || import.inHeader > 0) continue;
        out.markPosition(import.location);
        out.write("#include " + quoteCString(generatedIncludePath(importedComponents(import), "hpp", flatMode())));
        out.newLine();
    }
    out.newLine();
    out.newLine();
    out.write("// Implementation of functions");
    out.newLine();
    writeTopLevel(module, out, PhaseImplementation);
    // The last line is compared only once it is ended: without this newline an unchanged
    // file would always differ from itself in its closing brace.
    out.newLine();
}
