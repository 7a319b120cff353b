// Platform layer, POSIX form: file status, processes, temporary files, the pool's address
// space and an empty registry.
#ifndef _WIN32
#include "platform/Platform.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <malloc.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {

bool getEnvironment(const std::string& name, std::string& value) {
    const char* text = std::getenv(name.c_str());
    if (!text) return false;
    value = text;
    return true;
}

void setEnvironment(const std::string& name, const std::string& value) {
    ::setenv(name.c_str(), value.c_str(), 1);
}

void unsetEnvironment(const std::string& name) { ::unsetenv(name.c_str()); }

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
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return std::string();
    std::string target = canonicalPath(path);
    if (target.empty()) return std::string();
    return target.substr(0, target.rfind('/') + 1);
}

bool fileExists(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0;
}

bool isExecutableFile(const std::string& path) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
    return ::access(path.c_str(), X_OK) == 0;
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
    return static_cast<FileTime>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec;
}

long long fileSize(const std::string& path) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
    return static_cast<long long>(status.st_size);
}

bool renameFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

std::string uniqueNameBeside(const std::string& path) {
    // Read and written only here; a run writes its files from one thread.
    static unsigned long count = 0;
    const unsigned long id = static_cast<unsigned long>(::getpid());
    return path + "." + std::to_string(id) + "-" + std::to_string(++count) + ".tmp";
}

bool deleteFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

bool makeDirectory(const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0 || isDirectory(path); }

std::string canonicalPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return std::string();
    std::string resolved(real);
    std::free(real);
    return resolved;
}

// Case matters to POSIX file systems, so a name that opened is spelled as it stands.
bool nameMatchesExactly(const std::string&) { return true; }

std::string findProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) return isExecutableFile(name) ? name : std::string();
    std::string searched;
    if (!getEnvironment("PATH", searched)) return std::string();
    for (const std::string& dir : splitPathList(searched)) {
        std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (isExecutableFile(candidate)) return candidate;
    }
    return std::string();
}

std::string userCacheDirectory() {
    std::string base;
    if (getEnvironment("XDG_CACHE_HOME", base) && !base.empty() && base[0] == '/') return base;
    if (getEnvironment("HOME", base) && !base.empty()) return base + "/.cache";
    return std::string();
}

std::vector<std::string> environmentIncludeDirectories() { return std::vector<std::string>(); }

bool localTime(std::time_t when, std::tm& local) { return ::localtime_r(&when, &local) != nullptr; }

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
    FILE* pipe = popen(commandLine.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    return decodeWaitStatus(pclose(pipe));
}

int runShellCommand(const std::string& commandLine, std::string* failure) {
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
}

ProcessId startShellCommand(const std::string& commandLine, std::string* failure) {
    const char* argv[] = {"sh", "-c", commandLine.c_str(), nullptr};
    pid_t child;
    const int error = ::posix_spawn(&child, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ);
    if (error != 0) {
        if (failure) *failure = std::strerror(error);
        return -1;
    }
    return child;
}

ProcessId waitForStartedCommand(int& status) {
    // The translator starts no other children while commands run, so any child is one of them.
    int raw;
    pid_t child;
    while ((child = ::waitpid(-1, &raw, 0)) < 0)
        if (errno != EINTR) return -1;
    status = decodeWaitStatus(raw);
    return child;
}

std::string::size_type commandLineLimit() {
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

int runWithArguments(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return spawnAndWait(program, argv);
}

void* reserveAddressSpace(std::size_t bytes) {
    // Address space only: pages are backed when first touched. Small pages keep the resident
    // size close to what is used.
    void* range = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (range == MAP_FAILED) return nullptr;
    ::madvise(range, bytes, MADV_NOHUGEPAGE);
    return range;
}

bool commitPages(void* from, std::size_t bytes, bool populate) {
    // One call instead of a fault per page, which under a virtual machine costs more than the
    // work that touches the page. Without it the pages are faulted in one by one as before.
#ifdef MADV_POPULATE_WRITE
    if (populate) ::madvise(from, bytes, MADV_POPULATE_WRITE);
#else
    (void)from;
    (void)bytes;
    (void)populate;
#endif
    return true;
}

void tuneGeneralAllocator() {
    // With the small blocks gone from malloc's heap, nothing pins its top: it would be given
    // back after every large block (a module's tokens, a generated file) and faulted in again
    // for the next.
    ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
}

namespace {
// POSIX systems have no registry: every key is missing.
class EmptyRegistry : public Registry {
public:
    bool openKey(const std::string&) override { return false; }
    bool readString(const std::string&, std::string&) override { return false; }
    void closeKey() override {}
};

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

Registry& systemRegistry() {
    static EmptyRegistry empty;
    return empty;
}

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

}  // namespace platform
#endif
