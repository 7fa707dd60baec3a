// The interpreter loop, call frames, outers, generators and native calls.
//
// Frames. A thread has one value stack (`stack`, `top`) and a vector of call frames. A frame's
// `base` is the stack index of its slot 0, which holds `this`; the parameters follow, then the
// locals, then the operands of the expression being evaluated. The compiler knows every slot's
// depth, so instructions address locals by slot number and the operand stack needs no bounds
// checks of its own; `EnterFrame` checks once per call that the callee's `stackSize` fits.
// A script-to-script call never recurses in C++: OP_CALL pushes a frame and the loop goes on in
// the callee. Only calls that must come back to C++ (from the API, a native function, a
// metamethod, a constructor, a generator's resume) start a nested `Execute`; their first frame
// is a `boundary`, and returning from it leaves that `Execute`.
//
// How values move. A call's callee sits just below `this` and the arguments; the result replaces
// the callee (the frame's `target`), or goes to `retval` when a boundary frame returns to C++.
// Frame state used in the loop (`ci`, `base`, `closure`, `literals`) is cached in locals and
// reloaded (RELOAD) whenever the frame vector may have changed. Captured locals are reached
// through `SQOuter`s: open ones point into the stack and are closed (the value copied into the
// outer) when their frame or block ends.
//
// Errors. `Raise`/`RaiseValue` set `lastError` and throw `SQThrow`; every error, from an
// instruction, a native function or a metamethod, travels as that one C++ exception. Where it is
// caught:
//   - `Execute`: the innermost `try` (a `traps` entry) owned by this invocation resumes at its
//     catch block; without one, the error handler reports it (once, `errorReported`) unless a
//     `try` further out will catch it, the frames are unwound and the exception leaves.
//   - `CallValue`, `sqV_callnative`, `Resume`, `SQVM::CallMeta`: restore their own bookkeeping
//     (native depth, frames, generator state) and rethrow.
//   - `SQVM::Call`, the API's `Guard` and `sq_wakeupvm` (`sqapi.cpp`): the boundary to C: the
//     error becomes SQ_ERROR, `lastError` kept for `sq_getlasterror`.
//   - `CallErrorHandler`: an error inside the handler itself is dropped.
//   - `SQVM::GetViaMeta`: a `_get` that throws null means "no such slot"; anything else rethrows.
// No other code catches, so a C++ frame between two of these sites needs no cleanup of its own.
#include <cmath>
#include <cstdio>

#include "sqopcodes.h"
#include "sqvm.h"

// ---------------------------------------------------------------------------------------------
// outers

SQOuter* SQVM::FindOuter(SQInteger idx) {
    SQOuter** link = &openOuters;
    while (*link && (*link)->idx > idx)
        link = &(*link)->nextOpen;
    if (*link && (*link)->idx == idx) return *link;
    SQOuter* o = NewObject<SQOuter>(ss);
    o->idx = idx;
    o->ptr = &stack[idx];
    o->nextOpen = *link;
    o->refs = 1; // the open list holds a reference
    *link = o;
    return o;
}

void SQVM::CloseOuters(SQInteger fromIdx) {
    while (openOuters && openOuters->idx >= fromIdx) {
        SQOuter* o = openOuters;
        openOuters = o->nextOpen;
        o->value = *o->ptr;
        o->ptr = &o->value;
        o->nextOpen = nullptr;
        sqO_release(o);
    }
}

Value SQVM::MakeClosure(const Value& protoValue, SQCallFrame* frame, const Value* freeValues) {
    SQFunctionProto* proto = protoValue.As<SQFunctionProto>();
    SQClosure* c = NewObject<SQClosure>(ss);
    Value holder(OT_CLOSURE, c);
    c->proto = protoValue;
    c->outers.reserve(proto->outers.size());
    for (auto& info : proto->outers) {
        if (info.fromStack) {
            c->outers.push_back(Value(OT_OUTER, FindOuter(frame->base + info.index)));
        } else if (info.index < 0) {
            SQOuter* o = NewObject<SQOuter>(ss);
            o->value = freeValues[-1 - info.index];
            o->ptr = &o->value;
            o->idx = -1;
            c->outers.push_back(Value(OT_OUTER, o));
        } else {
            c->outers.push_back(frame->closure->outers[size_t(info.index)]);
        }
    }
    c->root = frame->closure ? frame->closure->root : roottable;
    return holder;
}

// ---------------------------------------------------------------------------------------------
// frames

static void CheckParamCount(SQVM* v, SQInteger nargs, SQInteger required) {
    v->Raise("wrong number of parameters (" + std::to_string(nargs) + " passed, " + std::to_string(required) +
             " required)");
}

