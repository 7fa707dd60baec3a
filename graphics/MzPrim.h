// A drawable primitive: its buffers, material, render switches and up to four textures.
#pragma once

#include <cstdint>

#include "MzBuffer.h"
#include "MzDrawBounds.h"
#include "MzMath.h"

class MzTexture;

// The per-prim switches the draw code turns into device states.
class MzRenderState {
  public:
    // 0 or 3 = Gouraud solid, 1 = flat wireframe, 2 = flat solid; other values leave the device's.
    int32_t fillMode = 3;
    bool specularEnable = true;
    bool lightingEnable = true;
    // true draws both faces; false culls counter-clockwise ones.
    bool twoSided = false;

    virtual ~MzRenderState() = default;
};

struct MzMaterial {
    Vector4 diffuse{1, 1, 1, 1}; // alpha unused: 1 - transparency is drawn
    Vector4 specular{1, 1, 1, 1};
    Vector4 emissive{0, 0, 0, 1};
    Vector4 ambient{1, 1, 1, 1};
    float power = 5.0f;
    // 0 opaque ... 1 invisible.
    float transparency = 0.0f;
};

constexpr int32_t kTopologyNone = -1;
constexpr int32_t kTopologyLineList = 0;
constexpr int32_t kTopologyLineStrip = 1;
constexpr int32_t kTopologyTriangleList = 2;

// The prim belongs to a model and is drawn with the model's matrices instead of its own.
constexpr uint32_t kPrimInModel = 4;
constexpr int kPrimTextureSlots = 4;
// 16-bit indices address at most this many vertices; larger polygon groups go into several prims.
constexpr uint32_t kMaxPrimVertices = 65536;
constexpr uint32_t kMaxPrimTriangles = kMaxPrimVertices / 3;

class MzPrim {
  public:
    uint32_t primitiveCount = 0;
    int32_t topology = kTopologyNone;
    uint32_t flags = 0;
    BoundingBox bounds{{0, 0, 0, 1}, {0, 0, 0, 1}};
    // Used only when kPrimInModel is clear.
    Matrix4x4 worldMatrix = MatrixIdentity();
    MzRenderState renderState;
    MzMaterial material;
    // One per texture stage; the model owns them.
    MzTexture* textures[kPrimTextureSlots] = {};
    int32_t lockCount = 0;
    MzVertexBuffer vertexBuffer;
    MzIndexBuffer indexBuffer;
    // Valid while lockCount > 0.
    uint8_t* lockedVertices = nullptr;
    uint16_t* lockedIndices = nullptr;
    // Where each palette slot moves the vertices, for the screen bounds of the draw lists.
    mutable MzSlotBoxes slotBoxes;

    MzPrim() = default;
    MzPrim(const MzPrim&) = delete;
    MzPrim& operator=(const MzPrim&) = delete;
    virtual ~MzPrim();

    // An unindexed triangle list: indices 0, 1, 2, ... vertexCount must not exceed kMaxPrimVertices.
    // Reports and returns false (the prim left empty) when the buffers cannot be made.
    bool Create(uint32_t triangleCount, uint32_t vertexCount);
    void Release();
    // Nested: the buffers are locked by the outermost Lock and unlocked by the outermost Unlock.
    void Lock();
    void Unlock();
    void ComputeBounds();
};
