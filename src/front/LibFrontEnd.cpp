// Library front end: one pass over the records, keeping the module, class and namespace that
// later records belong to. Takes text; gives declarations entered in their blocks' tables.
// Never fails on an unknown keyword: files written by other means may carry more records.
#include "front/LibFrontEnd.hpp"

#include <algorithm>
#include <boost/make_shared.hpp>
#include <cctype>
#include <fstream>
#include <istream>
#include <iterator>

#include "base/ModuleName.hpp"
#include "platform/Platform.hpp"

namespace {

SimpleTypeExprPtr typeNamed(const std::string& name) {
    if (name.empty()) return SimpleTypeExprPtr();
    SimpleTypeExprPtr type = boost::make_shared<SimpleTypeExpr>();
    type->name = name;
    return type;
}

// Splits at the first space: the text before it, and the rest (empty when there is none).
std::pair<std::string, std::string> splitFirst(const std::string& text) {
    std::string::size_type space = text.find(' ');
    if (space == std::string::npos) return {text, std::string()};
    return {text.substr(0, space), text.substr(space + 1)};
}

ModulePtr newModule(const std::string& dottedName) {
    ModulePtr module = boost::make_shared<Module>();
    module->name = dottedName;
    module->block = boost::make_shared<Block>();
    module->block->parent = module.get();
    module->upToDate = true;
    module->fullyLoaded = false;
    return module;
}

// Classes nested deeper than C++ compilers need to accept (and than any source that parses)
// make trees whose recursive writing and freeing would run out of stack.
const std::size_t maximumClassNesting = 256;

class RecordReader {
public:
    RecordReader(const std::string& defaultName, const std::string& fileName, std::vector<ModulePtr>& described)
        : described(described), file(internFileName(fileName)) {
        fileModule = newModule(defaultName);
        described.push_back(fileModule);
        startModule(fileModule);
    }

    void line(const std::string& text) {
        ++lineNumber;
        std::string keyword = text.substr(0, 3);
        std::string fields = text.size() > 4 ? text.substr(4) : std::string();
        typedef void (RecordReader::*Handler)(const std::string&);
        static const std::pair<const char*, Handler> handlers[] = {
            {"lib", &RecordReader::lib}, {"imp", &RecordReader::imp}, {"cls", &RecordReader::cls},
            {"end", &RecordReader::end}, {"fun", &RecordReader::fun}, {"var", &RecordReader::var},
            {"prp", &RecordReader::prp}, {"typ", &RecordReader::typ}, {"tal", &RecordReader::tal},
            {"dal", &RecordReader::dal}, {"pfx", &RecordReader::pfx}, {"nsp", &RecordReader::nsp},
            {"inc", &RecordReader::inc}, {"mod", &RecordReader::mod},
        };
        // Inside a class too deep to keep, only the class records that keep the count matter.
        if (skippedClasses && keyword != "cls" && keyword != "end" && keyword != "mod") return;
        for (const auto& handler : handlers)
            if (keyword == handler.first) return (this->*handler.second)(fields);
        // "ali", "mac" and anything unknown: nothing to do.
    }

    ModulePtr fileModule;

private:
    void startModule(const ModulePtr& module) {
        current = module;
        openClasses.clear();
        skippedClasses = 0;
    }

    Block* currentBlock() const {
        return openClasses.empty() ? current->block.get() : openClasses.back()->body.get();
    }

    // Top-level names carry the namespace the file has set.
    std::string qualified(const std::string& name) const {
        if (!openClasses.empty() || namespaceText.empty()) return name;
        return namespaceText + "::" + name;
    }

    void add(const DeclarationPtr& declaration, const std::string& key) {
        Block* block = currentBlock();
        auto entry = block->statements.insert(block->statements.end(), declaration);
        declaration->parent = block;
        declaration->place.memberContext = block;
        declaration->place.statementSlot.block = block;
        declaration->place.statementSlot.entry = entry;
        block->names.emplace(key, declaration);  // the first declaration of a name stays
    }

