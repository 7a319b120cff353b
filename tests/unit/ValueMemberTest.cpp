// Members, calls and positions of the compile-time values, their type names, and the NoMember,
// NoCall and argument-count errors.
#include <gtest/gtest.h>

#include <boost/function/function_base.hpp>

#include "ValueTestSupport.hpp"

using namespace valuetest;

namespace {

ObjectPtr callMember(const ObjectPtr& value, const char* name, const ObjectList& arguments = ObjectList()) {
    return value->member(name)->call(arguments);
}

TEST(ValueMemberTest, TypeNames) {
    struct Object_ : Object {};
    const struct {
        ObjectPtr value;
        const char* name;
    } cases[] = {
        {num(1), "int"},
        {uns(1), "unsigned int"},
        {boo(true), "bool"},
        {chr('a'), "char"},
        {str("a"), "string"},
        {list({}), "vector<T>"},
        {range(1, 2), "Range"},
        {callMember(str("a"), "begin"), "string::const_iterator"},
        {callMember(list({}), "begin"), "vector<Object_>::const_iterator"},
        {str("a")->member("size"), "Buildin function"},
        {ObjectPtr(new TextFunction([](const std::string&) { return ObjectPtr(); })), "Buildin function"},
        {ObjectPtr(new Object_), "unknown runtime object"},
    };
    for (const auto& c : cases) EXPECT_STREQ(c.value->typeName(), c.name);
}

TEST(ValueMemberTest, ObjectDefaultsRaiseTheirErrors) {
    struct Plain : Object {};
    ObjectPtr plain(new Plain);
    EXPECT_EQ(errorOf<NoOperator>([&] { plain->unaryOperator("!"); }), "No operator ! for type unknown runtime object");
    EXPECT_EQ(errorOf<NoOperator>([&] { plain->binaryOperator("+", num(1)); }),
              "No operator + for type unknown runtime object");
    EXPECT_EQ(errorOf<NoMember>([&] { plain->member("x"); }), "unknown runtime object has no member 'x'");
    EXPECT_EQ(errorOf<NoCall>([&] { plain->call(ObjectList()); }), "unknown runtime object is not a function");
}

TEST(ValueMemberTest, ContainerMembers) {
    ObjectPtr abc = str("abc");
    ObjectPtr items = list({num(1), num(2)});
    const struct {
        ObjectPtr value;
        const char* member;
        const char* expected;
    } cases[] = {
        {abc, "size", "unsigned int:3"},
        {abc, "empty", "bool:false"},
        {str(""), "size", "unsigned int:0"},
        {str(""), "empty", "bool:true"},
        {items, "size", "unsigned int:2"},
        {items, "empty", "bool:false"},
        {list({}), "empty", "bool:true"},
        // A literal's members see the text between its quotes.
        {makeLiteral("\"abc\""), "size", "unsigned int:3"},
        {makeLiteral("\"\""), "size", "unsigned int:0"},
        {makeLiteral("\"\""), "empty", "bool:true"},
        {makeLiteral("\""), "size", "unsigned int:1"},
        {makeLiteral("abc"), "size", "unsigned int:3"},
    };
    for (const auto& c : cases) {
        ObjectPtr bound = c.value->member(c.member);
        EXPECT_STREQ(bound->typeName(), "Buildin function");
        EXPECT_EQ(describe(bound->call(ObjectList())), c.expected) << describe(c.value) << "." << c.member;
    }
}

TEST(ValueMemberTest, RangeMembersGiveItsBounds) {
    ObjectPtr r = range(3, 7);
    EXPECT_EQ(describe(callMember(r, "begin")), "int:3");
    EXPECT_EQ(describe(callMember(r, "end")), "int:7");
    // A loop steps what "begin" gave it; the range keeps its bounds.
    callMember(r, "begin")->unaryOperator("++");
    EXPECT_EQ(describe(callMember(r, "begin")), "int:3");
}

TEST(ValueMemberTest, UnknownMembersRaiseNoMember) {
    const struct {
        ObjectPtr value;
        const char* member;
        const char* expected;
    } cases[] = {
        {str("a"), "length", "string has no member 'length'"},
        {str("a"), "second", "string has no member 'second'"},
        {list({}), "front", "vector<T> has no member 'front'"},
        {range(1, 2), "size", "Range has no member 'size'"},
        {range(1, 2), "empty", "Range has no member 'empty'"},
        {num(1), "size", "int has no member 'size'"},
        {uns(1), "begin", "unsigned int has no member 'begin'"},
        {boo(true), "end", "bool has no member 'end'"},
        {chr('a'), "size", "char has no member 'size'"},
        {callMember(str("a"), "begin"), "size", "string::const_iterator has no member 'size'"},
        {str("a")->member("size"), "size", "Buildin function has no member 'size'"},
    };
    for (const auto& c : cases) EXPECT_EQ(errorOf<NoMember>([&] { c.value->member(c.member); }), c.expected);
}

TEST(ValueMemberTest, CallsCheckTheArgumentCount) {
    ObjectPtr printed;
    ObjectPtr print(new TextFunction([&](const std::string& text) {
        printed = str("[" + text + "]");
        return ObjectPtr();
    }));
    EXPECT_EQ(errorOf<CompileError>([] { str("ab")->member("size")->call({num(1)}); }),
              "not the right number of arguments, 0 expected");
    EXPECT_EQ(errorOf<CompileError>([] { range(1, 2)->member("begin")->call({num(1)}); }),
              "not the right number of arguments, 0 expected");
    EXPECT_EQ(errorOf<CompileError>([&] { print->call({}); }), "not the right number of arguments, 1 expected");
    EXPECT_EQ(errorOf<CompileError>([&] { print->call({str("a"), str("b")}); }),
              "not the right number of arguments, 1 expected");
    EXPECT_EQ(errorOf<NoCast>([&] { print->call({list({})}); }), "No conversion from vector<T> to string");
    EXPECT_EQ(describe(printed), "none");
    EXPECT_EQ(describe(print->call({num(42)})), "none");
    EXPECT_EQ(describe(printed), "string:[42]");
}

TEST(ValueMemberTest, OnlyBuiltinFunctionsCanBeCalled) {
    const struct {
        ObjectPtr value;
        const char* expected;
    } cases[] = {
        {num(1), "int is not a function"},
        {str("a"), "string is not a function"},
        {list({}), "vector<T> is not a function"},
        {range(1, 2), "Range is not a function"},
        {callMember(list({}), "end"), "vector<Object_>::const_iterator is not a function"},
    };
    for (const auto& c : cases) EXPECT_EQ(errorOf<NoCall>([&] { c.value->call(ObjectList()); }), c.expected);
}

TEST(ValueMemberTest, CallingAnEmptyFunctionRaisesBoostsError) {
    ObjectPtr empty(new BuildinFunction<bool()>(boost::function<bool()>()));
    EXPECT_EQ(errorOf<boost::bad_function_call>([&] { empty->call(ObjectList()); }), "call to empty boost::function");
}

// Walks from "begin" to "end" as the interpreter's for loop does.
ObjectList walk(const ObjectPtr& container) {
    ObjectList seen;
    ObjectPtr end = callMember(container, "end");
    for (ObjectPtr at = callMember(container, "begin"); !castTo<bool>(at->binaryOperator("==", end))->value;
         at->unaryOperator("postfix++"))
        seen.push_back(at->unaryOperator("*"));
    return seen;
}

TEST(ValueMemberTest, StringPositionsWalkTheBytes) {
    ObjectList seen = walk(str("ab"));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(describe(seen[0]), "char:97");
    EXPECT_EQ(describe(seen[1]), "char:98");
    EXPECT_TRUE(walk(str("")).empty());
    seen = walk(makeLiteral("\"ab\""));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(describe(seen[0]), "char:97");
    EXPECT_EQ(describe(seen[1]), "char:98");
    EXPECT_TRUE(walk(makeLiteral("\"\"")).empty());
}

TEST(ValueMemberTest, ListPositionsGiveTheStoredValues) {
    ObjectPtr first = num(1);
    ObjectList seen = walk(list({first, str("x")}));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], first);
    EXPECT_EQ(describe(seen[1]), "string:x");
}

