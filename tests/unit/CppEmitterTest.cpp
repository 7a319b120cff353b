// The emitter's text for single nodes, phase by phase, on hand-built trees.
#include <gtest/gtest.h>

#include <tuple>

#include "CppTestTrees.hpp"
#include "tree/Operator.hpp"

using namespace cpptest;

namespace {

struct TextCase {
    const char* label;
    ASTObjectPtr node;
    const char* expected;
};

void expectTexts(const std::vector<TextCase>& cases, EmitPhase phase) {
    for (const TextCase& c : cases) EXPECT_EQ(emit(c.node, phase), c.expected) << c.label;
}

// The internal error that a node raises, or "" when it raises none.
std::string internalErrorOf(const ASTObjectPtr& node) {
    try {
        emit(node, PhaseBody);
    } catch (const CompileError& error) {
        EXPECT_EQ(error.severity, SeverityInternal);
        EXPECT_NE(error.message.find("src/CppEmitter"), std::string::npos);
        return error.message;
    }
    return std::string();
}

ExpressionPtr a() { return name("a"); }
ExpressionPtr b() { return name("b"); }

}  // namespace

TEST(CppEmitterTypes, EveryTypeFormEndsInABlank) {
    SubTypeExprPtr nested = make<SubTypeExpr>();
    nested->scope = type("Box", templateArgs({type("T")}));
    nested->name = "iterator";
    nested->isTypename = true;
    FunctionPointerTypePtr pointerToFunction = make<FunctionPointerType>();
    pointerToFunction->result = type("int");
    pointerToFunction->arguments = {type("int"), type("char")};
    expectTexts({{"simple", type("int"), "int "},
                 {"template arguments", type("Pair", templateArgs({type("int"), constant("3")})), "Pair<int ,3>  "},
                 {"sub type", nested, "typename Box<T >  ::iterator "},
                 {"pointer", typeOp(PointerType, type("int")), "int * "},
                 {"shared", typeOp(SharedPointerType, type("Foo")), "boost::shared_ptr<Foo > "},
                 {"reference", typeOp(ReferenceType, type("int")), "int & "},
                 {"array", typeOp(ArrayType, type("int"), {}, constant("4")), "int [4] "},
                 {"vector", typeOp(VectorType, type("int")), "std::vector<int > "},
                 {"map", typeOp(MapType, type("String"), type("int")), "std::map<String ,int > "},
                 {"const", typeOp(ConstType, type("int")), "int const "},
                 {"volatile", typeOp(VolatileType, type("int")), "int volatile "},
                 {"function pointer", pointerToFunction, "(*int )(int ,char )"}},
                PhaseBody);
}

TEST(CppEmitterTypes, TupleAndFunctionTypesAreNotImplemented) {
    EXPECT_NE(internalErrorOf(make<TupleType>()).find("Not implemented"), std::string::npos);
    EXPECT_NE(internalErrorOf(make<FuncType>()).find("Not implemented"), std::string::npos);
}

TEST(CppEmitterExpressions, OperatorsAndCalls) {
    PrefixOperExpressionPtr negate = make<PrefixOperExpression>();
    negate->op = "-";
    negate->operand = a();
    PostfixOperExpressionPtr increment = make<PostfixOperExpression>();
    increment->op = "++";
    increment->operand = a();
    TernaryOperExpressionPtr choice = make<TernaryOperExpression>();
    choice->condition = name("c");
    choice->whenTrue = a();
    choice->whenFalse = b();
    FuncExpressionPtr templated = callOf(name("convert"), {a()});
    templated->templateArgs = templateArgs({type("int")});
    CastExpressionPtr cast = make<CastExpression>();
    cast->type = type("int");
    cast->operand = a();
    CppBlockInitializerPtr braces = make<CppBlockInitializer>();
    braces->elements = {constant("1"), constant("2")};
    expectTexts({{"binary", binary(a(), "+", b()), "(a)+(b)"},
                 {"assignment", binary(a(), "=", constant("1")), "(a)=(1)"},
                 {"indexing", binary(a(), "#", b()), "(a)[b]"},
                 {"nested", binary(binary(a(), "*", b()), "-", constant("1")), "((a)*(b))-(1)"},
                 {"prefix", negate, "-(a)"},
                 {"postfix", increment, "(a)++"},
                 {"ternary", choice, "(c)?(a):(b)"},
                 {"member", memberOf(a(), "x"), "(a).x"},
                 {"member through pointer", memberOf(a(), "x", true), "(a)->x"},
                 {"scoped name", name("count", type("Foo")), "Foo ::count"},
                 {"call", callOf(name("f"), {a(), constant("2")}), "f(a,2)"},
                 {"method call", callOf(memberOf(a(), "size"), {}), "(a).size()"},
                 {"template call", templated, "convert<int > (a)"},
                 {"cast", cast, "(int )a"},
                 {"brace initialiser", braces, "{1,2}"},
                 {"string constant", constant("\"hi\\n\""), "\"hi\\n\""}},
                PhaseBody);
}

