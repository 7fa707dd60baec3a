#include "ScriptMascot.h"

#include "MascotActor.h"
#include "MzActorManager.h"
#include "MzColladaReader.h"
#include "MzSquirrel.h"
#include "ScriptArgs.h"

#include <cstdint>
#include <iterator>
#include <string>
#include <utility>

namespace {

// ---------------------------------------------------------------- constructor

// Imports the i-th motion of the list into slot i, for the slots the first pass counted.
void ImportMotions(HSQUIRRELVM vm, MascotActor& mascot, float scale) {
    if (!MzSquirrel::BeginOptionTable(vm, "motion_list")) return;
    std::string name;
    std::string path;
    for (std::int32_t i = 0; i < mascot.motionCount && MzSquirrel::NextOption(vm, name, path); ++i) {
        MzColladaReader::ReadMotion(path, mascot.Motion(i), mascot.model, scale);
        mascot.Motion(i).name = name;
    }
    MzSquirrel::EndOptionTable(vm);
}

// The entries of the motion list up to the first whose value is not a string.
std::int32_t CountMotions(HSQUIRRELVM vm) {
    std::int32_t count = 0;
    if (!MzSquirrel::BeginOptionTable(vm, "motion_list")) return 0;
    std::string name;
    std::string path;
    while (MzSquirrel::NextOption(vm, name, path))
        ++count;
    MzSquirrel::EndOptionTable(vm);
    return count;
}

// cpp_Mascot(options): every option is read with its checks; the mascot is created in every case.
SQInteger Construct(HSQUIRRELVM vm) {
    const bool oneArgument = sq_gettop(vm) == 2;
    std::string model;
    if (oneArgument)
        model = MzSquirrel::GetOptionString(vm, "model", "");
    else
        MzSquirrel::ReportError(nullptr, "%s", MzSquirrel::kOptionCountMessage);
    float scale = 1.0f;
    if (oneArgument)
        scale = MzSquirrel::GetOptionFloat(vm, "scale", 1.0f);
    else
        MzSquirrel::ReportError(nullptr, "%s", MzSquirrel::kOptionCountMessage);

    const std::int32_t count = CountMotions(vm);
    auto* mascot = new MascotActor(model, count, scale);
    ImportMotions(vm, *mascot, scale);
    if (g_actorManager == nullptr) {
        delete mascot;
        return 0;
    }
    const std::int32_t id =
        g_actorManager->Register(mascot, MascotActor::kOrder, MascotActor::kSubOrder, false);
    MascotActor::BindInstance(vm, 1, id);
    return 0;
}

// ---------------------------------------------------------------- methods

// The mascot of `this`, or null after raising the script error (returned in `error`).
MascotActor* Self(HSQUIRRELVM vm, SQInteger* error) {
    SQUserPointer bound = nullptr;
    if (SQ_FAILED(sq_getinstanceup(vm, 1, &bound, MascotActor::TypeTag(), SQFalse)) || bound == nullptr) {
        *error = sq_throwerror(vm, "Invalid Instance Type");
        return nullptr;
    }
    MascotActor* mascot =
        MascotActor::FromId(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(bound)));
    if (mascot == nullptr) *error = sq_throwerror(vm, "the mascot has been removed");
    return mascot;
}

// A method: the argument types it checks and what it does with the mascot of `this`.
struct Method {
    const char* name;
    const char* types;
    SQInteger (*body)(HSQUIRRELVM vm, MascotActor& m);
};

