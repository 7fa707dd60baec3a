// The graphics device: creation, reset, default states, and the projections between screen and world.
#include "MzGraphics.h"

#include <algorithm>

#include "MzBuffer.h"
#include "MzLog.h"
#include "MzRenderPass.h"
#include "MzTexture.h"

MzGraphics* g_graphics = nullptr;
std::atomic<int32_t> g_clientWidth{0};
std::atomic<int32_t> g_clientHeight{0};
std::atomic<int32_t> g_renderWidth{0};
std::atomic<int32_t> g_renderHeight{0};

MzDeviceState::MzDeviceState() {
    for (Matrix4x4& m : worldMatrices)
        m = MatrixIdentity();
}

// ---------------------------------------------------------------- MzGrpDevice

void MzGrpDevice::Attach(MzRenderBackend* backend) {
    d3dDevice = backend;
    currentTarget = nullptr;
}

void MzGrpDevice::AfterReset() {
    currentTarget = nullptr;
}

void MzGrpDevice::SetPerspective(float fovY, float aspect, float zNear, float zFar) {
    if (d3dDevice == nullptr) return;
    D3DXMatrixPerspectiveFovLH(&state.projection, fovY, aspect, zNear, zFar);
}

void MzGrpDevice::SetOrtho(float cx, float cy, float width, float height, float zNear, float zFar) {
    if (d3dDevice == nullptr) return;
    Matrix4x4 m;
    m.m[0][0] = 2 / width;
    m.m[1][1] = 2 / height;
    m.m[2][2] = 1 / (zFar - zNear);
    m.m[3][0] = -2 * cx / width;
    m.m[3][1] = -2 * cy / height;
    m.m[3][2] = zNear / (zNear - zFar);
    m.m[3][3] = 1;
    state.projection = m;
}

void MzGrpDevice::GetViewProjection(Matrix4x4* out) const {
    if (d3dDevice == nullptr) return;
    D3DXMatrixMultiply(out, state.view, state.projection);
}

void MzGrpDevice::Project(const Vector4& world, Vector4* ndc) const {
    Vector4 p = world;
    if (flat2D) FoldFlat2D(&p, *this);
    Matrix4x4 viewProjection;
    D3DXMatrixMultiply(&viewProjection, state.view, state.projection);
    TransformCoord4(viewProjection, ndc, p);
}

Matrix4x4 MzGrpDevice::InverseViewProjection() const {
    Matrix4x4 viewProjection, inverse;
    D3DXMatrixMultiply(&viewProjection, state.view, state.projection);
    D3DXMatrixInverse(&inverse, viewProjection);
    return inverse;
}

void MzGrpDevice::Unproject(Vector4* world, const Vector4& ndc) const {
    if (flat2D) {
        UnprojectOnPlaneY(world, ndc, 0);
        return;
    }
    TransformCoord4(InverseViewProjection(), world, ndc);
}

// The point under (sx, sy) at the depth z = -num / den: the far plane when den is 0, else clamped.
Vector4 MzGrpDevice::UnprojectAtDepth(const Matrix4x4& inverse, const Vector4& ndc, float den,
                                      float num) const {
    float z = den == 0 ? 1.0f : std::clamp(-num / den, 0.0f, 1.0f);
    Vector4 world;
    TransformCoord4(inverse, &world, Vector4{ndc.x, ndc.y, z, ndc.w});
    return world;
}

void MzGrpDevice::UnprojectOnPlaneY(Vector4* world, const Vector4& ndc, float y) const {
    const Matrix4x4 inv = InverseViewProjection();
    const auto& m = inv.m;
    if (flat2D) {
        Vector4 u;
        TransformCoord4(inv, &u, Vector4{ndc.x, ndc.y, 0, 1});
        const float cx = (worldBox.min.x + worldBox.max.x) / 2;
        const float cy = (worldBox.min.y + worldBox.max.y) / 2;
        const float cz = (worldBox.min.z + worldBox.max.z) / 2;
        *world = Vector4{cx + u.x, y, cz + cy + u.y - y, 1};
        return;
    }
    const float den = m[2][1] - y * m[2][3];
    const float num =
        (m[0][1] - y * m[0][3]) * ndc.x + (m[1][1] - y * m[1][3]) * ndc.y + (m[3][1] - y * m[3][3]);
    *world = UnprojectAtDepth(inv, ndc, den, num);
    world->y = y;
}

void MzGrpDevice::UnprojectOnPlaneZ(const Vector4& ndc, Vector4* world, float z) const {
    if (flat2D) {
        Vector4 onGround;
        UnprojectOnPlaneY(&onGround, ndc, 0);
        *world = Vector4{onGround.x, onGround.z - z, z, 1};
        return;
    }
    const Matrix4x4 inv = InverseViewProjection();
    const auto& m = inv.m;
    const float den = m[2][2] - z * m[2][3];
    const float num =
        (m[0][2] - z * m[0][3]) * ndc.x + (m[1][2] - z * m[1][3]) * ndc.y + (m[3][2] - z * m[3][3]);
    *world = UnprojectAtDepth(inv, ndc, den, num);
    world->z = z;
}

