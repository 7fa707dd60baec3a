#include "MzSquirrel.h"

#include "MzSquirrelLib.h"
#include "MzUtf8.h"

#include <sqstdaux.h>
#include <sqstdblob.h>
#include <sqstdio.h>
#include <sqstdmath.h>
#include <sqstdstring.h>
#include <sqstdsystem.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

HSQUIRRELVM MzSquirrel::s_vm = nullptr;
HSQOBJECT MzSquirrel::s_root;
std::string MzSquirrel::s_scriptDirectory;
bool MzSquirrel::s_runResult = true;
int MzSquirrel::s_runDepth = 0;
bool MzSquirrel::s_null = false;
bool MzSquirrel::s_optionIteration = false;
bool MzSquirrel::s_optionStopped = false;
std::atomic<bool> MzSquirrel::s_interruptAll{false};
std::chrono::milliseconds MzSquirrel::s_callTimeLimit = MzSquirrel::kCallTimeLimit;
int MzSquirrel::s_callDepth = 0;
std::chrono::steady_clock::duration MzSquirrel::s_callTime{};
std::chrono::steady_clock::time_point MzSquirrel::s_lastCheck;
bool MzSquirrel::s_callTimedOut = false;

namespace {

constexpr std::size_t kMessageChars = 1024;
// Instructions between two looks of the interrupt hook at the clock: a few microseconds of script.
constexpr SQInteger kInterruptInterval = 1000;
// The longest stretch between two looks that counts as script time; more was spent in native calls.
constexpr auto kMaxCountedGap = std::chrono::milliseconds(50);

constexpr const char* kNotInitialized = "あらかじめMzSquirrel::Initialize()を呼んでください";

// The message as ReportError logs it, after the "----" line: with the VM's last error when it is a string.
std::string ErrorText(HSQUIRRELVM vm, const std::string& message) {
    std::string text = message;
    if (vm != nullptr) {
        sq_getlasterror(vm);
        const SQChar* error = nullptr;
        if (sq_gettype(vm, -1) == OT_STRING && SQ_SUCCEEDED(sq_getstring(vm, -1, &error)))
            text += std::string("(") + error + ")";
        sq_poptop(vm);
    }
    return text + "\n";
}

std::string ReportV(HSQUIRRELVM vm, const char* format, va_list args) {
    std::string message(MzUtf8Prefix(MzFormatV(format, args), kMessageChars));
    std::string text = ErrorText(vm, message);
    MzLog("----\n");
    MzLog("%s", text.c_str());
    return text;
}

} // namespace

void MzSquirrel::Initialize() {
    HSQUIRRELVM vm = sq_open(1024);
    sq_pushroottable(vm);
    sqstd_register_iolib(vm);
    sqstd_register_bloblib(vm);
    sqstd_register_mathlib(vm);
    sqstd_register_stringlib(vm);
    sqstd_seterrorhandlers(vm);
    sq_getstackobj(vm, -1, &s_root);
    sq_addref(vm, &s_root);
    sq_poptop(vm);
    // The error handlers print through the error function: both go to the log.
    sq_setprintfunc(vm, &MzSquirrel::PrintFunc, &MzSquirrel::PrintFunc);
    sq_pushroottable(vm);
    sqstd_register_systemlib(vm);
    sq_poptop(vm);
    sq_setinterrupthook(vm, &MzSquirrel::InterruptHook, kInterruptInterval);
    s_scriptDirectory.clear();
    s_vm = vm;
    MzSquirrelLib::Register();
}

void MzSquirrel::Shutdown() {
    if (s_vm != nullptr) {
        sq_release(s_vm, &s_root);
        sq_resetobject(&s_root);
        sq_close(s_vm);
        s_vm = nullptr;
    }
    s_scriptDirectory.clear();
    s_runDepth = 0;
    s_runResult = true;
    s_null = false;
    s_optionIteration = false;
    s_interruptAll = false;
    s_callTimeLimit = kCallTimeLimit;
}

