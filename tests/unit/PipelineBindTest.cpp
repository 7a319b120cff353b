#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include "tree/Ast.hpp"
#include "sema/NameLookup.hpp"

namespace {

ModulePtr emptyModule() {
    ModulePtr m = boost::make_shared<Module>();
    m->block = boost::make_shared<Block>();
    return m;
}

ModuleDeclaration* qualifier(Block& block, const std::string& name) {
    auto found = block.names.find(name);
    if (found == block.names.end()) return nullptr;
    return dynamic_cast<ModuleDeclaration*>(found->second.get());
}

TEST(BindImport, BuildsOneQualifierPerComponent) {
    ModulePtr importer = emptyModule(), ab = emptyModule(), ac = emptyModule();
    SourceLocation at(internFileName("main.vn"), 2, 0);
    bindImport(*importer->block, {"a", "b"}, at, ab);
    bindImport(*importer->block, {"a", "c", "*"}, at, ac);
    ModuleDeclaration* a = qualifier(*importer->block, "a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->moduleBlock, nullptr);  // a itself was never imported
    EXPECT_EQ(a->location, at);
    ModuleDeclaration* b = qualifier(*a->block, "b");
    ModuleDeclaration* c = qualifier(*a->block, "c");
    ASSERT_NE(b, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(b->moduleBlock, ab->block.get());
    EXPECT_EQ(c->moduleBlock, ac->block.get());
    EXPECT_EQ(qualifier(*c->block, "*"), nullptr);
    EXPECT_EQ(importer->block->names.size(), 1u);
}

TEST(BindImport, ImportingAParentAfterItsChildReusesTheChain) {
    ModulePtr importer = emptyModule(), ab = emptyModule(), a = emptyModule();
    bindImport(*importer->block, {"a", "b"}, SourceLocation(), ab);
    bindImport(*importer->block, {"a"}, SourceLocation(), a);
    ModuleDeclaration* qa = qualifier(*importer->block, "a");
    ASSERT_NE(qa, nullptr);
    EXPECT_EQ(qa->moduleBlock, a->block.get());
    ASSERT_NE(qualifier(*qa->block, "b"), nullptr);
    EXPECT_EQ(qualifier(*qa->block, "b")->moduleBlock, ab->block.get());
}

TEST(BindImport, StopsAtANameDeclaredOtherwise) {
    ModulePtr importer = emptyModule(), ab = emptyModule();
    VariableDeclarationPtr a = boost::make_shared<VariableDeclaration>();
    a->name = "a";
    importer->block->names["a"] = a;
    bindImport(*importer->block, {"a", "b"}, SourceLocation(), ab);
    EXPECT_EQ(importer->block->names.at("a"), a);
    EXPECT_EQ(importer->block->names.size(), 1u);
}

}  // namespace
