// Heap objects: strings, tables, arrays, functions, classes, instances; their tracing for the
// cycle collector; the shared state and the collector itself.
#include "sqobject.h"

#include "sqstate.h"
#include "sqvm.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

// ---------------------------------------------------------------------------------------------
// memory

namespace {

thread_local SQMemoryBudget* t_budget = nullptr;

// Put before every allocation: the budget it was charged to, padded to keep the alignment.
struct alignas(alignof(std::max_align_t)) AllocationHeader {
    SQMemoryBudget* budget;
};

} // namespace

SQMemoryBudget* sqO_setbudget(SQMemoryBudget* budget) {
    std::swap(t_budget, budget);
    return budget;
}

void* sqO_alloc(size_t bytes) {
    SQMemoryBudget* budget = t_budget;
    if (budget && bytes > budget->limit - std::min(budget->used, budget->limit)) throw std::bad_alloc();
    if (bytes > SIZE_MAX - sizeof(AllocationHeader)) throw std::bad_alloc();
    void* mem = std::malloc(sizeof(AllocationHeader) + bytes);
    if (!mem) throw std::bad_alloc();
    auto* header = static_cast<AllocationHeader*>(mem);
    header->budget = budget;
    if (budget) budget->used += bytes;
    return header + 1;
}

void sqO_free(void* p, size_t bytes) {
    if (!p) return;
    AllocationHeader* header = static_cast<AllocationHeader*>(p) - 1;
    if (header->budget) header->budget->used -= bytes;
    std::free(header);
}

// ---------------------------------------------------------------------------------------------
// lifetime

SQObjectBase::~SQObjectBase() {
    if (weak) {
        weak->target._type = OT_NULL;
        weak->target._unVal.raw = 0;
    }
}

void sqO_release(SQObjectBase* o) {
    if (--o->refs != 0) return;
    if (o->ss) o->ss->Untrack(o);
    delete o;
}

static void MarkValue(const Value& v, std::vector<SQObjectBase*>& gray) {
    if (IsRef(v._type)) gray.push_back(v.Ref());
}

// ---------------------------------------------------------------------------------------------
// strings

// Long strings hash a sample of at most 32 bytes plus their length: concatenation in loops
// interns every intermediate string, and a full hash would make that quadratic.
SQHash HashString(std::string_view s) {
    SQHash h = 1469598103934665603ull ^ s.size();
    size_t step = (s.size() >> 5) + 1;
    for (size_t i = s.size(); i >= step; i -= step)
        h = (h ^ (unsigned char)s[i - 1]) * 1099511628211ull;
    return h;
}

SQString::~SQString() {
    if (ss) ss->Unintern(this);
    sqO_free(data, size_t(len) + 1);
}

SQString* SQSharedState::Intern(std::string_view s) {
    SQHash h = HashString(s);
    if (!strings.empty()) {
        for (SQString* p = strings[h & (strings.size() - 1)]; p; p = p->chain) {
            if (p->hash == h && p->View() == s) return p;
        }
    }
    if (stringCount + 1 > SQInteger(strings.size())) {
        size_t n = strings.empty() ? 256 : strings.size() * 2;
        std::vector<SQString*> next(n, nullptr);
        for (SQString* head : strings) {
            while (head) {
                SQString* following = head->chain;
                SQString*& slot = next[head->hash & (n - 1)];
                head->chain = slot;
                slot = head;
                head = following;
            }
        }
        strings.swap(next);
    }
    char* data = static_cast<char*>(sqO_alloc(s.size() + 1));
    SQString* str;
    try {
        str = new SQString();
    } catch (const std::bad_alloc&) {
        sqO_free(data, s.size() + 1);
        throw;
    }
    str->ss = this;
    str->hash = h;
    str->len = SQInteger(s.size());
    str->data = data;
    std::memcpy(str->data, s.data(), s.size());
    str->data[s.size()] = 0;
    SQString*& slot = strings[h & (strings.size() - 1)];
    str->chain = slot;
    slot = str;
    ++stringCount;
    return str;
}

void SQSharedState::Unintern(SQString* s) {
    SQString** link = &strings[s->hash & (strings.size() - 1)];
    while (*link && *link != s)
        link = &(*link)->chain;
    if (*link) *link = s->chain;
    --stringCount;
}

// Strings are not tracked by the collector (they hold no references).
void SQSharedState::Track(SQObjectBase* o) {
    o->gcNext = gcHead.gcNext;
    o->gcPrev = &gcHead;
    if (gcHead.gcNext) gcHead.gcNext->gcPrev = o;
    gcHead.gcNext = o;
}

