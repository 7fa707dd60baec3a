// Input/output library: the `file` class over C streams, script loading and closure files.
#include <sqstdio.h>

#include "sqstdregister.h"
#include "sqstdstream.h"
#include "sqstdtext.h"

#include <cstdio>
#include <cstring>
#include <string>

// --- C stream wrappers ---

extern "C" {

// Files are opened close-on-exec so that `system()` children never inherit them.
SQFILE sqstd_fopen(const SQChar* filename, const SQChar* mode) {
    std::string m = mode;
    if (m.empty() || !std::strchr("rwa", m[0])) return nullptr;
    return std::fopen(filename, (m + "e").c_str());
}

SQInteger sqstd_fread(SQUserPointer buffer, SQInteger size, SQInteger count, SQFILE file) {
    return static_cast<SQInteger>(std::fread(buffer, size, count, static_cast<FILE*>(file)));
}

SQInteger sqstd_fwrite(const SQUserPointer buffer, SQInteger size, SQInteger count, SQFILE file) {
    return static_cast<SQInteger>(std::fwrite(buffer, size, count, static_cast<FILE*>(file)));
}

SQInteger sqstd_fseek(SQFILE file, SQInteger offset, SQInteger origin) {
    int whence = origin == SQ_SEEK_CUR ? SEEK_CUR : origin == SQ_SEEK_END ? SEEK_END : SEEK_SET;
    return std::fseek(static_cast<FILE*>(file), static_cast<long>(offset), whence);
}

SQInteger sqstd_ftell(SQFILE file) {
    return std::ftell(static_cast<FILE*>(file));
}
SQInteger sqstd_fflush(SQFILE file) {
    return std::fflush(static_cast<FILE*>(file));
}
SQInteger sqstd_fclose(SQFILE file) {
    return std::fclose(static_cast<FILE*>(file));
}
SQInteger sqstd_feof(SQFILE file) {
    return std::feof(static_cast<FILE*>(file));
}

} // extern "C"

namespace {

constexpr const SQChar* kFileClassKey = "std_file";

// A stream over a C FILE; `owns` decides whether destroying or closing it closes the FILE.
class File : public SQStream {
  public:
    File(SQFILE handle, bool owns) : handle_(handle), owns_(owns) {}
    ~File() override { Close(); }

    SQInteger Read(void* buffer, SQInteger size) override { return sqstd_fread(buffer, 1, size, handle_); }
    SQInteger Write(void* buffer, SQInteger size) override { return sqstd_fwrite(buffer, 1, size, handle_); }
    SQInteger Flush() override { return sqstd_fflush(handle_); }
    SQInteger Tell() override { return sqstd_ftell(handle_); }
    SQInteger Len() override {
        SQInteger here = Tell();
        if (here < 0 || sqstd_fseek(handle_, 0, SQ_SEEK_END) != 0) return -1;
        SQInteger size = Tell();
        sqstd_fseek(handle_, here, SQ_SEEK_SET);
        return size;
    }
    SQInteger Seek(SQInteger offset, SQInteger origin) override {
        return sqstd_fseek(handle_, offset, origin);
    }
    bool IsValid() override { return handle_ != nullptr; }
    // At the end when the position reached the length; streams without one use the C flag.
    bool EOS() override {
        SQInteger size = Len();
        return size < 0 ? sqstd_feof(handle_) != 0 : Tell() >= size;
    }

    void Close() {
        if (handle_ && owns_) sqstd_fclose(handle_);
        handle_ = nullptr;
    }
    SQFILE Handle() const { return handle_; }

  private:
    SQFILE handle_;
    bool owns_;
};

SQInteger ReleaseFile(SQUserPointer p, SQInteger) {
    delete static_cast<SQStream*>(p);
    return 1;
}

File* FileAt(HSQUIRRELVM v, SQInteger idx) {
    SQUserPointer up = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, idx, &up, sqstd::FileTypeTag(), SQFalse)) || !up) return nullptr;
    return static_cast<File*>(static_cast<SQStream*>(up));
}

SQInteger FileConstructor(HSQUIRRELVM v) {
    const SQChar* name = nullptr;
    const SQChar* mode = "r";
    sq_getstring(v, 2, &name);
    if (sq_gettop(v) > 2) sq_getstring(v, 3, &mode);
    SQFILE handle = sqstd_fopen(name, mode);
    if (!handle) return sq_throwerror(v, "cannot open file");
    File* file = new File(handle, true);
    if (SQ_FAILED(sq_setinstanceup(v, 1, static_cast<SQStream*>(file)))) {
        delete file;
        return sq_throwerror(v, "cannot create file");
    }
    sq_setreleasehook(v, 1, ReleaseFile);
    return 0;
}

SQInteger FileClose(HSQUIRRELVM v) {
    File* self = FileAt(v, 1);
    if (!self) return sq_throwerror(v, "invalid file instance");
    self->Close();
    return 0;
}

SQInteger FileTypeof(HSQUIRRELVM v) {
    sq_pushstring(v, "file", -1);
    return 1;
}

// --- script loading ---

