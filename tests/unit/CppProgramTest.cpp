// Whole modules, built by hand (tests/data/cpp/trees/) or translated from ".vn" files by the
// build manager as the vorn binary does (tests/data/cpp/source/<case>/), written by the back end
// and compared with their checked-in C++, then compiled, linked and run with g++ and clang++.
// Regenerate the expected files with: VORN_REGENERATE=1 build/tests/vorn_unit_tests --gtest_filter='*CppProgram*'
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <sstream>

#include "driver/BuildManager.hpp"
#include "CppTestTrees.hpp"
#include "driver/Driver.hpp"
#include "GoldenSupport.hpp"
#include "tree/Operator.hpp"

namespace {

using namespace cpptest;
using namespace golden;

// Builds the nodes of one module, all positioned in the module's source file.
class Source {
public:
    explicit Source(const std::string& moduleName) : module(make<Module>()), file_(moduleName + ".vn") {
        module->name = moduleName;
        module->location = at(1, 0, file_);
        module->block = block({});
    }

    template <class T>
    boost::shared_ptr<T> on(int line, boost::shared_ptr<T> node) {
        node->location = at(line, 0, file_);
        return node;
    }

    void add(const StatementPtr& statement) { module->block->statements.push_back(statement); }

    void import(std::vector<std::string> path, int inHeader, int line) {
        ImportDeclarationPtr node = on(line, make<ImportDeclaration>());
        node->path = path;
        node->inHeader = inHeader;
        module->addImport(node);
    }

    // One token per blank-separated word of the text, columns as in the text.
    TokensExpressionPtr tokens(int line, const std::string& text) {
        TokensExpressionPtr node = on(line, make<TokensExpression>());
        size_t column = 0;
        while (column < text.size()) {
            if (text[column] == ' ') {
                ++column;
                continue;
            }
            size_t end = text.find(' ', column);
            if (end == std::string::npos) end = text.size();
            node->push_back(Token(Operator, text.substr(column, end - column), at(line, static_cast<int>(column), file_)));
            column = end;
        }
        return node;
    }

    MacroStatementPtr verbatim(int line, const std::string& macro, std::initializer_list<TokensExpressionPtr> parts) {
        MacroStatementPtr statement = on(line, make<MacroStatement>());
        statement->call = on(line, make<MacroCall>());
        statement->call->name = macro;
        TokensExpressionPtr all = on(line, make<TokensExpression>());
        for (const TokensExpressionPtr& part : parts)
            for (const Token& token : *part) all->push_back(token);
        statement->call->arguments = {all};
        return statement;
    }