// Sets up a script frame for closure `fn` whose `this` and arguments sit at stack[argBase...].
bool SQVM::EnterFrame(const Value& fn, SQInteger argBase, SQInteger nargs, SQInteger target, bool boundary) {
    SQClosure* c = fn.As<SQClosure>();
    SQFunctionProto* p = c->Proto();
    SQInteger nparams = p->nparams;
    if (c->env._type == OT_WEAKREF) stack[argBase] = Value(c->env.As<SQWeakRef>()->target);
    if (nargs < nparams) {
        SQInteger firstDefault = nparams - p->ndefaults;
        if (nargs < firstDefault) {
            if (p->varParams) {
                Raise("wrong number of parameters (" + std::to_string(nargs) + " passed, at least " +
                      std::to_string(nparams) + " required)");
            }
            CheckParamCount(this, nargs, nparams);
        }
        for (SQInteger i = nargs; i < nparams; ++i)
            // a closure read back from bytecode has no default values: those parameters are null
            stack[argBase + i] = size_t(i - firstDefault) < c->defaults.size()
                                     ? c->defaults[size_t(i - firstDefault)]
                                     : Value();
        top = argBase + nparams;
    } else if (nargs > nparams && !p->varParams) {
        CheckParamCount(this, nargs, nparams);
    }
    if (argBase + p->stackSize + 8 >= kStackSize) Raise("stack overflow");
    if (p->varParams) {
        SQArray* va = NewObject<SQArray>(ss);
        Value holder(OT_ARRAY, va);
        for (SQInteger i = nparams; i < nargs; ++i)
            va->items.push_back(std::move(stack[argBase + i]));
        top = argBase + nparams;
        stack[top++] = holder;
    } else {
        top = argBase + nparams;
    }
    if (p->generator) {
        SQGenerator* g = NewObject<SQGenerator>(ss);
        Value gen(OT_GENERATOR, g);
        g->closure = fn;
        for (SQInteger i = argBase; i < top; ++i)
            g->stack.push_back(std::move(stack[i]));
        g->pc = 0;
        for (SQInteger i = argBase; i < top; ++i)
            stack[i].Null();
        top = argBase;
        StoreResult(target, gen);
        return false;
    }
    frames.push_back(
        {c, nullptr, p->code.data(), argBase, target, nullptr, SQInteger(traps.size()), boundary});
    return true;
}

void SQVM::LeaveFrame(const Value& result) {
    SQCallFrame f = frames.back();
    CloseOuters(f.base);
    while (SQInteger(traps.size()) > f.trapBase)
        traps.pop_back();
    frames.pop_back();
    Value keep = result;
    for (SQInteger i = f.base; i < top; ++i)
        stack[i].Null();
    top = f.base;
    if (f.generator) f.generator->state = GenState::Dead;
    StoreResult(f.target, keep);
    if (f.target >= 0) {
        for (SQInteger i = f.target + 1; i < top; ++i)
            stack[i].Null();
        top = f.target + 1;
    }
}

// ---------------------------------------------------------------------------------------------
// native calls

static bool TypeMatches(SQInteger mask, SQObjectType t) {
    return (mask & _RAW_TYPE(t)) != 0;
}

static std::string MaskNames(SQInteger mask) {
    std::string s;
    static const SQObjectType types[] = {
        OT_NULL,   OT_INTEGER,   OT_FLOAT,   OT_BOOL,          OT_STRING,    OT_TABLE,
        OT_ARRAY,  OT_USERDATA,  OT_CLOSURE, OT_NATIVECLOSURE, OT_GENERATOR, OT_USERPOINTER,
        OT_THREAD, OT_FUNCPROTO, OT_CLASS,   OT_INSTANCE,      OT_WEAKREF,   OT_OUTER};
    for (SQObjectType t : types) {
        if (!(mask & _RAW_TYPE(t))) continue;
        if (!s.empty()) s += "|";
        s += sqV_typename(t);
    }
    return s;
}

SQRESULT sqV_callnative(SQVM* v, SQNativeClosure* nc, SQInteger nargs, SQInteger argBase, Value& result) {
    if (nc->nparamscheck > 0 && nargs != nc->nparamscheck) v->Raise("wrong number of parameters");
    if (nc->nparamscheck < 0 && nargs < -nc->nparamscheck) v->Raise("wrong number of parameters");
    for (size_t i = 0; i < nc->typecheck.size() && SQInteger(i) < nargs; ++i) {
        SQInteger mask = nc->typecheck[i];
        if (mask == -1) continue;
        const Value& arg = v->stack[argBase + SQInteger(i)];
        if (!TypeMatches(mask, arg._type)) {
            v->Raise("parameter " + std::to_string(i) + " has an invalid type '" + sqV_typename(arg._type) +
                     "' ; expected: '" + MaskNames(mask) + "'");
        }
    }
    if (v->nativeDepth >= SQVM::kMaxNativeDepth) v->Raise("Native stack overflow");
    if (nc->env._type == OT_WEAKREF) v->stack[argBase] = Value(nc->env.As<SQWeakRef>()->target);
    v->top = argBase + nargs;
    v->frames.push_back({nullptr, nc, nullptr, argBase, -1, nullptr, SQInteger(v->traps.size()), false});
    for (auto& o : nc->outers)
        v->Push(o);
    v->nativeDepth++;
    SQInteger ret;
    try {
        ret = nc->fn(v);
    } catch (...) {
        v->nativeDepth--;
        v->frames.pop_back();
        throw;
    }
    v->nativeDepth--;
    if (v->suspendRequest && ret == SQ_SUSPEND_FLAG) {
        v->frames.pop_back();
        for (SQInteger i = argBase; i < v->top; ++i)
            v->stack[i].Null();
        v->top = argBase;
        return SQ_SUSPEND_FLAG;
    }
    if (ret < 0) {
        v->frames.pop_back();
        for (SQInteger i = argBase; i < v->top; ++i)
            v->stack[i].Null();
        v->top = argBase;
        throw SQThrow{};
    }
    result = ret > 0 ? v->Top() : Value();
    v->frames.pop_back();
    for (SQInteger i = argBase; i < v->top; ++i)
        v->stack[i].Null();
    v->top = argBase;
    return SQ_OK;
}

