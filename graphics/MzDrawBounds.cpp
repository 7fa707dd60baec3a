// Conservative screen bounds of the draw lists.
#include "MzDrawBounds.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "MzDraw.h"
#include "MzGraphics.h"
#include "MzModel.h"
#include "MzPrim.h"
#include "MzRenderPass.h"
#include "MzVertexFormat.h"

namespace {

// A weight this little below 0 (or above 1) is rounding from w3 = 1 - (w0 + w1 + w2).
constexpr float kWeightSlack = 1e-4f;

void Grow(BoundingBox* box, const float* p) {
    box->min = {std::min(box->min.x, p[0]), std::min(box->min.y, p[1]), std::min(box->min.z, p[2]), 1};
    box->max = {std::max(box->max.x, p[0]), std::max(box->max.y, p[1]), std::max(box->max.z, p[2]), 1};
}

bool Empty(const BoundingBox& box) {
    return box.min.x > box.max.x;
}

void BuildSlotBoxes(const MzPrim& prim, MzSlotBoxes* out) {
    const MzVertexBuffer& vb = prim.vertexBuffer;
    const MzVertexFormat& f = *MzGetVertexFormat(vb.formatId);
    *out = MzSlotBoxes{};
    out->valid = true;
    out->revision = vb.revision;
    out->source = vb.data.data();
    out->plain.resize(f.blendWeights < 0 ? 1 : 4);
    if (f.blendWeights >= 0 && f.blendIndices >= 0) out->indexed.resize(kPaletteSize);
    for (uint32_t i = 0; i < vb.vertexCount; ++i) {
        const uint8_t* v = vb.data.data() + static_cast<size_t>(i) * static_cast<size_t>(f.stride);
        float p[3];
        std::memcpy(p, v + f.position, sizeof p);
        if (f.blendWeights < 0) {
            Grow(&out->plain[0], p);
            continue;
        }
        float w[4];
        std::memcpy(w, v + f.blendWeights, 3 * sizeof(float));
        w[3] = 1 - (w[0] + w[1] + w[2]);
        for (int k = 0; k < 4; ++k) {
            if (w[k] < -kWeightSlack || w[k] > 1 + kWeightSlack || std::isnan(w[k])) {
                out->unbounded = true;
                return;
            }
            if (w[k] <= 0) continue;
            Grow(&out->plain[static_cast<size_t>(k)], p);
            if (!out->indexed.empty()) Grow(&out->indexed[v[f.blendIndices + k]], p);
        }
    }
}

const MzSlotBoxes& SlotBoxes(const MzPrim& prim) {
    MzSlotBoxes& boxes = prim.slotBoxes;
    const MzVertexBuffer& vb = prim.vertexBuffer;
    if (!boxes.valid || boxes.revision != vb.revision || boxes.source != vb.data.data())
        BuildSlotBoxes(prim, &boxes);
    return boxes;
}

// Row vector × matrix without the division by w, which decides whether the point is in front.
Vector4 Clip(const Matrix4x4& m, const Vector4& p) {
    auto column = [&](int c) { return p.x * m.m[0][c] + p.y * m.m[1][c] + p.z * m.m[2][c] + m.m[3][c]; };
    return Vector4{column(0), column(1), column(2), column(3)};
}

// Normalised device x, y of everything accumulated; `whole` once something cannot be bounded.
struct NdcBounds {
    float left = 1, bottom = 1, right = -1, top = -1;
    bool any = false;
    bool whole = false;

