// Compile-time values: the operator, member, call and conversion tables of every value kind.
// Takes operator texts and operands from the macro interpreter; gives new values or changes a
// number or position in place. Never invokes undefined behaviour on a user's numbers: sums,
// differences and products wrap, and a zero divisor or an overflowing division is an error.
#include "tree/Value.hpp"

#include <boost/lexical_cast.hpp>
#include <limits>
#include <type_traits>

// ---------------------------------------------------------------------------------------------
// Object defaults

ObjectPtr Object::unaryOperator(const std::string& op) { throw NoOperator(op, typeName()); }

ObjectPtr Object::binaryOperator(const std::string& op, const ObjectPtr&) { throw NoOperator(op, typeName()); }

ObjectPtr Object::member(const std::string& name) { throw NoMember(typeName(), name); }

ObjectPtr Object::call(const ObjectList&) { throw NoCall(typeName()); }

const char* Object::typeName() const { return "unknown runtime object"; }

// ---------------------------------------------------------------------------------------------
// Type names

namespace {

template <class T>
struct ValueName;
template <> struct ValueName<int> { static constexpr const char* text = "int"; };
template <> struct ValueName<unsigned int> { static constexpr const char* text = "unsigned int"; };
template <> struct ValueName<bool> { static constexpr const char* text = "bool"; };
template <> struct ValueName<char> { static constexpr const char* text = "char"; };
template <> struct ValueName<std::string> { static constexpr const char* text = "string"; };
template <> struct ValueName<ObjectList> { static constexpr const char* text = "vector<T>"; };
template <> struct ValueName<Range> { static constexpr const char* text = "Range"; };
template <> struct ValueName<StringPosition> { static constexpr const char* text = "string::const_iterator"; };
template <> struct ValueName<ListPosition> {
    static constexpr const char* text = "vector<Object_>::const_iterator";
};

template <class T>
constexpr bool isNumber = std::is_same<T, int>::value || std::is_same<T, unsigned int>::value ||
                          std::is_same<T, char>::value;
template <class T>
constexpr bool isPosition = std::is_same<T, StringPosition>::value || std::is_same<T, ListPosition>::value;

// ---------------------------------------------------------------------------------------------
// Conversions

NodeConversions& hooks() {
    static NodeConversions registered;
    return registered;
}

template <class T>
T lexicalRead(const std::string& text) {
    try {
        return boost::lexical_cast<T>(text);
    } catch (const boost::bad_lexical_cast& e) {
        // A user's macro text, not a fault of the translator: report it like any macro error.
        throw CompileError(e.what());
    }
}

template <class S>
const BasicType<S>* as(const Object& value) {
    return dynamic_cast<const BasicType<S>*>(&value);
}

// A number taken as another number kind: bool is "not 0", everything else keeps its bits.
template <class T, class S>
T numberAs(S v) {
    if constexpr (std::is_same<T, bool>::value)
        return v != 0;
    else
        return static_cast<T>(v);
}

template <class T, class S>
bool fromNumber(const Object& value, T& out) {
    if (const BasicType<S>* v = as<S>(value)) {
        out = numberAs<T>(v->value);
        return true;
    }
    return false;
}

template <class T>
bool fromText(const Object& value, T& out) {
    if (const BasicType<std::string>* v = as<std::string>(value)) {
        out = readText<T>(v->value);
        return true;
    }
    return false;
}

bool fromTokenOfKind(const Object& value, TokenKind kind, std::string& text) {
    if (!hooks().singleToken) return false;
    const Token* token = hooks().singleToken(value);
    if (!token || token->kind != kind) return false;
    text = token->text;
    return true;
}

template <class T>
bool fromNumberToken(const Object& value, T& out) {
    std::string text;
    if (!fromTokenOfKind(value, Number, text)) return false;
    out = readText<T>(text);
    return true;
}

template <class S>
bool numberToText(const Object& value, std::string& out) {
    if (const BasicType<S>* v = as<S>(value)) {
        out = boost::lexical_cast<std::string>(v->value);
        return true;
    }
    return false;
}

bool constantToText(const Object& value, std::string& out) {
    return hooks().constantText && hooks().constantText(value, out);
}

bool stringTokenToText(const Object& value, std::string& out) {
    return fromTokenOfKind(value, String, out);
}

template <class T>
using ConversionRow = bool (*)(const Object& value, T& out);

// The rows after "itself", in the order they are tested.
template <class T>
struct ConversionRows {
    static constexpr ConversionRow<T> rows[] = {nullptr};
};
template <>
struct ConversionRows<int> {
    // bool; char; unsigned int; string; one Number token
    static constexpr ConversionRow<int> rows[] = {fromNumber<int, bool>, fromNumber<int, char>,
                                                  fromNumber<int, unsigned int>, fromText<int>,
                                                  fromNumberToken<int>};
};
template <>
struct ConversionRows<bool> {
    // int; char; unsigned int; string; one Number token
    static constexpr ConversionRow<bool> rows[] = {fromNumber<bool, int>, fromNumber<bool, char>,
                                                   fromNumber<bool, unsigned int>, fromText<bool>,
                                                   fromNumberToken<bool>};
};
template <>
struct ConversionRows<char> {
    // bool; int; unsigned int; string; one Number token
    static constexpr ConversionRow<char> rows[] = {fromNumber<char, bool>, fromNumber<char, int>,
                                                   fromNumber<char, unsigned int>, fromText<char>,
                                                   fromNumberToken<char>};
};
template <>
struct ConversionRows<unsigned int> {
    // bool; char; int; string; one Number token
    static constexpr ConversionRow<unsigned int> rows[] = {
        fromNumber<unsigned int, bool>, fromNumber<unsigned int, char>, fromNumber<unsigned int, int>,
        fromText<unsigned int>, fromNumberToken<unsigned int>};
};
template <>
struct ConversionRows<std::string> {
    // int; char; unsigned int; bool; ConstantExpression; one String token
    static constexpr ConversionRow<std::string> rows[] = {numberToText<int>,  numberToText<char>,
                                                          numberToText<unsigned int>,
                                                          numberToText<bool>, constantToText,
                                                          stringTokenToText};
};

}  // namespace

