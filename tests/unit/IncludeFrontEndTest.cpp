// Include interface files: the line format, the renaming of a header's names, the search for
// the headers a value names, and getters read as properties while a header is linked.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <boost/make_shared.hpp>

#include "front/CppFrontEnd.hpp"
#include "base/Diagnostics.hpp"
#include "GoldenSupport.hpp"
#include "front/IncludeFrontEnd.hpp"
#include "tree/ParentFinder.hpp"
#include "RunOptionsSupport.hpp"

namespace {

std::string joinedList(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += "[" + item + "]";
    return out;
}

std::string joinedMap(const std::map<std::string, std::string>& items) {
    std::string out;
    for (const auto& item : items) out += "[" + item.first + "=" + item.second + "]";
    return out;
}

// Everything a file gave, in one line a table row can spell out.
std::string readBack(const std::string& text) {
    clearDiagnostics();
    IncludeModule module;
    std::vector<IncludeValue> includes;
    std::istringstream in(text);
    readIncludeInterface(in, "w.vni", module, includes);
    std::string out;
    for (const IncludeValue& include : includes) out += "include" + std::to_string(include.line) + "[" + include.value + "] ";
    out += "prefix" + joinedList(module.prefixes) + " get" + joinedList(module.getterPrefixes) + " set" +
           joinedList(module.setterPrefixes) + " extra[" + module.extraCode + "] alias" + joinedMap(module.aliases) +
           " define" + joinedMap(module.defines);
    for (const CompileError& error : queuedDiagnostics())
        out += " | " + std::to_string(error.position.line) + ":" + std::to_string(error.position.column) + " " + error.message;
    clearDiagnostics();
    return out;
}

const std::string nothing = "prefix get set extra[] alias define";

TEST(IncludeInterface, ReadsEveryKeyAndReportsTheRest) {
    const struct {
        const char* text;
        std::string expected;
    } cases[] = {
        {"", nothing},
        {"no equals sign here\n\n// a note\n", nothing},
        {"prefix=wg_", "prefix[wg_] get set extra[] alias define"},
        {"prefix  =  wg_  \r\n", "prefix[wg_] get set extra[] alias define"},
        {"prefix = wg_\nprefix = gl", "prefix[wg_][gl] get set extra[] alias define"},
        {"alias  Colour = Color", "prefix get set extra[] alias[ Colour=Color] define"},
        {"alias Colour = Color\nalias Colour = Hue", "prefix get set extra[] alias[Colour=Color] define"},
        {"define X = 1\ndefine X = 2\ndefine Y=", "prefix get set extra[] alias define[X=1][Y=]"},
        {"extra code = a\nextra code = b", "prefix get set extra[ab] alias define"},
        {"getter prefix = get_\nsetter prefix = set_", "prefix get[get_] set[set_] extra[] alias define"},
        {"\n include = widgets/*.h\ninclude=b.h", "include2[widgets/*.h] include3[b.h] " + nothing},
        {"// colour = red\n \t// a = b", nothing},
        {"colour = red // note", nothing + " | 1:0 Unrecognized line: 'colour = red // note'"},
        {"Prefix = x\nalias= y\ndefineX = 1\nprefix = ok",
         "prefix[ok] get set extra[] alias define | 1:0 Unrecognized line: 'Prefix = x' | 2:0 Unrecognized line: "
         "'alias= y' | 3:0 Unrecognized line: 'defineX = 1'"},
    };
    for (const auto& c : cases) EXPECT_EQ(readBack(c.text), c.expected) << "file: " << c.text;
}

TEST(IncludeInterface, RenamesByFirstPrefixThenWholeTypeAliases) {
    IncludeModule module;
    module.prefixes = {"wg_", "w", "x", "json_"};
    module.aliases = {{"Colour", "Color"}, {"cJSON", "Json"}, {"stmt", "Statement"}, {"png_struct", "Png"}};
    const struct {
        const char* name;
        bool isType;
        const char* known;
    } cases[] = {
        {"wg_draw", false, "draw"},      {"wdraw", false, "draw"},        {"draw", false, "draw"},
        {"wg_", false, "wg_"},           {"x", false, "x"},               {"wg_stmt", true, "Statement"},
        {"wg_Colour", true, "Color"},    {"setColour", false, "setColour"}, {"cJSON_Parse", false, "cJSON_Parse"},
        {"cJSON", true, "Json"},         {"cJSON", false, "cJSON"},        {"png_struct", true, "Png"},
        {"png_structp", true, "png_structp"}, {"json_true", false, "json_true"}, {"json_dumps", false, "dumps"},
    };
    for (const auto& c : cases) EXPECT_EQ(module.importedName(c.name, c.isType), c.known) << c.name;
}

using HeaderSearch = ::testing::Test;

TEST_F(HeaderSearch, BaseDirectoryThenIncludeDirectoriesThenTheSystems) {
    const std::string root = golden::freshDirectory("headers");
    for (const char* dir : {"base", "base/sub", "inc", "sys"}) std::filesystem::create_directory(root + dir);
    for (const char* file : {"base/a.h", "inc/a.h", "inc/b.h", "sys/b.h", "sys/c.h", "base/sub/w1.h",
                             "base/sub/w2.h", "base/sub/w.c"})
        std::ofstream(root + file) << "\n";
    std::filesystem::create_directory(root + "base/sub/wdir.h");  // a folder is no header
    baseDirectory = root + "base/";
    runOptions.includeDirs = {baseDirectory, root + "inc"};
    const std::vector<std::string> system{root + "sys"};
    const struct {
        std::string value;
        std::string found;  // full paths after the root, then each relative name
    } cases[] = {
        {"a.h", "base/a.h:a.h"},
        {"b.h", "inc/b.h:b.h"},
        {"c.h", "sys/c.h:c.h"},
        {"sub/w?.h", "base/sub/w1.h:sub/w1.h base/sub/w2.h:sub/w2.h"},
        {"sub/*.h", "base/sub/w1.h:sub/w1.h base/sub/w2.h:sub/w2.h"},
        {root + "inc/a.h", "inc/a.h:a.h"},
        {"missing.h", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        std::string found;
        for (const FoundHeader& header : findHeaders(c.value, system))
            found += (found.empty() ? "" : " ") + header.path.substr(root.size()) + ":" + header.relative;
        EXPECT_EQ(found, c.found) << c.value;
    }
    EXPECT_EQ(baseDirectory, root + "base/");
    EXPECT_EQ(headerModuleName("sub/w1.h").components, std::vector<std::string>{"sub_w1_h"});
}

struct Getters : ::testing::Test {
    void TearDown() override {
        currentIncludeModule.reset();
        clearDiagnostics();
    }
};

TEST_F(Getters, ConstGettersWithoutArgumentsBecomeProperties) {
    const std::string dir = golden::freshDirectory("getters");
    std::ofstream(dir + "g.hpp") << "class wg_Box {\npublic:\n  int get_wg_size() const;\n  int get_open();\n"
                                    "  int get_at(int i) const;\n  virtual int get_colour() const = 0;\n};\n";
    currentIncludeModule = boost::make_shared<IncludeModule>();
    currentIncludeModule->getterPrefixes = {"get_"};
    currentIncludeModule->prefixes = {"wg_"};
    ModulePtr module = CppFrontEnd().loadHeader(dir + "g.hpp", "g");
    ASSERT_TRUE(module);
    ParentFinder().linkModule(*module);
    EXPECT_TRUE(queuedDiagnostics().empty());
    ASSERT_TRUE(module->block->names.count("Box"));
    ClassDeclaration& box = dynamic_cast<ClassDeclaration&>(*module->block->names["Box"]);
    EXPECT_EQ(box.name, "wg_Box");
    const DeclarationTable& members = box.body->names;
    auto size = dynamic_cast<PropertyDeclaration*>(members.at("size").get());
    ASSERT_TRUE(size);
    EXPECT_EQ(size->getterName, "get_wg_size");
    auto colour = dynamic_cast<PropertyDeclaration*>(members.at("colour").get());
    ASSERT_TRUE(colour);
    EXPECT_TRUE(colour->getterModifiers.isVirtual && colour->getterModifiers.isAbstract);
    EXPECT_FALSE(members.count("open"));
    EXPECT_FALSE(members.count("at"));
}

TEST_F(Getters, AFieldOfThePropertysNameIsReported) {
    const std::string dir = golden::freshDirectory("getters");
    std::ofstream(dir + "f.hpp") << "struct S {\n  int width;\n  int get_width() const;\n};\n";
    currentIncludeModule = boost::make_shared<IncludeModule>();
    currentIncludeModule->getterPrefixes = {"get_"};
    ModulePtr module = CppFrontEnd().loadHeader(dir + "f.hpp", "f");
    ASSERT_TRUE(module);
    try {
        ParentFinder().linkModule(*module);
        FAIL() << "linked without a word";
    } catch (const CompileError& error) {
        EXPECT_EQ(error.message, "variable has same name as property");
        EXPECT_EQ(error.position.line, 3);
    }
}

}  // namespace