void MzGrpDevice::UnprojectOnPlane(const Vector3& n, const Vector4& ndc, Vector4* world, float d) const {
    const Matrix4x4 inv = InverseViewProjection();
    const auto& m = inv.m;
    auto dotRow = [&](int r) { return n.x * m[r][0] + n.y * m[r][1] + n.z * m[r][2] - d * m[r][3]; };
    const float den = dotRow(2);
    const float num = dotRow(0) * ndc.x + dotRow(1) * ndc.y + dotRow(3);
    *world = UnprojectAtDepth(inv, ndc, den, num);
}

void FoldFlat2D(Vector4* t, const MzGrpDevice& device) {
    const BoundingBox& box = device.worldBox;
    const float cx = (box.min.x + box.max.x) / 2;
    const float cy = (box.min.y + box.max.y) / 2;
    const float cz = (box.min.z + box.max.z) / 2;
    *t = Vector4{t->x - cx, (t->y - cy) + (t->z - cz), 0, 1};
}

// ---------------------------------------------------------------- MzGraphics

MzGraphics::MzGraphics() {
    g_graphics = this;
    g_clientWidth = g_clientHeight = g_renderWidth = g_renderHeight = 0;
}

MzGraphics::~MzGraphics() {
    ReleaseDevice();
    if (g_graphics == this) g_graphics = nullptr;
}

bool MzGraphics::Create(MzGraphicsWindow* host, int32_t renderWidth, int32_t renderHeight) {
    ReleaseDevice();
    fullscreen = false;
    window = host;
    adapter = 0;
    backBufferFormat = kBackBufferFormat;
    followClientWidth_ = renderWidth == 0;
    followClientHeight_ = renderHeight == 0;
    g_renderWidth = renderWidth;
    g_renderHeight = renderHeight;
    ReadSizes();
    return CreateDevice();
}

// The client size, and the render size where it follows the client; a size the host gave stays as
// the host last set it (it sets new buffer sizes before a reset).
void MzGraphics::ReadSizes() {
    window->GetClientSize(&windowWidth, &windowHeight);
    g_clientWidth = windowWidth;
    g_clientHeight = windowHeight;
    if (followClientWidth_) g_renderWidth = windowWidth;
    if (followClientHeight_) g_renderHeight = windowHeight;
}

bool MzGraphics::CreateDevice() {
    ready = false;
    device.currentTarget = nullptr;
    if (d3dDevice == nullptr) {
        uint32_t result = kD3DErrNotAvailable;
        if (window != nullptr) d3dDevice = window->CreateBackend(g_renderWidth, g_renderHeight, &result);
        if (d3dDevice == nullptr) {
            // There is no reference rasteriser to fall back to: both boxes of a failed fallback.
            MzErrorBox("ERROR", "Direct3Dデバイスの生成に失敗しました(%s) w:[%d] h:[%d] fmt:[%d]",
                       MzD3DErrorName(result), g_renderWidth.load(), g_renderHeight.load(),
                       static_cast<int>(backBufferFormat));
            MzErrorBox("ERROR", "Direct3Dデバイスの作成に失敗しました。\n");
            return false;
        }
        device.Attach(d3dDevice.get());
    } else {
        if (window != nullptr) ReadSizes();
        if (!d3dDevice->Reset(g_renderWidth, g_renderHeight)) {
            MzErrorBox("ERROR", "デバイスのリセットに失敗しました(%s)", MzD3DErrorName(kD3DErrInvalidCall));
            return false;
        }
        device.AfterReset();
    }
    d3dDevice->SetPresentSize(windowWidth, windowHeight);
    SetDefaultStates();
    for (size_t i = 0; i < MzTextureRegistry().Count(); ++i)
        MzTextureRegistry()[i]->Restore(&device);
    ready = true;
    return true;
}

void MzGraphics::SetDefaultStates() {
    // A reset returns every state to its default, as on Direct3D; the defaults are the set-up ones.
    device.state = MzDeviceState{};
    const float aspect =
        static_cast<float>(g_clientWidth.load()) / static_cast<float>(std::max(1, g_clientHeight.load()));
    device.SetPerspective(1.0471976f, aspect, 1.0f, 1000.0f);
}

void MzGraphics::ReleaseDevice() {
    device.currentTarget = nullptr;
    device.Attach(nullptr);
    d3dDevice.reset();
}

void MzGraphics::Render() {
    if (!ready) return;
    for (MzRenderPass* pass : MzRenderPassList())
        pass->Render(&device);
}

void MzGraphics::ReleaseTextureResources() {
    for (size_t i = 0; i < MzTextureRegistry().Count(); ++i)
        MzTextureRegistry()[i]->ReleaseResources();
}

void MzGraphics::Present(const MzRect* area) {
    if (ready && d3dDevice != nullptr) d3dDevice->Present(area);
}

uint32_t GetBackBufferFormat(int32_t) {
    if (g_graphics == nullptr || g_graphics->d3dDevice == nullptr) return 0;
    return g_graphics->backBufferFormat;
}