void setNodeConversions(const NodeConversions& registered) { hooks() = registered; }

const NodeConversions& nodeConversions() { return hooks(); }

template <class T>
T readText(const std::string& text) {
    if constexpr (std::is_same<T, char>::value)
        return static_cast<char>(lexicalRead<int>(text));
    else
        return lexicalRead<T>(text);
}
template int readText<int>(const std::string&);
template unsigned int readText<unsigned int>(const std::string&);
template bool readText<bool>(const std::string&);
template char readText<char>(const std::string&);

template <class T>
boost::shared_ptr<BasicType<T>> castTo(const ObjectPtr& value) {
    // An operation that yielded no value (such as "++") used as an operand.
    if (!value) throw NoCast("void", ValueName<T>::text);
    if (boost::shared_ptr<BasicType<T>> same = boost::dynamic_pointer_cast<BasicType<T>>(value)) return same;
    T converted;
    for (ConversionRow<T> row : ConversionRows<T>::rows)
        if (row && row(*value, converted)) return makeValue(converted);
    throw NoCast(value->typeName(), ValueName<T>::text);
}
template boost::shared_ptr<BasicType<int>> castTo<int>(const ObjectPtr&);
template boost::shared_ptr<BasicType<unsigned int>> castTo<unsigned int>(const ObjectPtr&);
template boost::shared_ptr<BasicType<bool>> castTo<bool>(const ObjectPtr&);
template boost::shared_ptr<BasicType<char>> castTo<char>(const ObjectPtr&);
template boost::shared_ptr<BasicType<std::string>> castTo<std::string>(const ObjectPtr&);
template boost::shared_ptr<BasicType<StringPosition>> castTo<StringPosition>(const ObjectPtr&);
template boost::shared_ptr<BasicType<ListPosition>> castTo<ListPosition>(const ObjectPtr&);

ObjectPtr castToStatement(const ObjectPtr& value) {
    if (!value) throw NoCast("void", "Statement");
    ObjectPtr statement;
    if (hooks().toStatement) statement = hooks().toStatement(value);
    if (!statement) throw NoCast(value->typeName(), "Statement");
    return statement;
}

// ---------------------------------------------------------------------------------------------
// Numbers: int, unsigned int, char

