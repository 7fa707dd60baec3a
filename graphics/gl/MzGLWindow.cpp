// The graphics window on Qt.
#include "MzGLWindow.h"

#include <QOpenGLContext>

#include "MzBuffer.h"
#include "MzGLBackend.h"

MzGLWindow::MzGLWindow(QOpenGLContext* context, QSurface* surface, int32_t clientWidth, int32_t clientHeight)
    : context_(context), surface_(surface), clientWidth_(clientWidth), clientHeight_(clientHeight) {}

void MzGLWindow::SetClientSize(int32_t width, int32_t height) {
    clientWidth_ = width;
    clientHeight_ = height;
}

void MzGLWindow::GetClientSize(int32_t* width, int32_t* height) const {
    *width = clientWidth_;
    *height = clientHeight_;
}

std::unique_ptr<MzRenderBackend> MzGLWindow::CreateBackend(int32_t width, int32_t height, uint32_t* result) {
    if (context_ == nullptr || !context_->makeCurrent(surface_)) {
        *result = kD3DErrNotAvailable;
        return nullptr;
    }
    std::unique_ptr<MzGLBackend> backend = MzGLBackend::Create(context_, surface_, width, height, result);
    if (backend != nullptr) backend->SetPartialPresent(partialPresent_);
    return backend;
}
