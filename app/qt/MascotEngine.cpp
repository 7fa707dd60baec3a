#include "MascotEngine.h"

#include "MainApp.h"
#include "MzLog.h"
#include "MzSquirrel.h"
#include "QtMainWindow.h"

namespace {
// Render-target flags: a render target with a lockable copy; format kind 0 is the back buffer's.
constexpr std::uint32_t kMaskTargetFlags = 3;
} // namespace

void AppInputWindow::GetOrigin(int* x, int* y) const {
    *x = m_app->x;
    *y = m_app->y;
}

MascotEngine::~MascotEngine() {
    EndGraphics();
}

void AppMenuRegistry::Add(int index, const std::optional<std::string>& text, Function function) {
    m_app->UserMenu().Add(index, text, std::move(function));
}

void AppMenuRegistry::Remove(int index) {
    m_app->UserMenu().Remove(index);
}

void MascotEngine::SetApp(MainApp* app) {
    m_mainApp = app;
    m_app = app;
}

bool MascotEngine::LoadConfig() {
    return m_config.Load();
}

void MascotEngine::ComputeBufferSizes(const MzScreenRect& client) {
    MzBufferSizes sizes = ::ComputeBufferSizes(m_config, client.width, client.height);
    g_renderWidth = sizes.renderWidth;
    g_renderHeight = sizes.renderHeight;
    m_maskWidth = sizes.maskWidth;
    m_maskHeight = sizes.maskHeight;
}

void MascotEngine::SetWorldBox(const MzScreenRect& client) {
    std::array<float, 8> bounds = m_config.GetWorldBounds(client.width, client.height);
    BoundingBox& box = m_graphics.device.worldBox;
    box.min = {bounds[0], bounds[1], bounds[2], bounds[3]};
    box.max = {bounds[4], bounds[5], bounds[6], bounds[7]};
}

bool MascotEngine::StartGraphics(const MzScreenRect& client) {
    ComputeBufferSizes(client);
    m_input.window = &m_inputWindow;
    m_input.mouse.Attach(&m_inputWindow, 0);
    m_input.mouse.Activate();
    g_input = &m_input;
    m_surface = std::make_unique<QtGLSurface>(*m_window);
    if (!m_surface->Create()) {
        m_surface.reset();
        MzErrorBox("ERROR", "Direct3Dの生成に失敗しました");
        return false;
    }
    m_glWindow = std::make_unique<MzGLWindow>(m_surface->Context(), m_window, client.width, client.height);
    m_glWindow->SetPartialPresent([surface = m_surface.get()](int32_t x, int32_t y, int32_t w, int32_t h) {
        return surface->CopySubBuffer(x, y, w, h);
    });
    m_graphics.presentImmediate = true;
    if (!m_graphics.Create(m_glWindow.get(), g_renderWidth, g_renderHeight)) return false;
    m_maskPass.maskTexture.Create(&m_graphics.device, m_maskWidth, m_maskHeight, kMaskTargetFlags, 0);
    m_maskPass.target = &m_maskPass.maskTexture;
    m_normalPass.regionSource = &m_maskPass;
    MzRenderPassList().Add(&m_maskPass);
    MzRenderPassList().Add(&m_normalPass);
    SetWorldBox(client);
    m_objects.NewList();
    RegisterScriptAPI(&m_menuRegistry);
    return true;
}

bool MascotEngine::RunStartupScript() {
    return MzSquirrel::RunScript(m_config.startupScript, true);
}

bool MascotEngine::ResetGraphics(const MzScreenRect& client) {
    if (!m_glWindow) return false;
    ComputeBufferSizes(client);
    m_glWindow->SetClientSize(client.width, client.height);
    m_graphics.ReleaseTextureResources();
    m_maskPass.maskTexture.width = m_maskWidth;
    m_maskPass.maskTexture.height = m_maskHeight;
    SetWorldBox(client);
    return m_graphics.CreateDevice();
}

void MascotEngine::UpdateActors(std::uint32_t elapsedMs) {
    m_actors.Update(static_cast<std::int32_t>(elapsedMs));
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

void MascotEngine::CollectGarbage() {
    if (HSQUIRRELVM vm = MzSquirrel::GetVM()) sq_collectgarbage(vm);
}

void MascotEngine::SetPaused(bool paused) {
    g_paused = paused;
}

void MascotEngine::EndGraphics() {
    m_actors.KillAll();
    m_objects.DeleteList();
    g_input = nullptr;
    if (!m_surface) return;
    MzRenderPassList().Remove(&m_maskPass);
    MzRenderPassList().Remove(&m_normalPass);
    m_graphics.ReleaseTextureResources();
    m_graphics.ReleaseDevice();
    m_glWindow.reset();
    m_surface->Destroy();
    m_surface.reset();
}
