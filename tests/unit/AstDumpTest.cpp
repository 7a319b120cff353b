#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include "tree/Ast.hpp"
#include "tree/AstDump.hpp"

namespace {

SourceLocation at(int line, int column) { return SourceLocation(internFileName("d.vn"), line, column); }

template <class T>
boost::shared_ptr<T> node(int line = -1, int column = -1) {
    auto n = boost::make_shared<T>();
    if (line >= 0) n->location = at(line, column);
    return n;
}

SimpleTypeExprPtr simpleType(const char* name, int line, int column) {
    auto t = node<SimpleTypeExpr>(line, column);
    t->name = name;
    return t;
}

ExpressionPtr constant(const char* value, int line, int column) {
    auto c = node<ConstantExpression>(line, column);
    c->value = value;
    return c;
}

// class Point : public Base  /  private  /  int x = 1  /  int twice(int n) const: return n * 2
ModulePtr sampleModule() {
    auto module = node<Module>(1, 0);
    module->name = "geo";
    auto import = node<ImportDeclaration>(1, 0);
    import->path = {"Library", "*"};
    import->isQualified = true;
    module->addImport(import);
    module->includes = {"<vector>"};
    module->block = node<Block>(2, 0);

    auto cls = node<ClassDeclaration>(2, 0);
    cls->name = "Point";
    auto base = node<BaseDeclaration>(2, 14);
    base->access = Public;
    base->type = simpleType("Base", 2, 21);
    cls->bases.push_back(base);
    cls->body = node<Block>(3, 2);
    cls->body->access = Private;

    auto x = node<VariableDeclaration>(4, 2);
    x->name = "x";
    x->access = Private;
    x->type = simpleType("int", 4, 2);
    x->initializers.push_back(constant("1", 4, 10));
    cls->body->statements.push_back(x);

    auto f = node<FunctionDeclaration>(5, 2);
    f->name = "twice";
    f->access = Private;
    f->type = simpleType("int", 5, 2);
    f->isConst = true;
    auto n = node<ArgumentDeclaration>(5, 12);
    n->name = "n";
    n->type = simpleType("int", 5, 12);
    f->arguments.push_back(n);
    f->body = node<Block>(6, 4);
    auto ret = node<ReturnStatement>(6, 4);
    auto times = node<OperExpression>(6, 11);
    auto name = node<StaticExpression>(6, 11);
    name->name = "n";
    times->left = name;
    times->op = "*";
    times->right = constant("2", 6, 15);
    ret->value = times;
    f->body->statements.push_back(ret);
    cls->body->statements.push_back(f);

    module->block->statements.push_back(cls);
    return module;
}

TEST(AstDumpTest, ModuleGolden) {
    const char* expected =
        "Module @1:0\n"
        "  name: \"geo\"\n"
        "  complete: true\n"
        "  imports[0]: ImportDeclaration @1:0\n"
        "    access: public\n"
        "    isQualified: true\n"
        "    path: [\"Library\", \"*\"]\n"
        "    inHeader: 1\n"
        "  includes: [\"<vector>\"]\n"
        "  block: Block @2:0\n"
        "    access: public\n"
        "    statements[0]: ClassDeclaration @2:0\n"
        "      name: \"Point\"\n"
        "      access: public\n"
        "      bases[0]: BaseDeclaration @2:14\n"
        "        type: SimpleTypeExpr @2:21\n"
        "          name: \"Base\"\n"
        "        access: public\n"
        "      body: Block @3:2\n"
        "        access: private\n"
        "        statements[0]: VariableDeclaration @4:2\n"
        "          name: \"x\"\n"
        "          access: private\n"
        "          type: SimpleTypeExpr @4:2\n"
        "            name: \"int\"\n"
        "          initializers[0]: ConstantExpression @4:10\n"
        "            value: \"1\"\n"
        "            encoding: none\n"
        "        statements[1]: FunctionDeclaration @5:2\n"
        "          name: \"twice\"\n"
        "          access: private\n"
        "          type: SimpleTypeExpr @5:2\n"
        "            name: \"int\"\n"
        "          arguments[0]: ArgumentDeclaration @5:12\n"
        "            name: \"n\"\n"
        "            access: public\n"
        "            type: SimpleTypeExpr @5:12\n"
        "              name: \"int\"\n"
        "          isConst: true\n"
        "          body: Block @6:4\n"
        "            access: public\n"
        "            statements[0]: ReturnStatement @6:4\n"
        "              value: OperExpression @6:11\n"
        "                left: StaticExpression @6:11\n"
        "                  name: \"n\"\n"
        "                operator: \"*\"\n"
        "                right: ConstantExpression @6:15\n"
        "                  value: \"2\"\n"
        "                  encoding: none\n";
    EXPECT_EQ(dumpTree(sampleModule()), expected);
}

TEST(AstDumpTest, DumpIsStableAndOptionallyWithoutPositions) {
    ModulePtr module = sampleModule();
    const std::string once = dumpTree(module);
    EXPECT_EQ(dumpTree(module), once);
    const std::string bare = dumpTree(module, false);
    EXPECT_EQ(bare.find('@'), std::string::npos);
    EXPECT_EQ(bare.substr(0, 7), "Module\n");
    // Passes' bookkeeping is no content: linking a node leaves its dump alone.
    module->block->statements.front()->parent = module->block.get();
    module->block->statements.front()->processed = true;
    EXPECT_EQ(dumpTree(module), once);
}

TEST(AstDumpTest, TypesWithOperatorsAndNesting) {
    // Outer.Inner[int]* -> string const
    auto sub = node<SubTypeExpr>(1, 0);
    sub->scope = simpleType("Outer", 1, 0);
    sub->name = "Inner";
    sub->templateArgs = node<TemplateCall>(1, 11);
    sub->templateArgs->arguments.push_back(simpleType("int", 1, 12));
    auto pointer = node<TypeOperator>(1, 16);
    pointer->kind = PointerType;
    pointer->operand = sub;
    auto constString = node<TypeOperator>(1, 28);
    constString->kind = ConstType;
    constString->operand = simpleType("string", 1, 21);
    auto map = node<TypeOperator>(1, 18);
    map->kind = MapType;
    map->operand = pointer;
    map->valueType = constString;
    const char* expected =
        "TypeOperator\n"
        "  kind: map\n"
        "  operand: TypeOperator\n"
        "    kind: pointer\n"
        "    operand: SubTypeExpr\n"
        "      scope: SimpleTypeExpr\n"
        "        name: \"Outer\"\n"
        "      name: \"Inner\"\n"
        "      templateArgs: TemplateCall\n"
        "        arguments[0]: SimpleTypeExpr\n"
        "          name: \"int\"\n"
        "  valueType: TypeOperator\n"
        "    kind: const\n"
        "    operand: SimpleTypeExpr\n"
        "      name: \"string\"\n";
    EXPECT_EQ(dumpTree(map, false), expected);
}

TEST(AstDumpTest, MacroCallTokensAndEscapedTexts) {
    auto statement = node<MacroStatement>();
    statement->call = node<MacroCall>();
    statement->call->name = "_code";
    auto argument = node<TokensExpression>();
    argument->push_back(Token(Name, "a", at(1, 6)));
    argument->push_back(Token(String, "\"x\\ty\"", at(1, 8)));
    argument->push_back(Token(Whitespace, "\t\x01", at(1, 14)));
    statement->call->arguments.push_back(argument);
    statement->call->arguments.push_back(node<TokensExpression>());  // "()" gives one empty argument
    auto constant = node<ConstantExpression>();
    constant->value = "\"\xc3\xa9\"";
    constant->encoding = Encoding8;
    auto expressionStatement = node<ExpressionStatement>();
    expressionStatement->expression = constant;

    const char* expected =
        "MacroStatement\n"
        "  call: MacroCall\n"
        "    name: \"_code\"\n"
        "    arguments[0]: TokensExpression\n"
        "      tokens: name \"a\", string \"\\\"x\\\\ty\\\"\", kind 11 \"\\t\\x01\"\n"
        "    arguments[1]: TokensExpression\n";
    EXPECT_EQ(dumpTree(statement), expected);
    EXPECT_EQ(dumpTree(expressionStatement),
              "ExpressionStatement\n"
              "  expression: ConstantExpression\n"
              "    value: \"\\\"\\xc3\\xa9\\\"\"\n"
              "    encoding: 8\n");
}

TEST(AstDumpTest, IfWithElseAndAbsentEntries) {
    auto ifStatement = node<IfStatement>();
    ifStatement->conditions = {constant("1", -1, -1), ExpressionPtr()};
    ifStatement->blocks = {node<Block>(), node<Block>()};
    ifStatement->elseBlock = node<Block>();
    const char* expected =
        "IfStatement\n"
        "  conditions[0]: ConstantExpression\n"
        "    value: \"1\"\n"
        "    encoding: none\n"
        "  conditions[1]: (null)\n"
        "  blocks[0]: Block\n"
        "    access: public\n"
        "  blocks[1]: Block\n"
        "    access: public\n"
        "  elseBlock: Block\n"
        "    access: public\n";
    EXPECT_EQ(dumpTree(ifStatement), expected);
    EXPECT_EQ(dumpTree(ASTObjectPtr()), "(null)\n");
}

TEST(AstDumpTest, PropertyAccessorsAndRanges) {
    auto property = node<PropertyDeclaration>();
    property->name = "count";
    property->type = simpleType("int", -1, -1);
    property->getter = node<Block>();
    property->getterName = "getCount";
    property->getterModifiers.isVirtual = true;
    property->setterModifiers.isInline = true;
    auto range = node<RangeExpression>();
    range->startIncluded = true;
    range->start = constant("0", -1, -1);
    auto loop = node<ForStatement>();
    auto part = node<ForPart>();
    part->name = "i";
    part->isReverse = true;
    part->range = range;
    loop->parts.push_back(part);
    property->getter->statements.push_back(loop);
    const char* expected =
        "PropertyDeclaration\n"
        "  name: \"count\"\n"
        "  access: public\n"
        "  type: SimpleTypeExpr\n"
        "    name: \"int\"\n"
        "  getter: Block\n"
        "    access: public\n"
        "    statements[0]: ForStatement\n"
        "      parts[0]: ForPart\n"
        "        name: \"i\"\n"
        "        access: public\n"
        "        isReverse: true\n"
        "        range: RangeExpression\n"
        "          startIncluded: true\n"
        "          start: ConstantExpression\n"
        "            value: \"0\"\n"
        "            encoding: none\n"
        "  getterName: \"getCount\"\n"
        "  getterVirtual: true\n"
        "  setterInline: true\n";
    EXPECT_EQ(dumpTree(property), expected);
}

}  // namespace
