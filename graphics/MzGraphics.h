// The graphics device: MzGraphics creates, resets and owns it; MzGrpDevice is the handle all drawing
// code receives, with the projections between screen and world.
//
// Screen positions (ndc) are normalised device coordinates: x and y from -1 to 1, z from 0 (near)
// to 1 (far), w = 1. In flat 2D mode depth is folded into height and everything lies in the plane
// z = 0 (FoldFlat2D).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "MzInfo.h"
#include "MzMath.h"
#include "MzRenderBackend.h"

class MzGrpDevice {
  public:
    // The backend, owned by MzGraphics; null while there is no device.
    MzRenderBackend* d3dDevice = nullptr;
    // The texture the current pass draws into; null for the back buffer.
    MzTexture* currentTarget = nullptr;
    bool flat2D = false;
    BoundingBox worldBox;
    // 0 = none; otherwise the fill mode every prim is drawn with.
    int32_t fillModeOverride = 0;
    bool lightingEnable = true;
    bool specularEnable = true;
    bool textureEnable = true;
    // The fixed-function state the draw code sets.
    MzDeviceState state;

    virtual ~MzGrpDevice() = default;

    void Attach(MzRenderBackend* device);
    void AfterReset();
    void SetPerspective(float fovY, float aspect, float zNear, float zFar);
    void SetOrtho(float cx, float cy, float width, float height, float zNear, float zFar);
    void GetViewProjection(Matrix4x4* out) const;
    void Project(const Vector4& world, Vector4* ndc) const;
    void Unproject(Vector4* world, const Vector4& ndc) const;
    void UnprojectOnPlaneY(Vector4* world, const Vector4& ndc, float y) const;
    void UnprojectOnPlaneZ(const Vector4& ndc, Vector4* world, float z) const;
    void UnprojectOnPlane(const Vector3& normal, const Vector4& ndc, Vector4* world, float d) const;

  private:
    Matrix4x4 InverseViewProjection() const;
    Vector4 UnprojectAtDepth(const Matrix4x4& inverse, const Vector4& ndc, float den, float num) const;
};

// t = (t.x - c.x, (t.y - c.y) + (t.z - c.z), 0, 1) with c the centre of the device's world box.
void FoldFlat2D(Vector4* t, const MzGrpDevice& device);

// What the graphics system is created on: the host's window or an offscreen stand-in.
class MzGraphicsWindow {
  public:
    virtual ~MzGraphicsWindow() = default;
    virtual void GetClientSize(int32_t* width, int32_t* height) const = 0;
    // The device with a back buffer of width × height, or null with a result code.
    virtual std::unique_ptr<MzRenderBackend> CreateBackend(int32_t width, int32_t height,
                                                           uint32_t* result) = 0;
};

// D3DFMT_A8R8G8B8: four bytes per pixel, blue first in memory.
constexpr uint32_t kBackBufferFormat = 21;

class MzGraphics : public MzInfo {
  public:
    bool ready = false;
    std::unique_ptr<MzRenderBackend> d3dDevice;
    MzGrpDevice device;
    MzGraphicsWindow* window = nullptr;
    bool fullscreen = false;
    int32_t windowWidth = 0;
    int32_t windowHeight = 0;
    uint32_t refreshRate = 0;
    uint32_t backBufferFormat = kBackBufferFormat;
    uint32_t adapter = 0;
    bool presentImmediate = false;

    MzGraphics();
    MzGraphics(const MzGraphics&) = delete;
    MzGraphics& operator=(const MzGraphics&) = delete;
    virtual ~MzGraphics();

    // 0 for a size means the client size.
    bool Create(MzGraphicsWindow* window, int32_t renderWidth, int32_t renderHeight);
    // Creates the device, or resets the existing one, and sets it up. A reset reads the client size
    // again: a back buffer created with size 0 follows it; otherwise it takes g_renderWidth and
    // g_renderHeight as they are, which the host sets to the new buffer sizes first.
    bool CreateDevice();
    void ReleaseDevice();
    // Runs every pass of the pass list, in order, while ready.
    void Render();
    void ReleaseTextureResources();
    // Shows the back buffer (only `area`, in client pixels, when given) while ready.
    void Present(const MzRect* area);

  private:
    bool followClientWidth_ = true;
    bool followClientHeight_ = true;

    void ReadSizes();
    void SetDefaultStates();
};

// Format of kinds 0 and 1 (the back buffer's); 0 without a device.
uint32_t GetBackBufferFormat(int32_t kind);

extern MzGraphics* g_graphics;
// The window's client size and the back-buffer size, written by MzGraphics::Create; read by other threads.
extern std::atomic<int32_t> g_clientWidth;
extern std::atomic<int32_t> g_clientHeight;
extern std::atomic<int32_t> g_renderWidth;
extern std::atomic<int32_t> g_renderHeight;
