// Math library: thin bindings of the C math functions and of the C library's random generator.
#include <sqstdmath.h>

#include "sqstdregister.h"

#include <cmath>
#include <cstdlib>

namespace {

constexpr double kPi = 3.14159265358979323846;

double Arg(HSQUIRRELVM v, SQInteger idx) {
    SQFloat f = 0;
    sq_getfloat(v, idx, &f);
    return f;
}

template <double (*F)(double)>
SQInteger Unary(HSQUIRRELVM v) {
    sq_pushfloat(v, static_cast<SQFloat>(F(Arg(v, 2))));
    return 1;
}

template <double (*F)(double, double)>
SQInteger Binary(HSQUIRRELVM v) {
    sq_pushfloat(v, static_cast<SQFloat>(F(Arg(v, 2), Arg(v, 3))));
    return 1;
}

// Overload sets of <cmath> cannot be template arguments; these pick the double versions.
double Sqrt(double x) {
    return std::sqrt(x);
}
double Sin(double x) {
    return std::sin(x);
}
double Cos(double x) {
    return std::cos(x);
}
double Tan(double x) {
    return std::tan(x);
}
double Asin(double x) {
    return std::asin(x);
}
double Acos(double x) {
    return std::acos(x);
}
double Atan(double x) {
    return std::atan(x);
}
double Log(double x) {
    return std::log(x);
}
double Log10(double x) {
    return std::log10(x);
}
double Exp(double x) {
    return std::exp(x);
}
double Floor(double x) {
    return std::floor(x);
}
double Ceil(double x) {
    return std::ceil(x);
}
double Fabs(double x) {
    return std::fabs(x);
}
double Atan2(double y, double x) {
    return std::atan2(y, x);
}
double Pow(double x, double y) {
    return std::pow(x, y);
}

SQInteger Srand(HSQUIRRELVM v) {
    std::srand(static_cast<unsigned>(sqstd::OptionalInteger(v, 2, 0)));
    return 0;
}

SQInteger Rand(HSQUIRRELVM v) {
    sq_pushinteger(v, std::rand());
    return 1;
}

// abs gives an integer, truncating a float argument first.
SQInteger Abs(HSQUIRRELVM v) {
    SQInteger n = sqstd::OptionalInteger(v, 2, 0);
    sq_pushinteger(v, n < 0 ? -static_cast<SQUnsignedInteger>(n) : n);
    return 1;
}

const SQRegFunction kMathFunctions[] = {
    {"sqrt", Unary<Sqrt>, 2, ".n"},     {"sin", Unary<Sin>, 2, ".n"},   {"cos", Unary<Cos>, 2, ".n"},
    {"asin", Unary<Asin>, 2, ".n"},     {"acos", Unary<Acos>, 2, ".n"}, {"log", Unary<Log>, 2, ".n"},
    {"log10", Unary<Log10>, 2, ".n"},   {"tan", Unary<Tan>, 2, ".n"},   {"atan", Unary<Atan>, 2, ".n"},
    {"atan2", Binary<Atan2>, 3, ".nn"}, {"pow", Binary<Pow>, 3, ".nn"}, {"floor", Unary<Floor>, 2, ".n"},
    {"ceil", Unary<Ceil>, 2, ".n"},     {"exp", Unary<Exp>, 2, ".n"},   {"fabs", Unary<Fabs>, 2, ".n"},
    {"srand", Srand, 2, ".n"},          {"rand", Rand, 1, nullptr},     {"abs", Abs, 2, ".n"},
    {nullptr, nullptr, 0, nullptr},
};

} // namespace

extern "C" {

SQRESULT sqstd_register_mathlib(HSQUIRRELVM v) {
    sqstd::RegisterFunctions(v, -1, kMathFunctions);
    sq_pushstring(v, "RAND_MAX", -1);
    sq_pushinteger(v, RAND_MAX);
    sq_newslot(v, -3, SQFalse);
    sq_pushstring(v, "PI", -1);
    sq_pushfloat(v, static_cast<SQFloat>(kPi));
    sq_newslot(v, -3, SQFalse);
    return SQ_OK;
}

} // extern "C"
