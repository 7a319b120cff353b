// Node dispatch: the one way a visitor picks the handler for a node's class.
// Takes a visitor's ordered table of (node class, handler) rows; gives, for each node, the
// first row whose class the node is an instance of. Never guesses: a node that no row serves
// is an internal error naming the visitor's source file. A visitor whose design has an
// "anything else" case ends its table with a row for the common base class. Every table is
// listed (listNodeDispatch), so that the tests, and debug builds at start-up, check that it
// serves each class of the node table that its node type covers.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <vector>

#include "tree/Ast.hpp"

// The rows of the node table.
constexpr size_t nodeClassRows = 0
#define VORN_NODE(Class, Base, typeName) +1
#define VORN_BASE_NODE VORN_NODE
#include "tree/NodeClasses.def"
    ;

// Whether the node table's class at a row index is T or derives from it.
template <class T>
bool nodeClassIsA(size_t row) {
    static constexpr bool answers[] = {
#define VORN_NODE(Class, Base, typeName) std::is_base_of<T, Class>::value,
#define VORN_BASE_NODE VORN_NODE
#include "tree/NodeClasses.def"
    };
    return row < sizeof answers / sizeof answers[0] && answers[row];
}

template <class Signature>
class NodeDispatch;

// Signature is the visit as the visitor calls it: the node first, then whatever the handlers
// need besides (the visitor object, a context). For example
//   NodeDispatch<TypeExpressionPtr(Expression&)>, NodeDispatch<void(const ASTObject&, CppEmitter&)>.
// A row's handler is a function taking (T&, Context...) or (T&) alone, or a member function
// of the first Context taking T&.
//
//   typedef NodeDispatch<R(Node&)> Dispatch;
//   static const Dispatch table("src/Stage", "stage", {
//       Dispatch::on<ClassA, &handleA>(),
//       Dispatch::skip<ClassB>(),
//       Dispatch::unreached<ClassC>("why no ClassC comes here"),
//   });
//   R result = table(node);
template <class R, class Node, class... Context>
class NodeDispatch<R(Node&, Context...)> {
public:
    typedef R (*Call)(Node&, Context...);
    struct Row {
        std::type_index type;  // the class the row serves, with its derived classes
        bool (*matches)(Node*);
        bool (*serves)(size_t nodeTableRow);
        Call call;
        const char* unreached;  // the reason no node of the class comes here, or null
    };

    // A row that hands nodes of class T (and of classes derived from it) to handler.
    template <class T, auto handler>
    static Row on() {
        checkClass<T>();
        return Row{typeid(T), &isA<T>, &nodeClassIsA<T>, &invoke<T, handler>, nullptr};
    }

    // A row for a class that the visitor passes over: the handler does nothing and gives R().
    template <class T>
    static Row skip() {
        checkClass<T>();
        return Row{typeid(T), &isA<T>, &nodeClassIsA<T>, &nothing, nullptr};
    }

    // A row for a class whose nodes never come to this visitor, and why: one that does is an
    // internal error that gives the reason.
    template <class T>
    static Row unreached(const char* reason) {
        checkClass<T>();
        return Row{typeid(T), &isA<T>, &nodeClassIsA<T>, &nothing, reason};
    }

    // visitorName completes the message "Tree node type not support by <visitorName>: <type>".
    NodeDispatch(const char* sourceFile, std::string visitorName, std::vector<Row> rows)
        : sourceFile_(sourceFile), visitorName_(std::move(visitorName)), rows_(std::move(rows)) {}
    NodeDispatch(const NodeDispatch&) = delete;
    NodeDispatch& operator=(const NodeDispatch&) = delete;

    R operator()(Node& node, Context... context) const {
        return rows_[rowOf(node)].call(node, std::forward<Context>(context)...);
    }

    // The index of the row that serves the node's dynamic class. The rows are tested once per
    // class; the answer is remembered by class number, so a visit costs one array read, not a
    // chain of casts.
    size_t rowOf(Node& node) const {
        unsigned number = node.classNumber();
        if (number < found_.size() && found_[number]) return found_[number] - 1;
        for (size_t i = 0; i < rows_.size(); ++i) {
            if (rows_[i].matches(&node)) {
                if (rows_[i].unreached)
                    throw internalError(sourceFile_, VORN_STRINGIZE(__LINE__),
                                        "Tree node type not support by " + visitorName_ + ": " + node.typeName() +
                                            " (" + rows_[i].unreached + ")");
                if (number >= found_.size()) found_.resize(number + 1);
                found_[number] = i + 1;
                return i;
            }
        }
        throw internalError(sourceFile_, VORN_STRINGIZE(__LINE__),
                            "Tree node type not support by " + visitorName_ + ": " + node.typeName());
    }

