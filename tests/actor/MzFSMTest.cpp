#include "MzFSM.h"
#include "FakeReportViews.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using Events = std::vector<std::string>;
struct Owner {
    Events events;
};

class TestState : public MzFSMState<Owner*> {
  public:
    explicit TestState(std::string name, std::int32_t result = 1)
        : m_name(std::move(name)), m_result(result) {}
    void Start(Owner* owner) override {
        owner->events.push_back("start " + m_name);
        if (onStart) onStart();
    }
    void End(Owner* owner) override { owner->events.push_back("end " + m_name); }
    std::int32_t Loop(Owner* owner, std::int32_t childResult) override {
        owner->events.push_back("loop " + m_name + " " + std::to_string(childResult));
        if (onLoop) onLoop();
        return m_result;
    }

    std::function<void()> onStart;
    std::function<void()> onLoop;

  private:
    std::string m_name;
    std::int32_t m_result;
};

class MzFSMTest : public testing::Test {
  protected:
    Owner owner;
    MzFSMManager<Owner*> machine{&owner};
};

TEST_F(MzFSMTest, BaseStateDoesNothingAndLoopsOne) {
    MzFSMState<Owner*> state;
    EXPECT_EQ(state.Loop(&owner, 5), 1);
    machine.ChangeState(&state);
    machine.Loop();
    EXPECT_EQ(machine.Current(), &state);
}

TEST_F(MzFSMTest, ChangingStateEndsTheOldOneBeforeStartingTheNew) {
    TestState a("a"), b("b");
    machine.Loop();
    machine.ChangeState(&a);
    machine.Loop();
    machine.ChangeState(&b);
    EXPECT_EQ(owner.events, (Events{"start a", "loop a 0", "end a", "start b"}));
    EXPECT_EQ(a.manager, nullptr);
    EXPECT_EQ(b.manager, &machine);
    EXPECT_EQ(machine.RunningState(), nullptr);
}

TEST_F(MzFSMTest, StateCanRestartItselfFromItsLoopButNotBeReplaced) {
    TestState a("a"), b("b");
    machine.ChangeState(&a);
    a.onLoop = [&] {
        machine.ChangeState(&b);
        machine.ChangeState(&a);
    };
    machine.Loop();
    EXPECT_EQ(owner.events, (Events{"start a", "loop a 0", "end a", "start a"}));
    EXPECT_EQ(machine.Current(), &a);
    EXPECT_EQ(b.manager, nullptr);
}

TEST_F(MzFSMTest, ChildChainLoopsAndEndsFromTheDeepestState) {
    TestState top("top"), child("child", 7), grandchild("grandchild", 0);
    top.child = &child;
    child.child = &grandchild;
    machine.ChangeState(&top);
    machine.Loop();
    machine.EndState();
    EXPECT_EQ(owner.events, (Events{"start top", "loop grandchild 0", "loop child 0", "loop top 7",
                                    "end grandchild", "end child", "end top"}));
    EXPECT_EQ(machine.Current(), nullptr);
}

TEST_F(MzFSMTest, StateInTwoMachinesIsReportedAndMoves) {
    ScopedReportViews views;
    TestState shared("shared");
    MzFSMManager<Owner*> other(&owner);
    other.ChangeState(&shared);
    machine.ChangeState(&shared);
    ASSERT_EQ(views.errorBox.shown.size(), 1u);
    EXPECT_EQ(views.errorBox.shown[0],
              "ERROR : １つのMzFSMStateインスタンスを複数のMzFSMManagerに設定することはできません。");
    EXPECT_EQ(shared.manager, &machine);
    EXPECT_EQ(other.Current(), nullptr);
    EXPECT_EQ(views.Flushed(), "");
}

TEST_F(MzFSMTest, DestroyedStateLeavesTheMachine) {
    {
        TestState a("a");
        machine.ChangeState(&a);
    }
    EXPECT_EQ(machine.Current(), nullptr);
    machine.Loop();
    EXPECT_EQ(owner.events, (Events{"start a"}));
}

TEST(MzFSM, DestructionEndsTheCurrentState) {
    Owner owner;
    TestState a("a");
    {
        MzFSMManager<Owner*> machine(&owner);
        machine.ChangeState(&a);
    }
    EXPECT_EQ(owner.events, (Events{"start a", "end a"}));
    EXPECT_EQ(a.manager, nullptr);
}

} // namespace
