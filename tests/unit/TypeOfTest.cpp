// Type inference on hand-built trees: the type of each expression kind, resolution of written
// types with their includes, the passing convention, variables and loop parts declared
// without a type, and the member initialiser move (off unless switched on).
#include <gtest/gtest.h>

#include "NameLookupTestTrees.hpp"
#include "tree/TreeModifier.hpp"
#include "sema/TypeOf.hpp"

namespace {

using namespace lookuptest;

// A module importing the built-in library, with a class C { var n : Int; fun get() : Double }
// and, at top level, whatever a test adds to `top` before link().
class TypeOfTest : public LookupFixture {
protected:
    void SetUp() override {
        LookupFixture::SetUp();
        lib = builtin();
        m = module("main");
        import(m, lib);
        n = var("n", type("Int"));
        get = function("get", type("Double"), {});
        c = cls("C", {}, {n, get});
        add(m->block, c);
    }

    // Adds statements at top level, links, and gives the type of the expression placed last.
    TypeExpressionPtr typeIn(const ExpressionPtr& e, std::initializer_list<StatementPtr> before = {}) {
        for (const StatementPtr& s : before) add(m->block, s);
        add(m->block, statement(e));
        link(m);
        return typeOf(e.get());
    }

    // A variable declared at top level, processed through the tree modifier.
    VariableDeclarationPtr declare(VariableDeclarationPtr v, std::initializer_list<StatementPtr> before = {}) {
        for (const StatementPtr& s : before) add(m->block, s);
        add(m->block, v);
        link(m);
        processDeclaration(v.get());
        return v;
    }

