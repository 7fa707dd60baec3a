// The VM object: hooks, errors, and the object protocol (get/set/new slot, arithmetic, comparison,
// conversion) with metamethods and default delegates. The interpreter loop is in sqexec.cpp.
#include "sqvm.h"

#include <sys/mman.h>

#include <new>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "sqopcodes.h"

// ---------------------------------------------------------------------------------------------
// construction

SQVM::SQVM(SQSharedState* s) : ss(s) {
    SQObjectBase::ss = s;
    // reserved, not committed: pages are only touched as deep as the script's calls go
    void* mem = mmap(nullptr, size_t(kStackSize) * sizeof(Value), PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mem == MAP_FAILED) throw std::bad_alloc();
    stack = static_cast<Value*>(mem);
    for (SQInteger i = 0; i < 64; ++i)
        stack[i]._type = OT_NULL;
}

SQVM::~SQVM() {
    Clear();
    munmap(stack, size_t(kStackSize) * sizeof(Value));
}

void SQVM::Clear() {
    CloseOuters(0);
    retval.Null();
    for (SQInteger i = 0; i < top; ++i)
        stack[i].Null();
    top = 0;
    frames.clear();
    traps.clear();
    roottable.Null();
    lastError.Null();
    errorHandler.Null();
    debugHook.Null();
    hookFrames.clear();
}

void SQVM::Mark(std::vector<SQObjectBase*>& gray) {
    auto mark = [&](const Value& v) {
        if (IsRef(v._type)) gray.push_back(v.Ref());
    };
    for (SQInteger i = 0; i < top; ++i)
        mark(stack[i]);
    for (auto& f : frames) {
        if (f.closure) gray.push_back(f.closure);
        if (f.native) gray.push_back(f.native);
        if (f.generator) gray.push_back(f.generator);
    }
    for (SQOuter* o = openOuters; o; o = o->nextOpen)
        gray.push_back(o);
    mark(roottable);
    mark(lastError);
    mark(errorHandler);
    mark(debugHook);
    mark(retval);
    for (const HookFrame& f : hookFrames) {
        mark(f.source);
        mark(f.name);
    }
}

SQInteger SQVM::StackBase() const {
    return frames.empty() ? 0 : frames.back().base;
}

// ---------------------------------------------------------------------------------------------
// hooks

void SQVM::SetDebugHook(const Value& hook, SQDEBUGHOOK nativeHook) {
    debugHook = hook;
    nativeDebugHook = nativeHook;
    hookFrames.clear();
    instructionHooks = interruptHook || nativeDebugHook || !debugHook.IsNull();
}

void SQVM::SetInterruptHook(SQINTERRUPTHOOK hook, SQInteger interval) {
    interruptHook = hook;
    interruptInterval = interval > 0 ? interval : 1;
    interruptCounter = 0;
    instructionHooks = interruptHook || nativeDebugHook || !debugHook.IsNull();
}

namespace {

const void* FrameFunction(const SQCallFrame& f) {
    return f.closure ? static_cast<const void*>(f.closure) : static_cast<const void*>(f.native);
}

} // namespace

// Runs before each instruction while a hook is set. The debug hook hears 'r' for every frame left since
// the last instruction, 'c' for every frame entered and 'l' when the current frame reaches a new line.
void SQVM::RunInstructionHooks() {
    if (ss->interrupted) Raise("interrupted");
    if (interruptHook && ++interruptCounter >= interruptInterval) {
        interruptCounter = 0;
        if (SQ_FAILED(interruptHook(this))) {
            ss->interrupted = true;
            Raise("interrupted");
        }
    }
    if (inDebugHook || (!nativeDebugHook && debugHook.IsNull())) return;
    size_t same = 0;
    while (same < hookFrames.size() && same < frames.size() &&
           hookFrames[same].function == FrameFunction(frames[same]) &&
           hookFrames[same].base == frames[same].base)
        ++same;
    while (hookFrames.size() > same) {
        HookFrame left = hookFrames.back();
        hookFrames.pop_back();
        if (left.line >= 0) CallDebugHook('r', left);
    }
    while (hookFrames.size() < frames.size()) {
        const SQCallFrame& f = frames[hookFrames.size()];
        HookFrame entered{FrameFunction(f), f.base, -1, {}, {}};
        if (f.closure) {
            entered.source = f.closure->Proto()->source;
            entered.name = f.closure->Proto()->name;
        }
        hookFrames.push_back(entered);
    }
    const SQCallFrame& current = frames.back();
    SQFunctionProto* proto = current.closure->Proto();
    int32_t line = proto->LineAt(int32_t(current.ip - proto->code.data()) - 1);
    HookFrame& seen = hookFrames.back();
    if (seen.line == line) return;
    bool entering = seen.line < 0;
    seen.line = line;
    if (entering) CallDebugHook('c', seen);
    CallDebugHook('l', hookFrames.back());
}

