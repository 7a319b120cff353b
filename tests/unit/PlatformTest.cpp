// The platform layer: search path lists, file status, temporary files, directory listing,
// running commands and programs, and the empty registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#endif

#include "../support/PortableSupport.hpp"
#include "platform/Platform.hpp"

namespace {

using Strings = std::vector<std::string>;

TEST(PlatformTest, SearchPathKeepsEmptyEntries) {
    struct Case {
        const char* value;
        Strings entries;
    } cases[] = {
        {"/bin", {"/bin"}},
        {"/a:/b", {"/a", "/b"}},
        {"/a::/b:", {"/a", "", "/b", ""}},
        {":", {"", ""}},
        {"", {""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        std::string value = c.value;
        std::replace(value.begin(), value.end(), ':', platform::pathListSeparator());
        EXPECT_EQ(platform::splitPathList(value), c.entries);
    }
}

TEST(PlatformTest, WildcardPatterns) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    } cases[] = {
        {"*", "", true},          {"*", "anything", true},    {"*.vni", "stdio.vni", true},
        {"*.vni", "stdio.vn", false}, {"*.vni", ".vni", true}, {"a?c", "abc", true},
        {"a?c", "ac", false},     {"a*b*c", "aXbYbZc", true}, {"a*b*c", "aXbYbZ", false},
        {"exact", "exact", true}, {"exact", "Exact", false},  {"**x", "x", true},
        {"?", "", false},         {"", "", true},             {"", "a", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " ~ " + c.name);
        EXPECT_EQ(platform::wildcardMatch(c.pattern, c.name), c.matches);
    }
}

// A fresh directory under the temporary directory, removed with its files afterwards.
struct PlatformFilesTest : ::testing::Test {
    void SetUp() override { dir = portable::uniqueDirectory(platform::temporaryDirectory() + "/vorn-test-"); }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    void touch(const std::string& name) { std::ofstream(dir + "/" + name) << "x"; }
    std::string dir;
};

TEST_F(PlatformFilesTest, FileStatusRenameAndDelete) {
    std::string a = dir + "/a.txt", b = dir + "/b.txt";
    EXPECT_FALSE(platform::fileExists(a));
    EXPECT_EQ(platform::modificationTime(a), 0);
    touch("a.txt");
    EXPECT_TRUE(platform::fileExists(a));
    EXPECT_GT(platform::modificationTime(a), 0);
    EXPECT_TRUE(platform::renameFile(a, b));
    EXPECT_FALSE(platform::fileExists(a));
    EXPECT_TRUE(platform::fileExists(b));
    EXPECT_TRUE(platform::deleteFile(b));
    EXPECT_FALSE(platform::fileExists(b));
    EXPECT_FALSE(platform::deleteFile(b));
    EXPECT_FALSE(platform::renameFile(a, b));
}

TEST_F(PlatformFilesTest, DirectoriesAreToldFromFiles) {
    touch("file");
    EXPECT_TRUE(platform::isDirectory(dir));
    EXPECT_TRUE(platform::isDirectory(dir + "/"));
    EXPECT_FALSE(platform::isDirectory(dir + "/file"));
    EXPECT_FALSE(platform::isDirectory(dir + "/missing"));
}

TEST_F(PlatformFilesTest, ListsEntriesByPatternInNameOrder) {
    for (const char* name : {"b.vni", "a.vni", "c.h", ".hidden.vni"}) touch(name);
    EXPECT_EQ(platform::listDirectory(dir, "*.vni"), (Strings{".hidden.vni", "a.vni", "b.vni"}));
    EXPECT_EQ(platform::listDirectory(dir, "?.h"), (Strings{"c.h"}));
    EXPECT_EQ(platform::listDirectory(dir, "*"), (Strings{".hidden.vni", "a.vni", "b.vni", "c.h"}));
    EXPECT_TRUE(platform::listDirectory(dir + "/missing", "*").empty());
}

TEST_F(PlatformFilesTest, TemporaryFilesAreNewAndUnique) {
#ifdef _WIN32
    const char* const variable = "TMP";
#else
    const char* const variable = "TMPDIR";
#endif
    std::string previous;
    const bool saved = platform::getEnvironment(variable, previous);
    platform::setEnvironment(variable, dir + "/");
    EXPECT_EQ(platform::temporaryDirectory(), dir);
    std::string first = platform::createTemporaryFile();
    std::string second = platform::createTemporaryFile();
    if (saved)
        platform::setEnvironment(variable, previous);
    else
        platform::unsetEnvironment(variable);
    EXPECT_NE(first, second);
    EXPECT_EQ(first.compare(0, dir.size() + 1, dir + "/"), 0);
    EXPECT_TRUE(platform::fileExists(first));
    EXPECT_EQ(std::ifstream(first).peek(), std::char_traits<char>::eof());
}

TEST_F(PlatformFilesTest, CurrentDirectoryFollowsChdir) {
    std::string before = platform::currentDirectory();
    std::filesystem::current_path(dir);
    std::string inside = platform::currentDirectory();
    std::filesystem::current_path(before);
    EXPECT_EQ(inside, platform::canonicalPath(dir));
    EXPECT_EQ(inside.find('\\'), std::string::npos);
}

// Names outside the ANSI code page reach the file system whole, from every call.
TEST_F(PlatformFilesTest, PathsOutsideTheAnsiCodePage) {
    const std::string folder = dir + "/\xe6\x97\xa5\xe6\x9c\xac";  // 日本
    ASSERT_TRUE(platform::makeDirectory(folder));
    std::ofstream(folder + "/a.vn") << "x";
    EXPECT_TRUE(platform::isRegularFile(folder + "/a.vn"));
    EXPECT_EQ(platform::listDirectory(dir, "*"), (Strings{"\xe6\x97\xa5\xe6\x9c\xac"}));
    EXPECT_EQ(platform::listDirectory(folder, "*.vn"), (Strings{"a.vn"}));
    EXPECT_EQ(platform::fileSize(folder + "/a.vn"), 1);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(folder + "/a.vn")));
}

