#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <string>

#include "tree/NodeDispatch.hpp"

namespace {

struct Visitor {
    std::string seen;
    std::string module(const Module& node) { return seen = "module " + node.name; }
};

std::string statement(Statement&) { return "statement"; }
std::string declaration(Declaration& node, Visitor& visitor) { return visitor.seen = "declaration " + node.name; }
std::string includeModule(const IncludeModule&) { return "include module"; }

typedef NodeDispatch<std::string(const ASTObject&, Visitor&)> Members;
typedef NodeDispatch<std::string(Statement&, Visitor&)> Frees;

// The first row that fits wins, whatever the class's place in the hierarchy: a derived class
// listed after its base is never reached, one listed before is.
TEST(NodeDispatchTest, FirstFittingRowServesEachDynamicClass) {
    static const Members members("src/Test", "test visitor",
                                 {
                                     Members::on<IncludeModule, &includeModule>(),
                                     Members::on<Module, &Visitor::module>(),
                                     Members::skip<Block>(),
                                 });
    static const Frees frees("src/Test", "test visitor",
                             {
                                 Frees::on<Declaration, &declaration>(),
                                 Frees::on<Statement, &statement>(),
                                 Frees::on<VariableDeclaration, &statement>(),
                             });
    Visitor visitor;
    ModulePtr module = boost::make_shared<Module>();
    module->name = "m";
    BlockPtr block = boost::make_shared<Block>();
    VariableDeclarationPtr variable = boost::make_shared<VariableDeclaration>();
    variable->name = "v";
    ReturnStatementPtr ret = boost::make_shared<ReturnStatement>();
    IncludeModule include;
    for (int round = 0; round < 2; ++round) {  // the second round is served from the cache
        EXPECT_EQ(members(*module, visitor), "module m");
        EXPECT_EQ(visitor.seen, "module m");
        EXPECT_EQ(members(include, visitor), "include module");
        EXPECT_EQ(members(*block, visitor), "");
        EXPECT_EQ(frees(*variable, visitor), "declaration v");
        EXPECT_EQ(frees(*ret, visitor), "statement");
        EXPECT_EQ(members.rowOf(*module), 1u);
        EXPECT_EQ(frees.rowOf(*variable), 0u);
    }
    EXPECT_TRUE(frees.hasRowFor(typeid(Statement)));
    EXPECT_FALSE(frees.hasRowFor(typeid(ReturnStatement)));
}

TEST(NodeDispatchTest, AClassNoRowServesIsAnInternalErrorOfTheVisitor) {
    static const Members members("src/Test", "test visitor", {Members::skip<Block>()});
    Visitor visitor;
    for (int round = 0; round < 2; ++round) {
        try {
            members(Module(), visitor);
            FAIL() << "an unserved class went through";
        } catch (const CompileError& error) {
            EXPECT_EQ(error.severity, SeverityInternal);
            EXPECT_NE(error.message.find("Tree node type not support by test visitor: Module_"), std::string::npos)
                << error.message;
            EXPECT_NE(error.message.find("src/Test"), std::string::npos) << error.message;
        }
    }
}

}  // namespace

// Every table of the program, asked for the node classes its node type covers: a class that no
// row serves would fail only in a translation that reaches it.
TEST(NodeDispatchTest, EveryTableServesEachClassItsNodeTypeCovers) {
    // The stages' tables are listed as the program starts; none may go missing unnoticed.
    EXPECT_GE(listedNodeDispatchTables(), 10u);
    std::string unserved;
    for (const std::string& line : unservedNodeClasses()) unserved += line + "\n";
    EXPECT_EQ(unserved, "");
}

// The check covers what the node type covers and no more; a row serves its class and those
// derived from it, and an unreached row serves the check while it refuses a node, with why.
TEST(NodeDispatchTest, TheCheckNamesEachCoveredClassThatNoRowServes) {
    typedef NodeDispatch<int(Declaration&)> Declarations;
    static const Declarations declarations("src/Test", "test visitor",
                                           {
                                               Declarations::skip<DataDeclaration>(),
                                               Declarations::skip<TypeDeclaration>(),
                                               Declarations::skip<FriendDeclaration>(),
                                               Declarations::unreached<NamespaceDeclaration>("no namespaces here"),
                                           });
    EXPECT_EQ(declarations.unservedClasses(), (std::vector<std::string>{"MacroDeclaration", "CppIncludeDeclaration"}));
    NamespaceDeclaration space;
    try {
        declarations(space);
        FAIL() << "an unreached class went through";
    } catch (const CompileError& error) {
        EXPECT_EQ(error.severity, SeverityInternal);
        EXPECT_NE(error.message.find("not support by test visitor: Statement (no namespaces here)"), std::string::npos)
            << error.message;
    }
}
