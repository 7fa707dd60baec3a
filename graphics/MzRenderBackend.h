// The emulated fixed-function device state and the one interface every render backend implements.
//
// The draw code sets states the way it would on Direct3D 9, into MzDeviceState. The backend receives
// the whole state with each clear and draw and applies only what differs from what it applied last
// (its state cache), so redundant GL calls are skipped. A null backend records instead of drawing.
#pragma once

#include <cstdint>

#include "MzMath.h"

class MzPrim;
class MzTexture;
struct MzSurface;

enum class MzShadeMode : uint8_t { Flat, Gouraud };
enum class MzFillMode : uint8_t { Wireframe, Solid };
enum class MzCullMode : uint8_t { None, CounterClockwise };
enum class MzTextureOp : uint8_t { Modulate, SelectArg2 };
enum class MzCompare : uint8_t { Always, GreaterEqual };
enum class MzMaterialSource : uint8_t { Material, Color1 };

struct MzRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;

    bool Empty() const { return right <= left || bottom <= top; }
    bool operator==(const MzRect&) const = default;
};

struct MzLightState {
    bool enabled = false;
    Vector4 diffuse;
    Vector4 specular;
    Vector4 ambient;
    // The direction the light travels, in world space.
    Vector3 direction;
};

struct MzMaterialState {
    Vector4 diffuse;
    Vector4 ambient;
    Vector4 specular;
    Vector4 emissive;
    float power = 0;
};

constexpr int kPaletteSize = 256;

struct MzDeviceState {
    // Render states.
    MzShadeMode shadeMode = MzShadeMode::Gouraud;
    MzFillMode fillMode = MzFillMode::Solid;
    MzCullMode cullMode = MzCullMode::None;
    bool zEnable = true;
    bool zWriteEnable = true;
    bool alphaBlendEnable = false; // source alpha, inverse source alpha
    bool alphaTestEnable = false;
    MzCompare alphaFunc = MzCompare::Always;
    uint8_t alphaRef = 0;
    bool lighting = true;
    bool specularEnable = false;
    bool colorVertex = false;
    MzMaterialSource diffuseSource = MzMaterialSource::Material;
    bool indexedVertexBlend = false; // three weights always: the device is made with D3DVBF_3WEIGHTS
    uint32_t ambient = 0x00FFFFFF;
    // Texture stage 0; its alpha is always texture × diffuse.
    MzTextureOp colorOp = MzTextureOp::Modulate;
    MzTexture* textures[4] = {};
    MzLightState lights[2];
    MzMaterialState material;
    // Transforms. worldMatrices[0] is also the plain world transform, as on Direct3D.
    Matrix4x4 view = MatrixIdentity();
    Matrix4x4 projection = MatrixIdentity();
    Matrix4x4 worldMatrices[kPaletteSize];
    int32_t vertexFormat = 0;
    // Output: null target = the back buffer; viewport and scissor in target pixels, top-left origin.
    MzTexture* target = nullptr;
    MzRect viewport;
    bool scissorEnable = false;
    MzRect scissor;

    MzDeviceState();
};

class MzRenderBackend {
  public:
    virtual ~MzRenderBackend() = default;

    // Size of the back buffer.
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    // Re-creates the back buffer at a new size and drops every device object (they are made again
    // on use); false when that fails.
    virtual bool Reset(int32_t width, int32_t height) = 0;
    // Creates the device texture of a target (with its framebuffer) or of a plain texture, of
    // texture.surfaceWidth × surfaceHeight; returns a result code (0 on success).
    virtual uint32_t CreateTexture(MzTexture& texture) = 0;
    // Clears the viewport (within the scissor when it is on) of the state's target.
    virtual void Clear(const MzDeviceState& state, uint32_t argb, float z) = 0;
    virtual void DrawPrim(const MzDeviceState& state, const MzPrim& prim) = 0;
    // Copies `area` of a target (target pixels, top-left origin) into the same place of its lockable
    // copy (top row first, blue green red alpha); the rest of the copy is left as it is.
    virtual void ReadBack(MzTexture& target, const MzRect& area) = 0;
    // Copies the back buffer into `out` (top row first), for snapshots and tests.
    virtual bool ReadBackBuffer(MzSurface* out) = 0;
    // Copies `area` of the back buffer (top-left origin) into `out` (top row first); false when the
    // area is empty or the backend keeps no pixels.
    virtual bool ReadBackBufferArea(const MzRect& area, MzSurface* out) = 0;
    // Size of the surface the back buffer is shown on (the window's client area).
    virtual void SetPresentSize(int32_t width, int32_t height) = 0;
    // Shows the back buffer; only `area` when given (client pixels, top-left origin).
    virtual void Present(const MzRect* area) = 0;
};