TEST(CppEmitterExpressions, ConstructionByValueOnTheHeapAndShared) {
    auto ctor = [](bool heap, bool shared) {
        CtorExpressionPtr node = make<CtorExpression>();
        node->type = type("Point");
        node->isHeap = heap;
        node->isShared = shared;
        node->hasArguments = true;
        node->arguments = {constant("1"), constant("2")};
        return node;
    };
    expectTexts({{"value", ctor(false, false), "Point (1,2)"},
                 {"heap", ctor(true, false), "new Point (1,2)"},
                 {"shared", ctor(true, true), "static_cast<boost::shared_ptr<Point > >(new Point (1,2))"}},
                PhaseBody);
}

// Every parenthesised expression reaches the back end as a one-element tuple.
TEST(CppEmitterExpressions, OneElementTupleIsParentheses) {
    ExpressionPtr average = binary(parens({binary(a(), "+", b())}), "/", constant("2"));
    EXPECT_EQ(emit(average, PhaseBody), "(((a)+(b)))/(2)");
    EXPECT_EQ(internalErrorOf(parens({a()})), "");
}

TEST(CppEmitterExpressions, NodesLoweringRemovesAreInternalErrors) {
    VectorExpressionPtr vector = make<VectorExpression>();
    vector->elements = {a()};
    RangeExpressionPtr range = make<RangeExpression>();
    range->start = constant("0");
    struct Case {
        ASTObjectPtr node;
        const char* text;
    } cases[] = {
        {parens({a(), b()}), "tuple expressions not allowed in C++"},
        {parens({}), "tuple expressions not allowed in C++"},
        {vector, "vector expressions not allowed in C++"},
        {range, "not implemented"},
        {make<AnonFuncExpression>(), "Anonymous functions should have been filtered out by now"},
    };
    for (const Case& c : cases) EXPECT_NE(internalErrorOf(c.node).find(c.text), std::string::npos) << c.text;
}

// No pass gave these a type: writing nothing in its place would hand g++ C++ nobody wrote.
TEST(CppEmitterExpressions, AMissingTypeIsAnInternalErrorAtItsNode) {
    // (Untyped variables and counted loops are user errors: see the untyped-outside-top-level
    // pipeline case.)
    ArgumentDeclarationPtr argument = make<ArgumentDeclaration>(4);
    TypeAliasDeclarationPtr alias = make<TypeAliasDeclaration>(5);
    CtorExpressionPtr construction = make<CtorExpression>(6);
    CastExpressionPtr cast = make<CastExpression>(7);
    cast->operand = a();
    const std::pair<ASTObjectPtr, int> cases[] = {{argument, 4}, {alias, 5}, {construction, 6}, {cast, 7}};
    for (const auto& c : cases) {
        try {
            emit(c.first, PhaseBody);
            ADD_FAILURE() << c.first->typeName() << " without a type was written";
        } catch (const CompileError& error) {
            EXPECT_EQ(error.severity, SeverityInternal);
            EXPECT_NE(error.message.find("was never resolved"), std::string::npos) << error.message;
            EXPECT_NE(error.message.find("src/CppEmitter"), std::string::npos) << error.message;
            EXPECT_EQ(error.position.line, c.second) << c.first->typeName();
        }
    }
}

