// Pickable objects: the screen-space hit test that finds the mascot under the mouse.
//
// Each mascot owns one MzObject that refers to its model's world transform and model-space bounds; it
// adds the object to the object manager when it is created and takes it out when it is removed.
#pragma once

#include "MzList.h"
#include "MzMath.h"

#include <cstdint>
#include <memory>

class MzModel;

class MzObject {
  public:
    MzObject() = default;
    MzObject(const MzObject&) = delete;
    MzObject& operator=(const MzObject&) = delete;
    virtual ~MzObject() = default;

    // Refers to `model`'s world transform and bounds, on behalf of the actor `actorId`.
    void Bind(MzModel* model, std::int32_t actorId);

    // The owner model's worldMatrix.
    Matrix4x4* transform = nullptr;
    // The owner model's bounds, in model space.
    const BoundingBox* bounds = nullptr;
    MzModel* model = nullptr;
    std::int32_t actorId = 0;
};

class MzObjectManager {
  public:
    // The first manager constructed becomes g_objectManager.
    MzObjectManager();
    MzObjectManager(const MzObjectManager&) = delete;
    MzObjectManager& operator=(const MzObjectManager&) = delete;
    virtual ~MzObjectManager();

    // Replaces the object list with a new empty one (frame-cycle start).
    void NewList();
    // Drops the object list (frame-cycle end); Add and Remove do nothing without one.
    void DeleteList();
    void Add(MzObject* object);
    // Erases the first entry equal to `object`.
    void Remove(MzObject* object);
    bool Contains(const MzObject* object) const;

    // The object under the screen position (nx, ny) in normalised device coordinates, or null: the
    // object with the nearest face under the point, else the first whose projected box contains it.
    MzObject* HitTest(float nx, float ny) const;

  private:
    std::unique_ptr<MzList<MzObject*>> m_objects;
};

// What the user interface steers on the owner of a caught object (the mascot).
class MzCatchable {
  public:
    virtual ~MzCatchable() = default;
    // Facing, radians about the vertical axis.
    virtual float GetDir() const = 0;
    // Faces `angle` over `ms` milliseconds; with 0 at once, rebuilding the world transform.
    virtual void SetDir(float angle, std::int32_t ms) = 0;
    virtual float GetTransformScale() const = 0;
    // Sets the uniform scale and rebuilds the world transform.
    virtual void SetTransformScale(float scale) = 0;
    virtual void CallCatch() = 0;
    virtual void CallRelease() = 0;
};

// The object manager of the process (the application object's), or null.
extern MzObjectManager* g_objectManager;
