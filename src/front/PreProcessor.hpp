// The C preprocessor: a TokenStream over one C or C++ header. Takes the header's path, the
// macros an include interface file or the command line predefines, and the system's include
// directories and predefined macros; gives the tokens of the header itself with directives
// carried out and macros expanded (included files contribute only their macros). It never
// hangs or crashes on bad input: includes, macro nesting and the work done are all bounded.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "front/Lexer.hpp"
#include "base/Text.hpp"
#include "platform/Platform.hpp"


struct PreProcessorSettings {
    // Object-like macros: name to body text (an include interface file's "define" lines).
    std::map<std::string, std::string> defines;
    // "#define" and "#undef" lines read after the system's predefines (the -D options).
    std::string commandLineMacros;
    // The predefined macros and system include directories of the compiler of the output.
    platform::CompilerPreprocessor system;
    // The tokens of included files reach the output too, as a C compiler's would.
    bool keepIncludedTokens = false;
    // With keepIncludedTokens: files under these directories, and all they include, give no
    // tokens (the C++ library's, whose templates the header grammar does not read).
    std::vector<std::string> tokenlessDirectories;
    // Tokens that expansion may make between two tokens read from a file; past it the load
    // fails. Files themselves may be of any size.
    std::size_t workLimit = 10u * 1000u * 1000u;
};

class PreProcessor : public TokenStream {
public:
    struct Macro {
        std::vector<Token> body;
        bool functionLike = false;
        std::vector<std::string> parameters;
        bool variadic = false;  // the last parameter takes the rest of the arguments
        // Per body token: the index of the parameter it names (-1 for none), and whether
        // blanks stood before it (stringizing keeps them as one blank).
        std::vector<int> parameterAt;
        std::vector<bool> blankBefore;
        // Set while the macro's replacement is rescanned: C never expands a macro inside its
        // own expansion, which ends mutual recursion such as A -> B -> A.
        bool active = false;
    };
    typedef boost::shared_ptr<Macro> MacroPtr;

    // Processes the whole file; the first token is current when it returns. Failures that end
    // the load are thrown as CompileError; the others are queued as diagnostics.
    PreProcessor(const std::string& path, LexerOptions options,
                 const PreProcessorSettings& settings = PreProcessorSettings());
    ~PreProcessor() override;

    void fill() override;
    std::string streamName() const override { return "preprocessor"; }

    bool isDefined(const std::string& name) const;

    // Deepest include nesting; past it the load fails ("Too much include, probably recursion").
    static const int maxIncludeDepth = 200;

    std::unordered_map<std::string, MacroPtr> macros;
    std::vector<int> conditions;  // 0 taken, 1 not yet taken, 2 never taken
    int includeDepth = 0;
    std::set<std::string> included;  // every path read, in the order of names
    // Every path an #include or __has_include looked at and found no file at: a header added
    // there later would change what the header gives.
    std::set<std::string> missed;
    LexerOptions options;

    struct Engine;  // the file reader and the macro expander, private to PreProcessor.cpp

private:
    std::unique_ptr<Engine> engine;
};
