#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <algorithm>
#include <fstream>
#include <sstream>

#include "tree/Ast.hpp"
#include "back/LibBackEnd.hpp"
#include "front/LibFrontEnd.hpp"
#include "base/ModuleName.hpp"
#include "tree/ParentFinder.hpp"
#include "TreeBuildSupport.hpp"

using namespace treetest;

namespace {

ImportDeclarationPtr import(const std::vector<std::string>& path, int inHeader, unsigned marks = 0) {
    ImportDeclarationPtr i = boost::make_shared<ImportDeclaration>();
    i->path = path;
    i->inHeader = inHeader;
    i->flags = marks;
    return i;
}

std::string written(const Module& module, const std::string& name) {
    std::ostringstream out;
    writeLibraryRecords(module, name, out);
    return out.str();
}

TEST(LibBackEnd, ModuleWithImportAndFunction) {
    ModulePtr m = emptyModule();
    m->addImport(import({"util"}, 1));
    add<FunctionDeclaration>(m->block, "run")->type = simpleType("int");
    EXPECT_EQ(written(*m, "main"), "lib main\nimp 1 util\nfun   run int\n");
}

TEST(LibBackEnd, ClassWithBaseAndField) {
    ModulePtr m = emptyModule();
    ClassDeclarationPtr shape = add<ClassDeclaration>(m->block, "Shape");
    addBase(shape, "Object");
    shape->body = boost::make_shared<Block>();
    add<VariableDeclaration>(shape->body, "size")->type = simpleType("int");
    EXPECT_EQ(written(*m, "shapes"), "lib shapes\ncls Shape Object\nvar   size int\nend\n");
}

TEST(LibBackEnd, TypesWithoutTextLeaveTheFieldEmpty) {
    ModulePtr m = emptyModule();
    TupleTypePtr tuple = boost::make_shared<TupleType>();
    tuple->elements = {simpleType("int"), simpleType("int")};
    add<FunctionDeclaration>(m->block, "f")->type = tuple;
    add<FunctionDeclaration>(m->block, "g")->type = boost::make_shared<FuncType>();
    TypeOperatorPtr pointer = boost::make_shared<TypeOperator>();
    pointer->operand = simpleType("int");
    add<VariableDeclaration>(m->block, "p")->type = pointer;
    add<FunctionDeclaration>(m->block, "ctor");  // no type at all
    EXPECT_EQ(written(*m, "m"), "lib m\nfun   f \nfun   g \nvar   p \nfun   ctor \n");
}

TEST(LibBackEnd, PrivateKindsAndHiddenImportsAreNotWritten) {
    ModulePtr m = emptyModule();
    m->addImport(import({"Library", "Buildin", "*"}, 1, ImportDeclaration::builtinImport));
    m->addImport(import({"Library", "C", "Stdio"}, 2, ImportDeclaration::implicitImport | ImportDeclaration::noChangeCheck));
    m->addImport(import({"a", "b"}, 2));
    m->addImport(import({"c"}, 0));
    add<EnumDeclaration>(m->block, "Colour");
    add<TypeAliasDeclaration>(m->block, "Size");
    add<MacroDeclaration>(m->block, "twice");
    add<NamespaceDeclaration>(m->block, "ns");
    m->block->statements.push_back(boost::make_shared<ExpressionStatement>());
    m->block->statements.push_back(boost::make_shared<MacroStatement>());
    EXPECT_EQ(written(*m, "m"), "lib m\nimp 2 a.b\nimp 0 c\n");
}

TEST(LibBackEnd, PropertyRecordsCarryTheLinkedAccessorNames) {
    ModulePtr m = emptyModule();
    PropertyDeclarationPtr count = add<PropertyDeclaration>(m->block, "count");
    count->getter = boost::make_shared<Block>();
    PropertyDeclarationPtr both = add<PropertyDeclaration>(m->block, "Size");
    both->getter = boost::make_shared<Block>();
    both->setter = boost::make_shared<Block>();
    PropertyDeclarationPtr named = add<PropertyDeclaration>(m->block, "x");
    named->setterName = "assignX";
    ParentFinder().linkModule(*m);
    EXPECT_EQ(written(*m, "m"), "lib m\nprp count getCount \nprp Size getSize setSize\nprp x  assignX\n");
}

TEST(LibBackEnd, UnknownNodeClassIsAnInternalError) {
    ModulePtr m = emptyModule();
    m->block->statements.push_back(boost::make_shared<Declaration>());
    try {
        written(*m, "m");
        FAIL() << "an unknown class must not be skipped";
    } catch (const CompileError& e) {
        EXPECT_NE(e.message.find("Tree node type not support by LibBackEnd: Statement"), std::string::npos);
        EXPECT_NE(e.message.find("src/LibBackEnd"), std::string::npos);
        EXPECT_EQ(e.severity, SeverityInternal);
    }
}

std::vector<ModulePtr> read(const std::string& text, const std::string& name = "request") {
    std::istringstream in(text);
    std::vector<ModulePtr> described;
    readLibraryRecords(in, name, described);
    return described;
}

// A flattened description of a block for comparing declarations: kind, name, type, bases.
void describe(const Block* block, std::vector<std::string>& out, const std::string& indent = "") {
    if (!block) return;
    for (const StatementPtr& s : block->statements) {
        std::string line = indent + s->className();
        if (const Declaration* d = dynamic_cast<const Declaration*>(s.get())) line += " " + d->name;
        if (const DataDeclaration* d = dynamic_cast<const DataDeclaration*>(s.get()))
            line += " : " + libraryTypeText(d->type.get());
        if (const PropertyDeclaration* p = dynamic_cast<const PropertyDeclaration*>(s.get()))
            line += " get=" + p->getterName + " set=" + p->setterName;
        if (const ClassDeclaration* c = dynamic_cast<const ClassDeclaration*>(s.get())) {
            for (const BaseDeclarationPtr& b : c->bases) line += " base " + libraryTypeText(b->type.get());
            out.push_back(line);
            describe(c->body.get(), out, indent + "  ");
            continue;
        }
        out.push_back(line);
    }
}

TEST(LibFile, RoundTripKeepsTheDeclarations) {
    ModulePtr m = emptyModule();
    m->addImport(import({"util"}, 1));
    m->addImport(import({"gfx", "core"}, 2));
    m->addImport(import({"zeta"}, 0));
    m->addImport(import({"Library", "Buildin", "*"}, 1, ImportDeclaration::builtinImport));
    ClassDeclarationPtr shape = add<ClassDeclaration>(m->block, "Shape");
    addBase(shape, "Object");
    addBase(shape, "Drawable");
    shape->body = boost::make_shared<Block>();
    add<VariableDeclaration>(shape->body, "size")->type = simpleType("int");
    add<FunctionDeclaration>(shape->body, "Shape");  // constructor
    ClassDeclarationPtr inner = add<ClassDeclaration>(shape->body, "Part");
    inner->body = boost::make_shared<Block>();
    add<FunctionDeclaration>(inner->body, "weight")->type = simpleType("double");
    PropertyDeclarationPtr area = add<PropertyDeclaration>(shape->body, "area");
    area->getter = boost::make_shared<Block>();
    add<VariableDeclaration>(shape->body, "after")->type = simpleType("String");
    add<FunctionDeclaration>(m->block, "run")->type = simpleType("int");
    add<VariableDeclaration>(m->block, "count")->type = simpleType("long");
    add<EnumDeclaration>(m->block, "Colour");
    ParentFinder().linkModule(*m);

    std::vector<ModulePtr> back = read(written(*m, "app.main"));
    ASSERT_EQ(back.size(), 1u);
    const Module& r = *back[0];
    EXPECT_EQ(r.name, "app.main");
    EXPECT_TRUE(r.upToDate);
    EXPECT_FALSE(r.fullyLoaded);

    std::vector<std::string> expected, actual;
    describe(m->block.get(), expected);
    expected.erase(std::remove(expected.begin(), expected.end(), "EnumDeclaration Colour"), expected.end());
    describe(r.block.get(), actual);
    EXPECT_EQ(actual, expected);

    ASSERT_EQ(r.imports.size(), 3u);
    EXPECT_EQ(r.imports.at({"util"})->inHeader, 1);
    EXPECT_EQ(r.imports.at({"gfx", "core"})->inHeader, 2);
    EXPECT_EQ(r.imports.at({"zeta"})->inHeader, 0);
    // Read declarations are found by name in their blocks.
    const ClassDeclaration* readShape = dynamic_cast<const ClassDeclaration*>(r.block->names.at("Shape").get());
    ASSERT_NE(readShape, nullptr);
    EXPECT_EQ(readShape->body->names.count("size"), 1u);
    EXPECT_EQ(readShape->body->names.count("Part"), 1u);
    EXPECT_EQ(r.block->names.count("run"), 1u);
    // Writing what was read gives the same text again.
    EXPECT_EQ(written(r, "app.main"), written(*m, "app.main"));
}

TEST(LibFrontEnd, ExtraKeywords) {
    std::vector<ModulePtr> modules = read(
        "lib Library.C\r\n"
        "pfx c_\n"
        "inc <stdio.h>\n"
        "ali x y\n"
        "mac M 1\n"
        "zzz unknown record\n"
        "end\n"
        "nsp std\n"
        "typ FILE\n"
        "tal String string\n"
        "dal stdout out\n"
        "fun   puts int\n"
        "mod Library.C.Math\n"
        "inc <math.h>\n"
        "fun   sqrt double\n"
        "cls Point\n"
        "var   x double\n"
        "end\n",
        "Library.C");
    ASSERT_EQ(modules.size(), 2u);
    const Module& file = *modules[0];
    EXPECT_EQ(file.name, "Library.C");
    EXPECT_EQ(file.includes, std::vector<std::string>{"<stdio.h>"});
    const DeclarationTable& names = file.block->names;
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names.at("std::FILE")->className(), std::string("TypeAliasDeclaration"));
    EXPECT_EQ(names.at("String")->className(), std::string("TypeDeclaration"));
    EXPECT_EQ(names.at("String")->name, "std::string");
    EXPECT_EQ(names.at("stdout")->className(), std::string("DataDeclaration"));
    EXPECT_EQ(names.at("stdout")->name, "std::out");
    EXPECT_EQ(names.at("std::puts")->className(), std::string("FunctionDeclaration"));

