#include "QtGLSurface.h"

#include "QtMainWindow.h"

#include <QGuiApplication>
#include <cstring>

namespace {
constexpr int kGlxExtensions = 3; // GLX_EXTENSIONS
using GetClientStringFn = const char* (*)(void* display, int name);
} // namespace

bool QtGLSurface::Create() {
    m_context = std::make_unique<QOpenGLContext>();
    m_context->setFormat(m_window.requestedFormat());
    if (!m_context->create() || !m_context->makeCurrent(&m_window)) {
        m_context.reset();
        return false;
    }
    // glXGetProcAddress answers any name, so the extension list decides.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    auto getClientString =
        reinterpret_cast<GetClientStringFn>(m_context->getProcAddress("glXGetClientString"));
    if (x11 == nullptr || getClientString == nullptr) return true;
    m_display = x11->display();
    const char* extensions = getClientString(m_display, kGlxExtensions);
    if (extensions != nullptr && std::strstr(extensions, "GLX_MESA_copy_sub_buffer") != nullptr)
        m_copySubBuffer =
            reinterpret_cast<CopySubBufferFn>(m_context->getProcAddress("glXCopySubBufferMESA"));
    return true;
}

bool QtGLSurface::CopySubBuffer(int x, int y, int width, int height) {
    if (m_copySubBuffer == nullptr || !m_window.WasExposed()) return false;
    m_copySubBuffer(m_display, m_window.winId(), x, y, width, height);
    return true;
}

void QtGLSurface::Destroy() {
    if (!m_context) return;
    m_context->doneCurrent();
    m_context.reset();
}

void QtGLSurface::Swap() {
    if (m_context && m_window.WasExposed()) m_context->swapBuffers(&m_window);
}
