// The virtual machine (one per thread): value stack, call frames, the interpreter loop.
#pragma once

#include <deque>

#include "sqobject.h"
#include "sqstate.h"

struct SQThrow {}; // a script error is in flight; the value is SQVM::lastError

struct SQCallFrame {
    SQClosure* closure; // null for native frames
    SQNativeClosure* native;
    const SQInstruction* ip;
    SQInteger base;   // stack index of slot 0 (`this`)
    SQInteger target; // where the caller wants the result, -1 to discard
    SQGenerator* generator;
    SQInteger trapBase; // traps.size() at entry
    bool boundary;      // returning from it leaves the current Execute
};

struct SQTrap {
    const SQInstruction* catchIp;
    SQInteger stackTop;
    size_t frame;
};

// Scope of one call into the engine: what it allocates is charged to the state's budget, and the
// outermost one ending ends an interruption.
struct SQEntryScope {
    SQSharedState* ss;
    SQMemoryBudget* outerBudget;
    explicit SQEntryScope(SQSharedState* s) : ss(s), outerBudget(sqO_setbudget(&s->memory)) {
        ++ss->entryDepth;
    }
    ~SQEntryScope() {
        sqO_setbudget(outerBudget);
        if (--ss->entryDepth == 0) ss->interrupted = false;
    }
    SQEntryScope(const SQEntryScope&) = delete;
    SQEntryScope& operator=(const SQEntryScope&) = delete;
};

struct SQVM : SQObjectBase {
    static constexpr SQInteger kStackSize = 1 << 20;
    static constexpr SQInteger kMaxNativeDepth = 100;

    SQSharedState* ss;
    Value* stack = nullptr;
    SQInteger top = 0;
    // A deque: frames keep their address while deeper calls push more, so the interpreter loop,
    // hooks and natives may hold a frame across any call.
    std::deque<SQCallFrame> frames;
    std::vector<SQTrap> traps;
    SQOuter* openOuters = nullptr;
    Value roottable;
    Value lastError;
    Value errorHandler;
    Value debugHook;
    Value retval; // result of the frame that ends an Execute
    SQInteger nativeDepth = 0;
    SQInteger state = SQ_VMSTATE_IDLE;
    bool suspendRequest = false;
    bool pendingThrow = false; // wakeupthrow: raise lastError where the thread suspended
    bool errorReported = false;
    bool raiseErrors = true; // whether an uncaught error calls the error handler
    SQUserPointer foreignPtr = nullptr;
    SQRELEASEHOOK releaseHook = nullptr;
    SQINTERRUPTHOOK interruptHook = nullptr;
    SQDEBUGHOOK nativeDebugHook = nullptr;
    SQInteger interruptInterval = 0;
    SQInteger interruptCounter = 0;
    // Any interrupt or debug hook set: the interpreter loop takes the slow path before each instruction.
    bool instructionHooks = false;
    bool inDebugHook = false;
    // The frames the debug hook has seen entered, to report calls and returns and line changes.
    struct HookFrame {
        const void* function; // the frame's closure or native closure
        SQInteger base;
        int32_t line; // -1 until its first instruction
        Value source, name;
    };
    std::vector<HookFrame> hookFrames;

    // Either debug hook replaces the other; a null closure and a null function switch it off.
    void SetDebugHook(const Value& hook, SQDEBUGHOOK nativeHook);
    void SetInterruptHook(SQINTERRUPTHOOK hook, SQInteger interval);
    void RunInstructionHooks();
    void CallDebugHook(SQInteger type, const HookFrame& frame);

    explicit SQVM(SQSharedState* s);
    ~SQVM() override;
    void Mark(std::vector<SQObjectBase*>& gray) override;
    void Clear() override;

