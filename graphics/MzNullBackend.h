// A backend without a context: it keeps the back buffer's size and records what it is asked to do,
// so that the device, the draw code and the passes can be tested headless.
#pragma once

#include <vector>

#include "MzRenderBackend.h"

class MzNullBackend : public MzRenderBackend {
  public:
    struct Draw {
        MzDeviceState state;
        const MzPrim* prim;
    };
    struct ClearCall {
        MzDeviceState state;
        uint32_t argb;
    };

    std::vector<Draw> draws;
    std::vector<ClearCall> clears;
    std::vector<MzTexture*> readBacks;
    std::vector<MzRect> readBackAreas;
    int presents = 0;
    // What the next CreateTexture returns.
    uint32_t createTextureResult = 0;

    MzNullBackend(int32_t width, int32_t height) : width_(width), height_(height) {}

    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }
    bool Reset(int32_t width, int32_t height) override;
    uint32_t CreateTexture(MzTexture& texture) override;
    void Clear(const MzDeviceState& state, uint32_t argb, float z) override;
    void DrawPrim(const MzDeviceState& state, const MzPrim& prim) override;
    void ReadBack(MzTexture& target, const MzRect& area) override;
    bool ReadBackBuffer(MzSurface* out) override;
    bool ReadBackBufferArea(const MzRect&, MzSurface*) override { return false; }
    void SetPresentSize(int32_t, int32_t) override {}
    void Present(const MzRect* area) override;

  private:
    int32_t width_;
    int32_t height_;
};
