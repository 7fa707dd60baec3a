#include "UserInterface.h"

#include "MzActorManager.h"
#include "MzGraphics.h"
#include "MzInput.h"
#include "MzObject.h"

#include <algorithm>

namespace {

Vector4 Translation(const Matrix4x4& m) {
    return {m.m[3][0], m.m[3][1], m.m[3][2], 1};
}

Vector4 Ndc(std::int32_t x, std::int32_t y) {
    return {ScreenToNdcX(x), ScreenToNdcY(y), 0, 1};
}

} // namespace

MzCatchable* UserInterface::Mascot() const {
    if (object == nullptr || m_context.actors == nullptr) return nullptr;
    return dynamic_cast<MzCatchable*>(m_context.actors->Find(object->actorId));
}

void UserInterface::DropRemovedObject() {
    if (object == nullptr) return;
    const bool alive = m_context.objects != nullptr && m_context.objects->Contains(object) &&
                       object->actorId == m_objectActorId;
    if (!alive) object = nullptr;
}

void UserInterface::CallCatch() const {
    MzCatchable* mascot = Mascot();
    if (mascot != nullptr && !Paused()) mascot->CallCatch();
}

void UserInterface::CallRelease() const {
    MzCatchable* mascot = Mascot();
    if (mascot != nullptr && !Paused()) mascot->CallRelease();
}

bool UserInterface::UpdateTurning(std::int32_t x, std::int32_t y) {
    const bool middleHeld = m_context.input->IsHeld(MzMouseState::kMiddle);
    if (state == kTurning) {
        if (middleHeld) {
            if (MzCatchable* mascot = Mascot()) {
                mascot->SetDir(directionAtGrab - (ScreenToNdcX(x) - ScreenToNdcX(lastX)) * kTurnFactor, 0);
                const float scale = scaleAtGrab + (ScreenToNdcY(y) - ScreenToNdcY(lastY)) * kScaleFactor;
                mascot->SetTransformScale(std::clamp(scale, kMinScale, kMaxScale));
            }
            return true;
        }
        CallRelease();
        object = nullptr;
        state = kIdle;
    }
    if (!middleHeld || m_context.objects == nullptr) return false;
    MzObject* hit = HitTest(x, y);
    if (hit == nullptr) return true;
    state = kTurning;
    object = hit;
    m_objectActorId = hit->actorId;
    lastX = x;
    lastY = y;
    if (MzCatchable* mascot = Mascot()) {
        directionAtGrab = mascot->GetDir();
        scaleAtGrab = mascot->GetTransformScale();
        CallCatch();
    }
    return true;
}

// The grabbed point and the anchor of the drag, on the horizontal plane through the grabbed point.
void UserInterface::Grab(MzObject* hit, std::int32_t x, std::int32_t y) {
    const MzGrpDevice& device = m_context.graphics->device;
    const Vector4 position = Translation(*hit->transform);
    Vector4 grabbed;
    device.UnprojectOnPlaneZ(Ndc(x, y), &grabbed, position.z);
    grabOffset = {grabbed.x - position.x, grabbed.y - position.y, grabbed.z - position.z, 1};
    Vector4 onPlane;
    device.UnprojectOnPlaneY(&onPlane, Ndc(x, y), grabOffset.y);
    anchor = {onPlane.x - grabOffset.x, onPlane.y - grabOffset.y, onPlane.z - grabOffset.z, 1};
    object = hit;
    m_objectActorId = hit->actorId;
}

// Moves the object so that the grabbed point follows the cursor, kept inside the visible screen.
void UserInterface::Drag(std::int32_t x, std::int32_t y) {
    const MzGrpDevice& device = m_context.graphics->device;
    Vector4 q;
    device.UnprojectOnPlaneY(&q, Ndc(x, y), grabOffset.y);
    Matrix4x4 m = *object->transform;
    const Vector4 t = Translation(m);
    Vector4 e{q.x - grabOffset.x + t.x - anchor.x, q.y - grabOffset.y + t.y - anchor.y,
              q.z - grabOffset.z + t.z - anchor.z, 1};
    Vector4 screen;
    device.Project(e, &screen);
    screen = {std::clamp(screen.x, -1.0f, 1.0f), std::clamp(screen.y, -1.0f, 1.0f),
              std::clamp(screen.z, 0.0f, 1.0f), 1};
    device.Unproject(&e, screen);
    m.m[3][0] = e.x;
    m.m[3][1] = e.y;
    m.m[3][2] = e.z;
    *object->transform = m;
    anchor = {e.x, e.y, e.z, 1};
    lastX = x;
    lastY = y;
}

MzObject* UserInterface::HitTest(std::int32_t x, std::int32_t y) const {
    return m_context.objects != nullptr ? m_context.objects->HitTest(ScreenToNdcX(x), ScreenToNdcY(y))
                                        : nullptr;
}

void UserInterface::Update() {
    if (m_context.input == nullptr || m_context.graphics == nullptr) return;
    const MzInput& input = *m_context.input;
    DropRemovedObject();
    const std::int32_t x = input.x;
    const std::int32_t y = input.y;
    if (UpdateTurning(x, y)) return;

    if (input.WasReleased(MzMouseState::kLeft)) {
        if (state == kDragging && object != nullptr) CallRelease();
        object = nullptr;
        state = kIdle;
        return;
    }
    if (input.WasPressed(MzMouseState::kLeft)) {
        state = kPressed;
        pressX = lastX = x;
        pressY = lastY = y;
        if (MzObject* hit = HitTest(x, y)) Grab(hit, x, y);
        return;
    }
    if (!input.IsHeld(MzMouseState::kLeft)) return;
    if (state == kPressed && (x != pressX || y != pressY)) {
        if (object != nullptr) CallCatch();
        state = kDragging;
    }
    if (state == kDragging && object != nullptr) Drag(x, y);
}
