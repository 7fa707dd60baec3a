// The engine through its public API: stack behaviour, classes with type tags and user pointers,
// the cycle collector and release hooks, the interrupt hook and bounded recursion.
#include "SquirrelTestVM.h"

#include <cstring>
#include <string>

namespace {

using ApiTest = SquirrelTestVM;

SQInteger NativeAdd(HSQUIRRELVM v) {
    SQInteger a = 0, b = 0;
    sq_getinteger(v, 2, &a);
    sq_getinteger(v, 3, &b);
    sq_pushinteger(v, a + b);
    return 1;
}

TEST_F(ApiTest, CallsLeaveTheStackAsDocumented) {
    sq_pushroottable(v_);
    sq_pushstring(v_, "add", -1);
    sq_newclosure(v_, NativeAdd, 0);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_setparamscheck(v_, 3, ".ii")));
    ASSERT_TRUE(SQ_SUCCEEDED(sq_newslot(v_, -3, SQFalse)));
    EXPECT_EQ(sq_gettop(v_), 1);

    sq_pushstring(v_, "add", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v_, -2)));
    sq_pushroottable(v_);
    sq_pushinteger(v_, 2);
    sq_pushinteger(v_, 40);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v_, 3, SQTrue, SQFalse)));
    EXPECT_EQ(sq_gettop(v_), 3); // root, closure, result
    SQInteger r = 0;
    sq_getinteger(v_, -1, &r);
    EXPECT_EQ(r, 42);
    sq_pop(v_, 2);

    // a type mismatch fails the call and leaves only the closure
    sq_pushstring(v_, "add", -1);
    sq_get(v_, -2);
    sq_pushroottable(v_);
    sq_pushstring(v_, "x", -1);
    sq_pushinteger(v_, 1);
    EXPECT_TRUE(SQ_FAILED(sq_call(v_, 3, SQTrue, SQFalse)));
    EXPECT_EQ(sq_gettop(v_), 2);
    EXPECT_EQ(LastError(), "parameter 1 has an invalid type 'string' ; expected: 'integer'");
}

TEST_F(ApiTest, TablesArraysAndIteration) {
    sq_newtable(v_);
    for (int i = 0; i < 3; ++i) {
        sq_pushinteger(v_, i);
        sq_pushinteger(v_, i * 10);
        sq_newslot(v_, -3, SQFalse);
    }
    EXPECT_EQ(sq_getsize(v_, -1), 3);
    SQInteger sum = 0;
    sq_pushnull(v_);
    while (SQ_SUCCEEDED(sq_next(v_, -2))) {
        SQInteger value = 0;
        sq_getinteger(v_, -1, &value);
        sum += value;
        sq_pop(v_, 2);
    }
    sq_pop(v_, 1);
    EXPECT_EQ(sum, 30);
    sq_newarray(v_, 0);
    sq_pushstring(v_, "a", -1);
    sq_arrayappend(v_, -2);
    EXPECT_EQ(sq_getsize(v_, -1), 1);
    sq_pop(v_, 2);
    EXPECT_EQ(sq_gettop(v_), 0);
}

SQInteger g_released = 0;
SQInteger CountRelease(SQUserPointer, SQInteger) {
    ++g_released;
    return 0;
}

int g_tag = 0;

TEST_F(ApiTest, ClassesCarryTypeTagsAndInstancesUserPointers) {
    sq_newclass(v_, SQFalse);
    sq_settypetag(v_, -1, &g_tag);
    sq_setreleasehook(v_, -1, CountRelease);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_createinstance(v_, -1)));
    int payload = 7;
    sq_setinstanceup(v_, -1, &payload);
    SQUserPointer up = nullptr;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getinstanceup(v_, -1, &up, &g_tag, SQFalse)));
    EXPECT_EQ(up, &payload);
    int otherTag = 0;
    EXPECT_TRUE(SQ_FAILED(sq_getinstanceup(v_, -1, &up, &otherTag, SQFalse)));
    SQUserPointer tag = nullptr;
    sq_gettypetag(v_, -1, &tag);
    EXPECT_EQ(tag, &g_tag);
    sq_getclass(v_, -1);
    EXPECT_EQ(sq_gettype(v_, -1), OT_CLASS);
    sq_pop(v_, 1);
    g_released = 0;
    sq_pop(v_, 1); // the instance dies with its last reference
    EXPECT_EQ(g_released, 1);
    sq_pop(v_, 1);
}