namespace {

// Sums, differences, products, negation and complement are computed modulo 2^32 and then
// narrowed, so overflow wraps around instead of being undefined.
template <class T>
unsigned int bitsOf(T v) {
    return static_cast<unsigned int>(v);
}
template <class T>
T wrapped(unsigned int bits) {
    return static_cast<T>(bits);
}

template <class T>
T divide(T a, T b, bool remainder) {
    if (b == 0)
        throw CompileError(remainder ? "remainder of a division by zero in a compile-time expression"
                                     : "division by zero in a compile-time expression");
    if constexpr (std::is_same<T, int>::value) {
        if (b == -1 && a == std::numeric_limits<int>::min())
            throw CompileError("integer overflow in a compile-time expression: " + std::to_string(a) +
                               (remainder ? " % " : " / ") + "-1");
    }
    return static_cast<T>(remainder ? a % b : a / b);
}

template <class T>
ObjectPtr stepNumber(BasicType<T>& self, unsigned int delta) {
    self.value = wrapped<T>(bitsOf(self.value) + delta);
    return ObjectPtr();
}

template <class T>
struct UnaryRow {
    const char* text;
    ObjectPtr (*apply)(BasicType<T>& self);
};

template <class T>
struct NumberUnary {
    static constexpr UnaryRow<T> rows[] = {
        {"~", [](BasicType<T>& s) -> ObjectPtr { return makeValue(wrapped<T>(~bitsOf(s.value))); }},
        {"+", [](BasicType<T>& s) -> ObjectPtr { return makeValue(s.value); }},
        {"-", [](BasicType<T>& s) -> ObjectPtr { return makeValue(wrapped<T>(0u - bitsOf(s.value))); }},
        {"!", [](BasicType<T>& s) -> ObjectPtr { return makeValue(s.value == 0); }},
        {"++", [](BasicType<T>& s) { return stepNumber(s, 1u); }},
        {"postfix++", [](BasicType<T>& s) { return stepNumber(s, 1u); }},
        {"--", [](BasicType<T>& s) { return stepNumber(s, ~0u); }},
        {"postfix--", [](BasicType<T>& s) { return stepNumber(s, ~0u); }},
    };
};

template <class T>
struct BinaryRow {
    const char* text;
    ObjectPtr (*apply)(const BasicType<T>& left, const BasicType<T>& right);
};

template <class T>
struct NumberBinary {
    typedef const BasicType<T>& V;
    static constexpr BinaryRow<T> rows[] = {
        {"==", [](V a, V b) -> ObjectPtr { return makeValue(a.value == b.value); }},
        {"!=", [](V a, V b) -> ObjectPtr { return makeValue(a.value != b.value); }},
        {"<", [](V a, V b) -> ObjectPtr { return makeValue(a.value < b.value); }},
        {">", [](V a, V b) -> ObjectPtr { return makeValue(a.value > b.value); }},
        {"<=", [](V a, V b) -> ObjectPtr { return makeValue(a.value <= b.value); }},
        {">=", [](V a, V b) -> ObjectPtr { return makeValue(a.value >= b.value); }},
        {"||", [](V a, V b) -> ObjectPtr { return makeValue(a.value != 0 || b.value != 0); }},
        {"&&", [](V a, V b) -> ObjectPtr { return makeValue(a.value != 0 && b.value != 0); }},
        {"+", [](V a, V b) -> ObjectPtr { return makeValue(wrapped<T>(bitsOf(a.value) + bitsOf(b.value))); }},
        {"-", [](V a, V b) -> ObjectPtr { return makeValue(wrapped<T>(bitsOf(a.value) - bitsOf(b.value))); }},
        {"/", [](V a, V b) -> ObjectPtr { return makeValue(divide(a.value, b.value, false)); }},
        {"*", [](V a, V b) -> ObjectPtr { return makeValue(wrapped<T>(bitsOf(a.value) * bitsOf(b.value))); }},
        {"%", [](V a, V b) -> ObjectPtr { return makeValue(divide(a.value, b.value, true)); }},
        {"|", [](V a, V b) -> ObjectPtr { return makeValue(wrapped<T>(bitsOf(a.value) | bitsOf(b.value))); }},
        {"&", [](V a, V b) -> ObjectPtr { return makeValue(wrapped<T>(bitsOf(a.value) & bitsOf(b.value))); }},
        {"^", [](V a, V b) -> ObjectPtr { return makeValue(wrapped<T>(bitsOf(a.value) ^ bitsOf(b.value))); }},
    };
};

// ---------------------------------------------------------------------------------------------
// bool, string

struct BoolUnary {
    static constexpr UnaryRow<bool> rows[] = {
        {"!", [](BasicType<bool>& s) -> ObjectPtr { return makeValue(!s.value); }},
    };
};

struct BoolBinary {
    typedef const BasicType<bool>& V;
    static constexpr BinaryRow<bool> rows[] = {
        {"==", [](V a, V b) -> ObjectPtr { return makeValue(a.value == b.value); }},
        {"!=", [](V a, V b) -> ObjectPtr { return makeValue(a.value != b.value); }},
        {"|", [](V a, V b) -> ObjectPtr { return makeValue(a.value || b.value); }},
        {"&", [](V a, V b) -> ObjectPtr { return makeValue(a.value && b.value); }},
        {"^", [](V a, V b) -> ObjectPtr { return makeValue(a.value != b.value); }},
        {"||", [](V a, V b) -> ObjectPtr { return makeValue(a.value || b.value); }},
        {"&&", [](V a, V b) -> ObjectPtr { return makeValue(a.value && b.value); }},
    };
};

// std::string compares through char_traits<char>, which orders bytes as unsigned char.
struct StringBinary {
    typedef const BasicType<std::string>& V;
    static constexpr BinaryRow<std::string> rows[] = {
        {"+", [](V a, V b) -> ObjectPtr { return makeValue(a.value + b.value); }},
        {"<", [](V a, V b) -> ObjectPtr { return makeValue(a.value < b.value); }},
        {">", [](V a, V b) -> ObjectPtr { return makeValue(a.value > b.value); }},
        {"<=", [](V a, V b) -> ObjectPtr { return makeValue(a.value <= b.value); }},
        {">=", [](V a, V b) -> ObjectPtr { return makeValue(a.value >= b.value); }},
        {"==", [](V a, V b) -> ObjectPtr { return makeValue(a.value == b.value); }},
        {"!=", [](V a, V b) -> ObjectPtr { return makeValue(a.value != b.value); }},
    };
};

// ---------------------------------------------------------------------------------------------
// Positions in strings and lists

template <class T>
ObjectPtr elementAt(const T& position) {
    if constexpr (std::is_same<T, StringPosition>::value)
        return makeValue(*position);
    else
        return *position;
}

// The part of a container that its members and positions walk: all of a list, the text of
// a string (between the quotes of a literal).
template <class T>
typename T::const_iterator contentBegin(const BasicType<T>& c) {
    if constexpr (std::is_same<T, std::string>::value)
        return c.value.begin() + (c.quoted ? 1 : 0);
    else
        return c.value.begin();
}

template <class T>
typename T::const_iterator contentEnd(const BasicType<T>& c) {
    if constexpr (std::is_same<T, std::string>::value)
        return c.value.end() - (c.quoted ? 1 : 0);
    else
        return c.value.end();
}

template <class T>
bool atEnd(const BasicType<T>& p) {
    return p.container && p.value == contentEnd(*p.container);
}

template <class T>
bool atBegin(const BasicType<T>& p) {
    return p.container && p.value == contentBegin(*p.container);
}

template <class T>
ObjectPtr dereference(BasicType<T>& p) {
    if (atEnd(p)) throw CompileError(std::string(p.typeName()) + " at the end has no element");
    return elementAt(p.value);
}

template <class T>
ObjectPtr forward(BasicType<T>& p) {
    if (atEnd(p)) throw CompileError(std::string(p.typeName()) + " moved past the end");
    ++p.value;
    return ObjectPtr();
}

template <class T>
ObjectPtr backward(BasicType<T>& p) {
    if (atBegin(p)) throw CompileError(std::string(p.typeName()) + " moved before the beginning");
    --p.value;
    return ObjectPtr();
}

// Positions in different containers are never equal; comparing their iterators would be
// undefined.
template <class T>
bool samePosition(const BasicType<T>& a, const BasicType<T>& b) {
    return a.container == b.container && a.value == b.value;
}

template <class T>
struct PositionUnary {
    static constexpr UnaryRow<T> rows[] = {
        {"*", dereference<T>}, {"++", forward<T>},  {"postfix++", forward<T>},
        {"--", backward<T>},   {"postfix--", backward<T>},
    };
};

template <class T>
struct PositionBinary {
    typedef const BasicType<T>& V;
    static constexpr BinaryRow<T> rows[] = {
        {"==", [](V a, V b) -> ObjectPtr { return makeValue(samePosition(a, b)); }},
        {"!=", [](V a, V b) -> ObjectPtr { return makeValue(!samePosition(a, b)); }},
    };
};

// ---------------------------------------------------------------------------------------------
// Members

template <class T>
struct MemberRow {
    const char* text;
    ObjectPtr (*bind)(BasicType<T>& self);
};

template <class F, class T, class Get>
ObjectPtr bound(BasicType<T>& self, Get get) {
    boost::shared_ptr<BasicType<T>> held = self.shared_from_this();
    return ObjectPtr(new BuildinFunction<F>([held, get]() { return get(*held); }, held));
}

// The members of strings and lists are the same four, over the content.
template <class T>
struct ContainerMembers {
    typedef typename T::const_iterator Position;
    typedef const BasicType<T>& C;
    static constexpr MemberRow<T> rows[] = {
        {"size", [](BasicType<T>& s) {
             return bound<unsigned int()>(s, [](C c) { return static_cast<unsigned int>(contentEnd(c) - contentBegin(c)); });
         }},
        {"empty", [](BasicType<T>& s) { return bound<bool()>(s, [](C c) { return contentBegin(c) == contentEnd(c); }); }},
        {"begin", [](BasicType<T>& s) { return bound<Position()>(s, [](C c) { return contentBegin(c); }); }},
        {"end", [](BasicType<T>& s) { return bound<Position()>(s, [](C c) { return contentEnd(c); }); }},
    };
};

// A loop steps the position it got from "begin" in place; handing out a copy of a number keeps
// the range itself unchanged, so asking it again gives the same bounds.
ObjectPtr copyOfBound(const ObjectPtr& value) {
    if (!value) return value;
    if (auto v = boost::dynamic_pointer_cast<BasicType<int>>(value)) return makeValue(v->value);
    if (auto v = boost::dynamic_pointer_cast<BasicType<unsigned int>>(value)) return makeValue(v->value);
    if (auto v = boost::dynamic_pointer_cast<BasicType<char>>(value)) return makeValue(v->value);
    if (auto v = boost::dynamic_pointer_cast<BasicType<bool>>(value)) return makeValue(v->value);
    return value;
}

ObjectPtr rangeBound(const ObjectPtr& value) {
    return ObjectPtr(new BuildinFunction<ObjectPtr()>([value]() { return copyOfBound(value); }));
}

struct RangeMembers {
    static constexpr MemberRow<Range> rows[] = {
        {"begin", [](BasicType<Range>& s) { return rangeBound(s.value.start); }},
        {"end", [](BasicType<Range>& s) { return rangeBound(s.value.end); }},
    };
};

// ---------------------------------------------------------------------------------------------
// Table lookup

template <class Row, size_t N>
const Row* findRow(const Row (&rows)[N], const std::string& text) {
    for (const Row& row : rows)
        if (text == row.text) return &row;
    return nullptr;
}

// Types with unary operators yield no value for any other operator text.
template <class T, class Table>
ObjectPtr unaryBy(BasicType<T>& self, const std::string& op) {
    const UnaryRow<T>* row = findRow(Table::rows, op);
    return row ? row->apply(self) : ObjectPtr();
}

template <class T, class Table>
ObjectPtr binaryBy(BasicType<T>& self, const std::string& op, const ObjectPtr& right) {
    boost::shared_ptr<BasicType<T>> converted = castTo<T>(right);
    const BinaryRow<T>* row = findRow(Table::rows, op);
    if (!row) throw NoOperator(op, self.typeName());
    return row->apply(self, *converted);
}

template <class T, class Table>
ObjectPtr memberBy(BasicType<T>& self, const std::string& name) {
    const MemberRow<T>* row = findRow(Table::rows, name);
    if (!row) throw NoMember(self.typeName(), name);
    return row->bind(self);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// BasicType: each kind picks its tables; kinds without a table keep Object's defaults.

template <class T>
ObjectPtr BasicType<T>::unaryOperator(const std::string& op) {
    if constexpr (isNumber<T>)
        return unaryBy<T, NumberUnary<T>>(*this, op);
    else if constexpr (std::is_same<T, bool>::value)
        return unaryBy<T, BoolUnary>(*this, op);
    else if constexpr (isPosition<T>)
        return unaryBy<T, PositionUnary<T>>(*this, op);
    else
        return Object::unaryOperator(op);
}

template <class T>
ObjectPtr BasicType<T>::binaryOperator(const std::string& op, const ObjectPtr& right) {
    if constexpr (isNumber<T>)
        return binaryBy<T, NumberBinary<T>>(*this, op, right);
    else if constexpr (std::is_same<T, bool>::value)
        return binaryBy<T, BoolBinary>(*this, op, right);
    else if constexpr (std::is_same<T, std::string>::value)
        return binaryBy<T, StringBinary>(*this, op, right);
    else if constexpr (isPosition<T>)
        return binaryBy<T, PositionBinary<T>>(*this, op, right);
    else
        return Object::binaryOperator(op, right);
}

template <class T>
ObjectPtr BasicType<T>::member(const std::string& name) {
    if constexpr (std::is_same<T, std::string>::value || std::is_same<T, ObjectList>::value)
        return memberBy<T, ContainerMembers<T>>(*this, name);
    else if constexpr (std::is_same<T, Range>::value)
        return memberBy<T, RangeMembers>(*this, name);
    else
        return Object::member(name);
}

template <class T>
const char* BasicType<T>::typeName() const {
    return ValueName<T>::text;
}

template class BasicType<int>;
template class BasicType<unsigned int>;
template class BasicType<bool>;
template class BasicType<char>;
template class BasicType<std::string>;
template class BasicType<ObjectList>;
template class BasicType<Range>;
template class BasicType<StringPosition>;
template class BasicType<ListPosition>;

boost::shared_ptr<BasicType<std::string>> makeLiteral(const std::string& written) {
    boost::shared_ptr<BasicType<std::string>> literal = makeValue(written);
    literal->quoted = written.size() >= 2 && written.front() == '"' && written.back() == '"';
    return literal;
}

boost::shared_ptr<BasicType<StringPosition>> makePosition(
    const boost::shared_ptr<BasicType<std::string>>& container, StringPosition at) {
    boost::shared_ptr<BasicType<StringPosition>> position = makeValue(at);
    position->container = container;
    return position;
}

boost::shared_ptr<BasicType<ListPosition>> makePosition(const boost::shared_ptr<BasicType<ObjectList>>& container,
                                                        ListPosition at) {
    boost::shared_ptr<BasicType<ListPosition>> position = makeValue(at);
    position->container = container;
    return position;
}

// ---------------------------------------------------------------------------------------------
// Built-in function calls

namespace {

void expectArguments(const ObjectList& arguments, size_t count) {
    if (arguments.size() != count)
        throw CompileError("not the right number of arguments, " + std::to_string(count) + " expected");
}

template <class R>
ObjectPtr callWithoutArguments(const boost::function<R()>& function, const ObjectList& arguments) {
    expectArguments(arguments, 0);
    return makeValue(function());
}

template <class T, class C>
ObjectPtr positionResult(const boost::function<T()>& function, const ObjectList& arguments,
                         const ObjectPtr& boundTo) {
    expectArguments(arguments, 0);
    T at = function();
    boost::shared_ptr<BasicType<C>> container = boost::dynamic_pointer_cast<BasicType<C>>(boundTo);
    if (!container) return makeValue(at);
    return makePosition(container, at);
}

}  // namespace

ObjectPtr invokeBuildin(const boost::function<unsigned int()>& function, const ObjectList& arguments,
                        const ObjectPtr&) {
    return callWithoutArguments(function, arguments);
}

ObjectPtr invokeBuildin(const boost::function<bool()>& function, const ObjectList& arguments, const ObjectPtr&) {
    return callWithoutArguments(function, arguments);
}

ObjectPtr invokeBuildin(const boost::function<StringPosition()>& function, const ObjectList& arguments,
                        const ObjectPtr& boundTo) {
    return positionResult<StringPosition, std::string>(function, arguments, boundTo);
}

ObjectPtr invokeBuildin(const boost::function<ListPosition()>& function, const ObjectList& arguments,
                        const ObjectPtr& boundTo) {
    return positionResult<ListPosition, ObjectList>(function, arguments, boundTo);
}

ObjectPtr invokeBuildin(const boost::function<ObjectPtr()>& function, const ObjectList& arguments,
                        const ObjectPtr&) {
    expectArguments(arguments, 0);
    return function();
}

ObjectPtr invokeBuildin(const boost::function<ObjectPtr(const std::string&)>& function,
                        const ObjectList& arguments, const ObjectPtr&) {
    expectArguments(arguments, 1);
    return function(castTo<std::string>(arguments[0])->value);
}
