// libFuzzer target: scripts that nest calls from native code back into script (sort comparators,
// metamethods, call/acall/pcall, generators, threads) and through host callbacks of the C API, deep
// enough that the engine's frame and value storage must grow under running calls. An instruction
// budget ends every input.
#include <squirrel.h>

#include <cstddef>
#include <cstdint>

namespace {

SQInteger g_slices = 0;

SQRESULT Budget(HSQUIRRELVM) {
    return ++g_slices > 200 ? SQ_ERROR : SQ_OK;
}

void Discard(HSQUIRRELVM, const SQChar*, ...) {}

// host(fn, args...): calls fn(args...) from native code, as a host's callback would; returns its
// result or raises its error.
SQInteger Host(HSQUIRRELVM v) {
    const SQInteger nargs = sq_gettop(v) - 1;
    sq_push(v, 2);
    sq_pushroottable(v);
    for (SQInteger i = 3; i <= nargs + 1; ++i)
        sq_push(v, i);
    if (SQ_FAILED(sq_call(v, nargs, SQTrue, SQFalse))) return SQ_ERROR;
    return 1;
}

// The prelude every input runs after: recursion of a chosen depth through script and host.
constexpr char kPrelude[] = R"(
function Deep(n) { return n <= 0 ? 0 : 1 + Deep(n - 1) }
function HostDeep(n) { return n <= 0 ? 0 : 1 + host(HostDeep, n - 1) }
)";

bool Run(HSQUIRRELVM v, const SQChar* source, SQInteger size, const SQChar* name) {
    if (SQ_FAILED(sq_compilebuffer(v, source, size, name, SQFalse))) return false;
    sq_pushroottable(v);
    const bool ok = SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQFalse));
    sq_pop(v, 1);
    return ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HSQUIRRELVM v = sq_open(1024);
    sq_setprintfunc(v, Discard, Discard);
    g_slices = 0;
    sq_setinterrupthook(v, Budget, 10000);
    sq_pushroottable(v);
    sq_pushstring(v, "host", -1);
    sq_newclosure(v, Host, 0);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
    if (Run(v, kPrelude, SQInteger(sizeof(kPrelude) - 1), "prelude"))
        Run(v, reinterpret_cast<const SQChar*>(data), SQInteger(size), "fuzz");
    sq_collectgarbage(v);
    sq_close(v);
    return 0;
}
