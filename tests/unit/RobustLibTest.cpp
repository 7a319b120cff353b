// The library interface file reader on files it was never meant to get: classes nested past
// the limit, truncated and empty records, NUL bytes, invalid UTF-8, CR LF, no final line end.
// Each is read to the end without a crash; only the nesting limit is reported.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/Diagnostics.hpp"
#include "back/LibBackEnd.hpp"
#include "front/LibFrontEnd.hpp"

namespace {

std::string repeated(const std::string& piece, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) out += piece;
    return out;
}

std::vector<ModulePtr> read(const std::string& text) {
    std::istringstream in(text);
    std::vector<ModulePtr> described;
    readLibraryRecords(in, "Library.Test", described, "deep.vnl");
    return described;
}

// Levels of classes reached by following the last class of each body.
size_t classDepth(const Block* block) {
    size_t depth = 0;
    for (;;) {
        const ClassDeclaration* inner = nullptr;
        for (const StatementPtr& statement : block->statements)
            if (auto c = dynamic_cast<const ClassDeclaration*>(statement.get())) inner = c;
        if (!inner) return depth;
        ++depth;
        block = inner->body.get();
    }
}

struct RobustLib : ::testing::Test {
    void SetUp() override { clearDiagnostics(); }
    void TearDown() override { clearDiagnostics(); }
};

// A file of 100000 nested classes keeps the first 256 levels and reports the first record
// beyond them once, at its line; records after the skipped classes' ends are read as usual.
TEST_F(RobustLib, ClassesNestedTooDeeplyAreReportedAndReadPast) {
    std::vector<ModulePtr> modules =
        read("lib Library.Deep\n" + repeated("cls C\nvar   v int\n", 100000) + repeated("end\n", 100000) + "fun   after int\n");
    ASSERT_EQ(modules.size(), 1u);
    EXPECT_EQ(classDepth(modules[0]->block.get()), 256u);
    EXPECT_EQ(modules[0]->block->names.count("after"), 1u);
    ASSERT_EQ(queuedDiagnostics().size(), 1u);
    const CompileError& error = queuedDiagnostics()[0];
    EXPECT_EQ(error.message, "classes nested more than 256 deep");
    EXPECT_EQ(error.position.fileName(), "deep.vnl");
    EXPECT_EQ(error.position.line, 2 + 2 * 256);
    // What was kept writes out without running out of stack.
    std::ostringstream out;
    writeLibraryRecords(*modules[0], "Library.Deep", out);
    EXPECT_NE(out.str().find("fun   after int\n"), std::string::npos);
}

// Up to the limit nothing is reported; a nested module starts at the top level again.
TEST_F(RobustLib, NestingLimitIsPerModule) {
    std::vector<ModulePtr> modules = read(repeated("cls C\n", 256) + "mod Library.Next\n" + repeated("cls D\n", 256));
    ASSERT_EQ(modules.size(), 2u);
    EXPECT_EQ(classDepth(modules[0]->block.get()), 256u);
    EXPECT_EQ(classDepth(modules[1]->block.get()), 256u);
    EXPECT_TRUE(queuedDiagnostics().empty());
}

struct OddFile {
    const char* name;
    std::string text;
    size_t statements;  // top-level statements of the file's module
    size_t imports;
};

TEST_F(RobustLib, OddRecordsAreReadWithoutHarm) {
    OddFile files[] = {
        {"empty", "", 0, 0},
        {"keywords without fields", "lib\nfun\nvar\nprp\ntyp\ntal\ndal\nimp\ncls\nend\nend\n", 7, 1},
        {"short lines", "l\nli\n\n\nfu\n", 0, 0},
        {"NUL bytes", std::string("fun   a\0b int\nvar\0  x\n", 22), 2, 0},
        {"invalid UTF-8", "cls \xff\xfe \xc3\nfun   \xc0\xaf \xe2\x82\nend\n", 1, 0},
        {"CR LF and no final line end", "lib m\r\nfun   f int\r\nvar   g long", 2, 0},
        {"long name", "fun   " + std::string(1 << 20, 'n') + " int\n", 1, 0},
        {"many bases", "cls A" + repeated(" B", 100000) + "\nend\n", 1, 0},
        {"dots only: one empty name", "imp 1 ...\nmod ..\n", 0, 1},
    };
    for (const OddFile& file : files) {
        SCOPED_TRACE(file.name);
        std::vector<ModulePtr> modules = read(file.text);
        ASSERT_GE(modules.size(), 1u);
        EXPECT_EQ(modules[0]->block->statements.size(), file.statements);
        EXPECT_EQ(modules[0]->imports.size(), file.imports);
        EXPECT_TRUE(queuedDiagnostics().empty());
    }
}

// Spaces between or after base names name no base, and a run of CRs ends a line like one CR,
// so writing what was read gives a stable record instead of one that loses a character on
// every round.
TEST_F(RobustLib, RunsOfSpacesAndLineEndCharactersAreStable) {
    for (const char* text : {"cls C  \nend\n", "cls C  B   D \nend\n", "cls C B\r\r\r\nend\r\n"}) {
        SCOPED_TRACE(text);
        std::vector<ModulePtr> modules = read(text);
        auto declaration = dynamic_cast<ClassDeclaration*>(modules.at(0)->block->statements.front().get());
        ASSERT_NE(declaration, nullptr);
        for (const BaseDeclarationPtr& base : declaration->bases) EXPECT_NE(base->type, nullptr);
        std::ostringstream once;
        writeLibraryRecords(*modules[0], modules[0]->name, once);
        std::vector<ModulePtr> again = read(once.str());
        std::ostringstream twice;
        writeLibraryRecords(*again[0], again[0]->name, twice);
        EXPECT_EQ(once.str(), twice.str());
    }
}

}  // namespace
