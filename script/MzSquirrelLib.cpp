#include "MzSquirrelLib.h"

#include "MzSquirrel.h"

#include <cstdint>
#include <cstdlib>

namespace {

constexpr double kPi = 3.141592653589793;

// Creates env[alias] = a new table and returns a counted handle to that table, or false when `this`
// of the call cannot take a slot.
bool BindAliasTable(HSQUIRRELVM vm, const std::string& alias, HSQOBJECT& aliasTable) {
    SQInteger top = sq_gettop(vm);
    sq_newtable(vm);
    sq_getstackobj(vm, -1, &aliasTable);
    sq_addref(vm, &aliasTable);
    sq_push(vm, 1);
    sq_pushstring(vm, alias.c_str(), static_cast<SQInteger>(alias.size()));
    sq_pushobject(vm, aliasTable);
    bool bound = SQ_SUCCEEDED(sq_newslot(vm, -3, SQFalse));
    sq_settop(vm, top);
    if (!bound) sq_release(vm, &aliasTable);
    return bound;
}

// Pushes root[key], creating it as a new table (and running the module into it) when it is missing.
void PushModuleTable(HSQUIRRELVM vm, const std::string& key, const std::string& name) {
    const SQInteger top = sq_gettop(vm);
    const auto keyLength = static_cast<SQInteger>(key.size());
    sq_pushroottable(vm);
    sq_pushstring(vm, key.c_str(), keyLength);
    if (SQ_SUCCEEDED(sq_rawget(vm, -2))) {
        sq_remove(vm, -2);
        return;
    }
    sq_settop(vm, top);
    sq_newtable(vm);
    sq_pushroottable(vm);
    sq_pushstring(vm, key.c_str(), keyLength);
    sq_push(vm, -3);
    sq_newslot(vm, -3, SQFalse);
    sq_poptop(vm);
    // The module's top-level code runs with its table as `this`.
    MzSquirrel::RunScript(name, false);
}

// Truncates towards zero, saturating at the ends of the integer range (NaN gives 0).
SQInteger TruncateToInteger(double value) {
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    if (!(value == value)) return 0;
    if (value >= kLimit) return INT64_MAX;
    if (value <= -kLimit) return INT64_MIN;
    return static_cast<SQInteger>(value);
}

} // namespace

void MzSquirrelLib::Register() {
    MzSquirrel::RegisterFunction("load", &Load, 2, ".s");
    MzSquirrel::RegisterFunction("require", &Require, -2, ".ss");
    MzSquirrel::RegisterFunction("frand", &FRand, 1, nullptr);
    MzSquirrel::RegisterFunction("rad2deg", &Rad2Deg, 2, ".n");
    MzSquirrel::RegisterFunction("deg2rad", &Deg2Rad, 2, ".n");
}

MzSquirrelLib::ModulePath MzSquirrelLib::ResolveModule(const std::string& directory,
                                                       const std::string& name) {
    const std::string joined = directory.empty() ? name : directory + "/" + name;
    ModulePath path;
    std::size_t start = 0;
    while (start <= joined.size()) {
        std::size_t end = joined.find_first_of("/\\", start);
        if (end == std::string::npos) end = joined.size();
        std::string component = joined.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == ".") continue;
        if (component == "..") {
            if (path.components.empty()) {
                path.escapesRoot = true;
                return path;
            }
            path.components.pop_back();
            continue;
        }
        path.components.push_back(component.substr(0, component.find('.')));
    }
    return path;
}

std::string MzSquirrelLib::ModuleKey(const std::vector<std::string>& components) {
    std::string key = "__mod";
    for (const std::string& component : components)
        key += "_" + component;
    return key;
}

SQInteger MzSquirrelLib::Load(HSQUIRRELVM vm) {
    MzSquirrel::RunScript(MzSquirrel::GetArgString(vm, 0), true);
    return 0;
}

SQInteger MzSquirrelLib::Require(HSQUIRRELVM vm) {
    const std::string name = MzSquirrel::GetArgString(vm, 0);
    if (name.empty()) return 0;
    const bool aliasGiven = sq_gettop(vm) >= 3;
    std::string alias = aliasGiven ? MzSquirrel::GetArgString(vm, 1) : std::string();

    ModulePath path = ResolveModule(MzSquirrel::ScriptDirectory(), name);
    if (path.escapesRoot) {
        MzSquirrel::ReportError(nullptr, "ルートパスより上の階層のモジュールは使用できません。[%s]",
                                name.c_str());
        return 0;
    }
    if (path.components.empty()) {
        MzSquirrel::ReportError(nullptr, "モジュール名が不正です。[%s]", name.c_str());
        return 0;
    }
    if (!aliasGiven) alias = path.components.back();

    SQObjectType environment = sq_gettype(vm, 1);
    HSQOBJECT aliasTable;
    if ((environment != OT_TABLE && environment != OT_CLASS) || !BindAliasTable(vm, alias, aliasTable)) {
        MzSquirrel::ReportError(
            nullptr, "requireはテーブルかクラスの中で呼んでください。モジュールは束縛されません。[%s]",
            name.c_str());
        return 0;
    }
    SQInteger top = sq_gettop(vm);
    sq_pushobject(vm, aliasTable);
    PushModuleTable(vm, ModuleKey(path.components), name);
    sq_setdelegate(vm, -2);
    sq_settop(vm, top);
    sq_release(vm, &aliasTable);
    return 0;
}

// rand() spans 0 to RAND_MAX here, so that is the divisor that gives 0.0 to 1.0 with both ends included.
SQInteger MzSquirrelLib::FRand(HSQUIRRELVM vm) {
    sq_pushfloat(vm, static_cast<SQFloat>(std::rand() / static_cast<double>(RAND_MAX)));
    return 1;
}

SQInteger MzSquirrelLib::Rad2Deg(HSQUIRRELVM vm) {
    double degrees = static_cast<double>(MzSquirrel::GetArgFloat(vm)) * 180.0 / kPi;
    sq_pushinteger(vm, TruncateToInteger(degrees));
    return 1;
}

SQInteger MzSquirrelLib::Deg2Rad(HSQUIRRELVM vm) {
    double radians = static_cast<double>(MzSquirrel::GetArgFloat(vm)) * kPi / 180.0;
    sq_pushfloat(vm, static_cast<SQFloat>(radians));
    return 1;
}
