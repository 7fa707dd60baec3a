// System library: environment variables, shell commands, clocks, calendar dates and file names.
#include <sqstdsystem.h>

#include "sqstdregister.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

const SQChar* StringArg(HSQUIRRELVM v, SQInteger idx) {
    const SQChar* s = "";
    sq_getstring(v, idx, &s);
    return s;
}

SQInteger GetEnv(HSQUIRRELVM v) {
    if (const char* value = std::getenv(StringArg(v, 2)))
        sq_pushstring(v, value, -1);
    else
        sq_pushnull(v);
    return 1;
}

SQInteger System(HSQUIRRELVM v) {
    sq_pushinteger(v, std::system(StringArg(v, 2)));
    return 1;
}

SQInteger Clock(HSQUIRRELVM v) {
    sq_pushfloat(v, static_cast<SQFloat>(static_cast<double>(std::clock()) / CLOCKS_PER_SEC));
    return 1;
}

SQInteger Time(HSQUIRRELVM v) {
    sq_pushinteger(v, static_cast<SQInteger>(std::time(nullptr)));
    return 1;
}

SQInteger Remove(HSQUIRRELVM v) {
    if (std::remove(StringArg(v, 2)) != 0) return sq_throwerror(v, "remove() failed");
    return 0;
}

SQInteger Rename(HSQUIRRELVM v) {
    if (std::rename(StringArg(v, 2), StringArg(v, 3)) != 0) return sq_throwerror(v, "rename() failed");
    return 0;
}

void SetField(HSQUIRRELVM v, const SQChar* name, SQInteger value) {
    sq_pushstring(v, name, -1);
    sq_pushinteger(v, value);
    sq_newslot(v, -3, SQFalse);
}

// date([time [, format]]): format 'u' gives UTC, anything else local time; months count from 0.
SQInteger Date(HSQUIRRELVM v) {
    std::time_t t =
        sq_gettop(v) > 1 ? static_cast<std::time_t>(sqstd::OptionalInteger(v, 2, 0)) : std::time(nullptr);
    SQInteger format = sqstd::OptionalInteger(v, 3, 'l');
    std::tm parts{};
    bool ok = format == 'u' ? gmtime_r(&t, &parts) != nullptr : localtime_r(&t, &parts) != nullptr;
    if (!ok) return sq_throwerror(v, "crt api failure");
    sq_newtable(v);
    SetField(v, "sec", parts.tm_sec);
    SetField(v, "min", parts.tm_min);
    SetField(v, "hour", parts.tm_hour);
    SetField(v, "day", parts.tm_mday);
    SetField(v, "month", parts.tm_mon);
    SetField(v, "year", parts.tm_year + 1900);
    SetField(v, "wday", parts.tm_wday);
    SetField(v, "yday", parts.tm_yday);
    return 1;
}

const SQRegFunction kSystemFunctions[] = {
    {"getenv", GetEnv, 2, ".s"},  {"system", System, 2, ".s"},    {"clock", Clock, 0, nullptr},
    {"time", Time, 1, nullptr},   {"date", Date, -1, ".nn"},      {"remove", Remove, 2, ".s"},
    {"rename", Rename, 3, ".ss"}, {nullptr, nullptr, 0, nullptr},
};

} // namespace

extern "C" {

SQInteger sqstd_register_systemlib(HSQUIRRELVM v) {
    sqstd::RegisterFunctions(v, -1, kSystemFunctions);
    return SQ_OK;
}

} // extern "C"
