// Platform layer, POSIX form: file status, processes, temporary files and an empty registry.
// Takes paths and command lines; gives statuses and names. Never prints.
#include "platform/Platform.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif
#include <dirent.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {

char pathListSeparator() {
#ifdef _WIN32
    return ';';
#else
    return ':';
#endif
}

const char* executableFileName() {
#ifdef _WIN32
    return "vorn.exe";
#else
    return "vorn";
#endif
}

std::vector<std::string> splitPathList(const std::string& value) {
    std::vector<std::string> entries;
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type end = value.find(pathListSeparator(), start);
        if (end == std::string::npos) {
            entries.push_back(value.substr(start));
            return entries;
        }
        entries.push_back(value.substr(start, end - start));
        start = end + 1;
    }
}

bool getEnvironment(const std::string& name, std::string& value) {
    const char* text = std::getenv(name.c_str());
    if (!text) return false;
    value = text;
    return true;
}

void setEnvironment(const std::string& name, const std::string& value) {
    ::setenv(name.c_str(), value.c_str(), 1);
}

std::string runningExecutableDirectory() {
    char buffer[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return std::string();
    std::string path(buffer, static_cast<size_t>(length));
    std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    return path.substr(0, slash + 1);
}

std::string linkTargetDirectory(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return std::string();
#else
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return std::string();
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return std::string();
    std::string target(real);
    std::free(real);
    return target.substr(0, target.rfind('/') + 1);
#endif
}

bool fileExists(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0;
}

bool isExecutableFile(const std::string& path) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
#ifdef _WIN32
    return true;
#else
    return ::access(path.c_str(), X_OK) == 0;
#endif
}

bool isDirectory(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool isRegularFile(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

FileTime modificationTime(const std::string& path) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) return 0;
#ifdef _WIN32
    // The C runtime's stat keeps whole seconds; the file system keeps 100 ns steps.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        const unsigned long long ticks =
            (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
        const unsigned long long ticksTo1970 = 116444736000000000ULL;
        return static_cast<FileTime>((ticks - ticksTo1970) * 100);
    }
    return static_cast<FileTime>(status.st_mtime) * 1000000000LL;
#else
    return static_cast<FileTime>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec;
#endif
}

bool renameFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

std::string uniqueNameBeside(const std::string& path) {
    // Read and written only here; a run writes its files from one thread.
    static unsigned long count = 0;
#ifdef _WIN32
    const unsigned long id = static_cast<unsigned long>(::GetCurrentProcessId());
#else
    const unsigned long id = static_cast<unsigned long>(::getpid());
#endif
    return path + "." + std::to_string(id) + "-" + std::to_string(++count) + ".tmp";
}

bool deleteFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

std::string currentDirectory() {
    std::vector<char> buffer(256);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) return std::string(buffer.data());
        if (errno != ERANGE) return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

std::string temporaryDirectory() {
    std::string directory;
    if (!getEnvironment("TMPDIR", directory) || directory.empty()) directory = "/tmp";
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    return directory;
}

std::string createTemporaryFile() {
    // No name prefix: the file is known only by the unique part the system makes up.
    std::string pattern = temporaryDirectory() + "/XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) return std::string();
    ::close(fd);
    return std::string(name.data());
}

bool wildcardMatch(const std::string& pattern, const std::string& name) {
    // Iterative match with one backtrack point: the last '*' seen and where it started.
    size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<std::string> listDirectory(const std::string& directory, const std::string& pattern) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (wildcardMatch(pattern, name)) names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// A child killed by a signal is reported the way shells do, 128 plus the signal number, so
// that it never reads as an ordinary exit code.
static int decodeWaitStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

int captureCommandOutput(const std::string& commandLine, std::string& output) {
#ifdef _WIN32
    FILE* pipe = _popen(commandLine.c_str(), "r");
#else
    FILE* pipe = popen(commandLine.c_str(), "r");
#endif
    if (!pipe) return -1;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
#ifdef _WIN32
    return _pclose(pipe);
#else
    return decodeWaitStatus(pclose(pipe));
#endif
}

CompilerPreprocessor queryCompilerPreprocessor(const std::string& compilerCommand) {
    CompilerPreprocessor facts;
    // Both streams in one pipe: the macros arrive on stdout, the search list on stderr.
    std::string commandLine = compilerCommand + " -x c++ -E -dM -v /dev/null 2>&1";
    FILE* pipe = popen(commandLine.c_str(), "r");
    if (!pipe) return facts;
    std::string output;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    int status = pclose(pipe);
    bool inSearchList = false;
    bool sawSearchList = false;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(start, end - start);
        start = end + 1;
        if (line.compare(0, 8, "#define ") == 0) {
            facts.predefines += line + "\n";
        } else if (line.compare(0, 25, "#include <...> search sta") == 0) {
            inSearchList = sawSearchList = true;
        } else if (line.compare(0, 18, "End of search list") == 0) {
            inSearchList = false;
        } else if (inSearchList && line.size() > 1 && line[0] == ' ') {
            std::string dir = line.substr(1);
            // Darwin marks framework directories; they hold no plain headers.
            if (dir.size() > 22 && dir.compare(dir.size() - 22, 22, " (framework directory)") == 0) continue;
            facts.includeDirectories.push_back(dir);
        }
    }
    facts.found = status == 0 && sawSearchList;
    if (!facts.found) facts = CompilerPreprocessor();
    return facts;
}

