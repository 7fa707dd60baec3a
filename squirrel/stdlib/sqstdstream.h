// The methods every stream class (`blob`, `file`) offers to scripts, and the stream type tags.
#ifndef SQSTDSTREAM_H
#define SQSTDSTREAM_H

#include <sqstdio.h>

#include <cstdint>

namespace sqstd {

inline SQUserPointer BlobTypeTag() {
    return reinterpret_cast<SQUserPointer>(uintptr_t(SQSTD_STREAM_TYPE_TAG | 2));
}
inline SQUserPointer FileTypeTag() {
    return reinterpret_cast<SQUserPointer>(uintptr_t(SQSTD_STREAM_TYPE_TAG | 1));
}

// The stream behind `this` of a stream method, or null (with the error raised) when there is none.
SQStream* ThisStream(HSQUIRRELVM v);

// Adds readblob, readn, writen, writeblob, seek, tell, len, eos and flush to the class at the top.
void RegisterStreamMethods(HSQUIRRELVM v);

// Creates an instance of the class stored under `registryKey` around `up`, released by `hook`.
SQRESULT PushStreamInstance(HSQUIRRELVM v, const SQChar* registryKey, SQStream* up, SQRELEASEHOOK hook);

} // namespace sqstd

#endif
