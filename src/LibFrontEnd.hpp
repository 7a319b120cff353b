// Library front end: reads a library interface file (".vnl") into a module of declarations,
// with any nested modules the file describes. Takes the file's lines; gives modules that are
// up to date and not fully loaded. Never reads a module's source and never binds imports:
// the build manager resolves them.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "FrontEnd.hpp"

// Reads the records of one library file. The first module is the file's own (named by its
// "lib" record, else by defaultName); nested "mod" modules follow it in `described`. Records
// the reader cannot keep are reported at their line of fileName and read past.
ModulePtr readLibraryRecords(std::istream& in, const std::string& defaultName, std::vector<ModulePtr>& described,
                             const std::string& fileName = std::string());

// The name under which a library module is registered: each component with its first letter
// in upper case and the rest in lower case.
std::vector<std::string> libraryRegistryName(const std::vector<std::string>& components);

// The components of a dotted module name as records write it.
std::vector<std::string> splitDottedName(const std::string& dotted);

class LibFrontEnd : public FrontEnd {
public:
    // Reads the library file at the name's source path for "vnl" and registers every module
    // it describes under its capitalised name; empty when the file cannot be read.
    ModulePtr loadModule(const ModuleName& name) override;
    std::time_t sourceTime(const ModuleName& name) override;
    // Reads a module's own interface file, the one written beside its generated C++.
    ModulePtr loadOwnInterface(const ModuleName& name);
};
