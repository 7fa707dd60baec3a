// Textures and render targets, and the registry that rebuilds them after a reset.
//
// A file texture keeps its decoded image on the CPU (its own level 0 is its lockable copy). A render
// target is a device texture with a framebuffer; its lockable copy is a CPU surface that the read-back
// fills. Plain and target textures are allocated at the next powers of two of the requested size,
// while `width` and `height` keep the request.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "MzGpuResource.h"
#include "MzList.h"

class MzGrpDevice;

// Pixels in memory: top row first, rows `pitch` bytes apart, four bytes per pixel in the order blue,
// green, red, alpha. The backend uploads it again when `revision` changed.
struct MzSurface {
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0;
    std::vector<uint8_t> bits;
    uint32_t revision = 0;

    // Zero-filled width × height pixels; false when too large or out of memory.
    bool Allocate(int32_t width, int32_t height);
    const uint8_t* Row(int32_t y) const {
        return bits.data() + static_cast<size_t>(y) * static_cast<size_t>(pitch);
    }
};

constexpr uint32_t kTextureRenderTarget = 1;
constexpr uint32_t kTextureLockable = 2;
constexpr uint32_t kTextureFromFile = 4;

class MzTexture {
  public:
    int32_t width = 256;
    int32_t height = 256;
    uint32_t flags = 0;
    // 0 and 1 both mean the back buffer's format.
    int32_t formatKind = 1;
    std::string fileName;
    // Size of the device texture: powers of two for targets and plain textures, the image for files.
    int32_t surfaceWidth = 0;
    int32_t surfaceHeight = 0;
    // The device texture (with its framebuffer for a target); created by the backend.
    mutable std::unique_ptr<MzGpuResource> texture;
    // The CPU copy: the decoded image of a file texture, the read-back of a lockable target.
    std::unique_ptr<MzSurface> lockSurface;

    MzTexture() = default;
    MzTexture(const MzTexture&) = delete;
    MzTexture& operator=(const MzTexture&) = delete;
    virtual ~MzTexture();

    virtual bool Create(MzGrpDevice* device, int32_t width, int32_t height, uint32_t flags,
                        int32_t formatKind);
    // Releases the resources and leaves the registry.
    virtual void Release();
    // Decodes the image file (PNG, JPEG, BMP, GIF, and what Qt's image plugins add). Needs no device.
    virtual bool CreateFromFile(MzGrpDevice* device, const std::string& fileName);
    virtual void ReleaseResources();
    // Re-creates the resources from the stored values; reports and returns false on failure.
    virtual bool Restore(MzGrpDevice* device);

  private:
    bool RestoreFromFile();
    bool RestoreTarget(MzGrpDevice* device);
    bool RestorePlain(MzGrpDevice* device);
};

// Every created texture, in creation order, each at most once; not owned.
MzList<MzTexture*>& MzTextureRegistry();

// The smallest power of two >= n (1 for n <= 1).
int32_t MzNextPowerOfTwo(int32_t n);