// Calls fn with `this` and arguments at stack[argBase .. argBase+nargs); leaves top at argBase.
// Script errors propagate as SQThrow.
void SQVM::CallValue(const Value& fnIn, SQInteger nargs, SQInteger argBase, Value& result) {
    Value fn = fnIn;
    switch (fn._type) {
    case OT_CLOSURE: {
        if (nativeDepth >= kMaxNativeDepth) Raise("Native stack overflow");
        size_t entry = frames.size();
        if (!EnterFrame(fn, argBase, nargs, -1, true)) {
            result = std::move(retval);
            return;
        }
        nativeDepth++;
        try {
            Execute(SQInteger(entry));
        } catch (...) {
            nativeDepth--;
            for (SQInteger i = argBase; i < top; ++i)
                stack[i].Null();
            top = argBase;
            throw;
        }
        nativeDepth--;
        if (suspendRequest) return; // the frames stay for sq_wakeupvm
        result = std::move(retval);
        for (SQInteger i = argBase; i < top; ++i)
            stack[i].Null();
        top = argBase;
        return;
    }
    case OT_NATIVECLOSURE:
        sqV_callnative(this, fn.As<SQNativeClosure>(), nargs, argBase, result);
        return;
    case OT_CLASS: {
        Value inst = CreateInstance(fn.As<SQClass>());
        Value ctor = fn.As<SQClass>()->constructor;
        stack[argBase] = inst;
        if (!ctor.IsNull()) {
            Value ignored;
            CallValue(ctor, nargs, argBase, ignored);
        } else {
            for (SQInteger i = argBase; i < top; ++i)
                stack[i].Null();
            top = argBase;
        }
        result = inst;
        return;
    }
    case OT_TABLE:
    case OT_INSTANCE:
    case OT_USERDATA: {
        Value callMeta;
        if (GetMeta(fn, MT_CALL, callMeta)) {
            // _call receives the original `this` as its first argument
            Push(Value());
            for (SQInteger i = top - 1; i > argBase; --i)
                stack[i] = std::move(stack[i - 1]);
            stack[argBase] = fn;
            CallValue(callMeta, nargs + 1, argBase, result);
            return;
        }
        break;
    }
    default:
        break;
    }
    for (SQInteger i = argBase; i < top; ++i)
        stack[i].Null();
    top = argBase;
    Raise("attempt to call '" + std::string(sqV_typename(fn._type)) + "'");
}

bool SQVM::Call(const Value& fn, SQInteger nargs, SQInteger argBase, Value& result, bool raiseerror) {
    size_t frameCount = frames.size();
    SQInteger savedDepth = nativeDepth;
    bool savedRaise = raiseErrors;
    raiseErrors = raiseerror;
    try {
        CallValue(fn, nargs, argBase, result);
        raiseErrors = savedRaise;
        return true;
    } catch (const SQThrow&) {
        raiseErrors = savedRaise;
        nativeDepth = savedDepth;
        if (raiseerror && !errorReported) CallErrorHandler();
        while (frames.size() > frameCount)
            frames.pop_back();
        for (SQInteger i = argBase; i < top; ++i)
            stack[i].Null();
        if (top > argBase) top = argBase;
        return false;
    }
}

void SQVM::CallErrorHandler() {
    errorReported = true;
    if (errorHandler._type != OT_CLOSURE && errorHandler._type != OT_NATIVECLOSURE) return;
    Value handler = errorHandler;
    Value err = lastError;
    SQInteger argBase = top;
    Push(roottable);
    Push(err);
    Value ignored;
    try {
        CallValue(handler, 2, argBase, ignored);
    } catch (const SQThrow&) {
    }
    lastError = err;
}

// ---------------------------------------------------------------------------------------------
// generators

Value SQVM::Resume(const Value& genValue) {
    if (genValue._type != OT_GENERATOR) {
        Raise(std::string("trying to resume a '") + sqV_typename(genValue._type) +
              "',only genenerator can be resumed");
    }
    SQGenerator* g = genValue.As<SQGenerator>();
    if (g->state == GenState::Dead) Raise("resuming dead generator");
    if (g->state == GenState::Running) Raise("resuming active generator");
    if (nativeDepth >= kMaxNativeDepth) Raise("Native stack overflow");
    SQClosure* c = g->closure.As<SQClosure>();
    SQInteger argBase = top;
    if (argBase + c->Proto()->stackSize + SQInteger(g->stack.size()) + 8 >= kStackSize)
        Raise("stack overflow");
    for (auto& v : g->stack)
        stack[top++] = std::move(v);
    g->stack.clear();
    size_t entry = frames.size();
    frames.push_back(
        {c, nullptr, c->Proto()->code.data() + g->pc, argBase, -1, g, SQInteger(traps.size()), true});
    for (auto& t : g->traps)
        traps.push_back({c->Proto()->code.data() + t.pc, argBase + t.stackTop, entry});
    g->traps.clear();
    if (g->pc != 0) Push(Value());
    g->state = GenState::Running;
    nativeDepth++;
    try {
        Execute(SQInteger(entry));
    } catch (...) {
        nativeDepth--;
        g->state = GenState::Dead;
        throw;
    }
    nativeDepth--;
    return std::move(retval);
}