TEST_F(PlatformFilesTest, ExactNamesAndReplacingRenames) {
    touch("Widgets.vni");
    EXPECT_TRUE(platform::nameMatchesExactly(dir + "/Widgets.vni"));
#ifdef _WIN32
    // The file system ignores case; the module lookup must not.
    EXPECT_TRUE(platform::fileExists(dir + "/widgets.vni"));
    EXPECT_FALSE(platform::nameMatchesExactly(dir + "/widgets.vni"));
#endif
    touch("b.txt");
    EXPECT_TRUE(platform::renameFile(dir + "/Widgets.vni", dir + "/b.txt"));
    EXPECT_EQ(platform::listDirectory(dir, "*"), (Strings{"b.txt"}));
}

// Whatever an argument holds arrives as it is: a copy of the fake tool records what it got.
TEST_F(PlatformFilesTest, StartedProgramsGetTheirArgumentsExactly) {
    std::filesystem::create_directories(dir + "/bin");
    const std::string probe = dir + "/bin/probe" + portable::programSuffix;
    std::filesystem::copy_file(VORN_FAKE_TOOL, probe);
    std::ofstream(dir + "/probe.status") << 6;
    const Strings hostile = {"", "a b", "a\"b", "x\\", "x\\\"", "c:\\dir\\", "%PATH%", "^!&|<>()", "$(false)", "a;b"};
    EXPECT_EQ(platform::runWithArguments(probe, hostile), 6);
    std::ifstream in(dir + "/log", std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(log, "probe [] [a b] [a\"b] [x\\] [x\\\"] [c:\\dir\\] [%PATH%] [^!&|<>()] [$(false)] [a;b]\n");
    EXPECT_EQ(platform::runWithArguments(dir + "/bin/no-such-program", {}), -1);
}

#ifdef _WIN32
TEST(PlatformTest, CommandProcessorLinesGiveTheirExitStatus) {
    EXPECT_EQ(platform::runShellCommand("exit 3"), 3);
    // The line reaches the command processor as written, quotes and all.
    EXPECT_EQ(platform::runShellCommand("if \"a b\"==\"a b\" exit 4"), 4);
    std::string output;
    EXPECT_EQ(platform::captureCommandOutput("echo \"x y\"", output), 0);
    EXPECT_EQ(output, "\"x y\"\r\n");
    EXPECT_NE(platform::runShellCommand("no-such-command-for-vorn 2>NUL"), 0);
}
#else
TEST(PlatformTest, ShellCommandsGiveTheirExitStatus) {
    EXPECT_EQ(platform::runShellCommand("true"), 0);
    EXPECT_EQ(platform::runShellCommand("exit 3"), 3);
    EXPECT_EQ(platform::runShellCommand("exit 2 && false"), 2);
    EXPECT_EQ(platform::runShellCommand("kill -9 $$"), 128 + 9);
    EXPECT_EQ(platform::runShellCommand("no-such-command-for-vorn 2>/dev/null"), 127);
}

TEST(PlatformTest, SpawnedProgramsRunWithoutAShell) {
    EXPECT_EQ(platform::spawnAndWait("sh", {"sh", "-c", "exit 4"}), 4);
    // With no shell in between, a ';' is an ordinary argument, not a command separator.
    EXPECT_EQ(platform::spawnAndWait("test", {"test", "a;b", "=", "a;b"}), 0);
    EXPECT_EQ(platform::spawnAndWait("true", {}), 0);
    EXPECT_EQ(platform::spawnAndWait("no-such-program-for-vorn", {"x"}), -1);
}

TEST(PlatformTest, ArgumentListsReachTheProgramAsTheyAre) {
    EXPECT_EQ(platform::runWithArguments("sh", {"-c", "exit 5"}), 5);
    EXPECT_EQ(platform::runWithArguments("test", {"$(false)", "=", "$(false)"}), 0);
    EXPECT_EQ(platform::runWithArguments("test", {"", "=", ""}), 0);
    EXPECT_EQ(platform::runWithArguments("no-such-program-for-vorn", {}), -1);
    EXPECT_EQ(platform::hostPath("out\\sub\\main.obj"), "out/sub/main.obj");
}

#endif

// What the run time's splitting must turn back into the arguments a program is started with.
TEST(PlatformTest, ArgumentLinesQuoteWhatTheSplittingWouldChange) {
    struct Case {
        Strings arguments;
        const char* line;
    } cases[] = {
        {{}, ""},
        {{"vorn.exe", "plain", "c:\\dir\\"}, "vorn.exe plain c:\\dir\\"},
        {{"", "a b"}, "\"\" \"a b\""},
        {{"c:\\my dir\\"}, "\"c:\\my dir\\\\\""},
        {{"a\"b"}, "\"a\\\"b\""},
        {{"a\\\"b"}, "\"a\\\\\\\"b\""},
        {{"@rsp dir/a b.rsp"}, "\"@rsp dir/a b.rsp\""},
        {{"%PATH%&|<>()!^"}, "%PATH%&|<>()!^"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(platform::argumentLine(c.arguments), c.line);
    }
}

TEST(PlatformTest, RunningExecutableDirectoryHoldsThisProgram) {
    std::string dir = platform::runningExecutableDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(platform::fileExists(dir + "vorn_unit_tests") || platform::fileExists(dir + "vorn_unit_tests.exe"));
}

#ifdef _WIN32
// A key of the test's own under the current user, as a Visual C++ installation would write it.
TEST(PlatformTest, RegistryReadsStringValues) {
    const wchar_t* const path = L"Software\\vorn-unit-test";
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
    const wchar_t value[] = L"C:\\VC\\include;C:\\\u65e5\u672c";
    RegSetValueExW(key, L"Include Dirs", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
    RegCloseKey(key);
    platform::Registry& registry = platform::registry();
    ASSERT_TRUE(registry.openKey("Software\\vorn-unit-test"));
    std::string read;
    EXPECT_TRUE(registry.readString("Include Dirs", read));
    EXPECT_EQ(read, "C:\\VC\\include;C:\\\xe6\x97\xa5\xe6\x9c\xac");
    EXPECT_FALSE(registry.readString("Library Dirs", read));
    registry.closeKey();
    RegDeleteKeyW(HKEY_CURRENT_USER, path);
    EXPECT_FALSE(registry.openKey("Software\\vorn-unit-test"));
}
#else
TEST(PlatformTest, SystemRegistryHoldsNoKeys) {
    EXPECT_FALSE(platform::registry().openKey("Software\\Microsoft\\DevStudio"));
    EXPECT_FALSE(platform::registry().openKey(""));
}
#endif

}  // namespace
