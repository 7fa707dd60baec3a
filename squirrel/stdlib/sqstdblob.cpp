// Blob library: the Blob stream, the `blob` class and the global byte helpers.
#include <sqstdblob.h>

#include "sqstdblobimpl.h"
#include "sqstdregister.h"
#include "sqstdstream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace sqstd {

SQInteger Blob::Read(void* buffer, SQInteger size) {
    size_t n = std::min(static_cast<size_t>(std::max<SQInteger>(size, 0)), data_.size() - pos_);
    if (n) std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return static_cast<SQInteger>(n);
}

SQInteger Blob::Write(void* buffer, SQInteger size) {
    if (size <= 0) return 0;
    size_t n = static_cast<size_t>(size);
    if (pos_ + n > data_.size()) data_.resize(pos_ + n);
    std::memcpy(data_.data() + pos_, buffer, n);
    pos_ += n;
    return size;
}

SQInteger Blob::Seek(SQInteger offset, SQInteger origin) {
    SQInteger base = origin == SQ_SEEK_CUR ? Tell() : origin == SQ_SEEK_END ? Len() : 0;
    SQInteger target = base + offset;
    if (target < 0 || target > Len()) return -1;
    pos_ = static_cast<size_t>(target);
    return 0;
}

void Blob::Resize(SQInteger size) {
    if (static_cast<size_t>(size) >= data_.size()) {
        data_.reserve(static_cast<size_t>(size));
        return;
    }
    data_.resize(static_cast<size_t>(size));
    pos_ = std::min(pos_, data_.size());
}

void Blob::Swap2() {
    for (size_t i = 0; i + 1 < data_.size(); i += 2)
        std::swap(data_[i], data_[i + 1]);
}

void Blob::Swap4() {
    for (size_t i = 0; i + 3 < data_.size(); i += 4) {
        std::swap(data_[i], data_[i + 3]);
        std::swap(data_[i + 1], data_[i + 2]);
    }
}

} // namespace sqstd

namespace {

using sqstd::Blob;

constexpr const SQChar* kBlobClassKey = "std_blob";

Blob* ThisBlob(HSQUIRRELVM v) {
    SQUserPointer up = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 1, &up, sqstd::BlobTypeTag(), SQFalse)) || !up) {
        sq_throwerror(v, "invalid blob instance");
        return nullptr;
    }
    return static_cast<Blob*>(static_cast<SQStream*>(up));
}

SQInteger ReleaseBlob(SQUserPointer p, SQInteger) {
    delete static_cast<SQStream*>(p);
    return 1;
}

SQInteger AdoptBlob(HSQUIRRELVM v, SQInteger idx, Blob* blob) {
    if (SQ_FAILED(sq_setinstanceup(v, idx, static_cast<SQStream*>(blob)))) {
        delete blob;
        return sq_throwerror(v, "cannot create blob");
    }
    sq_setreleasehook(v, idx, ReleaseBlob);
    return 0;
}

SQInteger BlobConstructor(HSQUIRRELVM v) {
    SQInteger size = sqstd::OptionalInteger(v, 2, 0);
    if (size < 0) return sq_throwerror(v, "cannot create blob with negative size");
    return AdoptBlob(v, 1, new Blob(size));
}

SQInteger BlobResize(HSQUIRRELVM v) {
    Blob* self = ThisBlob(v);
    if (!self) return SQ_ERROR;
    SQInteger size = sqstd::OptionalInteger(v, 2, 0);
    if (size < 0) return sq_throwerror(v, "negative size");
    self->Resize(size);
    return 0;
}

SQInteger BlobSwap2(HSQUIRRELVM v) {
    Blob* self = ThisBlob(v);
    if (!self) return SQ_ERROR;
    self->Swap2();
    return 0;
}

SQInteger BlobSwap4(HSQUIRRELVM v) {
    Blob* self = ThisBlob(v);
    if (!self) return SQ_ERROR;
    self->Swap4();
    return 0;
}

// Index slots are bytes; any other key is reported as missing so the VM raises its usual error.
bool ByteIndex(HSQUIRRELVM v, Blob* self, SQInteger& index) {
    if (sq_gettype(v, 2) != OT_INTEGER) return false;
    sq_getinteger(v, 2, &index);
    return index >= 0 && index < self->Len();
}

SQInteger BlobSet(HSQUIRRELVM v) {
    Blob* self = ThisBlob(v);
    if (!self) return SQ_ERROR;
    SQInteger index = 0, value = 0;
    if (!ByteIndex(v, self, index)) return sq_throwerror(v, "index out of range");
    sq_getinteger(v, 3, &value);
    self->Data()[index] = static_cast<uint8_t>(value);
    sq_push(v, 3);
    return 1;
}

SQInteger BlobGet(HSQUIRRELVM v) {
    Blob* self = ThisBlob(v);
    if (!self) return SQ_ERROR;
    SQInteger index = 0;
    if (sq_gettype(v, 2) != OT_INTEGER) {
        sq_pushnull(v);
        return sq_throwobject(v);
    }
    if (!ByteIndex(v, self, index)) return sq_throwerror(v, "index out of range");
    sq_pushinteger(v, self->Data()[index]);
    return 1;
}

SQInteger BlobNextIndex(HSQUIRRELVM v) {
    Blob* self = ThisBlob(v);
    if (!self) return SQ_ERROR;
    SQInteger next = 0;
    if (sq_gettype(v, 2) != OT_NULL) {
        sq_getinteger(v, 2, &next);
        ++next;
    }
    if (next >= self->Len())
        sq_pushnull(v);
    else
        sq_pushinteger(v, next);
    return 1;
}

