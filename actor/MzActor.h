// Something that acts once per frame (a mascot, the 2D camera, the user-interface actor).
//
// Actors are owned, numbered, updated and removed by the MzActorManager. Placing into the update
// order, killing and removal are deferred to the end of the manager's update, so that no list
// changes while it is walked; the flags below carry that bookkeeping.
#pragma once

#include <cstdint>

class MzActorManager;

class MzActor {
  public:
    static constexpr std::uint32_t kRunWhilePaused = 0x1;
    static constexpr std::uint32_t kKillRequested = 0x10000;
    static constexpr std::uint32_t kNeedsPlacing = 0x20000;
    static constexpr std::uint32_t kNeedsReplacing = 0x40000;
    static constexpr std::uint32_t kOwned = 0x80000;
    static constexpr std::uint32_t kInActorList = 0x100000;
    static constexpr std::uint32_t kInUpdateList = 0x200000;
    static constexpr std::uint32_t kInRemovalList = 0x400000;

    MzActor() = default;
    MzActor(const MzActor&) = delete;
    MzActor& operator=(const MzActor&) = delete;
    virtual ~MzActor() = default;

    // Called once, right after registration, when the actor has its id.
    virtual void OnCreate() {}
    // Called by the manager once per frame.
    virtual void Update() {}
    // Called once when the actor leaves the manager, before it is deleted.
    virtual void OnRemove() {}

    // Requests removal at the end of the next manager update, together with all children.
    void Kill() { flags |= kKillRequested; }

    // Makes `child` the last child of this actor; a child is killed and removed with its parent.
    void AddChild(MzActor* child);

    std::int32_t id = 0;
    MzActor* parent = nullptr;
    MzActor* firstChild = nullptr;
    MzActor* prevSibling = nullptr;
    MzActor* nextSibling = nullptr;
    std::uint32_t flags = 0;
    std::uint8_t order = 0;
    std::uint8_t subOrder = 0;

  private:
    friend class MzActorManager;
    void UnlinkFromParent();
};
