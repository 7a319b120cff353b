// Library back end: writes a module's library interface file (".vnl"), the short list of its
// name, imports, classes, functions, variables and properties that importers read instead of
// the source. Takes a completed module; gives one text file. Never writes C++ and never
// compares the file with the one it replaces.
#pragma once

#include <iosfwd>
#include <string>

#include "FrontEnd.hpp"

// The text of a type in a record: a simple type's name, nothing for any other type.
std::string libraryTypeText(const TypeExpression* type);

// Writes the records of a module under the given dotted name.
void writeLibraryRecords(const Module& module, const std::string& dottedName, std::ostream& out);
