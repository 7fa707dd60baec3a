// A finite-state machine of one owner, with an optional chain of child states below the current one.
//
// runningState is the state whose Start, Loop or End is executing: while it is set, only that same
// state object may be passed to ChangeState (a state cannot be replaced by another object from inside
// itself, but may restart itself). Chains end and step from the deepest child upwards.
#pragma once

#include "MzLog.h"

#include <cstdint>

template <typename T>
class MzFSMManager;

template <typename T>
class MzFSMState {
  public:
    MzFSMState() = default;
    MzFSMState(const MzFSMState&) = delete;
    MzFSMState& operator=(const MzFSMState&) = delete;
    // A state destroyed while it is set in a machine leaves it without a current state (not ended).
    virtual ~MzFSMState() {
        if (manager != nullptr) manager->Forget(this);
    }

    virtual void Start(T /*owner*/) {}
    virtual void End(T /*owner*/) {}
    // `childResult` is the result of the child's Loop, 0 without a child.
    virtual std::int32_t Loop(T /*owner*/, std::int32_t /*childResult*/) { return 1; }

    MzFSMManager<T>* manager = nullptr;
    MzFSMState* child = nullptr;
};

template <typename T>
class MzFSMManager {
  public:
    explicit MzFSMManager(T owner) : m_owner(owner) {}
    MzFSMManager(const MzFSMManager&) = delete;
    MzFSMManager& operator=(const MzFSMManager&) = delete;
    // Ends the current state, unless the machine is destroyed from inside one of its states; the
    // state is released from the machine either way.
    virtual ~MzFSMManager() {
        if (m_runningState == nullptr) EndState();
        if (m_current != nullptr && m_current->manager == this) m_current->manager = nullptr;
    }

    MzFSMState<T>* Current() const { return m_current; }
    MzFSMState<T>* RunningState() const { return m_runningState; }

    void EndState() {
        if (m_current == nullptr) return;
        EndChain(m_current);
        Run(m_current, [this](MzFSMState<T>* state) { state->End(m_owner); });
        // A state that was taken over by another machine meanwhile stays with that one.
        if (m_current != nullptr && m_current->manager == this) m_current->manager = nullptr;
        m_current = nullptr;
    }

    void ChangeState(MzFSMState<T>* newState) {
        if (m_runningState != nullptr && m_runningState != newState) return;
        EndState();
        if (newState != nullptr) {
            if (newState->manager != nullptr) {
                MzErrorBox("ERROR",
                           "１つのMzFSMStateインスタンスを複数のMzFSMManagerに設定することはできません。");
                // The state belongs to the last machine only; the other one no longer runs it.
                if (newState->manager != this) newState->manager->Forget(newState);
            }
            newState->manager = this;
        }
        m_current = newState;
        if (newState != nullptr) Run(newState, [this](MzFSMState<T>* state) { state->Start(m_owner); });
    }

    void Loop() {
        if (m_current == nullptr) return;
        std::int32_t childResult = LoopChain(m_current);
        Run(m_current, [this, childResult](MzFSMState<T>* state) { state->Loop(m_owner, childResult); });
    }

  private:
    friend class MzFSMState<T>;
    void Forget(MzFSMState<T>* state) {
        if (m_current == state) m_current = nullptr;
        if (m_runningState == state) m_runningState = nullptr;
    }

    template <typename Operation>
    void Run(MzFSMState<T>* state, Operation operation) {
        m_runningState = state;
        operation(state);
        m_runningState = nullptr;
    }

    void EndChain(MzFSMState<T>* state) {
        MzFSMState<T>* child = state->child;
        if (child == nullptr) return;
        EndChain(child);
        Run(child, [this](MzFSMState<T>* s) { s->End(m_owner); });
    }

    // The result of the child chain below `state`: its child's Loop result, 0 without a child.
    std::int32_t LoopChain(MzFSMState<T>* state) {
        MzFSMState<T>* child = state->child;
        if (child == nullptr) return 0;
        std::int32_t grandchildResult = LoopChain(child);
        std::int32_t result = 0;
        Run(child, [&](MzFSMState<T>* s) { result = s->Loop(m_owner, grandchildResult); });
        return result;
    }

    T m_owner;
    MzFSMState<T>* m_current = nullptr;
    MzFSMState<T>* m_runningState = nullptr;
};