TEST(CppEmitterExpressions, UnknownNodeKindNamesItsTypeName) {
    // A class the emitter has no row for (the abstract base of declarations).
    std::string message = internalErrorOf(make<DataDeclaration>());
    EXPECT_NE(message.find("Tree node type not support by CppBackEnd: Statement"), std::string::npos) << message;
}

TEST(CppEmitterStatements, SimpleStatementsOnTheirLines) {
    DeleteStatementPtr arrayDelete = make<DeleteStatement>(1);
    arrayDelete->isArray = true;
    arrayDelete->operand = a();
    ThrowStatementPtr rethrow = make<ThrowStatement>(1);
    WhileStatementPtr loop = make<WhileStatement>(1);
    loop->condition = a();
    loop->body = block({make<BreakStatement>(2)});
    WhileStatementPtr doLoop = make<WhileStatement>(1);
    doLoop->isPostTested = true;
    doLoop->condition = a();
    doLoop->body = block({make<ContinueStatement>(2)});
    CppForStatementPtr cFor = make<CppForStatement>(1);
    cFor->initialization = binary(name("i"), "=", constant("0"));
    cFor->condition = binary(name("i"), "<", constant("3"));
    cFor->step = binary(name("i"), "+=", constant("1"));
    cFor->body = block({});
    CppSwitchStatementPtr cSwitch = make<CppSwitchStatement>(1);
    cSwitch->expression = a();
    CppCaseStatementPtr cCase = make<CppCaseStatement>(2);
    cCase->expression = constant("1");
    cSwitch->body = block({cCase, make<BreakStatement>(2)});
    expectTexts({{"expression", exprStatement(callOf(name("f"), {}), 1), "f();"},
                 {"return", returns(a(), 1), "return a;"},
                 {"plain return", returns(ExpressionPtr(), 1), "return ;"},
                 {"array delete", arrayDelete, "delete [] a;"},
                 {"rethrow", rethrow, "throw ;"},
                 {"while", loop, "while (a){\n\tbreak;}"},
                 {"do while", doLoop, "do{\n\tcontinue;}while (a);"},
                 {"c for", cFor, "for((i)=(0);(i)<(3);(i)+=(1)){}"},
                 {"switch", cSwitch, "switch(a){\n\tcase 1:break;}"}},
                PhaseBody);
}

TEST(CppEmitterStatements, IfElseChainAndTryCatch) {
    IfStatementPtr choice = make<IfStatement>(1);
    choice->conditions = {a(), b()};
    choice->blocks = {block({returns(constant("1"), 2)}), block({returns(constant("2"), 4)})};
    choice->elseBlock = block({returns(constant("3"), 6)});
    EXPECT_EQ(emit(choice, PhaseBody),
              "if (a){\n\treturn 1;}\nelse if (b){\n\treturn 2;}\nelse{\n\treturn 3;}");

    TryStatementPtr attempt = make<TryStatement>(1);
    attempt->body = block({exprStatement(callOf(name("f"), {}), 2)});
    CatchStatementPtr typed = make<CatchStatement>(3);
    typed->type = typeOp(ReferenceType, type("Error"));
    typed->name = "e";
    typed->body = block({});
    CatchStatementPtr any = make<CatchStatement>(4);
    any->body = block({});
    attempt->handlers = {typed, any};
    EXPECT_EQ(emit(attempt, PhaseBody), "try{\n\tf();}\n\ncatch(Error & e){}\ncatch(...){}");

    TryStatementPtr bare = make<TryStatement>(1);
    bare->body = block({exprStatement(callOf(name("f"), {}), 1)});
    EXPECT_EQ(emit(bare, PhaseBody), "{f();}");
}

// Loops are lowered before they are written; one that reaches the back end is a fault.
TEST(CppEmitterStatements, AnUnloweredLoopIsAnInternalErrorAtItsLine) {
    ForPartPtr part = make<ForPart>(3);
    part->range = name("v");
    ForStatementPtr loop = make<ForStatement>(3);
    loop->parts = {part};
    loop->body = block({});
    try {
        emit(loop, PhaseBody);
        ADD_FAILURE() << "an unlowered loop was written";
    } catch (const CompileError& error) {
        EXPECT_EQ(error.severity, SeverityInternal);
        EXPECT_EQ(error.position.line, 3);
    }
}