    ModulePtr module;

private:
    std::string file_;
};

ExpressionStatementPtr print(Source& s, int line, const std::string& format, std::initializer_list<ExpressionPtr> values) {
    std::vector<ExpressionPtr> arguments{constant("\"" + format + "\"")};
    arguments.insert(arguments.end(), values.begin(), values.end());
    FuncExpressionPtr call = make<FuncExpression>();
    call->function = name("printf");
    call->arguments = arguments;
    return s.on(line, exprStatement(call, line));
}

InitStatementPtr init(Source& s, int line, const std::string& member, TypeExpressionPtr baseType, ExpressionPtr value) {
    InitStatementPtr node = s.on(line, make<InitStatement>());
    node->member = member;
    node->type = baseType;
    node->arguments = {value};
    return node;
}

// A function with its body statements, each given its own line.
FunctionDeclarationPtr fn(Source& s, int line, TypeExpressionPtr result, const std::string& functionName,
                          std::initializer_list<ArgumentDeclarationPtr> arguments,
                          std::initializer_list<StatementPtr> body, Access access = Public) {
    return s.on(line, function(line, result, functionName, arguments, block(body), access));
}


// Classes with bases and access sections, a template class with a static member, a nested
// class, enums, aliases, variables at every level, inline and template functions, every
// statement form but loops (lowering rewrites those first) and the verbatim blocks.
ModulePtr shapesModule() {
    Source s("shapes");
    EnumDeclarationPtr color = s.on(1, make<EnumDeclaration>());
    color->name = "Color";
    EnumItemPtr red = s.on(1, make<EnumItem>());
    red->name = "Red";
    EnumItemPtr green = s.on(1, make<EnumItem>());
    green->name = "Green";
    green->value = constant("5");
    color->items = {red, green};
    s.add(color);
    TypeAliasDeclarationPtr number = s.on(2, make<TypeAliasDeclaration>());
    number->name = "Number";
    number->type = type("int");
    s.add(number);
    s.add(variable(3, type("Int"), "counter", {constant("3")}));

    // class Shape: a protected field, a constructor, an abstract and a const member, a static.
    VariableDeclarationPtr sides = s.on(6, variable(6, type("int"), "sides", {}, Protected));
    FunctionDeclarationPtr shapeCtor =
        fn(s, 7, TypeExpressionPtr(), "Shape", {argument(type("int"), "n")}, {init(s, 7, "sides", {}, name("n"))});
    FunctionDeclarationPtr abstractArea = s.on(8, function(8, type("int"), "area", {}, BlockPtr()));
    abstractArea->isVirtual = abstractArea->isAbstract = abstractArea->isConst = true;
    FunctionDeclarationPtr getSides = fn(s, 9, type("int"), "getSides", {}, {s.on(10, returns(name("sides"), 10))});
    getSides->isConst = true;
    VariableDeclarationPtr made = s.on(11, variable(11, type("int"), "made", {constant("0")}, Private));
    made->isStatic = true;
    s.add(s.on(5, classOf(5, "Shape", block({sides, shapeCtor, abstractArea, getSides, made}))));

    // class Square: Shape, with two initialisers and a nested class.
    FunctionDeclarationPtr squareCtor =
        fn(s, 15, TypeExpressionPtr(), "Square", {argument(type("int"), "s")},
           {init(s, 16, "base", type("Shape"), constant("4")), init(s, 17, "side", {}, name("s"))});
    FunctionDeclarationPtr area = fn(s, 18, type("int"), "area", {},
                                     {s.on(19, returns(binary(name("side"), "*", name("side")), 19))});
    area->isVirtual = area->isConst = true;
    FunctionDeclarationPtr where =
        fn(s, 21, type("int"), "where", {argument(type("int"), "scale", constant("2"))},
           {s.on(22, returns(binary(name("scale"), "*", constant("10")), 22))});
    ClassDeclarationPtr corner = s.on(20, classOf(20, "Corner", block({where})));
    ClassDeclarationPtr square =
        s.on(13, classOf(13, "Square", block({s.on(14, variable(14, type("int"), "side")), squareCtor, area, corner})));
    BaseDeclarationPtr shapeBase = make<BaseDeclaration>();
    shapeBase->type = type("Shape");
    shapeBase->access = Public;
    square->bases = {shapeBase};
    s.add(square);

    // template class Box<T> with a static member and a constructor.
    FunctionDeclarationPtr get = fn(s, 27, type("T"), "get", {}, {s.on(28, returns(name("value"), 28))});
    get->isConst = true;
    VariableDeclarationPtr count = s.on(26, variable(26, type("int"), "count", {constant("0")}));
    count->isStatic = true;
    FunctionDeclarationPtr boxCtor =
        fn(s, 29, TypeExpressionPtr(), "Box", {argument(type("T"), "v")}, {init(s, 30, "value", {}, name("v"))});
    ClassDeclarationPtr box =
        s.on(24, classOf(24, "Box", block({s.on(25, variable(25, type("T"), "value")), count, get, boxCtor})));
    box->templateDecl = templateOf({"T"});
    s.add(box);

    FunctionDeclarationPtr twice = fn(s, 32, type("T"), "twice", {argument(type("T"), "x")},
                                      {s.on(33, returns(binary(name("x"), "+", name("x")), 33))});
    twice->templateDecl = templateOf({"T"});
    s.add(twice);
    FunctionDeclarationPtr squareOf = fn(s, 35, type("int"), "square", {argument(type("int"), "x")},
                                         {s.on(36, returns(binary(name("x"), "*", name("x")), 36))});
    squareOf->isInline = true;
    s.add(squareOf);
    s.add(fn(s, 38, type("int"), "helper", {argument(type("int"), "x")},
             {s.on(39, returns(binary(name("x"), "-", constant("1")), 39))}, Private));
    s.add(fn(s, 41, type("int"), "areaOf", {argument(typeOp(ReferenceType, type("Shape")), "shape")},
             {s.on(42, returns(callOf(memberOf(name("shape"), "area"), {}), 42))}));

    s.add(s.verbatim(44, "_HPP", {s.tokens(44, "{ inline int seven ( ) {"), s.tokens(45, "    return 7 ;"),
                                  s.tokens(46, "} int eight ( ) ; }")}));
    s.add(s.verbatim(47, "_CPP", {s.tokens(47, "{ int eight ( ) { return 8 ; } }")}));

    // main: every statement form.
    VariableDeclarationPtr sq = s.on(51, variable(51, type("Square"), "sq", {constant("3")}));
    sq->isConstructed = true;
    FuncExpressionPtr twiceCall = callOf(name("twice"), {constant("21")});
    twiceCall->templateArgs = templateArgs({type("int")});
    VariableDeclarationPtr boxVariable =
        s.on(53, variable(53, type("Box", templateArgs({type("int")})), "box", {constant("5")}));
    boxVariable->isConstructed = true;
    ExpressionPtr boxCount = name("count", type("Box", templateArgs({type("int")})));
    SubTypeExprPtr cornerType = make<SubTypeExpr>();
    cornerType->scope = type("Square");
    cornerType->name = "Corner";
    IfStatementPtr choice = s.on(75, make<IfStatement>());
    choice->conditions = {binary(name("n"), "==", constant("0")), binary(name("n"), "==", constant("1"))};
    choice->blocks = {block({s.on(76, exprStatement(callOf(name("puts"), {constant("\"zero\"")}), 76))}),
                      block({s.on(78, exprStatement(callOf(name("puts"), {constant("\"one\"")}), 78))})};
    choice->elseBlock = block({s.on(80, exprStatement(callOf(name("puts"), {constant("\"other\"")}), 80))});
    WhileStatementPtr whileLoop = s.on(71, make<WhileStatement>());
    whileLoop->condition = binary(name("n"), "<", constant("3"));
    whileLoop->body = block({s.on(72, exprStatement(binary(name("n"), "+=", constant("1")), 72))});
    WhileStatementPtr doLoop = s.on(73, make<WhileStatement>());
    doLoop->isPostTested = true;
    doLoop->condition = binary(name("n"), ">", constant("0"));
    doLoop->body = block({s.on(74, exprStatement(binary(name("n"), "-=", constant("1")), 74))});
    TryStatementPtr attempt = s.on(81, make<TryStatement>());
    ThrowStatementPtr toss = s.on(82, make<ThrowStatement>());
    toss->value = constant("42");
    attempt->body = block({toss});
    CatchStatementPtr caught = s.on(83, make<CatchStatement>());
    caught->type = type("int");
    caught->name = "e";
    caught->body = block({print(s, 84, "caught %d\\n", {name("e")})});
    CatchStatementPtr any = s.on(85, make<CatchStatement>());
    any->body = block({s.on(86, exprStatement(callOf(name("puts"), {constant("\"other\"")}), 86))});
    attempt->handlers = {caught, any};
    VariableDeclarationPtr numbers = s.on(64, variable(64, typeOp(VectorType, type("int")), "v"));
    VariableDeclarationPtr c = s.on(87, variable(87, type("Color"), "c", {name("Green")}));

    s.add(fn(s, 50, type("int"), "main", {},
             {sq,
              print(s, 52, "%d %d %d\\n",
                    {callOf(name("areaOf"), {name("sq")}), callOf(memberOf(name("sq"), "getSides"), {}), twiceCall}),
              boxVariable, s.on(54, exprStatement(binary(boxCount, "=", constant("2")), 54)),
              print(s, 55, "%d %d %d %d\\n",
                    {callOf(memberOf(name("box"), "get"), {}), boxCount, callOf(name("square"), {constant("4")}),
                     callOf(name("helper"), {constant("10")})}),
              s.on(56, variable(56, cornerType, "corner")),
              print(s, 57, "%d %d %d %d\\n",
                    {callOf(memberOf(name("corner"), "where"), {}), callOf(name("seven"), {}),
                     callOf(name("eight"), {}), name("counter")}),
              numbers, s.on(65, exprStatement(callOf(memberOf(name("v"), "push_back"), {constant("7")}), 65)),
              s.on(65, exprStatement(callOf(memberOf(name("v"), "push_back"), {constant("8")}), 65)),
              s.on(70, variable(70, type("int"), "n", {constant("0")})), whileLoop, doLoop, choice, attempt, c,
              print(s, 88, "%d\\n", {binary(parens({binary(name("c"), "+", constant("1"))}), "*", constant("2"))}),
              s.on(89, returns(constant("0"), 89))}));
    return s.module;
}

ModulePtr pointModule() {
    Source s("geo.point");
    ClassDeclarationPtr point = s.on(1, classOf(1, "Point", block({s.on(2, variable(2, type("int"), "x")),
                                                                    s.on(3, variable(3, type("int"), "y"))})));
    s.add(point);
    s.add(fn(s, 5, type("int"), "dot", {argument(type("Point"), "a"), argument(type("Point"), "b")},
             {s.on(6, returns(binary(binary(memberOf(name("a"), "x"), "*", memberOf(name("b"), "x")), "+",
                                     binary(memberOf(name("a"), "y"), "*", memberOf(name("b"), "y"))),
                              6))}));
    return s.module;
}

ModulePtr utilModule() {
    Source s("util");
    s.add(fn(s, 1, type("int"), "clampTo", {argument(type("int"), "v"), argument(type("int"), "hi")},
             {s.on(2, returns(make<TernaryOperExpression>(), 2))}));
    TernaryOperExpressionPtr pick = make<TernaryOperExpression>();
    pick->condition = binary(name("v"), ">", name("hi"));
    pick->whenTrue = name("hi");
    pick->whenFalse = name("v");
    boost::static_pointer_cast<ReturnStatement>(
        boost::static_pointer_cast<FunctionDeclaration>(s.module->block->statements.front())->body->statements.front())
        ->value = pick;
    return s.module;
}

// Imports one module into its header (it names Point in a declaration) and one only into
// its implementation.
ModulePtr appModule() {
    Source s("app");
    s.import({"geo", "point"}, 1, 1);
    s.import({"util"}, 0, 2);
    s.add(fn(s, 4, type("int"), "norm", {argument(type("Point"), "p")},
             {s.on(5, returns(callOf(name("dot"), {name("p"), name("p")}), 5))}));
    VariableDeclarationPtr p = s.on(8, variable(8, type("Point"), "p"));
    s.add(fn(s, 7, type("int"), "main", {},
             {p, s.on(9, exprStatement(binary(memberOf(name("p"), "x"), "=", constant("3")), 9)),
              s.on(9, exprStatement(binary(memberOf(name("p"), "y"), "=", constant("4")), 9)),
              print(s, 10, "%d %d\\n",
                    {callOf(name("norm"), {name("p")}), callOf(name("clampTo"), {constant("30"), constant("20")})}),
              s.on(11, returns(constant("0"), 11))}));
    return s.module;
}

std::string treesDirectory() { return std::string(VORN_SOURCE_DIR) + "/tests/data/cpp/trees/"; }
std::string sourcesDirectory() { return std::string(VORN_SOURCE_DIR) + "/tests/data/cpp/source/"; }

class CppProgramTest : public ::testing::Test {
protected:
    void SetUp() override { baseDirectory = freshDirectory("program"); }

