// Stream methods shared by `blob` and `file`: typed reads and writes, blobs, positioning.
#include "sqstdstream.h"

#include "sqstdblobimpl.h"
#include "sqstdregister.h"

#include <sqstdblob.h>

#include <cstring>

namespace sqstd {

SQStream* ThisStream(HSQUIRRELVM v) {
    SQUserPointer up = nullptr;
    if ((SQ_SUCCEEDED(sq_getinstanceup(v, 1, &up, BlobTypeTag(), SQFalse)) && up) ||
        (SQ_SUCCEEDED(sq_getinstanceup(v, 1, &up, FileTypeTag(), SQFalse)) && up)) {
        auto* stream = static_cast<SQStream*>(up);
        if (stream->IsValid()) return stream;
        sq_throwerror(v, "the stream is invalid");
        return nullptr;
    }
    sq_throwerror(v, "invalid stream instance");
    return nullptr;
}

SQRESULT PushStreamInstance(HSQUIRRELVM v, const SQChar* registryKey, SQStream* up, SQRELEASEHOOK hook) {
    SQInteger top = sq_gettop(v);
    sq_pushregistrytable(v);
    sq_pushstring(v, registryKey, -1);
    if (SQ_FAILED(sq_rawget(v, -2)) || SQ_FAILED(sq_createinstance(v, -1)) ||
        SQ_FAILED(sq_setinstanceup(v, -1, up))) {
        sq_settop(v, top);
        hook(up, 0);
        return sq_throwerror(v, "the stream library is not registered");
    }
    sq_setreleasehook(v, -1, hook);
    sq_remove(v, -2); // class
    sq_remove(v, -2); // registry
    return SQ_OK;
}

} // namespace sqstd

