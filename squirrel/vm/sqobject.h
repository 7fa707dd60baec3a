// Values and heap objects of the engine.
//
// A value is an SQObject (type tag + payload) with reference-counting copy semantics. Heap objects
// derive from SQObjectBase; they are freed when their count drops to zero, and the cycle collector
// (sq_collectgarbage) marks from the roots and breaks whatever is left unreachable. Each type's
// tracing (Mark) and cycle breaking (Clear) live with its definition.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "squirrel.h"

struct SQSharedState;
struct SQWeakRef;

// ---------------------------------------------------------------------------------------------
// Memory accounting: what the engine allocates while a call into it runs is charged to that VM's
// shared state; an allocation past its limit throws std::bad_alloc, which the VM turns into the
// script error "out of memory". Every allocation remembers the budget it was charged to, so it is
// given back wherever it is freed.

struct SQMemoryBudget {
    size_t used = 0;
    size_t limit = SQ_DEFAULT_MEMORY_LIMIT;
};

// Sets the budget charged by allocations on this thread (null outside calls into the engine);
// returns the one it replaces.
SQMemoryBudget* sqO_setbudget(SQMemoryBudget* budget);
void* sqO_alloc(size_t bytes);
void sqO_free(void* p, size_t bytes);

template <class T>
struct SQAllocator {
    using value_type = T;
    SQAllocator() = default;
    template <class U>
    SQAllocator(const SQAllocator<U>&) {}
    T* allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(sqO_alloc(n * sizeof(T)));
    }
    void deallocate(T* p, size_t n) { sqO_free(p, n * sizeof(T)); }
    friend bool operator==(const SQAllocator&, const SQAllocator&) { return true; }
};

// The containers of script-visible objects, whose size scripts decide.
template <class T>
using SQVector = std::vector<T, SQAllocator<T>>;

struct SQObjectBase {
    static void* operator new(size_t bytes) { return sqO_alloc(bytes); }
    static void operator delete(void* p, size_t bytes) { sqO_free(p, bytes); }

    uint32_t refs = 0;
    uint32_t markEpoch = 0;
    SQObjectBase* gcPrev = nullptr;
    SQObjectBase* gcNext = nullptr;
    SQWeakRef* weak = nullptr;
    SQSharedState* ss = nullptr;
    virtual ~SQObjectBase();
    virtual void Mark(std::vector<SQObjectBase*>&) {}
    virtual void Clear() {}
};

void sqO_release(SQObjectBase* o);
// Frees the objects unreachable from `roots` that only reference cycles keep alive; their number.
SQInteger sqC_collectcycles(SQSharedState* ss, std::vector<SQObjectBase*> roots);

inline bool IsRef(SQObjectType t) {
    return (t & SQOBJECT_REF_COUNTED) != 0;
}

