// The build manager on fake front and back ends: loading order, the up-to-date rule, import
// resolution, the translate loop, the recheck and their verbose traces.
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>

#include "tree/Ast.hpp"
#include "driver/BuildManager.hpp"
#include "driver/Driver.hpp"

namespace {

struct FakeSource {
    platform::FileTime time = 100;
    std::vector<std::pair<std::string, int>> imports;  // dotted name, inHeader
    bool complete = true;
    bool topLevelExpression = false;
    bool queuesError = false;
};

ModuleName named(const std::string& dotted, const std::string& extension = "") {
    ModuleName name;
    name.extension = extension;
    std::stringstream in(dotted);
    std::string part;
    while (std::getline(in, part, '.')) name.components.push_back(part);
    return name;
}

// Serves modules from a table; remembers which names it was asked about.
class FakeFrontEnd : public FrontEnd {
public:
    std::map<std::string, FakeSource> sources;
    std::vector<std::string>* asked = nullptr;
    std::string extension;

    ModulePtr loadModule(const ModuleName& name) override {
        const FakeSource& source = sources.at(dottedName(name));
        if (source.queuesError) {
            reportError("cannot read", SourceLocation());
            return ModulePtr();
        }
        ModulePtr module = boost::make_shared<Module>();
        module->block = boost::make_shared<Block>();
        module->complete = source.complete;
        for (const auto& imported : source.imports) {
            ImportDeclarationPtr import = boost::make_shared<ImportDeclaration>();
            import->path = named(imported.first).components;
            import->inHeader = imported.second;
            module->addImport(import);
        }
        FunctionDeclarationPtr f = boost::make_shared<FunctionDeclaration>();
        f->name = "run";
        module->block->statements.push_back(f);
        if (source.topLevelExpression) {
            StatementPtr s = boost::make_shared<ExpressionStatement>();
            s->location = SourceLocation(internFileName("x.vn"), 3, 0);
            module->block->statements.push_back(s);
        }
        module->block->statements.push_back(boost::make_shared<MacroStatement>());
        return module;
    }
    platform::FileTime sourceTime(const ModuleName& name) override {
        if (asked) asked->push_back(dottedName(name) + "." + name.extension);
        auto found = sources.find(dottedName(name));
        return found == sources.end() ? 0 : found->second.time;
    }
};

class FakeBackEnd : public BackEnd {
public:
    std::map<std::string, platform::FileTime> outputs;
    std::set<std::string> changesCpp, changesHeader;
    std::vector<std::string> written, removedObjects;

    void writeModule(Module& module) override {
        written.push_back(module.name);
        if (changesCpp.count(module.name)) module.cppUnchanged = false;
        if (changesHeader.count(module.name)) module.headerUnchanged = false;
    }
    platform::FileTime outputTime(const ModuleName& name) override {
        auto found = outputs.find(dottedName(name));
        return found == outputs.end() ? 0 : found->second;
    }
    void removeOutputs(const ModuleName&) override {}
    void removeObjects(const ModuleName& name) override { removedObjects.push_back(dottedName(name)); }
};

class BuildManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        runOptions = RunOptions();
        runOptions.vornDir = std::string(VORN_SOURCE_DIR) + "/";
        runOptions.verbose = true;
        manager = std::make_unique<BuildManager>();
        clearDiagnostics();
        directory = std::filesystem::temp_directory_path() /
                    ("vorn_build_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory);
        baseDirectory = directory.string() + "/";
        vn = boost::make_shared<FakeFrontEnd>();
        vn->extension = "vn";
        manager->frontEnds["vn"] = vn;
        back = boost::make_shared<FakeBackEnd>();
        manager->cppBackEnd = back;
    }
    void TearDown() override {
        manager.reset();
        runOptions = RunOptions();
        clearDiagnostics();
        std::filesystem::remove_all(directory);
    }

    // Runs the translate stage for the given inputs; the verbose trace with the temporary
    // directory written as "<dir>/".
    std::string build(const std::vector<std::string>& inputs, bool* ok = nullptr) {
        for (const std::string& input : inputs) manager->pushWork(named(input, "vn"));
        ::testing::internal::CaptureStdout();
        bool result = manager->buildAll();
        std::string trace = ::testing::internal::GetCapturedStdout();
        if (ok) *ok = result;
        std::string dir = baseDirectory;
        for (std::string::size_type at; (at = trace.find(dir)) != std::string::npos;) trace.replace(at, dir.size(), "<dir>/");
        return trace;
    }

