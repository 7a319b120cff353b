// Name lookup: what a name denotes at a place of the tree. Takes names, blocks and modules;
// gives declarations (processed before they are handed out) or null. Never reports a missing
// name itself: callers decide what a failed lookup means.
// For now it holds the binding of imports, which the build manager needs to resolve them.
#pragma once

#include <string>
#include <vector>

#include "Ast.hpp"

// Makes an imported module reachable through its dotted path from the importing module's
// top-level block: a chain of ModuleDeclarations, one per component, the last one standing
// for the imported module. A trailing "*" component is dropped. A component already declared
// as something other than a module stops the chain there.
void bindImport(Block& topLevel, const std::vector<std::string>& path, const SourceLocation& position,
                const ModulePtr& imported);
