// The standard error handlers: the runtime error report with call stack and locals, and the
// compile error line. Uses only the public API.
#include <sqstdaux.h>

namespace {

constexpr SQInteger kMaxLocalsLevels = 10;

void PrintLocal(HSQUIRRELVM v, SQPRINTFUNCTION pf, const SQChar* name) {
    switch (sq_gettype(v, -1)) {
    case OT_NULL:
        pf(v, "[%s] NULL\n", name);
        break;
    case OT_INTEGER: {
        SQInteger i = 0;
        sq_getinteger(v, -1, &i);
        pf(v, "[%s] %lld\n", name, (long long)i);
        break;
    }
    case OT_FLOAT: {
        SQFloat f = 0;
        sq_getfloat(v, -1, &f);
        pf(v, "[%s] %.14g\n", name, double(f));
        break;
    }
    case OT_USERPOINTER:
        pf(v, "[%s] USERPOINTER\n", name);
        break;
    case OT_STRING: {
        const SQChar* s = "";
        sq_getstring(v, -1, &s);
        pf(v, "[%s] \"%s\"\n", name, s);
        break;
    }
    case OT_TABLE:
        pf(v, "[%s] TABLE\n", name);
        break;
    case OT_ARRAY:
        pf(v, "[%s] ARRAY\n", name);
        break;
    case OT_CLOSURE:
        pf(v, "[%s] CLOSURE\n", name);
        break;
    case OT_NATIVECLOSURE:
        pf(v, "[%s] NATIVECLOSURE\n", name);
        break;
    case OT_GENERATOR:
        pf(v, "[%s] GENERATOR\n", name);
        break;
    case OT_USERDATA:
        pf(v, "[%s] USERDATA\n", name);
        break;
    case OT_THREAD:
        pf(v, "[%s] THREAD\n", name);
        break;
    case OT_CLASS:
        pf(v, "[%s] CLASS\n", name);
        break;
    case OT_INSTANCE:
        pf(v, "[%s] INSTANCE\n", name);
        break;
    case OT_WEAKREF:
        pf(v, "[%s] WEAKREF\n", name);
        break;
    case OT_BOOL: {
        SQBool b = SQFalse;
        sq_getbool(v, -1, &b);
        pf(v, "[%s] %s\n", name, b ? "true" : "false");
        break;
    }
    default:
        break;
    }
}

SQInteger RuntimeErrorHandler(HSQUIRRELVM v) {
    SQPRINTFUNCTION pf = sq_geterrorfunc(v);
    if (!pf) return 0;
    const SQChar* message = nullptr;
    if (sq_gettop(v) >= 1 && SQ_SUCCEEDED(sq_getstring(v, 2, &message))) {
        pf(v, "\nAN ERROR HAS OCCURED [%s]\n", message);
    } else {
        pf(v, "\nAN ERROR HAS OCCURED [unknown]\n");
    }
    sqstd_printcallstack(v);
    return 0;
}

void CompileErrorHandler(HSQUIRRELVM v, const SQChar* desc, const SQChar* source, SQInteger line,
                         SQInteger column) {
    SQPRINTFUNCTION pf = sq_geterrorfunc(v);
    if (!pf) return;
    pf(v, "%s line = (%lld) column = (%lld) : error %s\n", source, (long long)line, (long long)column, desc);
}

} // namespace

void sqstd_printcallstack(HSQUIRRELVM v) {
    SQPRINTFUNCTION pf = sq_geterrorfunc(v);
    if (!pf) return;
    SQStackInfos si;
    pf(v, "\nCALLSTACK\n");
    for (SQInteger level = 1; SQ_SUCCEEDED(sq_stackinfos(v, level, &si)); ++level) {
        const SQChar* fn = si.funcname ? si.funcname : "unknown";
        const SQChar* src = si.source ? si.source : "unknown";
        pf(v, "*FUNCTION [%s()] %s line [%lld]\n", fn, src, (long long)si.line);
    }
    pf(v, "\nLOCALS\n");
    for (SQInteger level = 0; level < kMaxLocalsLevels; ++level) {
        const SQChar* name;
        for (SQUnsignedInteger seq = 0; (name = sq_getlocal(v, SQUnsignedInteger(level), seq)) != nullptr;
             ++seq) {
            PrintLocal(v, pf, name);
            sq_pop(v, 1);
        }
    }
}

void sqstd_seterrorhandlers(HSQUIRRELVM v) {
    sq_setcompilererrorhandler(v, CompileErrorHandler);
    sq_newclosure(v, RuntimeErrorHandler, 0);
    sq_seterrorhandler(v);
}
