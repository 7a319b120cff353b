// The compile and link stages, run against fake compiler and linker programs put first on the
// search path: each records its arguments (and what any temporary file it names holds at
// that moment) and exits with a status the test chooses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver/BuildManager.hpp"
#include "driver/CompilerConfig.hpp"
#include "base/Diagnostics.hpp"
#include "driver/Driver.hpp"
#include "RunOptionsSupport.hpp"
#include "driver/Toolchain.hpp"
#include "platform/Platform.hpp"

namespace {

using Strings = std::vector<std::string>;

ModuleName named(const std::string& component) { return runtest::moduleNamed({component}); }

// The tools are copies of the fake tool program (tests/support/FakeTool.cpp): each logs its
// name and arguments to DIR/log, with the content of each file under DIR/tmp/ it is given, and
// exits with the status in DIR/NAME.status or DIR/fail-BASENAME.
#ifdef _WIN32
const char* const temporaryVariable = "TMP";
#else
const char* const temporaryVariable = "TMPDIR";
#endif

struct ToolchainTest : runtest::RunStateTest {
    void SetUp() override {
        scratch.makeDirectories("bin");
        scratch.makeDirectories("tmp");
        for (const char* tool : {"cl", "link", "cc", "ld"}) {
            std::filesystem::copy_file(VORN_FAKE_TOOL, scratch.file(std::string("bin/") + tool + portable::programSuffix));
        }
        hadPath = platform::getEnvironment("PATH", savedPath);
        hadTmpDir = platform::getEnvironment(temporaryVariable, savedTmpDir);
        platform::setEnvironment("PATH", dir + "/bin" + platform::pathListSeparator() + savedPath);
        platform::setEnvironment(temporaryVariable, dir + "/tmp");
        // One compile at a time: the fake tools' log then shows the order the commands start in.
        runOptions.jobs = 1;
    }
    void TearDown() override {
        restore("PATH", hadPath, savedPath);
        restore(temporaryVariable, hadTmpDir, savedTmpDir);
    }
    static void restore(const char* name, bool had, const std::string& value) {
        if (had)
            platform::setEnvironment(name, value);
        else
            platform::unsetEnvironment(name);
    }

    void configure(const std::string& script) { compilerConfiguration = runtest::readScript(script, compilerConfiguration); }
    void setStatus(const std::string& file, int status) { std::ofstream(dir + "/" + file) << status; }

    // The log lines, with each temporary file's unique name replaced by <tN>, N counting the
    // distinct files in order of appearance.
    Strings log() {
        std::ifstream in(dir + "/log");
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string prefix = dir + "/tmp/";
        std::map<std::string, std::string> seen;
        Strings lines;
        std::istringstream split(text);
        for (std::string line; std::getline(split, line);) {
            std::string out;
            std::string::size_type from = 0;
            for (std::string::size_type at; (at = line.find(prefix, from)) != std::string::npos;) {
                std::string::size_type end = line.find_first_of(" ]", at + prefix.size());
                if (end == std::string::npos) end = line.size();
                out.append(line, from, at - from);
                std::string& token = seen[line.substr(at, end - at)];
                if (token.empty()) token = "<t" + std::to_string(seen.size()) + ">";
                out += token;
                from = end;
            }
            out.append(line, from, std::string::npos);
            lines.push_back(out);
        }
        return lines;
    }
    Strings leftInTemporaryDirectory() { return platform::listDirectory(dir + "/tmp", "*"); }

