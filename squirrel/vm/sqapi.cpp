// The public C API over the VM: stack manipulation, object access, calls, classes, GC.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "sqcompiler.h"
#include "sqopcodes.h"
#include "sqvm.h"

namespace {

Value& Slot(HSQUIRRELVM v, SQInteger idx) {
    return v->At(idx);
}

SQRESULT Fail(HSQUIRRELVM v, const char* message) {
    v->lastError = v->NewString(message);
    return SQ_ERROR;
}

// Runs `body`, turning a script error into SQ_ERROR with the error in lastError.
template <class F>
SQRESULT Guard(HSQUIRRELVM v, F body) {
    SQInteger savedTop = v->top;
    size_t frames = v->frames.size();
    try {
        body();
        return SQ_OK;
    } catch (const SQThrow&) {
        while (v->frames.size() > frames)
            v->frames.pop_back();
        for (SQInteger i = savedTop; i < v->top; ++i)
            v->stack[i].Null();
        if (v->top > savedTop) v->top = savedTop;
        return SQ_ERROR;
    }
}

SQInteger ParseTypeMask(const char* mask, std::vector<SQInteger>& out) {
    SQInteger m = 0;
    for (const char* p = mask; *p; ++p) {
        switch (*p) {
        case 'o':
            m |= _RT_NULL;
            break;
        case 'i':
            m |= _RT_INTEGER;
            break;
        case 'f':
            m |= _RT_FLOAT;
            break;
        case 'n':
            m |= _RT_FLOAT | _RT_INTEGER;
            break;
        case 's':
            m |= _RT_STRING;
            break;
        case 't':
            m |= _RT_TABLE;
            break;
        case 'a':
            m |= _RT_ARRAY;
            break;
        case 'u':
            m |= _RT_USERDATA;
            break;
        case 'c':
            m |= _RT_CLOSURE | _RT_NATIVECLOSURE;
            break;
        case 'b':
            m |= _RT_BOOL;
            break;
        case 'g':
            m |= _RT_GENERATOR;
            break;
        case 'p':
            m |= _RT_USERPOINTER;
            break;
        case 'v':
            m |= _RT_THREAD;
            break;
        case 'x':
            m |= _RT_INSTANCE;
            break;
        case 'y':
            m |= _RT_CLASS;
            break;
        case 'r':
            m |= _RT_WEAKREF;
            break;
        case '.':
            m = -1;
            break;
        case ' ':
            continue;
        case '|':
            continue;
        default:
            return SQ_ERROR;
        }
        if (p[1] != '|') {
            out.push_back(m);
            m = 0;
        }
    }
    return SQ_OK;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// vm

HSQUIRRELVM sq_open(SQInteger) {
    SQSharedState* ss = new SQSharedState();
    SQVM* v = new SQVM(ss);
    v->ss = ss;
    ss->root = v;
    ss->registry = Value(OT_TABLE, NewObject<SQTable>(ss));
    ss->constTable = Value(OT_TABLE, NewObject<SQTable>(ss));
    ss->apiRefs = Value(OT_TABLE, NewObject<SQTable>(ss));
    static const char* names[MT_COUNT] = {"_add",      "_sub",     "_mul",       "_div",       "_modulo",
                                          "_unm",      "_typeof",  "_cmp",       "_call",      "_cloned",
                                          "_tostring", "_nexti",   "_inherited", "_newmember", "_get",
                                          "_set",      "_newslot", "_delslot"};
    for (int i = 0; i < MT_COUNT; ++i)
        ss->metaNames[i] = ss->Str(names[i]);
    ss->constructorName = ss->Str("constructor");
    ss->outOfMemory = ss->Str("out of memory");
    v->roottable = Value(OT_TABLE, NewObject<SQTable>(ss));
    sqB_initdelegates(ss, v);
    sqB_registerbaselib(v);
    return v;
}

HSQUIRRELVM sq_newthread(HSQUIRRELVM friendvm, SQInteger) {
    SQVM* t = new SQVM(friendvm->ss);
    t->ss = friendvm->ss;
    t->roottable = friendvm->roottable;
    t->errorHandler = friendvm->errorHandler;
    t->SetInterruptHook(friendvm->interruptHook, friendvm->interruptInterval);
    friendvm->ss->Track(t);
    friendvm->Push(Value(OT_THREAD, t));
    return t;
}

void sq_seterrorhandler(HSQUIRRELVM v) {
    Value h = v->Top();
    if (h._type == OT_CLOSURE || h._type == OT_NATIVECLOSURE || h.IsNull()) {
        v->errorHandler = h;
        v->Pop(1);
    }
}

void sq_close(HSQUIRRELVM v) {
    SQSharedState* ss = v->ss;
    ss->closing = true;
    v->Clear();
    ss->registry.Null();
    ss->constTable.Null();
    ss->apiRefs.Null();
    ss->tableDelegate.Null();
    ss->arrayDelegate.Null();
    ss->stringDelegate.Null();
    ss->numberDelegate.Null();
    ss->closureDelegate.Null();
    ss->generatorDelegate.Null();
    ss->threadDelegate.Null();
    ss->classDelegate.Null();
    ss->instanceDelegate.Null();
    ss->weakrefDelegate.Null();
    sqC_collectcycles(ss, {});
    for (auto& m : ss->metaNames)
        m.Null();
    ss->constructorName.Null();
    ss->outOfMemory.Null();
    if (v->releaseHook) v->releaseHook(v->foreignPtr, 0);
    delete v;
    delete ss;
}

void sq_setmemorylimit(HSQUIRRELVM v, SQUnsignedInteger bytes) {
    v->ss->memory.limit = size_t(bytes);
}
SQUnsignedInteger sq_getmemoryusage(HSQUIRRELVM v) {
    return SQUnsignedInteger(v->ss->memory.used);
}

void sq_setforeignptr(HSQUIRRELVM v, SQUserPointer p) {
    v->foreignPtr = p;
}
SQUserPointer sq_getforeignptr(HSQUIRRELVM v) {
    return v->foreignPtr;
}
void sq_setsharedforeignptr(HSQUIRRELVM v, SQUserPointer p) {
    v->ss->foreignPtr = p;
}
SQUserPointer sq_getsharedforeignptr(HSQUIRRELVM v) {
    return v->ss->foreignPtr;
}
void sq_setvmreleasehook(HSQUIRRELVM v, SQRELEASEHOOK hook) {
    v->releaseHook = hook;
}
SQRELEASEHOOK sq_getvmreleasehook(HSQUIRRELVM v) {
    return v->releaseHook;
}
void sq_setsharedreleasehook(HSQUIRRELVM v, SQRELEASEHOOK hook) {
    v->ss->releaseHook = hook;
}
SQRELEASEHOOK sq_getsharedreleasehook(HSQUIRRELVM v) {
    return v->ss->releaseHook;
}

void sq_setprintfunc(HSQUIRRELVM v, SQPRINTFUNCTION printfunc, SQPRINTFUNCTION errfunc) {
    v->ss->print = printfunc;
    v->ss->error = errfunc;
}
SQPRINTFUNCTION sq_getprintfunc(HSQUIRRELVM v) {
    return v->ss->print;
}
SQPRINTFUNCTION sq_geterrorfunc(HSQUIRRELVM v) {
    return v->ss->error;
}

SQRESULT sq_suspendvm(HSQUIRRELVM v) {
    if (v == v->ss->root) return Fail(v, "cannot suspend the main vm");
    v->suspendRequest = true;
    return SQ_SUSPEND_FLAG;
}

SQRESULT sq_wakeupvm(HSQUIRRELVM v, SQBool wakeupret, SQBool retval, SQBool raiseerror, SQBool throwerror) {
    if (v->state != SQ_VMSTATE_SUSPENDED) return Fail(v, "cannot resume a vm that is not running any code");
    Value sent;
    if (wakeupret) {
        sent = v->Top();
        v->Pop(1);
    }
    v->suspendRequest = false;
    v->state = SQ_VMSTATE_RUNNING;
    if (throwerror) {
        v->lastError = sent;
        v->pendingThrow = true;
        sent.Null();
    }
    // the suspending native call left its result slot on top of the stack
    v->stack[v->top - 1] = sent;
    size_t entry = 0;
    SQEntryScope scope(v->ss);
    bool savedRaise = v->raiseErrors;
    v->raiseErrors = raiseerror;
    try {
        if (!v->frames.empty()) v->Execute(SQInteger(entry));
    } catch (const SQThrow&) {
        v->raiseErrors = savedRaise;
        v->state = SQ_VMSTATE_IDLE;
        return SQ_ERROR;
    }
    v->raiseErrors = savedRaise;
    if (v->suspendRequest) {
        v->state = SQ_VMSTATE_SUSPENDED;
        if (retval) v->Push(v->retval);
        return SQ_OK;
    }
    v->state = SQ_VMSTATE_IDLE;
    if (retval) v->Push(v->retval);
    return SQ_OK;
}

SQInteger sq_getvmstate(HSQUIRRELVM v) {
    return v->state;
}
SQInteger sq_getversion() {
    return SQUIRREL_VERSION_NUMBER;
}

void sq_setinterrupthook(HSQUIRRELVM v, SQINTERRUPTHOOK hook, SQInteger interval) {
    v->SetInterruptHook(hook, interval);
}

// ---------------------------------------------------------------------------------------------
// compiler

namespace {
struct BufferReader {
    const SQChar* s;
    SQInteger size;
    SQInteger pos;
};
SQInteger ReadBuffer(SQUserPointer up) {
    auto* r = static_cast<BufferReader*>(up);
    if (r->pos >= r->size) return 0;
    return (unsigned char)r->s[r->pos++];
}
} // namespace

SQRESULT sq_compile(HSQUIRRELVM v, SQLEXREADFUNC read, SQUserPointer p, const SQChar* sourcename,
                    SQBool raiseerror) {
    Value proto;
    std::string error;
    SQInteger line = 0, column = 0;
    bool compiled;
    try {
        compiled = sqP_compilesource(v, read, p, sourcename, proto, error, line, column);
    } catch (const std::bad_alloc&) {
        v->lastError = v->ss->outOfMemory;
        return SQ_ERROR;
    }
    if (!compiled) {
        if (raiseerror && v->ss->compilerError)
            v->ss->compilerError(v, error.c_str(), sourcename, line, column);
        v->lastError = v->NewString(error);
        return SQ_ERROR;
    }
    if (std::getenv("SQ_DUMP")) {
        sqP_dumpproto(proto.As<SQFunctionProto>());
    }
    SQClosure* c = NewObject<SQClosure>(v->ss);
    Value cl(OT_CLOSURE, c);
    c->proto = proto;
    c->root = v->roottable;
    v->Push(cl);
    return SQ_OK;
}

SQRESULT sq_compilebuffer(HSQUIRRELVM v, const SQChar* s, SQInteger size, const SQChar* sourcename,
                          SQBool raiseerror) {
    BufferReader r{s, size, 0};
    return sq_compile(v, ReadBuffer, &r, sourcename, raiseerror);
}

void sq_enabledebuginfo(HSQUIRRELVM v, SQBool enable) {
    v->ss->debugInfo = enable != 0;
}
void sq_notifyallexceptions(HSQUIRRELVM v, SQBool enable) {
    v->ss->notifyAll = enable != 0;
}
void sq_setcompilererrorhandler(HSQUIRRELVM v, SQCOMPILERERROR f) {
    v->ss->compilerError = f;
}

// ---------------------------------------------------------------------------------------------
// stack

void sq_push(HSQUIRRELVM v, SQInteger idx) {
    v->Push(Value(Slot(v, idx)));
}
void sq_pop(HSQUIRRELVM v, SQInteger n) {
    v->Pop(n);
}
void sq_poptop(HSQUIRRELVM v) {
    v->Pop(1);
}

void sq_remove(HSQUIRRELVM v, SQInteger idx) {
    SQInteger abs = idx >= 0 ? v->StackBase() + idx - 1 : v->top + idx;
    for (SQInteger i = abs; i < v->top - 1; ++i)
        v->stack[i] = std::move(v->stack[i + 1]);
    v->stack[--v->top].Null();
}

SQInteger sq_gettop(HSQUIRRELVM v) {
    return v->top - v->StackBase();
}

void sq_settop(HSQUIRRELVM v, SQInteger newtop) {
    SQInteger target = v->StackBase() + newtop;
    while (v->top > target)
        v->Pop(1);
    while (v->top < target)
        v->Push(Value());
}

SQRESULT sq_reservestack(HSQUIRRELVM v, SQInteger nsize) {
    return v->top + nsize < SQVM::kStackSize ? SQ_OK : Fail(v, "stack overflow");
}

SQInteger sq_cmp(HSQUIRRELVM v) {
    SQInteger r = 0;
    Guard(v, [&] { r = v->Compare(Slot(v, -2), Slot(v, -1)); });
    return r;
}

void sq_move(HSQUIRRELVM dest, HSQUIRRELVM src, SQInteger idx) {
    dest->Push(Value(Slot(src, idx)));
}

// ---------------------------------------------------------------------------------------------
// object creation

SQUserPointer sq_newuserdata(HSQUIRRELVM v, SQUnsignedInteger size) {
    SQUserData* ud = NewObject<SQUserData>(v->ss);
    ud->size = SQInteger(size);
    ud->storage.resize((size + 7) / 8 + 1);
    v->Push(Value(OT_USERDATA, ud));
    return ud->Ptr();
}

void sq_newtable(HSQUIRRELVM v) {
    v->Push(Value(OT_TABLE, NewObject<SQTable>(v->ss)));
}
void sq_newtableex(HSQUIRRELVM v, SQInteger) {
    sq_newtable(v);
}

void sq_newarray(HSQUIRRELVM v, SQInteger size) {
    SQArray* a = NewObject<SQArray>(v->ss);
    a->items.resize(size_t(size));
    v->Push(Value(OT_ARRAY, a));
}

void sq_newclosure(HSQUIRRELVM v, SQFUNCTION func, SQUnsignedInteger nfreevars) {
    SQNativeClosure* nc = NewObject<SQNativeClosure>(v->ss);
    nc->fn = func;
    for (SQUnsignedInteger i = 0; i < nfreevars; ++i)
        nc->outers.push_back(Slot(v, -SQInteger(nfreevars - i)));
    v->Pop(SQInteger(nfreevars));
    v->Push(Value(OT_NATIVECLOSURE, nc));
}

SQRESULT sq_setparamscheck(HSQUIRRELVM v, SQInteger nparamscheck, const SQChar* typemask) {
    Value& o = Slot(v, -1);
    if (o._type != OT_NATIVECLOSURE) return Fail(v, "native closure expected");
    SQNativeClosure* nc = o.As<SQNativeClosure>();
    nc->nparamscheck = nparamscheck;
    nc->typecheck.clear();
    if (typemask && SQ_FAILED(ParseTypeMask(typemask, nc->typecheck))) {
        nc->typecheck.clear();
        return Fail(v, "invalid typemask");
    }
    if (nparamscheck == SQ_MATCHTYPEMASKSTRING) nc->nparamscheck = SQInteger(nc->typecheck.size());
    return SQ_OK;
}

SQRESULT sq_bindenv(HSQUIRRELVM v, SQInteger idx) {
    Value& o = Slot(v, idx);
    Value env = v->Top();
    if (o._type != OT_CLOSURE && o._type != OT_NATIVECLOSURE) return Fail(v, "the target is not a closure");
    if (env._type != OT_TABLE && env._type != OT_CLASS && env._type != OT_INSTANCE)
        return Fail(v, "invalid environment");
    SQWeakRef* w = env.Ref()->weak;
    if (!w) {
        w = NewObject<SQWeakRef>(v->ss);
        w->target = env;
        env.Ref()->weak = w;
    }
    Value wr(OT_WEAKREF, w);
    Value copy;
    if (o._type == OT_CLOSURE) {
        SQClosure* src = o.As<SQClosure>();
        SQClosure* c = NewObject<SQClosure>(v->ss);
        copy = Value(OT_CLOSURE, c);
        c->proto = src->proto;
        c->outers = src->outers;
        c->defaults = src->defaults;
        c->root = src->root;
        c->base = src->base;
        c->env = wr;
    } else {
        SQNativeClosure* src = o.As<SQNativeClosure>();
        SQNativeClosure* c = NewObject<SQNativeClosure>(v->ss);
        copy = Value(OT_NATIVECLOSURE, c);
        c->fn = src->fn;
        c->outers = src->outers;
        c->typecheck = src->typecheck;
        c->nparamscheck = src->nparamscheck;
        c->name = src->name;
        c->env = wr;
    }
    v->Pop(1);
    v->Push(copy);
    return SQ_OK;
}

SQRESULT sq_setclosureroot(HSQUIRRELVM v, SQInteger idx) {
    Value& o = Slot(v, idx);
    if (o._type != OT_CLOSURE || v->Top()._type != OT_TABLE) return Fail(v, "invalid type");
    o.As<SQClosure>()->root = v->Top();
    v->Pop(1);
    return SQ_OK;
}

SQRESULT sq_getclosureroot(HSQUIRRELVM v, SQInteger idx) {
    Value& o = Slot(v, idx);
    if (o._type != OT_CLOSURE) return Fail(v, "closure expected");
    v->Push(o.As<SQClosure>()->root);
    return SQ_OK;
}

void sq_pushstring(HSQUIRRELVM v, const SQChar* s, SQInteger len) {
    if (!s) {
        v->Push(Value());
        return;
    }
    v->Push(v->NewString(std::string_view(s, len < 0 ? std::strlen(s) : size_t(len))));
}
void sq_pushfloat(HSQUIRRELVM v, SQFloat f) {
    v->Push(Value(f));
}
void sq_pushinteger(HSQUIRRELVM v, SQInteger n) {
    v->Push(Value(n));
}
void sq_pushbool(HSQUIRRELVM v, SQBool b) {
    v->Push(Value(b != 0));
}
void sq_pushuserpointer(HSQUIRRELVM v, SQUserPointer p) {
    v->Push(Value::UserPointer(p));
}
void sq_pushnull(HSQUIRRELVM v) {
    v->Push(Value());
}
void sq_pushthread(HSQUIRRELVM v, HSQUIRRELVM thread) {
    v->Push(Value(OT_THREAD, thread));
}

SQObjectType sq_gettype(HSQUIRRELVM v, SQInteger idx) {
    return Slot(v, idx)._type;
}

SQRESULT sq_typeof(HSQUIRRELVM v, SQInteger idx) {
    Value o = Slot(v, idx);
    return Guard(v, [&] { v->Push(v->TypeOf(o)); });
}

SQInteger sq_getsize(HSQUIRRELVM v, SQInteger idx) {
    Value& o = Slot(v, idx);
    switch (o._type) {
    case OT_STRING:
        return o.As<SQString>()->len;
    case OT_TABLE:
        return o.As<SQTable>()->count;
    case OT_ARRAY:
        return SQInteger(o.As<SQArray>()->items.size());
    case OT_USERDATA:
        return o.As<SQUserData>()->size;
    case OT_INSTANCE:
        return o.As<SQInstance>()->Class()->udsize;
    case OT_CLASS:
        return o.As<SQClass>()->udsize;
    default:
        return Fail(v, "type not supported");
    }
}

SQHash sq_gethash(HSQUIRRELVM v, SQInteger idx) {
    Value& o = Slot(v, idx);
    if (o._type == OT_STRING) return o.As<SQString>()->hash;
    return SQHash(o._unVal.raw);
}

SQRESULT sq_getbase(HSQUIRRELVM v, SQInteger idx) {
    Value& o = Slot(v, idx);
    if (o._type != OT_CLASS) return Fail(v, "the object is not a class");
    v->Push(o.As<SQClass>()->baseClass);
    return SQ_OK;
}

SQBool sq_instanceof(HSQUIRRELVM v) {
    return v->InstanceOf(Slot(v, -2), Slot(v, -1));
}

SQRESULT sq_tostring(HSQUIRRELVM v, SQInteger idx) {
    Value o = Slot(v, idx);
    return Guard(v, [&] {
        Value s;
        v->ToString(o, s);
        v->Push(s);
    });
}

void sq_tobool(HSQUIRRELVM v, SQInteger idx, SQBool* b) {
    *b = sqV_truthy(Slot(v, idx));
}

SQRESULT sq_getstringandsize(HSQUIRRELVM v, SQInteger idx, const SQChar** c, SQInteger* size) {
    Value& o = Slot(v, idx);
    if (o._type != OT_STRING) return SQ_ERROR;
    *c = o.As<SQString>()->data;
    *size = o.As<SQString>()->len;
    return SQ_OK;
}

SQRESULT sq_getstring(HSQUIRRELVM v, SQInteger idx, const SQChar** c) {
    Value& o = Slot(v, idx);
    if (o._type != OT_STRING) return SQ_ERROR;
    *c = o.As<SQString>()->data;
    return SQ_OK;
}

SQRESULT sq_getinteger(HSQUIRRELVM v, SQInteger idx, SQInteger* i) {
    Value& o = Slot(v, idx);
    switch (o._type) {
    case OT_INTEGER:
        *i = o.Int();
        return SQ_OK;
    case OT_FLOAT:
        *i = SQInteger(o.Float());
        return SQ_OK;
    case OT_BOOL:
        *i = o._unVal.raw ? 1 : 0;
        return SQ_OK;
    default:
        return SQ_ERROR;
    }
}

SQRESULT sq_getfloat(HSQUIRRELVM v, SQInteger idx, SQFloat* f) {
    Value& o = Slot(v, idx);
    switch (o._type) {
    case OT_INTEGER:
        *f = SQFloat(o.Int());
        return SQ_OK;
    case OT_FLOAT:
        *f = o.Float();
        return SQ_OK;
    default:
        return SQ_ERROR;
    }
}

SQRESULT sq_getbool(HSQUIRRELVM v, SQInteger idx, SQBool* b) {
    Value& o = Slot(v, idx);
    if (o._type != OT_BOOL) return SQ_ERROR;
    *b = o._unVal.raw ? SQTrue : SQFalse;
    return SQ_OK;
}

SQRESULT sq_getthread(HSQUIRRELVM v, SQInteger idx, HSQUIRRELVM* thread) {
    Value& o = Slot(v, idx);
    if (o._type != OT_THREAD) return SQ_ERROR;
    *thread = o.As<SQVM>();
    return SQ_OK;
}

SQRESULT sq_getuserpointer(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p) {
    Value& o = Slot(v, idx);
    if (o._type != OT_USERPOINTER) return SQ_ERROR;
    *p = o._unVal.pUserPointer;
    return SQ_OK;
}

SQRESULT sq_getuserdata(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p, SQUserPointer* typetag) {
    Value& o = Slot(v, idx);
    if (o._type != OT_USERDATA) return Fail(v, "the object is not a userdata");
    *p = o.As<SQUserData>()->Ptr();
    if (typetag) *typetag = o.As<SQUserData>()->typetag;
    return SQ_OK;
}

SQRESULT sq_settypetag(HSQUIRRELVM v, SQInteger idx, SQUserPointer typetag) {
    Value& o = Slot(v, idx);
    if (o._type == OT_USERDATA)
        o.As<SQUserData>()->typetag = typetag;
    else if (o._type == OT_CLASS)
        o.As<SQClass>()->typetag = typetag;
    else
        return Fail(v, "invalid object type");
    return SQ_OK;
}

SQRESULT sq_getobjtypetag(const HSQOBJECT* o, SQUserPointer* typetag) {
    switch (o->_type) {
    case OT_INSTANCE:
        *typetag = static_cast<SQInstance*>(o->_unVal.pRefCounted)->Class()->typetag;
        return SQ_OK;
    case OT_USERDATA:
        *typetag = static_cast<SQUserData*>(o->_unVal.pRefCounted)->typetag;
        return SQ_OK;
    case OT_CLASS:
        *typetag = static_cast<SQClass*>(o->_unVal.pRefCounted)->typetag;
        return SQ_OK;
    default:
        return SQ_ERROR;
    }
}

SQRESULT sq_gettypetag(HSQUIRRELVM v, SQInteger idx, SQUserPointer* typetag) {
    if (SQ_FAILED(sq_getobjtypetag(&Slot(v, idx), typetag))) return Fail(v, "invalid object type");
    return SQ_OK;
}

void sq_setreleasehook(HSQUIRRELVM v, SQInteger idx, SQRELEASEHOOK hook) {
    Value& o = Slot(v, idx);
    if (o._type == OT_USERDATA)
        o.As<SQUserData>()->hook = hook;
    else if (o._type == OT_INSTANCE)
        o.As<SQInstance>()->hook = hook;
    else if (o._type == OT_CLASS)
        o.As<SQClass>()->releaseHook = hook;
}

SQRELEASEHOOK sq_getreleasehook(HSQUIRRELVM v, SQInteger idx) {
    Value& o = Slot(v, idx);
    if (o._type == OT_USERDATA) return o.As<SQUserData>()->hook;
    if (o._type == OT_INSTANCE) return o.As<SQInstance>()->hook;
    if (o._type == OT_CLASS) return o.As<SQClass>()->releaseHook;
    return nullptr;
}

SQChar* sq_getscratchpad(HSQUIRRELVM v, SQInteger minsize) {
    if (minsize < 0) minsize = 0;
    if (SQInteger(v->ss->scratch.size()) < minsize + 1) v->ss->scratch.resize(size_t(minsize + 1) * 2);
    return v->ss->scratch.data();
}

SQRESULT sq_getfunctioninfo(HSQUIRRELVM v, SQInteger level, SQFunctionInfo* fi) {
    SQInteger n = SQInteger(v->frames.size());
    if (level < 0 || level >= n) return Fail(v, "the level doesn't exist");
    SQCallFrame& f = v->frames[size_t(n - 1 - level)];
    if (!f.closure) return Fail(v, "the function is native");
    SQFunctionProto* p = f.closure->Proto();
    fi->funcid = p;
    fi->name = p->name._type == OT_STRING ? p->name.As<SQString>()->data : "unknown";
    fi->source = p->source._type == OT_STRING ? p->source.As<SQString>()->data : "unknown";
    fi->line = p->lines.empty() ? 0 : p->lines[0].line;
    return SQ_OK;
}

SQRESULT sq_getclosureinfo(HSQUIRRELVM v, SQInteger idx, SQInteger* nparams, SQInteger* nfreevars) {
    Value& o = Slot(v, idx);
    if (o._type == OT_CLOSURE) {
        SQFunctionProto* p = o.As<SQClosure>()->Proto();
        *nparams = p->nparams;
        *nfreevars = SQInteger(p->outers.size());
        return SQ_OK;
    }
    if (o._type == OT_NATIVECLOSURE) {
        *nparams = o.As<SQNativeClosure>()->nparamscheck;
        *nfreevars = SQInteger(o.As<SQNativeClosure>()->outers.size());
        return SQ_OK;
    }
    return Fail(v, "the object is not a closure");
}

SQRESULT sq_getclosurename(HSQUIRRELVM v, SQInteger idx) {
    Value& o = Slot(v, idx);
    if (o._type == OT_CLOSURE) {
        v->Push(o.As<SQClosure>()->Proto()->name);
        return SQ_OK;
    }
    if (o._type == OT_NATIVECLOSURE) {
        v->Push(o.As<SQNativeClosure>()->name);
        return SQ_OK;
    }
    return Fail(v, "the object is not a closure");
}

SQRESULT sq_setnativeclosurename(HSQUIRRELVM v, SQInteger idx, const SQChar* name) {
    Value& o = Slot(v, idx);
    if (o._type != OT_NATIVECLOSURE) return Fail(v, "the object is not a nativeclosure");
    o.As<SQNativeClosure>()->name = v->NewString(name);
    return SQ_OK;
}

SQRESULT sq_setinstanceup(HSQUIRRELVM v, SQInteger idx, SQUserPointer p) {
    Value& o = Slot(v, idx);
    if (o._type != OT_INSTANCE) return Fail(v, "the object is not a class instance");
    o.As<SQInstance>()->up = p;
    return SQ_OK;
}

SQRESULT sq_getinstanceup(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p, SQUserPointer typetag,
                          SQBool throwerror) {
    Value& o = Slot(v, idx);
    if (o._type != OT_INSTANCE) return throwerror ? Fail(v, "the object is not a class instance") : SQ_ERROR;
    SQInstance* inst = o.As<SQInstance>();
    if (typetag) {
        bool found = false;
        for (Value c = inst->cls; c._type == OT_CLASS; c = c.As<SQClass>()->baseClass) {
            if (c.As<SQClass>()->typetag == typetag) {
                found = true;
                break;
            }
        }
        if (!found) return throwerror ? Fail(v, "invalid type tag") : SQ_ERROR;
    }
    *p = inst->up;
    return SQ_OK;
}

SQRESULT sq_setclassudsize(HSQUIRRELVM v, SQInteger idx, SQInteger udsize) {
    Value& o = Slot(v, idx);
    if (o._type != OT_CLASS) return Fail(v, "the object is not a class");
    if (o.As<SQClass>()->locked) return Fail(v, "the class is locked");
    o.As<SQClass>()->udsize = udsize;
    return SQ_OK;
}

SQRESULT sq_newclass(HSQUIRRELVM v, SQBool hasbase) {
    Value baseClass;
    if (hasbase) {
        baseClass = v->Top();
        if (baseClass._type != OT_CLASS) return Fail(v, "invalid base type");
        v->Pop(1);
    }
    SQClass* c = NewObject<SQClass>(v->ss);
    Value cls(OT_CLASS, c);
    if (hasbase) c->InheritFrom(baseClass);
    v->Push(cls);
    return SQ_OK;
}

SQRESULT sq_createinstance(HSQUIRRELVM v, SQInteger idx) {
    Value& o = Slot(v, idx);
    if (o._type != OT_CLASS) return Fail(v, "the object is not a class");
    v->Push(v->CreateInstance(o.As<SQClass>()));
    return SQ_OK;
}

SQRESULT sq_setattributes(HSQUIRRELVM v, SQInteger idx) {
    Value& o = Slot(v, idx);
    if (o._type != OT_CLASS) return Fail(v, "the object is not a class");
    SQClass* c = o.As<SQClass>();
    Value key = Slot(v, -2), val = Slot(v, -1);
    v->Pop(2);
    if (key.IsNull()) {
        v->Push(c->attrs);
        c->attrs = val;
        return SQ_OK;
    }
    Value e;
    if (!c->members->Get(key, e)) return Fail(v, "wrong index");
    auto& list = MemberIsMethod(e.Int()) ? c->methods : c->defaultValues;
    v->Push(list[size_t(MemberIndex(e.Int()))].attrs);
    list[size_t(MemberIndex(e.Int()))].attrs = val;
    return SQ_OK;
}

SQRESULT sq_getattributes(HSQUIRRELVM v, SQInteger idx) {
    Value& o = Slot(v, idx);
    if (o._type != OT_CLASS) return Fail(v, "the object is not a class");
    SQClass* c = o.As<SQClass>();
    Value key = Slot(v, -1);
    v->Pop(1);
    if (key.IsNull()) {
        v->Push(c->attrs);
        return SQ_OK;
    }
    Value e;
    if (!c->members->Get(key, e)) return Fail(v, "wrong index");
    auto& list = MemberIsMethod(e.Int()) ? c->methods : c->defaultValues;
    v->Push(list[size_t(MemberIndex(e.Int()))].attrs);
    return SQ_OK;
}

SQRESULT sq_getclass(HSQUIRRELVM v, SQInteger idx) {
    Value& o = Slot(v, idx);
    if (o._type != OT_INSTANCE) return Fail(v, "the object is not a class instance");
    v->Push(o.As<SQInstance>()->cls);
    return SQ_OK;
}

void sq_weakref(HSQUIRRELVM v, SQInteger idx) {
    Value o = Slot(v, idx);
    if (!IsRef(o._type) || o._type == OT_STRING) {
        v->Push(o);
        return;
    }
    SQWeakRef* w = o.Ref()->weak;
    if (!w) {
        w = NewObject<SQWeakRef>(v->ss);
        w->target = o;
        o.Ref()->weak = w;
    }
    v->Push(Value(OT_WEAKREF, w));
}

SQRESULT sq_getdefaultdelegate(HSQUIRRELVM v, SQObjectType t) {
    Value probe;
    probe._type = t;
    Value d = v->DefaultDelegate(probe);
    if (d.IsNull()) return Fail(v, "the type doesn't have a default delegate");
    v->Push(d);
    return SQ_OK;
}

SQRESULT sq_getmemberhandle(HSQUIRRELVM v, SQInteger idx, HSQMEMBERHANDLE* handle) {
    Value& o = Slot(v, idx);
    if (o._type != OT_CLASS) return Fail(v, "the object is not a class");
    Value key = v->Top();
    v->Pop(1);
    Value e;
    if (!o.As<SQClass>()->members->Get(key, e)) return Fail(v, "wrong index");
    handle->_static = MemberIsMethod(e.Int()) ? SQTrue : SQFalse;
    handle->_index = MemberIndex(e.Int());
    return SQ_OK;
}

static Value* MemberByHandle(HSQUIRRELVM v, SQInteger idx, const HSQMEMBERHANDLE* h) {
    Value& o = Slot(v, idx);
    if (o._type == OT_INSTANCE) {
        SQInstance* inst = o.As<SQInstance>();
        if (h->_static) return &inst->Class()->methods[size_t(h->_index)].val;
        return &inst->fields[size_t(h->_index)];
    }
    if (o._type == OT_CLASS) {
        SQClass* c = o.As<SQClass>();
        return h->_static ? &c->methods[size_t(h->_index)].val : &c->defaultValues[size_t(h->_index)].val;
    }
    return nullptr;
}

SQRESULT sq_getbyhandle(HSQUIRRELVM v, SQInteger idx, const HSQMEMBERHANDLE* handle) {
    Value* m = MemberByHandle(v, idx, handle);
    if (!m) return Fail(v, "wrong type");
    v->Push(*m);
    return SQ_OK;
}

SQRESULT sq_setbyhandle(HSQUIRRELVM v, SQInteger idx, const HSQMEMBERHANDLE* handle) {
    Value* m = MemberByHandle(v, idx, handle);
    if (!m) return Fail(v, "wrong type");
    *m = v->Top();
    v->Pop(1);
    return SQ_OK;
}

// ---------------------------------------------------------------------------------------------
// object manipulation

void sq_pushroottable(HSQUIRRELVM v) {
    v->Push(v->roottable);
}
void sq_pushregistrytable(HSQUIRRELVM v) {
    v->Push(v->ss->registry);
}
void sq_pushconsttable(HSQUIRRELVM v) {
    v->Push(v->ss->constTable);
}

SQRESULT sq_setroottable(HSQUIRRELVM v) {
    Value& o = v->Top();
    if (o._type != OT_TABLE && o._type != OT_NULL) return Fail(v, "invalid type");
    v->roottable = o;
    v->Pop(1);
    return SQ_OK;
}

SQRESULT sq_setconsttable(HSQUIRRELVM v) {
    Value& o = v->Top();
    if (o._type != OT_TABLE) return Fail(v, "invalid type, expected table");
    v->ss->constTable = o;
    v->Pop(1);
    return SQ_OK;
}

SQRESULT sq_newslot(HSQUIRRELVM v, SQInteger idx, SQBool bstatic) {
    Value self = Slot(v, idx);
    if (self._type != OT_TABLE && self._type != OT_CLASS) {
        v->Pop(2);
        return Fail(v, "invalid type");
    }
    Value key = Slot(v, -2), val = Slot(v, -1);
    v->Pop(2);
    if (key.IsNull()) return Fail(v, "null is not a valid key");
    return Guard(v, [&] { v->NewSlot(self, key, val, bstatic != 0); });
}

SQRESULT sq_deleteslot(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
    Value self = Slot(v, idx);
    Value key = v->Top();
    v->Pop(1);
    return Guard(v, [&] {
        Value old = v->DeleteSlot(self, key);
        if (pushval) v->Push(old);
    });
}

SQRESULT sq_set(HSQUIRRELVM v, SQInteger idx) {
    Value self = Slot(v, idx);
    Value key = Slot(v, -2), val = Slot(v, -1);
    v->Pop(2);
    return Guard(v, [&] { v->Set(self, key, val); });
}

SQRESULT sq_get(HSQUIRRELVM v, SQInteger idx) {
    Value self = Slot(v, idx);
    Value key = v->Top();
    v->Pop(1);
    Value out;
    bool found = false;
    SQRESULT r = Guard(v, [&] { found = v->Get(self, key, out, SQVM::kGetNoThrow); });
    if (SQ_FAILED(r)) return r;
    if (!found) return Fail(v, "the index doesn't exist");
    v->Push(out);
    return SQ_OK;
}

SQRESULT sq_rawget(HSQUIRRELVM v, SQInteger idx) {
    Value self = Slot(v, idx);
    Value key = v->Top();
    v->Pop(1);
    Value out;
    bool found = false;
    SQRESULT r = Guard(v, [&] { found = v->Get(self, key, out, SQVM::kGetNoThrow | SQVM::kGetRaw); });
    if (SQ_FAILED(r)) return r;
    if (!found) return Fail(v, "the index doesn't exist");
    v->Push(out);
    return SQ_OK;
}

SQRESULT sq_rawset(HSQUIRRELVM v, SQInteger idx) {
    Value self = Slot(v, idx);
    Value key = Slot(v, -2), val = Slot(v, -1);
    v->Pop(2);
    if (key.IsNull()) return Fail(v, "null key");
    return Guard(v, [&] {
        if (self._type == OT_TABLE) {
            self.As<SQTable>()->Set(key, val);
        } else if (self._type == OT_CLASS) {
            v->NewSlot(self, key, val, false, true);
        } else {
            v->Set(self, key, val, true);
        }
    });
}

SQRESULT sq_rawdeleteslot(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
    Value self = Slot(v, idx);
    Value key = v->Top();
    v->Pop(1);
    return Guard(v, [&] {
        Value old = v->DeleteSlot(self, key, true);
        if (pushval) v->Push(old);
    });
}

SQRESULT sq_newmember(HSQUIRRELVM v, SQInteger idx, SQBool bstatic) {
    Value self = Slot(v, idx);
    if (self._type != OT_CLASS) return Fail(v, "new member only works with classes");
    Value key = Slot(v, -3), val = Slot(v, -2), attrs = Slot(v, -1);
    v->Pop(3);
    return Guard(v, [&] { v->NewMember(self.As<SQClass>(), key, val, attrs, bstatic != 0); });
}

SQRESULT sq_rawnewmember(HSQUIRRELVM v, SQInteger idx, SQBool bstatic) {
    return sq_newmember(v, idx, bstatic);
}

SQRESULT sq_arrayappend(HSQUIRRELVM v, SQInteger idx) {
    Value& a = Slot(v, idx);
    if (a._type != OT_ARRAY) return Fail(v, "the object is not an array");
    a.As<SQArray>()->items.push_back(v->Top());
    v->Pop(1);
    return SQ_OK;
}

SQRESULT sq_arraypop(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
    Value a = Slot(v, idx);
    if (a._type != OT_ARRAY) return Fail(v, "the object is not an array");
    auto& items = a.As<SQArray>()->items;
    if (items.empty()) return Fail(v, "empty array");
    Value last = items.back();
    items.pop_back();
    if (pushval) v->Push(last);
    return SQ_OK;
}

SQRESULT sq_arrayresize(HSQUIRRELVM v, SQInteger idx, SQInteger newsize) {
    Value& a = Slot(v, idx);
    if (a._type != OT_ARRAY) return Fail(v, "the object is not an array");
    if (newsize < 0) return Fail(v, "negative size");
    a.As<SQArray>()->items.resize(size_t(newsize));
    return SQ_OK;
}

SQRESULT sq_arrayreverse(HSQUIRRELVM v, SQInteger idx) {
    Value& a = Slot(v, idx);
    if (a._type != OT_ARRAY) return Fail(v, "the object is not an array");
    auto& items = a.As<SQArray>()->items;
    std::reverse(items.begin(), items.end());
    return SQ_OK;
}

SQRESULT sq_arrayremove(HSQUIRRELVM v, SQInteger idx, SQInteger itemidx) {
    Value& a = Slot(v, idx);
    if (a._type != OT_ARRAY) return Fail(v, "the object is not an array");
    auto& items = a.As<SQArray>()->items;
    if (itemidx < 0 || itemidx >= SQInteger(items.size())) return Fail(v, "index out of range");
    items.erase(items.begin() + itemidx);
    return SQ_OK;
}

SQRESULT sq_arrayinsert(HSQUIRRELVM v, SQInteger idx, SQInteger destpos) {
    Value a = Slot(v, idx);
    if (a._type != OT_ARRAY) return Fail(v, "the object is not an array");
    auto& items = a.As<SQArray>()->items;
    if (destpos < 0 || destpos > SQInteger(items.size())) return Fail(v, "index out of range");
    items.insert(items.begin() + destpos, v->Top());
    v->Pop(1);
    return SQ_OK;
}

SQRESULT sq_setdelegate(HSQUIRRELVM v, SQInteger idx) {
    Value self = Slot(v, idx);
    Value d = v->Top();
    if (d._type != OT_TABLE && d._type != OT_NULL) return Fail(v, "invalid type");
    if (self._type == OT_TABLE)
        self.As<SQTable>()->delegate = d;
    else if (self._type == OT_USERDATA)
        self.As<SQUserData>()->delegate = d;
    else
        return Fail(v, "invalid type");
    v->Pop(1);
    return SQ_OK;
}

SQRESULT sq_getdelegate(HSQUIRRELVM v, SQInteger idx) {
    Value& self = Slot(v, idx);
    if (self._type == OT_TABLE)
        v->Push(self.As<SQTable>()->delegate);
    else if (self._type == OT_USERDATA)
        v->Push(self.As<SQUserData>()->delegate);
    else
        return Fail(v, "wrong type");
    return SQ_OK;
}

SQRESULT sq_clone(HSQUIRRELVM v, SQInteger idx) {
    Value o = Slot(v, idx);
    return Guard(v, [&] { v->Push(v->Clone(o)); });
}

SQRESULT sq_setfreevariable(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger nval) {
    Value& o = Slot(v, idx);
    if (o._type == OT_CLOSURE) {
        auto& outers = o.As<SQClosure>()->outers;
        if (nval >= outers.size()) return Fail(v, "invalid free var index");
        *outers[nval].As<SQOuter>()->ptr = v->Top();
    } else if (o._type == OT_NATIVECLOSURE) {
        auto& outers = o.As<SQNativeClosure>()->outers;
        if (nval >= outers.size()) return Fail(v, "invalid free var index");
        outers[nval] = v->Top();
    } else {
        return Fail(v, "invalid type");
    }
    v->Pop(1);
    return SQ_OK;
}

const SQChar* sq_getfreevariable(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger nval) {
    Value& o = Slot(v, idx);
    if (o._type == OT_CLOSURE) {
        SQClosure* c = o.As<SQClosure>();
        if (nval >= c->outers.size()) return nullptr;
        v->Push(*c->outers[nval].As<SQOuter>()->ptr);
        return c->Proto()->outerNames[nval].As<SQString>()->data;
    }
    if (o._type == OT_NATIVECLOSURE) {
        SQNativeClosure* c = o.As<SQNativeClosure>();
        if (nval >= c->outers.size()) return nullptr;
        v->Push(c->outers[nval]);
        return "@NATIVE";
    }
    return nullptr;
}

// Iteration: the iterator on top of the stack (null to start) is replaced by the next one and
// key and value are pushed.
SQRESULT sq_next(HSQUIRRELVM v, SQInteger idx) {
    Value o = Slot(v, idx);
    Value slots[4];
    slots[0] = o;
    slots[3] = v->Top();
    bool more = false;
    SQRESULT r = Guard(v, [&] {
        if (o._type == OT_ARRAY || o._type == OT_TABLE || o._type == OT_STRING || o._type == OT_CLASS ||
            o._type == OT_GENERATOR || o._type == OT_INSTANCE || o._type == OT_USERDATA) {
            if (o._type == OT_TABLE || o._type == OT_CLASS) {
                // table iterators are node indices + 1 so that null means start
                Value& it = slots[3];
                SQTable* t = o._type == OT_TABLE ? o.As<SQTable>() : o.As<SQClass>()->members;
                int32_t i = t->NextIndex(it.IsNull() ? 0 : int32_t(it.Int()));
                if (i < 0) return;
                slots[1] = t->nodes[size_t(i)].key;
                if (o._type == OT_TABLE)
                    slots[2] = t->nodes[size_t(i)].val;
                else
                    v->Get(o, slots[1], slots[2], SQVM::kGetRaw);
                it = Value(SQInteger(i + 1));
                more = true;
                return;
            }
            extern bool sqV_foreachstep(SQVM*, Value*);
            more = sqV_foreachstep(v, slots);
        }
    });
    if (SQ_FAILED(r)) return r;
    if (!more) return SQ_ERROR;
    v->Top() = slots[3];
    v->Push(slots[1]);
    v->Push(slots[2]);
    return SQ_OK;
}

SQRESULT sq_getweakrefval(HSQUIRRELVM v, SQInteger idx) {
    Value& o = Slot(v, idx);
    if (o._type != OT_WEAKREF) return Fail(v, "the object must be a weakref");
    v->Push(Value(o.As<SQWeakRef>()->target));
    return SQ_OK;
}

SQRESULT sq_clear(HSQUIRRELVM v, SQInteger idx) {
    Value& o = Slot(v, idx);
    if (o._type == OT_TABLE)
        o.As<SQTable>()->ClearAll();
    else if (o._type == OT_ARRAY)
        o.As<SQArray>()->items.clear();
    else
        return Fail(v, "clear only works on table and array");
    return SQ_OK;
}

// ---------------------------------------------------------------------------------------------
// calls

SQRESULT sq_call(HSQUIRRELVM v, SQInteger params, SQBool retval, SQBool raiseerror) {
    SQInteger argBase = v->top - params;
    Value fn = v->stack[argBase - 1];
    Value result;
    if (!v->Call(fn, params, argBase, result, raiseerror != 0)) return SQ_ERROR;
    if (v->suspendRequest && v != v->ss->root) {
        return SQ_OK;
    }
    if (retval) v->Push(result);
    return SQ_OK;
}

SQRESULT sq_resume(HSQUIRRELVM v, SQBool retval, SQBool raiseerror) {
    Value gen = v->Top();
    if (gen._type != OT_GENERATOR) return Fail(v, "only generators can be resumed");
    Value result;
    bool savedRaise = v->raiseErrors;
    v->raiseErrors = raiseerror;
    SQRESULT r = Guard(v, [&] { result = v->Resume(gen); });
    v->raiseErrors = savedRaise;
    if (SQ_FAILED(r)) return r;
    if (retval) v->Push(result);
    return SQ_OK;
}

const SQChar* sq_getlocal(HSQUIRRELVM v, SQUnsignedInteger level, SQUnsignedInteger idx) {
    SQInteger n = SQInteger(v->frames.size());
    if (SQInteger(level) >= n) return nullptr;
    SQCallFrame& f = v->frames[size_t(n - 1 - SQInteger(level))];
    if (!f.closure) return nullptr;
    SQFunctionProto* p = f.closure->Proto();
    int32_t pc = int32_t(f.ip - p->code.data()) - 1;
    SQUnsignedInteger seen = 0;
    for (size_t i = p->locals.size(); i-- > 0;) {
        const SQLocalVarInfo& l = p->locals[i];
        const SQString* name = l.name.As<SQString>();
        if (name->data[0] == '@' && name->data[name->len - 1] != '@') continue; // compiler temporaries
        if (pc < l.startOp || (l.endOp >= 0 && pc >= l.endOp)) continue;
        if (seen++ == idx) {
            v->Push(v->stack[f.base + l.pos]);
            return l.name.As<SQString>()->data;
        }
    }
    // captured variables come last, as if they sat below the frame's base
    SQUnsignedInteger outer = idx - seen;
    if (outer >= p->outerNames.size() || outer >= f.closure->outers.size()) return nullptr;
    const Value& o = f.closure->outers[outer];
    v->Push(o._type == OT_OUTER ? *o.As<SQOuter>()->ptr : o);
    return p->outerNames[outer].As<SQString>()->data;
}

SQRESULT sq_getcallee(HSQUIRRELVM v) {
    if (v->frames.size() < 2) return Fail(v, "no closure in the calls stack");
    SQCallFrame& f = v->frames[v->frames.size() - 2];
    if (f.closure)
        v->Push(Value(OT_CLOSURE, f.closure));
    else
        v->Push(Value(OT_NATIVECLOSURE, f.native));
    return SQ_OK;
}

SQRESULT sq_throwerror(HSQUIRRELVM v, const SQChar* err) {
    v->lastError = v->NewString(err);
    v->errorReported = false;
    return SQ_ERROR;
}

SQRESULT sq_throwobject(HSQUIRRELVM v) {
    v->lastError = v->Top();
    v->errorReported = false;
    v->Pop(1);
    return SQ_ERROR;
}

void sq_reseterror(HSQUIRRELVM v) {
    v->lastError.Null();
}
void sq_getlasterror(HSQUIRRELVM v) {
    v->Push(v->lastError);
}

// ---------------------------------------------------------------------------------------------
// raw objects

SQRESULT sq_getstackobj(HSQUIRRELVM v, SQInteger idx, HSQOBJECT* po) {
    *po = Slot(v, idx);
    return SQ_OK;
}

void sq_pushobject(HSQUIRRELVM v, HSQOBJECT obj) {
    v->Push(Value(obj));
}

void sq_addref(HSQUIRRELVM v, HSQOBJECT* po) {
    if (!IsRef(po->_type)) return;
    // the registry's reference table keeps API references visible to the collector
    Value key = Value::UserPointer(po->_unVal.pRefCounted);
    SQTable* refs = v->ss->apiRefs.As<SQTable>();
    Value* entry = refs->Find(key);
    if (entry) {
        entry->As<SQArray>()->items[1] = Value(entry->As<SQArray>()->items[1].Int() + 1);
        return;
    }
    SQArray* pair = NewObject<SQArray>(v->ss);
    pair->items.push_back(Value(*po));
    pair->items.push_back(Value(SQInteger(1)));
    refs->Set(key, Value(OT_ARRAY, pair));
}

SQBool sq_release(HSQUIRRELVM v, HSQOBJECT* po) {
    if (!IsRef(po->_type)) return SQTrue;
    Value key = Value::UserPointer(po->_unVal.pRefCounted);
    SQTable* refs = v->ss->apiRefs.As<SQTable>();
    Value* entry = refs->Find(key);
    if (!entry) return SQTrue;
    SQInteger n = entry->As<SQArray>()->items[1].Int() - 1;
    if (n > 0) {
        entry->As<SQArray>()->items[1] = Value(n);
        return SQFalse;
    }
    refs->Remove(key);
    return SQTrue;
}

SQUnsignedInteger sq_getrefcount(HSQUIRRELVM v, HSQOBJECT* po) {
    if (!IsRef(po->_type)) return 0;
    Value key = Value::UserPointer(po->_unVal.pRefCounted);
    Value* entry = v->ss->apiRefs.As<SQTable>()->Find(key);
    return entry ? SQUnsignedInteger(entry->As<SQArray>()->items[1].Int()) : 0;
}

SQUnsignedInteger sq_getvmrefcount(HSQUIRRELVM, const HSQOBJECT* po) {
    return IsRef(po->_type) ? po->_unVal.pRefCounted->refs : 0;
}

void sq_resetobject(HSQOBJECT* po) {
    po->_type = OT_NULL;
    po->_unVal.raw = 0;
}

const SQChar* sq_objtostring(const HSQOBJECT* o) {
    return o->_type == OT_STRING ? static_cast<SQString*>(o->_unVal.pRefCounted)->data : nullptr;
}
SQBool sq_objtobool(const HSQOBJECT* o) {
    return sqV_truthy(*o) ? SQTrue : SQFalse;
}
SQInteger sq_objtointeger(const HSQOBJECT* o) {
    if (o->_type == OT_INTEGER) return o->_unVal.nInteger;
    if (o->_type == OT_FLOAT) return SQInteger(o->_unVal.fFloat);
    return 0;
}
SQFloat sq_objtofloat(const HSQOBJECT* o) {
    if (o->_type == OT_FLOAT) return o->_unVal.fFloat;
    if (o->_type == OT_INTEGER) return SQFloat(o->_unVal.nInteger);
    return 0;
}
SQUserPointer sq_objtouserpointer(const HSQOBJECT* o) {
    return o->_type == OT_USERPOINTER ? o->_unVal.pUserPointer : nullptr;
}

// ---------------------------------------------------------------------------------------------
// GC

SQInteger sq_collectgarbage(HSQUIRRELVM v) {
    SQSharedState* ss = v->ss;
    std::vector<SQObjectBase*> roots;
    auto add = [&](const Value& x) {
        if (IsRef(x._type)) roots.push_back(x.Ref());
    };
    add(ss->registry);
    add(ss->constTable);
    add(ss->apiRefs);
    for (auto& m : ss->metaNames)
        add(m);
    add(ss->tableDelegate), add(ss->arrayDelegate), add(ss->stringDelegate), add(ss->numberDelegate);
    add(ss->closureDelegate), add(ss->generatorDelegate), add(ss->threadDelegate), add(ss->classDelegate);
    add(ss->instanceDelegate), add(ss->weakrefDelegate);
    roots.push_back(ss->root);
    if (v != ss->root) roots.push_back(v);
    return sqC_collectcycles(ss, std::move(roots));
}

SQRESULT sq_resurrectunreachable(HSQUIRRELVM v) {
    v->Push(Value());
    return SQ_OK;
}

// ---------------------------------------------------------------------------------------------
// debug

SQRESULT sq_stackinfos(HSQUIRRELVM v, SQInteger level, SQStackInfos* si) {
    SQInteger n = SQInteger(v->frames.size());
    if (level < 0 || level >= n) return SQ_ERROR;
    SQCallFrame& f = v->frames[size_t(n - 1 - level)];
    if (f.closure) {
        SQFunctionProto* p = f.closure->Proto();
        si->funcname = p->name._type == OT_STRING ? p->name.As<SQString>()->data : "unknown";
        si->source = p->source._type == OT_STRING ? p->source.As<SQString>()->data : "unknown";
        si->line = p->LineAt(int32_t(f.ip - p->code.data()) - 1);
    } else {
        si->funcname = f.native->name._type == OT_STRING ? f.native->name.As<SQString>()->data : "unknown";
        si->source = "NATIVE";
        si->line = -1;
    }
    return SQ_OK;
}

void sq_setdebughook(HSQUIRRELVM v) {
    Value h = v->Top();
    if (h._type == OT_CLOSURE || h._type == OT_NATIVECLOSURE || h.IsNull()) {
        v->SetDebugHook(h, nullptr);
        v->Pop(1);
    }
}

void sq_setnativedebughook(HSQUIRRELVM v, SQDEBUGHOOK hook) {
    v->SetDebugHook(Value(), hook);
}

// ---------------------------------------------------------------------------------------------
// serialization: a closure's function prototype (with its nested functions) as bytes that start
// with SQ_BYTECODE_STREAM_TAG. Literals may be null, bool, integer, float or string.

namespace {

struct Writer {
    SQWRITEFUNC fn;
    SQUserPointer up;
    bool ok = true;
    void Bytes(const void* p, SQInteger n) {
        if (ok && fn(up, const_cast<void*>(p), n) != n) ok = false;
    }
    void Int(int64_t i) { Bytes(&i, sizeof i); }
    void Str(const Value& v) {
        if (v._type != OT_STRING) {
            Int(-1);
            return;
        }
        Int(v.As<SQString>()->len);
        Bytes(v.As<SQString>()->data, v.As<SQString>()->len);
    }
};

bool WriteProto(Writer& w, const SQFunctionProto* p) {
    w.Str(p->name);
    w.Str(p->source);
    w.Int(p->nparams);
    w.Int(p->ndefaults);
    w.Int(p->stackSize);
    w.Int(p->varParams);
    w.Int(p->generator);
    w.Int(int64_t(p->code.size()));
    w.Bytes(p->code.data(), SQInteger(p->code.size() * sizeof(SQInstruction)));
    w.Int(int64_t(p->literals.size()));
    for (auto& l : p->literals) {
        w.Int(l._type);
        switch (l._type) {
        case OT_NULL:
            break;
        case OT_BOOL:
        case OT_INTEGER:
        case OT_FLOAT:
            w.Int(l._unVal.raw);
            break;
        case OT_STRING:
            w.Str(l);
            break;
        default:
            return false; // enum tables are folded at compile time and cannot be written
        }
    }
    w.Int(int64_t(p->outers.size()));
    for (size_t i = 0; i < p->outers.size(); ++i) {
        w.Int(p->outers[i].fromStack);
        w.Int(p->outers[i].index);
        w.Str(p->outerNames[i]);
    }
    w.Int(int64_t(p->locals.size()));
    for (auto& l : p->locals) {
        w.Str(l.name);
        w.Int(l.pos);
        w.Int(l.startOp);
        w.Int(l.endOp);
    }
    w.Int(int64_t(p->lines.size()));
    w.Bytes(p->lines.data(), SQInteger(p->lines.size() * sizeof(SQLineInfo)));
    w.Int(int64_t(p->functions.size()));
    for (auto& f : p->functions)
        if (!WriteProto(w, f.As<SQFunctionProto>())) return false;
    return w.ok;
}

struct Reader {
    SQREADFUNC fn;
    SQUserPointer up;
    SQSharedState* ss;
    bool ok = true;
    void Bytes(void* p, SQInteger n) {
        if (n == 0) return;
        if (ok && fn(up, p, n) != n) ok = false;
    }
    int64_t Int() {
        int64_t i = 0;
        Bytes(&i, sizeof i);
        return i;
    }
    // A count read from the stream, bounded so that a corrupt file cannot ask for huge memory.
    size_t Count() {
        int64_t n = Int();
        if (n < 0 || n > (1 << 24)) ok = false;
        return ok ? size_t(n) : 0;
    }
    Value Str() {
        int64_t n = Int();
        if (n < 0 || n > (1 << 28) || !ok) return Value();
        std::string s(size_t(n), '\0');
        Bytes(s.data(), n);
        return ss->Str(s);
    }
};

// A read prototype is only run when every operand stays inside its tables, slots and code.
bool ValidProto(const SQFunctionProto* p) {
    const int32_t ncode = int32_t(p->code.size());
    if (p->stackSize < p->nparams + 2 || p->stackSize > (1 << 20) || p->nparams < 1 || p->ndefaults < 0 ||
        p->ndefaults >= p->nparams || ncode == 0)
        return false;
    auto inside = [](int64_t i, size_t n) { return i >= 0 && uint64_t(i) < n; };
    for (int32_t pc = 0; pc < ncode; ++pc) {
        const SQInstruction& i = p->code[size_t(pc)];
        if (i.op >= OP_COUNT) return false;
        switch (SQOpcode(i.op)) {
        case OP_PUSHLIT:
        case OP_GETENV:
        case OP_SETENV:
        case OP_GETK:
        case OP_GETMETHOD:
            if (!inside(i.arg, p->literals.size())) return false;
            break;
        case OP_LOAD:
        case OP_STORE:
        case OP_INCL:
        case OP_CLOSE:
        case OP_FOREACHPREP:
            if (!inside(i.arg, size_t(p->stackSize))) return false;
            break;
        case OP_LOADOUTER:
        case OP_STOREOUTER:
        case OP_INCOUTER:
            if (!inside(i.arg, p->outers.size())) return false;
            break;
        case OP_CLOSURE:
            if (!inside(i.arg, p->functions.size())) return false;
            break;
        case OP_FOREACH:
            if (!inside(i.b + 3, size_t(p->stackSize))) return false;
            [[fallthrough]];
        case OP_JMP:
        case OP_JZ:
        case OP_JNZ:
        case OP_ANDJ:
        case OP_ORJ:
        case OP_TRAP:
            if (!inside(int64_t(pc) + 1 + i.arg, size_t(ncode))) return false;
            break;
        default:
            break;
        }
    }
    for (auto& l : p->locals)
        if (l.name._type != OT_STRING || !inside(l.pos, size_t(p->stackSize))) return false;
    return p->code.back().op == OP_RETURN || p->code.back().op == OP_RETURNNULL;
}

bool ReadProto(Reader& r, Value& out, int depth) {
    if (depth > 200) return false;
    SQFunctionProto* p = NewObject<SQFunctionProto>(r.ss);
    out = Value(OT_FUNCPROTO, p);
    p->name = r.Str();
    p->source = r.Str();
    p->nparams = int32_t(r.Int());
    p->ndefaults = int32_t(r.Int());
    p->stackSize = int32_t(r.Int());
    p->varParams = r.Int() != 0;
    p->generator = r.Int() != 0;
    p->code.resize(r.Count());
    r.Bytes(p->code.data(), SQInteger(p->code.size() * sizeof(SQInstruction)));
    size_t nlit = r.Count();
    for (size_t i = 0; i < nlit && r.ok; ++i) {
        Value l;
        int64_t type = r.Int();
        switch (type) {
        case OT_NULL:
            break;
        case OT_BOOL:
        case OT_INTEGER:
        case OT_FLOAT:
            l._type = SQObjectType(type);
            l._unVal.raw = r.Int();
            break;
        case OT_STRING:
            l = r.Str();
            break;
        default:
            return false;
        }
        p->literals.push_back(l);
    }
    size_t nouter = r.Count();
    for (size_t i = 0; i < nouter && r.ok; ++i) {
        bool fromStack = r.Int() != 0;
        int32_t index = int32_t(r.Int());
        p->outers.push_back({fromStack, index});
        p->outerNames.push_back(r.Str());
    }
    size_t nlocals = r.Count();
    for (size_t i = 0; i < nlocals && r.ok; ++i) {
        Value name = r.Str();
        int32_t pos = int32_t(r.Int()), start = int32_t(r.Int()), end = int32_t(r.Int());
        p->locals.push_back({name, pos, start, end});
    }
    p->lines.resize(r.Count());
    r.Bytes(p->lines.data(), SQInteger(p->lines.size() * sizeof(SQLineInfo)));
    size_t nfunc = r.Count();
    for (size_t i = 0; i < nfunc && r.ok; ++i) {
        Value f;
        if (!ReadProto(r, f, depth + 1)) return false;
        p->functions.push_back(f);
    }
    return r.ok && ValidProto(p);
}

} // namespace

SQRESULT sq_writeclosure(HSQUIRRELVM v, SQWRITEFUNC writef, SQUserPointer up) {
    Value& o = Slot(v, -1);
    if (o._type != OT_CLOSURE) return Fail(v, "the object is not a closure");
    Writer w{writef, up};
    uint16_t tag = SQ_BYTECODE_STREAM_TAG;
    w.Bytes(&tag, sizeof tag);
    w.Bytes("SQMZ", 4);
    if (!WriteProto(w, o.As<SQClosure>()->Proto())) return Fail(v, "cannot write the closure");
    return SQ_OK;
}

SQRESULT sq_readclosure(HSQUIRRELVM v, SQREADFUNC readf, SQUserPointer up) {
    Reader r{readf, up, v->ss};
    uint16_t tag = 0;
    char magic[4] = {};
    r.Bytes(&tag, sizeof tag);
    r.Bytes(magic, 4);
    if (!r.ok || tag != SQ_BYTECODE_STREAM_TAG || std::memcmp(magic, "SQMZ", 4) != 0)
        return Fail(v, "invalid stream");
    Value proto;
    if (!ReadProto(r, proto, 0)) return Fail(v, "the bytecode stream is corrupted");
    SQClosure* c = NewObject<SQClosure>(v->ss);
    Value cl(OT_CLOSURE, c);
    c->proto = proto;
    c->root = v->roottable;
    v->Push(cl);
    return SQ_OK;
}

// ---------------------------------------------------------------------------------------------
// memory

void* sq_malloc(SQUnsignedInteger size) {
    return std::malloc(size);
}

void* sq_realloc(void* p, SQUnsignedInteger, SQUnsignedInteger newsize) {
    return std::realloc(p, newsize);
}

void sq_free(void* p, SQUnsignedInteger) {
    std::free(p);
}
