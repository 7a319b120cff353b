// Tree modifier: runs the registered handler of a declaration's class once per declaration
// and turns any failure into a queued diagnostic. Knows no pass itself; the passes register.
// Never runs a handler twice for one node, even when the handler reaches the node again.
#include "tree/TreeModifier.hpp"

#include "tree/NodeDispatch.hpp"

namespace {

const char* const sourceFile = "src/TreeModifier";

template <class T>
ASTObjectPtr runRegistered(T& declaration) {
    // Copied: a handler may register others while it runs.
    DeclarationHandler<T> handler = declarationHandler<T>();
    return handler ? handler(declaration) : ASTObjectPtr();
}

typedef NodeDispatch<ASTObjectPtr(Declaration&)> DeclarationDispatch;

// The declaration classes that can take a handler, in the order they are tested.
const DeclarationDispatch& declarationClasses() {
    typedef DeclarationDispatch D;
    static const D table(sourceFile, "tree modifier", {
        D::on<ForPart, &runRegistered<ForPart>>(),
        D::on<ArgumentDeclaration, &runRegistered<ArgumentDeclaration>>(),
        D::on<ClassDeclaration, &runRegistered<ClassDeclaration>>(),
        D::on<FunctionDeclaration, &runRegistered<FunctionDeclaration>>(),
        D::on<VariableDeclaration, &runRegistered<VariableDeclaration>>(),
        D::on<PropertyDeclaration, &runRegistered<PropertyDeclaration>>(),
        D::on<TypeAliasDeclaration, &runRegistered<TypeAliasDeclaration>>(),
        D::on<UnionDeclaration, &runRegistered<UnionDeclaration>>(),
        // Enums, macros, namespaces and the rest need no work.
        D::skip<Declaration>(),
    });
    return table;
}
[[maybe_unused]] const bool declarationClassesListed = listNodeDispatch(&declarationClasses);

void queue(const CompileError& error, const SourceLocation& fallback) {
    SourceLocation at = error.position.hasFile() ? error.position : fallback;
    if (error.severity == SeverityWarning)
        reportWarning(error.message, at);
    else
        reportError(error.message, at);
}

void runHandler(Declaration& declaration) {
    ASTObjectPtr replacement = declarationClasses()(declaration);
    if (replacement) throw VORN_INTERNAL_ERROR(sourceFile, "Declarations can not be changed");
}

}  // namespace

bool isProcessedDeclarationClass(const std::type_info& type) {
    return type != typeid(Declaration) && declarationClasses().hasRowFor(type);
}

SourceLocation processDeclarationOnce(Declaration& declaration) {
    // Marked first, so that a declaration reached again during its own analysis (a recursive
    // function, a class naming itself) is left alone instead of looping.
    declaration.processed = true;
    const SourceLocation& at = declaration.location;
    try {
        runHandler(declaration);
    } catch (const CompileError& error) {
        queue(error, at);
    } catch (const std::exception& error) {
        // Only the CompileError family is thrown by vorn; this is the library's (bad_alloc).
        reportError(error.what(), at);
    }
    return declaration.location;
}