struct Value : SQObject {
    Value() {
        _type = OT_NULL;
        _unVal.raw = 0;
    }
    Value(const SQObject& o) {
        *(SQObject*)this = o;
        AddRef();
    }
    Value(const Value& o) : Value((const SQObject&)o) {}
    Value(Value&& o) noexcept {
        *(SQObject*)this = o;
        o._type = OT_NULL;
        o._unVal.raw = 0;
    }
    Value(SQInteger i) {
        _type = OT_INTEGER;
        _unVal.raw = 0;
        _unVal.nInteger = i;
    }
    Value(int i) : Value(SQInteger(i)) {}
    Value(SQFloat f) {
        _type = OT_FLOAT;
        _unVal.raw = 0;
        _unVal.fFloat = f;
    }
    Value(bool b) {
        _type = OT_BOOL;
        _unVal.raw = b ? 1 : 0;
    }
    Value(SQObjectType t, SQObjectBase* p) {
        _type = t;
        _unVal.raw = 0;
        _unVal.pRefCounted = p;
        AddRef();
    }
    static Value UserPointer(SQUserPointer p) {
        Value v;
        v._type = OT_USERPOINTER;
        v._unVal.pUserPointer = p;
        return v;
    }
    ~Value() { Release(); }
    Value& operator=(const Value& o) { return *this = (const SQObject&)o; }
    Value& operator=(const SQObject& o) {
        SQObject old = *this;
        *(SQObject*)this = o;
        AddRef();
        if (IsRef(old._type)) sqO_release(old._unVal.pRefCounted);
        return *this;
    }
    Value& operator=(Value&& o) noexcept {
        if (this == &o) return *this;
        SQObject old = *this;
        *(SQObject*)this = o;
        o._type = OT_NULL;
        o._unVal.raw = 0;
        if (IsRef(old._type)) sqO_release(old._unVal.pRefCounted);
        return *this;
    }
    void Null() {
        SQObject old = *this;
        _type = OT_NULL;
        _unVal.raw = 0;
        if (IsRef(old._type)) sqO_release(old._unVal.pRefCounted);
    }
    void AddRef() const {
        if (IsRef(_type)) ++_unVal.pRefCounted->refs;
    }
    void Release() {
        if (IsRef(_type)) sqO_release(_unVal.pRefCounted);
    }
    SQObjectType Type() const { return _type; }
    bool IsNull() const { return _type == OT_NULL; }
    SQInteger Int() const { return _unVal.nInteger; }
    SQFloat Float() const { return _unVal.fFloat; }
    SQObjectBase* Ref() const { return _unVal.pRefCounted; }
    template <class T>
    T* As() const {
        return static_cast<T*>(_unVal.pRefCounted);
    }
};

inline bool RawEqual(const SQObject& a, const SQObject& b) {
    return a._type == b._type && a._unVal.raw == b._unVal.raw;
}

// ---------------------------------------------------------------------------------------------
// Strings: interned, immutable, hash cached.

struct SQString : SQObjectBase {
    SQString* chain = nullptr;
    SQHash hash = 0;
    SQInteger len = 0;
    char* data = nullptr;
    ~SQString() override;
    std::string_view View() const { return {data, size_t(len)}; }
};

// ---------------------------------------------------------------------------------------------
// Tables: open hash with chained nodes; iteration walks the node array in order.

struct SQTable : SQObjectBase {
    struct Node {
        Value key;
        Value val;
        int32_t next = -1;
    };
    SQVector<Node> nodes;
    SQVector<int32_t> buckets;
    int32_t freeList = -1;
    SQInteger count = 0;
    Value delegate; // table or null

    bool Get(const SQObject& key, Value& out) const;
    Value* Find(const SQObject& key);
    void Set(const SQObject& key, const SQObject& val); // inserts or replaces
    bool Remove(const SQObject& key);
    // Iteration: returns the next used node index at or after `from`, or -1.
    int32_t NextIndex(int32_t from) const;
    void ClearAll();
    SQTable* CloneTable() const;
    void Mark(std::vector<SQObjectBase*>& gray) override;
    void Clear() override { ClearAll(), delegate.Null(); }

  private:
    void Rehash(size_t nb);
    SQHash HashOf(const SQObject& key) const;
};

// ---------------------------------------------------------------------------------------------

struct SQArray : SQObjectBase {
    SQVector<Value> items;
    void Mark(std::vector<SQObjectBase*>& gray) override;
    void Clear() override { items.clear(); }
};

struct SQUserData : SQObjectBase {
    SQInteger size = 0;
    SQUserPointer typetag = nullptr;
    SQRELEASEHOOK hook = nullptr;
    Value delegate;
    SQVector<uint64_t> storage;
    SQUserPointer Ptr() { return storage.data(); }
    ~SQUserData() override;
    void Mark(std::vector<SQObjectBase*>& gray) override;
    void Clear() override { delegate.Null(); }
};

struct SQWeakRef : SQObjectBase {
    SQObject target{}; // not counted; nulled when the target dies
    ~SQWeakRef() override;
};

struct SQOuter : SQObjectBase {
    Value* ptr; // points into a live stack while open, at `value` once closed
    Value value;
    SQInteger idx; // absolute stack index while open
    SQOuter* nextOpen = nullptr;
    void Mark(std::vector<SQObjectBase*>& gray) override;
    void Clear() override { value.Null(); }
};