void SQVM::CallDebugHook(SQInteger type, const HookFrame& frame) {
    inDebugHook = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{inDebugHook};
    if (nativeDebugHook) {
        auto text = [](const Value& v) { return v._type == OT_STRING ? v.As<SQString>()->data : "unknown"; };
        nativeDebugHook(this, type, text(frame.source), frame.line, text(frame.name));
        return;
    }
    SQInteger savedTop = top;
    Value hook = debugHook, source = frame.source, name = frame.name;
    Push(hook);
    SQInteger args = top;
    Push(roottable);
    Push(Value(type));
    Push(source);
    Push(Value(SQInteger(frame.line)));
    Push(name);
    Value result;
    Call(hook, 5, args, result, false);
    Pop(top - savedTop);
}

// ---------------------------------------------------------------------------------------------
// errors

void SQVM::Raise(const std::string& message) {
    RaiseValue(NewString(message));
}

void SQVM::RaiseValue(const Value& v) {
    lastError = v;
    errorReported = false;
    throw SQThrow{};
}

std::string sqV_floattostring(SQFloat f) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", double(f));
    return buf;
}

std::string SQVM::Printable(const Value& v) {
    switch (v._type) {
    case OT_STRING:
        return std::string(v.As<SQString>()->View());
    case OT_INTEGER:
        return std::to_string(v.Int());
    case OT_FLOAT:
        return sqV_floattostring(v.Float());
    default:
        return std::string(TypeOf(v).As<SQString>()->View());
    }
}

static const char* TypeName(SQObjectType t) {
    switch (t) {
    case OT_NULL:
        return "null";
    case OT_INTEGER:
        return "integer";
    case OT_FLOAT:
        return "float";
    case OT_BOOL:
        return "bool";
    case OT_STRING:
        return "string";
    case OT_TABLE:
        return "table";
    case OT_ARRAY:
        return "array";
    case OT_USERDATA:
        return "userdata";
    case OT_CLOSURE:
        return "function";
    case OT_NATIVECLOSURE:
        return "function";
    case OT_GENERATOR:
        return "generator";
    case OT_USERPOINTER:
        return "userpointer";
    case OT_THREAD:
        return "thread";
    case OT_FUNCPROTO:
        return "function";
    case OT_CLASS:
        return "class";
    case OT_INSTANCE:
        return "instance";
    case OT_WEAKREF:
        return "weakref";
    case OT_OUTER:
        return "outer";
    }
    return "unknown";
}

const char* sqV_typename(SQObjectType t) {
    return TypeName(t);
}

// ---------------------------------------------------------------------------------------------
// metamethods and delegates

Value SQVM::DefaultDelegate(const Value& obj) {
    switch (obj._type) {
    case OT_TABLE:
        return ss->tableDelegate;
    case OT_ARRAY:
        return ss->arrayDelegate;
    case OT_STRING:
        return ss->stringDelegate;
    case OT_INTEGER:
    case OT_FLOAT:
    case OT_BOOL:
        return ss->numberDelegate;
    case OT_CLOSURE:
    case OT_NATIVECLOSURE:
        return ss->closureDelegate;
    case OT_GENERATOR:
        return ss->generatorDelegate;
    case OT_THREAD:
        return ss->threadDelegate;
    case OT_CLASS:
        return ss->classDelegate;
    case OT_INSTANCE:
        return ss->instanceDelegate;
    case OT_WEAKREF:
        return ss->weakrefDelegate;
    default:
        return Value();
    }
}

