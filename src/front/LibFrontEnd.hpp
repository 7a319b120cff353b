// Library front end: reads a library interface file (".vnl") into a module of declarations,
// with any nested modules the file describes. Takes the file's lines; gives modules that are
// up to date and not fully loaded. Never reads a module's source and never binds imports:
// the build manager resolves them.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "tree/FrontEnd.hpp"

// Reads the records of one library file. The first module is the file's own (named by its
// "lib" record, else by defaultName); nested "mod" modules follow it in `described`. Records
// the reader cannot keep are reported at their line of fileName and read past.
ModulePtr readLibraryRecords(std::istream& in, const std::string& defaultName, std::vector<ModulePtr>& described,
                             const std::string& fileName = std::string());

// One digest record of a module's own interface file, "dig MARK DIGEST MODULE [HEADER]": whether
// the module's header passes the declarations on to its importers (MARK 1) or only its own
// translation read them (0), the digest an importer records (LibBackEnd's chained digest), the
// dotted name and, for a module made from a header, the header.
struct RecordedDigest {
    bool passedOn = false;
    std::string digest, module, headerPath;
};
// The end of a module's own interface file. `whole` is false when the file is missing, is no
// regular file, does not end in the "eof" record and its newline, or has a digest record of
// another form (as the files of earlier versions do); `records` is the text before the digest
// records.
struct InterfaceSeal {
    bool whole = false;
    std::string records;
    std::vector<RecordedDigest> digests;
};
InterfaceSeal readInterfaceSeal(const std::string& path);

class LibFrontEnd : public FrontEnd {
public:
    // Reads the library file at the name's source path for "vnl": the file's own module first,
    // then every nested module it describes, for the build manager to register under their
    // capitalised names. Empty when the file cannot be read.
    std::vector<ModulePtr> readLibrary(const ModuleName& name);
    // The file's own module alone (the nested ones are only reachable through readLibrary).
    ModulePtr loadModule(const ModuleName& name) override;
    platform::FileTime sourceTime(const ModuleName& name) override;
    // Reads a module's own interface file, the one written beside its generated C++, in the
    // order readLibrary gives.
    std::vector<ModulePtr> readOwnInterface(const ModuleName& name);
};