TEST(ValueMemberTest, PositionsStepBothWaysInPlace) {
    ObjectPtr at = callMember(str("xyz"), "end");
    ObjectPtr sameHolder = at;
    EXPECT_EQ(describe(at->unaryOperator("--")), "none");
    EXPECT_EQ(describe(sameHolder->unaryOperator("*")), "char:122");
    at->unaryOperator("postfix--");
    at->unaryOperator("postfix--");
    EXPECT_EQ(describe(sameHolder->unaryOperator("*")), "char:120");
    at->unaryOperator("++");
    EXPECT_EQ(describe(sameHolder->unaryOperator("*")), "char:121");
    EXPECT_EQ(describe(at->unaryOperator("!")), "none");
}

TEST(ValueMemberTest, PositionComparisons) {
    ObjectPtr text = str("a");
    ObjectPtr begin = callMember(text, "begin");
    ObjectPtr end = callMember(text, "end");
    EXPECT_EQ(describe(begin->binaryOperator("==", callMember(text, "begin"))), "bool:true");
    EXPECT_EQ(describe(begin->binaryOperator("!=", end)), "bool:true");
    begin->unaryOperator("++");
    EXPECT_EQ(describe(begin->binaryOperator("==", end)), "bool:true");
    // Positions in two equal but distinct strings are different positions.
    ObjectPtr otherText = str("a");
    EXPECT_EQ(describe(callMember(text, "begin")->binaryOperator("==", callMember(otherText, "begin"))),
              "bool:false");
    EXPECT_EQ(errorOf<NoOperator>([&] { end->binaryOperator("<", end); }),
              "No operator < for type string::const_iterator");
    EXPECT_EQ(errorOf<NoCast>([&] { end->binaryOperator("==", num(0)); }),
              "No conversion from int to string::const_iterator");
    EXPECT_EQ(errorOf<NoCast>([&] { end->binaryOperator("==", callMember(list({}), "end")); }),
              "No conversion from vector<Object_>::const_iterator to string::const_iterator");
}