TEST(CppEmitterWriter, MarkBridgesTenLinesAndJumpsFurther) {
    struct Case {
        int from, to;
        const char* expected;
    } cases[] = {
        {1, 1, "x"},
        {1, 2, "\nx"},
        {1, 11, "\n\n\n\n\n\n\n\n\n\nx"},
        {1, 12, "\n#line 12\nx"},
        {5, 4, "\n#line 4\nx"},
    };
    for (const Case& c : cases) {
        Capture capture(PhaseBody, c.from);
        capture.writer().markPosition(at(c.to));
        capture.writer().write("x");
        EXPECT_EQ(capture.text(), c.expected) << c.from << " to " << c.to;
    }
    Capture noFile(PhaseBody, 3);
    noFile.writer().markPosition(SourceLocation());
    noFile.writer().write("x");
    EXPECT_EQ(noFile.text(), "x");
}

TEST(CppEmitterWriter, BracesIndentFollowingLines) {
    Capture capture(PhaseBody, 1);
    CppWriter& out = capture.writer();
    out.write("{");
    out.newLine();
    out.write("a;");
    out.write("{");
    out.newLine();
    out.write("b;");
    out.newLine();
    out.write("}");
    out.newLine();
    out.write("}");
    EXPECT_EQ(capture.text(), "{\n\ta;{\n\t\tb;\n\t}\n}");
    EXPECT_EQ(out.currentLine, 5);
    EXPECT_EQ(out.indentLevel, 0);
}

namespace {

// Emits a class holding the given members, in one phase, and returns the text.
std::string inClass(EmitPhase phase, std::initializer_list<StatementPtr> members, TemplateDeclarationPtr templ = {}) {
    ClassDeclarationPtr holder = classOf(1, "Holder", block(members));
    holder->templateDecl = templ;
    return emit(holder, phase);
}

struct PhaseTexts {
    const char* forward;
    const char* types;
    const char* declarations;
    const char* implementation;
};

void expectPhases(const ASTObjectPtr& node, const PhaseTexts& texts, const char* label) {
    EXPECT_EQ(emit(node, PhaseForward), texts.forward) << label << " forward";
    EXPECT_EQ(emit(node, PhaseTypes), texts.types) << label << " types";
    EXPECT_EQ(emit(node, PhaseDeclarations), texts.declarations) << label << " declarations";
    EXPECT_EQ(emit(node, PhaseImplementation), texts.implementation) << label << " implementation";
}

}  // namespace

TEST(CppEmitterDeclarations, TopLevelDeclarationsByPhase) {
    FunctionDeclarationPtr pub = function(1, type("int"), "f", {argument(type("int"), "x")}, block({}));
    FunctionDeclarationPtr priv = function(1, type("int"), "g", {argument(type("int"), "x")}, block({}), Private);
    FunctionDeclarationPtr inl = function(1, type("int"), "h", {argument(type("int"), "x", constant("1"))}, block({}));
    inl->isInline = true;
    FunctionDeclarationPtr templ = function(1, type("T"), "t", {argument(type("T"), "x")}, block({}));
    templ->templateDecl = templateOf({"T"});
    VariableDeclarationPtr global = variable(1, type("int"), "v", {constant("3")});
    TypeAliasDeclarationPtr alias = make<TypeAliasDeclaration>(1);
    alias->name = "Id";
    alias->type = type("int");
    UnionDeclarationPtr onion = make<UnionDeclaration>(1);
    onion->name = "U";
    onion->body = block({variable(1, type("int"), "i"), variable(1, type("float"), "f")});
    NamespaceDeclarationPtr space = make<NamespaceDeclaration>(1);
    space->name = "ns";
    space->body = block({function(1, type("void"), "k", {}, block({}))});

    expectPhases(pub, {"", "", "int f(int );", "int f(int x){\n}"}, "public function");
    expectPhases(priv, {"", "", "", "int g(int x){\n}"}, "private function");
    expectPhases(inl, {"", "", "inline int h(int x){\n}", ""}, "inline function");
    expectPhases(templ, {"", "", "template<typename T> T t(T x){\n}", ""}, "template function");
    expectPhases(global, {"", "", "extern int v;", "int v=3;"}, "variable");
    expectPhases(alias, {"", "typedef int Id;", "", ""}, "alias");
    expectPhases(onion, {"union U;", "", "union U{public:int i;public:float f;};", ""}, "union");
    expectPhases(space, {"namespace ns{}", "namespace ns{}", "namespace ns{void k();}", "namespace ns{void k(){\n\t}}"},
                 "namespace");
}