    // Writes the modules built by hand, then checks each generated file against the expected one.
    void writeAndCompare(const std::string& label, const std::vector<ModulePtr>& modules) {
        CppBackEnd backEnd;
        for (const ModulePtr& module : modules) backEnd.writeModule(*module);
        const std::string expectedDirectory = treesDirectory() + label + "/";
        for (const ModulePtr& module : modules) {
            ModuleName moduleName;
            moduleName.components = splitDottedName(module->name);
            for (const char* extension : {"hpp2", "hpp", "cpp"})
                checkOrRegenerate(expectedDirectory + module->name + "." + extension,
                                  readFile(outputPath(moduleName, extension)));
        }
    }

    void compileAndRunTree(const std::string& label, const std::vector<std::string>& sources) {
        std::vector<std::string> paths;
        for (const std::string& source : sources) paths.push_back(baseDirectory + source);
        compileAndRun(paths, baseDirectory, baseDirectory + label, treesDirectory() + label + "/output.txt");
    }
};

TEST_F(CppProgramTest, EveryConstructInOneModule) {
    writeAndCompare("shapes", {shapesModule()});
    compileAndRunTree("shapes", {"_shapes.cpp"});
}

TEST_F(CppProgramTest, ImportsIncludeHeadersByNeed) {
    std::filesystem::create_directories(baseDirectory + "geo");
    writeAndCompare("imports", {pointModule(), utilModule(), appModule()});
    compileAndRunTree("imports", {"_app.cpp", "_util.cpp", "geo/_point.cpp"});
}

// Each directory under tests/data/cpp/source is one program, translated as the vorn binary
// translates it: its sources are copied into a fresh base directory and every ".vn" file there is
// named as an input, so the build manager loads, analyses and writes them with the built-in
// library. The expected files are named by the dotted module name; the #line directives name
// the sources relative to the base directory.
class CppProgramSource : public CppProgramTest, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        CppProgramTest::SetUp();
        runOptions.vornDir = std::string(VORN_SOURCE_DIR) + "/";
    }

    // Translates the case's modules; the generated cpp files, or nothing when the build failed
    // or reported anything.
    std::vector<ModuleName> translate(const std::string& caseName) {
        const std::string base = freshDirectory("source");
        // Only the sources: an expected "Geo.hpp" beside "Geo.vn" would be found first by an import.
        std::string reported;
        const bool built = translateCopiedSources(sourcesDirectory() + caseName, base, build, reported);
        EXPECT_TRUE(built) << reported;
        EXPECT_EQ(reported, "") << "the translation reported something";
        if (!built) return {};
        return std::vector<ModuleName>(build.converted.begin(), build.converted.end());
    }

    BuildManager build;
};