TEST(ValueMemberTest, PositionsOutliveEveryOtherHolderOfTheirContainer) {
    ObjectPtr at;
    {
        ObjectPtr text = str("kept");
        ObjectPtr begin = text->member("begin");
        at = begin->call(ObjectList());
    }
    EXPECT_EQ(describe(at->unaryOperator("*")), "char:107");
    ObjectPtr element;
    {
        ObjectPtr items = list({str("held")});
        element = callMember(items, "begin");
    }
    EXPECT_EQ(describe(element->unaryOperator("*")), "string:held");
}

TEST(ValueMemberTest, PositionsStayWithinTheirContainer) {
    const struct {
        ObjectPtr container;
        const char* from;
        const char* op;
        const char* expected;
    } cases[] = {
        {str("a"), "end", "*", "string::const_iterator at the end has no element"},
        {str("a"), "end", "++", "string::const_iterator moved past the end"},
        {str(""), "begin", "postfix++", "string::const_iterator moved past the end"},
        {str("a"), "begin", "--", "string::const_iterator moved before the beginning"},
        {makeLiteral("\"a\""), "end", "*", "string::const_iterator at the end has no element"},
        {makeLiteral("\"a\""), "end", "++", "string::const_iterator moved past the end"},
        {makeLiteral("\"a\""), "begin", "--", "string::const_iterator moved before the beginning"},
        {list({num(1)}), "end", "*", "vector<Object_>::const_iterator at the end has no element"},
        {list({}), "begin", "postfix++", "vector<Object_>::const_iterator moved past the end"},
        {list({num(1)}), "begin", "postfix--", "vector<Object_>::const_iterator moved before the beginning"},
    };
    for (const auto& c : cases) {
        ObjectPtr at = callMember(c.container, c.from);
        EXPECT_EQ(errorOf<CompileError>([&] { at->unaryOperator(c.op); }), c.expected);
    }
}

}  // namespace