    std::set<std::string> names(const std::set<ModuleName>& set) {
        std::set<std::string> result;
        for (const ModuleName& name : set) result.insert(dottedName(name));
        return result;
    }

    std::unique_ptr<BuildManager> manager;
    std::filesystem::path directory;
    boost::shared_ptr<FakeFrontEnd> vn;
    boost::shared_ptr<FakeBackEnd> back;
};

TEST_F(BuildManagerTest, TwoModulesOutOfDate) {
    vn->sources["a"].imports = {{"b", 1}};
    vn->sources["b"];
    bool ok = false;
    EXPECT_EQ(build({"a"}, &ok),
              "Converting file: <dir>/a.vn\n"
              "  loading: a from source\n"
              "    loading: b from source\n"
              "      loading: Library.Buildin.* from library\n"
              "    adding building library to: b\n"
              "Converting file: <dir>/b.vn\n"
              "  loading: b from memory\n"
              "  loading: b from memory\n"
              "writing: b to vnl\n"
              "    loading: Library.Buildin.* from library\n"
              "  adding building library to: a\n"
              "  loading: a from memory\n"
              "writing: a to vnl\n"
              "  Rechecking if imports are out of date\n"
              "   Checking a\n"
              "    loading: a from memory\n"
              "  checking imports of: a\n"
              "    checking imports of: Library.Buildin\n"
              "    checking imports of: b\n"
              "  Invalidating a and sending it to compiler\n"
              "   Checking b\n"
              "    loading: b from memory\n"
              "  Invalidating b and sending it to compiler\n");
    EXPECT_TRUE(ok);
    // An import is written as soon as it is read, before the module that imports it.
    EXPECT_EQ(back->written, (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(names(manager->converted), (std::set<std::string>{"a", "b"}));
    EXPECT_EQ(names(manager->toCompile), (std::set<std::string>{"a", "b"}));
    EXPECT_TRUE(std::filesystem::exists(directory / "_a.vnl"));
    std::ifstream vnl(directory / "_a.vnl");
    std::stringstream text;
    text << vnl.rdbuf();
    // One record for the import, passed on by a's header.
    EXPECT_TRUE(std::regex_match(text.str(), std::regex("lib a\nimp 1 b\nfun   run \ndig 1 [0-9a-f]{16} b\neof\n")))
        << text.str();
}

TEST_F(BuildManagerTest, UpToDateWhenOutputsAreNotOlder) {
    struct Row {
        platform::FileTime output;
        bool upToDate;
    };
    for (const Row& row : {Row{99, false}, Row{100, true}, Row{101, true}, Row{0, false}}) {
        SetUp();
        vn->sources["a"].time = 100;
        back->outputs["a"] = row.output;
        build({"a"});
        EXPECT_EQ(back->written.empty(), row.upToDate) << row.output;
        EXPECT_EQ(manager->toCompile.empty(), row.upToDate) << row.output;
        EXPECT_EQ(names(manager->converted), std::set<std::string>{"a"});
        TearDown();
    }
}

TEST_F(BuildManagerTest, SecondRunWritesNothing) {
    vn->sources["a"].imports = {{"b", 1}};
    vn->sources["b"];
    back->outputs = {{"a", 100}, {"b", 100}};
    std::string trace = build({"a"});
    EXPECT_NE(trace.find("Converting file: <dir>/a.vn\n  loading: a from source"), std::string::npos) << trace;
    size_t upToDate = 0;
    for (size_t at = 0; (at = trace.find("  No writing, file is up to date\n", at)) != std::string::npos; ++at)
        ++upToDate;
    EXPECT_EQ(upToDate, 2u) << trace;
    EXPECT_TRUE(back->written.empty());
    EXPECT_TRUE(manager->toCompile.empty());
    EXPECT_EQ(trace.find("Invalidating"), std::string::npos);
}

TEST_F(BuildManagerTest, ChangedHeadersPropagateThroughHeaderImports) {
    // c imports a imports b; only b is out of date and its rewrite changes its C++.
    struct Row {
        int aImportsB;  // inHeader of a's import of b
        std::set<std::string> expected;
    };
    for (const Row& row : {Row{1, {"a", "b", "c"}}, Row{0, {"a", "b"}}}) {
        SetUp();
        vn->sources["c"].imports = {{"a", 1}};
        vn->sources["a"].imports = {{"b", row.aImportsB}};
        vn->sources["b"];
        back->outputs = {{"a", 100}, {"c", 100}};
        back->changesCpp.insert("b");
        build({"c"});
        EXPECT_EQ(back->written, std::vector<std::string>{"b"});
        EXPECT_EQ(names(manager->toCompile), row.expected) << row.aImportsB;
        TearDown();
    }
}

TEST_F(BuildManagerTest, SingleWritesOnlyTheNamedModule) {
    runOptions.processImports = false;
    vn->sources["a"].imports = {{"b", 1}};
    vn->sources["b"];
    bool ok = false;
    build({"a"}, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(back->written, std::vector<std::string>{"a"});
    EXPECT_EQ(names(manager->converted), std::set<std::string>{"a"});
    EXPECT_TRUE(manager->moduleRegistry.at(named("b")));  // still loaded for its declarations
}

TEST_F(BuildManagerTest, ExtensionsAreTriedInOrder) {
    std::vector<std::string> asked;
    for (const char* extension : {"h", "hpp", "vni"}) {
        boost::shared_ptr<FakeFrontEnd> other = boost::make_shared<FakeFrontEnd>();
        other->asked = &asked;
        manager->frontEnds[extension] = other;
    }
    vn->asked = &asked;
    vn->sources["a"].imports = {{"b", 1}};
    vn->sources["b"];
    boost::static_pointer_cast<FakeFrontEnd>(manager->frontEnds["vni"])->sources["b"];
    ModulePtr a = manager->loadModule(named("a", "vn"), false);
    ASSERT_TRUE(a);
    // "a" came with its extension; the import "b" is looked for under h, hpp, then vn wins.
    EXPECT_EQ(asked, (std::vector<std::string>{"a.vn", "b.h", "b.hpp", "b.vn"}));
    EXPECT_EQ(a->imports.at({"b"})->module, manager->moduleRegistry.at(named("b")));
    // The found extension is the one the module is queued with.
    EXPECT_EQ(manager->workStack.top().extension, "vn");
}

TEST_F(BuildManagerTest, AFrontEndThatFailsStopsTheSearch) {
    boost::shared_ptr<FakeFrontEnd> headers = boost::make_shared<FakeFrontEnd>();
    headers->sources["b"].queuesError = true;
    manager->frontEnds["h"] = headers;
    vn->sources["b"];
    ::testing::internal::CaptureStderr();
    ModulePtr b = manager->loadModule(named("b"), false);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(b);
    EXPECT_EQ(err, " : error : cannot read\n");
    EXPECT_TRUE(manager->moduleRegistry.count(named("b")));
    EXPECT_FALSE(manager->moduleRegistry.at(named("b")));
}

TEST_F(BuildManagerTest, MissingInputAndMissingImport) {
    ::testing::internal::CaptureStderr();
    bool ok = true;
    std::string trace = build({"x"}, &ok);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ok);
    // At the file it looked for, not at no place.
    EXPECT_EQ(err, sourcePath(named("x", "vn"), "vn") + " : error : Unable to load file x.vn\n");
    EXPECT_NE(trace.find("  Loading failed, invalidating output: x\n"), std::string::npos) << trace;
    EXPECT_EQ(back->removedObjects, std::vector<std::string>{"x"});

    SetUp();
    vn->sources["a"].imports = {{"gone", 1}};
    ::testing::internal::CaptureStderr();
    try {
        manager->loadModule(named("a", "vn"), false);
        FAIL() << "a missing import must end the run";
    } catch (const CompileError& e) {
        EXPECT_EQ(e.message, "Unable to load module gone.");
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), sourcePath(named("gone", ""), "") + " : error : Unable to load file gone.\n");
}

TEST_F(BuildManagerTest, OnlyDeclarationsAtTopLevel) {
    vn->sources["a"].topLevelExpression = true;
    ::testing::internal::CaptureStderr();
    bool ok = true;
    build({"a"}, &ok);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ok);
    EXPECT_EQ(err, "x.vn(3,1) : error : Only declarations allowed in this scope\n");
    EXPECT_TRUE(back->written.empty());
    EXPECT_TRUE(manager->converted.empty());
}