    runtest::ScratchDirectory scratch{"toolchain"};
    std::string dir = scratch.path();
    bool hadPath = false, hadTmpDir = false;
    std::string savedPath, savedTmpDir;
};

// The msvc script, run with -O debug and -C /Ox on one module main. POSIX paths stand in for
// the Windows ones, and "/include" for its "\include", whose backslash the POSIX shell would
// take as an escape.
TEST_F(ToolchainTest, MsvcScriptRunsItsCommandsWithAListFile) {
    configure("compiler=cl /nologo /c /EHsc $compilerOptions; $ifdebug;/Zi $;/I$vornDir;/include "
              "/Fo$outFile;.obj $cppFile;\n"
              "compiler success=0\n"
              "linker temp=$perFile;$outFile;.obj $;\n"
              "linker=link /nologo $linkerOptions; $ifwindows;/SUBSYSTEM:WINDOWS $;@$temp;\n"
              "linker success=0\n");
    runOptions.vornDir = "/tools/vorn/";
    runOptions.scriptOptions = {"debug"};
    runOptions.compilerOptions = "/Ox";
    baseDirectory = "/work/";
    build.toCompile = build.visited = {named("main")};

    EXPECT_TRUE(compileAll(build));
    EXPECT_TRUE(linkAll(build));
    EXPECT_EQ(log(), (Strings{
                         "cl [/nologo] [/c] [/EHsc] [/Ox] [/Zi] [/I/tools/vorn/include] [/Fo/work/_main.obj] "
                         "[/work/_main.cpp]",
                         "link [/nologo] [@<t1>]",
                         "  <t1> holds [/work/_main.obj ]",
                     }));
    EXPECT_EQ(leftInTemporaryDirectory(), Strings{});
}

TEST_F(ToolchainTest, NothingToCompileRunsNothingAndMakesNoFile) {
    configure("compiler=cc $file;\ncompiler temp=x\n");
    EXPECT_TRUE(compileAll(build));
    // No compile template: modules to compile are not a reason to run anything.
    compilerConfiguration = CompilerConfiguration();
    configure("compiler temp=x\nlinker temp=y\n");
    build.toCompile = build.visited = {named("a")};
    EXPECT_TRUE(compileAll(build));
    EXPECT_TRUE(linkAll(build));
    EXPECT_EQ(log(), Strings{});
    EXPECT_EQ(leftInTemporaryDirectory(), Strings{});
}

TEST_F(ToolchainTest, EachCompileGetsItsOwnTemporaryFile) {
    baseDirectory = "/w/";
    // The file's own template may name the file.
    configure("compiler temp=$vnFile; in $temp;\ncompiler=cc @$temp; $cppFile;\n");
    build.toCompile = {named("b"), named("a"), named("c")};
    EXPECT_TRUE(compileAll(build));
    EXPECT_EQ(log(), (Strings{
                         "cc [@<t1>] [/w/_a.cpp]",
                         "  <t1> holds [/w/a.vn in <t1>]",
                         "cc [@<t2>] [/w/_b.cpp]",
                         "  <t2> holds [/w/b.vn in <t2>]",
                         "cc [@<t3>] [/w/_c.cpp]",
                         "  <t3> holds [/w/c.vn in <t3>]",
                     }));
    EXPECT_EQ(leftInTemporaryDirectory(), Strings{});
}

TEST_F(ToolchainTest, AFailedCompileStopsTheLaterCompiles) {
    baseDirectory = "/w/";
    configure("compiler temp=$file;\ncompiler=cc $cppFile; @$temp;\n");
    build.toCompile = {named("a"), named("b"), named("c")};
    setStatus("fail-_b.cpp", 1);
    EXPECT_FALSE(compileAll(build));
    EXPECT_EQ(log(), (Strings{
                         "cc [/w/_a.cpp] [@<t1>]",
                         "  <t1> holds [/w/a]",
                         "cc [/w/_b.cpp] [@<t2>]",
                         "  <t2> holds [/w/b]",
                     }));  // c was never reached: no command starts after a failure
    EXPECT_EQ(leftInTemporaryDirectory(), Strings{});
}

TEST_F(ToolchainTest, SuccessIsTheConfiguredExitStatus) {
    struct Case {
        int successCode;
        int exitStatus;
        bool succeeds;
    } cases[] = {
        {0, 0, true}, {0, 1, false}, {2, 2, true}, {2, 0, false}, {3, 4, false}, {127, 127, true},
    };
    build.toCompile = build.visited = {named("m")};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.successCode) + " vs " + std::to_string(c.exitStatus));
        compilerConfiguration = CompilerConfiguration();
        configure("compiler=cc $file;\nlinker=ld $perFile;$outFile;.o $;\ncompiler success=" +
                  std::to_string(c.successCode) + "\nlinker success=" + std::to_string(c.successCode) + "\n");
        setStatus("cc.status", c.exitStatus);
        setStatus("ld.status", c.exitStatus);
        EXPECT_EQ(compileAll(build), c.succeeds);
        EXPECT_EQ(linkAll(build), c.succeeds);
    }
    // A command that the shell cannot find exits with 127, which is no success by default.
    compilerConfiguration = CompilerConfiguration();
    configure("linker=no-such-linker-for-vorn 2>/dev/null\n");
    EXPECT_FALSE(linkAll(build));
}

