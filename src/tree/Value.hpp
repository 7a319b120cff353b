// Compile-time values: everything the macro interpreter handles is an Object, syntax tree
// nodes included. Takes operator texts, member names and argument lists from the interpreter;
// gives new shared values (or changes a number or position in place for ++ and --). Never
// copies a value implicitly and never crashes on a bad operand: anything a type does not
// support raises one of the MacroError family, arithmetic faults raise a CompileError.
#pragma once

#include <boost/enable_shared_from_this.hpp>
#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>
#include <string>
#include <vector>

#include "base/Diagnostics.hpp"
#include "tree/Token.hpp"

class Object;
typedef boost::shared_ptr<Object> ObjectPtr;
typedef std::vector<ObjectPtr> ObjectList;

class Object {
public:
    virtual ~Object() = default;
    virtual ObjectPtr unaryOperator(const std::string& op);
    virtual ObjectPtr binaryOperator(const std::string& op, const ObjectPtr& right);
    virtual ObjectPtr member(const std::string& name);
    virtual ObjectPtr call(const ObjectList& arguments);
    virtual const char* typeName() const;
};

typedef std::string::const_iterator StringPosition;
typedef ObjectList::const_iterator ListPosition;

struct Range {
    ObjectPtr start;
    ObjectPtr end;
};

template <class T>
class BasicType;

// State that only some kinds of value need. Strings and lists hand out members and positions
// that must keep them alive; a position keeps its container alive, so it never dangles, and
// is checked against the container's ends before it is read or moved.
template <class T>
struct ValueExtras {};
template <>
struct ValueExtras<std::string> : boost::enable_shared_from_this<BasicType<std::string>> {
    // Made from a string literal, whose quotes the value keeps: the members see the text
    // between them.
    bool quoted = false;
};
template <>
struct ValueExtras<ObjectList> : boost::enable_shared_from_this<BasicType<ObjectList>> {};
template <>
struct ValueExtras<StringPosition> {
    boost::shared_ptr<BasicType<std::string>> container;
};
template <>
struct ValueExtras<ListPosition> {
    boost::shared_ptr<BasicType<ObjectList>> container;
};

// One value of type T. Only the instantiations listed below exist.
template <class T>
class BasicType : public Object, public ValueExtras<T> {
public:
    explicit BasicType(const T& value) : value(value) {}
    ObjectPtr unaryOperator(const std::string& op) override;
    ObjectPtr binaryOperator(const std::string& op, const ObjectPtr& right) override;
    ObjectPtr member(const std::string& name) override;
    const char* typeName() const override;

    T value;
};

extern template class BasicType<int>;
extern template class BasicType<unsigned int>;
extern template class BasicType<bool>;
extern template class BasicType<char>;
extern template class BasicType<std::string>;
extern template class BasicType<ObjectList>;
extern template class BasicType<Range>;
extern template class BasicType<StringPosition>;
extern template class BasicType<ListPosition>;

template <class T>
boost::shared_ptr<BasicType<T>> makeValue(const T& value) {
    return boost::shared_ptr<BasicType<T>>(new BasicType<T>(value));
}
inline boost::shared_ptr<BasicType<std::string>> makeValue(const char* text) {
    return makeValue(std::string(text));
}
// A string literal as written: printed and compared with its quotes, while its members (size,
// empty, begin, end) see the text between them. Any other text is an ordinary string.
boost::shared_ptr<BasicType<std::string>> makeLiteral(const std::string& written);
// Positions are only made together with the container they point into.
boost::shared_ptr<BasicType<StringPosition>> makePosition(
    const boost::shared_ptr<BasicType<std::string>>& container, StringPosition at);
boost::shared_ptr<BasicType<ListPosition>> makePosition(
    const boost::shared_ptr<BasicType<ObjectList>>& container, ListPosition at);

// Converts by the first row of the conversion table that accepts the value: the value itself
// when it already is a BasicType<T>, otherwise a new value; NoCast when no row accepts it.
// Instantiated for int, unsigned int, bool, char, std::string and the two position types.
template <class T>
boost::shared_ptr<BasicType<T>> castTo(const ObjectPtr& value);

// The value of a macro statement as a syntax tree Statement (through the conversion hook
// below); NoCast to "Statement" when the value is none or does not convert.
ObjectPtr castToStatement(const ObjectPtr& value);

// Reads a text with boost::lexical_cast, as the conversions do (char: a decimal character
// code). An unreadable text raises a CompileError carrying lexical_cast's own message.
// Instantiated for int, unsigned int, bool and char.
template <class T>
T readText(const std::string& text);

// The conversions that involve syntax tree nodes. The values know nothing of the tree classes
// or the grammar; whoever builds the grammar registers these once, before any macro runs.
// A missing hook (null) means that no tree node takes part in that conversion.
struct NodeConversions {
    // The only token of a TokensExpression that holds exactly one; null for any other value.
    const Token* (*singleToken)(const Object& value) = nullptr;
    // True, with the text, when the value is a ConstantExpression.
    bool (*constantText)(const Object& value, std::string& text) = nullptr;
    // The value itself when it is a Statement node; a TokensExpression parsed by the statement
    // rule of the current grammar; an empty pointer for any other value or a failed parse.
    ObjectPtr (*toStatement)(const ObjectPtr& value) = nullptr;
};
// Who writes: the grammar's setup, once. Who reads: the conversions above.
void setNodeConversions(const NodeConversions& hooks);
const NodeConversions& nodeConversions();

// The call of a built-in function: checks the argument count, converts arguments, calls, and
// wraps the result as a value. One overload per signature in use.
ObjectPtr invokeBuildin(const boost::function<unsigned int()>& function, const ObjectList& arguments,
                        const ObjectPtr& boundTo);
ObjectPtr invokeBuildin(const boost::function<bool()>& function, const ObjectList& arguments,
                        const ObjectPtr& boundTo);
ObjectPtr invokeBuildin(const boost::function<StringPosition()>& function, const ObjectList& arguments,
                        const ObjectPtr& boundTo);
ObjectPtr invokeBuildin(const boost::function<ListPosition()>& function, const ObjectList& arguments,
                        const ObjectPtr& boundTo);
ObjectPtr invokeBuildin(const boost::function<ObjectPtr()>& function, const ObjectList& arguments,
                        const ObjectPtr& boundTo);
ObjectPtr invokeBuildin(const boost::function<ObjectPtr(const std::string&)>& function,
                        const ObjectList& arguments, const ObjectPtr& boundTo);

// A built-in function or a member bound to a value. F is one of the signatures above.
template <class F>
class BuildinFunction : public Object {
public:
    // Takes any callable of signature F and builds the boost::function from it in place.
    template <class Callable>
    explicit BuildinFunction(Callable callable, const ObjectPtr& boundTo = ObjectPtr())
        : function(callable), boundTo(boundTo) {}
    ObjectPtr call(const ObjectList& arguments) override { return invokeBuildin(function, arguments, boundTo); }
    const char* typeName() const override { return "Buildin function"; }

    boost::function<F> function;
    // The value a member was asked of: kept alive while the member lives, and the container
    // of the positions that "begin" and "end" return.
    ObjectPtr boundTo;
};

typedef BuildinFunction<ObjectPtr(const std::string&)> TextFunction;