// An import is translated while its importer is still being read; its failure ends the work
// there, and the importer is neither translated nor counted as converted.
TEST_F(BuildManagerTest, AFailedImportStopsItsImporter) {
    vn->sources["a"].imports = {{"b", 1}};
    vn->sources["b"].topLevelExpression = true;
    ::testing::internal::CaptureStderr();
    bool ok = true;
    std::string trace = build({"a"}, &ok);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ok);
    EXPECT_EQ(err, "x.vn(3,1) : error : Only declarations allowed in this scope\n");
    EXPECT_TRUE(back->written.empty());
    EXPECT_TRUE(manager->converted.empty());
    EXPECT_EQ(trace.find("loading: a from memory"), std::string::npos) << trace;
}

TEST_F(BuildManagerTest, IncompleteSourceFailsAndStopsTheRun) {
    vn->sources["a"].complete = false;
    vn->sources["b"];
    bool ok = true;
    std::string trace = build({"b", "a"}, &ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(trace.find("  Loading failed, invalidating output: a\n"), std::string::npos);
    EXPECT_EQ(trace.find("Converting file: <dir>/b.vn"), std::string::npos) << "no module after a failure";
    EXPECT_NE(trace.find("Rechecking if imports are out of date"), std::string::npos);
}

// The library reader hands every module of a file back; the loader registers each of them.
TEST_F(BuildManagerTest, NestedLibraryModulesAreRegisteredByTheLoader) {
    std::filesystem::create_directories(directory / "lib" / "Library");
    std::ofstream(directory / "lib" / "Library" / "Extra.vnl") << "lib Library.Extra\nmod Library.Extra.Inner\n";
    runOptions.vornDir = directory.string() + "/";
    ModulePtr inner = manager->loadModule(named("Library.Extra.INNER"), false);
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner->name, "Library.Extra.Inner");
    EXPECT_EQ(inner, manager->moduleRegistry.at(named("Library.Extra.Inner")));
    ASSERT_TRUE(manager->moduleRegistry.at(named("Library.Extra")));
    EXPECT_EQ(manager->moduleRegistry.at(named("Library.Extra"))->name, "Library.Extra");
}