TEST_F(ApiTest, ScriptSubclassesInheritTagAndReleaseHook) {
    sq_pushroottable(v_);
    sq_pushstring(v_, "Native", -1);
    sq_newclass(v_, SQFalse);
    sq_settypetag(v_, -1, &g_tag);
    sq_setreleasehook(v_, -1, CountRelease);
    sq_newslot(v_, -3, SQFalse);
    sq_pop(v_, 1);
    g_released = 0;
    EXPECT_TRUE(Run("class Derived extends Native {}\n"
                    "local d = Derived()\n"
                    "d = null"));
    EXPECT_EQ(g_released, 1);
}

TEST_F(ApiTest, CollectorFreesCyclesAndRunsReleaseHooks) {
    EXPECT_TRUE(Run("local a = {}, b = {}; a.b <- b; b.a <- a; local w = a.weakref(); a = null; b = null\n"
                    "if (collectgarbage() < 2) throw \"nothing freed\"\n"
                    "if (w.ref() != null) throw \"cycle survived\""));

    g_released = 0;
    SQUserPointer p = sq_newuserdata(v_, 16);
    ASSERT_NE(p, nullptr);
    sq_setreleasehook(v_, -1, CountRelease);
    HSQOBJECT held;
    sq_getstackobj(v_, -1, &held);
    sq_addref(v_, &held);
    sq_pop(v_, 1);
    sq_collectgarbage(v_);
    EXPECT_EQ(g_released, 0); // held by the API reference
    sq_release(v_, &held);
    EXPECT_EQ(g_released, 1);
}

SQInteger g_interrupts = 0;
SQRESULT StopAfterThree(HSQUIRRELVM) {
    return ++g_interrupts >= 3 ? SQ_ERROR : SQ_OK;
}

TEST_F(ApiTest, InterruptHookStopsRunawayScripts) {
    g_interrupts = 0;
    sq_setinterrupthook(v_, StopAfterThree, 1000);
    EXPECT_FALSE(Run("while (true) {}"));
    EXPECT_EQ(LastError(), "interrupted");
    sq_setinterrupthook(v_, nullptr, 0);
    EXPECT_TRUE(Run("local n = 0; for (local i = 0; i < 10000; i++) n += i"));
}

std::string g_events;
void RecordEvent(HSQUIRRELVM, SQInteger type, const SQChar*, SQInteger line, const SQChar* name) {
    g_events += std::string(1, char(type)) + std::to_string(line) + (name ? name : "?") + " ";
}

TEST_F(ApiTest, DebugHooksHearCallsLinesAndReturns) {
    const char* script = "function add(a, b) {\n"
                         "    local c = a + b\n"
                         "    return c\n"
                         "}\n"
                         "local x = add(1, 2)\n";
    g_events.clear();
    sq_setnativedebughook(v_, RecordEvent);
    EXPECT_TRUE(Run(script));
    sq_setnativedebughook(v_, nullptr);
    EXPECT_NE(g_events.find("c2add l2add l3add r3add "), std::string::npos) << g_events;

    // A script hook replaces the native one and runs without hearing itself.
    g_events.clear();
    sq_setnativedebughook(v_, RecordEvent);
    EXPECT_TRUE(
        Run("::events <- []\n"
            "setdebughook(function(type, src, line, name) { ::events.append(type.tochar() + line) })\n"
            "local y = 1\n"
            "setdebughook(null)\n"
            "print(::events.len() > 0 && ::events.find(\"l3\") != null)"));
    EXPECT_EQ(g_output, "true");
    EXPECT_EQ(g_events.find("l3"), std::string::npos) << g_events;
}

TEST_F(ApiTest, RecursionIsBoundedWithAScriptError) {
    EXPECT_FALSE(Run("function f(n) { return f(n + 1) + 1 } f(0)"));
    EXPECT_EQ(LastError(), "stack overflow");
    EXPECT_FALSE(Run("function g(n) { return g.pcall(this, n) } g(0)"));
    EXPECT_EQ(LastError(), "Native stack overflow");
    EXPECT_TRUE(
        Run("function h(n) { return n == 0 ? 0 : 1 + h(n - 1) } if (h(5000) != 5000) throw \"wrong\""));
}

TEST_F(ApiTest, CompileErrorsReportLineAndColumn) {
    struct Seen {
        std::string desc;
        SQInteger line = 0, column = 0;
    };
    static Seen seen;
    sq_setcompilererrorhandler(
        v_, [](HSQUIRRELVM, const SQChar* desc, const SQChar*, SQInteger line, SQInteger column) {
            seen = {desc, line, column};
        });
    const char* src = "local a = 1\nlocal b = a + * 2\n";
    EXPECT_TRUE(SQ_FAILED(sq_compilebuffer(v_, src, SQInteger(std::strlen(src)), "buf", SQTrue)));
    EXPECT_EQ(seen.desc, "expression expected");
    EXPECT_EQ(seen.line, 2);
    EXPECT_EQ(seen.column, 16);
}

} // namespace
