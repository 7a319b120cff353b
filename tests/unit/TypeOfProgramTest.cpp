// Whole programs through parsing, linking, name lookup and type inference, written by the C++
// back end, compared with tests/data/cpp/inference/<case>/, then compiled with g++ and run.
// Until the build manager drives translation, the test plays its part: it loads the modules
// in import order, binds their imports and the built-in library, and hands every declaration
// to the tree modifier in source order.
// Regenerate with: VORN_REGENERATE=1 build/tests/vorn_unit_tests --gtest_filter='TypeOfProgram*'
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/make_shared.hpp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "BuildManager.hpp"
#include "CppBackEnd.hpp"
#include "LibFrontEnd.hpp"
#include "ModuleName.hpp"
#include "NameLookup.hpp"
#include "ParentFinder.hpp"
#include "TreeModifier.hpp"
#include "VnFrontEnd.hpp"
#include "GoldenSupport.hpp"

namespace {

using namespace golden;

std::string caseDirectory(const std::string& label) {
    return std::string(VORN_SOURCE_DIR) + "/tests/data/cpp/inference/" + label + "/";
}

// Every declaration of the tree, outer ones first, as statement processing would reach them.
void processAll(ASTObject* node) {
    if (Declaration* declaration = dynamic_cast<Declaration*>(node)) processDeclaration(declaration);
    for (ASTObject* child : childNodes(*node)) processAll(child);
}

class TypeOfProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetBuildState();
        clearDiagnostics();
        registerPasses();
        baseDirectory = freshDirectory("inference");
        ASSERT_FALSE(baseDirectory.empty());
        std::ifstream in(std::string(VORN_SOURCE_DIR) + "/lib/Library/Buildin.vnl");
        std::vector<ModulePtr> described;
        builtin = readLibraryRecords(in, "Library.Buildin", described);
    }
    void TearDown() override {
        resetBuildState();
        clearDiagnostics();
    }

    // Loads one module of the case (its imports loaded before it), links it and binds its
    // imports to the modules loaded so far.
    ModulePtr load(const std::string& label, const std::string& dottedName) {
        std::string file = dottedName;
        for (char& c : file)
            if (c == '.') c = '/';
        ModulePtr module = VnFrontEnd().loadModule(caseDirectory(label) + file + ".vn", dottedName);
        EXPECT_TRUE(module && module->complete) << dottedName;
        ParentFinder().linkModule(*module);
        ImportDeclarationPtr base = boost::make_shared<ImportDeclaration>();
        base->path = {"Library", "Buildin"};
        base->flags = ImportDeclaration::builtinImport;
        base->module = builtin;
        module->addImport(base);
        for (auto& entry : module->imports) {
            ImportDeclaration& import = *entry.second;
            if (!import.module) {
                for (const ModulePtr& loadedModule : loaded)
                    if (splitDottedName(loadedModule->name) == import.path) import.module = loadedModule;
                EXPECT_TRUE(import.module) << "import of an unknown module in " << dottedName;
            }
            bindImport(*module->block, import.path, import.location, import.module);
        }
        loaded.push_back(module);
        return module;
    }

    // Analyses and writes every loaded module, compares the C++ with the case's files,
    // compiles the implementation files with g++, runs the program and compares its output.
    void translateAndRun(const std::string& label) {
        for (const ModulePtr& module : loaded) processAll(module.get());
        for (const CompileError& e : queuedDiagnostics())
            EXPECT_LT(e.severity, SeverityError) << e.position.line << ": " << e.message;
        CppBackEnd backEnd;
        std::vector<std::string> sources;
        for (const ModulePtr& module : loaded) {
            ModuleName name;
            name.components = splitDottedName(module->name);
            const std::string cpp = outputPath(name, "cpp");
            EXPECT_EQ(std::system(("mkdir -p '" + cpp.substr(0, cpp.rfind('/')) + "'").c_str()), 0);
            backEnd.writeModule(*module);
            sources.push_back(cpp);
            // The #line directives name the source by its full path; the expected files hold a
            // placeholder so they do not depend on where the tree is checked out.
            for (const char* extension : {"hpp2", "hpp", "cpp"})
                checkOrRegenerate(caseDirectory(label) + module->name + "." + extension,
                                  replaceAll(readFile(outputPath(name, extension)), VORN_SOURCE_DIR, "@SOURCE@"));
        }
        compileAndRun(sources, baseDirectory, baseDirectory + label, caseDirectory(label) + "output.txt", {"g++"});
    }

    ModulePtr builtin;
    std::vector<ModulePtr> loaded;
};

TEST_F(TypeOfProgramTest, VariablesOfEveryInferableKind) {
    load("variables", "Main");
    translateAndRun("variables");
}

TEST_F(TypeOfProgramTest, LoopsOverRangesVectorsAndMaps) {
    ModulePtr main = load("loops", "Main");
    translateAndRun("loops");
    // Several vector and map types, one include line each.
    EXPECT_EQ(std::count(main->includes.begin(), main->includes.end(), "<vector>"), 1);
    EXPECT_EQ(std::count(main->includes.begin(), main->includes.end(), "<map>"), 1);
}

TEST_F(TypeOfProgramTest, MembersThroughBasesAndNamesFromImports) {
    load("imports", "Util.Deep");
    load("imports", "Util");
    load("imports", "Main");
    translateAndRun("imports");
}

}  // namespace
