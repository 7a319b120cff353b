// Compile-time values: the defaults of Object.
#include "Value.hpp"

ObjectPtr Object::unaryOperator(const std::string& op) { throw NoOperator(op, typeName()); }

ObjectPtr Object::binaryOperator(const std::string& op, const ObjectPtr&) { throw NoOperator(op, typeName()); }

ObjectPtr Object::member(const std::string& name) { throw NoMember(typeName(), name); }

ObjectPtr Object::call(const ObjectList&) { throw NoCall(typeName()); }

const char* Object::typeName() const { return "unknown runtime object"; }
