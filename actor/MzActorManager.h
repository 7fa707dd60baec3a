// Owns every actor, hands out their ids and updates them once per frame in (order, subOrder) order.
#pragma once

#include "MzActor.h"

#include <atomic>
#include <cstdint>
#include <vector>

class MzActorManager {
  public:
    // The first manager constructed becomes g_actorManager.
    MzActorManager();
    MzActorManager(const MzActorManager&) = delete;
    MzActorManager& operator=(const MzActorManager&) = delete;
    virtual ~MzActorManager();

    // Takes ownership of `actor`, gives it the next id and calls its OnCreate; it is placed into the
    // update order at the end of the next Update and updated from the one after.
    std::int32_t Register(MzActor* actor, std::uint8_t order, std::uint8_t subOrder, bool runWhilePaused);

    // The actor with `id`, or null when none was issued or it has been removed.
    MzActor* Find(std::int32_t id) const;

    // One frame of `ms` milliseconds: updates the actors, then places new ones and removes killed ones.
    void Update(std::int32_t ms);

    // Removes and deletes every actor at once.
    void KillAll();

    // Ids count up from 1 through the whole 32-bit range and skip 0 when they wrap.
    static std::int32_t IdAfter(std::int32_t id);

  private:
    void UpdatePass();
    void HousekeepingPass();
    void RemovalPass();
    void Place(MzActor* actor);
    void QueueRemoval(MzActor* actor);
    void Remove(MzActor* actor);

    std::int32_t m_nextId = 1;
    std::vector<MzActor*> m_actors;     // registration order
    std::vector<MzActor*> m_updateList; // sorted by (order, subOrder), stable
    std::vector<MzActor*> m_removalList;
};

// The manager of the process (the application object's), or null.
extern MzActorManager* g_actorManager;
// Milliseconds the current frame advances, as passed to the last MzActorManager::Update; 0 before.
extern std::int32_t g_frameElapsedMs;
// Pause (menu): while set, only actors registered to run while paused are updated. Written by the
// GUI thread, read by the application thread.
extern std::atomic<bool> g_paused;
