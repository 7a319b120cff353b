// Library back end: one record per import, class, function, variable and property, in the
// order of the module. Takes the completed tree; gives the ".vnl" text. A node class it does
// not know ends the run with an internal error rather than being left out unnoticed.
#include "LibBackEnd.hpp"

#include <cstring>
#include <fstream>
#include <ostream>

#include "ModuleName.hpp"
#include "RunOptions.hpp"
#include "platform/Platform.hpp"

namespace {

const char* const sourceFile = "src/LibBackEnd";

// Node classes that have no record of their own. The declarations here are either private to
// the module (enumerations, aliases, macros) or have no use to an importer yet.
constexpr const char* silentClasses[] = {
    // types
    "TypeExpression", "SimpleTypeExpr", "SubTypeExpr", "TypeOperator", "TupleType", "FuncType",
    "FunctionPointerType",
    // expressions
    "Expression", "ConstantExpression", "OperExpression", "PrefixOperExpression", "PostfixOperExpression",
    "TernaryOperExpression", "SubExpression", "StaticExpression", "TupleExpression", "FuncExpression",
    "CtorExpression", "RangeExpression", "MacroExpression", "TokensExpression", "VariableDeclarationExpression",
    "CastExpression", "CppBlockInitializer", "AnonFuncExpression", "VectorExpression",
    // statements
    "ForStatement", "IfStatement", "TryStatement", "CatchStatement", "WhileStatement", "DeleteStatement",
    "ReturnStatement", "BreakStatement", "ContinueStatement", "ThrowStatement", "ExpressionStatement",
    "BlockStatement", "MacroStatement", "InitStatement", "CppForStatement", "CppSwitchStatement",
    "CppCaseStatement",
    // declarations and auxiliary nodes
    "ForPart", "ArgumentDeclaration", "TypeAliasDeclaration", "EnumDeclaration", "MacroDeclaration",
    "NamespaceDeclaration", "UnionDeclaration", "FriendDeclaration", "EnumItem", "MacroCall", "TemplateCall",
    "TemplateArgumentDeclaration", "TemplateDeclaration", "ModuleDeclaration", "CppConstantMacroDeclaration",
    "CppIncludeDeclaration", "UsingDeclaration", "UsingNamespaceDeclaration",
};

bool isSilent(const char* className) {
    for (const char* silent : silentClasses)
        if (std::strcmp(silent, className) == 0) return true;
    return false;
}

class RecordWriter {
public:
    explicit RecordWriter(std::ostream& out) : out(out) {}

    void block(const Block* block) {
        if (!block) return;
        for (const StatementPtr& statement : block->statements)
            if (statement) node(*statement);
    }

private:
    void node(const ASTObject& node) {
        if (const ClassDeclaration* c = dynamic_cast<const ClassDeclaration*>(&node)) {
            out << "cls " << c->name;
            for (const BaseDeclarationPtr& base : c->bases) out << ' ' << libraryTypeText(base ? base->type.get() : nullptr);
            out << '\n';
            block(c->body.get());
            out << "end\n";
        } else if (const FunctionDeclaration* f = dynamic_cast<const FunctionDeclaration*>(&node)) {
            out << "fun   " << f->name << ' ' << libraryTypeText(f->type.get()) << '\n';
        } else if (const VariableDeclaration* v = dynamic_cast<const VariableDeclaration*>(&node)) {
            out << "var   " << v->name << ' ' << libraryTypeText(v->type.get()) << '\n';
        } else if (const PropertyDeclaration* p = dynamic_cast<const PropertyDeclaration*>(&node)) {
            out << "prp " << p->name << ' ' << p->getterName << ' ' << p->setterName << '\n';
        } else if (!isSilent(node.className())) {
            throw VORN_INTERNAL_ERROR(sourceFile,
                                      std::string("Tree node type not support by LibBackEnd: ") + node.className());
        }
    }

    std::ostream& out;
};

std::string dotted(const std::vector<std::string>& components) {
    std::string text;
    for (size_t i = 0; i < components.size(); ++i) text += (i ? "." : "") + components[i];
    return text;
}

}  // namespace

std::string libraryTypeText(const TypeExpression* type) {
    if (const SimpleTypeExpr* simple = dynamic_cast<const SimpleTypeExpr*>(type)) return simple->name;
    return std::string();
}

void writeLibraryRecords(const Module& module, const std::string& dottedName, std::ostream& out) {
    out << "lib " << dottedName << '\n';
    for (const auto& entry : module.imports) {
        const ImportDeclaration& import = *entry.second;
        // The built-in library and imports found by lookup are the importer's own business.
        if (import.flags & (ImportDeclaration::builtinImport | ImportDeclaration::noChangeCheck)) continue;
        out << "imp " << static_cast<char>('0' + import.inHeader) << ' ' << dotted(import.path) << '\n';
    }
    RecordWriter(out).block(module.block.get());
}

void LibBackEnd::writeModule(Module& module) {
    if (runOptions.verbose) verboseLineNoIndent("writing: " + module.name + " to vnl");
    // A file that cannot be written is an error, not a loss to pass over: an older file left
    // in its place would give importers declarations the module no longer has.
    std::string path = outputPath(dottedModuleName(module.name), "vnl");
    std::ofstream out(path.c_str(), std::ios::out | std::ios::trunc);
    writeLibraryRecords(module, module.name, out);
    out.close();
    if (out.fail()) reportError("Unable to write file " + path, SourceLocation());
}

std::time_t LibBackEnd::outputTime(const ModuleName& name) {
    return platform::modificationTime(outputPath(name, "vnl"));
}

void LibBackEnd::removeOutputs(const ModuleName& name) { platform::deleteFile(outputPath(name, "vnl")); }

void LibBackEnd::removeObjects(const ModuleName&) { throw VORN_INTERNAL_ERROR(sourceFile, "not implemented"); }
