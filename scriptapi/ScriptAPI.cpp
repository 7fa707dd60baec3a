#include "ScriptAPI.h"

#include "Camera2DActor.h"
#include "MzActorManager.h"
#include "MzFileDialog.h"
#include "MzGraphics.h"
#include "MzInput.h"
#include "MzSquirrel.h"
#include "MzSquirrelValue.h"
#include "ScriptArgs.h"
#include "ScriptMascot.h"
#include "UserInterface.h"

namespace {

MzScriptMenuRegistry* s_menus = nullptr;

// ---------------------------------------------------------------- frame time and world

SQInteger GetPassageTime(HSQUIRRELVM vm) {
    sq_pushinteger(vm, g_frameElapsedMs);
    return 1;
}

// Extent of the world box along one axis; 0 without graphics or a world box.
SQInteger PushWorldSize(HSQUIRRELVM vm, float Vector4::*axis) {
    float size = 0;
    if (g_graphics != nullptr) {
        const BoundingBox& box = g_graphics->device.worldBox;
        if (box.min.*axis <= box.max.*axis) size = box.max.*axis - box.min.*axis;
    }
    sq_pushfloat(vm, size);
    return 1;
}

SQInteger GetWorldSizeX(HSQUIRRELVM vm) {
    return PushWorldSize(vm, &Vector4::x);
}
SQInteger GetWorldSizeY(HSQUIRRELVM vm) {
    return PushWorldSize(vm, &Vector4::y);
}
SQInteger GetWorldSizeZ(HSQUIRRELVM vm) {
    return PushWorldSize(vm, &Vector4::z);
}

// ---------------------------------------------------------------- actors

SQInteger PushRegistered(HSQUIRRELVM vm, MzActor* actor, std::uint8_t order, std::uint8_t subOrder) {
    if (g_actorManager == nullptr) {
        delete actor;
        sq_pushinteger(vm, 0);
        return 1;
    }
    sq_pushinteger(vm, g_actorManager->Register(actor, order, subOrder, true));
    return 1;
}

SQInteger New2DCamera(HSQUIRRELVM vm) {
    return PushRegistered(vm, new Camera2DActor, Camera2DActor::kOrder, Camera2DActor::kSubOrder);
}

SQInteger NewUserInterface(HSQUIRRELVM vm) {
    const UserInterfaceContext context{g_input, g_graphics, g_actorManager, g_objectManager, &g_paused};
    return PushRegistered(vm, new UserInterface(context), UserInterface::kOrder, UserInterface::kSubOrder);
}

// ---------------------------------------------------------------- pop-up menu

SQInteger AddPopupMenu(HSQUIRRELVM vm) {
    if (!HasArgs(vm, "is..")) return ArgumentError(vm);
    if (s_menus == nullptr) return 0;
    const MzSquirrelFunction function(ObjectArg(vm, 2), ObjectArg(vm, 3));
    s_menus->Add(IntArg(vm, 0), StringArg(vm, 1), [function] { function.Call(nullptr, 0); });
    return 0;
}

SQInteger AddPopupMenuSeparator(HSQUIRRELVM vm) {
    if (!HasArgs(vm, "i")) return ArgumentError(vm);
    if (s_menus != nullptr) s_menus->Add(IntArg(vm, 0), std::nullopt, nullptr);
    return 0;
}

SQInteger RemovePopupMenu(HSQUIRRELVM vm) {
    if (!HasArgs(vm, "i")) return ArgumentError(vm);
    if (s_menus != nullptr) s_menus->Remove(IntArg(vm, 0));
    return 0;
}

// ---------------------------------------------------------------- file dialog

SQInteger OpenFileDialog(HSQUIRRELVM vm) {
    if (!HasArgs(vm, "ss")) return ArgumentError(vm);
    const std::string chosen = MzOpenFileDialog(StringArg(vm, 0), StringArg(vm, 1));
    sq_pushstring(vm, chosen.c_str(), static_cast<SQInteger>(chosen.size()));
    return 1;
}

} // namespace

void RegisterScriptAPI(MzScriptMenuRegistry* menus) {
    s_menus = menus;
    MzSquirrel::RegisterFunction("cpp_GetPassageTime", GetPassageTime, 0, nullptr);
    MzSquirrel::RegisterFunction("cpp_GetWorldSizeX", GetWorldSizeX, 0, nullptr);
    MzSquirrel::RegisterFunction("cpp_GetWorldSizeY", GetWorldSizeY, 0, nullptr);
    MzSquirrel::RegisterFunction("cpp_GetWorldSizeZ", GetWorldSizeZ, 0, nullptr);
    MzSquirrel::RegisterFunction("cpp_New2DCamera", New2DCamera, 0, nullptr);
    MzSquirrel::RegisterFunction("cpp_NewUserInterface", NewUserInterface, 0, nullptr);
    MzSquirrel::RegisterFunction("cpp_AddPopupMenu", AddPopupMenu, 0, nullptr);
    MzSquirrel::RegisterFunction("cpp_AddPopupMenuSeparator", AddPopupMenuSeparator, 0, nullptr);
    MzSquirrel::RegisterFunction("cpp_RemovePopupMenu", RemovePopupMenu, 0, nullptr);
    MzSquirrel::RegisterFunction("cpp_OpenFileDialog", OpenFileDialog, 0, nullptr);
    RegisterMascotClass();
}
