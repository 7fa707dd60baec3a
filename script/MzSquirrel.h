// The one Squirrel VM of the process: setting it up, running script files, the runtime's own script
// functions (load, require, frand, rad2deg, deg2rad), error reporting into the log, and typed readers
// of global variables, native-call arguments and option tables.
//
// Static members only: there is one runtime per process. It has no lock; only one thread at a time
// may be inside the VM. Nothing here raises a script error: wrong values are reported into the log
// (ReportError) and answered with a default.
#pragma once

#include "MzLog.h"

#include <squirrel.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

class MzSquirrel {
  public:
    // Opens the VM with the standard libraries, the print function and the runtime's script functions.
    static void Initialize();
    // Closes the VM. Every stored reference into it must have been released before.
    static void Shutdown();
    static HSQUIRRELVM GetVM() { return s_vm; }

    // Runs the file at `path` (relative to the directory of the script being run, '/' separated) with
    // the root table as `this`, or else with the value on top of the VM stack. Returns false when this
    // file or any file run before it within the same outermost run failed.
    static bool RunScript(const std::string& path, bool useRootTable);

    // Makes `function` the root table slot `name`; `paramCheck` and `typeMask` go to sq_setparamscheck.
    static void RegisterFunction(const char* name, SQFUNCTION function, SQInteger paramCheck,
                                 const char* typeMask);

    // Logs "----" and the message, with the VM's last error in parentheses when `vm` is given and the
    // error is a string.
    static void ReportError(HSQUIRRELVM vm, const char* format, ...) MZ_PRINTF_FORMAT(2, 3);
    // As ReportError, and shows the same text in an error box.
    static void ReportErrorBox(HSQUIRRELVM vm, const char* format, ...) MZ_PRINTF_FORMAT(2, 3);
    // The VM's print function: everything scripts print goes to the log.
    static void PrintFunc(HSQUIRRELVM vm, const char* format, ...) MZ_PRINTF_FORMAT(2, 3);

    // A single call from the system into scripts that runs longer than this is interrupted.
    static constexpr std::chrono::milliseconds kCallTimeLimit{5000};
    // Replaces the time limit (tests use a short one).
    static void SetCallTimeLimit(std::chrono::milliseconds limit) { s_callTimeLimit = limit; }
    // Async-signal-safe and callable from any thread: the program is ending, so every running and
    // later script call is interrupted and script failures show no error boxes.
    static void InterruptAll() { s_interruptAll.store(true, std::memory_order_relaxed); }
    static bool Interrupting() { return s_interruptAll.load(std::memory_order_relaxed); }

    // Readers of root table variables. A missing or null variable gives the default and sets the null
    // flag; a value of the wrong type gives the default with a message.
    static std::string GetString(const char* name, const char* defaultValue);
    static std::int32_t GetInt(const char* name);
    static float GetFloat(const char* name, float defaultValue);

    // Readers of native-call arguments; `index` 0 is the first argument after `this`.
    static std::string GetArgString(HSQUIRRELVM vm, int index);
    static float GetArgFloat(HSQUIRRELVM vm);

    // Readers of the option table that is the one argument of a native call (on top of the VM stack).
    // A call with another number of arguments is reported with this message.
    static constexpr const char* kOptionCountMessage =
        "引数の数が間違っています。オプションテーブル１つが必要です";
    static std::string GetOptionString(HSQUIRRELVM vm, const char* key, const char* defaultValue);
    static float GetOptionFloat(HSQUIRRELVM vm, const char* key, float defaultValue);
    // Iterates over option[`key`] (a table, class or instance): NextOption gives its entries while their
    // values are strings (`name` "" for a key that is not a string). EndOptionTable restores the stack.
    static bool BeginOptionTable(HSQUIRRELVM vm, const char* key);
    static bool NextOption(HSQUIRRELVM vm, std::string& name, std::string& value);
    static void EndOptionTable(HSQUIRRELVM vm);

    // Whether the value the last reader read was null or missing.
    static bool IsNull() { return s_null; }

  private:
    friend class MzSquirrelLib;
    friend class MzScriptCall;
    static SQRESULT InterruptHook(HSQUIRRELVM vm);
    static const std::string& ScriptDirectory() { return s_scriptDirectory; }

    static HSQUIRRELVM s_vm;
    static HSQOBJECT s_root;
    static std::string s_scriptDirectory; // of the file being run, relative to the working directory
    static bool s_runResult;
    static int s_runDepth;
    static bool s_null;
    static bool s_optionIteration;
    static bool s_optionStopped;
    static std::atomic<bool> s_interruptAll;
    static std::chrono::milliseconds s_callTimeLimit;
    static int s_callDepth;
    // Interpreter time of the outermost call so far, and when the interrupt hook last looked.
    static std::chrono::steady_clock::duration s_callTime;
    static std::chrono::steady_clock::time_point s_lastCheck;
    static bool s_callTimedOut;
};

// Marks a call from the system into scripts (a file run, a callback, a state function, a menu
// item) for the time limit. Nested marks, such as a file loaded by a running script, belong to the
// outermost one. Only the time the interpreter runs counts, not long native calls like imports.
class MzScriptCall {
  public:
    MzScriptCall();
    ~MzScriptCall();
    MzScriptCall(const MzScriptCall&) = delete;
    MzScriptCall& operator=(const MzScriptCall&) = delete;
};