struct SQLocalVarInfo {
    Value name;
    int32_t pos;
    int32_t startOp;
    int32_t endOp;
};

struct SQLineInfo {
    int32_t op;
    int32_t line;
};

struct SQOuterInfo {
    bool fromStack; // from the enclosing function's stack slot, else from its outers
    int32_t index;
};

struct SQInstruction {
    uint8_t op;
    uint8_t a;
    uint16_t b;
    int32_t arg;
};

struct SQFunctionProto : SQObjectBase {
    Value name;
    Value source;
    std::vector<SQInstruction> code;
    std::vector<Value> literals;
    std::vector<Value> functions;
    std::vector<SQOuterInfo> outers;
    std::vector<Value> outerNames;
    std::vector<SQLocalVarInfo> locals;
    std::vector<SQLineInfo> lines;
    std::vector<Value> defaults; // default values are computed at closure creation
    int32_t nparams = 0;         // including `this`
    int32_t ndefaults = 0;
    int32_t stackSize = 0;
    bool varParams = false;
    bool generator = false;
    int32_t LineAt(int32_t pc) const;
    void Mark(std::vector<SQObjectBase*>& gray) override;
    void Clear() override;
};

struct SQClosure : SQObjectBase {
    Value proto;
    std::vector<Value> outers;
    std::vector<Value> defaults;
    Value env;  // weak reference to the bound environment, or null
    Value root; // root table at creation
    Value base; // class the method belongs to, for `base`
    SQFunctionProto* Proto() const { return proto.As<SQFunctionProto>(); }
    void Mark(std::vector<SQObjectBase*>& gray) override;
    void Clear() override;
};

struct SQNativeClosure : SQObjectBase {
    SQFUNCTION fn = nullptr;
    std::vector<Value> outers;
    std::vector<SQInteger> typecheck;
    SQInteger nparamscheck = 0;
    Value name;
    Value env;
    void Mark(std::vector<SQObjectBase*>& gray) override;
    void Clear() override { outers.clear(), env.Null(); }
};

struct SQClass : SQObjectBase {
    struct Member {
        Value val;
        Value attrs;
    };
    Value baseClass;
    SQTable* members;                  // name -> encoded member entry (see MemberIsMethod)
    std::vector<Member> defaultValues; // instance fields
    std::vector<Member> methods;       // methods and statics
    Value attrs;
    Value metamethods[32];
    Value constructor;
    SQUserPointer typetag = nullptr;
    SQInteger udsize = 0;
    SQRELEASEHOOK releaseHook = nullptr;
    bool locked = false;
    SQClass();
    ~SQClass() override;
    // Starts this new class as a copy of `base` (a class): members, defaults, metamethods, constructor,
    // type tag, user-data size and release hook.
    void InheritFrom(const Value& base);
    void Mark(std::vector<SQObjectBase*>& gray) override;
    void Clear() override;
};

struct SQInstance : SQObjectBase {
    Value cls;
    SQVector<Value> fields;
    SQUserPointer up = nullptr;
    SQRELEASEHOOK hook = nullptr;
    SQVector<uint64_t> storage;
    SQClass* Class() const { return cls.As<SQClass>(); }
    ~SQInstance() override;
    void Mark(std::vector<SQObjectBase*>& gray) override;
    void Clear() override { fields.clear(); }
};

enum class GenState { Running, Suspended, Dead };

struct SQGenerator : SQObjectBase {
    Value closure;
    SQVector<Value> stack; // saved frame slots while suspended
    struct TrapSave {
        int32_t pc;
        int32_t stackTop;
    };
    std::vector<TrapSave> traps;
    int32_t pc = 0;
    GenState state = GenState::Suspended;
    void Mark(std::vector<SQObjectBase*>& gray) override;
    void Clear() override { stack.clear(), closure.Null(); }
};

// Encoded class member entry in SQClass::members: bit 0 = method table, rest = index.
inline SQInteger MemberIsMethod(SQInteger e) {
    return e & 1;
}
inline SQInteger MemberIndex(SQInteger e) {
    return e >> 1;
}
