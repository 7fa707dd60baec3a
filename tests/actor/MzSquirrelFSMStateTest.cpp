#include "MzSquirrelFSMState.h"
#include "ScriptTestFixture.h"

#include <string>

namespace {

// Drives its machine the way a mascot does: one script state reused for every state object, with a
// fresh owner object (standing in for a cpp_Mascot instance) at each change.
struct FakeMascot {
    void ChangeState(const HSQOBJECT& stateObject) {
        if (machine.RunningState() != nullptr && machine.RunningState() != &state) return;
        machine.EndState();
        state.stateObject = MzSquirrelValue(stateObject);
        state.ownerInstance = NewOwner();
        machine.ChangeState(&state);
    }
    static MzSquirrelValue NewOwner() {
        HSQUIRRELVM vm = MzSquirrel::GetVM();
        sq_newtable(vm);
        sq_pushstring(vm, "id", -1);
        sq_pushinteger(vm, 7);
        sq_newslot(vm, -3, SQFalse);
        HSQOBJECT owner;
        sq_getstackobj(vm, -1, &owner);
        MzSquirrelValue value(owner);
        sq_poptop(vm);
        return value;
    }

    // The state outlives the machine, whose destruction ends it.
    MzSquirrelFSMState<FakeMascot*> state;
    MzFSMManager<FakeMascot*> machine{this};
};

FakeMascot* g_mascot = nullptr;

SQInteger ChangeStateNative(HSQUIRRELVM vm) {
    HSQOBJECT stateObject;
    sq_getstackobj(vm, 2, &stateObject);
    g_mascot->ChangeState(stateObject);
    return 0;
}

class MzSquirrelFSMStateTest : public ScriptTest {
  protected:
    MzSquirrelFSMStateTest() {
        g_mascot = &mascot;
        MzSquirrel::RegisterFunction("changeState", ChangeStateNative, 2, nullptr);
    }
    ~MzSquirrelFSMStateTest() override { g_mascot = nullptr; }

    // Runs `source`, then makes `state` (a script expression) the mascot's state.
    void Start(const std::string& source, const std::string& state) {
        ASSERT_TRUE(Run("events <- \"\";\n" + source + "\nchangeState(" + state + ");"));
    }
    std::string Events() { return MzSquirrel::GetString("events", "?"); }

    FakeMascot mascot;
};

constexpr const char* kTwoStates = R"(
class A {
    function Start(m) { ::events += "A.start" + m.id + ";"; }
    function Loop(m) { ::events += "A.loop;"; if (::leave) changeState(B()); ::events += "A.loopEnd;"; }
    function End(m) { ::events += "A.end" + m.id + ";"; }
}
class B {
    function Start(m) { ::events += "B.start" + m.id + ";"; }
    function Loop(m) { ::events += "B.loop;"; }
    function End(m) { ::events += "B.end;"; }
}
leave <- false;
)";

TEST_F(MzSquirrelFSMStateTest, ChangingStateEndsTheOldBeforeStartingTheNew) {
    Start(kTwoStates, "A()");
    ASSERT_TRUE(Run("changeState(B());"));
    EXPECT_EQ(Events(), "A.start7;A.end7;B.start7;");
    EXPECT_EQ(Log(), "");
}

TEST_F(MzSquirrelFSMStateTest, ChangeFromInsideLoopStartsTheNewStateInThatCall) {
    Start(kTwoStates, "A()");
    mascot.machine.Loop();
    ASSERT_TRUE(Run("leave = true;"));
    mascot.machine.Loop();
    mascot.machine.Loop();
    EXPECT_EQ(Events(), "A.start7;A.loop;A.loopEnd;A.loop;A.end7;B.start7;A.loopEnd;B.loop;");
}

TEST_F(MzSquirrelFSMStateTest, LoopResultFollowsTheReturnedValue) {
    struct Case {
        const char* body;
        std::int32_t result;
    };
    const Case cases[] = {
        {"return false;", 0}, {"return true;", 1},  {"return 7;", 7},
        {"return -3;", -3},   {"return \"s\";", 1}, {"", 1},
        {"return 2.5;", 1},   {"throw \"x\";", 1},
    };
    for (const Case& c : cases) {
        Start(std::string("class S { function Loop(m) { ") + c.body + " } }", "S()");
        EXPECT_EQ(mascot.state.Loop(&mascot, 0), c.result) << c.body;
    }
}

TEST_F(MzSquirrelFSMStateTest, NullMembersAreSkippedAndMissingOnesReported) {
    Start("class OnlyLoop { Start = null; End = null; function Loop(m) { ::events += \"loop;\"; } }",
          "OnlyLoop()");
    mascot.machine.Loop();
    mascot.machine.EndState();
    EXPECT_EQ(Events(), "loop;");
    EXPECT_EQ(Log(), "");

    Start("class NoEnd { function Start(m) {} Loop = 3; }", "NoEnd()");
    mascot.machine.Loop();
    mascot.machine.EndState();
    EXPECT_EQ(Log(), "----\r\nLoopが関数ではありません。\r\n\r\n----\r\nEndが関数ではありません。\r\n\r\n");
}

TEST_F(MzSquirrelFSMStateTest, NativeFunctionMemberIsNoStateFunction) {
    Start("class N { Start = print; }", "N()");
    EXPECT_EQ(Log(), "----\r\nStartが関数ではありません。\r\n\r\n");
}

TEST_F(MzSquirrelFSMStateTest, ScriptErrorInStartIsReportedAndTheStateStays) {
    Start(
        "class E { function Start(m) { throw \"bad start\"; } function Loop(m) { ::events += \"loop;\"; } }",
        "E()");
    EXPECT_NE(Log().find("----\r\nState / Start()関数の実行に失敗しました(bad start)\r\n"), std::string::npos)
        << Log();
    EXPECT_EQ(mascot.machine.Current(), &mascot.state);
    SQInteger top = Top();
    mascot.machine.Loop();
    EXPECT_EQ(Top(), top);
    EXPECT_EQ(Events(), "loop;");
}

TEST_F(MzSquirrelFSMStateTest, StateFunctionsReceiveTheStateAsThis) {
    Start("class T { name = \"t\"; function Start(m) { ::events += this.name; } }", "T()");
    EXPECT_EQ(Events(), "t");
}

} // namespace