TEST_F(BuildManagerTest, LibraryModulesAndTheBuiltinImport) {
    vn->sources["a"];
    ModulePtr a = manager->loadModule(named("a", "vn"), false);
    ASSERT_TRUE(a);
    const ImportDeclarationPtr& builtin = a->imports.at({"Library", "Buildin", "*"});
    EXPECT_EQ(builtin->flags, ImportDeclaration::builtinImport | 0u);
    ASSERT_TRUE(builtin->module);
    EXPECT_EQ(builtin->module->name, "Library.Buildin");
    EXPECT_FALSE(builtin->module->fullyLoaded);
    EXPECT_EQ(builtin->module, manager->moduleRegistry.at(named("Library.Buildin")));
    // A differently spelt request finds the same module through the capitalised name.
    EXPECT_EQ(manager->loadModule(named("Library.BUILDIN"), false), builtin->module);

    // A library-loaded module is not good enough when the full version is wanted.
    vn->sources["b"];
    ModulePtr partial = boost::make_shared<Module>();
    manager->moduleRegistry[named("b")] = partial;
    ::testing::internal::CaptureStdout();
    ModulePtr b = manager->loadModule(named("b"), true);
    std::string trace = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(b, partial);
    EXPECT_TRUE(b->fullyLoaded);
    EXPECT_EQ(trace.find("  loading: b not from memory, we want full version\n"), 0u) << trace;
}

TEST_F(BuildManagerTest, ImportCyclesEnd) {
    vn->sources["a"].imports = {{"b", 1}};
    vn->sources["b"].imports = {{"a", 1}};
    bool ok = false;
    build({"a"}, &ok);
    EXPECT_TRUE(ok);
    // Neither is translated before the whole cycle is read; then in the order the loads ended.
    EXPECT_EQ(back->written, (std::vector<std::string>{"b", "a"}));
    ModulePtr b = manager->moduleRegistry.at(named("b"));
    EXPECT_EQ(b->imports.at({"a"})->module, manager->moduleRegistry.at(named("a")));
}

}  // namespace
