// Building the window region from the mask.
#include "MzRegion.h"

#include <algorithm>

#include "MzTexture.h"

namespace {

// Rectangles are collected in batches of this many and joined into the region built so far.
constexpr size_t kBatchRects = 1000;

int32_t Trunc(float v) {
    return static_cast<int32_t>(v);
}

// The rectangles of one build: the open batch and the region joined so far.
class RegionBuilder {
  public:
    explicit RegionBuilder(MzRect area) : area_(area) { batch_.reserve(kBatchRects); }

    // A run closed at the right edge may add one rectangle past a full batch; it goes with the next flush.
    bool Full() const { return batch_.size() >= kBatchRects; }
    void Add(int32_t left, int32_t top, int32_t right, int32_t bottom) {
        batch_.push_back({left, top, right, bottom});
    }

    void Flush() {
        if (region_ == nullptr) {
            region_ = std::make_unique<MzRegionData>();
            region_->area = area_;
        }
        region_->rects.insert(region_->rects.end(), batch_.begin(), batch_.end());
        batch_.clear();
    }

    std::unique_ptr<MzRegionData> Result() { return std::move(region_); }

  private:
    MzRect area_;
    std::vector<MzRect> batch_;
    std::unique_ptr<MzRegionData> region_;
};

} // namespace

MzRect MzRegionData::Bounds() const {
    if (rects.empty()) return {};
    MzRect b = rects.front();
    for (const MzRect& r : rects) {
        b.left = std::min(b.left, r.left);
        b.top = std::min(b.top, r.top);
        b.right = std::max(b.right, r.right);
        b.bottom = std::max(b.bottom, r.bottom);
    }
    return b;
}

void MzREGION::BuildFromMask(int32_t w, MzREGION* region, const MzSurface* surface, int32_t h, float sx,
                             float sy) {
    if (surface == nullptr) return;
    region->handle.reset();
    if (w < 0) w = surface->width;
    if (h < 0) h = surface->height;
    // Never read beyond the surface, whatever size the caller asks for.
    w = std::min(w, surface->width);
    h = std::min(h, surface->height);
    const uint32_t bytesPerPixel =
        surface->width > 0 ? static_cast<uint32_t>(surface->pitch) / static_cast<uint32_t>(surface->width)
                           : 0;

    const int32_t areaRight = Trunc(static_cast<float>(w) * sx);
    RegionBuilder builder({Trunc(0 * sx), Trunc(0 * sy), areaRight, Trunc(static_cast<float>(h) * sy)});
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* row = surface->Row(y);
        const int32_t top = Trunc(static_cast<float>(y) * sy);
        const int32_t bottom = Trunc(static_cast<float>(y + 1) * sy);
        bool open = false;
        int32_t runLeft = 0;
        for (int32_t x = 0; x <= w; ++x) {
            if (open && x == w) builder.Add(runLeft, top, areaRight, bottom);
            if (builder.Full() || (y == h - 1 && x == w)) builder.Flush();
            if (x == w) break;
            const bool inside = bytesPerPixel != 0 && row[static_cast<size_t>(x) * bytesPerPixel] != 0;
            if (open && !inside) {
                builder.Add(runLeft, top, Trunc(static_cast<float>(x) * sx), bottom);
                open = false;
            } else if (!open && inside) {
                runLeft = Trunc(static_cast<float>(x) * sx);
                open = true;
            }
        }
    }
    region->handle = builder.Result();
}
