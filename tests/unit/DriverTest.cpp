// Reading vorn's command line into the run options and the work stack.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include <boost/lexical_cast.hpp>

#include "driver/BuildManager.hpp"
#include "driver/CompilerConfig.hpp"
#include "base/Diagnostics.hpp"
#include "driver/Driver.hpp"
#include "RunOptionsSupport.hpp"
#include "platform/Platform.hpp"

using runtest::lexicalCastFailure;
using runtest::thrownText;

namespace {

using Strings = std::vector<std::string>;

struct DriverTest : ::testing::Test {
    // Reads the arguments into a build of their own, with stderr captured; returns what
    // readOptions returned.
    std::optional<int> read(const Strings& arguments) {
        build = std::make_unique<BuildManager>();
        runtest::CapturedStderr captured;
        std::optional<int> status = readOptions(arguments, "vorn", *build);
        err = captured.text();
        return status;
    }
    // The dotted names on the work stack of the last read, top first.
    Strings stack() const {
        Strings names;
        for (std::stack<ModuleName> copy = build->workStack; !copy.empty(); copy.pop())
            names.push_back(dottedName(copy.top()));
        return names;
    }
    std::unique_ptr<BuildManager> build;
    std::string err;
};

TEST_F(DriverTest, TabSizeIsEightUnlessGiven) {
    EXPECT_EQ(read({"a.vn"}), std::nullopt);
    EXPECT_EQ(runOptions.tabSize, 8);
}

// What each option does is seen in the cases below; the table's invariant is checked here.
TEST_F(DriverTest, NoWordNamesTwoOptions) {
    std::set<std::string> seen;
    for (const OptionRow& row : optionTable()) {
        if (row.word) {
            EXPECT_TRUE(seen.insert(row.word).second) << row.word;
        }
        EXPECT_TRUE(seen.insert(row.longWord).second) << row.longWord;
    }
}

TEST_F(DriverTest, FlagsAndValues) {
    struct Case {
        Strings arguments;
        bool (*holds)();
    } cases[] = {
        {{"-s"}, [] { return !runOptions.processImports; }},
        {{"--single"}, [] { return !runOptions.processImports; }},
        {{"-d"}, [] { return runOptions.documentation; }},
        {{"--doc"}, [] { return runOptions.documentation; }},
        {{"-v"}, [] { return runOptions.verbose && !runOptions.verboseLookup; }},
        {{"--verbose"}, [] { return runOptions.verbose; }},
        {{"--verbose-lookup"}, [] { return runOptions.verboseLookup && !runOptions.verbose; }},
        {{"--vc-forward-realcl"}, [] { return runOptions.forwardRealCl; }},
        {{"-o", "a", "--out", "b"}, [] { return runOptions.outputName == "b"; }},
        {{"-C", "/Ox", "--copt", "/GR"}, [] { return runOptions.compilerOptions == "/Ox /GR"; }},
        {{"-C", "", "-C", "x"}, [] { return runOptions.compilerOptions == "x"; }},
        {{"-L", "-lm", "--lopt", "-lz"}, [] { return runOptions.linkerOptions == "-lm -lz"; }},
        {{"-O", "debug", "--option", "debug", "-O", "windows"},
         [] { return runOptions.scriptOptions == std::set<std::string>{"debug", "windows"}; }},
        {{"-t", "4"}, [] { return runOptions.tabSize == 4; }},
        {{"--tabsize", "+3"}, [] { return runOptions.tabSize == 3; }},
        {{"-I", "inc", "--include-dir", "lib\\", "-I", "x/"},
         [] { return runOptions.includeDirs == Strings{"", "inc/", "lib\\", "x/"}; }},
        {{"--output-dir", "/o/gen"}, [] { return outputDirectory == "/o/gen/"; }},
        {{"--output-dir", "gen"}, [] { return outputDirectory == platform::currentDirectory() + "/gen/"; }},
        {{"--depfile", "m.d"}, [] { return runOptions.dependencyFile == "m.d"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[0]);
        runOptions = RunOptions();
        EXPECT_EQ(read(c.arguments), std::nullopt);
        EXPECT_TRUE(c.holds());
    }
    EXPECT_EQ(read({"-"}), std::nullopt);
    EXPECT_EQ(stack(), Strings{"-"});  // a lone dash is a name
}

TEST_F(DriverTest, AValueOptionWithoutItsValueIsAnInputName) {
    for (const OptionRow& row : optionTable()) {
        if (!row.takesValue) continue;
        for (const char* word : {row.word, row.longWord}) {
            if (!word) continue;  // no short form
            SCOPED_TRACE(word);
            runOptions = RunOptions();
            EXPECT_EQ(read({"x.vn", word}), std::nullopt);
            EXPECT_EQ(stack(), (Strings{std::string(word).substr(0, std::string(word).find('.')), "x"}));
        }
    }
    runOptions = RunOptions();
    EXPECT_EQ(read({"x.vn", "-o"}), std::nullopt);
    EXPECT_TRUE(runOptions.outputName.empty());
}

TEST_F(DriverTest, InputsGoOnTheWorkStackInOrder) {
    EXPECT_EQ(read({"a.vn", "./b.vn", "c"}), std::nullopt);
    EXPECT_EQ(stack(), (Strings{"c", "b", "a"}));  // the last one given is translated first
    EXPECT_EQ(build->workStack.top().extension, "");
    EXPECT_EQ(runOptions.defaultOutputName, platform::currentDirectory() + "/a");
    runOptions = RunOptions();
    // Module names start at one folder, so inputs of two folders are refused.
    const std::string here = platform::currentDirectory() + "/";
    EXPECT_EQ(thrownText<std::exception>([&] { read({"a.vn", "sub/b.vn"}); }),
              "The input files lie in different folders (" + here + " and " + here +
                  "sub/); name the modules of one folder and reach the others with -I");
    runOptions = RunOptions();
    EXPECT_EQ(read({""}), std::nullopt);  // the empty word is an input name too
    EXPECT_EQ(build->workStack.size(), 1u);
}

TEST_F(DriverTest, BadTabSizes) {
    for (const char* value : {"0", "-4", "abc", "4x", " 4", "", "+", "99999999999"}) {
        SCOPED_TRACE(value);
        runOptions = RunOptions();
        EXPECT_EQ(thrownText<std::exception>([&] { read({"-t", value, "x.vn"}); }),
                  std::string("tabsize must be a positive integer: ") + value);
        EXPECT_TRUE(build->workStack.empty());  // nothing after the bad option was read
    }
}

TEST_F(DriverTest, UnknownOptionsAreRefused) {
    // Options are case-sensitive, and a word the usage text shows is no option unless the table has it.
    for (const char* word : {"--bogus", "-S", "-x", "--no-depends", "--"}) {
        SCOPED_TRACE(word);
        runOptions = RunOptions();
        EXPECT_EQ(thrownText<std::exception>([&] { read({"a.vn", word, "b.vn"}); }), std::string("unknown option: ") + word);
    }
}

TEST_F(DriverTest, HelpEndsTheReadingAtOnce) {
    EXPECT_EQ(read({"a.vn", "-?", "b.vn"}), 0);
    EXPECT_EQ(stack(), Strings{"a"});
    EXPECT_EQ(err.compare(0, 28, "Usage: vorn [options] files\n"), 0);
    runOptions = RunOptions();
    EXPECT_EQ(read({"--help", "-t", "0"}), 0);
}

TEST_F(DriverTest, ResponseFileHandsTheRunToTheEmulation) {
    // There is no args.rsp: the emulation fails on it, and the words after it are not read.
    EXPECT_EQ(read({"-v", "@args.rsp", "a.vn", "-t", "0"}), 1);
    EXPECT_TRUE(runOptions.verbose);
    EXPECT_TRUE(build->workStack.empty());
    EXPECT_NE(err.find("args.rsp : error : Unable to open file"), std::string::npos);
}

TEST_F(DriverTest, MainHandlersPrintWhatEscapesAndFail) {
    struct Case {
        const char* name;
        std::function<int()> work;
        int status;
        std::string printed;
    } cases[] = {
        {"success passes through", [] { return 0; }, 0, ""},
        {"failure passes through", [] { return 1; }, 1, ""},
        {"conversion failure", [] { return boost::lexical_cast<int>("x"); }, 1, std::string(lexicalCastFailure) + "\n"},
        {"compile error: text only, no position or tag",
         []() -> int { throw CompileError("Unable to load module a.vn", SourceLocation(internFileName("m.vn"), 3, 1)); },
         1, "Unable to load module a.vn\n"},
        {"internal error", []() -> int { throw VORN_INTERNAL_ERROR("src/Driver", "not implemented"); }, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ostringstream err;
        EXPECT_EQ(withFailureHandlers(c.work, err), c.status);
        if (std::string(c.name) != "internal error") {
            EXPECT_EQ(err.str(), c.printed);
            continue;
        }
        // Three lines: the heading, the message, and where; no build time.
        std::istringstream lines(err.str());
        std::string line;
        Strings got;
        while (std::getline(lines, line)) got.push_back(line);
        ASSERT_EQ(got.size(), 3u);
        EXPECT_EQ(got[0], "INTERNAL COMPILER ERROR");
        EXPECT_EQ(got[1], "      not implemented");
        EXPECT_EQ(got[2].compare(0, 26, "      ERROR ON src/Driver("), 0) << got[2];
    }
}

// Scripts in a scratch vornDir, so that -c can be given names of our own.
struct DriverScriptTest : DriverTest {
    void SetUp() override {
        DriverTest::SetUp();
        scratch.makeDirectories("compiler");
        scratch.write("compiler/first", "compiler=one\nlinker=one\n");
        scratch.write("compiler/second", "linker=two\n");
    }
    void readWithVornDir(const Strings& arguments) {
        runOptions.vornDir = dir;
        status = read(arguments);
    }
    runtest::ScratchDirectory scratch{"driver"};
    std::string dir = scratch.path() + "/";
    std::optional<int> status;
};

TEST_F(DriverScriptTest, LaterScriptsOverlayEarlierOnes) {
    readWithVornDir({"-c", "first", "--compiler", "second", "a.vn"});
    EXPECT_EQ(status, std::nullopt);
    EXPECT_TRUE(runOptions.compilerGiven);
    EXPECT_EQ(compilerConfiguration.compileTemplate, "one");
    EXPECT_EQ(compilerConfiguration.linkTemplate, "two");
}

TEST_F(DriverScriptTest, CompilerAndDocumentationExcludeEachOther) {
    readWithVornDir({"-c", "first", "-d", "x.vn"});
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err, "-c and -d are mutually exclusive\n");
    EXPECT_EQ(compilerConfiguration.compileTemplate, "one");  // loaded before the check
}

TEST_F(DriverScriptTest, MissingScriptStopsBeforeLaterInputs) {
    EXPECT_EQ(thrownText<std::exception>([&] { readWithVornDir({"a.vn", "-c", "absent", "b.vn"}); }),
              "compiler configuration file not found:\n" + dir + "compiler/absent");
    EXPECT_EQ(stack(), Strings{"a"});
}

}  // namespace
