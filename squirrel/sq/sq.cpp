// The `sq` command-line interpreter: runs `sq FILE [ARGS...]` with the standard libraries.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include <sqstdaux.h>
#include <squirrel.h>
#if __has_include(<sqstdblob.h>)
#include <sqstdblob.h>
#define SQ_HAVE_BLOB 1
#endif
#if __has_include(<sqstdio.h>)
#include <sqstdio.h>
#define SQ_HAVE_IO 1
#endif
#if __has_include(<sqstdmath.h>)
#include <sqstdmath.h>
#define SQ_HAVE_MATH 1
#endif
#if __has_include(<sqstdstring.h>)
#include <sqstdstring.h>
#define SQ_HAVE_STRING 1
#endif
#if __has_include(<sqstdsystem.h>)
#include <sqstdsystem.h>
#define SQ_HAVE_SYSTEM 1
#endif

namespace {

void PrintToStdout(HSQUIRRELVM, const SQChar* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
}

void PrintToStderr(HSQUIRRELVM, const SQChar* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

void RegisterLibraries(HSQUIRRELVM v) {
    sq_pushroottable(v);
#ifdef SQ_HAVE_BLOB
    sqstd_register_bloblib(v);
#endif
#ifdef SQ_HAVE_IO
    sqstd_register_iolib(v);
#endif
#ifdef SQ_HAVE_SYSTEM
    sqstd_register_systemlib(v);
#endif
#ifdef SQ_HAVE_MATH
    sqstd_register_mathlib(v);
#endif
#ifdef SQ_HAVE_STRING
    sqstd_register_stringlib(v);
#endif
    sq_pop(v, 1);
}

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

std::string Utf16ToUtf8(const std::string& in, bool bigEndian) {
    std::string out;
    for (size_t i = 2; i + 1 < in.size(); i += 2) {
        auto unit = [&](size_t at) {
            unsigned char a = in[at], b = in[at + 1];
            return bigEndian ? unsigned(a << 8 | b) : unsigned(b << 8 | a);
        };
        unsigned code = unit(i);
        if (code >= 0xD800 && code < 0xDC00 && i + 3 < in.size()) {
            unsigned low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        AppendUtf8(out, code);
    }
    return out;
}

// Reads a whole script file; a UTF-8 byte-order mark is skipped, UTF-16 with a mark is converted.
bool ReadScript(const char* path, std::string& out) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    std::string raw;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        raw.append(buffer, n);
    std::fclose(f);
    if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        out = raw.substr(3);
    } else if (raw.size() >= 2 && uint8_t(raw[0]) == 0xFF && uint8_t(raw[1]) == 0xFE) {
        out = Utf16ToUtf8(raw, false);
    } else if (raw.size() >= 2 && uint8_t(raw[0]) == 0xFE && uint8_t(raw[1]) == 0xFF) {
        out = Utf16ToUtf8(raw, true);
    } else {
        out = std::move(raw);
    }
    return true;
}

// Runs the script with its arguments in vargv; returns the process exit status.
int RunFile(HSQUIRRELVM v, const char* path, int argc, char** argv) {
    std::string source;
    if (!ReadScript(path, source)) {
        std::fprintf(stderr, "Error [cannot open the file]\n");
        return 255;
    }
    if (SQ_FAILED(sq_compilebuffer(v, source.data(), SQInteger(source.size()), path, SQTrue))) {
        const SQChar* message = "unknown";
        sq_getlasterror(v);
        sq_getstring(v, -1, &message);
        std::printf("Error [%s]\n", message);
        return 254;
    }
    sq_pushroottable(v);
    for (int i = 0; i < argc; ++i)
        sq_pushstring(v, argv[i], -1);
    if (SQ_FAILED(sq_call(v, argc + 1, SQTrue, SQTrue))) return 0;
    SQInteger status = 0;
    if (sq_gettype(v, -1) == OT_INTEGER) {
        sq_getinteger(v, -1, &status);
        return int(status);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("%s\nusage: sq FILE [ARGS...]\n", SQUIRREL_VERSION);
        return 0;
    }
    HSQUIRRELVM v = sq_open(1024);
    sq_setprintfunc(v, PrintToStdout, PrintToStderr);
    RegisterLibraries(v);
    sqstd_seterrorhandlers(v);
    int status = RunFile(v, argv[1], argc - 2, argv + 2);
    std::fflush(stdout);
    sq_close(v);
    return status;
}
