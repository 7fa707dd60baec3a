// Textures and render targets, and the texture registry.
#include "MzTexture.h"

#include <QImage>
#include <QString>
#include <new>

#include "MzBuffer.h"
#include "MzGraphics.h"
#include "MzLog.h"

namespace {

// Sides beyond this are refused as the device would refuse them.
constexpr int32_t kMaxTextureSide = 8192;

void Register(MzTexture* texture) {
    if (MzTextureRegistry().IndexOf(texture) < 0) MzTextureRegistry().Add(texture);
}

} // namespace

bool MzSurface::Allocate(int32_t w, int32_t h) {
    if (w <= 0 || h <= 0 || w > kMaxTextureSide || h > kMaxTextureSide) return false;
    try {
        bits.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    width = w;
    height = h;
    pitch = w * 4;
    ++revision;
    return true;
}

MzList<MzTexture*>& MzTextureRegistry() {
    static MzList<MzTexture*> registry;
    return registry;
}

int32_t MzNextPowerOfTwo(int32_t n) {
    int32_t p = 1;
    while (p < n && p < (1 << 30))
        p <<= 1;
    return p;
}

MzTexture::~MzTexture() {
    ReleaseResources();
    MzTextureRegistry().Remove(this);
}

bool MzTexture::Create(MzGrpDevice* device, int32_t w, int32_t h, uint32_t newFlags, int32_t kind) {
    Release();
    width = w;
    height = h;
    flags = newFlags;
    formatKind = kind;
    Register(this);
    return Restore(device);
}

void MzTexture::Release() {
    ReleaseResources();
    MzTextureRegistry().Remove(this);
}

bool MzTexture::CreateFromFile(MzGrpDevice* device, const std::string& name) {
    Release();
    flags = kTextureLockable | kTextureFromFile;
    fileName = name;
    Register(this);
    return Restore(device);
}

void MzTexture::ReleaseResources() {
    lockSurface.reset();
    texture.reset();
    surfaceWidth = 0;
    surfaceHeight = 0;
}

bool MzTexture::Restore(MzGrpDevice* device) {
    ReleaseResources();
    if (flags & kTextureFromFile) return RestoreFromFile();
    if (flags & kTextureRenderTarget) return RestoreTarget(device);
    return RestorePlain(device);
}

bool MzTexture::RestoreFromFile() {
    QImage image(QString::fromStdString(fileName));
    auto surface = std::make_unique<MzSurface>();
    if (image.isNull() || !surface->Allocate(image.width(), image.height())) {
        MzErrorBox("ERROR", "texutre not found (\"%s\")", fileName.c_str());
        return false;
    }
    // ARGB32 is stored as 32-bit words 0xAARRGGBB: blue first in memory on little-endian machines.
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int32_t y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        for (int32_t x = 0; x < image.width(); ++x) {
            uint32_t argb = reinterpret_cast<const uint32_t*>(row)[x];
            uint8_t* out = surface->bits.data() + static_cast<size_t>(y) * surface->pitch + x * 4;
            out[0] = static_cast<uint8_t>(argb);
            out[1] = static_cast<uint8_t>(argb >> 8);
            out[2] = static_cast<uint8_t>(argb >> 16);
            out[3] = static_cast<uint8_t>(argb >> 24);
        }
    }
    width = surfaceWidth = image.width();
    height = surfaceHeight = image.height();
    formatKind = 1;
    lockSurface = std::move(surface);
    return true;
}

bool MzTexture::RestoreTarget(MzGrpDevice* device) {
    surfaceWidth = MzNextPowerOfTwo(width);
    surfaceHeight = MzNextPowerOfTwo(height);
    uint32_t result = kD3DErrInvalidCall;
    if (device != nullptr && device->d3dDevice != nullptr && surfaceWidth <= kMaxTextureSide &&
        surfaceHeight <= kMaxTextureSide)
        result = device->d3dDevice->CreateTexture(*this);
    if (result != kD3DOk) {
        MzErrorBox("ERROR", "テクスチャの生成に失敗(%s) w:[%d] h:[%d] fmt:[%d]", MzD3DErrorName(result),
                   width, height, static_cast<int>(GetBackBufferFormat(formatKind)));
        texture.reset();
        return false;
    }
    if (!(flags & kTextureLockable)) return true;
    auto surface = std::make_unique<MzSurface>();
    if (!surface->Allocate(surfaceWidth, surfaceHeight)) {
        MzErrorBox("ERROR", "Lock用テクスチャの生成に失敗(%s)", MzD3DErrorName(kD3DErrOutOfVideoMemory));
        return false;
    }
    lockSurface = std::move(surface);
    return true;
}

bool MzTexture::RestorePlain(MzGrpDevice* device) {
    surfaceWidth = MzNextPowerOfTwo(width);
    surfaceHeight = MzNextPowerOfTwo(height);
    // A plain texture's contents live in its CPU copy; the backend uploads it when it is drawn.
    auto surface = std::make_unique<MzSurface>();
    if (device == nullptr || device->d3dDevice == nullptr ||
        !surface->Allocate(surfaceWidth, surfaceHeight)) {
        uint32_t result =
            device == nullptr || device->d3dDevice == nullptr ? kD3DErrInvalidCall : kD3DErrOutOfVideoMemory;
        MzErrorBox("ERROR", "テクスチャの生成に失敗(%s)", MzD3DErrorName(result));
        return false;
    }
    lockSurface = std::move(surface);
    return true;
}
