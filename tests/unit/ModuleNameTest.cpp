// Module names from file paths, the paths derived from names, and the work stack.
#include <gtest/gtest.h>

#include "driver/BuildManager.hpp"
#include "driver/Driver.hpp"
#include "platform/Platform.hpp"

namespace {

struct ModuleNameTest : ::testing::Test {
    std::string cwd = platform::currentDirectory() + "/";
};

using Parts = std::vector<std::string>;

TEST_F(ModuleNameTest, InputPathsResolveTheirBaseDirectory) {
    struct Case {
        const char* path;
        const char* extension;
        Parts components;
        std::string base;  // "~/" stands for the current directory
    } cases[] = {
        {"main.vn", "vn", {"main"}, "~/"},
        {"src/app/main.vn", "vn", {"main"}, "~/src/app/"},
        {"a.b.vn", "vn", {"a", "b"}, "~/"},
        {"./x.vn", "vn", {"x"}, "~/"},
        {"../up/x.vn", "vn", {"x"}, "~/../up/"},
        {".hidden/x.vn", "vn", {"x"}, "~/.hidden/"},
        {"v1.2/x.vn", "vn", {"x"}, "~/v1.2/"},
        {"/tmp/a.b/c.d/m.vn", "vn", {"m"}, "/tmp/a.b/c.d/"},
        {"win\\dir\\x.vn", "vn", {"x"}, "~/win/dir/"},
        {"/abs/dir/m.vn", "vn", {"m"}, "/abs/dir/"},
        {"C:\\work\\m.vn", "vn", {"m"}, "C:/work/"},
        {"noext", "", {"noext"}, "~/"},
        {"x.Vn", "", {"x", "Vn"}, "~/"},     // not an extension: it starts upper-case
        {"x.9", "", {"x", "9"}, "~/"},
        {"dir/", "", {}, "~/dir/"},
        {"", "", {}, "~/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ModuleName name = parseModuleName(c.path, true, true);
        std::string base = c.base.compare(0, 2, "~/") == 0 ? cwd + c.base.substr(2) : c.base;
        EXPECT_EQ(name.extension, c.extension);
        EXPECT_EQ(name.components, c.components);
        EXPECT_EQ(baseDirectory, base);
        EXPECT_EQ(runOptions.includeDirs[0], base);
    }
}

TEST_F(ModuleNameTest, NamesWithoutResolvingKeepTheBase) {
    baseDirectory = "/work/src/";
    runOptions.includeDirs[0] = "kept";
    struct Case {
        const char* path;
        bool checkExtension;
        const char* extension;
        Parts components;
    } cases[] = {
        {"Library/Buildin/*", true, "", {"Library", "Buildin", "*"}},
        {"a/b/c.vni", true, "vni", {"a", "b", "c"}},
        {"/work/src/a.vn", true, "vn", {"a"}},  // the base directory's own text is skipped
        {"/work/other/a.vn", true, "vn", {"other", "a"}},
        {"x.Hpp", false, "Hpp", {"x"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ModuleName name = parseModuleName(c.path, false, c.checkExtension);
        EXPECT_EQ(name.extension, c.extension);
        EXPECT_EQ(name.components, c.components);
    }
    EXPECT_EQ(baseDirectory, "/work/src/");
    EXPECT_EQ(runOptions.includeDirs[0], "kept");
}

ModuleName named(Parts components, const char* extension = "vn") {
    ModuleName name;
    name.components = components;
    name.extension = extension;
    return name;
}

TEST_F(ModuleNameTest, DerivedNamesAndPaths) {
    baseDirectory = "/w/";
    runOptions.vornDir = "/opt/vorn/";
    ModuleName abc = named({"a", "b", "c"});
    EXPECT_EQ(dottedName(abc), "a.b.c");
    EXPECT_EQ(relativeFileName(abc), "a/b/c.vn");
    EXPECT_EQ(relativeFileName(named({"x"}, "")), "x.");
    EXPECT_EQ(sourcePath(abc, "vn"), "/w/a/b/c.vn");
    EXPECT_EQ(sourcePath(abc, ""), "/w/a/b/c");
    EXPECT_EQ(sourcePath(named({"Library", "Buildin"}), "vnl"), "/opt/vorn/lib/Library/Buildin.vnl");
    EXPECT_EQ(sourcePath(named({"library", "x"}), "vnl"), "/w/library/x.vnl");
    EXPECT_EQ(outputPath(abc, "hpp"), "/w/a/b/_c.hpp");
    EXPECT_EQ(outputPath(named({"main"}), "cpp"), "/w/_main.cpp");
    EXPECT_EQ(outputPath(abc, ""), "/w/a/b/_c");
    outputDirectory = "/out/";
    EXPECT_EQ(outputPath(abc, "hpp"), "/out/c.hpp");
}

// One splitter serves the records of library files and the back ends' file names.
TEST_F(ModuleNameTest, DottedNamesSplitIntoTheirNonEmptyParts) {
    struct Case {
        const char* dotted;
        std::vector<std::string> components;
    } cases[] = {
        {"a.bc.d", {"a", "bc", "d"}}, {"x", {"x"}}, {"", {}}, {"a..b.", {"a", "b"}}, {".a", {"a"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitDottedName(c.dotted), c.components) << c.dotted;
        EXPECT_EQ(dottedModuleName(c.dotted), named(c.components, "")) << c.dotted;
    }
}

TEST_F(ModuleNameTest, ExtensionTakesNoPartInIdentity) {
    EXPECT_EQ(named({"a", "b"}, "vn"), named({"a", "b"}, "hpp"));
    EXPECT_NE(named({"a", "b"}), named({"a", "c"}));
    EXPECT_LT(named({"a"}), named({"a", "b"}));
    EXPECT_LT(named({"B"}), named({"a"}));  // byte-wise
    std::set<ModuleName> names{named({"m"}, "vn"), named({"m"}, "vni")};
    EXPECT_EQ(names.size(), 1u);
}

}  // namespace
