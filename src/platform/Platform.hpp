// Platform layer: every facility the translator takes from the operating system, in one place.
// Takes plain paths, names and command lines; gives statuses, times and file names. Paths are
// UTF-8 and use '/' (Windows accepts it, and one separator keeps generated paths alike).
// Platform.cpp holds what every system shares, PlatformPosix.cpp and PlatformWindows.cpp the
// rest. Must never print anything or decide a message: callers own the wording.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

namespace platform {

// Separator of the entries of the search path variable: ':' on POSIX, ';' on Windows.
char pathListSeparator();
// File name of the translator's own executable as it is looked for on the search path.
const char* executableFileName();

// Splits a search path value at each separator; empty entries are kept as empty strings.
std::vector<std::string> splitPathList(const std::string& value);

// Reads an environment variable; false when it is not set.
bool getEnvironment(const std::string& name, std::string& value);
void setEnvironment(const std::string& name, const std::string& value);
void unsetEnvironment(const std::string& name);

// Directory of the running executable as the system reports it, ending in '/'; empty when
// the system cannot tell.
std::string runningExecutableDirectory();

// When the path is a symbolic link: the directory of the file it finally leads to (all links
// followed), absolute and ending in '/'. Empty when the path is no link or leads nowhere.
std::string linkTargetDirectory(const std::string& path);

// True when the path names something whose status can be read.
bool fileExists(const std::string& path);
// True when the path names a regular file that may be run (on Windows: any regular file), so
// that a directory or a plain file of the program's name is not taken for the program.
bool isExecutableFile(const std::string& path);
// True when the path names a directory. Readers refuse one before opening: some systems open a
// directory as a stream that reads as empty.
bool isDirectory(const std::string& path);
// True when the path names a regular file: no directory, device or pipe.
bool isRegularFile(const std::string& path);
// A file's modification time in nanoseconds since 1970, at the precision the file system keeps:
// an edit in the same second as the last run must still count as newer.
typedef long long FileTime;
// Modification time of a file, 0 when it does not exist.
FileTime modificationTime(const std::string& path);
bool renameFile(const std::string& from, const std::string& to);
// A name beside `path` for a file to be renamed to it later: it holds the process id and a count,
// so no other run, and no other file of this run, picks the same one. Nothing is created.
std::string uniqueNameBeside(const std::string& path);
bool deleteFile(const std::string& path);
// The current working directory as the system gives it (no trailing separator added).
std::string currentDirectory();
// Directory for temporary files (TMPDIR, else /tmp; on Windows TMP, TEMP or the system's
// choice), without a trailing separator.
std::string temporaryDirectory();
// Creates a new, empty, uniquely named file in the temporary directory; returns its path,
// empty when no file could be made.
std::string createTemporaryFile();
// Makes one directory; true when it exists afterwards.
bool makeDirectory(const std::string& path);
// Size of a regular file in bytes, -1 when it cannot be read.
long long fileSize(const std::string& path);
// The absolute path the file is reached by, links followed; empty when it does not exist.
std::string canonicalPath(const std::string& path);
// Whether the last component of an existing path is spelled as the directory holds it: on a
// file system that ignores case, "widgets.h" answers "Widgets.h" and must not count.
bool nameMatchesExactly(const std::string& path);
// The file a program name runs: a name with a separator as it is, else the first match on the
// search path (on Windows the current directory first, and ".exe" added where it is missing).
// Empty when there is none.
std::string findProgram(const std::string& name);
// Folder where a user's programs keep caches (XDG_CACHE_HOME or ~/.cache; on Windows
// LOCALAPPDATA), without a trailing separator; empty when the system names none.
std::string userCacheDirectory();
// The device that reads as empty: "/dev/null", on Windows "NUL".
const char* nullDevice();
// Local time of `when`; false when the system cannot tell it.
bool localTime(std::time_t when, std::tm& local);

// Address space for the small-object pool: reserved, not yet usable on every system. Null
// when none could be reserved.
void* reserveAddressSpace(std::size_t bytes);
// Makes reserved pages usable; `populate` asks for them to be made resident now, a hint
// where pages become usable when touched (POSIX). False when they cannot be used.
bool commitPages(void* from, std::size_t bytes, bool populate);
// Tells the general allocator that the pool holds the small blocks (where it can be told).
void tuneGeneralAllocator();

// Does `name` match `pattern`, where '*' stands for any run of characters and '?' for one?
bool wildcardMatch(const std::string& pattern, const std::string& name);
// Entries of a directory (not "." or "..") whose names match the pattern, sorted by name.
std::vector<std::string> listDirectory(const std::string& directory, const std::string& pattern);

// Where a piece of text stands in a command line the shell reads: outside quotes, inside
// double quotes or inside single quotes.
enum class ShellQuoting { none, inDouble, inSingle };
// The quoting in force after `text` when `state` was in force before it.
ShellQuoting shellQuotingAfter(ShellQuoting state, const std::string& text);
// `value` written so that the shell hands it on as exactly these characters, whatever they
// are (blanks, quotes, "$(...)", backquotes, ';', newlines), given where it stands; the
// quoting in force afterwards is the same as before.
std::string shellQuoted(const std::string& value, ShellQuoting state);

// The system shell is /bin/sh on POSIX and the command processor on Windows (COMSPEC, else
// cmd.exe, started with "/s /c" and the line in quotes, so that the line arrives as written).
// Runs a command line through the system shell, collecting what it writes on standard output;
// the exit status, or -1 when no shell could be started.
int captureCommandOutput(const std::string& commandLine, std::string& output);
// Runs a command line through the system shell and waits; the child's exit status, or -1
// when no shell could be started, with the system's reason in `failure` when it is given.
int runShellCommand(const std::string& commandLine, std::string* failure = nullptr);
// A command started by startShellCommand; -1 stands for none.
typedef long long ProcessId;
// Starts a command line through the system shell without waiting for it; its process, or -1
// with the system's reason in `failure`.
ProcessId startShellCommand(const std::string& commandLine, std::string* failure = nullptr);
// Waits until one of the commands startShellCommand started has ended; its process, with its
// exit status in `status` (as runShellCommand gives it), or -1 when none is left to wait for.
ProcessId waitForStartedCommand(int& status);
// How many commands the machine runs at once: its hardware threads, at least 1.
unsigned hardwareThreads();

// The longest command line runShellCommand can hand to the shell: the system's limit on one
// argument and on all of them with the environment (on Windows, the command processor's).
std::string::size_type commandLineLimit();
// Starts a program found on the search path with the given arguments (arguments[0] is the
// name the program sees), with no shell in between; its exit status, or -1 when it could
// not be started.
int spawnAndWait(const std::string& program, const std::vector<std::string>& arguments);

// The command line from which the C run time's argument splitting gives back exactly
// `arguments`: each argument that holds a blank, a tab, a quote or nothing is quoted by its
// rules, and the rest are written as they are. Windows hands a started program this line.
std::string argumentLine(const std::vector<std::string>& arguments);
// Starts the program findProgram finds with exactly these arguments (not counting its own
// name) and waits, with no shell or command processor in between, so that nothing in an
// argument is expanded; its exit status, or -1 when it could not be started.
int runWithArguments(const std::string& program, const std::vector<std::string>& arguments);

// A path written in the Windows manner ("out\main.obj") as this system opens it, with each
// '\' made a '/'.
std::string hostPath(const std::string& path);

// What a C++ compiler driver tells about its preprocessor when asked with
// "COMMAND -x c++ -E -dM -v" on an empty input: the "#define" lines of its predefined macros
// and the directories of its "#include <...>" search list, in order. `found` is false when the
// command could not be run or printed no search list.
struct CompilerPreprocessor {
    bool found = false;
    std::string predefines;
    std::vector<std::string> includeDirectories;
};
// Header folders the environment names for every compiler: on Windows the INCLUDE variable
// (what a Visual C++ command prompt sets), empty on POSIX, where the compiler is asked.
std::vector<std::string> environmentIncludeDirectories();
// Runs the compiler each time it is called.
CompilerPreprocessor queryCompilerPreprocessor(const std::string& compilerCommand);
// The same answer, kept in a cache file per compiler (CompilerCache.cpp): the compiler is run
// only when its command, executable, size or modification time differ from the cached ones.
CompilerPreprocessor askCompilerPreprocessor(const std::string& compilerCommand);

// Runs task(context) on a thread of its own whose stack may grow to `bytes`, and waits for it:
// deep but legitimate input (a long chain of imports) must not meet the main thread's small
// stack. False when no such thread could be made; the task has then not run.
bool runWithStack(std::size_t bytes, void (*task)(void*), void* context);

// Read access to string values of a key store in the manner of the Windows registry. The
// POSIX store holds no keys; tests put a fake in its place.
class Registry {
public:
    virtual ~Registry() = default;
    // Opens a key for reading; false when it does not exist.
    virtual bool openKey(const std::string& keyPath) = 0;
    // Reads a string value of the open key; false when it is missing or too long.
    virtual bool readString(const std::string& valueName, std::string& value) = 0;
    virtual void closeKey() = 0;
};

// The system's registry: on Windows the keys under HKEY_CURRENT_USER; on POSIX
// empty. Never null.
Registry& registry();
// The system's own registry, whatever a test put in its place.
Registry& systemRegistry();
// Replaces the registry for the rest of the run (tests); nullptr restores the system's.
void setRegistry(Registry* replacement);

}  // namespace platform
