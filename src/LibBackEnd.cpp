// Library back end: one record per import, class, function, variable and property, in the
// order of the module. Takes the completed tree; gives the ".vnl" text. A node class it does
// not know ends the run with an internal error rather than being left out unnoticed.
#include "LibBackEnd.hpp"

#include <fstream>
#include <ostream>

#include "ModuleName.hpp"
#include "RunOptions.hpp"
#include "NodeDispatch.hpp"
#include "platform/Platform.hpp"

namespace {

const char* const sourceFile = "src/LibBackEnd";

class RecordWriter;
typedef NodeDispatch<void(const ASTObject&, RecordWriter&)> RecordDispatch;

class RecordWriter {
public:
    explicit RecordWriter(std::ostream& out) : out(out) {}

    void block(const Block* block) {
        if (!block) return;
        for (const StatementPtr& statement : block->statements)
            if (statement) dispatch()(*statement, *this);
    }

private:
    static const RecordDispatch& dispatch();

    void classRecord(const ClassDeclaration& c) {
        out << "cls " << c.name;
        for (const BaseDeclarationPtr& base : c.bases) out << ' ' << libraryTypeText(base ? base->type.get() : nullptr);
        out << '\n';
        block(c.body.get());
        out << "end\n";
    }
    void functionRecord(const FunctionDeclaration& f) { out << "fun   " << f.name << ' ' << libraryTypeText(f.type.get()) << '\n'; }
    void variableRecord(const VariableDeclaration& v) { out << "var   " << v.name << ' ' << libraryTypeText(v.type.get()) << '\n'; }
    void propertyRecord(const PropertyDeclaration& p) {
        out << "prp " << p.name << ' ' << p.getterName << ' ' << p.setterName << '\n';
    }
    // The run-time class name, unlike the other visitors' type names: "Declaration" tells a
    // bare base node from the classes that share its type name.
    [[noreturn]] static void unsupported(const ASTObject& node) {
        throw VORN_INTERNAL_ERROR(sourceFile, std::string("Tree node type not support by LibBackEnd: ") + node.className());
    }

    std::ostream& out;
};

// The classes with a record, then those without one: the declarations among them are either
// private to the module (enumerations, aliases, macros) or of no use to an importer yet.
const RecordDispatch& RecordWriter::dispatch() {
    typedef RecordDispatch D;
    static const D table(sourceFile, "LibBackEnd", {
        D::on<ClassDeclaration, &RecordWriter::classRecord>(),
        D::on<FunctionDeclaration, &RecordWriter::functionRecord>(),
        D::on<VariableDeclaration, &RecordWriter::variableRecord>(),
        D::on<PropertyDeclaration, &RecordWriter::propertyRecord>(),
        // types and expressions, every class of each
        D::skip<TypeExpression>(),
        D::skip<Expression>(),
        // statements
        D::skip<ForStatement>(), D::skip<IfStatement>(), D::skip<TryStatement>(), D::skip<CatchStatement>(),
        D::skip<WhileStatement>(), D::skip<DeleteStatement>(), D::skip<ReturnStatement>(), D::skip<BreakStatement>(),
        D::skip<ContinueStatement>(), D::skip<ThrowStatement>(), D::skip<ExpressionStatement>(),
        D::skip<BlockStatement>(), D::skip<MacroStatement>(), D::skip<InitStatement>(), D::skip<CppForStatement>(),
        D::skip<CppSwitchStatement>(), D::skip<CppCaseStatement>(),
        // declarations and auxiliary nodes
        D::skip<ForPart>(), D::skip<ArgumentDeclaration>(), D::skip<TypeAliasDeclaration>(),
        D::skip<EnumDeclaration>(), D::skip<MacroDeclaration>(), D::skip<NamespaceDeclaration>(),
        D::skip<UnionDeclaration>(), D::skip<FriendDeclaration>(), D::skip<EnumItem>(), D::skip<MacroCall>(),
        D::skip<TemplateCall>(), D::skip<TemplateArgumentDeclaration>(), D::skip<TemplateDeclaration>(),
        D::skip<ModuleDeclaration>(), D::skip<CppConstantMacroDeclaration>(), D::skip<CppIncludeDeclaration>(),
        D::skip<UsingDeclaration>(), D::skip<UsingNamespaceDeclaration>(),
        D::on<ASTObject, &RecordWriter::unsupported>(),
    });
    return table;
}

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