constexpr Method kMethods[] = {
    {"Kill", "",
     [](HSQUIRRELVM, MascotActor& m) -> SQInteger {
         m.Kill();
         return 0;
     }},
    {"SetDir", "fi",
     [](HSQUIRRELVM vm, MascotActor& m) -> SQInteger {
         m.SetDir(FloatArg(vm, 0), IntArg(vm, 1));
         return 0;
     }},
    {"GetDir", "",
     [](HSQUIRRELVM vm, MascotActor& m) -> SQInteger {
         sq_pushfloat(vm, m.GetDir());
         return 1;
     }},
    {"SetPos", "fff",
     [](HSQUIRRELVM vm, MascotActor& m) -> SQInteger {
         m.SetPos(FloatArg(vm, 0), FloatArg(vm, 1), FloatArg(vm, 2));
         return 0;
     }},
    {"GetPosX", "",
     [](HSQUIRRELVM vm, MascotActor& m) -> SQInteger {
         sq_pushfloat(vm, m.GetPosX());
         return 1;
     }},
    {"GetPosY", "",
     [](HSQUIRRELVM vm, MascotActor& m) -> SQInteger {
         sq_pushfloat(vm, m.GetPosY());
         return 1;
     }},
    {"GetPosZ", "",
     [](HSQUIRRELVM vm, MascotActor& m) -> SQInteger {
         sq_pushfloat(vm, m.GetPosZ());
         return 1;
     }},
    {"LoadMotion", "ss",
     [](HSQUIRRELVM vm, MascotActor& m) -> SQInteger {
         m.LoadMotion(StringArg(vm, 0), StringArg(vm, 1));
         return 0;
     }},
    {"SetMotion", "s",
     [](HSQUIRRELVM vm, MascotActor& m) -> SQInteger {
         m.SetMotion(StringArg(vm, 0));
         return 0;
     }},
    {"ChangeState", ".",
     [](HSQUIRRELVM vm, MascotActor& m) -> SQInteger {
         if (m.ChangeState(ObjectArg(vm, 0))) return 0;
         return sq_throwerror(vm, "Push(): could not create INSTANCE (check registration name)");
     }},
    {"ChangeChildState", ".", [](HSQUIRRELVM, MascotActor&) -> SQInteger { return 0; }},
    {"SetCallback_Loop", "..",
     [](HSQUIRRELVM vm, MascotActor& m) -> SQInteger {
         m.SetCallback_Loop(ObjectArg(vm, 0), ObjectArg(vm, 1));
         return 0;
     }},
    {"SetCallback_Catch", "..",
     [](HSQUIRRELVM vm, MascotActor& m) -> SQInteger {
         m.SetCallback_Catch(ObjectArg(vm, 0), ObjectArg(vm, 1));
         return 0;
     }},
    {"SetCallback_Release", "..",
     [](HSQUIRRELVM vm, MascotActor& m) -> SQInteger {
         m.SetCallback_Release(ObjectArg(vm, 0), ObjectArg(vm, 1));
         return 0;
     }},
};

// The native function of method I: `this` first, then the arguments, then the body.
template <std::size_t I>
SQInteger CallMethod(HSQUIRRELVM vm) {
    SQInteger error = 0;
    MascotActor* mascot = Self(vm, &error);
    if (mascot == nullptr) return error;
    if (!HasArgs(vm, kMethods[I].types)) return ArgumentError(vm);
    return kMethods[I].body(vm, *mascot);
}

void AddMethod(HSQUIRRELVM vm, const char* name, SQFUNCTION function) {
    sq_pushstring(vm, name, -1);
    sq_newclosure(vm, function, 0);
    sq_setnativeclosurename(vm, -1, name);
    sq_newslot(vm, -3, SQFalse);
}

template <std::size_t... I>
void AddMethods(HSQUIRRELVM vm, std::index_sequence<I...>) {
    (AddMethod(vm, kMethods[I].name, CallMethod<I>), ...);
}

} // namespace

void RegisterMascotClass() {
    HSQUIRRELVM vm = MzSquirrel::GetVM();
    if (vm == nullptr) return;
    const SQInteger top = sq_gettop(vm);
    sq_pushroottable(vm);
    sq_pushstring(vm, MascotActor::kClassName, -1);
    sq_newclass(vm, SQFalse);
    sq_settypetag(vm, -1, MascotActor::TypeTag());
    AddMethod(vm, "constructor", Construct);
    AddMethods(vm, std::make_index_sequence<std::size(kMethods)>());
    sq_newslot(vm, -3, SQFalse);
    sq_settop(vm, top);
}
