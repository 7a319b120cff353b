// Name lookup: declaration tables, class members with their bases, module qualifiers and the
// search through imports. Takes the linked tree and the loaded modules; gives declarations,
// each processed by the tree modifier before it is returned. Never changes what a table
// already holds for a name (the first declaration stays) and never reports a missing name.
#include "sema/NameLookup.hpp"

#include <algorithm>
#include <cctype>
#include <boost/make_shared.hpp>
#include <deque>
#include <set>

#include "base/ModuleName.hpp"
#include "tree/NodeDispatch.hpp"
#include "base/RunOptions.hpp"
#include "tree/TreeModifier.hpp"
#include "sema/TypeOf.hpp"

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
        lookupTrace({"    looking for ", name, " in class ", cls->name});
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
    lookupTrace({"    not found: ", name, " in class"});
    return nullptr;
}

Declaration* lookupInQualifier(const std::string& name, ModuleDeclaration* qualifier) {
    if (qualifier->moduleBlock)
        if (Declaration* member = lookup(name, qualifier->moduleBlock)) return member;
    if (Declaration* nested = found(qualifier->block.get(), name)) return nested;
    lookupTrace({"    not found: ", name, " in module (namespace)"});
    return nullptr;
}

Declaration* lookupInNamespace(const std::string& name, NamespaceDeclaration* space) {
    if (Declaration* member = found(space->body.get(), name)) return member;
    lookupTrace({"    not found: ", name, " in module (namespace)"});
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
    // One walk up: the nodes between two that keep a placement stand where the upper one does.
    for (const ASTObject* at = node; at; at = at->parent)
        if (const Placement* own = at->placement())
            if (own->statementSlot.isSet()) return own->statementSlot.block;
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
    if (EnumDeclaration* enumeration = nodeCast<EnumDeclaration>(scope)) {
        auto item = enumeration->scopedItems.find(name);
        if (item != enumeration->scopedItems.end()) return item->second.get();
    }
    lookupTrace({"    looking for ", name, " in invalid context"});
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
            lookupTrace({"    found ", name, " in module ", next->name});
            if (next->isLibrary) importImplicitly(*module, next);
            processDeclaration(entry->second.get());
            return entry->second.get();
        }
        for (const auto& imported : next->imports)
            if (imported.second && imported.second->inHeader == 2 && imported.second->module &&
                queued.insert(imported.second->module.get()).second)
                queue.push_back(imported.second->module);
    }
    lookupTrace({"    looking for ", name, ", not found in imports "});
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

namespace {

bool holdsVerbatimCode(const ASTObject& root) {
    std::vector<ASTObject*> pending{const_cast<ASTObject*>(&root)};
    while (!pending.empty()) {
        ASTObject* node = pending.back();
        pending.pop_back();
        const MacroCall* call = nullptr;
        if (const MacroStatement* statement = nodeCast<MacroStatement>(node)) call = statement->call.get();
        if (const MacroExpression* expression = nodeCast<MacroExpression>(node)) call = expression->call.get();
        if (call && (call->name == "_CPP" || call->name == "_HPP")) return true;
        appendChildNodes(*node, pending);
    }
    return false;
}

bool readsUnseenNamesItself(Module& module) {
    if (!module.headerPath.empty() || nodeCast<IncludeModule>(&module)) return true;
    return module.block && holdsVerbatimCode(*module.block);
}

// Insert, delete, replace one letter, or swap two neighbours.
bool oneEditApart(const std::string& a, const std::string& b) {
    if (a == b) return false;
    const std::string& longer = a.size() >= b.size() ? a : b;
    const std::string& shorter = a.size() >= b.size() ? b : a;
    if (longer.size() - shorter.size() > 1) return false;
    size_t start = 0;
    while (start < shorter.size() && longer[start] == shorter[start]) ++start;
    if (longer.size() != shorter.size()) return longer.compare(start + 1, std::string::npos, shorter, start) == 0;
    if (longer.compare(start + 1, std::string::npos, shorter, start + 1) == 0) return true;
    return start + 1 < longer.size() && longer[start] == shorter[start + 1] && longer[start + 1] == shorter[start] &&
           longer.compare(start + 2, std::string::npos, shorter, start + 2) == 0;
}

bool isTypeName(const std::string& name) { return !name.empty() && std::isupper(static_cast<unsigned char>(name[0])); }

struct NearNames {
    const std::string& wanted;
    bool typeNames;
    std::set<std::string> matches;

