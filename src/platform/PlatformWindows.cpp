// Platform layer, Windows form: the wide file and process functions behind UTF-8 paths with
// '/', the command processor, the registry, and the pool's address space.
#ifdef _WIN32
#include "platform/Platform.hpp"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include <windows.h>

namespace platform {

namespace {

std::wstring wide(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], length);
    return result;
}

std::string narrow(const wchar_t* text, size_t size) {
    if (size == 0) return std::string();
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), &result[0], length, nullptr, nullptr);
    return result;
}

std::string narrow(const std::wstring& text) { return narrow(text.data(), text.size()); }

// The system's own paths come with '\'; the rest of the program writes '/'.
std::string slashed(const std::wstring& path) { return hostPath(narrow(path)); }

// Calls that fill a buffer and answer the length they need when it is too small.
template <typename Fill>
std::wstring filled(Fill fill) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = fill(&buffer[0], static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::wstring();
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(length + 1);
    }
}

bool attributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return !path.empty() && GetFileAttributesExW(wide(path).c_str(), GetFileExInfoStandard, &data) != 0;
}

std::string reason(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = length ? narrow(text, length) : std::string("system error");
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message + " (" + std::to_string(error) + ")";
}

// The command processor as the run time's system() finds it, started so that it takes the
// line between the outer quotes as written (/s), whatever quotes the line holds itself.
std::wstring commandProcessorCall(const std::string& commandLine, std::wstring& program) {
    std::string processor;
    if (!getEnvironment("COMSPEC", processor) || processor.empty()) processor = "cmd.exe";
    program = wide(processor);
    return L"\"" + program + L"\" /s /c \"" + wide(commandLine) + L"\"";
}