    const Module& nested = *modules[1];
    EXPECT_EQ(nested.name, "Library.C.Math");
    EXPECT_TRUE(nested.isLibrary);
    EXPECT_EQ(nested.includes, std::vector<std::string>{"<math.h>"});
    EXPECT_EQ(nested.block->names.count("std::sqrt"), 1u);
    const ClassDeclaration* point = dynamic_cast<const ClassDeclaration*>(nested.block->names.at("std::Point").get());
    ASSERT_NE(point, nullptr);
    EXPECT_EQ(point->body->names.count("x"), 1u);  // members get no namespace

    const ImportDeclarationPtr& link = file.imports.at({"Library", "C", "Math"});
    EXPECT_EQ(link->module.get(), &nested);
    EXPECT_EQ(link->inHeader, 2);
    EXPECT_EQ(link->flags & ~ImportDeclaration::orderMask,
              ImportDeclaration::implicitImport | ImportDeclaration::noChangeCheck);
}

TEST(LibFrontEnd, FirstDeclarationOfANameStays) {
    std::vector<ModulePtr> modules = read("lib m\nfun   f int\nvar   f long\n");
    const Module& m = *modules[0];
    EXPECT_EQ(m.block->statements.size(), 2u);
    EXPECT_EQ(m.block->names.at("f")->className(), std::string("FunctionDeclaration"));
}

