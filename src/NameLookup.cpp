// Name lookup: declaration tables, module qualifiers and the search through imports.
// Takes the linked tree and the loaded modules; gives declarations. Never changes what a
// table already holds for a name: the first declaration stays.
#include "NameLookup.hpp"

#include <boost/make_shared.hpp>

void bindImport(Block& topLevel, const std::vector<std::string>& path, const SourceLocation& position,
                const ModulePtr& imported) {
    size_t count = path.size();
    if (count > 0 && path.back() == "*") --count;
    Block* scope = &topLevel;
    for (size_t i = 0; i < count; ++i) {
        const std::string& component = path[i];
        ModuleDeclaration* qualifier = nullptr;
        auto found = scope->names.find(component);
        if (found == scope->names.end()) {
            ModuleDeclarationPtr created = boost::make_shared<ModuleDeclaration>();
            created->name = component;
            created->location = position;
            created->block = boost::make_shared<Block>();
            created->block->parent = created.get();
            scope->names.emplace(component, created);
            qualifier = created.get();
        } else {
            qualifier = dynamic_cast<ModuleDeclaration*>(found->second.get());
            if (!qualifier) return;  // the name means something else here
        }
        if (i + 1 == count) qualifier->moduleBlock = imported ? imported->block.get() : nullptr;
        scope = qualifier->block.get();
    }
}
