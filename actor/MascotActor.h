// The mascot: one skinned model, named motions of which one plays, a facing that turns smoothly, a
// position inside the world box, a state machine of script states and three script callbacks.
//
// Scripts hold mascots through cpp_Mascot instances. An instance stores the mascot's actor id, not a
// pointer, and every method looks the mascot up among the live ones: an instance that outlives its
// mascot then fails cleanly instead of reaching freed memory. A mascot stays live until the end of
// its destruction, so that the End of its last state can still steer it.
#pragma once

#include "MzActor.h"
#include "MzFSM.h"
#include "MzModel.h"
#include "MzMotion.h"
#include "MzObject.h"
#include "MzSquirrelFSMState.h"
#include "MzSquirrelValue.h"

#include <cstdint>
#include <memory>
#include <string>

class MascotActor : public MzActor, public MzCatchable {
  public:
    // The script class whose instances stand for mascots.
    static constexpr const char* kClassName = "cpp_Mascot";
    // Registration values with the actor manager.
    static constexpr std::uint8_t kOrder = 60;
    static constexpr std::uint8_t kSubOrder = 128;
    // Turns use only the step d - 2π besides d itself, with 2π as this float.
    static constexpr float kTwoPi = 6.2831855f;

    // Imports the model at `modelPath` with `scale`, makes `motionCount` empty motion slots and starts
    // the first; the caller imports the motions into the slots.
    MascotActor(const std::string& modelPath, std::int32_t motionCount, float scale);
    ~MascotActor() override;

    // Enters the model into the model draw list and the pickable object into the object manager.
    void OnCreate() override;
    // Turn, world transform, clamp into the world box, motion, loop callback, state machine.
    void Update() override;
    void OnRemove() override;

    // Turns to `angle` over `ms` milliseconds; 0 faces it at once.
    void SetDir(float angle, std::int32_t ms) override;
    float GetDir() const override { return direction; }
    float GetTransformScale() const override { return transformScale; }
    void SetTransformScale(float scale) override;
    // The world transform from transformScale, direction and the current position.
    void UpdateTransform();

    // The position is clamped into the world box at the next Update.
    void SetPos(float x, float y, float z);
    float GetPosX() const { return model.worldMatrix.m[3][0]; }
    float GetPosY() const { return model.worldMatrix.m[3][1]; }
    float GetPosZ() const { return model.worldMatrix.m[3][2]; }

    // The first slot named exactly `name`, or -1.
    std::int32_t FindMotion(const std::string& name) const;
    MzMotionData& Motion(std::int32_t index) { return motions[index]; }
    // Re-imports the named slot (scale 1.0); a name no slot has does nothing.
    void LoadMotion(const std::string& name, const std::string& file);
    // Plays the named slot from its beginning; a name no slot has keeps the current motion (logged).
    void SetMotion(const std::string& name);

    // Ends the current script state and starts `stateObject` with a new instance of this mascot.
    // False (nothing changed) when no instance can be made. Refused, like a change the machine
    // refuses, from inside the End of the state being left (it would end that state again, endlessly).
    bool ChangeState(const HSQOBJECT& stateObject);
    void SetCallback_Loop(const HSQOBJECT& environment, const HSQOBJECT& function);
    void SetCallback_Catch(const HSQOBJECT& environment, const HSQOBJECT& function);
    void SetCallback_Release(const HSQOBJECT& environment, const HSQOBJECT& function);
    void CallCatch() override;
    void CallRelease() override;

    // The binding of cpp_Mascot instances, shared with the script class.
    static SQUserPointer TypeTag();
    // Makes a new instance of the class registered as cpp_Mascot, bound to `mascot`, without running
    // its constructor. False when the name no longer holds that class.
    static bool NewInstance(HSQUIRRELVM vm, std::int32_t mascotId, MzSquirrelValue* out);
    // Binds the instance at `index` of the VM stack to the mascot `mascotId`.
    static void BindInstance(HSQUIRRELVM vm, SQInteger index, std::int32_t mascotId);
    // The live mascot a bound instance refers to, or null when it has been destroyed.
    static MascotActor* FromId(std::int32_t mascotId);

    MzModel model;
    MzMotion motion;
    MzObject pickObject;
    float direction = 0;
    float targetDirection = 0;
    float turnProgress = 0;
    float turnStart = 0;
    std::int32_t turnDuration = 3000;
    float transformScale = 1;
    std::int32_t currentMotion = 0;
    std::int32_t motionCount = 0;
    std::unique_ptr<MzMotionData[]> motions;
    // The state is declared first so that it outlives the machine that may end it.
    MzSquirrelFSMState<MascotActor*> state;
    MzFSMManager<MascotActor*> fsm{this};
    MzSquirrelFunction onLoop;
    MzSquirrelFunction onCatch;
    MzSquirrelFunction onRelease;

  private:
    void EndState();
    void Turn();
    void ClampIntoWorldBox();
    // Calls `callback` with a new instance of this mascot.
    void CallWithInstance(const MzSquirrelFunction& callback);

    bool m_endingState = false;
};