void SQSharedState::Untrack(SQObjectBase* o) {
    if (!o->gcPrev) return;
    o->gcPrev->gcNext = o->gcNext;
    if (o->gcNext) o->gcNext->gcPrev = o->gcPrev;
    o->gcPrev = o->gcNext = nullptr;
}

// ---------------------------------------------------------------------------------------------
// tables

SQHash SQTable::HashOf(const SQObject& key) const {
    switch (key._type) {
    case OT_STRING:
        return static_cast<SQString*>(key._unVal.pRefCounted)->hash;
    case OT_INTEGER:
        return SQHash(key._unVal.nInteger) * 0x9E3779B97F4A7C15ull;
    case OT_FLOAT: {
        SQFloat f = key._unVal.fFloat;
        if (f == SQFloat(SQInteger(f))) return SQHash(SQInteger(f)) * 0x9E3779B97F4A7C15ull;
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        return SQHash(bits) * 0x9E3779B97F4A7C15ull;
    }
    default:
        return SQHash(key._unVal.raw) * 0x9E3779B97F4A7C15ull;
    }
}

static bool KeyEqual(const SQObject& a, const SQObject& b) {
    return a._type == b._type && a._unVal.raw == b._unVal.raw;
}

Value* SQTable::Find(const SQObject& key) {
    if (buckets.empty()) return nullptr;
    SQHash h = HashOf(key);
    for (int32_t i = buckets[h & (buckets.size() - 1)]; i >= 0; i = nodes[size_t(i)].next) {
        if (KeyEqual(nodes[size_t(i)].key, key)) return &nodes[size_t(i)].val;
    }
    return nullptr;
}

bool SQTable::Get(const SQObject& key, Value& out) const {
    Value* v = const_cast<SQTable*>(this)->Find(key);
    if (!v) return false;
    out = *v;
    return true;
}

void SQTable::Rehash(size_t nb) {
    buckets.assign(nb, -1);
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].key.IsNull()) continue;
        SQHash h = HashOf(nodes[i].key);
        nodes[i].next = buckets[h & (nb - 1)];
        buckets[h & (nb - 1)] = int32_t(i);
    }
}

void SQTable::Set(const SQObject& key, const SQObject& val) {
    if (Value* v = Find(key)) {
        *v = val;
        return;
    }
    if (size_t(count + 1) > buckets.size()) Rehash(buckets.empty() ? 4 : buckets.size() * 2);
    int32_t idx;
    if (freeList >= 0) {
        idx = freeList;
        freeList = nodes[size_t(idx)].next;
    } else {
        idx = int32_t(nodes.size());
        nodes.emplace_back();
    }
    Node& n = nodes[size_t(idx)];
    n.key = key;
    n.val = val;
    SQHash h = HashOf(key);
    n.next = buckets[h & (buckets.size() - 1)];
    buckets[h & (buckets.size() - 1)] = idx;
    ++count;
}

bool SQTable::Remove(const SQObject& key) {
    if (buckets.empty()) return false;
    SQHash h = HashOf(key);
    int32_t* link = &buckets[h & (buckets.size() - 1)];
    while (*link >= 0) {
        Node& n = nodes[size_t(*link)];
        if (KeyEqual(n.key, key)) {
            int32_t idx = *link;
            *link = n.next;
            n.key.Null();
            n.val.Null();
            n.next = freeList;
            freeList = idx;
            --count;
            return true;
        }
        link = &n.next;
    }
    return false;
}

int32_t SQTable::NextIndex(int32_t from) const {
    for (size_t i = size_t(from); i < nodes.size(); ++i)
        if (!nodes[i].key.IsNull()) return int32_t(i);
    return -1;
}

void SQTable::ClearAll() {
    SQVector<Node> old;
    old.swap(nodes);
    buckets.clear();
    freeList = -1;
    count = 0;
}

SQTable* SQTable::CloneTable() const {
    SQTable* t = ss ? NewObject<SQTable>(ss) : new SQTable();
    for (auto& n : nodes)
        if (!n.key.IsNull()) t->Set(n.key, n.val);
    t->delegate = delegate;
    return t;
}

void SQTable::Mark(std::vector<SQObjectBase*>& gray) {
    for (auto& n : nodes) {
        MarkValue(n.key, gray);
        MarkValue(n.val, gray);
    }
    MarkValue(delegate, gray);
}

// ---------------------------------------------------------------------------------------------
// the rest of the types

void SQArray::Mark(std::vector<SQObjectBase*>& gray) {
    for (auto& v : items)
        MarkValue(v, gray);
}

SQUserData::~SQUserData() {
    if (hook) hook(Ptr(), size);
}

void SQUserData::Mark(std::vector<SQObjectBase*>& gray) {
    MarkValue(delegate, gray);
}

SQWeakRef::~SQWeakRef() {
    if (IsRef(target._type)) target._unVal.pRefCounted->weak = nullptr;
}

