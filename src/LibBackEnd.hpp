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

class LibBackEnd : public BackEnd {
public:
    // Writes the module's file at its output path for "vnl", replacing any old one.
    void writeModule(Module& module) override;
    std::time_t outputTime(const ModuleName& name) override;
    void removeOutputs(const ModuleName& name) override;
    // Object files are the C++ back end's; asking this one is a fault.
    void removeObjects(const ModuleName& name) override;
};