    ModulePtr lib, m;
    VariableDeclarationPtr n;
    FunctionDeclarationPtr get;
    ClassDeclarationPtr c;
};

TEST_F(TypeOfTest, ConstantsAreTypedByTheirWholeText) {
    const std::pair<const char*, const char*> rows[] = {
        {"1", "int"},       {"1.5", "double"},   {".5", "double"},      {"1e5", "double"}, {"2.5e-3", "double"},
        {"1.5f", "float"},  {"3F", "float"},     {"2L", "long"},        {"0x1F", "int"},   {"0xffL", "long"},
        {"0xF", "int"},     {"017", "int"},      {"\"s\"", "const char*"}, {"'c'", "char"},
        {"word", "<unknown>"}, {"", "<unknown>"},
    };
    for (const auto& row : rows) EXPECT_EQ(spell(typeOf(constant(row.first).get())), row.second) << row.first;
}

TEST_F(TypeOfTest, OperatorsTakeTheLeftTypeExceptComparisons) {
    add(m->block, var("s", type("String")));
    add(m->block, var("i", type("Int")));
    add(m->block, var("p", typeOp(PointerType, type("C"))));
    struct Row {
        ExpressionPtr e;
        const char* expected;
    } rows[] = {
        {oper(name("s"), "==", name("s")), "Bool"},
        {oper(name("i"), "<=", constant("2")), "Bool"},
        {oper(name("i"), "!=", name("i")), "int"},
        {oper(name("i"), "&&", name("s")), "int"},
        {oper(name("s"), "+", name("i")), "std::string"},
    };
    for (const Row& row : rows) add(m->block, statement(row.e));
    link(m);
    // The variables are processed when found, so their types come resolved.
    for (const Row& row : rows) EXPECT_EQ(spell(typeOf(row.e.get())), row.expected) << row.expected;

    PrefixOperExpressionPtr address = make<PrefixOperExpression>(), deref = make<PrefixOperExpression>(),
                            negate = make<PrefixOperExpression>();
    address->op = "&";
    address->operand = name("i");
    deref->op = "*";
    deref->operand = name("p");
    negate->op = "-";
    negate->operand = name("i");

    TernaryOperExpressionPtr choice = make<TernaryOperExpression>();
    choice->condition = name("i");
    choice->whenTrue = name("s");
    choice->whenFalse = constant("\"x\"");
    for (const ExpressionPtr& e : {ExpressionPtr(address), ExpressionPtr(deref), ExpressionPtr(negate), ExpressionPtr(choice)})
        add(m->block, statement(e));
    link(m);
    EXPECT_EQ(spell(typeOf(address.get())), "int*");
    EXPECT_EQ(spell(typeOf(deref.get())), "C");
    EXPECT_EQ(spell(typeOf(negate.get())), "int");
    EXPECT_EQ(spell(typeOf(choice.get())), "std::string");
}

TEST_F(TypeOfTest, AMissingNameIsAWarningAndUnknown) {
    TypeExpressionPtr t = typeIn(name("nowhere", 7));
    EXPECT_EQ(t, nullptr);
    ASSERT_EQ(queuedDiagnostics().size(), 1u);
    EXPECT_EQ(queuedDiagnostics()[0].message, "Unable to find declaration of nowhere");
    EXPECT_EQ(queuedDiagnostics()[0].severity, SeverityWarning);
    EXPECT_EQ(queuedDiagnostics()[0].position.line, 7);
}

TEST_F(TypeOfTest, MembersCallsAndConstruction) {
    add(m->block, var("obj", type("C")));
    add(m->block, var("ptr", typeOp(SharedPointerType, type("C"))));
    add(m->block, var("v", typeOp(VectorType, type("Int"))));
    add(m->block, function("twice", type("Long"), {argument("x", type("Int"))}));
    CtorExpressionPtr value = make<CtorExpression>(), heap = make<CtorExpression>(), shared = make<CtorExpression>();
    for (const CtorExpressionPtr& e : {value, heap, shared}) e->type = type("C");
    heap->isHeap = shared->isHeap = true;
    shared->isShared = true;
    struct Row {
        ExpressionPtr e;
        const char* expected;
    } rows[] = {
        {member(name("obj"), "n"), "int"},
        {member(name("ptr"), "n"), "int"},  // through the shared pointer
        // A function's return type is resolved when the function is processed.
        {call(member(name("obj"), "get")), "double"},
        {call(name("twice"), {constant("1")}), "long"},
        {call(member(name("v"), "size")), "unsigned long"},
        {call(name("obj")), "<unknown>"},  // a value of class type is no function here
        {member(name("obj"), "absent"), "<unknown>"},
        {value, "C"},
        {heap, "C*"},
        {shared, "shared<C>"},
        {range(name("obj"), constant("9")), "C"},
    };
    for (const Row& row : rows) add(m->block, statement(row.e));
    link(m);
    for (const Row& row : rows) EXPECT_EQ(spell(typeOf(row.e.get())), row.expected) << row.expected;
    EXPECT_TRUE(queuedDiagnostics().empty());
}

TEST_F(TypeOfTest, TuplesAndKindsWithoutAType) {
    TupleExpressionPtr one = make<TupleExpression>(), two = make<TupleExpression>();
    one->elements = {oper(constant("1.5"), "+", constant("2"))};
    two->elements = {constant("1"), constant("'c'")};
    EXPECT_EQ(spell(typeOf(one.get())), "double");
    EXPECT_EQ(spell(typeOf(two.get())), "(int,char)");
    ExpressionPtr unknown[] = {make<VectorExpression>(), make<AnonFuncExpression>(), make<CppBlockInitializer>(),
                               make<VariableDeclarationExpression>(), make<CastExpression>(),
                               make<PostfixOperExpression>()};
    for (const ExpressionPtr& e : unknown) EXPECT_EQ(typeOf(e.get()), nullptr) << e->className();
    EXPECT_EQ(spell(typeOf(make<TokensExpression>().get())), "unable_to_infere_type");
    EXPECT_EQ(typeOf(nullptr), nullptr);
    try {
        typeOf(make<MacroExpression>().get());
        FAIL() << "a macro expression must not reach type inference";
    } catch (const CompileError& error) {
        EXPECT_EQ(error.severity, SeverityInternal);
        EXPECT_NE(error.message.find("Macros should be eliminated by the time we typeOf"), std::string::npos);
        EXPECT_NE(error.message.find("src/TypeOf"), std::string::npos);
    }
}

TEST_F(TypeOfTest, VariablesWithoutATypeAreInferred) {
    // (a + b) * 2: the parentheses are a one-element tuple.
    TupleExpressionPtr parenthesised = make<TupleExpression>();
    parenthesised->elements = {oper(name("a"), "+", name("b"))};
    VariableDeclarationPtr a = var("a", type("Int")), b = var("b", type("Int"));
    struct Row {
        VariableDeclarationPtr v;
        const char* expected;
    } rows[] = {
        {var("x", nullptr, {constant("1.5")}), "double"},
        {var("y", nullptr, {constant("0.5")}), "double"},
        {var("z", nullptr, {oper(parenthesised, "*", constant("2"))}), "int"},
        {var("s", nullptr, {constant("\"text\"")}), "const char*"},
        {var("t", nullptr, {name("true")}), "bool"},
        {var("k", nullptr, {oper(constant("1"), "==", constant("2"))}), "bool"},
    };
    add(m->block, a);
    add(m->block, b);
    for (const Row& row : rows) declare(row.v);
    for (const Row& row : rows) EXPECT_EQ(spell(row.v->type), row.expected) << row.v->name;
    EXPECT_TRUE(queuedDiagnostics().empty()) << messages()[0];
}

TEST_F(TypeOfTest, AVariableTakesTheValueOfAConstOrReferenceInitialiser) {
    ArgumentDeclarationPtr limit = argument("limit", type("Int")), shape = argument("shape", type("C"));
    VariableDeclarationPtr copy = var("copy", nullptr, {name("limit")}), other = var("other", nullptr, {name("shape")});
    FunctionDeclarationPtr f = function("f", type("Void"), {limit, shape}, {copy, other});
    add(m->block, f);
    link(m);
    processDeclaration(copy.get());
    processDeclaration(other.get());
    EXPECT_EQ(spell(limit->type), "const int");
    EXPECT_EQ(spell(shape->type), "const C&");
    EXPECT_EQ(spell(copy->type), "int");
    EXPECT_EQ(spell(other->type), "C");
}

TEST_F(TypeOfTest, VariablesThatCannotBeInferredAreErrors) {
    VariableDeclarationPtr two = var("two", nullptr, {constant("1"), constant("2")}, 4);
    VariableDeclarationPtr none = var("none", nullptr, {}, 5);
    VariableDeclarationPtr vague = var("vague", nullptr, {make<VectorExpression>()}, 6);
    declare(two);
    declare(none);
    declare(vague);
    ASSERT_EQ(queuedDiagnostics().size(), 3u);
    EXPECT_EQ(messages(), (std::vector<std::string>{"unable to infer type of two", "unable to infer type of none",
                                                     "unable to infer type of vague"}));
    EXPECT_EQ(queuedDiagnostics()[0].position.line, 4);
    EXPECT_EQ(queuedDiagnostics()[0].severity, SeverityError);
    EXPECT_EQ(two->type, nullptr);
}

TEST_F(TypeOfTest, WrittenTypesResolveToTheirDeclarationsAndSpelling) {
    SimpleTypeExprPtr integer = type("Int"), klass = type("C"), unknown = type("Mystery");
    TemplateCallPtr args = make<TemplateCall>();
    SimpleTypeExprPtr inner = type("String");
    args->arguments = {inner};
    unknown->templateArgs = args;
    declare(var("a", integer));
    declare(var("b", klass));
    declare(var("d", unknown));
    EXPECT_EQ(integer->name, "int");
    EXPECT_EQ(integer->declaration, lib->block->names.at("Int").get());
    EXPECT_EQ(klass->declaration, c.get());
    EXPECT_EQ(unknown->name, "Mystery");
    EXPECT_EQ(unknown->declaration, nullptr);
    EXPECT_EQ(inner->name, "std::string");
    EXPECT_TRUE(queuedDiagnostics().empty());  // an unknown type is no message here

    SubTypeExprPtr nested = make<SubTypeExpr>();
    nested->scope = type("Outer");
    nested->name = "Inner";
    ClassDeclarationPtr innerClass = cls("Inner", {});
    add(m->block, cls("Outer", {}, {innerClass}));
    declare(var("e", nested));
    EXPECT_EQ(nested->declaration, innerClass.get());
}

TEST_F(TypeOfTest, ContainerTypesAddTheirIncludeOnce) {
    declare(var("m1", typeOp(MapType, type("Int"), type("String"))));
    declare(var("m2", typeOp(MapType, type("Int"), typeOp(VectorType, type("Int")))));
    declare(var("v1", typeOp(VectorType, type("Int"))));
    declare(var("p1", typeOp(SharedPointerType, type("C"))));
    EXPECT_EQ(m->includes, (std::vector<std::string>{"<map>", "<vector>", "<boost/shared_ptr.hpp>"}));
}

TEST_F(TypeOfTest, PassingCategoriesAndArguments) {
    struct Row {
        TypeExpressionPtr t;
        int category;
        const char* passed;
    } rows[] = {
        {type("Int"), 1, "const int"},
        {type("C"), 3, "const C&"},
        {typeOp(PointerType, type("C")), 1, "const C*"},
        {typeOp(ReferenceType, type("C")), 0, "C&"},
        {typeOp(SharedPointerType, type("C")), 3, "const shared<C>&"},
        {typeOp(VectorType, type("Int")), 3, "const vector<int>&"},
        {typeOp(ConstType, type("C")), 2, "const C&"},
        {typeOp(ConstType, type("Double")), 0, "const double"},
        {typeOp(VolatileType, type("Int")), 1, "const volatile int"},
        {make<FuncType>(), 3, "const <unknown>()&"},
        {make<FunctionPointerType>(), 0, "?"},
    };
    std::vector<ArgumentDeclarationPtr> arguments;
    for (const Row& row : rows) arguments.push_back(argument("a" + std::to_string(arguments.size()), row.t));
    ArgumentDeclarationPtr kept = argument("kept", type("C"));
    kept->keepsWrittenType = true;
    FunctionDeclarationPtr f = function("f", type("Void"), {});
    f->arguments = arguments;
    f->arguments.push_back(kept);
    add(m->block, f);
    link(m);
    for (size_t i = 0; i < arguments.size(); ++i) {
        processDeclaration(arguments[i].get());
        EXPECT_EQ(passingCategory(rows[i].t.get()), rows[i].category) << i;
        EXPECT_EQ(spell(arguments[i]->type), rows[i].passed) << i;
    }
    processDeclaration(kept.get());
    EXPECT_EQ(spell(kept->type), "C");
    EXPECT_EQ(passingCategory(nullptr), 0);
}

TEST_F(TypeOfTest, LoopPartsOverRangesAndContainers) {
    VariableDeclarationPtr cv = var("cv", typeOp(ConstType, typeOp(VectorType, type("Int"))));
    VariableDeclarationPtr mp = var("mp", typeOp(MapType, type("Int"), type("String")));
    VariableDeclarationPtr ref = var("ref", typeOp(ReferenceType, typeOp(ConstType, typeOp(MapType, type("Int"), type("Int")))));
    VariableDeclarationPtr pv = var("pv", typeOp(PointerType, typeOp(VectorType, type("Double"))));
    struct Row {
        ForPartPtr part;
        const char* variable;
        const char* element;
    } rows[] = {
        {forPart("i", range(constant("0"), constant("10"))), "int", "int"},
        {forPart("j", range(constant("1.5"), constant("10")), true), "double", "double"},
        {forPart("a", name("cv")), "vector<int>::const_iterator", "const int&"},
        {forPart("b", name("cv"), true), "vector<int>::const_reverse_iterator", "const int&"},
        {forPart("c", name("mp"), true), "map<int,std::string>::reverse_iterator", "map<int,std::string>::value_type&"},
        {forPart("d", name("mp")), "map<int,std::string>::iterator", "map<int,std::string>::value_type&"},
        {forPart("e", name("ref")), "map<int,int>::const_iterator", "const map<int,int>::value_type&"},
        {forPart("f", name("pv")), "vector<double>::iterator", "double&"},
    };
    for (const StatementPtr& s : {StatementPtr(cv), StatementPtr(mp), StatementPtr(ref), StatementPtr(pv)})
        add(m->block, s);
    for (const Row& row : rows) add(m->block, forLoop({row.part}));
    link(m);
    for (const Row& row : rows) {
        processDeclaration(row.part.get());
        EXPECT_EQ(spell(row.part->type), row.variable) << row.part->name;
        EXPECT_EQ(spell(row.part->elementType), row.element) << row.part->name;
    }
    EXPECT_TRUE(queuedDiagnostics().empty()) << messages()[0];
}

TEST_F(TypeOfTest, LoopPartsThatCannotBeInferredOrAreDeclared) {
    ForPartPtr vague = forPart("vague", make<VectorExpression>(), false, 8);
    ForPartPtr vagueRange = forPart("vagueRange", range(make<VectorExpression>(), constant("3")), false, 9);
    ForPartPtr declared = forPart("declared", name("nothing"));
    declared->type = type("Int");
    add(m->block, forLoop({vague, vagueRange, declared}));
    link(m);
    for (const ForPartPtr& p : {vague, vagueRange, declared}) processDeclaration(p.get());
    // The declared part's range is still lowered, and its name is declared nowhere.
    EXPECT_EQ(messages(), (std::vector<std::string>{"Unable to infer type of vague", "Unable to infer type of vagueRange",
                                                    "Unable to find declaration of nothing"}));
    EXPECT_EQ(queuedDiagnostics()[0].position.line, 8);
    EXPECT_EQ(spell(declared->type), "Int");  // not inferred, not even looked at
    EXPECT_EQ(declared->elementType, nullptr);
}

TEST_F(TypeOfTest, LoopVariablesTypeTheirUsesByElement) {
    VariableDeclarationPtr v = var("v", typeOp(VectorType, type("Int")));
    VariableDeclarationPtr copy = var("copy", nullptr, {name("x")});
    ForPartPtr x = forPart("x", name("v"));
    add(m->block, v);
    add(m->block, forLoop({x}, {copy}));
    link(m);
    processDeclaration(copy.get());
    EXPECT_EQ(spell(copy->type), "int");
}

// The move is off unless the stage that writes constructors switches it on: without it a
// field keeps its initialiser.
TEST_F(TypeOfTest, MemberInitialiserMoveIsOffUnlessSwitchedOn) {
    // Each field is processed on its own here, not all at once through its class.
    setDeclarationHandler<ClassDeclaration>(DeclarationHandler<ClassDeclaration>());
    moveMemberInitializers = false;
    VariableDeclarationPtr kept = var("kept", nullptr, {constant("1")}, 3);
    VariableDeclarationPtr moved = var("moved", nullptr, {constant("2")}, 4);
    VariableDeclarationPtr fixed = var("fixed", type("Int"), {constant("3")});
    fixed->isStatic = true;
    VariableDeclarationPtr local = var("local", nullptr, {constant("4")});
    ClassDeclarationPtr holder = cls("Holder", {}, {kept, moved, fixed, function("f", type("Void"), {}, {local})});
    add(m->block, holder);
    link(m);
    processDeclaration(kept.get());
    EXPECT_EQ(kept->initializers.size(), 1u);
    EXPECT_TRUE(holder->memberInitializers.empty());

    moveMemberInitializers = true;
    for (const VariableDeclarationPtr& v : {moved, fixed, local}) processDeclaration(v.get());
    moveMemberInitializers = false;
    EXPECT_TRUE(moved->initializers.empty());
    EXPECT_EQ(spell(moved->type), "int");  // inferred before the initialiser left
    ASSERT_EQ(holder->memberInitializers.size(), 1u);
    const InitStatement& init = *holder->memberInitializers[0];
    EXPECT_EQ(init.member, "moved");
    EXPECT_EQ(init.location.line, 4);
    ASSERT_EQ(init.arguments.size(), 1u);
    EXPECT_EQ(dynamic_cast<ConstantExpression*>(init.arguments[0].get())->value, "2");
    EXPECT_EQ(fixed->initializers.size(), 1u);
    EXPECT_EQ(local->initializers.size(), 1u);
}

TEST_F(TypeOfTest, InitialisersGoThroughTheExpressionProcessor) {
    std::vector<std::string> seen;
    expressionProcessor = [&](ExpressionPtr& slot) {
        seen.push_back(slot->className());
        if (ConstantExpression* k = dynamic_cast<ConstantExpression*>(slot.get())) k->value += "0";
    };
    ArgumentDeclarationPtr withDefault = argument("d", type("Int"));
    withDefault->defaultValue = constant("5");
    add(m->block, function("f", type("Void"), {withDefault}));
    VariableDeclarationPtr v = declare(var("v", nullptr, {constant("7")}));
    ForPartPtr part = forPart("p", range(constant("0"), constant("3")));
    add(m->block, forLoop({part}));
    link(m);
    processDeclaration(withDefault.get());
    processDeclaration(part.get());
    expressionProcessor.clear();
    EXPECT_EQ(seen, (std::vector<std::string>{"ConstantExpression", "ConstantExpression", "RangeExpression"}));
    EXPECT_EQ(dynamic_cast<ConstantExpression*>(v->initializers[0].get())->value, "70");
}

}  // namespace
