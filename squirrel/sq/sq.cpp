// The `sq` command-line interpreter: `sq [-v] [-d] [-c [-o OUT]] FILE [ARGS...]` runs (or compiles)
// a script with the standard libraries.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include <sqstdaux.h>
#include <sqstdio.h>
#include <squirrel.h>
#if __has_include(<sqstdblob.h>)
#include <sqstdblob.h>
#define SQ_HAVE_BLOB 1
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
    sqstd_register_iolib(v);
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

// Loads the script (text in any encoding the library reads, or a closure file) with the same
// reader as `dofile`.
bool LoadScript(HSQUIRRELVM v, const char* path) {
    if (SQ_SUCCEEDED(sqstd_loadfile(v, path, SQTrue))) return true;
    const SQChar* message = "unknown";
    sq_getlasterror(v);
    sq_getstring(v, -1, &message);
    std::printf("Error [%s]\n", message);
    sq_pop(v, 1);
    return false;
}

// Runs the script with its arguments in vargv; returns the process exit status.
int RunFile(HSQUIRRELVM v, const char* path, int argc, char** argv) {
    FILE* probe = std::fopen(path, "rb");
    if (!probe) {
        std::fprintf(stderr, "Error [cannot open the file]\n");
        return 255;
    }
    std::fclose(probe);
    if (!LoadScript(v, path)) return 254;
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

// Compiles the script and writes it as a closure file that `sq` and `dofile` run.
int CompileFile(HSQUIRRELVM v, const char* path, const char* output) {
    if (!LoadScript(v, path)) return 254;
    if (SQ_SUCCEEDED(sqstd_writeclosuretofile(v, output))) return 0;
    std::fprintf(stderr, "Error [cannot write '%s']\n", output);
    return 255;
}

void PrintVersion() {
    std::printf("%s %s (%d bits)\n", SQUIRREL_VERSION, SQUIRREL_COPYRIGHT, int(sizeof(void*) * 8));
}

void PrintUsage() {
    std::printf("usage: sq <options> <scriptpath [args]>.\n"
                "Available options are:\n"
                "   -c              compiles the file to bytecode(default output 'out.cnut')\n"
                "   -o              specifies output file for the -c option\n"
                "   -d              generates debug infos\n"
                "   -v              displays version infos\n"
                "   -h              prints help\n");
}

struct Options {
    bool compileOnly = false;
    bool debugInfo = false;
    const char* output = "out.cnut";
    int script = 0; // index of the script in argv, 0 when none
};

// Reads the options before the script; returns false (having printed why) when `sq` should stop.
bool ParseOptions(int argc, char** argv, Options& opts, int& status) {
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; ++i) {
        std::string opt = argv[i];
        if (opt == "-c") {
            opts.compileOnly = true;
        } else if (opt == "-d") {
            opts.debugInfo = true;
        } else if (opt == "-o" && i + 1 < argc) {
            opts.output = argv[++i];
        } else if (opt == "-v") {
            PrintVersion();
        } else if (opt == "-h") {
            PrintVersion();
            PrintUsage();
            status = 0;
            return false;
        } else {
            PrintVersion();
            std::printf("unknown option '%s'\n", argv[i]);
            PrintUsage();
            status = 255;
            return false;
        }
    }
    if (i == argc) {
        if (argc == 1) {
            PrintVersion();
            PrintUsage();
        }
        status = 0;
        return false;
    }
    opts.script = i;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options opts;
    int status = 0;
    if (!ParseOptions(argc, argv, opts, status)) return status;
    HSQUIRRELVM v = sq_open(1024);
    sq_setprintfunc(v, PrintToStdout, PrintToStderr);
    sq_enabledebuginfo(v, opts.debugInfo);
    RegisterLibraries(v);
    sqstd_seterrorhandlers(v);
    const char* script = argv[opts.script];
    status = opts.compileOnly ? CompileFile(v, script, opts.output)
                              : RunFile(v, script, argc - opts.script - 1, argv + opts.script + 1);
    std::fflush(stdout);
    sq_close(v);
    return status;
}
