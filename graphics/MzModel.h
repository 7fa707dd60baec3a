// A skinned model: its skeleton, its prims and the textures they use, and its placement in the world.
#pragma once

#include <cstdint>
#include <string>

#include "MzFrame.h"
#include "MzInfo.h"
#include "MzList.h"
#include "MzMath.h"
#include "MzPrim.h"
#include "MzTexture.h"

class MzModel : public MzInfo {
  public:
    // Bit 0: the model stands in the model draw list.
    uint32_t flags = 0;
    BoundingBox bounds{{0, 0, 0, 1}, {0, 0, 0, 1}};
    // Places the whole model; the mascot and root motion write it.
    Matrix4x4 worldMatrix = MatrixIdentity();
    // Index in this list = blend index = palette slot. The model creates the joints and destroys them.
    MzList<MzJoint*> joints;
    // Owned; drawn in list order.
    MzList<MzPrim*> prims;
    // Owned; the prims point into it.
    MzList<MzTexture*> textures;

    MzModel() = default;
    MzModel(const MzModel&) = delete;
    MzModel& operator=(const MzModel&) = delete;
    virtual ~MzModel();

    MzJoint* CreateJoint();
    // The first joint whose name matches exactly, or null.
    MzJoint* FindJoint(const std::string& name) const;
    // The union of the prims' boxes (each recomputed); the empty box without prims.
    void ComputeBounds();
    // Destroys every prim and texture; the joints stay.
    void Clear();
};
