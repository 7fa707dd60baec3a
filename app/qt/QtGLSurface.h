// The OpenGL context of the application thread, drawing into the main window.
// Created, made current, swapped and destroyed on the application thread only.
#pragma once

#include <QOpenGLContext>
#include <memory>

class QtMainWindow;

class QtGLSurface {
  public:
    explicit QtGLSurface(QtMainWindow& window) : m_window(window) {}

    bool Create();
    void Destroy();
    // Shows the back buffer once the window has been exposed (before, presenting is undefined).
    void Swap();
    QOpenGLContext* Context() { return m_context.get(); }
    // Copies a rectangle of the back buffer to the window (x, y from the bottom left) with
    // glXCopySubBufferMESA; false where GLX does not offer it.
    bool CopySubBuffer(int x, int y, int width, int height);

  private:
    using CopySubBufferFn = void (*)(void* display, unsigned long drawable, int x, int y, int width,
                                     int height);

    QtMainWindow& m_window;
    std::unique_ptr<QOpenGLContext> m_context;
    void* m_display = nullptr;
    CopySubBufferFn m_copySubBuffer = nullptr;
};
