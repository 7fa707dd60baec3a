#include "MzActorManager.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using Events = std::vector<std::string>;

// Records what happens to it in a shared event list; `onUpdate` lets a test act from inside Update.
class TestActor : public MzActor {
  public:
    TestActor(std::string name, Events& events) : m_name(std::move(name)), m_events(events) {}
    ~TestActor() override { m_events.push_back("delete " + m_name); }
    void OnCreate() override { m_events.push_back("create " + m_name + " " + std::to_string(id)); }
    void Update() override {
        m_events.push_back("update " + m_name);
        if (onUpdate) onUpdate();
    }
    void OnRemove() override { m_events.push_back("remove " + m_name); }

    std::function<void()> onUpdate;

  private:
    std::string m_name;
    Events& m_events;
};

// The three kinds of the system with their registration values.
struct Kind {
    std::uint8_t order;
    std::uint8_t subOrder;
    bool runWhilePaused;
};
constexpr Kind kCamera{30, 128, true};
constexpr Kind kUserInterface{60, 0, true};
constexpr Kind kMascot{60, 128, false};

class MzActorManagerTest : public testing::Test {
  protected:
    ~MzActorManagerTest() override { g_paused = false; }

    TestActor* Add(const std::string& name, Kind kind) {
        auto* actor = new TestActor(name, events);
        manager.Register(actor, kind.order, kind.subOrder, kind.runWhilePaused);
        return actor;
    }
    // The events of one Update.
    Events Frame(std::int32_t ms = 16) {
        events.clear();
        manager.Update(ms);
        return events;
    }

    Events events;
    MzActorManager manager;
};

TEST_F(MzActorManagerTest, FirstManagerIsCurrentUntilDestroyed) {
    EXPECT_EQ(g_actorManager, &manager);
    {
        MzActorManager second;
        EXPECT_EQ(g_actorManager, &manager);
    }
    EXPECT_EQ(g_actorManager, &manager);
}

TEST_F(MzActorManagerTest, IdsCountFromOneAndSkipZeroOnWrap) {
    TestActor* a = Add("a", kMascot);
    TestActor* b = Add("b", kMascot);
    EXPECT_EQ(a->id, 1);
    EXPECT_EQ(b->id, 2);
    EXPECT_EQ(events, (Events{"create a 1", "create b 2"}));
    EXPECT_EQ(a->flags, MzActor::kOwned | MzActor::kInActorList | MzActor::kNeedsPlacing);

    struct Case {
        std::int32_t id, next;
    };
    for (Case c : {Case{1, 2}, Case{2147483647, -2147483647 - 1}, Case{-2, -1}, Case{-1, 1}})
        EXPECT_EQ(MzActorManager::IdAfter(c.id), c.next) << c.id;
}

TEST_F(MzActorManagerTest, NewActorIsFirstUpdatedInTheSecondFrame) {
    Add("a", kMascot);
    EXPECT_EQ(Frame(), Events{});
    EXPECT_EQ(Frame(), Events{"update a"});
}

TEST_F(MzActorManagerTest, UpdatesCameraThenUserInterfaceThenMascotsInCreationOrder) {
    Add("mascot1", kMascot);
    Add("mascot2", kMascot);
    Add("ui", kUserInterface);
    Add("camera", kCamera);
    Frame();
    EXPECT_EQ(Frame(), (Events{"update camera", "update ui", "update mascot1", "update mascot2"}));
    Add("mascot3", kMascot);
    Frame();
    EXPECT_EQ(Frame(),
              (Events{"update camera", "update ui", "update mascot1", "update mascot2", "update mascot3"}));
}

TEST_F(MzActorManagerTest, ActorCreatedDuringUpdateWaitsForTheNextFrame) {
    TestActor* a = Add("a", kMascot);
    Frame();
    a->onUpdate = [&] {
        a->onUpdate = nullptr;
        Add("late", kCamera);
    };
    EXPECT_EQ(Frame(), (Events{"update a", "create late 2"}));
    EXPECT_EQ(Frame(), (Events{"update late", "update a"}));
}