bool SQVM::GetMeta(const Value& obj, SQMetaMethod mm, Value& fn) {
    switch (obj._type) {
    case OT_TABLE: {
        SQTable* d = obj.As<SQTable>();
        while (d->delegate._type == OT_TABLE) {
            d = d->delegate.As<SQTable>();
            if (d->Get(ss->metaNames[mm], fn)) return true;
        }
        return false;
    }
    case OT_USERDATA: {
        const Value& d = obj.As<SQUserData>()->delegate;
        return d._type == OT_TABLE && d.As<SQTable>()->Get(ss->metaNames[mm], fn);
    }
    case OT_INSTANCE: {
        const Value& m = obj.As<SQInstance>()->Class()->metamethods[mm];
        if (m.IsNull()) return false;
        fn = m;
        return true;
    }
    default:
        return false;
    }
}

// Calls metamethod `mm` of obj with obj as `this` and the nargs-1 values on top of the stack.
bool SQVM::CallMeta(const Value& obj, SQMetaMethod mm, SQInteger nargs, Value& result) {
    Value fn;
    if (!GetMeta(obj, mm, fn)) {
        Pop(nargs - 1);
        return false;
    }
    // layout: [args...] -> [this, args...]
    SQInteger argBase = top - (nargs - 1);
    Push(Value());
    for (SQInteger i = top - 1; i > argBase; --i)
        stack[i] = std::move(stack[i - 1]);
    stack[argBase] = obj;
    bool savedRaise = raiseErrors;
    raiseErrors = false; // a metamethod's error is reported where the operation fails
    try {
        CallValue(fn, nargs, argBase, result);
    } catch (...) {
        raiseErrors = savedRaise;
        throw;
    }
    raiseErrors = savedRaise;
    return true;
}

// ---------------------------------------------------------------------------------------------
// get / set

bool SQVM::GetDelegated(const Value& obj, const Value& key, Value& out) {
    Value d = DefaultDelegate(obj);
    return d._type == OT_TABLE && d.As<SQTable>()->Get(key, out);
}

static bool ClassGet(SQClass* c, const Value& key, Value& out, SQInstance* inst) {
    Value e;
    if (!c->members->Get(key, e)) return false;
    if (MemberIsMethod(e.Int())) {
        out = c->methods[size_t(MemberIndex(e.Int()))].val;
    } else if (inst) {
        out = inst->fields[size_t(MemberIndex(e.Int()))];
    } else {
        out = c->defaultValues[size_t(MemberIndex(e.Int()))].val;
    }
    return true;
}

// _get: a metamethod that throws null reports "not found".
bool SQVM::GetViaMeta(const Value& obj, const Value& key, Value& out) {
    Value fn;
    if (!GetMeta(obj, MT_GET, fn)) return false;
    SQInteger savedTop = top;
    try {
        Push(key);
        return CallMeta(obj, MT_GET, 2, out);
    } catch (const SQThrow&) {
        if (!lastError.IsNull()) throw;
        for (SQInteger i = savedTop; i < top; ++i)
            stack[i].Null();
        top = savedTop;
        return false;
    }
}

bool SQVM::Get(const Value& obj, const Value& key, Value& out, int flags) {
    if (!GetSlot(obj, key, out, flags)) return false;
    // a weak reference stored in a container reads as its target
    if (out._type == OT_WEAKREF && obj._type != OT_WEAKREF) out = Value(out.As<SQWeakRef>()->target);
    return true;
}