namespace {

using sqstd::ThisStream;

// The byte size of each type code of readn/writen, 0 for an unknown code.
size_t TypeSize(SQInteger code) {
    switch (code) {
    case 'l':
        return sizeof(SQInteger);
    case 'i':
        return 4;
    case 's':
    case 'w':
        return 2;
    case 'c':
    case 'b':
        return 1;
    case 'f':
        return sizeof(float);
    case 'd':
        return sizeof(double);
    default:
        return 0;
    }
}

template <typename T>
T Load(const unsigned char* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

void PushNumber(HSQUIRRELVM v, SQInteger code, const unsigned char* b) {
    switch (code) {
    case 'l':
        sq_pushinteger(v, Load<SQInteger>(b));
        break;
    case 'i':
        sq_pushinteger(v, Load<int32_t>(b));
        break;
    case 's':
        sq_pushinteger(v, Load<int16_t>(b));
        break;
    case 'w':
        sq_pushinteger(v, Load<uint16_t>(b));
        break;
    case 'c':
        sq_pushinteger(v, Load<int8_t>(b));
        break;
    case 'b':
        sq_pushinteger(v, Load<uint8_t>(b));
        break;
    case 'f':
        sq_pushfloat(v, Load<float>(b));
        break;
    default:
        sq_pushfloat(v, static_cast<SQFloat>(Load<double>(b)));
        break;
    }
}

template <typename T>
void Store(unsigned char* bytes, T value) {
    std::memcpy(bytes, &value, sizeof value);
}

void EncodeNumber(HSQUIRRELVM v, SQInteger code, unsigned char* b) {
    SQInteger i = 0;
    SQFloat f = 0;
    sq_getinteger(v, 2, &i);
    sq_getfloat(v, 2, &f);
    switch (code) {
    case 'l':
        Store(b, i);
        break;
    case 'i':
        Store(b, static_cast<int32_t>(i));
        break;
    case 's':
        Store(b, static_cast<int16_t>(i));
        break;
    case 'w':
        Store(b, static_cast<uint16_t>(i));
        break;
    case 'c':
        Store(b, static_cast<int8_t>(i));
        break;
    case 'b':
        Store(b, static_cast<uint8_t>(i));
        break;
    case 'f':
        Store(b, static_cast<float>(f));
        break;
    default:
        Store(b, static_cast<double>(f));
        break;
    }
}

SQInteger StreamReadN(HSQUIRRELVM v) {
    SQStream* self = ThisStream(v);
    if (!self) return SQ_ERROR;
    SQInteger code = 0;
    sq_getinteger(v, 2, &code);
    size_t size = TypeSize(code);
    if (!size) return sq_throwerror(v, "invalid format");
    unsigned char bytes[8];
    if (self->Read(bytes, static_cast<SQInteger>(size)) != static_cast<SQInteger>(size))
        return sq_throwerror(v, "io error");
    PushNumber(v, code, bytes);
    return 1;
}

SQInteger StreamWriteN(HSQUIRRELVM v) {
    SQStream* self = ThisStream(v);
    if (!self) return SQ_ERROR;
    SQInteger code = 0;
    sq_getinteger(v, 3, &code);
    size_t size = TypeSize(code);
    if (!size) return sq_throwerror(v, "invalid format");
    unsigned char bytes[8];
    EncodeNumber(v, code, bytes);
    if (self->Write(bytes, static_cast<SQInteger>(size)) != static_cast<SQInteger>(size))
        return sq_throwerror(v, "io error");
    return 0;
}

SQInteger StreamReadBlob(HSQUIRRELVM v) {
    SQStream* self = ThisStream(v);
    if (!self) return SQ_ERROR;
    SQInteger size = sqstd::OptionalInteger(v, 2, 0);
    if (size <= 0) return sq_throwerror(v, "invalid size");
    SQInteger available = self->Len() >= 0 ? self->Len() - self->Tell() : size;
    std::vector<unsigned char> buffer(static_cast<size_t>(std::max<SQInteger>(0, std::min(size, available))));
    SQInteger got = buffer.empty() ? 0 : self->Read(buffer.data(), static_cast<SQInteger>(buffer.size()));
    if (got <= 0) return sq_throwerror(v, "no data left to read");
    SQUserPointer dest = sqstd_createblob(v, got);
    if (!dest) return SQ_ERROR;
    std::memcpy(dest, buffer.data(), static_cast<size_t>(got));
    return 1;
}

SQInteger StreamWriteBlob(HSQUIRRELVM v) {
    SQStream* self = ThisStream(v);
    if (!self) return SQ_ERROR;
    SQUserPointer data = nullptr;
    if (SQ_FAILED(sqstd_getblob(v, 2, &data))) return sq_throwerror(v, "invalid parameter");
    SQInteger size = sqstd_getblobsize(v, 2);
    if (size > 0 && self->Write(data, size) != size) return sq_throwerror(v, "io error");
    sq_pushinteger(v, size);
    return 1;
}

SQInteger StreamSeek(HSQUIRRELVM v) {
    SQStream* self = ThisStream(v);
    if (!self) return SQ_ERROR;
    SQInteger offset = sqstd::OptionalInteger(v, 2, 0);
    SQInteger origin = SQ_SEEK_SET;
    if (sq_gettop(v) > 2) {
        SQInteger code = sqstd::OptionalInteger(v, 3, 'b');
        switch (code) {
        case 'b':
            origin = SQ_SEEK_SET;
            break;
        case 'c':
            origin = SQ_SEEK_CUR;
            break;
        case 'e':
            origin = SQ_SEEK_END;
            break;
        default:
            return sq_throwerror(v, "invalid origin");
        }
    }
    sq_pushinteger(v, self->Seek(offset, origin));
    return 1;
}

SQInteger StreamTell(HSQUIRRELVM v) {
    SQStream* self = ThisStream(v);
    if (!self) return SQ_ERROR;
    sq_pushinteger(v, self->Tell());
    return 1;
}

SQInteger StreamLen(HSQUIRRELVM v) {
    SQStream* self = ThisStream(v);
    if (!self) return SQ_ERROR;
    sq_pushinteger(v, self->Len());
    return 1;
}

SQInteger StreamEos(HSQUIRRELVM v) {
    SQStream* self = ThisStream(v);
    if (!self) return SQ_ERROR;
    if (self->EOS())
        sq_pushinteger(v, 1);
    else
        sq_pushnull(v);
    return 1;
}

SQInteger StreamFlush(HSQUIRRELVM v) {
    SQStream* self = ThisStream(v);
    if (!self) return SQ_ERROR;
    if (self->Flush() == 0)
        sq_pushinteger(v, 1);
    else
        sq_pushnull(v);
    return 1;
}

const SQRegFunction kStreamMethods[] = {
    {"readblob", StreamReadBlob, 2, "xn"},
    {"readn", StreamReadN, 2, "xn"},
    {"writeblob", StreamWriteBlob, 2, "xx"},
    {"writen", StreamWriteN, 3, "xnn"},
    {"seek", StreamSeek, -2, "xnn"},
    {"tell", StreamTell, 1, "x"},
    {"len", StreamLen, 1, "x"},
    {"eos", StreamEos, 1, "x"},
    {"flush", StreamFlush, 1, "x"},
    {nullptr, nullptr, 0, nullptr},
};

} // namespace

namespace sqstd {

namespace {

constexpr const SQChar* kStreamClassKey = "std_stream";

void PushStreamClass(HSQUIRRELVM v) {
    sq_pushregistrytable(v);
    sq_pushstring(v, kStreamClassKey, -1);
    if (SQ_FAILED(sq_rawget(v, -2))) {
        sq_pushstring(v, kStreamClassKey, -1);
        sq_newclass(v, SQFalse);
        sq_settypetag(v, -1, reinterpret_cast<SQUserPointer>(uintptr_t(SQSTD_STREAM_TYPE_TAG)));
        RegisterFunctions(v, -1, kStreamMethods);
        sq_newslot(v, -3, SQFalse);
        sq_pushstring(v, kStreamClassKey, -1);
        sq_rawget(v, -2);
    }
    sq_remove(v, -2);
}

} // namespace

void RegisterStreamClass(HSQUIRRELVM v) {
    sq_pushstring(v, "stream", -1);
    PushStreamClass(v);
    sq_newslot(v, -3, SQFalse);
}

void NewStreamSubclass(HSQUIRRELVM v) {
    PushStreamClass(v);
    sq_newclass(v, SQTrue);
}

} // namespace sqstd