// Two mends of plainly invalid C++: "extern static" for a module's static variable, and an
// array's size written between its element type and its name.
TEST(CppEmitterDeclarations, ModuleStaticVariablesAndArrays) {
    VariableDeclarationPtr hidden = variable(1, type("int"), "hidden", {constant("4")});
    hidden->isStatic = true;
    expectPhases(hidden, {"", "", "", "static int hidden=4;"}, "static module variable");
    EXPECT_EQ(emit(hidden, PhaseBody), "static int hidden=4;") << "static local";

    VariableDeclarationPtr table = variable(1, typeOp(ArrayType, type("int"), {}, constant("3")), "table");
    expectPhases(table, {"", "", "extern int table[3];", "int table[3];"}, "array");
    VariableDeclarationPtr grid =
        variable(1, typeOp(ArrayType, typeOp(ArrayType, type("char"), {}, constant("3")), {}, constant("4")), "grid");
    EXPECT_EQ(emit(grid, PhaseBody), "char grid[4][3];");
    VariableDeclarationPtr pointers =
        variable(1, typeOp(ArrayType, typeOp(PointerType, type("int")), {}, constant("2")), "p");
    EXPECT_EQ(emit(pointers, PhaseBody), "int * p[2];");
}

TEST(CppEmitterDeclarations, MembersByPhase) {
    VariableDeclarationPtr field = variable(1, type("int"), "x", {constant("1")}, Private);
    field->isMutable = true;
    VariableDeclarationPtr shared = variable(1, type("int"), "n", {constant("0")}, Protected);
    shared->isStatic = true;
    FunctionDeclarationPtr method = function(1, type("int"), "get", {}, block({returns(name("x"), 1)}));
    method->isConst = true;
    method->isStatic = true;
    FunctionDeclarationPtr pure = function(1, type("int"), "pure", {}, block({}));
    pure->isVirtual = pure->isAbstract = true;
    EnumDeclarationPtr kind = make<EnumDeclaration>(1);
    kind->name = "Kind";
    EnumItemPtr item = make<EnumItem>(1);
    item->name = "A";
    kind->items = {item};

    EXPECT_EQ(inClass(PhaseDeclarations, {field, shared, method, pure, kind}),
              "struct Holder{private:mutable int x=1;protected:static int n;"
              "public:static int get() const ;public:virtual int pure() = 0;public:enum Kind{A};};");
    EXPECT_EQ(inClass(PhaseImplementation, {field, shared, method, pure, kind}),
              "int Holder::n=0;int Holder::get() const {return x;\n}\n#line 1\n");
    EXPECT_EQ(inClass(PhaseForward, {field}), "struct Holder;");
    EXPECT_EQ(inClass(PhaseTypes, {field, kind}), "");
    // Inside a template class every member is written whole in the header, static members too:
    // the modules that use the template instantiate them.
    EXPECT_EQ(inClass(PhaseDeclarations, {method, shared}, templateOf({"T"})),
              "template<typename T> struct Holder{public:static int get() const {return x;\n\t}\n#line 1\n"
              "\tprotected:static int n;};template<typename T> int Holder<T>::n=0;");
    EXPECT_EQ(inClass(PhaseImplementation, {method, shared}, templateOf({"T"})), "");
}