TEST(LibFrontEnd, RegistryNamesAreCapitalised) {
    EXPECT_EQ(libraryRegistryName({"library", "BUILDIN", "c", ""}),
              (std::vector<std::string>{"Library", "Buildin", "C", ""}));
    EXPECT_EQ(splitDottedName("a.bc.d"), (std::vector<std::string>{"a", "bc", "d"}));
}

TEST(LibFrontEnd, ShippedBuiltInLibraryHoldsThePrelude) {
    std::ifstream in(std::string(VORN_SOURCE_DIR) + "/lib/Library/Buildin.vnl");
    ASSERT_TRUE(in) << "lib/Library/Buildin.vnl is missing";
    std::vector<ModulePtr> modules;
    readLibraryRecords(in, "Library.Buildin", modules);
    ASSERT_EQ(modules.size(), 1u);
    const Module& m = *modules[0];
    EXPECT_EQ(m.name, "Library.Buildin");
    const DeclarationTable& names = m.block->names;
    const std::pair<const char*, const char*> types[] = {
        {"Void", "void"},   {"Bool", "bool"},   {"Char", "char"},           {"UChar", "unsigned char"},
        {"Short", "short"}, {"UShort", "unsigned short"}, {"Int", "int"},   {"UInt", "unsigned int"},
        {"Long", "long"},   {"ULong", "unsigned long"},   {"Float", "float"}, {"Double", "double"},
        {"String", "std::string"},
    };
    for (const auto& type : types) {
        ASSERT_EQ(names.count(type.first), 1u) << type.first;
        EXPECT_EQ(names.at(type.first)->className(), std::string("TypeDeclaration")) << type.first;
        EXPECT_EQ(names.at(type.first)->name, type.second) << type.first;
    }
    for (const char* cls : {"Vector", "Map"}) {
        ASSERT_EQ(names.count(cls), 1u) << cls;
        EXPECT_NE(dynamic_cast<const ClassDeclaration*>(names.at(cls).get()), nullptr) << cls;
    }
    for (const char* value : {"true", "false"}) {
        ASSERT_EQ(names.count(value), 1u) << value;
        EXPECT_EQ(libraryTypeText(dynamic_cast<const DataDeclaration&>(*names.at(value)).type.get()), "Bool");
    }
    for (const char* function : {"printf", "puts", "putchar"}) {
        ASSERT_EQ(names.count(function), 1u) << function;
        EXPECT_NE(dynamic_cast<const FunctionDeclaration*>(names.at(function).get()), nullptr) << function;
    }
}

}  // namespace
