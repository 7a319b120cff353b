// Kept header records (".vnh"): what an include interface file's headers gave a run, kept in
// its output folder so that a rerun with nothing to do preprocesses no header. Takes the
// headers an interface file imported and every file the preprocessor read for them; gives them
// back while none of those files, the interface file or the search options changed. Never
// holds declarations: a translation that needs them reads the headers again.
#pragma once

#include <string>
#include <vector>

#include "base/ModuleName.hpp"

// A header that an interface file's "include =" value found (see findHeaders).
struct FoundHeader {
    std::string path;      // full path of the header
    std::string relative;  // the value's directory part and the entry name
    bool inSystemDirectory = false;
};

// Where a search looked and found nothing, or how many headers a pattern matched: a header
// added there later would change the result, so the records hold only while these hold.
struct HeaderSearchTrail {
    std::vector<std::string> missed;                            // paths with no file
    std::vector<std::pair<std::string, size_t>> patterns;  // "dir/pattern" and its matches
};

struct KeptHeader {
    ModuleName name;  // the header module, with its extension
    int line = 0;     // of the interface file's "include =" line that found it
    FoundHeader found;
    std::vector<std::string> files;  // read for it besides the header itself
    HeaderSearchTrail trail;         // of the "include =" search and of its #include lines
};

// The number of files in `directoryAndPattern`'s folder that its last component matches.
size_t countMatches(const std::string& directoryAndPattern);

// Notes the headers an interface file's read from source imported, in import order, with the
// search options they were found under; written by writeKeptHeaders.
void noteReadHeaders(const ModuleName& includeModule, std::vector<KeptHeader> headers, const std::string& searchKey);
// Writes the noted records; a file that cannot be written is passed over (the next run reads
// the headers again). False when nothing was noted for the module.
bool writeKeptHeaders(const ModuleName& includeModule);
// The records, when the file reads whole, was made under the same search options and is no
// older than the interface file and every file it names (all still there); else false.
bool readKeptHeaders(const ModuleName& includeModule, const std::string& interfacePath, const std::string& searchKey,
                     std::vector<KeptHeader>& headers);
// Forgets what was noted (tests run many builds in one process).
void forgetReadHeaders();
