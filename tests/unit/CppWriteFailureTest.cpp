// Generated files that cannot be written: the writer notices, and the back end queues an error
// naming the first such file instead of letting the module pass for translated. The paths lie
// under a regular file, which no user (root included) can create anything in.
#include <gtest/gtest.h>

#include "driver/BuildManager.hpp"
#include "CppTestTrees.hpp"
#include "base/Diagnostics.hpp"
#include "back/LibBackEnd.hpp"
#include "platform/Platform.hpp"

using namespace cpptest;

namespace {

class CppWriteFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory = freshDirectory("unwritable");
        writeFile(directory + "plain", "not a directory\n");
    }

    std::string directory;
};

}  // namespace

TEST_F(CppWriteFailureTest, WriterTellsWhetherTheFileWasWritten) {
    struct Case {
        std::string path;
        bool written;
    } cases[] = {
        {directory + "f.hpp", true},
        {directory + "plain/f.hpp", false},
        {directory + "missing/f.hpp", false},
    };
    for (const Case& c : cases) {
        DiffingFile file;
        file.open(c.path);
        file.write("int a;\n");
        file.close();
        EXPECT_EQ(file.written(), c.written) << c.path;
        EXPECT_FALSE(file.sameSoFar()) << c.path;
    }
    // The state is per file: a good file after a failed one counts as written again.
    DiffingFile file;
    file.open(directory + "plain/f.hpp");
    file.close();
    file.open(directory + "g.hpp");
    file.close();
    EXPECT_TRUE(file.written());
}

TEST_F(CppWriteFailureTest, ModuleWithUnwritableFilesQueuesOneError) {
    baseDirectory = directory + "plain/";
    ModulePtr module = make<Module>();
    module->name = "m";
    module->location = at(1, 0, "m.vn");
    module->block = block({});
    CppBackEnd().writeModule(*module);
    ASSERT_EQ(queuedDiagnostics().size(), 1u);
    EXPECT_EQ(queuedDiagnostics()[0].message, "Unable to write file " + directory + "plain/_m.hpp2");
    EXPECT_EQ(queuedDiagnostics()[0].severity, SeverityError);
}

TEST_F(CppWriteFailureTest, WrittenModuleQueuesNothing) {
    baseDirectory = directory;
    ModulePtr module = make<Module>();
    module->name = "m";
    module->location = at(1, 0, "m.vn");
    module->block = block({});
    CppBackEnd().writeModule(*module);
    EXPECT_TRUE(queuedDiagnostics().empty());
    EXPECT_TRUE(platform::fileExists(directory + "_m.cpp"));
}

TEST_F(CppWriteFailureTest, LibraryFileThatCannotBeWrittenQueuesAnError) {
    ModulePtr module = make<Module>();
    module->name = "m";
    module->location = at(1, 0, "m.vn");
    module->block = block({});
    baseDirectory = directory + "plain/";
    LibBackEnd().writeModule(*module);
    ASSERT_EQ(queuedDiagnostics().size(), 1u);
    EXPECT_EQ(queuedDiagnostics()[0].message, "Unable to write file " + directory + "plain/_m.vnl");
    clearDiagnostics();
    baseDirectory = directory;
    LibBackEnd().writeModule(*module);
    EXPECT_TRUE(queuedDiagnostics().empty());
    EXPECT_TRUE(platform::fileExists(directory + "_m.vnl"));
}
