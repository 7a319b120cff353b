// The generated files' names and layout, the line comparison with the previous files and the
// module's two "unchanged" flags.
#include <gtest/gtest.h>

#include "driver/BuildManager.hpp"
#include "CppTestTrees.hpp"
#include "driver/Driver.hpp"
#include "platform/Platform.hpp"

using namespace cpptest;

TEST(CppBackEndNames, QuotedPathsIncludePathsAndGuards) {
    EXPECT_EQ(quoteCString("a/b.vn"), "\"a/b.vn\"");
    EXPECT_EQ(quoteCString("C:\\x\\\"y\"\n"), "\"C:\\\\x\\\\\\\"y\\\"\\n\"");
    struct Case {
        std::vector<std::string> components;
        const char* extension;
        bool flat;
        const char* expected;
    } cases[] = {
        {{"a", "b", "c"}, "hpp", false, "a/b/_c.hpp"},
        {{"a", "b", "c"}, "hpp", true, "c.hpp"},
        {{"x"}, "hpp2", false, "_x.hpp2"},
        {{"x"}, "cpp", true, "x.cpp"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(generatedIncludePath(c.components, c.extension, c.flat), c.expected) << c.expected;
    EXPECT_EQ(guardName({"a", "b", "c"}), "a_b_c");
    EXPECT_EQ(guardName({"x"}), "x");
}

TEST(CppBackEndNames, ModuleNameSplitsAtDots) {
    Module module;
    module.name = "geo.point";
    EXPECT_EQ(splitDottedName(module.name), (std::vector<std::string>{"geo", "point"}));
    module.name = "x";
    EXPECT_EQ(splitDottedName(module.name), (std::vector<std::string>{"x"}));
}

namespace {

// Writes each text through a fresh DiffingFile over the same path, as a module is written
// run after run, and says whether each write matched the previous content.
class CppDiffingFileTest : public ::testing::Test {
protected:
    std::string path = freshDirectory("diff") + "f.hpp";

    bool writeAndCompare(const std::string& text) {
        DiffingFile file;
        file.open(path);
        file.write(text);
        file.close();
        return file.sameSoFar();
    }
};

}  // namespace

TEST_F(CppDiffingFileTest, FirstWriteDiffersAndLeavesNoTemporaryFile) {
    EXPECT_FALSE(writeAndCompare("a\n"));
    EXPECT_EQ(readFile(path), "a\n");
    EXPECT_FALSE(platform::fileExists(path + ".tmp"));
}

TEST_F(CppDiffingFileTest, ComparesLinesIgnoringBlankLinesAndLineDirectives) {
    ASSERT_FALSE(writeAndCompare("#line 1 \"m.vn\"\nint a;\n\tint b;\n"));
    struct Case {
        const char* text;
        bool same;
    } cases[] = {
        {"#line 1 \"m.vn\"\nint a;\n\tint b;\n", true},
        {"\n\n#line 7\nint a;\n  \t\r\n\tint b;\n\n", true},
        {"int a;\n int b;\n", false},    // a blank is not a tab
        {"int a;\n", false},            // the old file goes on with a real line
        {"int a;\n\tint b;\nint c;\n", false},
        {"int a;\n\tint b;", false},     // an unended last line is not compared, so the old one is extra
    };
    for (const Case& c : cases) {
        writeAndCompare("#line 1 \"m.vn\"\nint a;\n\tint b;\n\n#line 9\n\n");
        EXPECT_EQ(writeAndCompare(c.text), c.same) << c.text;
    }
}

TEST_F(CppDiffingFileTest, TextSplitAcrossWritesIsComparedByLine) {
    writeAndCompare("int a;\nint b;\n");
    DiffingFile file;
    file.open(path);
    for (const char* piece : {"int", " a", ";\nin", "t b;", "\n"}) file.write(piece);
    file.close();
    EXPECT_TRUE(file.sameSoFar());
}

// A difference in one file leaves the rest of its text pending, so the next file of the same
// module counts as changed too.
TEST_F(CppDiffingFileTest, DifferenceCarriesIntoTheNextFile) {
    const std::string second = path + "2";
    for (const std::string& p : {path, second}) {
        DiffingFile file;
        file.open(p);
        file.write("x;\ny;\n");
        file.close();
    }
    DiffingFile file;
    file.open(path);
    file.write("changed;\n");
    file.write("y;\n");
    file.close();
    EXPECT_FALSE(file.sameSoFar());
    file.open(second);
    file.write("x;\ny;\n");
    file.close();
    EXPECT_FALSE(file.sameSoFar());
    EXPECT_EQ(readFile(second), "x;\ny;\n");

    file.dropPendingLine();
    file.open(second);
    file.write("x;\ny;\n");
    file.close();
    EXPECT_TRUE(file.sameSoFar());
}

TEST_F(CppDiffingFileTest, VerboseNamesTheFilesAndTheDifference) {
    writeAndCompare("int a;\n");
    testing::internal::CaptureStdout();
    DiffingFile file;
    file.verbose = true;
    file.open(path);
    file.write("int b;\n");
    file.close();
    // The name beside carries the process id and a count, written here as NAME.tmp.
    std::string trace = testing::internal::GetCapturedStdout();
    const std::string::size_type from = trace.find(path + ".", trace.find(" with ")) + path.size();
    trace.erase(from, trace.find(".tmp\n", from) - from);
    EXPECT_EQ(trace, "  diffing file: " + path + " with " + path +
                         ".tmp\n    difference: \n      old: int a;\n      new: int b;\n");
}

namespace {

// A small module: a class with a member defined in the cpp file and a top-level function.
ModulePtr counterModule(int shift, const std::string& body = "2", bool extraClass = false) {
    ModulePtr module = make<Module>();
    module->name = "counter";
    module->location = at(1, 0, "counter.vn");
    module->block = block({});
    auto line = [&](int n) { return n + shift; };
    auto here = [&](ASTObjectPtr node, int n) {
        node->location = at(line(n), 0, "counter.vn");
        return node;
    };
    FunctionDeclarationPtr next =
        function(1, type("int"), "next", {}, block({returns(binary(name("count"), "+", constant("1")), 1)}));
    here(next, 3);
    here(next->body->statements.front(), 4);
    VariableDeclarationPtr count = variable(1, type("int"), "count");
    here(count, 2);
    ClassDeclarationPtr counter = classOf(1, "Counter", block({count, next}));
    here(counter, 1);
    FunctionDeclarationPtr twice = function(1, type("int"), "twice", {argument(type("int"), "x")},
                                            block({returns(binary(name("x"), "*", constant(body)), 1)}));
    here(twice, 6);
    here(twice->body->statements.front(), 7);
    module->block->statements = {counter, twice};
    if (extraClass) {
        ClassDeclarationPtr extra = classOf(1, "Extra", block({}));
        here(extra, 9);
        module->block->statements.push_back(extra);
    }
    return module;
}

class CppModuleFilesTest : public ::testing::Test {
protected:
    void SetUp() override { baseDirectory = freshDirectory("module"); }

    // Writes the module and returns its flags as "header cpp", each 1 for unchanged.
    std::string write(const ModulePtr& module) {
        backEnd.writeModule(*module);
        return std::to_string(module->headerUnchanged) + " " + std::to_string(module->cppUnchanged);
    }

    ModuleName counterName() {
        ModuleName name;
        name.components = {"counter"};
        return name;
    }

    CppBackEnd backEnd;
};

}  // namespace

TEST_F(CppModuleFilesTest, FirstRunChangesEverythingAndASecondNothing) {
    EXPECT_EQ(write(counterModule(0)), "0 0");
    EXPECT_EQ(write(counterModule(0)), "1 1");
    for (const char* extension : {"hpp2", "hpp", "cpp"}) {
        EXPECT_TRUE(platform::fileExists(outputPath(counterName(), extension))) << extension;
        EXPECT_FALSE(platform::fileExists(outputPath(counterName(), extension) + ".tmp")) << extension;
    }
}

TEST_F(CppModuleFilesTest, BlankSourceLinesChangeNoFile) {
    write(counterModule(0));
    const std::string before = readFile(outputPath(counterName(), "cpp"));
    EXPECT_EQ(write(counterModule(3)), "1 1");
    EXPECT_NE(readFile(outputPath(counterName(), "cpp")), before);  // the padding moved
    // Eleven lines further is a jump by a directive rather than by padding; still no change.
    EXPECT_EQ(write(counterModule(14)), "1 1");
    EXPECT_NE(readFile(outputPath(counterName(), "cpp")).find("\n#line 17\nint Counter::next()"), std::string::npos);
}

// The implementation flag follows the comparison both ways, run after run.
TEST_F(CppModuleFilesTest, BodyChangeTouchesOnlyTheImplementation) {
    write(counterModule(0));
    EXPECT_EQ(write(counterModule(0, "3")), "1 0");
    EXPECT_EQ(write(counterModule(0, "3")), "1 1");
}

TEST_F(CppModuleFilesTest, NewClassChangesAllThree) {
    write(counterModule(0));
    runOptions.verbose = true;
    testing::internal::CaptureStdout();
    const std::string flags = write(counterModule(0, "2", true));
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(flags, "0 0");
    EXPECT_NE(output.find("writing: counter to C++\n"), std::string::npos) << output;
    EXPECT_NE(output.find("\n  header changed for: counter\n"), std::string::npos) << output;
    EXPECT_NE(output.find("      new: struct Extra;"), std::string::npos) << output;
}

TEST_F(CppModuleFilesTest, OutputTimeAndRemoval) {
    EXPECT_EQ(backEnd.outputTime(counterName()), 0);
    write(counterModule(0));
    EXPECT_GT(backEnd.outputTime(counterName()), 0);
    platform::deleteFile(outputPath(counterName(), "hpp2"));
    EXPECT_EQ(backEnd.outputTime(counterName()), 0);

    for (const char* extension : {"o", "obj"}) writeFile(outputPath(counterName(), extension), "x");
    backEnd.removeObjects(counterName());
    for (const char* extension : {"o", "obj"})
        EXPECT_FALSE(platform::fileExists(outputPath(counterName(), extension))) << extension;
    EXPECT_TRUE(platform::fileExists(outputPath(counterName(), "cpp")));
    backEnd.removeOutputs(counterName());
    for (const char* extension : {"hpp", "hpp2", "cpp"})
        EXPECT_FALSE(platform::fileExists(outputPath(counterName(), extension))) << extension;
}

TEST_F(CppModuleFilesTest, LayoutOfTheThreeFiles) {
    precompiledHeaderLine = "#include\"stdafx.h\"\n";
    write(counterModule(0));
    EXPECT_EQ(readFile(outputPath(counterName(), "hpp2")),
              "#ifndef HEADER2counter\n#define HEADER2counter\n#include <vorn_base.hpp>\n"
              "#line 1 \"counter.vn\"\n\n\n// Forward declarations of classes\n"
              "\n#line 1\nstruct Counter;\n\n\n#endif\n");
    EXPECT_EQ(readFile(outputPath(counterName(), "hpp")),
              "#ifndef HEADERcounter\n#define HEADERcounter\n#include \"_counter.hpp2\"\n\n"
              "#line 1 \"counter.vn\"\n\n// Imports/includes\n\n\n// Enums, types\n\n\n"
              "// Classes, function declarations\n"
              "\n#line 1\nstruct Counter{\n\tpublic:int count;\n\tpublic:int next();};\n\n\nint twice(int );\n\n\n#endif\n");
    EXPECT_EQ(readFile(outputPath(counterName(), "cpp")),
              "#include\"stdafx.h\"\n#include \"_counter.hpp\"\n\n#line 1 \"counter.vn\"\n\n\n"
              "// Implementation of functions\n"
              "\n#line 3\nint Counter::next(){\n\treturn (count)+(1);\n}\n"
              "int twice(int x){\n\treturn (x)*(2);\n}\n");
}

TEST_F(CppModuleFilesTest, IncludeLinesFollowTheImports) {
    ModulePtr module = make<Module>();
    module->name = "app";
    module->location = at(1, 0, "app.vn");
    module->block = block({});
    module->includes = {"<vector>"};
    auto import = [&](std::vector<std::string> path, int inHeader, unsigned flags, int line) {
        ImportDeclarationPtr node = make<ImportDeclaration>();
        node->location = at(line, 0, "app.vn");
        node->path = path;
        node->inHeader = inHeader;
        node->flags = flags;
        module->addImport(node);
    };
    import({"geo", "point"}, 1, 0, 1);
    import({"util"}, 0, 0, 2);
    import({"Library", "Buildin", "*"}, 1, ImportDeclaration::builtinImport, 0);
    import({"hidden"}, 0, ImportDeclaration::implicitImport, 3);
    write(module);
    const std::string header = readFile(baseDirectory + "_app.hpp");
    EXPECT_NE(header.find("// Imports/includes\n#include <vector>\n\n#line 1\n#include \"geo/_point.hpp\"\n"
                          "#include \"_util.hpp2\"\n"),
              std::string::npos)
        << header;
    const std::string implementation = readFile(baseDirectory + "_app.cpp");
    EXPECT_NE(implementation.find("#line 1 \"app.vn\"\n\n#include \"_util.hpp\"\n"), std::string::npos)
        << implementation;
    EXPECT_EQ(implementation.find("point"), std::string::npos);
    EXPECT_EQ(header.find("hidden"), std::string::npos);
    EXPECT_EQ(header.find("Buildin"), std::string::npos);
}
