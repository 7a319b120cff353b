// The C++ declaration grammar (grammar mode 1) and the front end of C and C++ headers.
// Takes a header's path (read through the preprocessor) or any token stream; gives a Module tree
// of the header's declarations. Compiler extensions that carry nothing the language can use are
// dropped before the grammar sees them. Never writes a file; syntax errors are queued.
#pragma once

#include <ctime>
#include <string>

#include "tree/FrontEnd.hpp"
#include "front/Parser.hpp"
#include "front/PreProcessor.hpp"

// Builds the rules on the first call; every call selects grammar mode 1.
void buildCppGrammar();

// Parses a whole header from a stream of preprocessed tokens (whitespace and compiler extensions
// already gone: see HeaderTokens) and stores the module name.
ModulePtr parseCppModule(TokenStream& ts, const std::string& moduleName);

// The tokens the grammar reads: those of a source stream without whitespace, and without the
// GNU and Microsoft extensions that only guide a compiler: "__extension__", "__restrict",
// "__attribute__((...))", "__asm__(...)", "__declspec(...)"; "__inline" becomes "inline".
class HeaderTokens : public TokenStream {
public:
    explicit HeaderTokens(TokenStream& source);
    void fill() override;
    std::string streamName() const override { return "header"; }
};

class CppFrontEnd : public FrontEnd {
public:
    // The build manager's entry: parses the name's ".h" or ".hpp" file and links the tree.
    ModulePtr loadModule(const ModuleName& name) override;
    // A header module without declarations, standing for one that kept records say is unchanged.
    ModulePtr loadKept(const ModuleName& name) override;
    // 0 unless the extension is "h" or "hpp"; else the header's modification time.
    platform::FileTime sourceTime(const ModuleName& name) override;

    // Preprocesses and parses `path`; preprocessor failures are thrown as CompileError. The
    // macros left defined at the end are handed to `macros` when it is given.
    ModulePtr loadHeader(const std::string& path, const std::string& moduleName,
                         const PreProcessorSettings& settings = PreProcessorSettings(),
                         std::unordered_map<std::string, PreProcessor::MacroPtr>* macros = nullptr,
                         std::vector<std::string>* files = nullptr,
                         std::vector<std::string>* missed = nullptr) const;
};
