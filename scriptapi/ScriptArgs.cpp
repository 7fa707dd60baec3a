#include "ScriptArgs.h"

#include <limits>

namespace {

bool Matches(HSQUIRRELVM vm, SQInteger position, char type) {
    switch (type) {
    case 'i':
        return sq_gettype(vm, position) == OT_INTEGER;
    case 'f':
        return sq_gettype(vm, position) == OT_FLOAT;
    case 's':
        return sq_gettype(vm, position) == OT_STRING;
    default:
        return true;
    }
}

// Stack position of argument `index`: position 1 is `this`.
SQInteger Position(int index) {
    return index + 2;
}

} // namespace

bool HasArgs(HSQUIRRELVM vm, const char* types) {
    const SQInteger top = sq_gettop(vm);
    for (int i = 0; types[i] != '\0'; ++i)
        if (Position(i) > top || !Matches(vm, Position(i), types[i])) return false;
    return true;
}

SQInteger ArgumentError(HSQUIRRELVM vm) {
    return sq_throwerror(vm, "Incorrect function argument");
}

// Integers beyond 32 bits saturate rather than wrap into another (possibly valid) value.
std::int32_t IntArg(HSQUIRRELVM vm, int index) {
    SQInteger value = 0;
    sq_getinteger(vm, Position(index), &value);
    constexpr SQInteger kMin = std::numeric_limits<std::int32_t>::min();
    constexpr SQInteger kMax = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value < kMin ? kMin : value > kMax ? kMax : value);
}

float FloatArg(HSQUIRRELVM vm, int index) {
    SQFloat value = 0;
    sq_getfloat(vm, Position(index), &value);
    return static_cast<float>(value);
}

std::string StringArg(HSQUIRRELVM vm, int index) {
    const SQChar* text = nullptr;
    SQInteger size = 0;
    if (SQ_FAILED(sq_getstringandsize(vm, Position(index), &text, &size))) return {};
    return std::string(text, static_cast<std::size_t>(size));
}

HSQOBJECT ObjectArg(HSQUIRRELVM vm, int index) {
    HSQOBJECT object;
    sq_getstackobj(vm, Position(index), &object);
    return object;
}
