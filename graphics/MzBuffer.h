// Vertex and index buffers in managed storage.
//
// The CPU copy is the buffer: Lock hands out a pointer into it and Unlock counts a revision, which
// tells the render backend to upload the data again before the next draw. Creating a buffer needs no
// graphics context, so models import headless; a lost context costs nothing but a re-upload.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "MzGpuResource.h"

class MzGrpDevice;

class MzVertexBuffer {
  public:
    uint32_t vertexCount = 0;
    int32_t formatId = 0;
    std::vector<uint8_t> data;
    // Counts the Unlock calls; the backend uploads when its copy is older.
    uint32_t revision = 0;
    // Made by the backend on first draw, hence mutable.
    mutable std::unique_ptr<MzGpuResource> gpu;

    virtual ~MzVertexBuffer() = default;

    // A buffer of vertexCount vertices of format 3, zero-filled. On failure the buffer is empty, false
    // comes back and *result (if given) holds the Direct3D-style result code. The device may be null.
    bool Create(MzGrpDevice* device, uint32_t vertexCount, uint32_t* result = nullptr);
    void Release();
    // Null when there is no buffer.
    virtual uint8_t* Lock();
    virtual void Unlock();
};

class MzIndexBuffer {
  public:
    uint32_t indexCount = 0;
    std::vector<uint16_t> data;
    uint32_t revision = 0;
    // Made by the backend on first draw, hence mutable.
    mutable std::unique_ptr<MzGpuResource> gpu;

    virtual ~MzIndexBuffer() = default;

    // indexCount 16-bit indices, zero-filled; reports "インデックスバッファの生成に失敗" on failure.
    bool Create(MzGrpDevice* device, uint32_t indexCount, uint32_t* result = nullptr);
    void Release();
    virtual uint16_t* Lock();
    virtual void Unlock();
};

// Result codes (Direct3D's values, named by MzD3DErrorName).
constexpr uint32_t kD3DOk = 0;
constexpr uint32_t kD3DErrOutOfVideoMemory = 0x8876017Cu;
constexpr uint32_t kD3DErrNotAvailable = 0x8876086Au;
constexpr uint32_t kD3DErrInvalidCall = 0x8876086Cu;
constexpr uint32_t kD3DXErrInvalidData = 0x88760B59u;
