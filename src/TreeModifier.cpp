// Tree modifier: runs the registered handler of a declaration's class once per declaration
// and turns any failure into a queued diagnostic. Knows no pass itself; the passes register.
// Never runs a handler twice for one node, even when the handler reaches the node again.
#include "TreeModifier.hpp"

#include <map>

#include "TypeOf.hpp"

namespace {

const char* const sourceFile = "src/TreeModifier";

// Who writes: the passes' handlers are installed when the table is first used; tests may
// replace them. Who reads: processDeclaration.
std::map<std::string, DeclarationHandler>& handlers() {
    static std::map<std::string, DeclarationHandler> table = [] {
        std::map<std::string, DeclarationHandler> passes;
        for (const auto& row : typeInferenceHandlers()) passes.insert(row);
        return passes;
    }();
    return table;
}

void queue(const CompileError& error, const SourceLocation& fallback) {
    SourceLocation at = error.position.hasFile() ? error.position : fallback;
    if (error.severity == SeverityWarning)
        reportWarning(error.message, at);
    else
        reportError(error.message, at);
}

void runHandler(const DeclarationHandler& handler, Declaration& declaration) {
    ASTObjectPtr replacement = handler(declaration);
    if (replacement) throw VORN_INTERNAL_ERROR(sourceFile, "Declarations can not be changed");
}

}  // namespace

void setDeclarationHandler(const std::string& className, const DeclarationHandler& handler) {
    if (handler)
        handlers()[className] = handler;
    else
        handlers().erase(className);
}

SourceLocation processDeclaration(Declaration* declaration) {
    if (!declaration) return SourceLocation();
    if (declaration->processed) return declaration->location;
    // Marked first, so that a declaration reached again during its own analysis (a recursive
    // function, a class naming itself) is left alone instead of looping.
    declaration->processed = true;
    auto found = handlers().find(declaration->className());
    if (found == handlers().end()) return declaration->location;
    DeclarationHandler handler = found->second;  // a handler may register others while it runs
    const SourceLocation& at = declaration->location;
    try {
        runHandler(handler, *declaration);
    } catch (const CompileError& error) {
        queue(error, at);
    } catch (const std::exception& error) {
        reportError(error.what(), at);
    } catch (const char* text) {
        reportError(text, at);
    } catch (const std::string& text) {
        reportError(text, at);
    }
    return declaration->location;
}