    void lib(const std::string& fields) { current->name = fields; }

    void imp(const std::string& fields) {
        ImportDeclarationPtr import = boost::make_shared<ImportDeclaration>();
        char digit = fields.empty() ? '2' : fields[0];
        import->inHeader = digit == '0' ? 0 : digit == '1' ? 1 : 2;
        import->path = splitDottedName(splitFirst(fields).second);
        current->addImport(import);
    }

    void cls(const std::string& fields) {
        if (skippedClasses || openClasses.size() >= maximumClassNesting) {
            if (!skippedClasses++)
                reportError("classes nested more than " + std::to_string(maximumClassNesting) + " deep",
                            SourceLocation(file, lineNumber, 0));
            return;
        }
        ClassDeclarationPtr declaration = boost::make_shared<ClassDeclaration>();
        std::pair<std::string, std::string> words = splitFirst(fields);
        declaration->name = qualified(words.first);
        declaration->body = boost::make_shared<Block>();
        declaration->body->parent = declaration.get();
        // Walked in place: splitting off the rest at every base would copy it once per base.
        const std::string& rest = words.second;
        for (std::string::size_type at = 0; at < rest.size();) {
            std::string::size_type space = std::min(rest.find(' ', at), rest.size());
            // A run of spaces names no base; keeping one would write a different record back.
            if (space > at) {
                BaseDeclarationPtr base = boost::make_shared<BaseDeclaration>();
                base->type = typeNamed(rest.substr(at, space - at));
                declaration->bases.push_back(base);
            }
            at = space + 1;
        }
        add(declaration, declaration->name);
        openClasses.push_back(declaration);
    }

    void end(const std::string&) {
        if (skippedClasses)
            --skippedClasses;
        else if (!openClasses.empty())
            openClasses.pop_back();
    }

    template <class T>
    void data(const std::string& fields) {
        // The writer pads these keywords with two more spaces.
        std::pair<std::string, std::string> words = splitFirst(fields.size() > 2 ? fields.substr(2) : std::string());
        boost::shared_ptr<T> declaration = boost::make_shared<T>();
        declaration->name = qualified(words.first);
        declaration->type = typeNamed(words.second);
        add(declaration, declaration->name);
    }
    void fun(const std::string& fields) { data<FunctionDeclaration>(fields); }
    void var(const std::string& fields) { data<VariableDeclaration>(fields); }

    void prp(const std::string& fields) {
        std::pair<std::string, std::string> name = splitFirst(fields);
        std::pair<std::string, std::string> accessors = splitFirst(name.second);
        PropertyDeclarationPtr declaration = boost::make_shared<PropertyDeclaration>();
        declaration->name = qualified(name.first);
        declaration->getterName = accessors.first;
        declaration->setterName = accessors.second;
        add(declaration, declaration->name);
    }

    void typ(const std::string& fields) {
        TypeAliasDeclarationPtr declaration = boost::make_shared<TypeAliasDeclaration>();
        declaration->name = qualified(fields);
        add(declaration, declaration->name);
    }

    // A declaration of one name found under another: the key is what programs write.
    template <class T>
    void alias(const std::string& fields) {
        std::pair<std::string, std::string> words = splitFirst(fields);
        boost::shared_ptr<T> declaration = boost::make_shared<T>();
        declaration->name = qualified(words.second);
        add(declaration, words.first);
    }
    void tal(const std::string& fields) { alias<TypeDeclaration>(fields); }
    void dal(const std::string& fields) { alias<DataDeclaration>(fields); }

    void pfx(const std::string&) {
        // Nothing reads the prefix yet; the module keeps no field for it.
    }

    void nsp(const std::string& fields) { namespaceText = fields; }

    void inc(const std::string& fields) { current->includes.push_back(fields); }

