// Name lookup: declaration tables, class members with their bases, module qualifiers and the
// search through imports. Takes the linked tree and the loaded modules; gives declarations,
// each processed by the tree modifier before it is returned. Never changes what a table
// already holds for a name (the first declaration stays) and never reports a missing name.
#include "NameLookup.hpp"

#include <algorithm>
#include <boost/make_shared.hpp>
#include <deque>
#include <set>

#include "ModuleName.hpp"
#include "NodeDispatch.hpp"
#include "RunOptions.hpp"
#include "TreeModifier.hpp"
#include "TypeOf.hpp"

namespace {

const char* const sourceFile = "src/NameLookup";

// The table entry for name, processed; null when the block has none.
Declaration* found(const Block* block, const std::string& name) {
    if (!block) return nullptr;
    auto entry = block->names.find(name);
    if (entry == block->names.end()) return nullptr;
    processDeclaration(entry->second.get());
    return entry->second.get();
}

// Arguments and loop variables belong to no table (the parent finder enters neither), yet
// the body they are written for must see them, or every use of one would be a missing name.
Declaration* ownedByBlockOwner(const Block* block, const std::string& name) {
    Declaration* match = nullptr;
    if (const FunctionDeclaration* function = nodeCast<FunctionDeclaration>(block->parent)) {
        if (function->body.get() != block) return nullptr;
        for (const ArgumentDeclarationPtr& argument : function->arguments)
            if (argument && argument->name == name) {
                match = argument.get();
                break;
            }
    } else if (const ForStatement* loop = nodeCast<ForStatement>(block->parent)) {
        if (loop->body.get() != block) return nullptr;
        for (const ForPartPtr& part : loop->parts)
            if (part && part->name == name) {
                match = part.get();
                break;
            }
    }
    processDeclaration(match);
    return match;
}

// The next block outwards: the one holding the statement this block belongs to. Blocks read
// from library files carry no statement slot, so their parents are followed instead.
Block* enclosingBlock(const Block* block) {
    if (block->statementSlot().isSet()) return block->statementSlot().block;
    for (ASTObject* node = block->parent; node; node = node->parent)
        if (Block* outer = nodeCast<Block>(node)) return outer;
    return nullptr;
}

// A class queued for member lookup, with the classes through which it was reached: a class
// is searched once per path to it, but never again below itself (a cyclic base list).
struct QueuedClass {
    ClassDeclaration* declaration;
    std::vector<const ClassDeclaration*> reachedThrough;
};

Declaration* lookupInClass(const std::string& name, ClassDeclaration* start) {
    std::deque<QueuedClass> queue{{start, {}}};
    while (!queue.empty()) {
        QueuedClass current = queue.front();
        queue.pop_front();
        ClassDeclaration* cls = current.declaration;
        lookupTrace("    looking for " + name + " in class " + cls->name);
        processDeclaration(cls);
        if (Declaration* member = found(cls->body.get(), name)) return member;
        current.reachedThrough.push_back(cls);
        Block* context = placeOf(cls);
        for (const BaseDeclarationPtr& base : cls->bases) {
            if (!base) continue;
            ClassDeclaration* baseClass =
                nodeCast<ClassDeclaration>(declarationOf(base->type.get(), placeOf(base.get(), context)));
            if (!baseClass) continue;
            const auto& path = current.reachedThrough;
            if (std::find(path.begin(), path.end(), baseClass) != path.end()) continue;
            queue.push_back({baseClass, path});
        }
    }
    lookupTrace("    not found: " + name + " in class");
    return nullptr;
}

Declaration* lookupInQualifier(const std::string& name, ModuleDeclaration* qualifier) {
    if (qualifier->moduleBlock)
        if (Declaration* member = lookup(name, qualifier->moduleBlock)) return member;
    if (Declaration* nested = found(qualifier->block.get(), name)) return nested;
    lookupTrace("    not found: " + name + " in module (namespace)");
    return nullptr;
}

Declaration* lookupInNamespace(const std::string& name, NamespaceDeclaration* space) {
    if (Declaration* member = found(space->body.get(), name)) return member;
    lookupTrace("    not found: " + name + " in module (namespace)");
    return nullptr;
}

// A library module that a lookup ended in becomes an import of the module that looked,
// so that its includes reach the generated code; its own include lines come along.
void importImplicitly(Module& importer, const ModulePtr& library) {
    ImportDeclarationPtr import = boost::make_shared<ImportDeclaration>();
    import->path = splitDottedName(library->name);
    import->module = library;
    import->flags = ImportDeclaration::implicitImport | ImportDeclaration::noChangeCheck;
    importer.addImport(import);  // numbered by the imports before it; an existing one stays
    for (const std::string& include : library->includes) importer.addInclude(include);
}

// The class behind a type operator that stands for a library template.
Declaration* transformingClass(const TypeOperator& type, Block* context) {
    switch (type.kind) {
    case VectorType:
        return lookup("Vector", context);
    case MapType:
        return lookup("Map", context);
    default:
        throw VORN_INTERNAL_ERROR(sourceFile, "declarationOf(TypeOperator) called on a non transforming type");
    }
}

}  // namespace