    // Whether some row serves exactly class T (for registration checks).
    bool hasRowFor(const std::type_info& type) const {
        for (const Row& row : rows_)
            if (row.type == std::type_index(type)) return true;
        return false;
    }

    // The classes of the node table, by name, that the visitor's node type covers and that no
    // row serves: what would reach the internal error above. A class only derived from needs
    // no row: no finished tree holds a node of it.
    std::vector<std::string> unservedClasses() const {
        std::vector<std::string> unserved;
        const std::vector<NodeClass>& classes = nodeClasses();
        for (size_t i = 0; i < classes.size(); ++i) {
            if (!classes[i].built || !nodeClassIsA<std::remove_const_t<Node>>(i)) continue;
            if (std::none_of(rows_.begin(), rows_.end(), [i](const Row& row) { return row.serves(i); }))
                unserved.push_back(classes[i].name);
        }
        return unserved;
    }
    const char* sourceFile() const { return sourceFile_; }
    const std::string& visitorName() const { return visitorName_; }

private:
    template <class T>
    using Typed = std::conditional_t<std::is_const<Node>::value, const T, T>;

    template <class T>
    static constexpr void checkClass() {
        static_assert(std::is_base_of<std::remove_const_t<Node>, T>::value, "a row's class must be a kind of the node");
    }

    template <class T>
    static bool isA(Node* node) {
        return dynamic_cast<Typed<T>*>(node) != nullptr;
    }

    // The row matched the node's dynamic class through a dynamic_cast, so the static one is safe.
    template <class T, auto handler>
    static R invoke(Node& node, Context... context) {
        Typed<T>& typed = static_cast<Typed<T>&>(node);
        if constexpr (std::is_member_function_pointer<decltype(handler)>::value)
            return std::invoke(handler, std::forward<Context>(context)..., typed);
        else if constexpr (std::is_invocable<decltype(handler), Typed<T>&, Context...>::value)
            return std::invoke(handler, typed, std::forward<Context>(context)...);
        else
            return std::invoke(handler, typed);
    }

    static R nothing(Node&, Context...) { return R(); }

    const char* sourceFile_;
    std::string visitorName_;
    std::vector<Row> rows_;
    // One process, one thread: the cache is filled on first use and never invalidated, since
    // the rows never change. By class number: the row's index plus one, 0 while not known.
    mutable std::vector<size_t> found_;
};

// Lists a dispatch table by its accessor, which is called only when the tables are checked.
// Each file that keeps a table lists it once, beside the accessor, as a namespace-scope
// constant: [[maybe_unused]] const bool listed = listNodeDispatch(&accessor);
void listNodeDispatchCheck(std::function<std::vector<std::string>()> unserved);
template <class Table>
bool listNodeDispatch(const Table& (*accessor)()) {
    listNodeDispatchCheck([accessor] {
        const Table& table = accessor();
        std::vector<std::string> lines;
        for (const std::string& name : table.unservedClasses())
            lines.push_back(table.visitorName() + " (" + table.sourceFile() + ") has no row for " + name);
        return lines;
    });
    return true;
}
// Every listed table asked: one line for each class that a table's node type covers and none of
// its rows serves. Empty when all is well.
std::vector<std::string> unservedNodeClasses();
// The same as an internal error, thrown when there is a line to give.
void checkNodeDispatchTables();
// How many tables are listed.
size_t listedNodeDispatchTables();

// The node as a T, or null: dynamic_cast's answer, read from the node table by class number.
// A failed dynamic_cast walks the class's bases comparing names, which on hot walks over the
// whole tree (linking, the check that every statement was processed) cost more than the walk.
template <class T, class Node>
std::conditional_t<std::is_const<Node>::value, const T, T>* nodeCast(Node* node) {
    static_assert(std::is_base_of<ASTObject, T>::value && std::is_base_of<ASTObject, std::remove_const_t<Node>>::value,
                  "node classes only");
    typedef std::conditional_t<std::is_const<Node>::value, const T, T> Typed;
    if (!node) return nullptr;
    const unsigned number = node->classNumber();
    // A class the table does not list is numbered after its rows, and asked of dynamic_cast.
    if (number > nodeClassRows) return dynamic_cast<Typed*>(node);
    return nodeClassIsA<T>(number - 1) ? static_cast<Typed*>(node) : nullptr;
}
