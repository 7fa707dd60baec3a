#include "MzSquirrelFSMState.h"

#include "MzSquirrel.h"

#include <limits>
#include <string>

namespace {

std::int32_t LoopResult(HSQUIRRELVM vm) {
    switch (sq_gettype(vm, -1)) {
    case OT_BOOL: {
        SQBool flag = SQFalse;
        sq_getbool(vm, -1, &flag);
        return flag ? 1 : 0;
    }
    case OT_INTEGER: {
        SQInteger value = 1;
        sq_getinteger(vm, -1, &value);
        // Kept in 32 bits, saturated.
        if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
        if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
        return static_cast<std::int32_t>(value);
    }
    default:
        return 1;
    }
}

} // namespace

std::int32_t MzCallStateFunction(const MzSquirrelValue& stateObject, const MzSquirrelValue& ownerInstance,
                                 const char* name, bool wantResult) {
    HSQUIRRELVM vm = stateObject.GetVM();
    if (stateObject.GetKind() != MzSquirrelValue::Kind::Object || vm == nullptr) return 1;
    MzScriptCall call;
    const SQInteger top = sq_gettop(vm);
    stateObject.Push(vm);
    sq_pushstring(vm, name, -1);
    const bool found = SQ_SUCCEEDED(sq_get(vm, -2));
    const SQObjectType type = found ? sq_gettype(vm, -1) : OT_NULL;
    std::int32_t result = 1;
    if (found && type == OT_CLOSURE) {
        stateObject.Push(vm);
        ownerInstance.Push(vm);
        if (SQ_FAILED(sq_call(vm, 2, wantResult ? SQTrue : SQFalse, SQTrue))) {
            MzSquirrel::ReportError(vm, "State / %s()関数の実行に失敗しました", name);
        } else if (wantResult) {
            result = LoopResult(vm);
        }
    } else if (!found || type != OT_NULL) {
        MzSquirrel::ReportError(nullptr, "%sが関数ではありません。\n", name);
    }
    sq_settop(vm, top);
    return result;
}