TEST_P(CppProgramSource, TranslatesCompilesAndRuns) {
    const std::string expectedDirectory = sourcesDirectory() + GetParam() + "/";
    const std::vector<ModuleName> written = translate(GetParam());
    ASSERT_FALSE(written.empty());
    std::vector<std::string> sources;
    for (const ModuleName& name : written) {
        for (const char* extension : {"hpp2", "hpp", "cpp"})
            checkOrRegenerate(expectedDirectory + dottedName(name) + "." + extension,
                              replaceAll(readFile(outputPath(name, extension)), baseDirectory, ""));
        sources.push_back(outputPath(name, "cpp"));
    }
    compileAndRun(sources, baseDirectory, baseDirectory + GetParam(), expectedDirectory + "output.txt");
}

INSTANTIATE_TEST_SUITE_P(Cases, CppProgramSource,
                         ::testing::Values("basics", "modules", "classes", "templates", "statements", "operators",
                                           "operands"));

// The #line directives make the C++ compiler blame the ".vn" line of a type error.
class CppProgramSourceError : public CppProgramSource {};

TEST_F(CppProgramSourceError, CompilerErrorNamesTheVnFileAndLine) {
    if (!haveCompiler("g++")) GTEST_SKIP() << "no g++";
    ASSERT_EQ(translate("fail_line").size(), 1u);
    std::string output;
    EXPECT_NE(runCommand("g++ -std=c++17 -fsyntax-only -I'" + supportIncludeDirectory() + "' '" + baseDirectory +
                             "_Wrong.cpp'",
                         output),
              0);
    EXPECT_NE(output.find(baseDirectory + "Wrong.vn:5:"), std::string::npos) << output;
}

}  // namespace