bool SQVM::GetSlot(const Value& obj, const Value& key, Value& out, int flags) {
    switch (obj._type) {
    case OT_TABLE: {
        SQTable* t = obj.As<SQTable>();
        if (t->Get(key, out)) return true;
        if (flags & kGetRaw) break;
        for (Value d = t->delegate; d._type == OT_TABLE; d = d.As<SQTable>()->delegate) {
            if (d.As<SQTable>()->Get(key, out)) return true;
        }
        if (GetDelegated(obj, key, out)) return true;
        if (GetViaMeta(obj, key, out)) return true;
        break;
    }
    case OT_ARRAY: {
        if (key._type == OT_INTEGER || key._type == OT_FLOAT) {
            SQInteger i = key._type == OT_INTEGER ? key.Int() : SQInteger(key.Float());
            auto& items = obj.As<SQArray>()->items;
            if (i >= 0 && i < SQInteger(items.size())) {
                out = items[size_t(i)];
                return true;
            }
            break;
        }
        if (!(flags & kGetRaw) && GetDelegated(obj, key, out)) return true;
        break;
    }
    case OT_STRING: {
        if (key._type == OT_INTEGER || key._type == OT_FLOAT) {
            SQInteger i = key._type == OT_INTEGER ? key.Int() : SQInteger(key.Float());
            SQString* s = obj.As<SQString>();
            if (i < 0) i += s->len;
            if (i >= 0 && i < s->len) {
                out = Value(SQInteger((unsigned char)s->data[i]));
                return true;
            }
            break;
        }
        if (!(flags & kGetRaw) && GetDelegated(obj, key, out)) return true; // `in` sees no delegate
        break;
    }
    case OT_INSTANCE: {
        SQInstance* inst = obj.As<SQInstance>();
        if (ClassGet(inst->Class(), key, out, inst)) return true;
        if (flags & kGetRaw) break;
        if (GetDelegated(obj, key, out)) return true;
        if (GetViaMeta(obj, key, out)) return true;
        break;
    }
    case OT_CLASS: {
        if (ClassGet(obj.As<SQClass>(), key, out, nullptr)) return true;
        if (!(flags & kGetRaw) && GetDelegated(obj, key, out)) return true;
        break;
    }
    case OT_USERDATA: {
        const Value& d = obj.As<SQUserData>()->delegate;
        if (d._type == OT_TABLE && d.As<SQTable>()->Get(key, out)) return true;
        if (!(flags & kGetRaw) && GetViaMeta(obj, key, out)) return true;
        break;
    }
    default:
        if (!(flags & kGetRaw) && GetDelegated(obj, key, out)) return true;
        break;
    }
    if (flags & kGetNoThrow) return false;
    Raise("the index '" + Printable(key) + "' does not exist");
}

void SQVM::Set(const Value& obj, const Value& key, const Value& val, bool raw) {
    switch (obj._type) {
    case OT_TABLE: {
        SQTable* t = obj.As<SQTable>();
        if (Value* slot = t->Find(key)) {
            *slot = val;
            return;
        }
        if (!raw) {
            for (Value d = t->delegate; d._type == OT_TABLE; d = d.As<SQTable>()->delegate) {
                if (Value* slot = d.As<SQTable>()->Find(key)) {
                    *slot = val;
                    return;
                }
            }
            Value ignored;
            Push(key);
            Push(val);
            if (CallMeta(obj, MT_SET, 3, ignored)) return;
        }
        break;
    }
    case OT_ARRAY: {
        if (key._type == OT_INTEGER || key._type == OT_FLOAT) {
            SQInteger i = key._type == OT_INTEGER ? key.Int() : SQInteger(key.Float());
            auto& items = obj.As<SQArray>()->items;
            if (i >= 0 && i < SQInteger(items.size())) {
                items[size_t(i)] = val;
                return;
            }
        }
        break;
    }
    case OT_INSTANCE: {
        SQInstance* inst = obj.As<SQInstance>();
        Value e;
        if (inst->Class()->members->Get(key, e) && !MemberIsMethod(e.Int())) {
            inst->fields[size_t(MemberIndex(e.Int()))] = val;
            return;
        }
        if (!raw) {
            Value ignored;
            Push(key);
            Push(val);
            if (CallMeta(obj, MT_SET, 3, ignored)) return;
        }
        break;
    }
    case OT_CLASS:
        Raise("trying to set 'class'");
    case OT_USERDATA: {
        if (!raw) {
            Value ignored;
            Push(key);
            Push(val);
            if (CallMeta(obj, MT_SET, 3, ignored)) return;
        }
        break;
    }
    case OT_STRING:
        Raise("trying to set 'string'");
    default:
        break;
    }
    Raise("the index '" + Printable(key) + "' does not exist");
}