SQInteger BlobTypeof(HSQUIRRELVM v) {
    sq_pushstring(v, "blob", -1);
    return 1;
}

// `this` is the fresh copy (made without its constructor); parameter 2 is the original.
SQInteger BlobCloned(HSQUIRRELVM v) {
    SQUserPointer up = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 2, &up, sqstd::BlobTypeTag(), SQFalse)) || !up)
        return sq_throwerror(v, "invalid blob instance");
    Blob* original = static_cast<Blob*>(static_cast<SQStream*>(up));
    Blob* copy = new Blob(0);
    copy->Bytes() = original->Bytes();
    copy->Seek(original->Tell(), SQ_SEEK_SET);
    return AdoptBlob(v, 1, copy);
}

// --- global helpers ---

SQInteger NumberArg(HSQUIRRELVM v, SQInteger idx) {
    return sqstd::OptionalInteger(v, idx, 0);
}

SQFloat FloatArg(HSQUIRRELVM v, SQInteger idx) {
    SQFloat f = 0;
    sq_getfloat(v, idx, &f);
    return f;
}

SQInteger CastF2I(HSQUIRRELVM v) {
    SQFloat f = FloatArg(v, 2);
    int32_t bits = 0;
    static_assert(sizeof f == sizeof bits);
    std::memcpy(&bits, &f, sizeof bits);
    sq_pushinteger(v, bits);
    return 1;
}

SQInteger CastI2F(HSQUIRRELVM v) {
    auto bits = static_cast<uint32_t>(NumberArg(v, 2));
    SQFloat f = 0;
    std::memcpy(&f, &bits, sizeof f);
    sq_pushfloat(v, f);
    return 1;
}

SQInteger Swap2(HSQUIRRELVM v) {
    auto s = static_cast<uint16_t>(NumberArg(v, 2));
    sq_pushinteger(v, static_cast<uint16_t>((s >> 8) | (s << 8)));
    return 1;
}

SQInteger Swap4(HSQUIRRELVM v) {
    auto u = static_cast<uint32_t>(NumberArg(v, 2));
    u = (u >> 24) | ((u >> 8) & 0xFF00u) | ((u << 8) & 0xFF0000u) | (u << 24);
    sq_pushinteger(v, static_cast<int32_t>(u));
    return 1;
}

SQInteger SwapFloat(HSQUIRRELVM v) {
    SQFloat f = FloatArg(v, 2);
    uint8_t bytes[sizeof f];
    std::memcpy(bytes, &f, sizeof f);
    std::reverse(bytes, bytes + sizeof f);
    std::memcpy(&f, bytes, sizeof f);
    sq_pushfloat(v, f);
    return 1;
}

const SQRegFunction kBlobMethods[] = {
    {"constructor", BlobConstructor, -1, "xn"},
    {"resize", BlobResize, 2, "xn"},
    {"swap2", BlobSwap2, 1, "x"},
    {"swap4", BlobSwap4, 1, "x"},
    {"_set", BlobSet, 3, "xnn"},
    {"_get", BlobGet, 2, "x."},
    {"_typeof", BlobTypeof, 1, "x"},
    {"_nexti", BlobNextIndex, 2, "x."},
    {"_cloned", BlobCloned, 2, "xx"},
    {nullptr, nullptr, 0, nullptr},
};

const SQRegFunction kBlobFunctions[] = {
    {"casti2f", CastI2F, 2, ".n"}, {"castf2i", CastF2I, 2, ".n"},     {"swap2", Swap2, 2, ".n"},
    {"swap4", Swap4, 2, ".n"},     {"swapfloat", SwapFloat, 2, ".n"}, {nullptr, nullptr, 0, nullptr},
};

} // namespace

extern "C" {

SQRESULT sqstd_getblob(HSQUIRRELVM v, SQInteger idx, SQUserPointer* ptr) {
    SQUserPointer up = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, idx, &up, sqstd::BlobTypeTag(), SQFalse)) || !up) return SQ_ERROR;
    *ptr = static_cast<Blob*>(static_cast<SQStream*>(up))->Data();
    return SQ_OK;
}

SQInteger sqstd_getblobsize(HSQUIRRELVM v, SQInteger idx) {
    SQUserPointer up = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, idx, &up, sqstd::BlobTypeTag(), SQFalse)) || !up) return -1;
    return static_cast<SQStream*>(up)->Len();
}

SQUserPointer sqstd_createblob(HSQUIRRELVM v, SQInteger size) {
    Blob* blob = new Blob(size < 0 ? 0 : size);
    if (SQ_FAILED(sqstd::PushStreamInstance(v, kBlobClassKey, blob, ReleaseBlob))) return nullptr;
    return blob->Data();
}

SQRESULT sqstd_register_bloblib(HSQUIRRELVM v) {
    sqstd::RegisterStreamClass(v);
    sq_pushregistrytable(v);
    sq_pushstring(v, kBlobClassKey, -1);
    sqstd::NewStreamSubclass(v);
    sq_settypetag(v, -1, sqstd::BlobTypeTag());
    sqstd::RegisterFunctions(v, -1, kBlobMethods);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);

    sq_pushstring(v, "blob", -1);
    sq_pushregistrytable(v);
    sq_pushstring(v, kBlobClassKey, -1);
    sq_rawget(v, -2);
    sq_remove(v, -2);
    sq_newslot(v, -3, SQFalse);
    sqstd::RegisterFunctions(v, -1, kBlobFunctions);
    return SQ_OK;
}

} // extern "C"
