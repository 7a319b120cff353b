// Test support for building small syntax trees by hand, for the tests of the stages that walk
// or write a whole module (parent finder, library writer and reader): named declarations added
// to a block, simple types, base classes and empty modules.
#pragma once

#include <boost/make_shared.hpp>
#include <string>

#include "tree/Ast.hpp"

namespace treetest {

// A new declaration of class T named `name`, appended to the block.
template <class T>
boost::shared_ptr<T> add(const BlockPtr& block, const std::string& name = "") {
    boost::shared_ptr<T> node = boost::make_shared<T>();
    node->name = name;
    block->statements.push_back(node);
    return node;
}

inline SimpleTypeExprPtr simpleType(const std::string& name) {
    SimpleTypeExprPtr type = boost::make_shared<SimpleTypeExpr>();
    type->name = name;
    return type;
}

inline void addBase(const ClassDeclarationPtr& cls, const std::string& typeName) {
    BaseDeclarationPtr base = boost::make_shared<BaseDeclaration>();
    base->type = simpleType(typeName);
    cls->bases.push_back(base);
}

inline ModulePtr emptyModule() {
    ModulePtr module = boost::make_shared<Module>();
    module->block = boost::make_shared<Block>();
    return module;
}

}  // namespace treetest
