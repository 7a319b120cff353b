// Compiler configuration scripts: reading them, and expanding their command templates.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "driver/CompilerConfig.hpp"
#include "base/Diagnostics.hpp"
#include "driver/Driver.hpp"
#include "RunOptionsSupport.hpp"
#include "platform/Platform.hpp"

using runtest::moduleNamed;
using runtest::readScript;
using runtest::lexicalCastFailure;
using runtest::thrownText;

namespace {

// Each test expands its templates in a context of its own.
struct CompilerConfigTest : ::testing::Test {
    TemplateContext context;
};

TEST_F(CompilerConfigTest, ReadsKeysValuesAndContinuations) {
    struct Case {
        const char* name;
        const char* text;
        const char* compile;
        const char* link;
        int compileSuccess;
    } cases[] = {
        {"trimmed key and value", "compiler = cl /c \n", "cl /c", "", 0},
        {"tabs and CR LF trimmed", "\tlinker\t=\tld x\t\r\n", "", "ld x", 0},
        {"continuation keeps leading blanks", "compiler=a \\\n   b\nlinker=l\n", "a    b", "l", 0},
        {"continuation over several lines", "compiler=a\\\nb\\\nc\n", "abc", "", 0},
        {"backslash on the last line stays", "compiler=a\\", "a\\", "", 0},
        {"CR LF continuation", "compiler=a\\\r\nb\r\n", "ab", "", 0},
        {"value of blanks only", "compiler=   \n", "", "", 0},
        {"empty key matches nothing", "=x\n", "", "", 0},
        {"line without equals ignored", "# compiler cl\ncompiler\n", "", "", 0},
        {"keys are case-sensitive and whole", "Compiler=x\ncompilers=y\n", "", "", 0},
        {"unknown key ignored", "colour=blue\n", "", "", 0},
        {"value keeps later equals signs", "linker=a=b\n", "", "a=b", 0},
        {"success code", "compiler success = 2\n", "", "", 2},
        {"negative success code", "compiler success=-1\n", "", "", -1},
        {"later line wins", "compiler=a\ncompiler=b\n", "b", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CompilerConfiguration read = readScript(c.text);
        EXPECT_EQ(read.compileTemplate, c.compile);
        EXPECT_EQ(read.linkTemplate, c.link);
        EXPECT_EQ(read.compileSuccess, c.compileSuccess);
    }
    CompilerConfiguration all = readScript(
        "compiler temp=ct\nlinker temp=lt\nlinker success=3\nobject file=$outFile;.o\n");
    EXPECT_EQ(all.compileFileTemplate, "ct");
    EXPECT_EQ(all.objectFileTemplate, "$outFile;.o");
    EXPECT_EQ(all.linkFileTemplate, "lt");
    EXPECT_EQ(all.linkSuccess, 3);
}

TEST_F(CompilerConfigTest, ASecondScriptOverlaysTheFirst) {
    CompilerConfiguration first = readScript("compiler=cc\nlinker=ld\ncompiler success=4\n");
    CompilerConfiguration both = readScript("linker=other\n", first);
    EXPECT_EQ(both.compileTemplate, "cc");
    EXPECT_EQ(both.linkTemplate, "other");
    EXPECT_EQ(both.compileSuccess, 4);
}

TEST_F(CompilerConfigTest, SuccessCodeMustBeAWholeInteger) {
    for (const char* bad : {"compiler success=x\n", "linker success=1x\n", "linker success=\n",
                            "compiler success=99999999999\n"}) {
        EXPECT_EQ(thrownText<std::exception>([&] { readScript(bad); }), lexicalCastFailure) << bad;
    }
}

TEST_F(CompilerConfigTest, MissingScriptNamesItsPathOnTheSecondLine) {
    runOptions.vornDir = "/nonexistent/vorn/";
    EXPECT_EQ(thrownText<std::exception>([] { loadCompilerConfiguration("nothere"); }),
              "compiler configuration file not found:\n/nonexistent/vorn/compiler/nothere");
}

struct TemplateCase {
    const char* text;
    const char* expected;
};

void expectExpansions(const std::vector<TemplateCase>& cases, TemplateContext& context) {
    for (const TemplateCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(expandTemplate(c.text, context), c.expected);
    }
}

TEST_F(CompilerConfigTest, CommandsForTheCurrentModule) {
    baseDirectory = "/w/";
    runOptions.vornDir = "/opt/vorn/";
    runOptions.compilerOptions = "-O2 -Wall";
    runOptions.linkerOptions = "-lm";
    context.temporaryFile = "/tmp/abc";
    context.module = moduleNamed({"a", "b", "c"}, "vn");
    expectExpansions({
        {"plain text; no commands", "plain text; no commands"},
        {"", ""},
        {"$file;", "/w/a/b/c"},
        {"$vnFile;", "/w/a/b/c.vn"},
        {"$cppFile;", "/w/a/b/_c.cpp"},
        {"$outFile;.o", "/w/a/b/_c.o"},
        {"$temp;", "/tmp/abc"},
        {"$vornDir;/include", "/opt/vorn/include"},
        {"$baseDir;", "/w"},
        {"[$compilerOptions;][$linkerOptions;]", "[-O2 -Wall][-lm]"},
        {"a$;b", "a"},
        {"$;", ""},
    }, context);
    runOptions.vornDir.clear();
    EXPECT_EQ(expandTemplate("[$vornDir;]", context), "[]");
    // The base directory is never expanded to nothing: "-I$baseDir;" must stay one option.
    const std::pair<std::string, std::string> bases[] = {{"", "."}, {"/", "/"}, {"C:\\w\\", "C:\\w"}};
    for (const auto& base : bases) {
        baseDirectory = base.first;
        EXPECT_EQ(expandTemplate("$baseDir;", context), base.second) << base.first;
    }
}

TEST_F(CompilerConfigTest, ConditionsOnOptionWords) {
    runOptions.scriptOptions = {"debug", " spaced"};
    expectExpansions({
        {"$ifdebug;-g $;x", "-g x"},
        {"$if!debug;-O2 $;x", "x"},
        {"$ifwindows;-mw $;x", "x"},
        {"$if!windows;console $;x", "console x"},
        {"$if debug;no$;", ""},  // the word is " debug", with its space
        {"$if spaced;yes$;", "yes"},
        {"$ifdebug;a$ifwindows;b$;c$;d", "acd"},
        {"$ifwindows;a$ifdebug;b$;c$;d", "d"},
        {"$ifdebug;unclosed", "unclosed"},
    }, context);
}

TEST_F(CompilerConfigTest, PerFileRepeatsItsBlockForEachVisitedModule) {
    baseDirectory = "/w/";
    EXPECT_EQ(expandTemplate("a$perFile;[$file;]$;b", context), "ab");
    context.modules = {moduleNamed({"y"}), moduleNamed({"x"})};
    runOptions.scriptOptions = {"debug"};
    expectExpansions({
        {"a$perFile;[$file;]$;b", "a[/w/x][/w/y]b"},
        {"$perFile;$outFile;.obj $;", "/w/_x.obj /w/_y.obj "},
        {"$perFile;$ifdebug;$file;$;,$;", "/w/x,/w/y,"},
        {"$perFile;$perFile;$file;$;|$;", "/w/x/w/y|/w/x/w/y|"},
    }, context);
    EXPECT_EQ(context.module.components, std::vector<std::string>{"y"});
}

TEST_F(CompilerConfigTest, MalformedTemplatesFail) {
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {
        {"$foo;", "$foo is not a recognized command"},
        {"abc$file", "$file should be terminated with a semicolon"},
        {"a$", "$ should be terminated with a semicolon"},
        {"$File;", "$File is not a recognized command"},
        {"$ifwindows;$bad;$;", "$bad is not a recognized command"},  // dropped blocks are checked too
        {"$perFile;$bad;$;", "$bad is not a recognized command"},   // even with nothing visited
        {"ok$;$bad;", runtest::noError},                              // after the end: ignored
    };
    for (const Case& c : cases)
        EXPECT_EQ(thrownText<CompileError>([&] { expandTemplate(c.text, context); }), c.message) << c.text;
}

// The shipped scripts, read from the source tree's compiler/ directory.
void loadShipped(const char* name) {
    runOptions.vornDir = VORN_SOURCE_DIR "/";
    loadCompilerConfiguration(name);
}

TEST_F(CompilerConfigTest, ShippedMsvcScript) {
    loadShipped("msvc");
    runOptions.vornDir = "C:\\tools\\vorn\\";
    runOptions.scriptOptions = {"debug"};
    runOptions.compilerOptions = "/Ox";
    baseDirectory = "C:\\work/";
    context.module = moduleNamed({"main"});
    context.modules = {context.module};
    EXPECT_EQ(expandTemplate(compilerConfiguration.compileTemplate, context),
              R"(cl /nologo /c /EHsc /Ox /Zi /I"C:\tools\vorn\include" /I"C:\work" /Fo"C:\work/_main.obj" "C:\work/_main.cpp")");
    EXPECT_EQ(expandTemplate(compilerConfiguration.objectFileTemplate, context), "C:\\work/_main.obj");
    EXPECT_EQ(compilerConfiguration.compileSuccess, 0);
    EXPECT_EQ(expandTemplate(compilerConfiguration.linkFileTemplate, context), R"("C:\work/_main.obj" )");
    context.temporaryFile = "C:\\tmp\\t1";
    EXPECT_EQ(expandTemplate(compilerConfiguration.linkTemplate, context), "link /nologo   @C:\\tmp\\t1");
    runOptions.linkedLibraries = {"sqlite3", "z"};
    EXPECT_EQ(expandTemplate(compilerConfiguration.linkTemplate, context), "link /nologo  sqlite3.lib z.lib @C:\\tmp\\t1");
}

TEST_F(CompilerConfigTest, ShippedLinuxScripts) {
    for (const char* script : {"gcc", "clang"}) {
        SCOPED_TRACE(script);
        runOptions = RunOptions();
        compilerConfiguration = CompilerConfiguration();
        context = TemplateContext();
        loadShipped(script);
        std::string tool = std::string(script) == "gcc" ? "g++" : "clang++";
        runOptions.vornDir = "/opt/vorn/";
        baseDirectory = "/w/";
        context.module = moduleNamed({"hello"});
        context.modules = {moduleNamed({"hello"}), moduleNamed({"util"})};
        EXPECT_EQ(expandTemplate(compilerConfiguration.compileTemplate, context),
                  tool + R"( -std=c++17 -c  -I"/opt/vorn/include" -I"/w"  -o "/w/_hello.o" "/w/_hello.cpp")");
        EXPECT_EQ(expandTemplate(compilerConfiguration.objectFileTemplate, context), "/w/_hello.o");
        EXPECT_TRUE(compilerConfiguration.compileFileTemplate.empty());
        EXPECT_TRUE(compilerConfiguration.linkFileTemplate.empty());

        runOptions.defaultOutputName = "/w/hello";
        EXPECT_EQ(expandTemplate(compilerConfiguration.linkTemplate, context), tool + R"( -o "/w/hello" "/w/_hello.o" "/w/_util.o"  )");
        runOptions.outputName = "hello";
        runOptions.scriptOptions = {"debug"};
        runOptions.compilerOptions = "-O2";
        runOptions.linkerOptions = "-lm";
        runOptions.linkedLibraries = {"sqlite3", "lua5.4"};
        EXPECT_EQ(expandTemplate(compilerConfiguration.linkTemplate, context),
                  tool + R"( -g -o "hello" "/w/_hello.o" "/w/_util.o" -lm -lsqlite3 -llua5.4)");
        runOptions.includeDirs.push_back("/lib dir/");
        context.module = moduleNamed({"hello"});
#ifdef _WIN32
        const std::string quotedDir = R"(^"/lib dir^")";  // as the command processor reads it
#else
        const std::string quotedDir = "'/lib dir'";
#endif
        EXPECT_EQ(expandTemplate(compilerConfiguration.compileTemplate, context),
                  tool + R"( -std=c++17 -c -O2 -g -I"/opt/vorn/include" -I"/w" -I)" + quotedDir +
                      R"( -o "/w/_hello.o" "/w/_hello.cpp")");
    }
}

#ifndef _WIN32
// A command line is read by the shell: paths are quoted for the place they stand in, whatever
// quotes the script wrote around them, and options stay shell text.
TEST_F(CompilerConfigTest, CommandTemplatesQuotePathsForTheShell) {
    baseDirectory = "/w/a \"$(x)\" `y` 'z'/";
    context.module = moduleNamed({"m"});
    context.modules = {context.module};
    runOptions.compilerOptions = "-DX='1 2'";
    EXPECT_EQ(expandCommandTemplate(R"-(cc "$cppFile;" $compilerOptions; -I$baseDir; -o '$outFile;.o')-", context),
              R"-(cc "/w/a \"\$(x)\" \`y\` 'z'/_m.cpp" -DX='1 2' -I'/w/a "$(x)" `y` '\''z'\''' )-"
              R"-(-o '/w/a "$(x)" `y` '\''z'\''/_m.o')-");
    // A block left out keeps the quoting that stood before it.
    EXPECT_EQ(expandCommandTemplate(R"-($ifnone;"$;$file;)-", context), R"-('/w/a "$(x)" `y` '\''z'\''/m')-");
    // Response files are not read by the shell: their text is taken as it is.
    EXPECT_EQ(expandTemplate(R"-("$outFile;")-", context), R"-("/w/a "$(x)" `y` 'z'/_m")-");
}
#endif

// A registry holding fixed keys, values and failures, that counts how it was used.
class FakeRegistry : public platform::Registry {
public:
    std::map<std::string, std::map<std::string, std::string>> keys;
    const std::map<std::string, std::string>* open = nullptr;
    int opened = 0, closed = 0;

    bool openKey(const std::string& keyPath) override {
        auto found = keys.find(keyPath);
        if (found == keys.end()) return false;
        open = &found->second;
        ++opened;
        return true;
    }
    bool readString(const std::string& valueName, std::string& value) override {
        auto found = open->find(valueName);
        if (found == open->end()) return false;
        value = found->second;
        return true;
    }
    void closeKey() override {
        open = nullptr;
        ++closed;
    }
};

struct VisualCppDirectoriesTest : CompilerConfigTest {
    void SetUp() override {
        CompilerConfigTest::SetUp();
        platform::setEnvironment("include", "old include");
        platform::setEnvironment("lib", "old lib");
    }
    static std::string env(const char* name) {
        const char* value = std::getenv(name);
        return value ? value : "(unset)";
    }
    FakeRegistry registry;
    std::ostringstream err;
};

TEST_F(VisualCppDirectoriesTest, ImportsIncludeAndLibraryDirectories) {
    registry.keys["Software\\VC"] = {{"Include Dirs", "C:\\a;C:\\b;;C:\\c"}, {"Library Dirs", "C:\\lib"}};
    runOptions.includeDirs.push_back("mine/");
    loadVisualCppDirectories("Software\\VC", registry, err);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(runOptions.includeDirs, (std::vector<std::string>{"", "mine/", "C:\\a", "C:\\b", "", "C:\\c"}));
    EXPECT_EQ(env("include"), "C:\\a;C:\\b;;C:\\c");
    EXPECT_EQ(env("lib"), "C:\\lib");
    EXPECT_EQ(registry.closed, 1);
}

TEST_F(VisualCppDirectoriesTest, FailedReadsChangeNothing) {
    registry.keys["NoInclude"] = {{"Library Dirs", "L"}};
    registry.keys["NoLibrary"] = {{"Include Dirs", "I"}};
    struct Case {
        const char* key;
        const char* message;
    } cases[] = {
        {"Missing", "Unable to load vc settings from \nMissing\n"},
        {"NoInclude", "Unable to load vc settings/Include Dirs\n"},
        {"NoLibrary", "Unable to load vc settings/Library Dirs\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        err.str("");
        loadVisualCppDirectories(c.key, registry, err);
        EXPECT_EQ(err.str(), c.message);
        EXPECT_EQ(env("include"), "old include");
        EXPECT_EQ(env("lib"), "old lib");
        EXPECT_EQ(runOptions.includeDirs.size(), 1u);
    }
    EXPECT_EQ(registry.opened, registry.closed);
}

TEST_F(VisualCppDirectoriesTest, ScriptLineRunsTheImportWhenRead) {
    registry.keys["K"] = {{"Include Dirs", "X;Y"}, {"Library Dirs", "Z"}};
    platform::setRegistry(&registry);
    runOptions.includeDirs.push_back("before/");
    readScript("load vc dirs = K\ncompiler=cl\n");
    platform::setRegistry(nullptr);
    EXPECT_EQ(runOptions.includeDirs, (std::vector<std::string>{"", "before/", "X", "Y"}));
    EXPECT_EQ(env("lib"), "Z");
}

}  // namespace