TEST_F(MzActorManagerTest, SelfKillIsFoundUntilTheEndOfThatUpdate) {
    TestActor* a = Add("a", kMascot);
    TestActor* b = Add("b", kMascot);
    Frame();
    bool foundLater = false;
    a->onUpdate = [&] { a->Kill(); };
    b->onUpdate = [&] { foundLater = manager.Find(1) != nullptr; };
    EXPECT_EQ(Frame(), (Events{"update a", "update b", "remove a", "delete a"}));
    EXPECT_TRUE(foundLater);
    EXPECT_EQ(manager.Find(1), nullptr);
    EXPECT_EQ(manager.Find(2), b);
    EXPECT_EQ(Frame(), Events{"update b"});
}

TEST_F(MzActorManagerTest, ActorKilledDuringUpdateIsStillUpdatedLaterInThatPass) {
    TestActor* a = Add("a", kMascot);
    TestActor* b = Add("b", kMascot);
    Frame();
    a->onUpdate = [&] { b->Kill(); };
    EXPECT_EQ(Frame(), (Events{"update a", "update b", "remove b", "delete b"}));
}

TEST_F(MzActorManagerTest, DoubleKillRemovesOnce) {
    TestActor* a = Add("a", kMascot);
    a->Kill();
    a->Kill();
    EXPECT_EQ(Frame(), (Events{"remove a", "delete a"}));
    EXPECT_EQ(Frame(), Events{});
}

TEST_F(MzActorManagerTest, PauseUpdatesOnlyActorsThatRunWhilePaused) {
    Add("mascot", kMascot);
    Add("ui", kUserInterface);
    Add("camera", kCamera);
    Frame();
    g_paused = true;
    EXPECT_EQ(Frame(), (Events{"update camera", "update ui"}));
    g_paused = false;
    EXPECT_EQ(Frame(), (Events{"update camera", "update ui", "update mascot"}));
}

TEST_F(MzActorManagerTest, UpdateKeepsTheFrameTime) {
    g_frameElapsedMs = 0;
    Frame(33);
    EXPECT_EQ(g_frameElapsedMs, 33);
}

TEST_F(MzActorManagerTest, KillingAParentRemovesItsChildrenFirst) {
    TestActor* parent = Add("parent", kMascot);
    TestActor* child1 = Add("child1", kMascot);
    TestActor* child2 = Add("child2", kMascot);
    TestActor* grandchild = Add("grandchild", kMascot);
    Add("other", kMascot);
    parent->AddChild(child1);
    parent->AddChild(child2);
    child1->AddChild(grandchild);
    Frame();
    parent->Kill();
    child2->Kill();
    Frame();
    EXPECT_EQ(events,
              (Events{"update parent", "update child1", "update child2", "update grandchild", "update other",
                      "remove grandchild", "delete grandchild", "remove child1", "delete child1",
                      "remove child2", "delete child2", "remove parent", "delete parent"}));
    EXPECT_EQ(Frame(), Events{"update other"});
}

TEST_F(MzActorManagerTest, KillAllRemovesEveryActorAtOnce) {
    Add("a", kMascot);
    Add("b", kCamera);
    events.clear();
    manager.KillAll();
    EXPECT_EQ(events, (Events{"remove a", "delete a", "remove b", "delete b"}));
    EXPECT_EQ(manager.Find(1), nullptr);
    EXPECT_EQ(Frame(), Events{});
}

TEST(MzActorManager, DestructionDeletesRemainingActors) {
    Events events;
    {
        MzActorManager manager;
        manager.Register(new TestActor("a", events), 60, 128, false);
    }
    EXPECT_EQ(events, (Events{"create a 1", "remove a", "delete a"}));
    EXPECT_EQ(g_actorManager, nullptr);
}

} // namespace
