// A window of a fixed client size whose device is the recording backend.
#pragma once

#include <memory>

#include "MzGraphics.h"
#include "MzNullBackend.h"

class NullWindow : public MzGraphicsWindow {
  public:
    NullWindow(int32_t width, int32_t height) : width_(width), height_(height) {}

    void GetClientSize(int32_t* w, int32_t* h) const override {
        *w = width_;
        *h = height_;
    }
    std::unique_ptr<MzRenderBackend> CreateBackend(int32_t w, int32_t h, uint32_t*) override {
        return std::make_unique<MzNullBackend>(w, h);
    }

  private:
    int32_t width_, height_;
};
