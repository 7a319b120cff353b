// Module names: parsing paths into names and forming the paths of sources and outputs.
#include "base/ModuleName.hpp"

#include <cctype>
#include <map>

#include "base/RunOptions.hpp"
#include "platform/Platform.hpp"

std::string baseDirectory;
std::string outputDirectory;

namespace {
// The roots of the names looked up so far; an empty entry stands for the base directory, which
// is set before the first lookup and stays.
std::map<ModuleName, std::string> moduleRoots;

bool holdsModule(const std::string& root, const ModuleName& name) {
    for (const char* extension : {"vn", "vni"})
        if (platform::isRegularFile(root + relativeFileName(ModuleName{extension, name.components}))) return true;
    return false;
}
}  // namespace

const std::string& moduleRoot(const ModuleName& name) {
    if (runOptions.includeDirs.size() < 2 || name.components.empty()) return baseDirectory;
    auto known = moduleRoots.find(name);
    if (known == moduleRoots.end()) {
        std::string root;
        if (!holdsModule(baseDirectory, name))
            for (size_t i = 1; i < runOptions.includeDirs.size() && root.empty(); ++i) {
                std::string dir = runOptions.includeDirs[i];
                if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
                if (holdsModule(dir, name)) root = dir;
            }
        if (!root.empty()) verboseProgress("found " + dottedName(name) + " in include directory " + root);
        known = moduleRoots.emplace(name, root).first;
    }
    return known->second.empty() ? baseDirectory : known->second;
}

void forgetModuleRoots() { moduleRoots.clear(); }

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

bool endsInSeparator(const std::string& text) { return !text.empty() && isSeparator(text.back()); }

std::string joined(const std::vector<std::string>& parts, const std::string& glue, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) out += glue;
        out += parts[i];
    }
    return out;
}

std::string joined(const std::vector<std::string>& parts, const std::string& glue) {
    return joined(parts, glue, parts.size());
}

// The extension a path names: the text after its last '.', or nothing. With checking, a
// text that cannot be an extension (a directory part, or not starting lower-case) is none.
std::string extensionOf(const std::string& path, bool checkExtension) {
    std::string::size_type dot = path.rfind('.');
    if (dot == std::string::npos) return std::string();
    std::string extension = path.substr(dot + 1);
    if (checkExtension) {
        bool startsLower = !extension.empty() && extension[0] >= 'a' && extension[0] <= 'z';
        if (!startsLower || extension.find_first_of("/\\") != std::string::npos) return std::string();
    }
    return extension;
}

}  // namespace

ModuleName parseModuleName(const std::string& path, bool resolveBase, bool checkExtension) {
    bool absolute = (!path.empty() && isSeparator(path[0])) || (path.size() > 1 && path[1] == ':');
    if (resolveBase) {
        if (absolute) {
            baseDirectory.clear();
        } else {
            baseDirectory = platform::currentDirectory();
            if (!endsInSeparator(baseDirectory)) baseDirectory += '/';
        }
    }
    ModuleName name;
    name.extension = extensionOf(path, checkExtension);

    std::string::size_type pos = 0;
    while (pos < path.size()) {
        std::string::size_type end = path.find_first_of("/\\.", pos);
        if (end == pos) end = path.find_first_of("/\\", pos);  // keeps ".", ".." and ".name" whole
        // A folder of an input path is a folder whatever it holds: "/tmp/x.1/a.vn" lies in
        // "/tmp/x.1/", rather than naming a module "tmp.x" that exists nowhere.
        std::string::size_type separator = path.find_first_of("/\\", pos);
        if (resolveBase && separator != std::string::npos) end = separator;
        if (end == std::string::npos) end = path.size();
        std::string component = path.substr(pos, end - pos);
        bool directory = end < path.size() && isSeparator(path[end]);
        if (component == ".") {
            // the current directory adds nothing
        } else if (resolveBase && directory) {
            baseDirectory += component + "/";
        } else if (absolute && name.components.empty() && pos <= baseDirectory.size() &&
                   baseDirectory.compare(pos, component.size(), component) == 0) {
            // still inside the base directory's own text
        } else {
            name.components.push_back(component);
        }
        pos = end + 1;
    }
    if (!name.extension.empty() && !name.components.empty()) name.components.pop_back();
    if (resolveBase) runOptions.includeDirs[0] = baseDirectory;
    return name;
}

std::string dottedName(const ModuleName& name) { return joined(name.components, "."); }

std::string relativeFileName(const ModuleName& name) { return joined(name.components, "/") + "." + name.extension; }

std::string sourcePath(const ModuleName& name, const std::string& extension) {
    std::string root = isLibraryName(name) ? runOptions.vornDir + "lib/" : moduleRoot(name);
    std::string path = root + joined(name.components, "/");
    if (!extension.empty()) path += "." + extension;
    return path;
}

std::string outputPath(const ModuleName& name, const std::string& extension) {
    std::string path;
    if (!outputDirectory.empty()) {
        path = outputDirectory + (name.components.empty() ? std::string() : name.components.back());
    } else {
        path = moduleRoot(name);
        size_t count = name.components.size();
        if (count > 0) {
            if (count > 1) path += joined(name.components, "/", count - 1) + "/";
            path += "_" + name.components.back();
        }
    }
    if (!extension.empty()) path += "." + extension;
    return path;
}

std::vector<std::string> splitDottedName(const std::string& dotted) {
    std::vector<std::string> components;
    std::string::size_type start = 0;
    while (start <= dotted.size()) {
        std::string::size_type dot = dotted.find('.', start);
        if (dot == std::string::npos) dot = dotted.size();
        if (dot > start) components.push_back(dotted.substr(start, dot - start));
        start = dot + 1;
    }
    return components;
}

std::vector<std::string> libraryRegistryName(const std::vector<std::string>& components) {
    std::vector<std::string> result;
    for (const std::string& component : components) {
        std::string word;
        for (size_t i = 0; i < component.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(component[i]);
            word += static_cast<char>(i == 0 ? std::toupper(c) : std::tolower(c));
        }
        result.push_back(word);
    }
    return result;
}

ModuleName dottedModuleName(const std::string& dotted) {
    ModuleName name;
    name.components = splitDottedName(dotted);
    return name;
}

bool isLibraryName(const ModuleName& name) {
    return !name.components.empty() && name.components[0] == "Library";
}