    void Add(const BoundingBox& box, const Matrix4x4& toClip) {
        for (int c = 0; c < 8 && !whole; ++c) {
            const Vector4 corner{c & 1 ? box.max.x : box.min.x, c & 2 ? box.max.y : box.min.y,
                                 c & 4 ? box.max.z : box.min.z, 1};
            const Vector4 clip = Clip(toClip, corner);
            if (!(clip.w > 1e-6f)) {
                whole = true;
                return;
            }
            const float x = clip.x / clip.w, y = clip.y / clip.w;
            left = std::min(left, x);
            right = std::max(right, x);
            bottom = std::min(bottom, y);
            top = std::max(top, y);
            any = true;
        }
    }
};

// The palette the draw code sets for a model, and how many of its slots it sets.
size_t ModelPalette(const MzGrpDevice& device, const MzModel& model, Matrix4x4* palette) {
    if (model.joints.Empty()) {
        palette[0] = MzPlacedMatrix(device, model.worldMatrix);
        return 1;
    }
    return MzModelPalette(device, model, palette);
}

bool Drawn(const MzPrim& prim) {
    return prim.topology != kTopologyNone && !prim.vertexBuffer.data.empty() &&
           !prim.indexBuffer.data.empty() && prim.primitiveCount != 0 &&
           MzGetVertexFormat(prim.vertexBuffer.formatId) != nullptr;
}

// One prim drawn with `palette` (of `count` slots set) and indexed blending as given.
void AddPrim(NdcBounds* b, const MzPrim& prim, const Matrix4x4* palette, size_t count, bool indexedBlend,
             const Matrix4x4& viewProjection) {
    if (!Drawn(prim)) return;
    const MzSlotBoxes& boxes = SlotBoxes(prim);
    if (boxes.unbounded) {
        b->whole = true;
        return;
    }
    const bool indexed = indexedBlend && !boxes.indexed.empty();
    const std::vector<BoundingBox>& slots = indexed ? boxes.indexed : boxes.plain;
    for (size_t slot = 0; slot < slots.size() && !b->whole; ++slot) {
        if (Empty(slots[slot])) continue;
        if (slot >= count) {
            b->whole = true;
            return;
        }
        Matrix4x4 toClip;
        D3DXMatrixMultiply(&toClip, palette[slot], viewProjection);
        b->Add(slots[slot], toClip);
    }
}

void AddModels(NdcBounds* b, const MzGrpDevice& device, const MzList<MzModel*>& models,
               const Matrix4x4& viewProjection) {
    Matrix4x4 palette[kPaletteSize];
    for (const MzModel* model : models) {
        const size_t count = ModelPalette(device, *model, palette);
        for (const MzPrim* prim : model->prims) {
            // As the draw code does: a prim not marked as the model's puts its own world in slot 0.
            if (!(prim->flags & kPrimInModel)) palette[0] = MzPlacedMatrix(device, prim->worldMatrix);
            AddPrim(b, *prim, palette, std::max<size_t>(count, 1), true, viewProjection);
        }
    }
}

void AddPrims(NdcBounds* b, const MzGrpDevice& device, const MzList<MzPrim*>& prims,
              const Matrix4x4& viewProjection) {
    for (const MzPrim* prim : prims) {
        // A model's prim drawn alone would use whatever slot 0 holds: not bounded.
        const size_t count = prim->flags & kPrimInModel ? 0 : 1;
        const Matrix4x4 world = MzPlacedMatrix(device, prim->worldMatrix);
        AddPrim(b, *prim, &world, count, false, viewProjection);
    }
}

} // namespace

MzRect MzDrawListBounds(const MzGrpDevice& device, int32_t width, int32_t height) {
    const MzRect whole{0, 0, width, height};
    Matrix4x4 viewProjection;
    D3DXMatrixMultiply(&viewProjection, device.state.view, device.state.projection);
    const MzDrawLists& lists = MzGetDrawLists();
    NdcBounds b;
    AddModels(&b, device, lists.models, viewProjection);
    AddModels(&b, device, lists.translucentModels, viewProjection);
    AddPrims(&b, device, lists.prims, viewProjection);
    AddPrims(&b, device, lists.translucentPrims, viewProjection);
    if (b.whole) return whole;
    if (!b.any) return MzRect{};
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    auto clampTo = [](float v, int32_t hi) {
        return static_cast<int32_t>(std::clamp(v, 0.0f, static_cast<float>(hi)));
    };
    // Pixels whose centres the primitives may reach, one more on each side for line and edge rules.
    const MzRect r{clampTo(std::floor((b.left + 1) / 2 * w) - 1, width),
                   clampTo(std::floor((1 - b.top) / 2 * h) - 1, height),
                   clampTo(std::ceil((b.right + 1) / 2 * w) + 1, width),
                   clampTo(std::ceil((1 - b.bottom) / 2 * h) + 1, height)};
    return r.Empty() ? MzRect{} : r;
}
