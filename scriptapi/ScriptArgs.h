// Exact-type argument checks of the script API's native functions.
#pragma once

#include <squirrel.h>

#include <cstdint>
#include <string>

// Whether the call has an argument (after `this`) for each letter of `types`, each of exactly that
// type: 'i' integer, 'f' float, 's' string, '.' anything. Extra arguments are ignored.
bool HasArgs(HSQUIRRELVM vm, const char* types);
// Raises "Incorrect function argument".
SQInteger ArgumentError(HSQUIRRELVM vm);

// Argument `index` (0 = the first after `this`) of a call that passed HasArgs.
std::int32_t IntArg(HSQUIRRELVM vm, int index);
float FloatArg(HSQUIRRELVM vm, int index);
// The whole string, NUL characters included.
std::string StringArg(HSQUIRRELVM vm, int index);
HSQOBJECT ObjectArg(HSQUIRRELVM vm, int index);