namespace {
// The run time's rule: backslashes are literal unless a double quote follows them, so a run
// of them before a quote (or before the closing quote) is doubled.
std::string quotedArgument(const std::string& argument) {
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + "\"";
}

// The command processor reads its line before the program splits it; with every quote
// escaped it never enters its quoted state, so each special character needs its own '^'.
std::string escapedForCommandProcessor(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c != '\0' && std::strchr("()%!^\"<>&|", c)) escaped += '^';
        escaped += c;
    }
    return escaped;
}
}  // namespace

ShellQuoting shellQuotingAfter(ShellQuoting state, const std::string& text) {
#ifdef _WIN32
    // The command processor knows only double quotes, and no escape inside them.
    for (char c : text)
        if (c == '"') state = state == ShellQuoting::inDouble ? ShellQuoting::none : ShellQuoting::inDouble;
#else
    bool escaped = false;
    for (char c : text) {
        if (escaped) {
            escaped = false;
        } else if (state == ShellQuoting::inSingle) {
            if (c == '\'') state = ShellQuoting::none;
        } else if (c == '\\') {
            escaped = true;
        } else if (c == '"') {
            state = state == ShellQuoting::inDouble ? ShellQuoting::none : ShellQuoting::inDouble;
        } else if (c == '\'' && state == ShellQuoting::none) {
            state = ShellQuoting::inSingle;
        }
    }
#endif
    return state;
}

std::string shellQuoted(const std::string& value, ShellQuoting state) {
    std::string quoted;
#ifdef _WIN32
    // A Windows path holds no '"'; '%' cannot be escaped inside quotes, so a value outside
    // quotes is quoted and the characters the command processor acts on are escaped.
    if (state == ShellQuoting::inDouble) {
        for (char c : value)
            if (c != '"') quoted += c;
        return quoted;
    }
    return escapedForCommandProcessor(quotedArgument(value));
#else
    switch (state) {
    case ShellQuoting::inSingle:
        // Close the quotes, give the quote itself escaped, open them again.
        for (char c : value) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted;
    case ShellQuoting::inDouble:
        // Inside double quotes only these four keep a meaning, and a backslash takes it away.
        for (char c : value) {
            if (c == '$' || c == '`' || c == '"' || c == '\\') quoted += '\\';
            quoted += c;
        }
        return quoted;
    case ShellQuoting::none:
        break;
    }
    return "'" + shellQuoted(value, ShellQuoting::inSingle) + "'";
#endif
}

int runShellCommand(const std::string& commandLine, std::string* failure) {
#ifdef _WIN32
    // The command processor stands in for the shell; no shell at all is a failure to start.
    if (std::system(nullptr) == 0) {
        if (failure) *failure = "no command processor";
        return -1;
    }
    int status = std::system(commandLine.c_str());
    if (status == -1 && failure) *failure = std::strerror(errno);
    return status;
#else
    // Started directly rather than through system(), which cannot tell a shell that could not
    // be started (a line too long for the system) from one that exited with 127.
    const ProcessId child = startShellCommand(commandLine, failure);
    if (child == -1) return -1;
    int status;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR) {
            if (failure) *failure = std::strerror(errno);
            return -1;
        }
    return decodeWaitStatus(status);
#endif
}

#ifdef _WIN32
namespace {
// Commands run to their end at the start; their statuses wait here to be collected.
std::vector<std::pair<ProcessId, int>> endedCommands;
ProcessId lastCommand = 0;
}  // namespace
#endif

ProcessId startShellCommand(const std::string& commandLine, std::string* failure) {
#ifdef _WIN32
    const int status = runShellCommand(commandLine, failure);
    if (status == -1) return -1;
    endedCommands.emplace_back(++lastCommand, status);
    return lastCommand;
#else
    const char* argv[] = {"sh", "-c", commandLine.c_str(), nullptr};
    pid_t child;
    const int error = ::posix_spawn(&child, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ);
    if (error != 0) {
        if (failure) *failure = std::strerror(error);
        return -1;
    }
    return child;
#endif
}

