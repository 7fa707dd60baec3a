// The runtime's own script functions: load, require, frand, rad2deg, deg2rad.
#pragma once

#include <squirrel.h>

#include <string>
#include <vector>

class MzSquirrelLib {
  public:
    // Registers the five functions into the root table of MzSquirrel's VM.
    static void Register();

    // The module path of require(name) seen from `directory`: its components with "." and ".." applied
    // and each cut at its first '.'. Empty when nothing usable is left; `escapesRoot` when ".." climbs
    // above the first component.
    struct ModulePath {
        std::vector<std::string> components;
        bool escapesRoot = false;
    };
    static ModulePath ResolveModule(const std::string& directory, const std::string& name);
    // "__mod" and "_" + each component: the root table slot that holds the module's table.
    static std::string ModuleKey(const std::vector<std::string>& components);

  private:
    static SQInteger Load(HSQUIRRELVM vm);
    static SQInteger Require(HSQUIRRELVM vm);
    static SQInteger FRand(HSQUIRRELVM vm);
    static SQInteger Rad2Deg(HSQUIRRELVM vm);
    static SQInteger Deg2Rad(HSQUIRRELVM vm);
};
