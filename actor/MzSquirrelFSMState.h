// A state whose Start, Loop and End are the functions of the same names of a script object.
#pragma once

#include "MzFSM.h"
#include "MzSquirrelValue.h"

#include <cstdint>

// Calls member `name` of `stateObject` with `stateObject` as `this` and `ownerInstance` as the one
// argument. A null member is skipped; a missing or non-function member and a failed call are logged.
// Returns the Loop result: the integer returned, 0 or 1 for a bool, 1 for anything else or no call.
std::int32_t MzCallStateFunction(const MzSquirrelValue& stateObject, const MzSquirrelValue& ownerInstance,
                                 const char* name, bool wantResult);

template <typename T>
class MzSquirrelFSMState : public MzFSMState<T> {
  public:
    void Start(T /*owner*/) override { MzCallStateFunction(stateObject, ownerInstance, "Start", false); }
    void End(T /*owner*/) override { MzCallStateFunction(stateObject, ownerInstance, "End", false); }
    std::int32_t Loop(T /*owner*/, std::int32_t /*childResult*/) override {
        return MzCallStateFunction(stateObject, ownerInstance, "Loop", true);
    }

    // The object holding the three functions, `this` in their calls.
    MzSquirrelValue stateObject;
    // The script object standing for the owner (for a mascot, a cpp_Mascot instance of it).
    MzSquirrelValue ownerInstance;
};