void SQVM::NewSlot(const Value& obj, const Value& key, const Value& val, bool isStatic, bool raw) {
    if (key.IsNull()) Raise("null cannot be used as index");
    switch (obj._type) {
    case OT_TABLE: {
        SQTable* t = obj.As<SQTable>();
        if (!raw && !t->Find(key)) {
            Value ignored;
            Push(key);
            Push(val);
            if (CallMeta(obj, MT_NEWSLOT, 3, ignored)) return;
        }
        if (key._type == OT_FLOAT && std::isnan(key.Float())) Raise("NaN cannot be used as index");
        t->Set(key, val);
        return;
    }
    case OT_CLASS:
        NewMember(obj.As<SQClass>(), key, val, Value(), isStatic);
        return;
    case OT_INSTANCE:
        if (!raw) {
            Value ignored;
            Push(key);
            Push(val);
            if (CallMeta(obj, MT_NEWSLOT, 3, ignored)) return;
        }
        Raise("class instances do not support the new slot operator");
    default:
        Raise("indexing " + std::string(TypeName(obj._type)) + " with " + TypeName(key._type));
    }
}

Value SQVM::DeleteSlot(const Value& obj, const Value& key, bool raw) {
    if (obj._type == OT_TABLE) {
        SQTable* t = obj.As<SQTable>();
        Value old, fn;
        if (!raw && GetMeta(obj, MT_DELSLOT, fn)) {
            Value res;
            Push(key);
            CallMeta(obj, MT_DELSLOT, 2, res);
            return res;
        }
        if (!t->Get(key, old)) Raise("the index '" + Printable(key) + "' does not exist");
        t->Remove(key);
        return old;
    }
    if (obj._type == OT_INSTANCE || obj._type == OT_USERDATA) {
        Value res;
        Push(key);
        if (!raw && CallMeta(obj, MT_DELSLOT, 2, res)) return res;
    }
    Raise("attempt to delete a slot from a " + std::string(TypeName(obj._type)));
}

// ---------------------------------------------------------------------------------------------
// classes

void SQVM::NewMember(SQClass* c, const Value& key, const Value& val, const Value& attrs, bool isStatic) {
    if (c->locked && !isStatic) Raise("trying to modify a class that has already been instantiated");
    if (key._type == OT_STRING) {
        for (int m = 0; m < MT_COUNT; ++m) {
            if (RawEqual(key, ss->metaNames[m]) &&
                (val._type == OT_CLOSURE || val._type == OT_NATIVECLOSURE)) {
                c->metamethods[m] = val;
                if (val._type == OT_CLOSURE && val.As<SQClosure>()->base.IsNull())
                    val.As<SQClosure>()->base = Value(OT_CLASS, c);
                return;
            }
        }
        if (RawEqual(key, ss->constructorName)) c->constructor = val;
    }
    Value stored = val;
    if (val._type == OT_CLOSURE && val.As<SQClosure>()->base.IsNull()) {
        // methods remember their class so that `base` resolves
        SQClosure* cl = val.As<SQClosure>();
        cl->base = Value(OT_CLASS, c);
    }
    Value e;
    bool isMethod = isStatic || val._type == OT_CLOSURE || val._type == OT_NATIVECLOSURE;
    if (c->members->Get(key, e)) {
        auto& list = MemberIsMethod(e.Int()) ? c->methods : c->defaultValues;
        if (bool(MemberIsMethod(e.Int())) == isMethod || !isMethod) {
            list[size_t(MemberIndex(e.Int()))].val = stored;
            if (!attrs.IsNull()) list[size_t(MemberIndex(e.Int()))].attrs = attrs;
            return;
        }
    }
    auto& list = isMethod ? c->methods : c->defaultValues;
    list.push_back({stored, attrs});
    c->members->Set(key, Value(SQInteger((list.size() - 1) << 1 | (isMethod ? 1 : 0))));
}

Value SQVM::CreateInstance(SQClass* c) {
    SQInstance* inst = NewObject<SQInstance>(ss);
    Value holder(OT_INSTANCE, inst);
    inst->cls = Value(OT_CLASS, c);
    inst->fields.reserve(c->defaultValues.size());
    for (auto& m : c->defaultValues)
        inst->fields.push_back(m.val);
    if (c->udsize > 0) {
        inst->storage.resize(size_t((c->udsize + 7) / 8));
        inst->up = inst->storage.data();
    }
    inst->hook = c->releaseHook;
    c->locked = true;
    return holder;
}

