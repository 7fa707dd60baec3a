// Where the draw lists can touch a target: a conservative screen rectangle of everything they draw,
// so that a pass clears, draws and reads back only that part.
//
// A skinned vertex lies inside the convex hull of its positions under each palette matrix it is
// weighted by (its weights are 0..1 and sum to 1). So the box of the vertices each palette slot
// moves, transformed by that slot's matrix and projected, bounds what the slot contributes; the
// union over the slots and prims bounds the draw. The boxes are computed once per vertex buffer
// revision. Where a bound cannot be given (a weight outside 0..1, a palette slot the draw code has
// not set, a corner behind the camera) the answer is the whole target.
#pragma once

#include <cstdint>
#include <vector>

#include "MzMath.h"
#include "MzRenderBackend.h"

class MzGrpDevice;
class MzPrim;

// The boxes of a prim's vertices per palette slot, as the indexed and the plain vertex blending
// address the slots.
struct MzSlotBoxes {
    bool valid = false;
    uint32_t revision = 0;
    const void* source = nullptr;
    // A weight outside 0..1: the prim cannot be bounded.
    bool unbounded = false;
    std::vector<BoundingBox> indexed; // slot = the vertex's blend index
    std::vector<BoundingBox> plain;   // slots 0..3 (only slot 0 for a format without weights)
};

// The rectangle of a width × height viewport (top-left origin) that the draw lists can touch, with a
// margin of a pixel for rasterisation; empty when the lists draw nothing, the whole viewport when
// it cannot be bounded. Uses the device's view and projection as the passes will.
MzRect MzDrawListBounds(const MzGrpDevice& device, int32_t width, int32_t height);
