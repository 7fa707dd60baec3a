// libFuzzer target: the compiler alone, on arbitrary bytes.
#include <squirrel.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HSQUIRRELVM v = sq_open(1024);
    if (SQ_SUCCEEDED(
            sq_compilebuffer(v, reinterpret_cast<const SQChar*>(data), SQInteger(size), "fuzz", SQFalse)))
        sq_pop(v, 1);
    sq_close(v);
    return 0;
}
