#include "MzActorManager.h"

#include <algorithm>

MzActorManager* g_actorManager = nullptr;
std::int32_t g_frameElapsedMs = 0;
std::atomic<bool> g_paused{false};

namespace {

void Erase(std::vector<MzActor*>& list, MzActor* actor) {
    auto it = std::find(list.begin(), list.end(), actor);
    if (it != list.end()) list.erase(it);
}

} // namespace

MzActorManager::MzActorManager() {
    if (g_actorManager == nullptr) g_actorManager = this;
}

MzActorManager::~MzActorManager() {
    KillAll();
    m_actors.clear();
    m_updateList.clear();
    m_removalList.clear();
    if (g_actorManager == this) g_actorManager = nullptr;
}

std::int32_t MzActorManager::IdAfter(std::int32_t id) {
    auto next = static_cast<std::int32_t>(static_cast<std::uint32_t>(id) + 1u);
    return next == 0 ? 1 : next;
}

std::int32_t MzActorManager::Register(MzActor* actor, std::uint8_t order, std::uint8_t subOrder,
                                      bool runWhilePaused) {
    m_actors.push_back(actor);
    actor->order = order;
    actor->subOrder = subOrder;
    actor->flags |= MzActor::kOwned | MzActor::kInActorList | MzActor::kNeedsPlacing;
    if (runWhilePaused) actor->flags |= MzActor::kRunWhilePaused;
    actor->id = m_nextId;
    m_nextId = IdAfter(m_nextId);
    actor->OnCreate();
    return actor->id;
}

MzActor* MzActorManager::Find(std::int32_t id) const {
    for (MzActor* actor : m_actors) {
        if (actor->id == id) return actor;
    }
    return nullptr;
}

void MzActorManager::Update(std::int32_t ms) {
    g_frameElapsedMs = ms;
    UpdatePass();
    HousekeepingPass();
    RemovalPass();
}

void MzActorManager::KillAll() {
    for (MzActor* actor : m_actors) {
        actor->flags |= MzActor::kKillRequested;
        QueueRemoval(actor);
    }
    RemovalPass();
}

void MzActorManager::UpdatePass() {
    const bool paused = g_paused.load(std::memory_order_relaxed);
    constexpr std::uint32_t kListed = MzActor::kInActorList | MzActor::kInUpdateList;
    // Registering during this pass touches only m_actors, and killing only flags, so indices stay valid.
    for (std::size_t i = 0; i < m_updateList.size(); ++i) {
        MzActor* actor = m_updateList[i];
        if ((actor->flags & kListed) != kListed || (actor->flags & MzActor::kNeedsPlacing)) continue;
        if (paused && !(actor->flags & MzActor::kRunWhilePaused)) continue;
        actor->Update();
    }
}

void MzActorManager::HousekeepingPass() {
    for (MzActor* actor : m_actors) {
        if (actor->flags & (MzActor::kNeedsPlacing | MzActor::kNeedsReplacing)) Place(actor);
        if (actor->flags & MzActor::kKillRequested) QueueRemoval(actor);
    }
}

void MzActorManager::Place(MzActor* actor) {
    Erase(m_updateList, actor);
    auto before = std::find_if(m_updateList.begin(), m_updateList.end(), [actor](const MzActor* other) {
        return other->order > actor->order ||
               (other->order == actor->order && other->subOrder > actor->subOrder);
    });
    m_updateList.insert(before, actor);
    actor->flags |= MzActor::kInUpdateList;
    actor->flags &= ~(MzActor::kNeedsPlacing | MzActor::kNeedsReplacing);
}

// Moves the actor, then its children depth first, to the back of the removal list.
void MzActorManager::QueueRemoval(MzActor* actor) {
    Erase(m_removalList, actor);
    m_removalList.push_back(actor);
    actor->flags |= MzActor::kInRemovalList;
    actor->flags &= ~MzActor::kKillRequested;
    for (MzActor* child = actor->firstChild; child != nullptr; child = child->nextSibling)
        QueueRemoval(child);
}

void MzActorManager::RemovalPass() {
    // Removing an actor takes its children out of the list too, so take from the front until empty.
    while (!m_removalList.empty()) {
        MzActor* actor = m_removalList.front();
        m_removalList.erase(m_removalList.begin());
        actor->flags &= ~MzActor::kInRemovalList;
        if (actor->flags & MzActor::kInActorList) Remove(actor);
    }
}

void MzActorManager::Remove(MzActor* actor) {
    for (MzActor* child = actor->firstChild; child != nullptr;) {
        MzActor* next = child->nextSibling;
        Remove(child);
        child = next;
    }
    actor->UnlinkFromParent();
    Erase(m_actors, actor);
    actor->flags &= ~MzActor::kInActorList;
    actor->OnRemove();
    actor->flags &= ~MzActor::kKillRequested;
    if (actor->flags & MzActor::kInRemovalList) Erase(m_removalList, actor);
    if (actor->flags & MzActor::kInUpdateList) Erase(m_updateList, actor);
    actor->flags &= ~(MzActor::kInRemovalList | MzActor::kInUpdateList);
    if (actor->flags & MzActor::kOwned) delete actor;
}
