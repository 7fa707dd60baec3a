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

// Puts the class `stream` (readblob, readn, writen, writeblob, seek, tell, len, eos and flush) into
// the table at the top, creating it in the registry the first time.
void RegisterStreamClass(HSQUIRRELVM v);

// Pushes a new class derived from `stream` (RegisterStreamClass must have run).
void NewStreamSubclass(HSQUIRRELVM v);

// Creates an instance of the class stored under `registryKey` around `up`, released by `hook`.
SQRESULT PushStreamInstance(HSQUIRRELVM v, const SQChar* registryKey, SQStream* up, SQRELEASEHOOK hook);

} // namespace sqstd

#endif
