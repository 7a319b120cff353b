// Name lookup on hand-built trees: scopes and shadowing, class bases breadth first, imports
// with their header levels and implicit library imports, qualifiers, aliases, types of
// declarations, and the lookup trace (one failed lookup checked against tests/data/lookup).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "NameLookupTestTrees.hpp"
#include "sema/TypeOf.hpp"

namespace {

using namespace lookuptest;

class NameLookupTest : public LookupFixture {};

// A name declared at several levels is found at the innermost one; each row removes the
// inner levels by using a name declared only further out.
TEST_F(NameLookupTest, InnerDeclarationsShadowOuterOnes) {
    ModulePtr imported = module("other");
    for (const char* n : {"a", "b", "c", "d"}) add(imported->block, var(n, type("Int")));
    link(imported);

    ModulePtr m = module("main");
    VariableDeclarationPtr localA = var("a", type("Int"));
    FunctionDeclarationPtr method = function("run", type("Void"), {}, {localA});
    VariableDeclarationPtr memberA = var("a", type("Int")), memberB = var("b", type("Int"));
    ClassDeclarationPtr c = cls("C", {}, {memberA, memberB, method});
    VariableDeclarationPtr topA = var("a", type("Int")), topB = var("b", type("Int")), topC = var("c", type("Int"));
    m->block->statements = {topA, topB, topC, c};
    import(m, imported);
    link(m);

    struct Row {
        const char* name;
        Declaration* expected;
    } rows[] = {
        {"a", localA.get()},
        {"b", memberB.get()},
        {"c", topC.get()},
        {"d", imported->block->names.at("d").get()},
        {"e", nullptr},
    };
    for (const Row& row : rows) EXPECT_EQ(lookup(row.name, method->body.get()), row.expected) << row.name;
    // From the module's top level the class members are out of sight.
    EXPECT_EQ(lookup("a", m->block.get()), topA.get());
}

TEST_F(NameLookupTest, FirstOfTwoDeclarationsOfANameWins) {
    ModulePtr m = module("main");
    VariableDeclarationPtr first = var("x", type("Int")), second = var("x", type("Double"));
    m->block->statements = {first, second};
    link(m);
    EXPECT_EQ(lookup("x", m->block.get()), first.get());
}

TEST_F(NameLookupTest, ReturnedDeclarationsAreProcessed) {
    ModulePtr m = module("main");
    VariableDeclarationPtr x = var("x", nullptr, {constant("1.5")});
    m->block->statements = {x};
    link(m);
    EXPECT_FALSE(x->processed);
    EXPECT_EQ(lookup("x", m->block.get()), x.get());
    EXPECT_TRUE(x->processed);
    EXPECT_EQ(spell(x->type), "double");
}

TEST_F(NameLookupTest, ArgumentsAndLoopVariablesAreSeenInTheirBodies) {
    ModulePtr m = module("main");
    ArgumentDeclarationPtr n = argument("n", type("Int"));
    ForPartPtr i = forPart("i", range(constant("0"), name("n")));
    ForStatementPtr loop = forLoop({i});
    FunctionDeclarationPtr f = function("f", type("Void"), {n}, {loop});
    m->block->statements = {f};
    link(m);
    EXPECT_EQ(lookup("n", f->body.get()), n.get());
    EXPECT_EQ(lookup("i", loop->body.get()), i.get());
    EXPECT_EQ(lookup("i", f->body.get()), nullptr);  // the loop variable ends with its loop
    EXPECT_EQ(lookup("n", m->block.get()), nullptr);
}

// Left : Root, Right; the member sits in Right's base Far. Breadth first: Derived, Left,
// Right, Root, Far.
TEST_F(NameLookupTest, BasesAreSearchedBreadthFirstWithTrace) {
    ModulePtr m = module("main");
    // A function without a return type: processing it adds no trace lines of its own.
    FunctionDeclarationPtr deep = function("deep", TypeExpressionPtr(), {});
    m->block->statements = {cls("Far", {}, {deep}), cls("Root", {}), cls("Left", {"Root"}), cls("Right", {"Far"}),
                            cls("Derived", {"Left", "Right"})};
    link(m);
    runOptions.verboseLookup = true;
    StdoutCapture capture;
    Declaration* derived = lookup("Derived", m->block.get());
    EXPECT_EQ(lookupMember("deep", derived), deep.get());
    EXPECT_EQ(capture.text(),
              "    looking for deep in class Derived\n"
              "    looking for deep in class Left\n"
              "    looking for deep in class Right\n"
              "    looking for deep in class Root\n"
              "    looking for deep in class Far\n");
}

TEST_F(NameLookupTest, AClassReachedTwiceIsSearchedTwiceButACycleEnds) {
    ModulePtr m = module("main");
    m->block->statements = {cls("A", {}), cls("B", {"A"}), cls("C", {"A"}), cls("D", {"B", "C"}),
                            cls("P", {"Q"}), cls("Q", {"P"})};
    link(m);
    runOptions.verboseLookup = true;
    {
        StdoutCapture capture;
        EXPECT_EQ(lookupMember("none", lookup("D", m->block.get())), nullptr);
        EXPECT_EQ(capture.text(),
                  "    looking for none in class D\n"
                  "    looking for none in class B\n"
                  "    looking for none in class C\n"
                  "    looking for none in class A\n"
                  "    looking for none in class A\n"
                  "    not found: none in class\n");
    }
    StdoutCapture capture;
    EXPECT_EQ(lookupMember("none", lookup("P", m->block.get())), nullptr);
    EXPECT_EQ(capture.text(),
              "    looking for none in class P\n"
              "    looking for none in class Q\n"
              "    not found: none in class\n");
}

TEST_F(NameLookupTest, ImportsBeyondTheFirstLevelNeedHeaderLevelTwo) {
    ModulePtr m = module("main"), direct = module("direct"), viaHeader = module("viaheader"),
              viaBody = module("viabody"), deeper = module("deeper");
    add(viaHeader->block, var("inHeader", type("Int")));
    add(viaBody->block, var("inBody", type("Int")));
    add(deeper->block, var("deepest", type("Int")));
    add(direct->block, var("mine", type("Int")));
    for (const ModulePtr& each : {viaHeader, viaBody, deeper, direct}) link(each);
    import(m, direct, 0);  // the first level is searched whatever its header level
    import(direct, viaHeader, 2);
    import(direct, viaBody, 1);
    import(viaHeader, deeper, 2);
    import(viaHeader, direct, 2);  // a ring of header imports must not keep the search going
    link(m);
    EXPECT_NE(lookup("mine", m->block.get()), nullptr);
    EXPECT_NE(lookup("inHeader", m->block.get()), nullptr);
    EXPECT_NE(lookup("deepest", m->block.get()), nullptr);
    EXPECT_EQ(lookup("inBody", m->block.get()), nullptr);
    EXPECT_EQ(lookup("nowhere", m->block.get()), nullptr);
    viaHeader->imports.clear();  // the ring of shared modules would outlive the test
}

TEST_F(NameLookupTest, AFindInALibraryModuleImportsItImplicitlyOnce) {
    ModulePtr m = module("main"), file = module("Library.Gfx"), nested = module("Library.Gfx.Draw");
    nested->isLibrary = true;
    nested->includes = {"<draw.h>", "<vector>"};
    // Without a return type, whose resolution would add trace lines.
    add(nested->block, function("line", TypeExpressionPtr(), {}));
    link(nested);
    import(file, nested, 2);
    import(m, file);
    m->includes = {"<vector>"};
    link(m);
    runOptions.verboseLookup = true;
    StdoutCapture capture;
    for (int i = 0; i < 2; ++i) EXPECT_NE(lookup("line", m->block.get()), nullptr);
    EXPECT_EQ(capture.text(), "    found line in module Library.Gfx.Draw\n    found line in module Library.Gfx.Draw\n");
    ASSERT_EQ(m->imports.size(), 2u);
    const ImportDeclarationPtr& added = m->imports.at({"Library", "Gfx", "Draw"});
    EXPECT_EQ(added->module, nested);
    EXPECT_EQ(added->flags, ImportDeclaration::implicitImport | ImportDeclaration::noChangeCheck | 1u);
    EXPECT_EQ(m->includes, (std::vector<std::string>{"<vector>", "<draw.h>"}));
    // A find in a module that is no library adds nothing.
    EXPECT_EQ(file->imports.size(), 1u);
}

TEST_F(NameLookupTest, QualifiedNamesFollowTheImportChain) {
    ModulePtr m = module("main"), ab = module("a.b"), a = module("a");
    VariableDeclarationPtr f = var("f", type("Int")), g = var("g", type("Int"));
    add(ab->block, f);
    add(a->block, g);
    link(ab);
    link(a);
    import(m, ab);
    link(m);
    Declaration* qa = lookup("a", m->block.get());
    ASSERT_TRUE(dynamic_cast<ModuleDeclaration*>(qa));
    Declaration* qb = lookupMember("b", qa);
    ASSERT_TRUE(dynamic_cast<ModuleDeclaration*>(qb));
    EXPECT_EQ(lookupMember("f", qb), f.get());
    runOptions.verboseLookup = true;
    {
        StdoutCapture capture;
        EXPECT_EQ(lookupMember("g", qa), nullptr);  // a itself was never imported
        EXPECT_EQ(capture.text(), "    not found: g in module (namespace)\n");
    }
    import(m, a);
    EXPECT_EQ(lookupMember("g", qa), g.get());
    // Through a type: a StaticExpression "A.f" names a member of a module written as a type.
    ModulePtr upper = module("Upper");
    VariableDeclarationPtr h = var("h", type("Int"));
    add(upper->block, h);
    link(upper);
    import(m, upper);
    StaticExpressionPtr use = name("h", 3, type("Upper"));
    add(m->block, statement(use));
    link(m);
    // Module names are type names, so A.B.f is a name scoped by the nested type A.B.
    SubTypeExprPtr abType = make<SubTypeExpr>();
    abType->scope = type("a");
    abType->name = "b";
    StaticExpressionPtr qualified = name("f", 4, abType);
    add(m->block, statement(qualified));
    link(m);
    EXPECT_EQ(spell(typeOf(use.get())), "Int");
    EXPECT_EQ(spell(typeOf(qualified.get())), "Int");
    EXPECT_EQ(abType->declaration, qb);
    EXPECT_TRUE(queuedDiagnostics().empty());
}

TEST_F(NameLookupTest, MembersOfAliasesAndInvalidScopes) {
    ModulePtr m = module("main");
    VariableDeclarationPtr field = var("field", type("Int"));
    TypeAliasDeclarationPtr alias = make<TypeAliasDeclaration>(), ring1 = make<TypeAliasDeclaration>(),
                            ring2 = make<TypeAliasDeclaration>();
    alias->name = "Alias";
    alias->type = typeOp(PointerType, type("Target"));
    ring1->name = "Ring1";
    ring1->type = type("Ring2");
    ring2->name = "Ring2";
    ring2->type = type("Ring1");
    VariableDeclarationPtr plain = var("plain", type("Int"));
    m->block->statements = {cls("Target", {}, {field}), alias, ring1, ring2, plain};
    link(m);
    EXPECT_EQ(lookupMember("field", alias.get()), field.get());
    EXPECT_EQ(lookupMember("field", ring1.get()), nullptr);
    runOptions.verboseLookup = true;
    StdoutCapture capture;
    EXPECT_EQ(lookupMember("field", plain.get()), nullptr);
    EXPECT_EQ(capture.text(), "    looking for field in invalid context\n");
}

TEST_F(NameLookupTest, DeclarationOfLooksThroughOperatorsToTheClass) {
    ModulePtr m = module("main");
    ModulePtr lib = builtin();
    ClassDeclarationPtr target = cls("Target", {});
    TypeExpressionPtr pointerToConst = typeOp(PointerType, typeOp(ConstType, type("Target")));
    TypeExpressionPtr vector = typeOp(VectorType, type("Int"));
    TypeExpressionPtr map = typeOp(ReferenceType, typeOp(MapType, type("Int"), type("String")));
    m->block->statements = {target, var("p", pointerToConst), var("v", vector), var("w", map)};
    import(m, lib);
    link(m);
    EXPECT_EQ(declarationOf(pointerToConst.get()), target.get());
    EXPECT_EQ(declarationOf(vector.get()), lib->block->names.at("Vector").get());
    EXPECT_EQ(declarationOf(map.get()), lib->block->names.at("Map").get());
    FuncTypePtr function = make<FuncType>();
    EXPECT_EQ(declarationOf(function.get()), nullptr);
    EXPECT_EQ(declarationOf(nullptr), nullptr);
}

TEST_F(NameLookupTest, TypesOfDeclarations) {
    ModulePtr m = module("main");
    FunctionDeclarationPtr f = function("f", type("Int"), {argument("a", type("Double")), argument("b", type("Char"))});
    ForPartPtr part = forPart("x", name("v"));
    part->type = type("iterator");
    part->elementType = type("element");
    EnumDeclarationPtr e = make<EnumDeclaration>();
    e->name = "E";
    m->block->statements = {f, e};
    link(m);
    TypeExpressionPtr ft = typeOfDeclaration(f.get());
    EXPECT_EQ(spell(ft), "Int(Double,Char)");
    EXPECT_EQ(typeOfDeclaration(f.get()), ft);  // built once
    EXPECT_EQ(spell(typeOfDeclaration(part.get())), "element");
    part->elementType.reset();
    EXPECT_EQ(spell(typeOfDeclaration(part.get())), "iterator");
    try {
        typeOfDeclaration(e.get());
        FAIL() << "an enum has no type";
    } catch (const CompileError& error) {
        EXPECT_EQ(error.severity, SeverityInternal);
        EXPECT_NE(error.message.find("Unable to determine type"), std::string::npos);
        EXPECT_NE(error.message.find("src/NameLookup"), std::string::npos);
    }
}

// The trace of one failed lookup from a method: two bases (one with a base of its own),
// then the imports. Run with VORN_REGENERATE=1 to rewrite the expectation.
TEST_F(NameLookupTest, FailedLookupTraceMatchesGolden) {
    ModulePtr util = module("util"), deep = module("util.deep");
    add(util->block, var("helper", type("Int")));
    add(deep->block, var("deepHelper", type("Int")));
    link(util);
    link(deep);
    import(util, deep, 2);
    ModulePtr m = module("main");
    FunctionDeclarationPtr method = function("run", type("Void"), {});
    ClassDeclarationPtr widget = cls("Widget", {"Left", "Right"}, {method});
    m->block->statements = {cls("Root", {}), cls("Left", {"Root"}), cls("Right", {}), widget};
    import(m, util);
    link(m);
    // Processed beforehand, so that the trace holds the one lookup and not those of the class's
    // own processing, which the first search of the class would start.
    processDeclaration(widget.get());
    runOptions.verboseLookup = true;
    std::string got;
    {
        StdoutCapture capture;
        EXPECT_EQ(lookup("missing", method->body.get()), nullptr);
        got = capture.text();
    }
    const std::string path = std::string(VORN_SOURCE_DIR) + "/tests/data/lookup/failed-lookup.trace";
    if (std::getenv("VORN_REGENERATE")) std::ofstream(path, std::ios::binary) << got;
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in.good()) << path;
    std::stringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(got, expected.str());
}

}  // namespace
