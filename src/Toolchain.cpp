// Toolchain: the compile and link stages, run after every module has been translated.
// Takes the configuration's templates and the build manager's sets; gives the outcome of the
// external commands. Only adds to the compile set, and never keeps a temporary file past its
// command.
#include "Toolchain.hpp"

#include <fstream>
#include <iostream>

#include "BuildManager.hpp"
#include "CompilerConfig.hpp"
#include "platform/Platform.hpp"

namespace {

// The file a "compiler temp" or "linker temp" template is written to for one command. It is
// the current temporary file while it lives, and it is deleted however the command ends, also
// when a template turns out to be malformed.
class TemporaryFile {
public:
    // An empty template makes no file.
    explicit TemporaryFile(const std::string& fileTemplate) {
        if (fileTemplate.empty()) return;
        path = platform::createTemporaryFile();
        if (path.empty()) {
            written = false;
            return;
        }
        currentTemporaryFile = path;
        // The template may name the file itself with $temp;, so it is expanded only now. A
        // malformed template ends the run, but not before the file is gone again.
        std::string text;
        try {
            text = expandTemplate(fileTemplate);
        } catch (...) {
            remove();
            throw;
        }
        std::ofstream out(path.c_str(), std::ios::out | std::ios::trunc | std::ios::binary);
        out << text;
        out.close();
        written = static_cast<bool>(out);
    }
    ~TemporaryFile() { remove(); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // A command that reads a file that could not be made or filled must not run: it would
    // read nothing, or a truncated list, and might still exit with the success code.
    bool ok() const { return written; }
    void complain() const {
        std::cerr << "Unable to write the temporary file " << (path.empty() ? platform::temporaryDirectory() : path)
                  << '\n'
                  << std::flush;
    }

private:
    void remove() {
        if (path.empty()) return;
        platform::deleteFile(path);
        currentTemporaryFile.clear();
        path.clear();
    }

    std::string path;
    bool written = true;
};

// The translation state says nothing of object files that were never made (a run without
// -c), were deleted, or were not built because an earlier compile failed: they are found on
// disk. Without an "object file" template the script's outputs are unknown and only the
// translation state counts.
void addModulesWithStaleObjects(const std::string& objectFileTemplate) {
    if (objectFileTemplate.empty()) return;
    for (const ModuleName& name : converted) {
        if (toCompile.count(name)) continue;
        currentModule = name;
        const std::time_t object = platform::modificationTime(expandTemplate(objectFileTemplate));
        if (object == 0 || object < platform::modificationTime(outputPath(name, "cpp"))) toCompile.insert(name);
    }
}

bool runTemplate(const std::string& commandTemplate, int successCode) {
    return runCommand(expandCommandTemplate(commandTemplate)) == successCode;
}

}  // namespace

int runCommand(const std::string& commandLine) {
    // The child writes to the same terminal; what vorn has buffered must come out before it.
    std::cout.flush();
    std::cerr.flush();
    return platform::runShellCommand(commandLine);
}

bool compileAll() {
    const CompilerConfiguration& configuration = compilerConfiguration;
    if (configuration.compileTemplate.empty()) return true;
    addModulesWithStaleObjects(configuration.objectFileTemplate);
    bool ok = true;
    for (const ModuleName& name : toCompile) {
        currentModule = name;
        TemporaryFile temporary(configuration.compileFileTemplate);
        if (!ok) continue;  // after a failure the remaining files are still made and removed
        if (!temporary.ok()) {
            temporary.complain();
            ok = false;
            continue;
        }
        ok = runTemplate(configuration.compileTemplate, configuration.compileSuccess);
    }
    return ok;
}

bool linkAll() {
    const CompilerConfiguration& configuration = compilerConfiguration;
    if (configuration.linkTemplate.empty()) return true;
    TemporaryFile temporary(configuration.linkFileTemplate);
    if (!temporary.ok()) {
        temporary.complain();
        return false;
    }
    return runTemplate(configuration.linkTemplate, configuration.linkSuccess);
}
