#include "QtGLSurface.h"

#include "QtMainWindow.h"

bool QtGLSurface::Create() {
    m_context = std::make_unique<QOpenGLContext>();
    m_context->setFormat(m_window.requestedFormat());
    if (!m_context->create() || !m_context->makeCurrent(&m_window)) {
        m_context.reset();
        return false;
    }
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
