// Compile-time values: everything the macro interpreter handles is an Object, syntax tree
// nodes included. Operations return new shared values and never copy implicitly; anything a
// type does not support raises one of the MacroError family.
#pragma once

#include <boost/shared_ptr.hpp>
#include <string>
#include <vector>

#include "Diagnostics.hpp"

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