    void mod(const std::string& fields) {
        ModulePtr nested = newModule(fields);
        nested->isLibrary = true;
        ImportDeclarationPtr import = boost::make_shared<ImportDeclaration>();
        import->path = splitDottedName(fields);
        import->inHeader = 2;
        import->flags = ImportDeclaration::implicitImport | ImportDeclaration::noChangeCheck;
        import->module = nested;
        fileModule->addImport(import);
        described.push_back(nested);
        startModule(nested);
    }

    std::vector<ModulePtr>& described;
    ModulePtr current;
    std::vector<ClassDeclarationPtr> openClasses;
    std::size_t skippedClasses = 0;  // open classes beyond the nesting limit, read past
    std::string namespaceText;
    const std::string* file;
    int lineNumber = 0;
};

}  // namespace

ModulePtr readLibraryRecords(std::istream& in, const std::string& defaultName, std::vector<ModulePtr>& described,
                             const std::string& fileName) {
    RecordReader reader(defaultName, fileName, described);
    std::string text;
    while (std::getline(in, text)) {
        // Files written on Windows end their lines in CR; a run of them is no part of any field.
        while (!text.empty() && text.back() == '\r') text.pop_back();
        reader.line(text);
    }
    return reader.fileModule;
}

namespace {

std::vector<ModulePtr> readLibraryFile(const std::string& path, const ModuleName& name) {
    std::vector<ModulePtr> described;
    // A directory opens as a stream on some systems and would read as an empty library; a pipe
    // or a device would never end.
    if (!platform::isRegularFile(path)) return described;
    std::ifstream in(path.c_str());
    if (!in) return described;
    readLibraryRecords(in, dottedName(name), described, path);
    return described;
}

}  // namespace

std::vector<ModulePtr> LibFrontEnd::readLibrary(const ModuleName& name) {
    return readLibraryFile(sourcePath(name, "vnl"), name);
}

ModulePtr LibFrontEnd::loadModule(const ModuleName& name) {
    std::vector<ModulePtr> described = readLibrary(name);
    return described.empty() ? ModulePtr() : described.front();
}

platform::FileTime LibFrontEnd::sourceTime(const ModuleName& name) {
    return platform::modificationTime(sourcePath(name, "vnl"));
}

std::vector<ModulePtr> LibFrontEnd::readOwnInterface(const ModuleName& name) {
    return readLibraryFile(outputPath(name, "vnl"), name);
}

InterfaceSeal readInterfaceSeal(const std::string& path) {
    InterfaceSeal seal;
    if (!platform::isRegularFile(path)) return seal;
    std::ifstream in(path.c_str(), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string end = "eof\n";
    if (in.bad() || text.size() < end.size() || text.compare(text.size() - end.size(), end.size(), end) != 0 ||
        (text.size() > end.size() && text[text.size() - end.size() - 1] != '\n'))
        return seal;
    text.resize(text.size() - end.size());
    // The digest records follow all others.
    std::string::size_type digests = text.find("\ndig ");
    digests = text.compare(0, 4, "dig ") == 0 ? 0 : digests == std::string::npos ? text.size() : digests + 1;
    seal.records = text.substr(0, digests);
    for (std::string::size_type at = digests; at < text.size();) {
        const std::string::size_type newline = text.find('\n', at);
        const std::string line = text.substr(at, newline - at);
        at = newline + 1;
        if (line.compare(0, 4, "dig ") != 0) return seal;
        std::pair<std::string, std::string> mark = splitFirst(line.substr(4));
        if (mark.first != "0" && mark.first != "1") return seal;
        std::pair<std::string, std::string> digest = splitFirst(mark.second);
        std::pair<std::string, std::string> module = splitFirst(digest.second);
        seal.digests.push_back(RecordedDigest{mark.first == "1", digest.first, module.first, module.second});
    }
    seal.whole = true;
    return seal;
}
