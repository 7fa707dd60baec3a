// Binding helpers shared by the standard libraries: tables of native functions into a table or class.
#ifndef SQSTDREGISTER_H
#define SQSTDREGISTER_H

#include <squirrel.h>

namespace sqstd {

// Adds each function of `list` (ended by a null name) as a slot of the table or class at `idx`.
inline void RegisterFunctions(HSQUIRRELVM v, SQInteger idx, const SQRegFunction* list) {
    SQInteger target = idx < 0 ? idx - 2 : idx; // two values are pushed above it per slot
    for (; list->name; ++list) {
        sq_pushstring(v, list->name, -1);
        sq_newclosure(v, list->f, 0);
        sq_setparamscheck(v, list->nparamscheck, list->typemask);
        sq_setnativeclosurename(v, -1, list->name);
        sq_newslot(v, target, SQFalse);
    }
}

// Reads an optional integer argument (integer or float) at `idx`, or returns `fallback`.
inline SQInteger OptionalInteger(HSQUIRRELVM v, SQInteger idx, SQInteger fallback) {
    if (sq_gettop(v) < idx) return fallback;
    SQInteger value = fallback;
    if (sq_gettype(v, idx) == OT_FLOAT) {
        SQFloat f = 0;
        sq_getfloat(v, idx, &f);
        return static_cast<SQInteger>(f);
    }
    sq_getinteger(v, idx, &value);
    return value;
}

} // namespace sqstd

#endif
