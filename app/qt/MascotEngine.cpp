#include "MascotEngine.h"

#include "MzLog.h"
#include "QtMainWindow.h"

#include <algorithm>

namespace {
// Mask pixels per client pixel along each axis until the configuration gives its own.
constexpr int kMaskDivisor = 4;
// Render-target flags: a render target with a lockable copy; format kind 0 is the back buffer's.
constexpr std::uint32_t kMaskTargetFlags = 3;
} // namespace

MascotEngine::~MascotEngine() {
    EndGraphics();
}

bool MascotEngine::LoadConfig() {
    return true;
}

void MascotEngine::ComputeBufferSizes(const MzScreenRect& client) {
    m_maskWidth = std::max(1, client.width / kMaskDivisor);
    m_maskHeight = std::max(1, client.height / kMaskDivisor);
}

bool MascotEngine::StartGraphics(const MzScreenRect& client) {
    ComputeBufferSizes(client);
    m_surface = std::make_unique<QtGLSurface>(*m_window);
    if (!m_surface->Create()) {
        m_surface.reset();
        MzErrorBox("ERROR", "Direct3Dの生成に失敗しました");
        return false;
    }
    m_glWindow = std::make_unique<MzGLWindow>(m_surface->Context(), m_window, client.width, client.height);
    m_graphics.presentImmediate = true;
    if (!m_graphics.Create(m_glWindow.get(), 0, 0)) return false;
    m_maskPass.maskTexture.Create(&m_graphics.device, m_maskWidth, m_maskHeight, kMaskTargetFlags, 0);
    m_maskPass.target = &m_maskPass.maskTexture;
    m_normalPass.regionSource = &m_maskPass;
    MzRenderPassList().Add(&m_maskPass);
    MzRenderPassList().Add(&m_normalPass);
    return true;
}

bool MascotEngine::RunStartupScript() {
    return true;
}

bool MascotEngine::ResetGraphics(const MzScreenRect& client) {
    if (!m_glWindow) return false;
    ComputeBufferSizes(client);
    m_glWindow->SetClientSize(client.width, client.height);
    m_graphics.ReleaseTextureResources();
    m_maskPass.maskTexture.width = m_maskWidth;
    m_maskPass.maskTexture.height = m_maskHeight;
    return m_graphics.CreateDevice();
}

void MascotEngine::Render() {
    m_graphics.Render();
}

std::vector<MzScreenRect> MascotEngine::BuildWindowRegion() {
    m_maskPass.BuildWindowRegion();
    m_presentArea = m_maskPass.RegionBounds();
    std::vector<MzScreenRect> rects;
    std::unique_ptr<MzRegionData> region = m_maskPass.region.Take();
    if (!region) return rects;
    rects.reserve(region->rects.size());
    for (const MzRect& r : region->rects)
        rects.push_back({r.left, r.top, r.right - r.left, r.bottom - r.top});
    return rects;
}

// Only the silhouette's bounding box is ever visible, so only that part is presented.
void MascotEngine::Present() {
    if (!m_window->WasExposed() || m_presentArea.Empty()) return;
    m_graphics.Present(&m_presentArea);
}

void MascotEngine::EndGraphics() {
    if (!m_surface) return;
    MzRenderPassList().Remove(&m_maskPass);
    MzRenderPassList().Remove(&m_normalPass);
    m_graphics.ReleaseTextureResources();
    m_graphics.ReleaseDevice();
    m_glWindow.reset();
    m_surface->Destroy();
    m_surface.reset();
}
