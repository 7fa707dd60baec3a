// Math library: the C library's functions, rand/srand, PI and RAND_MAX.
#ifndef SQSTDMATH_H
#define SQSTDMATH_H

#include <squirrel.h>

#ifdef __cplusplus
extern "C" {
#endif

SQUIRREL_API SQRESULT sqstd_register_mathlib(HSQUIRRELVM v);

#ifdef __cplusplus
}
#endif

#endif