    // stack
    void Push(const Value& v) {
        if (top >= kStackSize) Raise("stack overflow");
        stack[top++] = v;
    }
    void Pop(SQInteger n = 1) {
        while (n-- > 0)
            stack[--top].Null();
    }
    Value& Top() { return stack[top - 1]; }
    Value& At(SQInteger idx) { return idx >= 0 ? stack[StackBase() + idx - 1] : stack[top + idx]; }
    SQInteger StackBase() const;

    // errors
    [[noreturn]] void Raise(const std::string& message);
    [[noreturn]] void RaiseValue(const Value& v);
    [[noreturn]] void RaiseOutOfMemory() { RaiseValue(ss->outOfMemory); }
    std::string Printable(const Value& v);

    // calls: fn is at stack[base - 1]... the callee and `this`+args occupy stack[top-nargs..top)
    bool Call(const Value& fn, SQInteger nargs, SQInteger stackbase, Value& result, bool raiseerror);
    void CallValue(const Value& fn, SQInteger nargs, SQInteger stackbase, Value& result);
    bool CallMeta(const Value& obj, SQMetaMethod mm, SQInteger nargs, Value& result);
    bool GetMeta(const Value& obj, SQMetaMethod mm, Value& fn);

    // object protocol
    enum GetFlags { kGetNormal = 0, kGetRaw = 1, kGetNoThrow = 2 };
    bool Get(const Value& obj, const Value& key, Value& out, int flags);
    bool GetSlot(const Value& obj, const Value& key, Value& out, int flags);
    void Set(const Value& obj, const Value& key, const Value& val, bool raw = false);
    void NewSlot(const Value& obj, const Value& key, const Value& val, bool isStatic, bool raw = false);
    Value DeleteSlot(const Value& obj, const Value& key, bool raw = false);
    bool ToString(const Value& v, Value& out);
    Value TypeOf(const Value& v);
    Value Clone(const Value& v);
    SQInteger Compare(const Value& a, const Value& b); // -1/0/1, raises when not comparable
    bool Equal(const Value& a, const Value& b);
    Value Arith(int op, const Value& a, const Value& b);
    Value Resume(const Value& gen);
    bool InstanceOf(const Value& inst, const Value& cls);
    Value CreateInstance(SQClass* cls);
    void NewMember(SQClass* cls, const Value& key, const Value& val, const Value& attrs, bool isStatic);
    Value MakeClosure(const Value& proto, SQCallFrame* frame, const Value* freeValues);
    Value NewString(std::string_view s) { return ss->Str(s); }
    bool GetViaMeta(const Value& obj, const Value& key, Value& out);
    bool GetDelegated(const Value& obj, const Value& key, Value& out);
    Value DefaultDelegate(const Value& obj);

    // the interpreter
    void Execute(SQInteger entryFrames);
    bool EnterFrame(const Value& fn, SQInteger argBase, SQInteger nargs, SQInteger target, bool boundary);
    void StoreResult(SQInteger target, const Value& v) {
        if (target >= 0)
            stack[target] = v;
        else
            retval = v;
    }
    void LeaveFrame(const Value& result);
    void CloseOuters(SQInteger fromIdx);
    SQOuter* FindOuter(SQInteger idx);
    void Unwind(SQInteger entryFrames);
    void CallErrorHandler();
    bool CaughtFurtherOut() const;
    bool Suspend();
};

// Engine-internal functions: sqV_ the VM, sqB_ the base library, sqP_ the compiler, sqC_ the
// collector, sqO_ the objects; sq_ names only the public API of squirrel.h.
std::string sqV_floattostring(SQFloat f);
const char* sqV_typename(SQObjectType t);
bool sqV_truthy(const SQObject& o);
// One step of a foreach over the container at slots[0]; false when the loop is done.
bool sqV_foreachstep(SQVM* v, Value* slots);
SQRESULT sqV_callnative(SQVM* v, SQNativeClosure* nc, SQInteger nargs, SQInteger stackbase, Value& result);
void sqB_registerbaselib(SQVM* v);
void sqB_initdelegates(SQSharedState* ss, SQVM* v);
