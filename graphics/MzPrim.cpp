// Prims: creation, nested locking and bounds.
#include "MzPrim.h"

#include <cstring>

#include "MzLog.h"
#include "MzVertexFormat.h"

MzPrim::~MzPrim() {
    Release();
}

bool MzPrim::Create(uint32_t triangleCount, uint32_t vertexCount) {
    Release();
    uint32_t result = kD3DErrInvalidCall;
    if (vertexCount > kMaxPrimVertices || !vertexBuffer.Create(nullptr, vertexCount, &result)) {
        MzErrorBox("ERROR", "頂点バッファの生成に失敗しました(%s)", MzD3DErrorName(result));
        return false;
    }
    if (triangleCount > kMaxPrimTriangles || !indexBuffer.Create(nullptr, 3 * triangleCount, &result)) {
        if (triangleCount > kMaxPrimTriangles) result = kD3DErrInvalidCall;
        MzErrorBox("ERROR", "インデックスバッファの生成に失敗しました(%s)", MzD3DErrorName(result));
        vertexBuffer.Release();
        return false;
    }
    primitiveCount = triangleCount;
    topology = kTopologyTriangleList;
    uint16_t* indices = indexBuffer.Lock();
    for (uint32_t i = 0; i < 3 * triangleCount; ++i)
        indices[i] = static_cast<uint16_t>(i);
    indexBuffer.Unlock();
    return true;
}

void MzPrim::Release() {
    topology = kTopologyNone;
    vertexBuffer.Release();
    indexBuffer.Release();
    lockCount = 0;
    lockedVertices = nullptr;
    lockedIndices = nullptr;
    worldMatrix = MatrixIdentity();
    for (MzTexture*& texture : textures)
        texture = nullptr;
}

void MzPrim::Lock() {
    if (lockCount == 0) {
        lockedVertices = vertexBuffer.Lock();
        lockedIndices = indexBuffer.Lock();
    }
    ++lockCount;
}

void MzPrim::Unlock() {
    if (lockCount <= 0) return;
    if (--lockCount > 0) return;
    vertexBuffer.Unlock();
    indexBuffer.Unlock();
    lockedVertices = nullptr;
    lockedIndices = nullptr;
}

void MzPrim::ComputeBounds() {
    Lock();
    BoundingBox box;
    const MzVertexFormat* format = MzGetVertexFormat(vertexBuffer.formatId);
    if (format != nullptr && lockedVertices != nullptr) {
        for (uint32_t i = 0; i < vertexBuffer.vertexCount; ++i) {
            float p[3];
            std::memcpy(p,
                        lockedVertices + size_t{i} * static_cast<size_t>(format->stride) + format->position,
                        sizeof p);
            BoundingBox point{{p[0], p[1], p[2], 1}, {p[0], p[1], p[2], 1}};
            BoxMerge(box, point, &box);
        }
    }
    Unlock();
    bounds = box;
}