bool SQVM::InstanceOf(const Value& inst, const Value& cls) {
    if (inst._type != OT_INSTANCE || cls._type != OT_CLASS) return false;
    for (Value c = inst.As<SQInstance>()->cls; c._type == OT_CLASS; c = c.As<SQClass>()->baseClass) {
        if (c.Ref() == cls.Ref()) return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// conversions, comparison, arithmetic

bool SQVM::ToString(const Value& v, Value& out) {
    char buf[64];
    switch (v._type) {
    case OT_STRING:
        out = v;
        return true;
    case OT_INTEGER:
        out = NewString(std::to_string(v.Int()));
        return true;
    case OT_FLOAT:
        out = NewString(sqV_floattostring(v.Float()));
        return true;
    case OT_BOOL:
        out = NewString(v._unVal.raw ? "true" : "false");
        return true;
    case OT_NULL:
        out = NewString("null");
        return true;
    case OT_TABLE:
    case OT_INSTANCE:
    case OT_USERDATA: {
        Value res;
        if (CallMeta(v, MT_TOSTRING, 1, res) && res._type == OT_STRING) {
            out = res;
            return true;
        }
        break;
    }
    default:
        break;
    }
    std::snprintf(buf, sizeof buf, "(%s : 0x%p)", TypeName(v._type), (void*)v.Ref());
    out = NewString(buf);
    return true;
}

Value SQVM::TypeOf(const Value& v) {
    if (v._type == OT_INSTANCE || v._type == OT_TABLE || v._type == OT_USERDATA) {
        Value res;
        if (CallMeta(v, MT_TYPEOF, 1, res)) return res;
    }
    return NewString(TypeName(v._type));
}

bool SQVM::Equal(const Value& a, const Value& b) {
    if (a._type == b._type) {
        if (a._type == OT_FLOAT) return a.Float() == b.Float();
        return a._unVal.raw == b._unVal.raw;
    }
    if (a._type == OT_INTEGER && b._type == OT_FLOAT) return SQFloat(a.Int()) == b.Float();
    if (a._type == OT_FLOAT && b._type == OT_INTEGER) return a.Float() == SQFloat(b.Int());
    return false;
}

SQInteger SQVM::Compare(const Value& a, const Value& b) {
    if (a._type == OT_INTEGER && b._type == OT_INTEGER)
        return a.Int() < b.Int() ? -1 : a.Int() > b.Int() ? 1 : 0;
    if ((a._type & SQOBJECT_NUMERIC) && (b._type & SQOBJECT_NUMERIC)) {
        SQFloat x = a._type == OT_INTEGER ? SQFloat(a.Int()) : a.Float();
        SQFloat y = b._type == OT_INTEGER ? SQFloat(b.Int()) : b.Float();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    if (a._type == OT_NULL && b._type != OT_NULL) return -1;
    if (b._type == OT_NULL && a._type != OT_NULL) return 1;
    if (a._type == b._type) {
        switch (a._type) {
        case OT_STRING: {
            int c = std::strcmp(a.As<SQString>()->data, b.As<SQString>()->data);
            return c < 0 ? -1 : c > 0 ? 1 : 0;
        }
        case OT_TABLE:
        case OT_INSTANCE:
        case OT_USERDATA: {
            Value res;
            Push(b);
            if (CallMeta(a, MT_CMP, 2, res)) {
                if (res._type == OT_INTEGER) return res.Int() < 0 ? -1 : res.Int() > 0 ? 1 : 0;
                if (res._type == OT_FLOAT) return res.Float() < 0 ? -1 : res.Float() > 0 ? 1 : 0;
                Raise("_cmp must return an integer");
            }
            break;
        }
        case OT_NULL:
            return 0;
        case OT_BOOL:
            return a._unVal.raw < b._unVal.raw ? -1 : a._unVal.raw > b._unVal.raw ? 1 : 0;
        default:
            break;
        }
        if (a._type != OT_TABLE && a._type != OT_INSTANCE && a._type != OT_USERDATA)
            return a._unVal.raw < b._unVal.raw ? -1 : a._unVal.raw > b._unVal.raw ? 1 : 0;
    }
    Raise("comparison between '" + Printable(a) + "' and '" + Printable(b) + "'");
}

static SQInteger IntArith(SQVM* v, int op, SQInteger x, SQInteger y) {
    switch (op) {
    case OP_ADD:
        return SQInteger(SQUnsignedInteger(x) + SQUnsignedInteger(y));
    case OP_SUB:
        return SQInteger(SQUnsignedInteger(x) - SQUnsignedInteger(y));
    case OP_MUL:
        return SQInteger(SQUnsignedInteger(x) * SQUnsignedInteger(y));
    case OP_DIV:
        if (y == 0) v->Raise("division by zero");
        if (y == -1) return SQInteger(0 - SQUnsignedInteger(x));
        return x / y;
    case OP_MOD:
        if (y == 0) v->Raise("modulo by zero");
        if (y == -1) return 0;
        return x % y;
    }
    return 0;
}

static SQFloat FloatArith(int op, SQFloat x, SQFloat y) {
    switch (op) {
    case OP_ADD:
        return x + y;
    case OP_SUB:
        return x - y;
    case OP_MUL:
        return x * y;
    case OP_DIV:
        return x / y;
    case OP_MOD:
        return std::fmod(x, y);
    }
    return 0;
}

static const char* ArithSymbol(int op) {
    switch (op) {
    case OP_ADD:
        return "+";
    case OP_SUB:
        return "-";
    case OP_MUL:
        return "*";
    case OP_DIV:
        return "/";
    default:
        return "%";
    }
}

Value SQVM::Arith(int op, const Value& a, const Value& b) {
    if (a._type == OT_INTEGER && b._type == OT_INTEGER) return Value(IntArith(this, op, a.Int(), b.Int()));
    if ((a._type & SQOBJECT_NUMERIC) && (b._type & SQOBJECT_NUMERIC)) {
        SQFloat x = a._type == OT_INTEGER ? SQFloat(a.Int()) : a.Float();
        SQFloat y = b._type == OT_INTEGER ? SQFloat(b.Int()) : b.Float();
        return Value(FloatArith(op, x, y));
    }
    if (op == OP_ADD && (a._type == OT_STRING || b._type == OT_STRING)) {
        Value sa, sb;
        ToString(a, sa);
        ToString(b, sb);
        std::string s(sa.As<SQString>()->View());
        s += sb.As<SQString>()->View();
        return NewString(s);
    }
    if (a._type == OT_TABLE || a._type == OT_INSTANCE || a._type == OT_USERDATA) {
        static const SQMetaMethod mm[] = {MT_ADD, MT_SUB, MT_MUL, MT_DIV, MT_MODULO};
        int idx = op == OP_ADD ? 0 : op == OP_SUB ? 1 : op == OP_MUL ? 2 : op == OP_DIV ? 3 : 4;
        Value res;
        Push(b);
        if (CallMeta(a, mm[idx], 2, res)) return res;
    }
    Raise(std::string("arith op ") + ArithSymbol(op) + " on between '" + TypeName(a._type) + "' and '" +
          TypeName(b._type) + "'");
}

Value SQVM::Clone(const Value& v) {
    switch (v._type) {
    case OT_TABLE: {
        SQTable* t = v.As<SQTable>()->CloneTable();
        Value res(OT_TABLE, t);
        Value ignored;
        Push(v);
        CallMeta(res, MT_CLONED, 2, ignored);
        return res;
    }
    case OT_ARRAY: {
        SQArray* a = NewObject<SQArray>(ss);
        a->items = v.As<SQArray>()->items;
        return Value(OT_ARRAY, a);
    }
    case OT_INSTANCE: {
        SQInstance* src = v.As<SQInstance>();
        Value res = CreateInstance(src->Class());
        res.As<SQInstance>()->fields = src->fields;
        Value ignored;
        Push(v);
        CallMeta(res, MT_CLONED, 2, ignored);
        return res;
    }
    case OT_CLASS:
    case OT_USERDATA:
    case OT_CLOSURE:
    case OT_NATIVECLOSURE:
    case OT_GENERATOR:
    case OT_THREAD:
        Raise(std::string("cloning a ") + TypeName(v._type));
    default:
        Raise(std::string("cloning a ") + TypeName(v._type));
    }
}
