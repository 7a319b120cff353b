// Compiler scripts and templates on hostile input: nested $perFile; blocks that would multiply
// without end, scripts with NUL bytes, lone CRs, invalid UTF-8, no final line end and very
// long lines, and script names that are directories.
#include <gtest/gtest.h>

#include <string>

#include "driver/BuildManager.hpp"
#include "driver/CompilerConfig.hpp"
#include "base/Diagnostics.hpp"
#include "driver/Driver.hpp"
#include "RunOptionsSupport.hpp"

using runtest::thrownText;

namespace {

struct RobustConfigTest : ::testing::Test {
    void visit(std::initializer_list<const char*> names) {
        for (const char* name : names) context.modules.insert(runtest::moduleNamed({name}));
    }
    TemplateContext context;
};

std::string repeated(const std::string& piece, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) out += piece;
    return out;
}

std::string nestedPerFile(int depth, const std::string& body) {
    return repeated("$perFile;", depth) + body + repeated("$;", depth);
}

// Each nesting level repeats its block once per module. The same text repeated is expanded
// once, so deep nesting costs time only for the text it really makes, and a text beyond any
// command line fails with a message instead of filling memory.
TEST_F(RobustConfigTest, NestedPerFileBlocksStayBounded) {
    visit({"x", "y"});
    EXPECT_EQ(expandTemplate(nestedPerFile(3, "$file;"), context), repeated("xy", 4));
    EXPECT_EQ(expandTemplate(nestedPerFile(1000, ""), context), "");
    EXPECT_EQ(thrownText<CompileError>([&] { expandTemplate(nestedPerFile(1001, ""), context); }),
              "template blocks nested more than 1000 deep");
    EXPECT_EQ(expandTemplate(nestedPerFile(20, "a"), context).size(), size_t(1) << 20);
    for (const char* body : {"a", "$file;", "$if!debug;a$;"}) {
        EXPECT_EQ(thrownText<CompileError>([&] { expandTemplate(nestedPerFile(60, body), context); }),
                  "template expansion is longer than 16777216 characters")
            << body;
    }
}

// Expanding each block once must not change what a block sees: the current module inside and
// after an inner block is the one the plain reading gives.
TEST_F(RobustConfigTest, RepeatedBlocksSeeTheRightCurrentModule) {
    visit({"x", "y"});
    baseDirectory = "/w/";
    EXPECT_EQ(expandTemplate("$perFile;[$file;$perFile;<$file;>$;$file;]$;$file;", context),
              "[/w/x</w/x></w/y>/w/y][/w/y</w/x></w/y>/w/y]/w/y");
    EXPECT_EQ(expandTemplate("$perFile;$perFile;$;$file;|$;", context), "/w/y|/w/y|");
    context = TemplateContext();
    EXPECT_EQ(expandTemplate("a$perFile;$perFile;b$;c$;d", context), "ad");
    // A dropped inner block is still checked, in every repetition and with nothing visited.
    EXPECT_THROW(expandTemplate("$perFile;$perFile;$bad;$;$;", context), CompileError);
}

struct ScriptCase {
    const char* name;
    std::string text;
    std::string compile;
    std::string link;
};

TEST_F(RobustConfigTest, AwkwardScriptsReadAsText) {
    const std::string longValue(1 << 20, 'a');
    ScriptCase cases[] = {
        {"empty", "", "", ""},
        {"no final line end", "compiler=cc\nlinker=ld", "cc", "ld"},
        {"NUL bytes in the value", std::string("compiler=c\0c\nlinker=l\0", 22), std::string("c\0c", 3),
         std::string("l\0", 2)},
        {"NUL byte in the key", std::string("comp\0iler=cc\n", 13), "", ""},
        {"invalid UTF-8 kept as bytes", "compiler=\xff\xfe\xc3(\n", "\xff\xfe\xc3(", ""},
        {"CR LF", "compiler=cc\r\nlinker=ld\r\n", "cc", "ld"},
        {"backslash before the end of the file", "compiler=cc\\", "cc\\", ""},
        {"1 MB value", "linker=" + longValue + "\n", "", longValue},
        {"100000 continuation lines", "compiler=" + repeated("a\\\n", 100000) + "b\n", repeated("a", 100000) + "b", ""},
        {"only line ends", repeated("\n", 100000), "", ""},
    };
    for (const ScriptCase& c : cases) {
        SCOPED_TRACE(c.name);
        CompilerConfiguration read = runtest::readScript(c.text);
        EXPECT_EQ(read.compileTemplate, c.compile);
        EXPECT_EQ(read.linkTemplate, c.link);
    }
}

// A name that leads to a directory is no script: reading it would find nothing and pass.
TEST_F(RobustConfigTest, DirectoryIsNotAScript) {
    runtest::ScratchDirectory root("robust-config");
    root.makeDirectories("compiler/sub");
    runOptions.vornDir = root.path() + "/";
    for (const char* name : {"", ".", "sub"}) {
        EXPECT_EQ(thrownText<CompileError>([&] { loadCompilerConfiguration(name); }),
                  "compiler configuration file not found:\n" + runOptions.vornDir + "compiler/" + name)
            << name;
    }
}

}  // namespace
