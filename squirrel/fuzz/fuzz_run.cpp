// libFuzzer target: compile and run under an instruction budget (the interrupt hook stops it).
#include <squirrel.h>

#include <cstddef>
#include <cstdint>

namespace {

SQInteger g_slices = 0;

// Allows about two million instructions per input.
SQRESULT Budget(HSQUIRRELVM) {
    return ++g_slices > 200 ? SQ_ERROR : SQ_OK;
}

void Discard(HSQUIRRELVM, const SQChar*, ...) {}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HSQUIRRELVM v = sq_open(1024);
    sq_setprintfunc(v, Discard, Discard);
    g_slices = 0;
    sq_setinterrupthook(v, Budget, 10000);
    if (SQ_SUCCEEDED(
            sq_compilebuffer(v, reinterpret_cast<const SQChar*>(data), SQInteger(size), "fuzz", SQFalse))) {
        sq_pushroottable(v);
        sq_call(v, 1, SQFalse, SQFalse);
        sq_pop(v, 1);
    }
    sq_collectgarbage(v);
    sq_close(v);
    return 0;
}