// Keeps failing while the reason lasts: a script that catches the error is interrupted again.
SQRESULT MzSquirrel::InterruptHook(HSQUIRRELVM /*vm*/) {
    if (Interrupting()) return SQ_ERROR;
    if (s_callDepth == 0) return SQ_OK;
    auto now = std::chrono::steady_clock::now();
    s_callTime += std::min<std::chrono::steady_clock::duration>(now - s_lastCheck, kMaxCountedGap);
    s_lastCheck = now;
    if (s_callTime <= s_callTimeLimit) return SQ_OK;
    if (!s_callTimedOut) {
        s_callTimedOut = true;
        ReportError(nullptr, "script took longer than %g s: interrupted",
                    std::chrono::duration<double>(s_callTimeLimit).count());
    }
    return SQ_ERROR;
}

MzScriptCall::MzScriptCall() {
    if (MzSquirrel::s_callDepth++ > 0) return;
    MzSquirrel::s_callTime = {};
    MzSquirrel::s_lastCheck = std::chrono::steady_clock::now();
    MzSquirrel::s_callTimedOut = false;
}

MzScriptCall::~MzScriptCall() {
    --MzSquirrel::s_callDepth;
}

bool MzSquirrel::RunScript(const std::string& path, bool useRootTable) {
    if (s_vm == nullptr) {
        ReportError(nullptr, "%s", kNotInitialized);
        return false;
    }
    const std::string savedDirectory = s_scriptDirectory;
    std::string fullPath = s_scriptDirectory.empty() ? path : s_scriptDirectory + "/" + path;
    // Scripts written with '\' separators still open their files here; the directory rules count '/' only.
    std::replace(fullPath.begin(), fullPath.end(), '\\', '/');
    std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        std::string directoryPart = path.substr(0, slash);
        s_scriptDirectory =
            s_scriptDirectory.empty() ? directoryPart : s_scriptDirectory + "/" + directoryPart;
    }
    if (s_runDepth == 0) s_runResult = true;
    MzScriptCall call;
    ++s_runDepth;
    if (useRootTable) sq_pushroottable(s_vm);
    if (SQ_FAILED(sqstd_dofile(s_vm, fullPath.c_str(), SQFalse, SQTrue))) {
        ReportErrorBox(s_vm, "スクリプトファイルの実行に失敗しました。");
        s_runResult = false;
    }
    if (useRootTable) sq_poptop(s_vm);
    s_scriptDirectory = savedDirectory;
    --s_runDepth;
    return s_runResult;
}

void MzSquirrel::RegisterFunction(const char* name, SQFUNCTION function, SQInteger paramCheck,
                                  const char* typeMask) {
    if (s_vm == nullptr) {
        ReportError(nullptr, "%s", kNotInitialized);
        return;
    }
    sq_pushroottable(s_vm);
    sq_pushstring(s_vm, name, -1);
    sq_newclosure(s_vm, function, 0);
    sq_setnativeclosurename(s_vm, -1, name);
    sq_setparamscheck(s_vm, paramCheck, typeMask);
    sq_newslot(s_vm, -3, SQFalse);
    sq_poptop(s_vm);
}

void MzSquirrel::ReportError(HSQUIRRELVM vm, const char* format, ...) {
    va_list args;
    va_start(args, format);
    ReportV(vm, format, args);
    va_end(args);
}

void MzSquirrel::ReportErrorBox(HSQUIRRELVM vm, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = ReportV(vm, format, args);
    va_end(args);
    if (Interrupting()) return;
    MzErrorBox("ERROR", "%s", text.c_str());
}

// Output longer than one log entry is split into entries of at most 1024 characters rather than cut,
// never between a CR and its LF.
void MzSquirrel::PrintFunc(HSQUIRRELVM /*vm*/, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = MzFormatV(format, args);
    va_end(args);
    std::string_view rest = text;
    while (!rest.empty()) {
        std::string_view piece = MzUtf8Prefix(rest, kMessageChars);
        if (piece.size() < rest.size() && piece.size() > 1 && piece.back() == '\r' &&
            rest[piece.size()] == '\n')
            piece.remove_suffix(1);
        MzLog("%.*s", static_cast<int>(piece.size()), piece.data());
        rest.remove_prefix(piece.size());
    }
}