    void consider(const std::string& name) {
        if (wanted.size() > 2 && !name.empty() && name[0] != '_' && isTypeName(name) == typeNames && oneEditApart(name, wanted))
            matches.insert(name);
    }
    void considerTable(const Block* block) {
        if (!block) return;
        for (const auto& entry : block->names) consider(entry.first);
    }
    std::string single() const { return matches.size() == 1 ? *matches.begin() : std::string(); }
};

void considerClass(NearNames& near, ClassDeclaration* start) {
    std::set<const ClassDeclaration*> seen;
    std::deque<ClassDeclaration*> queue{start};
    while (!queue.empty()) {
        ClassDeclaration* cls = queue.front();
        queue.pop_front();
        if (!seen.insert(cls).second) continue;
        near.considerTable(cls->body.get());
        for (const BaseDeclarationPtr& base : cls->bases)
            if (base)
                if (ClassDeclaration* baseClass = nodeCast<ClassDeclaration>(
                        declarationOf(base->type.get(), placeOf(base.get(), placeOf(cls)))))
                    queue.push_back(baseClass);
    }
}

}  // namespace

bool mayUseUnseenNames(Module* module) {
    if (!module) return true;
    if (module->unseenNames >= 0) return module->unseenNames != 0;
    bool unseen = false;
    std::set<const Module*> queued{module};
    std::deque<Module*> queue{module};
    while (!queue.empty() && !unseen) {
        Module* next = queue.front();
        queue.pop_front();
        unseen = readsUnseenNamesItself(*next);
        for (const auto& imported : next->imports)
            if (imported.second && imported.second->module && queued.insert(imported.second->module.get()).second)
                queue.push_back(imported.second->module.get());
    }
    module->unseenNames = unseen ? 1 : 0;
    return unseen;
}

std::string nearestVisibleName(const std::string& name, Block* place, bool typeNames) {
    NearNames near{name, typeNames, {}};
    Block* outermost = place;
    for (Block* scope = place; scope; scope = enclosingBlock(scope)) {
        outermost = scope;
        near.considerTable(scope);
        if (const FunctionDeclaration* function = nodeCast<FunctionDeclaration>(scope->parent)) {
            if (function->body.get() == scope)
                for (const ArgumentDeclarationPtr& argument : function->arguments)
                    if (argument) near.consider(argument->name);
        } else if (const ForStatement* loop = nodeCast<ForStatement>(scope->parent)) {
            if (loop->body.get() == scope)
                for (const ForPartPtr& part : loop->parts)
                    if (part) near.consider(part->name);
        } else if (ClassDeclaration* cls = nodeCast<ClassDeclaration>(scope->parent)) {
            if (cls->body.get() == scope) considerClass(near, cls);
        }
        if (nodeCast<Module>(scope->parent)) break;
    }
    Module* module = outermost ? nodeCast<Module>(outermost->parent) : nullptr;
    if (!module) return near.single();
    std::set<const Module*> queued{module};
    std::deque<Module*> queue;
    for (const auto& entry : module->imports)
        if (entry.second && entry.second->module && queued.insert(entry.second->module.get()).second)
            queue.push_back(entry.second->module.get());
    while (!queue.empty()) {
        Module* next = queue.front();
        queue.pop_front();
        near.considerTable(next->block.get());
        for (const auto& imported : next->imports)
            if (imported.second && imported.second->inHeader == 2 && imported.second->module &&
                queued.insert(imported.second->module.get()).second)
                queue.push_back(imported.second->module.get());
    }
    return near.single();
}

std::string nearestMemberName(const std::string& name, Declaration* scope) {
    NearNames near{name, isTypeName(name), {}};
    if (ClassDeclaration* cls = nodeCast<ClassDeclaration>(scope)) considerClass(near, cls);
    return near.single();
}

bool namesTemplateParameter(const TemplateDeclarationPtr& declaration, const std::string& name) {
    if (!declaration) return false;
    for (const TemplateArgumentDeclarationPtr& parameter : declaration->arguments)
        if (parameter && parameter->name == name) return true;
    return false;
}

bool isTemplateParameter(const ASTObject& node, const std::string& name) {
    for (const ASTObject* at = &node; at; at = at->parent) {
        if (const FunctionDeclaration* function = nodeCast<FunctionDeclaration>(at))
            if (namesTemplateParameter(function->templateDecl, name)) return true;
        if (const ClassDeclaration* cls = nodeCast<ClassDeclaration>(at))
            if (namesTemplateParameter(cls->templateDecl, name)) return true;
    }
    return false;
}

std::string moduleDeclaringType(const std::string& name, Block* place) {
    Module* module = place ? moduleOf(place) : nullptr;
    if (!module) return std::string();
    std::set<const Module*> queued{module};
    std::deque<Module*> queue{module};
    while (!queue.empty()) {
        Module* next = queue.front();
        queue.pop_front();
        if (next != module && next->block && !next->isLibrary) {
            auto entry = next->block->names.find(name);
            if (entry != next->block->names.end() && nodeCast<TypeDeclaration>(entry->second.get())) return next->name;
        }
        for (const auto& imported : next->imports)
            if (imported.second && imported.second->module && queued.insert(imported.second->module.get()).second)
                queue.push_back(imported.second->module.get());
    }
    return std::string();
}
