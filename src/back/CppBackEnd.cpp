// C++ back end: the three generated files of a module and their fixed layout, written through
// the output writer, which keeps output lines in step with source lines and compares.
// Takes a lowered Module; gives files on disk and the module's two "unchanged" flags.
// A file that cannot be written is queued as an error, never passed over: a module without
// its files must not count as translated.
#include "back/CppBackEnd.hpp"

#include <cctype>

#include "base/RunOptions.hpp"
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
    if (import.module && !import.module->name.empty()) return splitDottedName(import.module->name);
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

std::string generatedIncludePath(const std::vector<std::string>& components, const std::string& extension,
                                 bool flat) {
    if (components.empty()) return "." + extension;
    if (flat) return components.back() + "." + extension;
    std::string path;
    for (size_t i = 0; i + 1 < components.size(); ++i) path += components[i] + "/";
    return path + "_" + components.back() + "." + extension;
}

// A file name may hold what a macro name cannot ("words-2.vn", a folder "mein ordner"): each
// such byte is spelled by its hexadecimal value, so the guard is an identifier and unique.
std::string guardName(const std::vector<std::string>& components) {
    std::string guard;
    for (unsigned char c : joined(components, "_")) {
        if (std::isalnum(c) || c == '_') {
            guard += static_cast<char>(c);
        } else {
            static const char digits[] = "0123456789ABCDEF";
            guard += "_x";
            guard += digits[c >> 4];
            guard += digits[c & 15];
        }
    }
    return guard;
}

// ---- CppBackEnd ----

platform::FileTime CppBackEnd::outputTime(const ModuleName& name) {
    platform::FileTime oldest = 0;
    bool first = true;
    for (const char* extension : {"cpp", "hpp2", "hpp"}) {
        const platform::FileTime time = platform::modificationTime(outputPath(name, extension));
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

// A header module's C++ is the header itself, with the macros its include interface file
// defined: the program then sees the library's real declarations, macros and linkage, which a
// re-declaration from our parse would contradict (linkage, passing convention, type names).
void writeHeaderWrapper(CppWriter& out, const Module& module, const std::string& guard) {
    out.writeRaw("#ifndef " + guard + "\n#define " + guard + "\n");
    for (const auto& define : module.headerDefines)
        out.writeRaw("#ifndef " + define.first + "\n#define " + define.first + " " + define.second + "\n#endif\n");
    const std::string& included = module.headerInclude.empty() ? quoteCString(module.headerPath) : module.headerInclude;
    out.writeRaw("#include " + included + "\n");
    for (const std::string& space : module.headerNamespaces) out.writeRaw("using namespace " + space + ";\n");
    out.writeRaw("#endif\n");
}

}  // namespace

void CppBackEnd::writeModule(Module& module) {
    const bool verbose = runOptions.verbose;
    ModuleName name;
    name.components = splitDottedName(module.name);
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

    if (!module.headerPath.empty()) {
        // hpp2 and hpp include the same header, so each may be included alone or both.
        for (const char* extension : {"hpp2", "hpp"}) {
            file.open(outputPath(name, extension));
            writeHeaderWrapper(out, module, std::string("HEADER") + (extension[3] ? "2" : "") + guard);
            finish(outputPath(name, extension));
            if (!file.sameSoFar()) module.headerUnchanged = false;
        }
        file.open(outputPath(name, "cpp"));
        out.writeRaw("#include " + quoteCString(generatedIncludePath(components, "hpp", flatMode())) + "\n");
        finish(outputPath(name, "cpp"));
        module.cppUnchanged = file.sameSoFar();
        if (unwritten.empty() && file.commit(unwritten)) return;
        file.discard();
        reportError("Unable to write file " + unwritten, SourceLocation());
        return;
    }

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
    CppEmitter emitter(out, argumentSuffixes_);
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
    const std::vector<std::string> components = splitDottedName(module.name);
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
    out.writeRaw(precompiledHeaderLine);
    out.write("#include " + quoteCString(generatedIncludePath(splitDottedName(module.name), "hpp", flatMode())));
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