// ---------------------------------------------------------------------------------------------
// the loop

static bool Truthy(const Value& v) {
    switch (v._type) {
    case OT_NULL:
        return false;
    case OT_BOOL:
    case OT_INTEGER:
        return v._unVal.nInteger != 0;
    case OT_FLOAT:
        return v.Float() != 0;
    default:
        return true;
    }
}

bool sqV_truthy(const SQObject& o) {
    return Truthy(static_cast<const Value&>(o));
}

static SQInteger BitOp(SQVM* v, int op, const Value& a, const Value& b) {
    if (a._type != OT_INTEGER || b._type != OT_INTEGER) {
        v->Raise(std::string("bitwise op between '") + sqV_typename(a._type) + "' and '" +
                 sqV_typename(b._type) + "'");
    }
    SQInteger x = a.Int(), y = b.Int();
    switch (op) {
    case OP_BITAND:
        return x & y;
    case OP_BITOR:
        return x | y;
    case OP_BITXOR:
        return x ^ y;
    case OP_SHL:
        return SQInteger(SQUnsignedInteger(x) << (y & 63));
    case OP_SHR:
        return x >> (y & 63);
    default:
        return SQInteger(SQUnsignedInteger(x) >> (y & 63));
    }
}

// One step of a foreach over the container at slots[0]; false when the loop is done.
bool sqV_foreachstep(SQVM* v, Value* slots) {
    Value& container = slots[0];
    Value& iter = slots[3];
    switch (container._type) {
    case OT_ARRAY: {
        SQInteger i = iter.IsNull() ? 0 : iter.Int();
        auto& items = container.As<SQArray>()->items;
        if (i >= SQInteger(items.size())) return false;
        slots[1] = Value(i);
        slots[2] = items[size_t(i)];
        iter = Value(i + 1);
        return true;
    }
    case OT_TABLE: {
        SQTable* t = container.As<SQTable>();
        int32_t i = t->NextIndex(iter.IsNull() ? 0 : int32_t(iter.Int()));
        if (i < 0) return false;
        slots[1] = t->nodes[size_t(i)].key;
        slots[2] = t->nodes[size_t(i)].val;
        iter = Value(SQInteger(i + 1));
        return true;
    }
    case OT_STRING: {
        SQInteger i = iter.IsNull() ? 0 : iter.Int();
        SQString* s = container.As<SQString>();
        if (i >= s->len) return false;
        slots[1] = Value(i);
        slots[2] = Value(SQInteger((unsigned char)s->data[i]));
        iter = Value(i + 1);
        return true;
    }
    case OT_GENERATOR: {
        SQGenerator* g = container.As<SQGenerator>();
        if (g->state == GenState::Dead) return false;
        SQInteger i = iter.IsNull() ? 0 : iter.Int();
        Value val = v->Resume(container);
        if (g->state == GenState::Dead) return false;
        slots[1] = Value(i);
        slots[2] = val;
        iter = Value(i + 1);
        return true;
    }
    case OT_CLASS: {
        SQClass* c = container.As<SQClass>();
        int32_t i = c->members->NextIndex(iter.IsNull() ? 0 : int32_t(iter.Int()));
        if (i < 0) return false;
        slots[1] = c->members->nodes[size_t(i)].key;
        v->Get(container, slots[1], slots[2], SQVM::kGetRaw);
        iter = Value(SQInteger(i + 1));
        return true;
    }
    default: {
        Value next;
        v->Push(iter);
        if (!v->CallMeta(container, MT_NEXTI, 2, next)) v->Raise("_nexti failed");
        if (next.IsNull()) return false;
        iter = next;
        slots[1] = next;
        v->Get(container, next, slots[2], SQVM::kGetNormal);
        return true;
    }
    }
}

bool SQVM::Suspend() {
    if (this == ss->root) Raise("cannot suspend the main vm");
    suspendRequest = true;
    return true;
}

void SQVM::Unwind(SQInteger entryFrames) {
    while (SQInteger(frames.size()) > entryFrames) {
        SQCallFrame& f = frames.back();
        CloseOuters(f.base);
        if (f.generator) f.generator->state = GenState::Dead;
        while (SQInteger(traps.size()) > f.trapBase)
            traps.pop_back();
        for (SQInteger i = f.base; i < top; ++i)
            stack[i].Null();
        top = f.base;
        frames.pop_back();
    }
}