TEST_F(ToolchainTest, LinkListsTheVisitedModulesThroughItsFile) {
    baseDirectory = "/w/";
    runOptions.linkerOptions = "-lm";
    configure("linker temp=$perFile;$outFile;.o $;\nlinker=ld $linkerOptions; @$temp; $file;\n");
    build.visited = {named("util"), named("main")};
    EXPECT_TRUE(linkAll(build));
    // The link's own $file; is the module the last $perFile; left current.
    EXPECT_EQ(log(), (Strings{
                         "ld [-lm] [@<t1>] [/w/util]",
                         "  <t1> holds [/w/_main.o /w/_util.o ]",
                     }));
    EXPECT_EQ(leftInTemporaryDirectory(), Strings{});
}

TEST_F(ToolchainTest, MalformedFileTemplateLeavesNoFileBehind) {
    configure("compiler temp=$nonsense;\ncompiler=cc\nlinker temp=$perFile;x$\nlinker=ld\n");
    build.toCompile = {named("a")};
    EXPECT_EQ(runtest::thrownText<CompileError>([&] { compileAll(build); }), "$nonsense is not a recognized command");
    EXPECT_THROW(linkAll(build), CompileError);
    EXPECT_EQ(log(), Strings{});
    EXPECT_EQ(leftInTemporaryDirectory(), Strings{});
}

// A command must not run on a list file that was never written: it could not tell.
TEST_F(ToolchainTest, UnwritableTemporaryDirectoryFailsWithoutRunning) {
    platform::setEnvironment(temporaryVariable, dir + "/no-such-directory");
    configure("compiler temp=x\ncompiler=cc $temp;\nlinker temp=y\nlinker=ld $temp;\n");
    build.toCompile = build.visited = {named("a")};
    runtest::CapturedStderr captured;
    bool compiled = compileAll(build), linked = linkAll(build);
    std::string printed = captured.text();
    EXPECT_FALSE(compiled);
    EXPECT_FALSE(linked);
    std::string message = "Unable to write the temporary file " + dir + "/no-such-directory\n";
    EXPECT_EQ(printed, message + message);
    EXPECT_EQ(log(), Strings{});
}

// The run's stages: a failed compile skips the link; -s never links. Nothing is translated
// here, so the compile set is filled by hand.
TEST_F(ToolchainTest, AFailedCompileSkipsTheLink) {
    baseDirectory = "/w/";
    runOptions.compilerGiven = true;
    configure("compiler=cc $cppFile;\nlinker=ld $perFile;$outFile;.o $;\n");
    struct Case {
        bool processImports;
        bool compileFails;
        int status;
        Strings ran;
    } cases[] = {
        {true, false, 0, {"cc [/w/_a.cpp]", "cc [/w/_b.cpp]", "ld [/w/_a.o] [/w/_b.o]"}},
        {true, true, 1, {"cc [/w/_a.cpp]"}},
        {false, false, 0, {"cc [/w/_a.cpp]", "cc [/w/_b.cpp]"}},
        {false, true, 1, {"cc [/w/_a.cpp]"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.processImports ? "" : "-s ") + (c.compileFails ? "failing" : "passing"));
        ::unlink((dir + "/log").c_str());
        ::unlink((dir + "/fail-_a.cpp").c_str());
        if (c.compileFails) setStatus("fail-_a.cpp", 1);
        runOptions.processImports = c.processImports;
        build.toCompile = build.visited = {named("a"), named("b")};
        EXPECT_EQ(runStages(build), c.status);
        EXPECT_EQ(log(), c.ran);
    }
}

TEST_F(ToolchainTest, CommandsRunThroughTheShell) {
#ifdef _WIN32
    EXPECT_EQ(runCommand("cc one \"two words\" && exit 5"), 5);
#else
    EXPECT_EQ(runCommand("cc one 'two words' && exit 5"), 5);
#endif
    EXPECT_EQ(log(), Strings{"cc [one] [two words]"});
}

}  // namespace
