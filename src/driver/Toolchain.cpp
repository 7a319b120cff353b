// Toolchain: the compile and link stages, run after every module has been translated.
// Takes the configuration's templates and the build manager's sets; gives the outcome of the
// external commands. Only adds to the compile set, and never keeps a temporary file past its
// command.
#include "driver/Toolchain.hpp"

#include <fstream>
#include <iostream>
#include <memory>
#include <utility>
#include <vector>

#include "driver/BuildManager.hpp"
#include "driver/CompilerConfig.hpp"
#include "base/RunOptions.hpp"
#include "platform/Platform.hpp"

namespace {

// The file a "compiler temp" or "linker temp" template is written to for one command. It is
// the current temporary file while it lives, and it is deleted however the command ends, also
// when a template turns out to be malformed.
class TemporaryFile {
public:
    // An empty template makes no file.
    TemporaryFile(const std::string& fileTemplate, TemplateContext& context) : context(context) {
        if (fileTemplate.empty()) return;
        path = platform::createTemporaryFile();
        if (path.empty()) {
            written = false;
            return;
        }
        context.temporaryFile = path;
        // The template may name the file itself with $temp;, so it is expanded only now. A
        // malformed template ends the run, but not before the file is gone again.
        std::string text;
        try {
            text = expandTemplate(fileTemplate, context);
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
        context.temporaryFile.clear();
        path.clear();
    }

    TemplateContext& context;
    std::string path;
    bool written = true;
};

// The translation state says nothing of object files that were never made (a run without
// -c), were deleted, or were not built because an earlier compile failed: they are found on
// disk. Without an "object file" template the script's outputs are unknown and only the
// translation state counts.
void addModulesWithStaleObjects(const std::string& objectFileTemplate, BuildManager& build, TemplateContext& context) {
    if (objectFileTemplate.empty()) return;
    for (const ModuleName& name : build.converted) {
        if (build.toCompile.count(name)) continue;
        context.module = name;
        const platform::FileTime object = platform::modificationTime(expandTemplate(objectFileTemplate, context));
        if (object == 0 || object < platform::modificationTime(outputPath(name, "cpp"))) build.toCompile.insert(name);
    }
}

// A failed command is named in its message; a link line may run to megabytes, of which the start
// tells enough.
std::string shownCommand(const std::string& commandLine) {
    const std::string::size_type shown = 1000;
    return commandLine.size() <= shown ? commandLine : commandLine.substr(0, shown) + " ...";
}

// Progress in the manner of Ninja: each compile and the link numbered out of all of them.
size_t stepsDone = 0;
size_t stepsInRun = 0;

void progress(const std::string& what) {
    std::cout << '[' << ++stepsDone << '/' << stepsInRun << "] " << what << '\n' << std::flush;
}

// One command of a stage from its expansion to its end: the temporary file its template names
// and the list file of a line too long for the system live exactly as long as it does.
class StageCommand {
public:
    StageCommand(const std::string& fileTemplate, int successCode, TemplateContext context)
        : context(std::move(context)), temporary(fileTemplate, this->context), successCode(successCode) {}
    ~StageCommand() {
        if (!list.path.empty()) platform::deleteFile(list.path);
    }
    StageCommand(const StageCommand&) = delete;
    StageCommand& operator=(const StageCommand&) = delete;

    // Expands the template for the current module and starts it, after its progress line;
    // false, with the reason printed, when it could not be started.
    bool start(const std::string& commandTemplate, const std::string& step) {
        if (!temporary.ok()) {
            temporary.complain();
            return false;
        }
        commandLine = expandCommandTemplate(commandTemplate, context);
        // A line the system would refuse passes its $perFile; lists in a file instead; the file
        // is made only then, as a command that does not expect one may not read it.
        if (commandLine.size() > platform::commandLineLimit()) {
            list.path = platform::createTemporaryFile();
            if (list.path.empty()) {
                std::cerr << "Unable to write the temporary file " << platform::temporaryDirectory() << '\n' << std::flush;
                return false;
            }
            commandLine = expandCommandTemplate(commandTemplate, context, list);
            std::ofstream out(list.path.c_str(), std::ios::out | std::ios::trunc | std::ios::binary);
            out << list.text;
            out.close();
            if (!out) {
                std::cerr << "Unable to write the temporary file " << list.path << '\n' << std::flush;
                return false;
            }
        }
        progress(step);
        // The child writes to the same terminal; what vorn has buffered must come out before it.
        std::cout.flush();
        std::cerr.flush();
        std::string failure;
        process = platform::startShellCommand(commandLine, &failure);
        if (process == -1)
            std::cerr << "Unable to run the command (" << failure << "): " << shownCommand(commandLine) << '\n'
                      << std::flush;
        return process != -1;
    }

