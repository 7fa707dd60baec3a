// The recording backend.
#include "MzNullBackend.h"

#include "MzTexture.h"

bool MzNullBackend::Reset(int32_t width, int32_t height) {
    width_ = width;
    height_ = height;
    return true;
}

uint32_t MzNullBackend::CreateTexture(MzTexture& texture) {
    if (createTextureResult == 0) texture.texture = std::make_unique<MzGpuResource>();
    return createTextureResult;
}

void MzNullBackend::Clear(const MzDeviceState& state, uint32_t argb, float) {
    clears.push_back({state, argb});
}

void MzNullBackend::DrawPrim(const MzDeviceState& state, const MzPrim& prim) {
    draws.push_back({state, &prim});
}

void MzNullBackend::ReadBack(MzTexture& target, const MzRect& area) {
    readBacks.push_back(&target);
    readBackAreas.push_back(area);
}

bool MzNullBackend::ReadBackBuffer(MzSurface*) {
    return false;
}

void MzNullBackend::Present(const MzRect*) {
    ++presents;
}
