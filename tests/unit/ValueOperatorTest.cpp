// Operators of the compile-time values: the unary and binary tables, in-place steps seen
// through shared values, arithmetic faults, and the NoOperator text.
#include <gtest/gtest.h>

#include <climits>

#include "ValueTestSupport.hpp"

using namespace valuetest;

namespace {

// One operator on its operands and what it must give: the described result, the value after
// an in-place step, or the text of the error it raises.
struct UnaryCase {
    ObjectPtr value;
    const char* op;
    const char* expected;
};

struct BinaryCase {
    ObjectPtr left;
    const char* op;
    ObjectPtr right;
    const char* expected;
};

std::string shown(const BinaryCase& c) { return describe(c.left) + " " + c.op + " " + describe(c.right); }

void expectResults(std::initializer_list<BinaryCase> cases) {
    for (const BinaryCase& c : cases)
        EXPECT_EQ(describe(c.left->binaryOperator(c.op, c.right)), c.expected) << shown(c);
}

template <class E>
void expectErrors(std::initializer_list<BinaryCase> cases) {
    for (const BinaryCase& c : cases)
        EXPECT_EQ(errorOf<E>([&] { c.left->binaryOperator(c.op, c.right); }), c.expected) << shown(c);
}

TEST(ValueOperatorTest, UnaryTable) {
    const UnaryCase cases[] = {
        {num(5), "~", "int:-6"},
        {num(5), "+", "int:5"},
        {num(5), "-", "int:-5"},
        {num(5), "!", "bool:false"},
        {num(0), "!", "bool:true"},
        {num(INT_MIN), "-", "int:-2147483648"},
        {num(5), "<<", "none"},
        {num(5), "*", "none"},
        {uns(5), "-", "unsigned int:4294967291"},
        {uns(0), "~", "unsigned int:4294967295"},
        {uns(5), "+", "unsigned int:5"},
        {uns(0), "!", "bool:true"},
        {chr('a'), "-", "char:-97"},
        {chr('a'), "~", "char:-98"},
        {chr('a'), "+", "char:97"},
        {chr(-128), "-", "char:-128"},
        {chr('\0'), "!", "bool:true"},
        {chr('a'), "!", "bool:false"},
        {boo(true), "!", "bool:false"},
        {boo(false), "!", "bool:true"},
        {boo(true), "-", "none"},
        {boo(true), "++", "none"},
    };
    for (const UnaryCase& c : cases)
        EXPECT_EQ(describe(c.value->unaryOperator(c.op)), c.expected) << describe(c.value) << " " << c.op;
}

TEST(ValueOperatorTest, UnaryOperatorGivesANewValue) {
    ObjectPtr five = num(5);
    ObjectPtr plus = five->unaryOperator("+");
    EXPECT_NE(plus, five);
    five->unaryOperator("++");
    EXPECT_EQ(describe(plus), "int:5");
}

TEST(ValueOperatorTest, StepsChangeTheSharedValueInPlace) {
    const UnaryCase cases[] = {
        {num(5), "++", "int:6"},
        {num(5), "postfix++", "int:6"},
        {num(5), "--", "int:4"},
        {num(5), "postfix--", "int:4"},
        {num(INT_MAX), "++", "int:-2147483648"},
        {num(INT_MIN), "--", "int:2147483647"},
        {uns(0), "--", "unsigned int:4294967295"},
        {uns(UINT_MAX), "postfix++", "unsigned int:0"},
        {chr('a'), "++", "char:98"},
        {chr(127), "++", "char:-128"},
        {chr(-128), "postfix--", "char:127"},
    };
    for (const UnaryCase& c : cases) {
        ObjectPtr otherHolder = c.value;
        EXPECT_EQ(describe(c.value->unaryOperator(c.op)), "none");
        EXPECT_EQ(describe(otherHolder), c.expected) << c.op;
    }
}

ObjectPtr sizeFunction() {
    return ObjectPtr(new BuildinFunction<unsigned int()>([] { return 1u; }));
}

TEST(ValueOperatorTest, ValuesWithoutUnaryOperatorsRaiseNoOperator) {
    const UnaryCase cases[] = {
        {str("a"), "-", "No operator - for type string"},
        {list({}), "-", "No operator - for type vector<T>"},
        {range(1, 2), "-", "No operator - for type Range"},
        {sizeFunction(), "-", "No operator - for type Buildin function"},
    };
    for (const UnaryCase& c : cases)
        EXPECT_EQ(errorOf<NoOperator>([&] { c.value->unaryOperator(c.op); }), c.expected);
}

TEST(ValueOperatorTest, NumberOperators) {
    expectResults({
        // int
        {num(7), "==", num(7), "bool:true"},
        {num(7), "!=", num(7), "bool:false"},
        {num(7), "<", num(3), "bool:false"},
        {num(7), ">", num(3), "bool:true"},
        {num(7), "<=", num(7), "bool:true"},
        {num(7), ">=", num(8), "bool:false"},
        {num(7), "||", num(0), "bool:true"},
        {num(0), "||", num(0), "bool:false"},
        {num(7), "&&", num(0), "bool:false"},
        {num(7), "&&", num(-1), "bool:true"},
        {num(7), "+", num(3), "int:10"},
        {num(7), "-", num(10), "int:-3"},
        {num(7), "/", num(2), "int:3"},
        {num(-7), "/", num(2), "int:-3"},
        {num(7), "*", num(-3), "int:-21"},
        {num(7), "%", num(3), "int:1"},
        {num(-7), "%", num(3), "int:-1"},
        {num(6), "|", num(3), "int:7"},
        {num(6), "&", num(3), "int:2"},
        {num(6), "^", num(3), "int:5"},
        {num(INT_MAX), "+", num(1), "int:-2147483648"},
        {num(INT_MIN), "-", num(1), "int:2147483647"},
        {num(INT_MAX), "*", num(2), "int:-2"},
        {num(INT_MIN), "/", num(1), "int:-2147483648"},
        // unsigned int
        {uns(7), "==", uns(7), "bool:true"},
        {uns(7), "!=", uns(8), "bool:true"},
        {uns(7), "<", uns(8), "bool:true"},
        {uns(7), ">", uns(8), "bool:false"},
        {uns(7), "<=", uns(6), "bool:false"},
        {uns(7), ">=", uns(7), "bool:true"},
        {uns(0), "||", uns(1), "bool:true"},
        {uns(2), "&&", uns(1), "bool:true"},
        {uns(7), "+", uns(3), "unsigned int:10"},
        {uns(0), "-", uns(1), "unsigned int:4294967295"},
        {uns(7), "/", uns(2), "unsigned int:3"},
        {uns(UINT_MAX), "*", uns(UINT_MAX), "unsigned int:1"},
        {uns(7), "%", uns(4), "unsigned int:3"},
        {uns(6), "|", uns(1), "unsigned int:7"},
        {uns(6), "&", uns(2), "unsigned int:2"},
        {uns(6), "^", uns(6), "unsigned int:0"},
        // char; the right operand is converted to char first
        {chr('a'), "==", chr('a'), "bool:true"},
        {chr('a'), "!=", chr('b'), "bool:true"},
        {chr('a'), "<", chr('b'), "bool:true"},
        {chr('a'), ">", chr('b'), "bool:false"},
        {chr('a'), "<=", chr('a'), "bool:true"},
        {chr('a'), ">=", chr('b'), "bool:false"},
        {chr('\0'), "||", chr('\0'), "bool:false"},
        {chr('a'), "&&", chr('b'), "bool:true"},
        {chr('a'), "+", num(1), "char:98"},
        {chr(127), "+", chr(1), "char:-128"},
        {chr('b'), "-", chr('a'), "char:1"},
        {chr(100), "/", chr(7), "char:14"},
        {chr(-128), "/", chr(-1), "char:-128"},
        {chr(100), "*", chr(3), "char:44"},
        {chr(100), "%", chr(7), "char:2"},
        {chr(-128), "%", chr(-1), "char:0"},
        {chr('a'), "|", chr(' '), "char:97"},
        {chr('a'), "&", chr(' '), "char:32"},
        {chr('a'), "^", chr(' '), "char:65"},
    });
}

TEST(ValueOperatorTest, BoolAndStringOperators) {
    expectResults({
        {boo(true), "==", boo(true), "bool:true"},
        {boo(true), "!=", boo(true), "bool:false"},
        {boo(true), "|", boo(false), "bool:true"},
        {boo(true), "&", boo(false), "bool:false"},
        {boo(true), "^", boo(true), "bool:false"},
        {boo(true), "^", boo(false), "bool:true"},
        {boo(false), "||", boo(false), "bool:false"},
        {boo(true), "&&", boo(true), "bool:true"},
        {boo(true), "==", num(5), "bool:true"},
        {str("ab"), "+", str("cd"), "string:abcd"},
        {str("ab"), "<", str("b"), "bool:true"},
        {str("ab"), ">", str("a"), "bool:true"},
        {str("ab"), "<=", str("ab"), "bool:true"},
        {str("ab"), ">=", str("b"), "bool:false"},
        {str("ab"), "==", str("ab"), "bool:true"},
        {str("ab"), "!=", str("ab"), "bool:false"},
        // byte-wise: a byte above 127 orders after the ASCII letters
        {str("\x80"), ">", str("z"), "bool:true"},
    });
}

TEST(ValueOperatorTest, MixedOperandsConvertTheRightOneToTheLeftType) {
    expectResults({
        {str("1"), "+", num(2), "string:12"},
        {num(2), "+", str("3"), "int:5"},
        {uns(1), "+", num(-2), "unsigned int:4294967295"},
        {num(1), "==", boo(true), "bool:true"},
    });
    expectErrors<CompileError>({
        {num(2), "+", str("a"), "bad lexical cast: source type value could not be interpreted as target"},
    });
}

TEST(ValueOperatorTest, UnlistedOperatorsRaiseNoOperator) {
    expectErrors<NoOperator>({
        {num(1), "<<", num(2), "No operator << for type int"},
        {num(1), ">>", num(40), "No operator >> for type int"},
        {uns(1), "<<", uns(99), "No operator << for type unsigned int"},
        {chr('a'), "=", chr('b'), "No operator = for type char"},
        {boo(true), "<", boo(false), "No operator < for type bool"},
        {boo(true), "+", boo(false), "No operator + for type bool"},
        {str("a"), "-", str("b"), "No operator - for type string"},
        {str("a"), "*", str("b"), "No operator * for type string"},
        {list({num(1)}), "==", list({num(1)}), "No operator == for type vector<T>"},
        {list({}), "+", num(1), "No operator + for type vector<T>"},
        {range(1, 2), "==", range(1, 2), "No operator == for type Range"},
        {sizeFunction(), "==", sizeFunction(), "No operator == for type Buildin function"},
    });
}

TEST(ValueOperatorTest, ArithmeticFaultsAreCompileErrors) {
    const BinaryCase cases[] = {
        {num(7), "/", num(0), "division by zero in a compile-time expression"},
        {num(7), "%", num(0), "remainder of a division by zero in a compile-time expression"},
        {uns(7), "/", uns(0), "division by zero in a compile-time expression"},
        {uns(7), "%", uns(0), "remainder of a division by zero in a compile-time expression"},
        {chr('a'), "/", chr('\0'), "division by zero in a compile-time expression"},
        {chr('a'), "%", num(0), "remainder of a division by zero in a compile-time expression"},
        {num(INT_MIN), "/", num(-1), "integer overflow in a compile-time expression: -2147483648 / -1"},
        {num(INT_MIN), "%", num(-1), "integer overflow in a compile-time expression: -2147483648 % -1"},
        {num(7), "/", boo(false), "division by zero in a compile-time expression"},
    };
    for (const BinaryCase& c : cases) {
        try {
            c.left->binaryOperator(c.op, c.right);
            ADD_FAILURE() << "no error for " << shown(c);
        } catch (const CompileError& e) {
            EXPECT_EQ(std::string(e.what()), c.expected);
            EXPECT_EQ(e.severity, SeverityError);
            EXPECT_EQ(dynamic_cast<const MacroError*>(&e), nullptr);
        }
    }
}

TEST(ValueOperatorTest, AnAbsentRightOperandIsNoCast) {
    ObjectPtr none = num(1)->unaryOperator("++");
    EXPECT_EQ(errorOf<NoCast>([&] { num(2)->binaryOperator("+", none); }), "No conversion from void to int");
}

}  // namespace