    // Judges the exit status; false, with the command named, when it is not the success code.
    bool ended(int status) const {
        if (status == successCode) return true;
        std::cerr << "The command exited with status " << status << ", not " << successCode << ": "
                  << shownCommand(commandLine) << '\n'
                  << std::flush;
        return false;
    }

    platform::ProcessId process = -1;

private:
    TemplateContext context;  // before the file, which names it
    TemporaryFile temporary;
    ListFile list;
    std::string commandLine;
    int successCode;
};

// Waits for one running command and forgets it; false when it failed.
bool collectOne(std::vector<std::unique_ptr<StageCommand>>& running) {
    int status = 0;
    const platform::ProcessId process = platform::waitForStartedCommand(status);
    for (auto command = running.begin(); command != running.end(); ++command) {
        if ((*command)->process != process) continue;
        const bool ok = (*command)->ended(status);
        running.erase(command);
        return ok;
    }
    // Nothing left to wait for while commands count as running: their statuses are lost.
    running.clear();
    std::cerr << "Unable to wait for the compiler\n" << std::flush;
    return false;
}

}  // namespace

int runCommand(const std::string& commandLine, std::string* failure) {
    // The child writes to the same terminal; what vorn has buffered must come out before it.
    std::cout.flush();
    std::cerr.flush();
    return platform::runShellCommand(commandLine, failure);
}

bool compileAll(BuildManager& build) {
    const CompilerConfiguration& configuration = compilerConfiguration;
    const bool linking = runOptions.processImports && !configuration.linkTemplate.empty();
    stepsDone = 0;
    stepsInRun = linking ? 1 : 0;
    if (configuration.compileTemplate.empty()) {
        if (build.converted.empty()) return true;
        // Going on would link, or stop, with nothing compiled and nothing said.
        std::string scripts;
        for (const std::string& script : configuration.scripts) scripts += (scripts.empty() ? "" : ", ") + script;
        std::cerr << "No compiler line in the compiler script " << scripts << '\n' << std::flush;
        return false;
    }
    // Each command has a context of its own: a compile runs alongside the next one's expansion.
    TemplateContext stale{build.visited, ModuleName(), std::string()};
    addModulesWithStaleObjects(configuration.objectFileTemplate, build, stale);
    stepsInRun += build.toCompile.size();
    const size_t jobs = runOptions.jobs > 0 ? static_cast<size_t>(runOptions.jobs) : platform::hardwareThreads();
    // After a failure no compile starts; those running are waited for, so none outlives the run.
    bool ok = true;
    std::vector<std::unique_ptr<StageCommand>> running;
    for (const ModuleName& name : build.toCompile) {
        while (ok && running.size() >= jobs) ok = collectOne(running) && ok;
        if (!ok) break;
        auto command = std::make_unique<StageCommand>(configuration.compileFileTemplate, configuration.compileSuccess,
                                                      TemplateContext{build.visited, name, std::string()});
        if (!command->start(configuration.compileTemplate, "compiling " + dottedName(name))) {
            ok = false;
            break;
        }
        running.push_back(std::move(command));
    }
    while (!running.empty()) ok = collectOne(running) && ok;
    return ok;
}

bool linkAll(BuildManager& build) {
    const CompilerConfiguration& configuration = compilerConfiguration;
    if (configuration.linkTemplate.empty()) return true;
    StageCommand command(configuration.linkFileTemplate, configuration.linkSuccess,
                         TemplateContext{build.visited, ModuleName(), std::string()});
    const std::string program = runOptions.outputName.empty() ? runOptions.defaultOutputName : runOptions.outputName;
    if (!command.start(configuration.linkTemplate, "linking " + program)) return false;
    int status = 0;
    if (platform::waitForStartedCommand(status) != command.process) {
        std::cerr << "Unable to wait for the linker\n" << std::flush;
        return false;
    }
    return command.ended(status);
}
