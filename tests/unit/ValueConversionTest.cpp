// Conversions of the compile-time values: every row of the table for each target, in its
// order, the tree-node rows through the registered hooks, and the NoCast and lexical errors.
#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "ValueTestSupport.hpp"

using namespace valuetest;

namespace {

struct ValueConversionTest : ::testing::Test {
    FakeNodeHooks hooks;
};

const char* const badText = "bad lexical cast: source type value could not be interpreted as target";

struct Target {
    const char* name;
    std::function<ObjectPtr(const ObjectPtr&)> convert;
};
const Target toInt{"int", [](const ObjectPtr& v) { return ObjectPtr(castTo<int>(v)); }};
const Target toBool{"bool", [](const ObjectPtr& v) { return ObjectPtr(castTo<bool>(v)); }};
const Target toChar{"char", [](const ObjectPtr& v) { return ObjectPtr(castTo<char>(v)); }};
const Target toUnsigned{"unsigned int", [](const ObjectPtr& v) { return ObjectPtr(castTo<unsigned int>(v)); }};
const Target toString{"string", [](const ObjectPtr& v) { return ObjectPtr(castTo<std::string>(v)); }};

struct ConversionCase {
    const Target& target;
    ObjectPtr value;
    const char* expected;  // the converted value, or the error text
};

std::string outcome(const ConversionCase& c) {
    try {
        return describe(c.target.convert(c.value));
    } catch (const CompileError& e) {
        return e.what();
    }
}

TEST_F(ValueConversionTest, TableRowsForEachTarget) {
    const ConversionCase cases[] = {
        // int: int; bool; char; unsigned int; string; one Number token
        {toInt, num(-4), "int:-4"},
        {toInt, boo(true), "int:1"},
        {toInt, boo(false), "int:0"},
        {toInt, chr('A'), "int:65"},
        {toInt, uns(7), "int:7"},
        {toInt, uns(UINT_MAX), "int:-1"},
        {toInt, str("-42"), "int:-42"},
        {toInt, str("x"), badText},
        {toInt, str(" 1"), badText},
        {toInt, str("0x10"), badText},
        {toInt, str("99999999999"), badText},
        {toInt, tokens({numberToken("17")}), "int:17"},
        {toInt, tokens({numberToken("1.5")}), badText},
        {toInt, tokens({numberToken("1"), numberToken("2")}), "No conversion from TokensExpression to int"},
        {toInt, tokens({stringToken("\"1\"")}), "No conversion from TokensExpression to int"},
        {toInt, tokens({}), "No conversion from TokensExpression to int"},
        {toInt, constant("1"), "No conversion from ConstantExpression to int"},
        {toInt, list({}), "No conversion from vector<T> to int"},
        {toInt, range(1, 2), "No conversion from Range to int"},
        // bool: bool; int; char and unsigned int; string; one Number token
        {toBool, boo(false), "bool:false"},
        {toBool, num(0), "bool:false"},
        {toBool, num(-3), "bool:true"},
        {toBool, chr('\0'), "bool:false"},
        {toBool, chr('a'), "bool:true"},
        {toBool, uns(0), "bool:false"},
        {toBool, uns(9), "bool:true"},
        {toBool, str("1"), "bool:true"},
        {toBool, str("0"), "bool:false"},
        {toBool, str("true"), badText},
        {toBool, tokens({numberToken("1")}), "bool:true"},
        {toBool, tokens({numberToken("2")}), badText},
        {toBool, tokens({numberToken("1"), numberToken("1")}), "No conversion from TokensExpression to bool"},
        {toBool, list({}), "No conversion from vector<T> to bool"},
        // char: char; bool, int and unsigned int; string and one Number token as a code
        {toChar, chr('z'), "char:122"},
        {toChar, boo(true), "char:1"},
        {toChar, num(65), "char:65"},
        {toChar, num(-1), "char:-1"},
        {toChar, uns(66), "char:66"},
        {toChar, str("67"), "char:67"},
        {toChar, str("C"), badText},
        {toChar, tokens({numberToken("68")}), "char:68"},
        {toChar, tokens({stringToken("'a'")}), "No conversion from TokensExpression to char"},
        {toChar, str("a")->member("size"), "No conversion from Buildin function to char"},
        // unsigned int: unsigned int; bool, char and int; string and one Number token
        {toUnsigned, uns(5), "unsigned int:5"},
        {toUnsigned, boo(true), "unsigned int:1"},
        {toUnsigned, chr('a'), "unsigned int:97"},
        {toUnsigned, num(-1), "unsigned int:4294967295"},
        {toUnsigned, str("4000000000"), "unsigned int:4000000000"},
        {toUnsigned, str("five"), badText},
        {toUnsigned, tokens({numberToken("12")}), "unsigned int:12"},
        {toUnsigned, constant("12"), "No conversion from ConstantExpression to unsigned int"},
        // string: string; int, char, unsigned int and bool as text; ConstantExpression; one String token
        {toString, str("s"), "string:s"},
        {toString, num(-12), "string:-12"},
        {toString, chr('x'), "string:x"},
        {toString, uns(4000000000u), "string:4000000000"},
        {toString, boo(true), "string:1"},
        {toString, boo(false), "string:0"},
        {toString, constant("\"quoted\\n\""), "string:\"quoted\\n\""},
        {toString, constant("0x1F"), "string:0x1F"},
        {toString, tokens({stringToken("\"s\"")}), "string:\"s\""},
        {toString, tokens({numberToken("1")}), "No conversion from TokensExpression to string"},
        {toString, tokens({stringToken("\"a\""), stringToken("\"b\"")}), "No conversion from TokensExpression to string"},
        {toString, list({str("a")}), "No conversion from vector<T> to string"},
        {toString, range(1, 2), "No conversion from Range to string"},
        {toString, ObjectPtr(new FakeStatement), "No conversion from ExpressionStatement to string"},
        // no value at all
        {toInt, ObjectPtr(), "No conversion from void to int"},
        {toString, ObjectPtr(), "No conversion from void to string"},
    };
    for (const ConversionCase& c : cases)
        EXPECT_EQ(outcome(c), c.expected) << describe(c.value) << " to " << c.target.name;
}

TEST_F(ValueConversionTest, ErrorsAreOfTheirClass) {
    EXPECT_EQ(errorOf<NoCast>([] { castTo<int>(list({})); }), "No conversion from vector<T> to int");
    try {
        castTo<int>(str("x"));
        ADD_FAILURE() << "no error";
    } catch (const CompileError& e) {
        EXPECT_EQ(dynamic_cast<const MacroError*>(&e), nullptr);
        EXPECT_EQ(e.severity, SeverityError);
        EXPECT_FALSE(e.position.hasFile());
    }
}

TEST_F(ValueConversionTest, AValueOfTheTargetTypeIsItselfOthersAreNew) {
    const ObjectPtr values[] = {num(1), uns(1), chr('1'), boo(true), str("1")};
    for (const Target* target : {&toInt, &toUnsigned, &toChar, &toBool, &toString}) {
        for (const ObjectPtr& value : values) {
            bool sameType = std::string(value->typeName()) == target->name;
            EXPECT_EQ(target->convert(value) == value, sameType) << describe(value) << " to " << target->name;
        }
    }
}

// A node that is both a constant and a single String token shows which row is tested first.
struct ConstantAndToken : FakeConstant {};

TEST_F(ValueConversionTest, RowsAreTestedInTableOrder) {
    NodeConversions both = nodeConversions();
    both.singleToken = [](const Object& value) -> const Token* {
        static const Token token = stringToken("\"token\"");
        return dynamic_cast<const ConstantAndToken*>(&value) ? &token : nullptr;
    };
    setNodeConversions(both);
    boost::shared_ptr<ConstantAndToken> node(new ConstantAndToken);
    node->text = "constant";
    EXPECT_EQ(describe(castTo<std::string>(node)), "string:constant");
}

TEST_F(ValueConversionTest, MacroArgumentComparedWithAnInt) {
    EXPECT_EQ(describe(num(17)->binaryOperator("==", tokens({numberToken("17")}))), "bool:true");
    EXPECT_EQ(describe(num(16)->binaryOperator("<", tokens({numberToken("17")}))), "bool:true");
    EXPECT_EQ(errorOf<NoCast>([] { num(17)->binaryOperator("==", tokens({numberToken("1"), numberToken("7")})); }),
              "No conversion from TokensExpression to int");
}

TEST_F(ValueConversionTest, StatementConversion) {
    ObjectPtr statement(new FakeStatement);
    EXPECT_EQ(castToStatement(statement), statement);
    EXPECT_STREQ(castToStatement(tokens({Token(Name, "ok", SourceLocation())}))->typeName(), "ExpressionStatement");
    const struct {
        ObjectPtr value;
        const char* expected;
    } failures[] = {
        {tokens({Token(Name, "bad", SourceLocation())}), "No conversion from TokensExpression to Statement"},
        {constant("1"), "No conversion from ConstantExpression to Statement"},
        {num(1), "No conversion from int to Statement"},
        {str("ok"), "No conversion from string to Statement"},
        {ObjectPtr(), "No conversion from void to Statement"},
    };
    for (const auto& f : failures) EXPECT_EQ(errorOf<NoCast>([&] { castToStatement(f.value); }), f.expected);
}

TEST(ValueConversionWithoutHooksTest, NodesConvertToNothing) {
    setNodeConversions(NodeConversions());
    EXPECT_EQ(errorOf<NoCast>([] { castTo<int>(tokens({numberToken("1")})); }),
              "No conversion from TokensExpression to int");
    EXPECT_EQ(errorOf<NoCast>([] { castTo<std::string>(constant("1")); }),
              "No conversion from ConstantExpression to string");
    EXPECT_EQ(errorOf<NoCast>([] { castToStatement(ObjectPtr(new FakeStatement)); }),
              "No conversion from ExpressionStatement to Statement");
}

TEST(ValueReadTextTest, ReadsAsTheConversionsDo) {
    EXPECT_EQ(readText<int>("-2147483648"), INT_MIN);
    EXPECT_EQ(readText<unsigned int>("4294967295"), UINT_MAX);
    EXPECT_EQ(readText<bool>("1"), true);
    EXPECT_EQ(readText<char>("65"), 'A');
    EXPECT_EQ(errorOf<CompileError>([] { readText<int>("2147483648"); }), badText);
    EXPECT_EQ(errorOf<CompileError>([] { readText<int>("12abc"); }), badText);
    EXPECT_EQ(errorOf<CompileError>([] { readText<int>(""); }), badText);
}

}  // namespace
