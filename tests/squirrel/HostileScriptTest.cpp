// Scripts that try to crash, wedge or exhaust the engine: deep calls nested inside calls made
// from native code (the frame storage grows under a running call), runaway scripts stopped by
// the interrupt hook wherever they run, and scripts allocating past the memory limit.
#include "SquirrelTestVM.h"

#include <string>

namespace {

// host(fn, args...): calls fn(args...) through the C API, as a host's callback does.
SQInteger Host(HSQUIRRELVM v) {
    const SQInteger nargs = sq_gettop(v) - 1;
    sq_push(v, 2);
    sq_pushroottable(v);
    for (SQInteger i = 3; i <= nargs + 1; ++i)
        sq_push(v, i);
    if (SQ_FAILED(sq_call(v, nargs, SQTrue, SQFalse))) return SQ_ERROR;
    return 1;
}

constexpr char kPrelude[] = R"(
function Deep(n) { return n <= 0 ? 0 : 1 + Deep(n - 1) }
function HostDeep(n) { return n <= 0 ? 0 : 1 + host(HostDeep, n - 1) }
)";

class HostileScriptTest : public SquirrelTestVM {
  protected:
    void SetUp() override {
        SquirrelTestVM::SetUp();
        sq_pushroottable(v_);
        sq_pushstring(v_, "host", -1);
        sq_newclosure(v_, Host, 0);
        sq_newslot(v_, -3, SQFalse);
        sq_pop(v_, 1);
        ASSERT_TRUE(Run(kPrelude));
    }
};

struct ReentryCase {
    const char* name;
    const char* script;
    const char* output;
};

// Each case nests calls deep enough that the call frames outgrow their first storage while an
// outer call made from native code is still running.
const ReentryCase kReentryCases[] = {
    {"sort comparator", R"nut(
local a = [5, 3, 9, 1, 7, 2, 8]
a.sort(function(x, y) { Deep(5000); return x <=> y })
print(a[0] + " " + a[6]))nut",
     "1 9"},
    {"comparator calling through the host",
     R"nut(local a = [3, 1, 2]
a.sort(function(x, y) { return host(function(p, q) { HostDeep(30); return p <=> q }, x, y) })
print(a[0] + " " + a[2]))nut",
     "1 3"},
    {"metamethods", R"nut(
class V {
  x = 0
  constructor(v) { x = v }
  function _add(o) { ::Deep(3000); return V(x + o.x) }
  function _cmp(o) { ::HostDeep(10); return x <=> o.x }
  function _tostring() { return "V" + ::Deep(300) }
}
class G { function _get(k) { return ::Deep(2000) } }
local l = [V(3), V(1), V(2)]
l.sort()
local s = V(1) + V(2)
print(l[0].x + " " + s.x + " " + G().missing + " " + s))nut",
     "1 3 2000 V300"},
    {"call, acall and pcall", R"nut(
function F(n) { return n <= 0 ? 0 : 1 + F.call(this, n - 1) }
function G(n) { return n <= 0 ? 0 : 1 + G.acall([this, n - 1]) }
function H(n) { return n <= 0 ? 0 : 1 + H.pcall(this, n - 1) }
print(F(40) + G(40) + H(40) + Deep(20000)))nut",
     "20120"},
    {"generator", R"nut(
function Gen(n) { for (local i = 0; i < n; i++) { Deep(4000); yield i } }
local s = 0
foreach (v in Gen(5)) s += v + HostDeep(30)
print(s))nut",
     "160"},
    {"thread", R"nut(
local t = newthread(function(n) { local r = Deep(n); suspend(r); return HostDeep(40) })
print(t.call(6000) + t.wakeup()))nut",
     "6040"},
    {"compiled string", R"nut(
print(compilestring("return Deep(8000) + HostDeep(40)")())
local a = compilestring("local a = [3, 1, 2]; a.sort(function(x, y) { Deep(3000); return x <=> y }); return a")()
print(" " + a[0]))nut",
     "8040 1"},
    {"errors thrown deep", R"nut(
function Boom(n) { if (n == 0) throw "deep"; return Boom(n - 1) }
try { [2, 1].sort(function(x, y) { return Boom(5000) }) } catch (e) { print(e) }
try { host(Boom, 3000) } catch (e) { print(" " + e) }
function R(n) { return host(R, n + 1) }
try { R(0) } catch (e) { print(" " + e) }
function Forever(n) { return Forever(n + 1) + 1 }
try { [1, 2].sort(function(x, y) { return Forever(0) }) } catch (e) { print(" " + e) })nut",
     "deep deep Native stack overflow stack overflow"},
    {"debug hook", R"nut(
local calls = 0
setdebughook(function(type, source, line, name) { if (type == 'c') calls++ })
[3, 1, 2].sort(function(x, y) { Deep(200); return x <=> y })
setdebughook(null)
print(calls > 600))nut",
     "true"},
};

