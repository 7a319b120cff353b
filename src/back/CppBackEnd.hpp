// C++ back end: writes one translated module as its three C++ files (forward declarations,
// header, implementation) and tells the build manager which of them changed in content.
// Takes a Module tree after expansion, lookup, typing and lowering; gives the files and the
// module's headerUnchanged and cppUnchanged flags. Never rewrites the tree: what C++ lacks
// has been lowered before it gets here.
#pragma once

#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "tree/Ast.hpp"
#include "back/CppEmitter.hpp"
#include "back/CppWriter.hpp"
#include "tree/FrontEnd.hpp"
#include "base/ModuleName.hpp"
#include "base/Text.hpp"

// How a generated file of a module is named inside an #include line: in flat mode the last
// component and the extension; otherwise the components joined by "/" with "_" before the last.
std::string generatedIncludePath(const std::vector<std::string>& components, const std::string& extension,
                                 bool flat);

// The components joined by "_", used after HEADER2 and HEADER in the include guards.
std::string guardName(const std::vector<std::string>& components);

// The back end of the C++ files. One object serves the whole run.
class CppBackEnd : public BackEnd {
public:
    // Writes the hpp2, hpp and cpp files and updates headerUnchanged and cppUnchanged. A file
    // that cannot be written is reported as an error in the diagnostics list.
    void writeModule(Module& module) override;
    // The oldest modification time of the module's cpp, hpp2 and hpp files; 0 if one is missing.
    platform::FileTime outputTime(const ModuleName& name) override;
    // Deletes the hpp, hpp2 and cpp files; failures are ignored.
    void removeOutputs(const ModuleName& name) override;
    // Deletes the obj and o files; failures are ignored.
    void removeObjects(const ModuleName& name) override;

    // Files go where the build manager's output naming puts them; an output directory (set
    // by the emulation of cl.exe) also makes the include lines flat.
    static bool flatMode() { return !outputDirectory.empty(); }

private:
    void writeForwardFile(const Module& module, CppWriter& out, const std::string& source,
                          const std::string& guard);
    void writeHeaderFile(const Module& module, CppWriter& out, const std::string& source,
                         const std::string& guard);
    void writeImplementationFile(const Module& module, CppWriter& out, const std::string& source);
    void writeTopLevel(const Module& module, CppWriter& out, EmitPhase phase);

    ArgumentSuffixes argumentSuffixes_;
};
