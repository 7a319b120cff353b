// Module names: the name a file or an import gives a module, the dotted form used in messages,
// and the paths of a module's source and generated files under the base and output directories.
// Takes paths and dotted texts; gives names and paths. Never touches a file's content and never
// knows which stage reads or writes a path.
#pragma once

#include <string>
#include <vector>

// A module's name: its components (a.b.c) and the extension of the file it came from.
// Only the components take part in ordering and equality, so a name is the same key
// whatever extension it was given with.
struct ModuleName {
    std::string extension;
    std::vector<std::string> components;

    bool operator<(const ModuleName& o) const { return components < o.components; }
    bool operator==(const ModuleName& o) const { return components == o.components; }
    bool operator!=(const ModuleName& o) const { return !(*this == o); }
};

// Turns a file path into a module name. With resolveBase the directories of the path become
// the base directory (and slot 0 of the include directories); with checkExtension an
// extension that cannot be one (not starting with a lower-case letter) is dropped.
ModuleName parseModuleName(const std::string& path, bool resolveBase, bool checkExtension);

// The components joined by "." (for messages).
std::string dottedName(const ModuleName& name);
// The components joined by "/", then "." and the extension (the "." even when it is empty).
std::string relativeFileName(const ModuleName& name);
// Where the module's source with the given extension lies: under vornDir + "lib/" for
// library modules, else under the base directory; no "." when the extension is empty.
std::string sourcePath(const ModuleName& name, const std::string& extension);
// Where a generated file goes: base directory, the path with "_" before the last component;
// or, with an output directory, that directory and the last component. No "." when the
// extension is empty.
std::string outputPath(const ModuleName& name, const std::string& extension);

// The components of a dotted name; empty parts (a leading, trailing or doubled ".") are none.
std::vector<std::string> splitDottedName(const std::string& dotted);
// The name whose components are those of a dotted name, without extension.
ModuleName dottedModuleName(const std::string& dotted);

// The name under which a library module is registered: each component with its first letter
// in upper case and the rest in lower case.
std::vector<std::string> libraryRegistryName(const std::vector<std::string>& components);
// True for names whose first component is "Library": they are read from the library.
bool isLibraryName(const ModuleName& name);

// The directory names are resolved against (ending in a separator), written by parseModuleName;
// and the flat output directory, set only by the emulation of cl.exe. Both are read by the path
// functions above and reset with the rest of the build state.
extern std::string baseDirectory;
extern std::string outputDirectory;

// Where the module's path starts: the base directory, unless the base directory holds neither
// its ".vn" nor its ".vni" and an include directory (-I) does, as the modules of a library in a
// folder of its own do; then the first such directory (ending in a separator). Its sources,
// and without an output directory its generated files, lie there. Each name is looked up once.
const std::string& moduleRoot(const ModuleName& name);
// Forgets the roots found (with the rest of the build state).
void forgetModuleRoots();