TEST(CppEmitterDeclarations, UnnamedArgumentWithDefaultGetsAUniqueName) {
    FunctionDeclarationPtr f =
        function(1, type("void"), "f",
                 {argument(type("int"), "", constant("1")), argument(type("int"), "", constant("2")),
                  argument(type("int"), "")},
                 block({}));
    Capture capture(PhaseDeclarations);
    capture.emitter().visit(f);
    capture.emitter().visit(f);
    const std::string declared = capture.text();
    EXPECT_EQ(declared, "void f(int VORN_arg1=1,int VORN_arg2=2,int );void f(int VORN_arg1=1,int VORN_arg2=2,int );");
    EXPECT_EQ(emit(f, PhaseImplementation), "void f(int ,int ,int ){\n}");
}

TEST(CppEmitterDeclarations, ConstructorInitialisers) {
    FunctionDeclarationPtr ctor = function(
        1, TypeExpressionPtr(), "Point", {argument(type("int"), "a")},
        block({make<InitStatement>(1), make<InitStatement>(1), exprStatement(callOf(name("f"), {}), 1)}));
    auto first = boost::static_pointer_cast<InitStatement>(ctor->body->statements.front());
    first->type = type("Base");
    first->arguments = {name("a")};
    auto second = boost::static_pointer_cast<InitStatement>(*std::next(ctor->body->statements.begin()));
    second->member = "y";
    second->arguments = {constant("0")};
    EXPECT_EQ(emit(ctor, PhaseImplementation), "Point(int a):Base (a),y(0){f();\n}");
}

TEST(CppEmitterDeclarations, TemplatesAndSpecialisations) {
    TemplateDeclarationPtr parameters = templateOf({"T"});
    parameters->arguments.front()->defaultType = type("int");
    TemplateArgumentDeclarationPtr size = make<TemplateArgumentDeclaration>();
    size->type = type("int");
    size->name = "N";
    size->defaultValue = constant("4");
    parameters->arguments.push_back(size);
    ClassDeclarationPtr array = classOf(1, "Array", block({}));
    array->templateDecl = parameters;
    EXPECT_EQ(emit(array, PhaseForward), "template<typename T=int ,int N=4> struct Array;");

    ClassDeclarationPtr special = classOf(1, "Array", block({}));
    special->templateDecl = make<TemplateDeclaration>();
    special->templateDecl->specialization = templateArgs({type("bool")});
    EXPECT_EQ(emit(special, PhaseDeclarations), "template<> struct Array<bool > {};");
}

TEST(CppEmitterDeclarations, NamedOperatorIsACallOfItsMangledName) {
    EXPECT_EQ(emit(binary(name("a"), "<+>", name("b")), PhaseBody), operatorFunctionName("<+>") + "(a,b)");
}

TEST(CppEmitterMacros, VerbatimBlocksByPhaseAndSpacing) {
    TokensExpressionPtr tokens = make<TokensExpression>();
    for (auto [text, line, column] : std::vector<std::tuple<const char*, int, int>>{
             {"{", 1, 5}, {"int", 1, 6}, {"x", 1, 10}, {";", 1, 11}, {"y", 2, 0}, {"}", 2, 2}})
        tokens->push_back(Token(Operator, text, at(line, column)));
    auto verbatim = [&](const char* macro) {
        MacroStatementPtr statement = make<MacroStatement>(1);
        statement->call = make<MacroCall>();
        statement->call->name = macro;
        statement->call->arguments = {tokens};
        return statement;
    };
    expectPhases(verbatim("_HPP"), {"", "", "int x;\ny", ""}, "_HPP");
    expectPhases(verbatim("_CPP"), {"", "", "", "int x;\ny"}, "_CPP");
    EXPECT_EQ(inClass(PhaseDeclarations, {verbatim("_CPP")}), "struct Holder{int x;\n\ty};");
    EXPECT_EQ(emit(verbatim("_HPP"), PhaseBody), "int x;\ny");

    // Anything else is a call of the macro's name without its first character, as a statement.
    MacroStatementPtr other = verbatim("@trace");
    TokensExpressionPtr argument = make<TokensExpression>();
    argument->push_back(Token(Name, "a", at(1, 0)));
    argument->push_back(Token(Operator, "+", at(1, 1)));
    other->call->arguments = {argument, argument};
    EXPECT_EQ(emit(other, PhaseImplementation), "trace(a+,a+);");
}