void bindImport(Block& topLevel, const std::vector<std::string>& path, const SourceLocation& position,
                const ModulePtr& imported) {
    size_t count = path.size();
    if (count > 0 && path.back() == "*") --count;
    Block* scope = &topLevel;
    for (size_t i = 0; i < count; ++i) {
        const std::string& component = path[i];
        ModuleDeclaration* qualifier = nullptr;
        auto entry = scope->names.find(component);
        if (entry == scope->names.end()) {
            ModuleDeclarationPtr created = boost::make_shared<ModuleDeclaration>();
            created->name = component;
            created->location = position;
            created->block = boost::make_shared<Block>();
            created->block->parent = created.get();
            scope->names.emplace(component, created);
            qualifier = created.get();
        } else {
            qualifier = nodeCast<ModuleDeclaration>(entry->second.get());
            if (!qualifier) return;  // the name means something else here
        }
        if (i + 1 == count) qualifier->moduleBlock = imported ? imported->block.get() : nullptr;
        scope = qualifier->block.get();
    }
}

Block* placeOf(const ASTObject* node, Block* fallback) {
    for (const ASTObject* at = node; at; at = at->parent)
        if (at->statementSlot().isSet()) return at->statementSlot().block;
    return fallback;
}

Module* moduleOf(Block* block) {
    for (ASTObject* node = block; node; node = node->parent)
        if (Module* module = nodeCast<Module>(node)) return module;
    return nullptr;
}

Declaration* lookup(const std::string& name, Block* block) {
    Block* outermost = block;
    for (Block* scope = block; scope; scope = enclosingBlock(scope)) {
        outermost = scope;
        if (Declaration* declaration = found(scope, name)) return declaration;
        if (Declaration* declaration = ownedByBlockOwner(scope, name)) return declaration;
        if (ClassDeclaration* cls = nodeCast<ClassDeclaration>(scope->parent))
            if (cls->body.get() == scope)
                if (Declaration* member = lookupMember(name, cls)) return member;
        if (nodeCast<Module>(scope->parent)) break;  // the top-level block
    }
    Module* module = outermost ? nodeCast<Module>(outermost->parent) : nullptr;
    return module ? lookupInImports(name, module) : nullptr;
}

Declaration* lookupMember(const std::string& name, Declaration* scope) {
    if (ClassDeclaration* cls = nodeCast<ClassDeclaration>(scope)) return lookupInClass(name, cls);
    if (TypeAliasDeclaration* alias = nodeCast<TypeAliasDeclaration>(scope)) {
        // An alias of itself (directly or through a ring of aliases) must end, not recurse.
        static std::set<const TypeAliasDeclaration*> expanding;
        if (!expanding.insert(alias).second) return nullptr;
        struct Done {
            const TypeAliasDeclaration* alias;
            ~Done() { expanding.erase(alias); }
        } done{alias};
        processDeclaration(alias);
        return lookupMember(name, declarationOf(alias->type.get(), placeOf(alias)));
    }
    if (ModuleDeclaration* qualifier = nodeCast<ModuleDeclaration>(scope)) return lookupInQualifier(name, qualifier);
    if (NamespaceDeclaration* space = nodeCast<NamespaceDeclaration>(scope)) return lookupInNamespace(name, space);
    lookupTrace("    looking for " + name + " in invalid context");
    return nullptr;
}

Declaration* lookupInImports(const std::string& name, Module* module) {
    if (!module) return nullptr;
    std::deque<ModulePtr> queue;
    // A module is searched once: two modules that import each other in their headers would
    // otherwise keep the search going for ever, and a second search cannot find more.
    std::set<const Module*> queued;
    for (const auto& entry : module->imports)
        if (entry.second && entry.second->module && queued.insert(entry.second->module.get()).second)
            queue.push_back(entry.second->module);
    while (!queue.empty()) {
        ModulePtr next = queue.front();
        queue.pop_front();
        auto entry = next->block ? next->block->names.find(name) : DeclarationTable::iterator();
        if (next->block && entry != next->block->names.end()) {
            lookupTrace("    found " + name + " in module " + next->name);
            if (next->isLibrary) importImplicitly(*module, next);
            processDeclaration(entry->second.get());
            return entry->second.get();
        }
        for (const auto& imported : next->imports)
            if (imported.second && imported.second->inHeader == 2 && imported.second->module &&
                queued.insert(imported.second->module.get()).second)
                queue.push_back(imported.second->module);
    }
    lookupTrace("    looking for " + name + ", not found in imports ");
    return nullptr;
}

Declaration* declarationOf(TypeExpression* type, Block* context) {
    while (TypeOperator* op = nodeCast<TypeOperator>(type)) {
        if (op->kind == VectorType || op->kind == MapType) return transformingClass(*op, placeOf(op, context));
        type = op->operand.get();
    }
    if (nodeCast<SubTypeExpr>(type) || nodeCast<SimpleTypeExpr>(type)) {
        resolveTypeNode(*type, context);
        return type->declaration;
    }
    return nullptr;
}

TypeExpressionPtr typeOfDeclaration(Declaration* declaration) {
    if (FunctionDeclaration* function = nodeCast<FunctionDeclaration>(declaration)) {
        if (!function->funcType) {
            FuncTypePtr type = boost::make_shared<FuncType>();
            type->result = function->type;
            for (const ArgumentDeclarationPtr& argument : function->arguments)
                type->arguments.push_back(argument ? argument->type : TypeExpressionPtr());
            function->funcType = type;
        }
        return function->funcType;
    }
    // The loop variable of a container is the element; its declared type is the iterator's.
    if (ForPart* part = nodeCast<ForPart>(declaration)) return part->elementType ? part->elementType : part->type;
    // Variables, properties, arguments, caught values and data read from library files.
    if (DataDeclaration* data = nodeCast<DataDeclaration>(declaration)) return data->type;
    throw VORN_INTERNAL_ERROR(sourceFile, "Unable to determine type");
}
