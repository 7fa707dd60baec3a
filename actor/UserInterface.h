// The user-interface actor: turns the mouse into catching, dragging, turning and scaling mascots.
//
// A left press over a mascot grabs it; the first movement while held catches it (catch callback),
// later movements drag it under the cursor, clamped to the visible screen; the release calls the
// release callback. The middle button held over a mascot turns it with horizontal movement and scales
// it with vertical movement, and has priority over the left button. No callback runs while paused.
#pragma once

#include "MzActor.h"
#include "MzMath.h"
#include "MzObject.h"

#include <atomic>
#include <cstdint>

class MzActorManager;
class MzGraphics;
class MzInput;

// What the actor works with, handed in when it is created. A frame without input or graphics does
// nothing; without actors or objects nothing can be caught.
struct UserInterfaceContext {
    const MzInput* input = nullptr;
    const MzGraphics* graphics = nullptr;
    MzActorManager* actors = nullptr;
    MzObjectManager* objects = nullptr;
    // No callback runs while it is set.
    const std::atomic<bool>* paused = nullptr;
};

class UserInterface : public MzActor {
  public:
    enum State : std::int32_t { kIdle = 0, kPressed = 1, kDragging = 2, kTurning = 3 };

    // Horizontal movement over the whole client width (nx from -1 to 1) turns by 12π.
    static constexpr float kTurnFactor = 18.849556f;
    // Vertical movement over the whole client height adds 10 to the scale.
    static constexpr float kScaleFactor = 5.0f;
    static constexpr float kMinScale = 0.1f;
    static constexpr float kMaxScale = 10.0f;

    // Registration values with the actor manager: after the 2D camera, before the mascots.
    static constexpr std::uint8_t kOrder = 60;
    static constexpr std::uint8_t kSubOrder = 0;

    explicit UserInterface(const UserInterfaceContext& context) : m_context(context) {}

    void Update() override;

    std::int32_t state = kIdle;
    MzObject* object = nullptr;
    std::int32_t pressX = 0;
    std::int32_t pressY = 0;
    std::int32_t lastX = 0;
    std::int32_t lastY = 0;
    Vector4 anchor = kVec4Origin;
    Vector4 grabOffset = kVec4Origin;
    float directionAtGrab = 0;
    float scaleAtGrab = 1;

  private:
    // The actor of the caught object, when it still exists and can be caught.
    MzCatchable* Mascot() const;
    // Forgets the caught object when its mascot has been removed (the object went with it).
    void DropRemovedObject();
    void CallCatch() const;
    void CallRelease() const;
    // Steps 2 and 3 (middle button); true when the frame's work is done.
    bool UpdateTurning(std::int32_t x, std::int32_t y);
    void Grab(MzObject* hit, std::int32_t x, std::int32_t y);
    void Drag(std::int32_t x, std::int32_t y);
    MzObject* HitTest(std::int32_t x, std::int32_t y) const;
    bool Paused() const { return m_context.paused != nullptr && *m_context.paused; }

    UserInterfaceContext m_context;

    // Id of the caught object's actor when it was caught.
    std::int32_t m_objectActorId = 0;
};