TEST_F(HostileScriptTest, DeepCallsInsideNativeCallsRunCleanly) {
    for (const ReentryCase& c : kReentryCases) {
        SCOPED_TRACE(c.name);
        g_output.clear();
        EXPECT_TRUE(Run(c.script)) << LastError();
        EXPECT_EQ(g_output, c.output);
    }
}

int g_hookCalls = 0;

// Stops the script once, at its 50th call: the interruption must hold without further help.
SQRESULT StopOnce(HSQUIRRELVM) {
    return ++g_hookCalls == 50 ? SQ_ERROR : SQ_OK;
}

TEST_F(HostileScriptTest, InterruptStopsRunawayScriptsWhereverTheyRun) {
    const char* const runaways[] = {
        "while (true) {}",
        "while (true) try { while (true) {} } catch (e) {}",
        "[2, 1].sort(function(x, y) { while (true) {} })",
        "class C { function _cmp(o) { while (true) {} } } [C(), C()].sort()",
        "function F() { while (true) {} } while (true) { F.pcall(this); try { F.call(this) } catch (e) {} }",
        "function G() { while (true) yield 1 } foreach (v in G()) {}",
        "local t = newthread(function() { while (true) try { while (true) {} } catch (e) {} }); t.call()",
        "function F() { while (true) {} } while (true) try { host(F) } catch (e) {}",
        "function R() { try { R() } catch (e) {} while (true) {} } R()",
    };
    sq_setinterrupthook(v_, StopOnce, 1000);
    for (const char* script : runaways) {
        SCOPED_TRACE(script);
        g_hookCalls = 0;
        EXPECT_FALSE(Run(script));
        EXPECT_EQ(LastError(), "interrupted");
        // the next call runs normally
        g_output.clear();
        EXPECT_TRUE(Run("try { throw \"caught\" } catch (e) { print(e) }")) << LastError();
        EXPECT_EQ(g_output, "caught");
    }
}

TEST_F(HostileScriptTest, AllocationsPastTheMemoryLimitRaiseOutOfMemory) {
    const char* const hogs[] = {
        "local a = []; while (true) a.push(array(100000))",
        "local s = \"x\"; while (true) s += s",
        "local t = {}; for (local i = 0; ; i++) t[i] <- [i]",
        "class C { a = null; constructor() { a = array(1000) } } local l = []; while (true) l.append(C())",
        "local a = [1]; while (true) a.extend(a)",
    };
    sq_setmemorylimit(v_, 8 << 20);
    const SQUnsignedInteger before = sq_getmemoryusage(v_);
    for (const char* script : hogs) {
        SCOPED_TRACE(script);
        EXPECT_FALSE(Run(script));
        EXPECT_EQ(LastError(), "out of memory");
        sq_collectgarbage(v_);
        EXPECT_LT(sq_getmemoryusage(v_), before + (1 << 20)); // all given back
        // a script can catch it like any other error and go on
        g_output.clear();
        EXPECT_TRUE(Run(std::string("try { ") + script + " } catch (e) { print(e) }")) << LastError();
        EXPECT_EQ(g_output, "out of memory");
    }
}

} // namespace
