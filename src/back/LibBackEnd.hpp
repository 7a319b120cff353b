// Library back end: writes a module's library interface file (".vnl"), the short list of its
// name, imports, classes, functions, variables and properties that importers read instead of
// the source, closed by digests of the declarations it was made from. Takes a completed module;
// gives one text file, and tells whether a file on disk still stands for its module. Never
// writes C++ and never compares the file with the one it replaces.
#pragma once

#include <iosfwd>
#include <string>

#include "tree/FrontEnd.hpp"

// The text of a type in a record: a simple type's name, nothing for any other type.
std::string libraryTypeText(const TypeExpression* type);

// Writes the records of a module under the given dotted name.
void writeLibraryRecords(const Module& module, const std::string& dottedName, std::ostream& out);

// A digest of the declarations a module shows its importers: the text of its generated hpp2 and
// hpp files without blank lines and #line directives (as the comparison with old files reads
// them) and, for a module made from a C or C++ header, that header's text. "none" when the
// module has no header yet. Remembered for the run until forgotten.
std::string declarationsDigest(const ModuleName& name, const std::string& headerPath);
// Forgets the digest of a module whose C++ files were just written, and every chained digest
// made from it; with no name, every one (tests run many builds in one process).
void forgetDeclarationsDigest(const ModuleName& name);
void forgetDeclarationsDigests();

// The file ends in digest records, one for each module whose declarations its module was
// translated against, and then "eof": a file cut short, or made from declarations that changed
// since, no longer stands for its module. The records name the module's imports only, and
// behind an import made from a header or an include interface (which has no file like this) what
// that header includes. The digest of a module with such a file is chained: its own declarations
// with the digests of the records its file marks passed on by its header, so that a change
// anywhere below shows in every importer's record, and the modules of an import cycle share one
// digest taken over the cycle. Each is taken once a run, from the files as they are.
class LibBackEnd : public BackEnd {
public:
    ~LibBackEnd() override;
    // Writes the module's file at its output path for "vnl", replacing any old one.
    void writeModule(Module& module) override;
    // The two halves of writeModule: the file written beside its place, and then moved there.
    // Each reports a failure as an error in the diagnostics list and returns false. The build
    // manager moves the file only once the C++ files are in place.
    bool writeAside(const Module& module);
    bool commit();
    // Whether the module's C++ files, no older than its source of that time, may stand for it:
    // its interface file, moved into place after them, is no older either, reads whole and was
    // made from the declarations its digests name as they are now. A module without an interface
    // file (never written, or deleted by hand) is judged by its C++ files alone.
    static bool interfaceCurrent(const ModuleName& name, platform::FileTime source);
    // Writes the digest records again when the declarations they name changed after the file was
    // written: in an import cycle the modules are translated from each other's sources before the
    // later ones' headers exist. False when the file could not be rewritten.
    static bool refreshDigests(const ModuleName& name);
    platform::FileTime outputTime(const ModuleName& name) override;
    void removeOutputs(const ModuleName& name) override;
    // Object files are the C++ back end's; asking this one is a fault.
    void removeObjects(const ModuleName& name) override;

private:
    std::string path_, aside_, module_;
};
