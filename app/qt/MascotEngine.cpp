#include "MascotEngine.h"

#include "MzLog.h"

bool MascotEngine::LoadConfig() {
    return true;
}

bool MascotEngine::StartGraphics(const MzScreenRect&) {
    m_surface = std::make_unique<QtGLSurface>(*m_window);
    if (m_surface->Create()) return true;
    m_surface.reset();
    MzErrorBox("ERROR", "OpenGLの初期化に失敗しました");
    return false;
}

bool MascotEngine::RunStartupScript() {
    return true;
}

bool MascotEngine::ResetGraphics(const MzScreenRect&) {
    return true;
}

void MascotEngine::Present() {
    if (m_surface) m_surface->Swap();
}

void MascotEngine::EndGraphics() {
    if (!m_surface) return;
    m_surface->Destroy();
    m_surface.reset();
}