bool ReadWholeFile(const SQChar* filename, std::string& bytes) {
    FILE* f = static_cast<FILE*>(sqstd_fopen(filename, "rb"));
    if (!f) return false;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.append(chunk, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

struct MemoryReader {
    const std::string& bytes;
    size_t pos = 0;
};

SQInteger ReadFromMemory(SQUserPointer up, SQUserPointer buffer, SQInteger size) {
    auto* reader = static_cast<MemoryReader*>(up);
    size_t n = std::min(static_cast<size_t>(size), reader->bytes.size() - reader->pos);
    std::memcpy(buffer, reader->bytes.data() + reader->pos, n);
    reader->pos += n;
    return n == static_cast<size_t>(size) ? size : -1;
}

bool IsBytecode(const std::string& bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == (SQ_BYTECODE_STREAM_TAG & 0xFF) &&
           static_cast<unsigned char>(bytes[1]) == (SQ_BYTECODE_STREAM_TAG >> 8);
}

SQInteger WriteToFile(SQUserPointer file, SQUserPointer buffer, SQInteger size) {
    return sqstd_fwrite(buffer, 1, size, file) == size ? size : -1;
}

SQInteger LoadFile(HSQUIRRELVM v) {
    const SQChar* filename = nullptr;
    SQBool printerror = SQFalse;
    sq_getstring(v, 2, &filename);
    if (sq_gettop(v) > 2) sq_getbool(v, 3, &printerror);
    return SQ_SUCCEEDED(sqstd_loadfile(v, filename, printerror)) ? 1 : SQ_ERROR;
}

SQInteger DoFile(HSQUIRRELVM v) {
    const SQChar* filename = nullptr;
    SQBool printerror = SQFalse;
    sq_getstring(v, 2, &filename);
    if (sq_gettop(v) > 2) sq_getbool(v, 3, &printerror);
    sq_push(v, 1); // the caller's environment becomes the script's `this`
    return SQ_SUCCEEDED(sqstd_dofile(v, filename, SQTrue, printerror)) ? 1 : SQ_ERROR;
}

SQInteger WriteClosureToFile(HSQUIRRELVM v) {
    const SQChar* filename = nullptr;
    sq_getstring(v, 2, &filename);
    return SQ_SUCCEEDED(sqstd_writeclosuretofile(v, filename)) ? 0 : SQ_ERROR;
}

const SQRegFunction kFileMethods[] = {
    {"constructor", FileConstructor, -2, "xss"},
    {"close", FileClose, 1, "x"},
    {"_typeof", FileTypeof, 1, "x"},
    {nullptr, nullptr, 0, nullptr},
};

const SQRegFunction kIoFunctions[] = {
    {"dofile", DoFile, -2, ".sb"},
    {"loadfile", LoadFile, -2, ".sb"},
    {"writeclosuretofile", WriteClosureToFile, 3, ".sc"},
    {nullptr, nullptr, 0, nullptr},
};

void AddStandardStream(HSQUIRRELVM v, const SQChar* name, FILE* stream) {
    sq_pushstring(v, name, -1);
    if (SQ_FAILED(sqstd_createfile(v, stream, SQFalse))) {
        sq_pop(v, 1);
        return;
    }
    sq_newslot(v, -3, SQFalse);
}

} // namespace

extern "C" {

SQRESULT sqstd_createfile(HSQUIRRELVM v, SQFILE file, SQBool own) {
    return sqstd::PushStreamInstance(v, kFileClassKey, new File(file, own != SQFalse), ReleaseFile);
}

SQRESULT sqstd_getfile(HSQUIRRELVM v, SQInteger idx, SQFILE* file) {
    File* f = FileAt(v, idx);
    if (!f) return sq_throwerror(v, "not a file");
    *file = f->Handle();
    return SQ_OK;
}

SQRESULT sqstd_loadfile(HSQUIRRELVM v, const SQChar* filename, SQBool printerror) {
    std::string bytes;
    if (!ReadWholeFile(filename, bytes)) return sq_throwerror(v, "cannot open the file");
    if (IsBytecode(bytes)) {
        MemoryReader reader{bytes, 0};
        return sq_readclosure(v, ReadFromMemory, &reader);
    }
    std::string text = sqstd::DecodeScriptText(bytes);
    return sq_compilebuffer(v, text.data(), static_cast<SQInteger>(text.size()), filename, printerror);
}

SQRESULT sqstd_dofile(HSQUIRRELVM v, const SQChar* filename, SQBool retval, SQBool printerror) {
    if (SQ_FAILED(sqstd_loadfile(v, filename, printerror))) return SQ_ERROR;
    sq_push(v, -2);
    if (SQ_FAILED(sq_call(v, 1, retval, SQTrue))) {
        sq_pop(v, 1);
        return SQ_ERROR;
    }
    sq_remove(v, retval ? -2 : -1); // the closure
    return SQ_OK;
}

SQRESULT sqstd_writeclosuretofile(HSQUIRRELVM v, const SQChar* filename) {
    SQFILE file = sqstd_fopen(filename, "wb");
    if (!file) return sq_throwerror(v, "cannot open the file");
    SQRESULT result = sq_writeclosure(v, WriteToFile, file);
    if (sqstd_fclose(file) != 0 && SQ_SUCCEEDED(result)) result = sq_throwerror(v, "io error");
    if (SQ_FAILED(result)) std::remove(filename); // never leave a truncated closure file behind
    return result;
}

SQRESULT sqstd_register_iolib(HSQUIRRELVM v) {
    sqstd::RegisterStreamClass(v);
    sq_pushregistrytable(v);
    sq_pushstring(v, kFileClassKey, -1);
    sqstd::NewStreamSubclass(v);
    sq_settypetag(v, -1, sqstd::FileTypeTag());
    sqstd::RegisterFunctions(v, -1, kFileMethods);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);

    sq_pushstring(v, "file", -1);
    sq_pushregistrytable(v);
    sq_pushstring(v, kFileClassKey, -1);
    sq_rawget(v, -2);
    sq_remove(v, -2);
    sq_newslot(v, -3, SQFalse);
    sqstd::RegisterFunctions(v, -1, kIoFunctions);
    AddStandardStream(v, "stdout", stdout);
    AddStandardStream(v, "stdin", stdin);
    AddStandardStream(v, "stderr", stderr);
    return SQ_OK;
}

} // extern "C"
