// The graphics window on Qt: a QOpenGLContext and the surface it draws on, both made by the host.
#pragma once

#include <cstdint>

#include "MzGLBackend.h"
#include "MzGraphics.h"

class QOpenGLContext;
class QSurface;

class MzGLWindow : public MzGraphicsWindow {
  public:
    // Both must outlive the graphics system; the context is made current on the calling thread.
    MzGLWindow(QOpenGLContext* context, QSurface* surface, int32_t clientWidth, int32_t clientHeight);

    // The client size changed: the next MzGraphics::Create or reset uses it.
    void SetClientSize(int32_t width, int32_t height);
    void GetClientSize(int32_t* width, int32_t* height) const override;
    std::unique_ptr<MzRenderBackend> CreateBackend(int32_t width, int32_t height, uint32_t* result) override;
    // Given to every backend made from now on.
    void SetPartialPresent(MzGLPartialPresent present) { partialPresent_ = std::move(present); }

  private:
    QOpenGLContext* context_;
    QSurface* surface_;
    int32_t clientWidth_;
    int32_t clientHeight_;
    MzGLPartialPresent partialPresent_;
};