// Starts a process; its handle, or null with the reason in `failure`. The command line is
// changed in place by the call, so it is taken by value.
HANDLE startProcess(const std::wstring& program, std::wstring commandLine, HANDLE output, std::string* failure) {
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = output;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION process;
    if (!CreateProcessW(program.empty() ? nullptr : program.c_str(), &commandLine[0], nullptr, nullptr,
                        output ? TRUE : FALSE, 0, nullptr, nullptr, &startup, &process)) {
        if (failure) *failure = reason(GetLastError());
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

int waitForExit(HANDLE process) {
    DWORD code = 0;
    const bool ended = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return ended ? static_cast<int>(code) : -1;
}

}  // namespace

bool getEnvironment(const std::string& name, std::string& value) {
    const std::wstring key = wide(name);
    SetLastError(0);
    const std::wstring text = filled([&](wchar_t* buffer, DWORD size) {
        return GetEnvironmentVariableW(key.c_str(), buffer, size);
    });
    if (text.empty() && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
    value = narrow(text);
    return true;
}

void setEnvironment(const std::string& name, const std::string& value) {
    SetEnvironmentVariableW(wide(name).c_str(), wide(value).c_str());
    // The run time keeps a copy of its own, which getenv in tests and libraries reads.
    _wputenv_s(wide(name).c_str(), wide(value).c_str());
}

void unsetEnvironment(const std::string& name) {
    SetEnvironmentVariableW(wide(name).c_str(), nullptr);
    _wputenv_s(wide(name).c_str(), L"");
}

std::string runningExecutableDirectory() {
    const std::wstring path = filled([](wchar_t* buffer, DWORD size) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer, size);
        return length == size ? size : length;
    });
    const std::string file = slashed(path);
    const std::string::size_type slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

// Links are rare on Windows and installations copy the program: it is found where it runs.
std::string linkTargetDirectory(const std::string&) { return std::string(); }

bool fileExists(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return attributes(path, data);
}

bool isExecutableFile(const std::string& path) { return isRegularFile(path); }

bool isDirectory(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return attributes(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isRegularFile(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return attributes(path, data) && !(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

FileTime modificationTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!attributes(path, data)) return 0;
    // The file system keeps 100 ns steps since 1601.
    const unsigned long long ticks =
        (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    const unsigned long long ticksTo1970 = 116444736000000000ULL;
    return ticks > ticksTo1970 ? static_cast<FileTime>((ticks - ticksTo1970) * 100) : 1;
}

long long fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!attributes(path, data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return -1;
    return static_cast<long long>((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

bool renameFile(const std::string& from, const std::string& to) {
    // rename() refuses an existing target here; the writers rely on replacing one.
    return MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::string uniqueNameBeside(const std::string& path) {
    // Read and written only here; a run writes its files from one thread.
    static unsigned long count = 0;
    const unsigned long id = static_cast<unsigned long>(GetCurrentProcessId());
    return path + "." + std::to_string(id) + "-" + std::to_string(++count) + ".tmp";
}

bool deleteFile(const std::string& path) {
    const std::wstring name = wide(path);
    return DeleteFileW(name.c_str()) != 0 || RemoveDirectoryW(name.c_str()) != 0;
}

bool makeDirectory(const std::string& path) {
    return CreateDirectoryW(wide(path).c_str(), nullptr) != 0 || isDirectory(path);
}

std::string canonicalPath(const std::string& path) {
    if (!fileExists(path)) return std::string();
    const std::wstring name = wide(path);
    return slashed(filled([&](wchar_t* buffer, DWORD size) { return GetFullPathNameW(name.c_str(), size, buffer, nullptr); }));
}

bool nameMatchesExactly(const std::string& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    const std::string::size_type slash = path.find_last_of("/\\");
    return narrow(found.cFileName, wcslen(found.cFileName)) == path.substr(slash == std::string::npos ? 0 : slash + 1);
}

std::string findProgram(const std::string& name) {
    const std::string::size_type slash = name.find_last_of("/\\");
    const bool hasExtension = name.find('.', slash == std::string::npos ? 0 : slash) != std::string::npos;
    const std::string file = hasExtension ? name : name + ".exe";
    if (name.find_first_of("/\\:") != std::string::npos) return isRegularFile(file) ? file : std::string();
    // The command processor's order: the current directory, then the search path.
    std::vector<std::string> folders{"."};
    std::string searched;
    if (getEnvironment("PATH", searched))
        for (const std::string& dir : splitPathList(searched))
            if (!dir.empty()) folders.push_back(hostPath(dir));
    for (const std::string& dir : folders) {
        const std::string candidate = dir + (dir.back() == '/' ? "" : "/") + file;
        if (isRegularFile(candidate)) return candidate;
    }
    return std::string();
}

std::string userCacheDirectory() {
    std::string base;
    if (getEnvironment("LOCALAPPDATA", base) && !base.empty()) return hostPath(base);
    return std::string();
}

std::vector<std::string> environmentIncludeDirectories() {
    std::vector<std::string> folders;
    std::string value;
    if (!getEnvironment("INCLUDE", value)) return folders;
    for (const std::string& entry : splitPathList(value))
        if (!entry.empty()) folders.push_back(hostPath(entry));
    return folders;
}

bool localTime(std::time_t when, std::tm& local) { return localtime_s(&local, &when) == 0; }

std::string currentDirectory() {
    return slashed(filled([](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); }));
}

std::string temporaryDirectory() {
    std::string directory = slashed(filled([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); }));
    if (directory.empty()) directory = ".";
    while (directory.size() > 1 && directory.back() == '/' && directory[directory.size() - 2] != ':') directory.pop_back();
    return directory;
}

std::string createTemporaryFile() {
    // The process id, a count and the time make the name; CREATE_NEW makes a name another
    // process took at the same moment fail instead of being shared.
    static unsigned long count = 0;
    const std::string directory = temporaryDirectory();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = directory + "/vorn-" + std::to_string(GetCurrentProcessId()) + "-" +
                                 std::to_string(++count) + "-" + std::to_string(GetTickCount64() % 100000) + ".tmp";
        HANDLE file = CreateFileW(wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return name;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return std::string();
    }
    return std::string();
}

std::vector<std::string> listDirectory(const std::string& directory, const std::string& pattern) {
    std::vector<std::string> names;
    std::string folder = directory.empty() ? std::string(".") : directory;
    if (folder.back() != '/' && folder.back() != '\\') folder += '/';
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide(folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = narrow(found.cFileName, wcslen(found.cFileName));
        if (name == "." || name == "..") continue;
        if (wildcardMatch(pattern, name)) names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

int captureCommandOutput(const std::string& commandLine, std::string& output) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0)) return -1;
    // The child gets only the writing end; this process keeps only the reading one.
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::wstring program;
    const std::wstring line = commandProcessorCall(commandLine, program);
    HANDLE process = startProcess(program, line, writeEnd, nullptr);
    CloseHandle(writeEnd);
    if (!process) {
        CloseHandle(readEnd);
        return -1;
    }
    char buffer[4096];
    DWORD n;
    while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) output.append(buffer, n);
    CloseHandle(readEnd);
    return waitForExit(process);
}

namespace {
// Commands started and not yet waited for, with the number each was given.
std::vector<std::pair<ProcessId, HANDLE>> runningCommands;
ProcessId lastCommand = 0;
}  // namespace

int runShellCommand(const std::string& commandLine, std::string* failure) {
    std::wstring program;
    HANDLE process = startProcess(program, commandProcessorCall(commandLine, program), nullptr, failure);
    return process ? waitForExit(process) : -1;
}

ProcessId startShellCommand(const std::string& commandLine, std::string* failure) {
    std::wstring program;
    HANDLE process = startProcess(program, commandProcessorCall(commandLine, program), nullptr, failure);
    if (!process) return -1;
    runningCommands.emplace_back(++lastCommand, process);
    return lastCommand;
}

ProcessId waitForStartedCommand(int& status) {
    if (runningCommands.empty()) return -1;
    // One wait takes at most 64 handles; the rest wait their turn.
    std::vector<HANDLE> handles;
    for (size_t i = 0; i < runningCommands.size() && i < MAXIMUM_WAIT_OBJECTS; ++i)
        handles.push_back(runningCommands[i].second);
    const DWORD woken = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
    if (woken >= WAIT_OBJECT_0 + handles.size()) return -1;
    const std::pair<ProcessId, HANDLE> ended = runningCommands[woken - WAIT_OBJECT_0];
    runningCommands.erase(runningCommands.begin() + (woken - WAIT_OBJECT_0));
    status = waitForExit(ended.second);
    return ended.first;
}

// The command processor reads at most this many characters of a line.
std::string::size_type commandLineLimit() { return 8191; }

int spawnAndWait(const std::string& program, const std::vector<std::string>& arguments) {
    const std::string found = findProgram(program);
    if (found.empty()) return -1;
    HANDLE process = startProcess(wide(found), wide(argumentLine(arguments.empty() ? std::vector<std::string>{program} : arguments)),
                                  nullptr, nullptr);
    return process ? waitForExit(process) : -1;
}

int runWithArguments(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return spawnAndWait(program, argv);
}

void* reserveAddressSpace(std::size_t bytes) { return VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS); }

// Reserved pages fault here until they are committed, so every run is committed first.
bool commitPages(void* from, std::size_t bytes, bool) {
    return VirtualAlloc(from, bytes, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

// The run time's heap has no knobs worth turning for the pool.
void tuneGeneralAllocator() {}

namespace {
class WindowsRegistry : public Registry {
public:
    bool openKey(const std::string& keyPath) override {
        closeKey();
        return RegOpenKeyExW(HKEY_CURRENT_USER, wide(keyPath).c_str(), 0, KEY_READ, &key_) == ERROR_SUCCESS;
    }
    bool readString(const std::string& valueName, std::string& value) override {
        if (!key_) return false;
        const std::wstring name = wide(valueName);
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(key_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
        if ((type != REG_SZ && type != REG_EXPAND_SZ) || size > 64 * 1024) return false;
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &size) != ERROR_SUCCESS)
            return false;
        text.resize(size / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        value = narrow(text);
        return true;
    }
    void closeKey() override {
        if (key_) RegCloseKey(key_);
        key_ = nullptr;
    }
    ~WindowsRegistry() override { closeKey(); }

private:
    HKEY key_ = nullptr;
};

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

Registry& systemRegistry() {
    static WindowsRegistry windowsRegistry;
    return windowsRegistry;
}

bool runWithStack(std::size_t bytes, void (*task)(void*), void* context) {
    StackTask t{task, context};
    HANDLE thread = CreateThread(nullptr, bytes, runStackTask, &t, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread) return false;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return true;
}

}  // namespace platform
#endif
