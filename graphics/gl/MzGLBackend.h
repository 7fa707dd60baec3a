// The OpenGL 3.3 core backend: the emulated fixed-function pipeline with a cache of the GL state it
// applied last, managed buffers and textures uploaded on use, render targets as framebuffers, and a
// back buffer that is a framebuffer too, shown by blitting (only the presented area) to the surface.
//
// The context must be current on the calling thread whenever the backend is used (the application
// thread). Device objects die with the backend; their owners keep the CPU copies, so a new backend on
// a re-created context uploads everything again on first use.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "MzRenderBackend.h"

class QOpenGLContext;
class QSurface;

// Counters of the GL work actually issued (after the state cache).
// Shows a rectangle of the surface's back buffer on the surface without a swap (GL window
// coordinates: x, y from the bottom left, width, height); false when that is not possible.
using MzGLPartialPresent = std::function<bool(int32_t x, int32_t y, int32_t width, int32_t height)>;

struct MzGLStats {
    uint64_t draws = 0;
    uint64_t stateChanges = 0;
    uint64_t uniformUploads = 0;
    uint64_t paletteUploads = 0;
    uint64_t bufferUploads = 0;
    uint64_t textureUploads = 0;
};

class MzGLBackend : public MzRenderBackend {
  public:
    // Null with a result code when the context is not 3.3 core or the set-up fails.
    static std::unique_ptr<MzGLBackend> Create(QOpenGLContext* context, QSurface* surface, int32_t width,
                                               int32_t height, uint32_t* result);
    ~MzGLBackend() override;

    int32_t Width() const override;
    int32_t Height() const override;
    bool Reset(int32_t width, int32_t height) override;
    uint32_t CreateTexture(MzTexture& texture) override;
    void Clear(const MzDeviceState& state, uint32_t argb, float z) override;
    void DrawPrim(const MzDeviceState& state, const MzPrim& prim) override;
    void ReadBack(MzTexture& target, const MzRect& area) override;
    bool ReadBackBuffer(MzSurface* out) override;
    bool ReadBackBufferArea(const MzRect& area, MzSurface* out) override;
    void Present(const MzRect* area) override;

    void SetPresentSize(int32_t width, int32_t height) override;
    // Where the platform offers it, an area is presented by copying only that part.
    void SetPartialPresent(MzGLPartialPresent present);
    const MzGLStats& Stats() const;
    // Waits until every GL command issued so far has completed (for measurements).
    void Finish();

    struct Impl;

  private:
    explicit MzGLBackend(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};
