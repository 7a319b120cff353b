// The platform layer: search path lists, file status, temporary files, directory listing,
// running commands and programs, and the empty registry.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include <unistd.h>

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
        EXPECT_EQ(platform::splitPathList(c.value), c.entries);
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
    void SetUp() override {
        std::string pattern = platform::temporaryDirectory() + "/vorn-test-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        dir = name.data();
    }
    void TearDown() override {
        std::string command = "rm -rf '" + dir + "'";
        EXPECT_EQ(platform::runShellCommand(command), 0);
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
    const char* saved = std::getenv("TMPDIR");
    std::string previous = saved ? saved : "";
    ::setenv("TMPDIR", (dir + "/").c_str(), 1);
    EXPECT_EQ(platform::temporaryDirectory(), dir);
    std::string first = platform::createTemporaryFile();
    std::string second = platform::createTemporaryFile();
    if (saved)
        ::setenv("TMPDIR", previous.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    EXPECT_NE(first, second);
    EXPECT_EQ(first.compare(0, dir.size() + 1, dir + "/"), 0);
    EXPECT_TRUE(platform::fileExists(first));
    EXPECT_EQ(std::ifstream(first).peek(), std::char_traits<char>::eof());
}

TEST_F(PlatformFilesTest, CurrentDirectoryFollowsChdir) {
    std::string before = platform::currentDirectory();
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    std::string inside = platform::currentDirectory();
    ASSERT_EQ(::chdir(before.c_str()), 0);
    char* real = ::realpath(dir.c_str(), nullptr);
    EXPECT_EQ(inside, real);
    std::free(real);
}

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
    EXPECT_EQ(platform::fileNameInArgument("a b.rsp"), "a b.rsp");
    EXPECT_EQ(platform::hostPath("out\\sub\\main.obj"), "out/sub/main.obj");
}

// What the command processor and the run time's splitting must turn back into the arguments.
TEST(PlatformTest, CommandProcessorLinesQuoteAndEscape) {
    struct Case {
        Strings arguments;
        const char* line;
    } cases[] = {
        {{}, "vorn.exe"},
        {{"", "a b"}, "vorn.exe ^\"^\" ^\"a b^\""},
        {{"c:\\dir\\"}, "vorn.exe ^\"c:\\dir\\\\^\""},
        {{"a\"b"}, "vorn.exe ^\"a\\^\"b^\""},
        {{"a\\\"b"}, "vorn.exe ^\"a\\\\\\^\"b^\""},
        {{"a\\b"}, "vorn.exe ^\"a\\b^\""},
        {{"%PATH%&|<>()!^"}, "vorn.exe ^\"^%PATH^%^&^|^<^>^(^)^!^^^\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(platform::commandProcessorLine("vorn.exe", c.arguments), c.line);
    }
}

TEST(PlatformTest, RunningExecutableDirectoryHoldsThisProgram) {
    std::string dir = platform::runningExecutableDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(platform::fileExists(dir + "vorn_unit_tests"));
}

TEST(PlatformTest, SystemRegistryHoldsNoKeys) {
    EXPECT_FALSE(platform::registry().openKey("Software\\Microsoft\\DevStudio"));
    EXPECT_FALSE(platform::registry().openKey(""));
}

}  // namespace