void SQOuter::Mark(std::vector<SQObjectBase*>& gray) {
    MarkValue(*ptr, gray);
}

int32_t SQFunctionProto::LineAt(int32_t pc) const {
    int32_t line = lines.empty() ? 0 : lines[0].line;
    for (auto& l : lines) {
        if (l.op > pc) break;
        line = l.line;
    }
    return line;
}

void SQFunctionProto::Mark(std::vector<SQObjectBase*>& gray) {
    for (auto& v : literals)
        MarkValue(v, gray);
    for (auto& v : functions)
        MarkValue(v, gray);
    for (auto& v : defaults)
        MarkValue(v, gray);
}

void SQFunctionProto::Clear() {
    literals.clear();
    functions.clear();
    defaults.clear();
}

void SQClosure::Mark(std::vector<SQObjectBase*>& gray) {
    MarkValue(proto, gray);
    for (auto& v : outers)
        MarkValue(v, gray);
    for (auto& v : defaults)
        MarkValue(v, gray);
    MarkValue(env, gray);
    MarkValue(root, gray);
    MarkValue(base, gray);
}

void SQClosure::Clear() {
    outers.clear();
    defaults.clear();
    env.Null();
    root.Null();
    base.Null();
}

void SQNativeClosure::Mark(std::vector<SQObjectBase*>& gray) {
    for (auto& v : outers)
        MarkValue(v, gray);
    MarkValue(env, gray);
}

SQClass::SQClass() {
    members = new SQTable();
    members->refs = 1;
}

SQClass::~SQClass() {
    if (members) sqO_release(members);
}

void SQClass::InheritFrom(const Value& base) {
    SQClass* b = base.As<SQClass>();
    baseClass = base;
    sqO_release(members);
    members = b->members->CloneTable();
    members->refs++;
    defaultValues = b->defaultValues;
    methods = b->methods;
    for (int m = 0; m < MT_COUNT; ++m)
        metamethods[m] = b->metamethods[m];
    constructor = b->constructor;
    typetag = b->typetag;
    udsize = b->udsize;
    releaseHook = b->releaseHook;
}

void SQClass::Mark(std::vector<SQObjectBase*>& gray) {
    MarkValue(baseClass, gray);
    if (members) gray.push_back(members);
    for (auto& m : defaultValues)
        MarkValue(m.val, gray), MarkValue(m.attrs, gray);
    for (auto& m : methods)
        MarkValue(m.val, gray), MarkValue(m.attrs, gray);
    MarkValue(attrs, gray);
    for (auto& m : metamethods)
        MarkValue(m, gray);
    MarkValue(constructor, gray);
}

void SQClass::Clear() {
    baseClass.Null();
    defaultValues.clear();
    methods.clear();
    attrs.Null();
    for (auto& m : metamethods)
        m.Null();
    constructor.Null();
}

SQInstance::~SQInstance() {
    if (hook) hook(up, cls.IsNull() ? 0 : Class()->udsize);
}

void SQInstance::Mark(std::vector<SQObjectBase*>& gray) {
    MarkValue(cls, gray);
    for (auto& v : fields)
        MarkValue(v, gray);
}

void SQGenerator::Mark(std::vector<SQObjectBase*>& gray) {
    MarkValue(closure, gray);
    for (auto& v : stack)
        MarkValue(v, gray);
}

// ---------------------------------------------------------------------------------------------
// shared state and the cycle collector

SQSharedState::SQSharedState() {}

SQSharedState::~SQSharedState() {}

// Marks everything reachable from the roots; unreachable tracked objects form cycles (anything
// else would have been freed by its count). Breaking their references frees them.
SQInteger sqC_collectcycles(SQSharedState* ss, std::vector<SQObjectBase*> roots) {
    std::vector<SQObjectBase*> gray = std::move(roots);
    // an epoch instead of a flag: untracked objects (the main VM, class member tables) need no reset
    uint32_t epoch = ++ss->gcEpoch;
    while (!gray.empty()) {
        SQObjectBase* o = gray.back();
        gray.pop_back();
        if (o->markEpoch == epoch) continue;
        o->markEpoch = epoch;
        o->Mark(gray);
    }
    std::vector<SQObjectBase*> garbage;
    for (SQObjectBase* o = ss->gcHead.gcNext; o; o = o->gcNext)
        if (o->markEpoch != epoch) garbage.push_back(o);
    for (SQObjectBase* o : garbage)
        o->refs++; // keep them alive while breaking the cycles
    for (SQObjectBase* o : garbage)
        o->Clear();
    SQInteger n = SQInteger(garbage.size());
    for (SQObjectBase* o : garbage)
        sqO_release(o);
    return n;
}