ProcessId waitForStartedCommand(int& status) {
#ifdef _WIN32
    if (endedCommands.empty()) return -1;
    const std::pair<ProcessId, int> ended = endedCommands.front();
    endedCommands.erase(endedCommands.begin());
    status = ended.second;
    return ended.first;
#else
    // The translator starts no other children while commands run, so any child is one of them.
    int raw;
    pid_t child;
    while ((child = ::waitpid(-1, &raw, 0)) < 0)
        if (errno != EINTR) return -1;
    status = decodeWaitStatus(raw);
    return child;
#endif
}

unsigned hardwareThreads() {
    const unsigned threads = std::thread::hardware_concurrency();
    return threads > 0 ? threads : 1;
}

std::string::size_type commandLineLimit() {
#ifdef _WIN32
    return 8191;
#else
    std::string::size_type environment = 0;
    for (char** entry = environ; *entry; ++entry) environment += std::strlen(*entry) + 1 + sizeof(char*);
    const long total = ::sysconf(_SC_ARG_MAX);
    std::string::size_type limit = total > 0 ? static_cast<std::string::size_type>(total) : 4096;
    // Room for "sh", "-c" and their pointers, and a margin for what the system counts itself.
    limit = limit > environment + 4096 ? limit - environment - 4096 : 0;
#ifdef __linux__
    // Linux also limits each single argument, and the shell gets the whole line as one.
    limit = std::min<std::string::size_type>(limit, 32 * 4096 - 1);
#endif
    return limit;
#endif
}

int spawnAndWait(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    if (argv.empty()) argv.push_back(const_cast<char*>(program.c_str()));
    argv.push_back(nullptr);
    pid_t child;
    if (::posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return decodeWaitStatus(status);
}


std::string commandProcessorLine(const std::string& program, const std::vector<std::string>& arguments) {
    std::string line = escapedForCommandProcessor(program);
    for (const std::string& argument : arguments) line += " " + escapedForCommandProcessor(quotedArgument(argument));
    return line;
}

int runWithArguments(const std::string& program, const std::vector<std::string>& arguments) {
#ifdef _WIN32
    return runShellCommand(commandProcessorLine(program, arguments));
#else
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return spawnAndWait(program, argv);
#endif
}

std::string fileNameInArgument(const std::string& name) {
#ifdef _WIN32
    return "\"" + name + "\"";
#else
    return name;
#endif
}

std::string hostPath(const std::string& path) {
#ifdef _WIN32
    return path;
#else
    std::string converted = path;
    std::replace(converted.begin(), converted.end(), '\\', '/');
    return converted;
#endif
}

namespace {
// POSIX systems have no registry: every key is missing.
class EmptyRegistry : public Registry {
public:
    bool openKey(const std::string&) override { return false; }
    bool readString(const std::string&, std::string&) override { return false; }
    void closeKey() override {}
};

// Written by setRegistry (tests only), read by every registry user.
Registry* registryOverride = nullptr;
}  // namespace

Registry& registry() {
    static EmptyRegistry systemRegistry;
    return registryOverride ? *registryOverride : systemRegistry;
}

void setRegistry(Registry* replacement) { registryOverride = replacement; }

#ifdef _WIN32
namespace {
struct StackTask {
    void (*task)(void*);
    void* context;
};
DWORD WINAPI runStackTask(LPVOID parameter) {
    StackTask* t = static_cast<StackTask*>(parameter);
    t->task(t->context);
    return 0;
}
}  // namespace

bool runWithStack(std::size_t bytes, void (*task)(void*), void* context) {
    StackTask t{task, context};
    HANDLE thread = CreateThread(nullptr, bytes, runStackTask, &t, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread) return false;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return true;
}
#else
namespace {
struct StackTask {
    void (*task)(void*);
    void* context;
};
void* runStackTask(void* parameter) {
    StackTask* t = static_cast<StackTask*>(parameter);
    t->task(t->context);
    return nullptr;
}
}  // namespace

bool runWithStack(std::size_t bytes, void (*task)(void*), void* context) {
    StackTask t{task, context};
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    pthread_t thread;
    // The pages are only reserved: a run that stays shallow touches a few of them.
    const bool made = pthread_attr_setstacksize(&attributes, bytes) == 0 &&
                      pthread_create(&thread, &attributes, runStackTask, &t) == 0;
    pthread_attr_destroy(&attributes);
    if (!made) return false;
    pthread_join(thread, nullptr);
    return true;
}
#endif

}  // namespace platform
