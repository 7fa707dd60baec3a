// Drawing models and prims: matrices, per-prim states, the two lights and the draw call.
#pragma once

#include <cstddef>

#include "MzList.h"
#include "MzMath.h"

class MzGrpDevice;
class MzModel;
class MzPrim;

// Each model: its matrices, then its prims in order.
void DrawModelList(MzGrpDevice* device, const MzList<MzModel*>& models);
void DrawPrimList(MzGrpDevice* device, const MzList<MzPrim*>& prims);
// The world transform, or one palette matrix per joint (skin matrix × world) for a skinned model.
void SetModelMatrices(MzGrpDevice* device, const MzModel& model);
// `m` with its translation folded into the plane z = 0 while the device is in flat 2D mode.
Matrix4x4 MzPlacedMatrix(const MzGrpDevice& device, Matrix4x4 m);
// Skin matrix × placed world per joint into `palette` (at most 256); returns how many were set.
size_t MzModelPalette(const MzGrpDevice& device, const MzModel& model, Matrix4x4* palette);
void ApplyPrimStates(MzGrpDevice* device, const MzPrim& prim);
// Two white directional lights from the front, left-below and right-above; lighting on.
void SetupLights(MzGrpDevice* device);
void DrawPrim(MzGrpDevice* device, const MzPrim& prim);
