// Kept header records: one line per fact, tagged by its first three letters, paths to the end
// of the line (they may hold blanks), closed by "eof" so that a file cut short is passed over.
//   vnh 2 / opt SEARCH-KEY / hdr LINE EXT NAME / at PATH / rel RELATIVE / sys 0|1 / inc PATH /
//   non PATH (no file there) / pat COUNT DIR/PATTERN / eof
#include "front/HeaderCache.hpp"

#include <fstream>
#include <map>
#include <sstream>

#include "back/CppWriter.hpp"
#include "platform/Platform.hpp"

namespace {

struct Noted {
    std::vector<KeptHeader> headers;
    std::string searchKey;
};
// Written by the include front end after reading an interface file's headers, read when the
// build manager reaches the module; keyed by the interface file's module.
std::map<std::string, Noted> noted;

const char* const formatLine = "vnh 2";

// A line break in a value would split the record; such a value is never kept.
bool oneLine(const std::string& text) { return text.find_first_of("\r\n") == std::string::npos; }

std::string recordsOf(const Noted& what) {
    std::ostringstream out;
    out << formatLine << "\nopt " << what.searchKey << '\n';
    for (const KeptHeader& header : what.headers) {
        out << "hdr " << header.line << ' ' << header.name.extension << ' ' << dottedName(header.name) << '\n';
        out << "at  " << header.found.path << "\nrel " << header.found.relative << '\n';
        out << "sys " << (header.found.inSystemDirectory ? 1 : 0) << '\n';
        for (const std::string& file : header.files) out << "inc " << file << '\n';
        for (const std::string& path : header.trail.missed) out << "non " << path << '\n';
        for (const auto& pattern : header.trail.patterns) out << "pat " << pattern.second << ' ' << pattern.first << '\n';
    }
    out << "eof\n";
    return out.str();
}

bool keepable(const Noted& what) {
    if (!oneLine(what.searchKey)) return false;
    for (const KeptHeader& header : what.headers) {
        if (!oneLine(header.found.path) || !oneLine(header.found.relative)) return false;
        for (const std::string& file : header.files)
            if (!oneLine(file)) return false;
        for (const std::string& path : header.trail.missed)
            if (!oneLine(path)) return false;
        for (const auto& pattern : header.trail.patterns)
            if (!oneLine(pattern.first)) return false;
    }
    return true;
}

// Whether the file is there and no newer than the records.
bool unchangedSince(const std::string& path, platform::FileTime kept) {
    const platform::FileTime time = platform::modificationTime(path);
    return time != 0 && time <= kept;
}

bool parseRecords(std::istream& in, const std::string& searchKey, platform::FileTime kept,
                  std::vector<KeptHeader>& headers) {
    std::string line;
    if (!std::getline(in, line) || line != formatLine) return false;
    if (!std::getline(in, line) || line != "opt " + searchKey) return false;
    while (std::getline(in, line)) {
        if (line == "eof") return true;
        if (line.size() < 4) return false;
        const std::string tag = line.substr(0, 3), value = line.substr(4);
        if (tag == "hdr") {
            std::istringstream fields(value);
            KeptHeader header;
            std::string name;
            if (!(fields >> header.line >> header.name.extension) || !std::getline(fields >> std::ws, name) ||
                name.empty())
                return false;
            header.name.components = splitDottedName(name);
            headers.push_back(header);
            continue;
        }
        if (headers.empty()) return false;
        KeptHeader& header = headers.back();
        if (tag == "at ") {
            header.found.path = value;
        } else if (tag == "rel") {
            header.found.relative = value;
        } else if (tag == "sys") {
            header.found.inSystemDirectory = value == "1";
        } else if (tag == "inc") {
            header.files.push_back(value);
        } else if (tag == "non") {
            if (platform::isRegularFile(value)) return false;
        } else if (tag == "pat") {
            std::istringstream fields(value);
            size_t count = 0;
            std::string pattern;
            if (!(fields >> count) || !std::getline(fields >> std::ws, pattern) || countMatches(pattern) != count)
                return false;
        } else {
            return false;
        }
        if ((tag == "at " || tag == "inc") && !unchangedSince(value, kept)) return false;
    }
    return false;  // cut short
}

}  // namespace

size_t countMatches(const std::string& directoryAndPattern) {
    const size_t slash = directoryAndPattern.find_last_of("/\\");
    const std::string directory = slash == std::string::npos ? std::string() : directoryAndPattern.substr(0, slash + 1);
    size_t count = 0;
    for (const std::string& entry : platform::listDirectory(directory, directoryAndPattern.substr(directory.size())))
        if (platform::isRegularFile(directory + entry)) ++count;
    return count;
}

void noteReadHeaders(const ModuleName& includeModule, std::vector<KeptHeader> headers, const std::string& searchKey) {
    noted[dottedName(includeModule)] = Noted{std::move(headers), searchKey};
}

bool writeKeptHeaders(const ModuleName& includeModule) {
    auto found = noted.find(dottedName(includeModule));
    if (found == noted.end()) return false;
    if (keepable(found->second)) {
        const std::string path = outputPath(includeModule, "vnh");
        const std::string aside = writeBeside(path, recordsOf(found->second));
        if (!aside.empty()) moveIntoPlace(aside, path);
    }
    noted.erase(found);
    return true;
}

bool readKeptHeaders(const ModuleName& includeModule, const std::string& interfacePath, const std::string& searchKey,
                     std::vector<KeptHeader>& headers) {
    const std::string path = outputPath(includeModule, "vnh");
    const platform::FileTime kept = platform::modificationTime(path);
    if (kept == 0 || !unchangedSince(interfacePath, kept) || !platform::isRegularFile(path)) return false;
    std::ifstream in(path.c_str(), std::ios::binary);
    std::vector<KeptHeader> read;
    if (!in.is_open() || !parseRecords(in, searchKey, kept, read) || read.empty()) return false;
    for (const KeptHeader& header : read)
        if (header.found.path.empty() || header.name.components.empty()) return false;
    headers = std::move(read);
    return true;
}

void forgetReadHeaders() { noted.clear(); }
