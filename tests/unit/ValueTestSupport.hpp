// Helpers shared by the value tests: a readable form of a value, the text of the error an
// action raises, and stand-ins for the tree nodes that take part in conversions.
#pragma once

#include <sstream>
#include <string>

#include "tree/Value.hpp"

namespace valuetest {

// "type:value" for the basic types, the type name alone for others, "none" for no value.
inline std::string describe(const ObjectPtr& value) {
    if (!value) return "none";
    std::ostringstream out;
    out << value->typeName();
    if (auto v = dynamic_cast<BasicType<int>*>(value.get())) out << ":" << v->value;
    if (auto v = dynamic_cast<BasicType<unsigned int>*>(value.get())) out << ":" << v->value;
    if (auto v = dynamic_cast<BasicType<bool>*>(value.get())) out << ":" << (v->value ? "true" : "false");
    if (auto v = dynamic_cast<BasicType<char>*>(value.get())) out << ":" << static_cast<int>(v->value);
    if (auto v = dynamic_cast<BasicType<std::string>*>(value.get())) out << ":" << v->value;
    return out.str();
}

// The what() text of the exception of type E that the action raises; a marker otherwise.
template <class E, class F>
std::string errorOf(F action) {
    try {
        action();
    } catch (const E& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("other exception: ") + e.what();
    }
    return "no error";
}

inline ObjectPtr num(int v) { return makeValue(v); }
inline ObjectPtr uns(unsigned int v) { return makeValue(v); }
inline ObjectPtr chr(char v) { return makeValue(v); }
inline ObjectPtr boo(bool v) { return makeValue(v); }
inline ObjectPtr str(const std::string& v) { return makeValue(v); }
inline ObjectPtr list(const ObjectList& v) { return makeValue(v); }
inline ObjectPtr range(int from, int to) { return makeValue(Range{num(from), num(to)}); }

// Stand-ins for the syntax tree nodes, answered by the hooks that FakeNodeHooks registers.
struct FakeTokens : Object {
    std::vector<Token> tokens;
    const char* typeName() const override { return "TokensExpression"; }
};
struct FakeConstant : Object {
    std::string text;
    const char* typeName() const override { return "ConstantExpression"; }
};
struct FakeStatement : Object {
    const char* typeName() const override { return "ExpressionStatement"; }
};

inline ObjectPtr tokens(std::initializer_list<Token> list) {
    boost::shared_ptr<FakeTokens> t(new FakeTokens);
    t->tokens = list;
    return t;
}
inline Token numberToken(const char* text) { return Token(Number, text, SourceLocation()); }
inline Token stringToken(const char* text) { return Token(String, text, SourceLocation()); }
inline ObjectPtr constant(const std::string& text) {
    boost::shared_ptr<FakeConstant> c(new FakeConstant);
    c->text = text;
    return c;
}

// Registers hooks answering for the fakes above while it lives; the statement hook parses a
// token list into a fresh FakeStatement when its first token is "ok".
struct FakeNodeHooks {
    FakeNodeHooks() {
        NodeConversions hooks;
        hooks.singleToken = [](const Object& value) -> const Token* {
            auto t = dynamic_cast<const FakeTokens*>(&value);
            return t && t->tokens.size() == 1 ? &t->tokens.front() : nullptr;
        };
        hooks.constantText = [](const Object& value, std::string& text) {
            auto c = dynamic_cast<const FakeConstant*>(&value);
            if (c) text = c->text;
            return c != nullptr;
        };
        hooks.toStatement = [](const ObjectPtr& value) -> ObjectPtr {
            if (boost::dynamic_pointer_cast<FakeStatement>(value)) return value;
            auto t = boost::dynamic_pointer_cast<FakeTokens>(value);
            if (t && !t->tokens.empty() && t->tokens.front().text == "ok") return ObjectPtr(new FakeStatement);
            return ObjectPtr();
        };
        setNodeConversions(hooks);
    }
    ~FakeNodeHooks() { setNodeConversions(NodeConversions()); }
};

}  // namespace valuetest
