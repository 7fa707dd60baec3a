#include "MzSquirrelValue.h"
#include "ScriptTestFixture.h"

#include <chrono>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

class MzScriptCallTest : public ScriptTest {
  protected:
    MzScriptCallTest() { MzSquirrel::SetCallTimeLimit(200ms); }

    // A counted handle to root[name].
    static HSQOBJECT Global(const char* name) {
        HSQUIRRELVM vm = MzSquirrel::GetVM();
        SQInteger top = sq_gettop(vm);
        sq_pushroottable(vm);
        sq_pushstring(vm, name, -1);
        sq_get(vm, -2);
        HSQOBJECT object;
        sq_getstackobj(vm, -1, &object);
        sq_settop(vm, top);
        return object;
    }

    static std::size_t Count(const std::string& text, const std::string& part) {
        std::size_t count = 0;
        for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++count;
        return count;
    }
};

constexpr const char* kTookTooLong = "script took longer than 0.2 s: interrupted";

TEST_F(MzScriptCallTest, EndlessFilesAreInterrupted) {
    const char* scripts[] = {
        "while (true) {}",
        "function f(n) { return n <= 0 ? 0 : f(n - 1); } while (true) f(50);",
        "local a = [3, 1, 2]; a.sort(function(x, y) { while (true) {} });",
    };
    for (const char* script : scripts) {
        views.errorBox.shown.clear();
        MzSetErrorBoxView(&views.errorBox); // a fresh box each: the same text would be held back
        EXPECT_FALSE(Run(script)) << script;
        EXPECT_EQ(Count(Log(), kTookTooLong), 1u) << script << "\n" << Log();
        EXPECT_EQ(views.errorBox.shown.size(), 1u) << script;
        EXPECT_TRUE(Run("ok <- 1;")) << "the next run starts with a fresh limit";
        views.log.text.clear();
    }
}

TEST_F(MzScriptCallTest, AnEndlessCallbackIsInterruptedAndTheNextCallRuns) {
    ASSERT_TRUE(Run("env <- {}; calls <- 0;"
                    "function spin() { ::calls++; while (::calls == 1) {} ::done <- true; }"));
    MzSquirrelFunction function(Global("env"), Global("spin"));
    function.Call(nullptr, 0);
    EXPECT_NE(Log().find(kTookTooLong), std::string::npos) << Log();
    EXPECT_NE(Log().find("関数の実行に失敗しました(interrupted)"), std::string::npos) << Log();
    function.Call(nullptr, 0);
    EXPECT_EQ(MzSquirrel::GetInt("calls"), 2);
    EXPECT_EQ(Count(Log(), kTookTooLong), 1u) << Log();
    function.Release();
}

// Long native calls (model imports) are not script time: only the interpreter's own time counts.
SQInteger SlowNative(HSQUIRRELVM) {
    std::this_thread::sleep_for(120ms);
    return 0;
}

TEST_F(MzScriptCallTest, TimeInNativeCallsDoesNotCount) {
    MzSquirrel::RegisterFunction("slow", &SlowNative, 1, nullptr);
    EXPECT_TRUE(Run("for (local i = 0; i < 3; i++) { slow(); for (local j = 0; j < 3000; j++) {} }"));
    EXPECT_EQ(Log().find("interrupted"), std::string::npos) << Log();
}

TEST_F(MzScriptCallTest, InterruptAllEndsARunningScriptWithoutAnErrorBox) {
    MzSquirrel::SetCallTimeLimit(MzSquirrel::kCallTimeLimit);
    std::thread stopper([] {
        std::this_thread::sleep_for(100ms);
        MzSquirrel::InterruptAll();
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Run("while (true) {}"));
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_TRUE(views.errorBox.shown.empty());
    EXPECT_FALSE(Run("for (local i = 0; i < 5000; i++) {}")) << "every later call is interrupted too";
}

} // namespace
