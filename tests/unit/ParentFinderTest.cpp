#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include "tree/Ast.hpp"
#include "tree/ParentFinder.hpp"
#include "TreeBuildSupport.hpp"

using namespace treetest;

namespace {

// module: class Shape { size; nested class Inner { depth }; area() { local; if { deep } } }
//         var top; fun main
struct Sample {
    ModulePtr module = emptyModule();
    ClassDeclarationPtr shape, inner;
    VariableDeclarationPtr size, depth, local, deep, top;
    FunctionDeclarationPtr area;
    IfStatementPtr branch;

    Sample() {
        shape = add<ClassDeclaration>(module->block, "Shape");
        shape->body = boost::make_shared<Block>();
        addBase(shape, "Object");
        size = add<VariableDeclaration>(shape->body, "size");
        size->type = simpleType("int");
        inner = add<ClassDeclaration>(shape->body, "Inner");
        inner->body = boost::make_shared<Block>();
        depth = add<VariableDeclaration>(inner->body, "depth");
        area = add<FunctionDeclaration>(shape->body, "area");
        area->body = boost::make_shared<Block>();
        local = add<VariableDeclaration>(area->body, "local");
        branch = boost::make_shared<IfStatement>();
        branch->conditions.push_back(boost::make_shared<ConstantExpression>());
        branch->blocks.push_back(boost::make_shared<Block>());
        area->body->statements.push_back(branch);
        deep = add<VariableDeclaration>(branch->blocks[0], "deep");
        top = add<VariableDeclaration>(module->block, "top");
    }
};

bool isDirectMember(const Declaration& d) { return d.parent == d.memberContext(); }

TEST(ParentFinder, FieldsAndLocalsHaveTheirContexts) {
    Sample s;
    ParentFinder().linkModule(*s.module);
    EXPECT_EQ(s.module->block->parent, s.module.get());
    EXPECT_EQ(s.module->block->memberContext(), nullptr);
    EXPECT_EQ(s.shape->memberContext(), s.module->block.get());
    EXPECT_TRUE(isDirectMember(*s.shape));
    EXPECT_TRUE(isDirectMember(*s.top));
    // A field is a direct member of the class body.
    EXPECT_EQ(s.size->memberContext(), s.shape->body.get());
    EXPECT_TRUE(isDirectMember(*s.size));
    // A local of a method keeps the class body as context but is no direct member.
    EXPECT_EQ(s.local->memberContext(), s.shape->body.get());
    EXPECT_EQ(s.local->parent, s.area->body.get());
    EXPECT_FALSE(isDirectMember(*s.local));
    EXPECT_EQ(s.deep->memberContext(), s.shape->body.get());
    EXPECT_EQ(s.deep->parent, s.branch->blocks[0].get());
    EXPECT_EQ(s.branch->blocks[0]->parent, s.branch.get());
    // The condition sits in the if statement's slot.
    EXPECT_EQ(s.branch->conditions[0]->parent, s.branch.get());
    EXPECT_EQ(s.branch->conditions[0]->statementSlot().entry->get(), s.branch.get());
}

TEST(ParentFinder, NestedClassMembersTakeTheNestedBody) {
    Sample s;
    ParentFinder().linkModule(*s.module);
    EXPECT_EQ(s.inner->memberContext(), s.shape->body.get());
    EXPECT_EQ(s.depth->memberContext(), s.inner->body.get());
    EXPECT_TRUE(isDirectMember(*s.depth));
    EXPECT_EQ(s.inner->body->memberContext(), s.shape->body.get());
}

TEST(ParentFinder, StatementSlotsPointAtTheHoldingEntry) {
    Sample s;
    ParentFinder().linkModule(*s.module);
    EXPECT_EQ(s.local->statementSlot().block, s.area->body.get());
    EXPECT_EQ(s.local->statementSlot().entry->get(), s.local.get());
    // The class's base type and its body hang off the class's own slot.
    EXPECT_EQ(s.shape->bases[0]->statementSlot().entry->get(), s.shape.get());
    EXPECT_EQ(s.shape->bases[0]->type->parent, s.shape->bases[0].get());
    EXPECT_EQ(s.size->type->statementSlot().entry->get(), s.size.get());
    EXPECT_EQ(s.shape->body->statementSlot().entry->get(), s.shape.get());
}

TEST(ParentFinder, DeclarationsEnterTheirHoldingBlockFirstOneWins) {
    Sample s;
    VariableDeclarationPtr again = add<VariableDeclaration>(s.module->block, "top");
    ParentFinder().linkModule(*s.module);
    const DeclarationTable& topNames = s.module->block->names;
    ASSERT_EQ(topNames.size(), 2u);
    EXPECT_EQ(topNames.at("Shape"), s.shape);
    EXPECT_EQ(topNames.at("top"), s.top);
    EXPECT_EQ(s.shape->body->names.size(), 3u);
    EXPECT_EQ(s.area->body->names.at("local"), s.local);
    EXPECT_EQ(s.branch->blocks[0]->names.at("deep"), s.deep);
    EXPECT_EQ(s.inner->body->names.count("size"), 0u);
}

TEST(ParentFinder, LinkingTwiceGivesTheSameLinks) {
    Sample s;
    ParentFinder finder;
    finder.linkModule(*s.module);
    Block* firstContext = s.local->memberContext();
    ASTObject* firstParent = s.deep->parent;
    // A rewrite moves the local into the if block; a new walk must leave no stale parent.
    VariableDeclarationPtr moved = s.local;
    s.area->body->statements.pop_front();
    s.branch->blocks[0]->statements.push_back(moved);
    finder.linkModule(*s.module);
    EXPECT_EQ(s.deep->parent, firstParent);
    EXPECT_EQ(moved->memberContext(), firstContext);
    EXPECT_EQ(moved->parent, s.branch->blocks[0].get());
    EXPECT_EQ(moved->statementSlot().block, s.branch->blocks[0].get());
    EXPECT_EQ(s.branch->blocks[0]->names.at("local"), moved);
    EXPECT_EQ(s.module->block->names.size(), 2u);
}

TEST(ParentFinder, PropertyAccessorNames) {
    struct Row {
        const char* name;
        bool getter, setter;
        const char* givenGetter;
        const char* expectGetter;
        const char* expectSetter;
    };
    const Row rows[] = {
        {"count", true, true, "", "getCount", "setCount"},
        {"Count", true, false, "", "getCount", ""},
        {"size", true, false, "length", "length", ""},
        {"x", false, true, "", "", "setX"},
        {"y", false, false, "", "", ""},
    };
    for (const Row& row : rows) {
        ModulePtr module = emptyModule();
        PropertyDeclarationPtr property = add<PropertyDeclaration>(module->block, row.name);
        if (row.getter) property->getter = boost::make_shared<Block>();
        if (row.setter) property->setter = boost::make_shared<Block>();
        property->getterName = row.givenGetter;
        ParentFinder().linkModule(*module);
        EXPECT_EQ(property->getterName, row.expectGetter) << row.name;
        EXPECT_EQ(property->setterName, row.expectSetter) << row.name;
        EXPECT_EQ(module->block->names.at(row.name), property);
        if (property->getter) {
            EXPECT_EQ(property->getter->parent, property.get());
        }
    }
}

TEST(ParentFinder, CaughtVariableEntersItsHandlerBlock) {
    ModulePtr module = emptyModule();
    FunctionDeclarationPtr f = add<FunctionDeclaration>(module->block, "f");
    f->body = boost::make_shared<Block>();
    TryStatementPtr attempt = boost::make_shared<TryStatement>();
    attempt->body = boost::make_shared<Block>();
    CatchStatementPtr handler = boost::make_shared<CatchStatement>();
    handler->name = "e";
    handler->type = simpleType("Error");
    handler->body = boost::make_shared<Block>();
    attempt->handlers.push_back(handler);
    f->body->statements.push_back(attempt);
    ParentFinder().linkModule(*module);
    EXPECT_EQ(handler->body->names.at("e"), handler);
    EXPECT_EQ(f->body->names.count("e"), 0u);
    EXPECT_EQ(handler->parent, attempt.get());
    EXPECT_EQ(handler->body->parent, handler.get());
    EXPECT_EQ(handler->type->parent, handler.get());
}

TEST(ParentFinder, InternalErrors) {
    ParentFinder finder;
    Block block;
    try {
        finder.linkChild(nullptr, &block, StatementSlot());
        FAIL() << "a block linked as a plain child must be refused";
    } catch (const CompileError& e) {
        EXPECT_NE(e.message.find("findParent should only be called on block POINTERS"), std::string::npos);
        EXPECT_EQ(e.severity, SeverityInternal);
        EXPECT_NE(e.message.find("src/ParentFinder"), std::string::npos);
    }

    ModulePtr module = emptyModule();
    module->block->statements.push_back(boost::make_shared<Statement>());
    try {
        finder.linkModule(*module);
        FAIL() << "an unknown statement class must be refused";
    } catch (const CompileError& e) {
        EXPECT_NE(e.message.find("Tree node type not support by parent finder: Statement"), std::string::npos);
    }

    BlockPtr body = boost::make_shared<Block>();
    body->statements.push_back(boost::make_shared<ModuleDeclaration>());
    try {
        finder.linkInserted(body.get(), body->statements.begin());
        FAIL() << "a module qualifier inserted as a statement must be refused";
    } catch (const CompileError& e) {
        EXPECT_NE(e.message.find("Tree node type not support by parent finder (block): ModuleDeclaration"),
                  std::string::npos);
    }
}

TEST(ParentFinder, InsertedStatementJoinsItsBlock) {
    Sample s;
    ParentFinder finder;
    finder.linkModule(*s.module);
    VariableDeclarationPtr field = boost::make_shared<VariableDeclaration>();
    field->name = "added";
    auto at = s.shape->body->statements.insert(s.shape->body->statements.begin(), field);
    finder.linkInserted(s.shape->body.get(), at);
    EXPECT_TRUE(isDirectMember(*field));
    EXPECT_EQ(s.shape->body->names.at("added"), field);

    VariableDeclarationPtr temp = boost::make_shared<VariableDeclaration>();
    temp->name = "temp";
    at = s.area->body->statements.insert(s.area->body->statements.end(), temp);
    finder.linkInserted(s.area->body.get(), at);
    EXPECT_FALSE(isDirectMember(*temp));
    EXPECT_EQ(temp->memberContext(), s.shape->body.get());
}

}  // namespace
