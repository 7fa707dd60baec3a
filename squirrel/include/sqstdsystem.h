// System library: environment, processes, clocks, dates and file names.
#ifndef SQSTDSYSTEM_H
#define SQSTDSYSTEM_H

#include <squirrel.h>

#ifdef __cplusplus
extern "C" {
#endif

SQUIRREL_API SQInteger sqstd_register_systemlib(HSQUIRRELVM v);

#ifdef __cplusplus
}
#endif

#endif
