// State shared by a VM and its threads: interned strings, root tables, default delegates, the
// list of collectable objects.
#pragma once

#include <string_view>

#include "sqobject.h"

enum SQMetaMethod {
    MT_ADD,
    MT_SUB,
    MT_MUL,
    MT_DIV,
    MT_MODULO,
    MT_UNM,
    MT_TYPEOF,
    MT_CMP,
    MT_CALL,
    MT_CLONED,
    MT_TOSTRING,
    MT_NEXTI,
    MT_INHERITED,
    MT_NEWMEMBER,
    MT_GET,
    MT_SET,
    MT_NEWSLOT,
    MT_DELSLOT,
    MT_COUNT
};

struct SQVM;

struct SQSharedState {
    SQMemoryBudget memory;          // first, so it outlives what the other members free
    std::vector<SQString*> strings; // intern buckets
    SQInteger stringCount = 0;
    uint32_t gcEpoch = 0;
    SQObjectBase gcHead; // sentinel of the collectable list
    Value registry;
    Value constTable;
    Value apiRefs; // objects held through sq_addref, with their counts
    Value metaNames[MT_COUNT];
    Value constructorName;
    Value tableDelegate, arrayDelegate, stringDelegate, numberDelegate, closureDelegate, generatorDelegate,
        threadDelegate, classDelegate, instanceDelegate, weakrefDelegate;
    SQPRINTFUNCTION print = nullptr;
    SQPRINTFUNCTION error = nullptr;
    SQCOMPILERERROR compilerError = nullptr;
    bool debugInfo = true;
    bool notifyAll = false;
    SQUserPointer foreignPtr = nullptr;
    SQRELEASEHOOK releaseHook = nullptr;
    std::vector<char> scratch;
    SQVM* root = nullptr;
    bool closing = false;
    // Calls into the engine in progress (from the host or from natives), and whether the interrupt
    // hook stopped the script: no try block and no native may then catch the error until the
    // outermost call returns to the host.
    SQInteger entryDepth = 0;
    bool interrupted = false;
    Value outOfMemory; // the error raised past the memory limit, made before it can be refused

    SQSharedState();
    ~SQSharedState();
    SQString* Intern(std::string_view s);
    void Unintern(SQString* s);
    Value Str(std::string_view s) { return Value(OT_STRING, Intern(s)); }
    void Track(SQObjectBase* o);
    void Untrack(SQObjectBase* o);
};

// Allocation helpers: new objects start tracked and with a zero count (a Value takes them).
template <class T>
T* NewObject(SQSharedState* ss) {
    T* o = new T();
    o->ss = ss;
    ss->Track(o);
    return o;
}

SQHash HashString(std::string_view s);
