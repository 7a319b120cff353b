// The two plug-in interfaces of the build manager: front ends read a module into a tree,
// back ends write a completed tree out. Takes module names; gives modules and file times.
// Neither interface decides whether a module is up to date: the build manager compares.
#pragma once

#include <ctime>

#include "tree/Ast.hpp"
#include "platform/Platform.hpp"

struct ModuleName;

class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    // A new module read from the name's source, or empty when none could be built; problems
    // go to the diagnostics list.
    virtual ModulePtr loadModule(const ModuleName& name) = 0;
    // What importers see of a module that this run does not translate: a front end that can
    // read less than the whole module for that does so and marks the module `declarationsOnly`.
    virtual ModulePtr loadDeclarations(const ModuleName& name) { return loadModule(name); }
    // A module that an earlier run's records stand for, without reading its source: enough for
    // a run that does not translate it. Empty when there are none, or they no longer hold.
    virtual ModulePtr loadKept(const ModuleName&) { return ModulePtr(); }
    // Modification time of the module's source, 0 when it does not exist.
    virtual platform::FileTime sourceTime(const ModuleName& name) = 0;
};

typedef boost::shared_ptr<FrontEnd> FrontEndPtr;

class BackEnd {
public:
    virtual ~BackEnd() = default;
    virtual void writeModule(Module& module) = 0;
    // Oldest modification time of the generated files, 0 when one of them is missing.
    virtual platform::FileTime outputTime(const ModuleName& name) = 0;
    virtual void removeOutputs(const ModuleName& name) = 0;
    virtual void removeObjects(const ModuleName& name) = 0;
};

typedef boost::shared_ptr<BackEnd> BackEndPtr;