void SQVM::Execute(SQInteger entryFrames) {
    for (;;) {
        try {
            // Frame state lives in locals for speed; RELOAD refreshes them after frames change.
            SQCallFrame* ci;
            Value* base;
            SQClosure* closure;
            const Value* literals;
#define RELOAD()                                                                                             \
    do {                                                                                                     \
        ci = &frames.back();                                                                                 \
        base = stack + ci->base;                                                                             \
        closure = ci->closure;                                                                               \
        literals = closure->Proto()->literals.data();                                                        \
    } while (0)
            RELOAD();
            if (pendingThrow) {
                pendingThrow = false;
                errorReported = false;
                throw SQThrow{};
            }
            for (;;) {
                const SQInstruction& i = *ci->ip++;
                if (instructionHooks) [[unlikely]] {
                    RunInstructionHooks(); // may run script code and move the frames
                    RELOAD();
                }
                switch (SQOpcode(i.op)) {
                case OP_PUSHNULL:
                    stack[top++]._type = OT_NULL, stack[top - 1]._unVal.raw = 0;
                    break;
                case OP_PUSHBOOL:
                    stack[top++] = Value(i.a != 0);
                    break;
                case OP_PUSHINT:
                    stack[top++] = Value(SQInteger(i.arg));
                    break;
                case OP_PUSHLIT:
                    stack[top++] = literals[i.arg];
                    break;
                case OP_LOAD:
                    stack[top++] = base[i.arg];
                    break;
                case OP_STORE:
                    base[i.arg] = stack[top - 1];
                    break;
                case OP_LOADOUTER:
                    stack[top++] = *closure->outers[size_t(i.arg)].As<SQOuter>()->ptr;
                    break;
                case OP_STOREOUTER:
                    *closure->outers[size_t(i.arg)].As<SQOuter>()->ptr = stack[top - 1];
                    break;
                case OP_LOADROOT:
                    stack[top++] = closure->root;
                    break;
                case OP_LOADBASE: {
                    Value b;
                    if (closure->base._type == OT_CLASS) b = closure->base.As<SQClass>()->baseClass;
                    stack[top++] = b;
                    break;
                }
                case OP_GETENV: {
                    Value out;
                    const Value& key = literals[i.arg];
                    if (!Get(base[0], key, out, kGetNoThrow) && !Get(closure->root, key, out, kGetNoThrow)) {
                        Raise("the index '" + Printable(key) + "' does not exist");
                    }
                    stack[top++] = std::move(out);
                    break;
                }
                case OP_SETENV: {
                    Value out;
                    const Value& key = literals[i.arg];
                    if (Get(base[0], key, out, kGetNoThrow | kGetRaw)) {
                        Set(base[0], key, stack[top - 1]);
                    } else if (Get(closure->root, key, out, kGetRaw | kGetNoThrow)) {
                        Set(closure->root, key, stack[top - 1]);
                    } else {
                        Set(base[0], key, stack[top - 1]);
                    }
                    break;
                }
                case OP_GET: {
                    Value& obj = stack[top - 2];
                    Value& key = stack[top - 1];
                    if (obj._type == OT_ARRAY && key._type == OT_INTEGER) {
                        auto& items = obj.As<SQArray>()->items;
                        SQInteger k = key.Int();
                        if (k >= 0 && k < SQInteger(items.size()) && items[size_t(k)]._type != OT_WEAKREF) {
                            Value v = items[size_t(k)];
                            key.Null();
                            --top;
                            stack[top - 1] = std::move(v);
                            break;
                        }
                    }
                    Value out;
                    Get(obj, key, out, kGetNormal);
                    key.Null();
                    --top;
                    stack[top - 1] = std::move(out);
                    break;
                }
                case OP_GETK: {
                    Value& obj = stack[top - 1];
                    Value out;
                    if (obj._type == OT_TABLE && obj.As<SQTable>()->Get(literals[i.arg], out) &&
                        out._type != OT_WEAKREF) {
                        obj = std::move(out);
                        break;
                    }
                    Get(obj, literals[i.arg], out, kGetNormal);
                    stack[top - 1] = std::move(out);
                    break;
                }
                case OP_GETMETHOD: {
                    Value out;
                    Get(stack[top - 1], literals[i.arg], out, kGetNormal);
                    stack[top] = std::move(stack[top - 1]);
                    stack[top - 1] = std::move(out);
                    ++top;
                    break;
                }
                case OP_GETMETHODK: {
                    Value out;
                    Get(stack[top - 2], stack[top - 1], out, kGetNormal);
                    stack[top - 1] = std::move(stack[top - 2]);
                    stack[top - 2] = std::move(out);
                    break;
                }
                case OP_SET: {
                    Value& obj = stack[top - 3];
                    Value& key = stack[top - 2];
                    if (obj._type == OT_ARRAY && key._type == OT_INTEGER) {
                        auto& items = obj.As<SQArray>()->items;
                        SQInteger k = key.Int();
                        if (k >= 0 && k < SQInteger(items.size())) {
                            items[size_t(k)] = stack[top - 1];
                            obj = std::move(stack[top - 1]);
                            key.Null();
                            top -= 2;
                            break;
                        }
                    }
                    Set(obj, key, stack[top - 1]);
                    obj = std::move(stack[top - 1]);
                    key.Null();
                    top -= 2;
                    break;
                }
                case OP_NEWSLOT:
                case OP_NEWSLOTKEEP: {
                    NewSlot(stack[top - 3], stack[top - 2], stack[top - 1], false);
                    if (i.op == OP_NEWSLOT) stack[top - 3] = std::move(stack[top - 1]);
                    Pop(2);
                    break;
                }
                case OP_DELETE: {
                    Value old = DeleteSlot(stack[top - 2], stack[top - 1]);
                    Pop(1);
                    stack[top - 1] = std::move(old);
                    break;
                }
                case OP_ADD:
                case OP_SUB:
                case OP_MUL: {
                    Value& a = stack[top - 2];
                    Value& b = stack[top - 1];
                    if (a._type == OT_INTEGER && b._type == OT_INTEGER) {
                        SQUnsignedInteger x = SQUnsignedInteger(a.Int()), y = SQUnsignedInteger(b.Int());
                        a._unVal.nInteger = SQInteger(i.op == OP_ADD   ? x + y
                                                      : i.op == OP_SUB ? x - y
                                                                       : x * y);
                        --top;
                        break;
                    }
                    if (a._type == OT_FLOAT && b._type == OT_FLOAT) {
                        SQFloat x = a.Float(), y = b.Float();
                        a._unVal.fFloat = i.op == OP_ADD ? x + y : i.op == OP_SUB ? x - y : x * y;
                        --top;
                        break;
                    }
                    Value r = Arith(i.op, a, b);
                    Pop(1);
                    stack[top - 1] = std::move(r);
                    break;
                }
                case OP_DIV:
                case OP_MOD: {
                    Value r = Arith(i.op, stack[top - 2], stack[top - 1]);
                    Pop(1);
                    stack[top - 1] = std::move(r);
                    break;
                }
                case OP_BITAND:
                case OP_BITOR:
                case OP_BITXOR:
                case OP_SHL:
                case OP_SHR:
                case OP_USHR: {
                    SQInteger r = BitOp(this, i.op, stack[top - 2], stack[top - 1]);
                    Pop(2);
                    stack[top++] = Value(r);
                    break;
                }
                case OP_EQ:
                case OP_NE: {
                    bool eq = Equal(stack[top - 2], stack[top - 1]);
                    Pop(2);
                    stack[top++] = Value(i.op == OP_EQ ? eq : !eq);
                    break;
                }
                case OP_LT:
                case OP_LE:
                case OP_GT:
                case OP_GE: {
                    Value& a = stack[top - 2];
                    Value& b = stack[top - 1];
                    SQInteger c;
                    if (a._type == OT_INTEGER && b._type == OT_INTEGER) {
                        c = a.Int() < b.Int() ? -1 : a.Int() > b.Int() ? 1 : 0;
                    } else {
                        c = Compare(a, b);
                    }
                    bool r = i.op == OP_LT ? c < 0 : i.op == OP_LE ? c <= 0 : i.op == OP_GT ? c > 0 : c >= 0;
                    Pop(2);
                    stack[top++] = Value(r);
                    break;
                }
                case OP_CMP3: {
                    SQInteger c = Compare(stack[top - 2], stack[top - 1]);
                    Pop(2);
                    stack[top++] = Value(c);
                    break;
                }
                case OP_IN: {
                    Value out;
                    bool r = Get(stack[top - 1], stack[top - 2], out, kGetNoThrow | kGetRaw);
                    Pop(2);
                    stack[top++] = Value(r);
                    break;
                }
                case OP_INSTANCEOF: {
                    if (stack[top - 1]._type != OT_CLASS)
                        Raise("cannot apply instanceof between a " +
                              std::string(sqV_typename(stack[top - 2]._type)) + " and a " +
                              sqV_typename(stack[top - 1]._type));
                    bool r = InstanceOf(stack[top - 2], stack[top - 1]);
                    Pop(2);
                    stack[top++] = Value(r);
                    break;
                }
                case OP_NEG: {
                    Value& a = stack[top - 1];
                    if (a._type == OT_INTEGER)
                        a._unVal.nInteger = SQInteger(0 - SQUnsignedInteger(a.Int()));
                    else if (a._type == OT_FLOAT)
                        a._unVal.fFloat = -a.Float();
                    else {
                        Value r;
                        if (CallMeta(a, MT_UNM, 1, r)) {
                            stack[top - 1] = r;
                            break;
                        }
                        Raise(std::string("attempt to negate a ") + sqV_typename(a._type));
                    }
                    break;
                }
                case OP_NOT:
                    stack[top - 1] = Value(!Truthy(stack[top - 1]));
                    break;
                case OP_BWNOT:
                    if (stack[top - 1]._type != OT_INTEGER)
                        Raise(std::string("attempt to perform a bitwise op on a ") +
                              sqV_typename(stack[top - 1]._type));
                    stack[top - 1]._unVal.nInteger = ~stack[top - 1].Int();
                    break;
                case OP_TYPEOF:
                    stack[top - 1] = TypeOf(stack[top - 1]);
                    break;
                case OP_CLONE:
                    stack[top - 1] = Clone(stack[top - 1]);
                    break;
                case OP_RESUME: {
                    Value g = stack[top - 1];
                    stack[top - 1] = Resume(g);
                    break;
                }
                case OP_INCL:
                case OP_INCOUTER: {
                    Value& slot =
                        i.op == OP_INCL ? base[i.arg] : *closure->outers[size_t(i.arg)].As<SQOuter>()->ptr;
                    Value old = slot;
                    slot = Arith(i.b ? OP_ADD : OP_SUB, old, Value(SQInteger(1)));
                    stack[top++] = i.a ? old : slot;
                    break;
                }
                case OP_INC: {
                    Value old;
                    Get(stack[top - 2], stack[top - 1], old, kGetNormal);
                    Value now = Arith(i.b ? OP_ADD : OP_SUB, old, Value(SQInteger(1)));
                    Set(stack[top - 2], stack[top - 1], now);
                    Pop(2);
                    stack[top++] = i.a ? old : now;
                    break;
                }
                case OP_JMP:
                    ci->ip += i.arg;
                    break;
                case OP_JZ: {
                    bool t = Truthy(stack[top - 1]);
                    Pop(1);
                    if (!t) ci->ip += i.arg;
                    break;
                }
                case OP_JNZ: {
                    bool t = Truthy(stack[top - 1]);
                    Pop(1);
                    if (t) ci->ip += i.arg;
                    break;
                }
                case OP_ANDJ:
                    if (!Truthy(stack[top - 1]))
                        ci->ip += i.arg;
                    else
                        Pop(1);
                    break;
                case OP_ORJ:
                    if (Truthy(stack[top - 1]))
                        ci->ip += i.arg;
                    else
                        Pop(1);
                    break;
                case OP_POP:
                    stack[--top].Null();
                    break;
                case OP_POPN:
                    Pop(i.arg);
                    break;
                case OP_DUP:
                    stack[top] = stack[top - 1], ++top;
                    break;
                case OP_DUP2:
                    stack[top] = stack[top - 2];
                    stack[top + 1] = stack[top - 1];
                    top += 2;
                    break;
                case OP_SWAP:
                    std::swap(stack[top - 1], stack[top - 2]);
                    break;
                case OP_CALL:
                case OP_TAILCALL: {
                    SQInteger nargs = i.arg;
                    SQInteger argBase = top - nargs;
                    Value& fn = stack[argBase - 1];
                    if (fn._type == OT_CLOSURE) {
                        if (i.op == OP_TAILCALL && !ci->generator) {
                            // reuse the caller's slots: move callee and arguments down
                            SQInteger dst = ci->base - 1;
                            CloseOuters(ci->base);
                            for (SQInteger k = 0; k <= nargs; ++k)
                                stack[dst + k] = std::move(stack[argBase - 1 + k]);
                            for (SQInteger k = dst + nargs + 1; k < top; ++k)
                                stack[k].Null();
                            top = dst + nargs + 1;
                            SQInteger target = ci->target;
                            bool boundary = ci->boundary;
                            frames.pop_back();
                            Value callee = stack[dst];
                            if (EnterFrame(callee, dst + 1, nargs, target, boundary)) {
                                RELOAD();
                                break;
                            }
                            if (SQInteger(frames.size()) <= entryFrames) return;
                            RELOAD();
                            break;
                        }
                        if (EnterFrame(fn, argBase, nargs, argBase - 1, false)) RELOAD();
                        break;
                    }
                    Value result;
                    if (fn._type == OT_NATIVECLOSURE) {
                        SQRESULT r = sqV_callnative(this, fn.As<SQNativeClosure>(), nargs, argBase, result);
                        if (r == SQ_SUSPEND_FLAG) {
                            // the thread suspends: the native's result slot receives the wakeup value
                            top = argBase;
                            stack[argBase - 1].Null();
                            return;
                        }
                    } else {
                        Value callee = fn;
                        CallValue(callee, nargs, argBase, result);
                    }
                    top = argBase;
                    stack[argBase - 1] = std::move(result);
                    break;
                }
                case OP_CLOSURE: {
                    Value cl = MakeClosure(closure->Proto()->functions[size_t(i.arg)], ci, stack + top - i.a);
                    SQClosure* c = cl.As<SQClosure>();
                    for (SQInteger k = i.b; k > 0; --k)
                        c->defaults.push_back(stack[top - i.a - k]);
                    Pop(i.a + i.b);
                    stack[top++] = std::move(cl);
                    break;
                }
                case OP_NEWTABLE:
                    stack[top++] = Value(OT_TABLE, NewObject<SQTable>(ss));
                    break;
                case OP_NEWARRAY:
                    stack[top++] = Value(OT_ARRAY, NewObject<SQArray>(ss));
                    break;
                case OP_APPEND:
                    stack[top - 2].As<SQArray>()->items.push_back(std::move(stack[top - 1]));
                    --top;
                    break;
                case OP_NEWCLASS: {
                    SQClass* c = NewObject<SQClass>(ss);
                    Value cls(OT_CLASS, c);
                    SQInteger n = i.a + i.b;
                    Value baseClass = i.a ? stack[top - n] : Value();
                    Value attrs = i.b ? stack[top - 1] : Value();
                    if (i.a) {
                        if (baseClass._type != OT_CLASS)
                            Raise("trying to inherit from a " + std::string(sqV_typename(baseClass._type)));
                        c->InheritFrom(baseClass);
                    }
                    c->attrs = attrs;
                    Pop(n);
                    stack[top++] = cls;
                    if (i.a) {
                        Value ignored;
                        SQInteger argBase = top;
                        Value meta = baseClass.As<SQClass>()->metamethods[MT_INHERITED];
                        if (!meta.IsNull()) {
                            Push(cls);
                            Push(attrs);
                            CallValue(meta, 2, argBase, ignored);
                        }
                    }
                    break;
                }
                case OP_NEWMEMBER: {
                    Value cls = stack[top - 4];
                    Value key = i.b ? stack[top - 2] : stack[top - 3];
                    Value val = i.b ? stack[top - 1] : stack[top - 2];
                    Value attrs = i.b ? stack[top - 3] : stack[top - 1];
                    Pop(3);
                    Value meta = cls.As<SQClass>()->metamethods[MT_NEWMEMBER];
                    if (!meta.IsNull()) {
                        Value ignored;
                        SQInteger argBase = top;
                        Push(cls);
                        Push(key);
                        Push(val);
                        Push(attrs);
                        Push(Value(i.a != 0));
                        CallValue(meta, 5, argBase, ignored);
                    } else {
                        NewMember(cls.As<SQClass>(), key, val, attrs, i.a != 0);
                    }
                    break;
                }
                case OP_RETURN:
                case OP_RETURNNULL: {
                    Value result = i.op == OP_RETURN ? std::move(stack[top - 1]) : Value();
                    bool boundary = ci->boundary;
                    LeaveFrame(result);
                    if (boundary || SQInteger(frames.size()) <= entryFrames) return;
                    RELOAD();
                    break;
                }
                case OP_YIELD: {
                    SQGenerator* g = ci->generator;
                    if (!g) Raise("yield outside a generator");
                    Value result = std::move(stack[top - 1]);
                    --top;
                    g->stack.clear();
                    for (SQInteger k = ci->base; k < top; ++k)
                        g->stack.push_back(std::move(stack[k]));
                    g->pc = int32_t(ci->ip - closure->Proto()->code.data());
                    g->traps.clear();
                    while (SQInteger(traps.size()) > ci->trapBase) {
                        g->traps.insert(g->traps.begin(),
                                        {int32_t(traps.back().catchIp - closure->Proto()->code.data()),
                                         int32_t(traps.back().stackTop - ci->base)});
                        traps.pop_back();
                    }
                    CloseOuters(ci->base);
                    top = ci->base;
                    g->state = GenState::Suspended;
                    ci->generator = nullptr;
                    LeaveFrame(result);
                    return;
                }
                case OP_THROW: {
                    Value v = stack[top - 1];
                    RaiseValue(v);
                }
                case OP_TRAP:
                    traps.push_back({ci->ip + i.arg, top, frames.size() - 1});
                    break;
                case OP_POPTRAP:
                    traps.pop_back();
                    break;
                case OP_CLOSE:
                    CloseOuters(ci->base + i.arg);
                    break;
                case OP_FOREACHPREP: {
                    Value& c = base[i.arg];
                    switch (c._type) {
                    case OT_ARRAY:
                    case OT_TABLE:
                    case OT_STRING:
                    case OT_GENERATOR:
                    case OT_CLASS:
                        break;
                    case OT_INSTANCE:
                        break;
                    case OT_USERDATA: {
                        Value fn;
                        if (GetMeta(c, MT_NEXTI, fn)) break;
                        [[fallthrough]];
                    }
                    default:
                        Raise(std::string("cannot iterate ") + sqV_typename(c._type));
                    }
                    break;
                }
                case OP_FOREACH:
                    if (!sqV_foreachstep(this, base + i.b)) ci->ip += i.arg;
                    break;
                case OP_VARGC: {
                    SQInteger slot = closure->Proto()->nparams;
                    stack[top++] = Value(SQInteger(base[slot].As<SQArray>()->items.size()));
                    break;
                }
                case OP_DELEGATE: {
                    Value& t = stack[top - 1];
                    if (t._type != OT_TABLE) Raise("delegate target must be a table");
                    if (stack[top - 2]._type != OT_TABLE && !stack[top - 2].IsNull())
                        Raise("delegate must be a table");
                    t.As<SQTable>()->delegate = stack[top - 2];
                    stack[top - 2] = std::move(t);
                    Pop(1);
                    break;
                }
                case OP_LINE:
                    break;
                case OP_COUNT:
                    break;
                }
            }
#undef RELOAD
        } catch (const SQThrow&) {
            // find a try block in the frames this invocation owns
            if (!traps.empty() && SQInteger(traps.back().frame) >= entryFrames) {
                if (ss->notifyAll && !errorReported) CallErrorHandler();
                SQTrap t = traps.back();
                traps.pop_back();
                while (frames.size() > t.frame + 1) {
                    SQCallFrame& f = frames.back();
                    CloseOuters(f.base);
                    if (f.generator) f.generator->state = GenState::Dead;
                    frames.pop_back();
                }
                CloseOuters(t.stackTop);
                for (SQInteger k = t.stackTop; k < top; ++k)
                    stack[k].Null();
                top = t.stackTop;
                stack[top++] = lastError;
                frames.back().ip = t.catchIp;
                errorReported = false;
                continue;
            }
            // like upstream, the report comes from the innermost execution without a try block
            // generators run inline in upstream: a try block anywhere below catches silently
            bool inlineRun = frames.size() > size_t(entryFrames) && frames[size_t(entryFrames)].generator;
            if (raiseErrors && !errorReported && (!inlineRun || traps.empty())) CallErrorHandler();
            Unwind(entryFrames);
            throw;
        }
    }
}
