// Building the window region from the mask.
#include "MzRegion.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "MzTexture.h"

namespace {

int32_t Trunc(float v) {
    return static_cast<int32_t>(v);
}

// First bytes of two four-byte pixels in one 64-bit word.
constexpr uint64_t kFirstBytes = 0x000000FF000000FFull;

// First x in [x, w) whose pixel's first byte is (inside) or is not (!inside) 0; w when there is none.
int32_t Scan(const uint8_t* row, int32_t x, int32_t w, uint32_t bytesPerPixel, bool inside) {
    const uint8_t* p = row + static_cast<size_t>(x) * bytesPerPixel;
    if (bytesPerPixel == 4) {
        // Four pixels at a time while none of them decides.
        for (; x + 4 <= w; x += 4, p += 16) {
            uint64_t a, b;
            std::memcpy(&a, p, 8);
            std::memcpy(&b, p + 8, 8);
            a &= kFirstBytes;
            b &= kFirstBytes;
            const bool allOutside = (a | b) == 0;
            const bool allInside = (a & 0xFF) && (a >> 32) && (b & 0xFF) && (b >> 32);
            if (inside ? !allOutside : !allInside) break;
        }
    }
    for (; x < w; ++x, p += bytesPerPixel)
        if ((*p != 0) == inside) return x;
    return w;
}

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
    BuildFromMask(w, region, surface, h, sx, sy, MzRect{0, 0, INT32_MAX, INT32_MAX});
}

void MzREGION::BuildFromMask(int32_t w, MzREGION* region, const MzSurface* surface, int32_t h, float sx,
                             float sy, const MzRect& within) {
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
    auto built = std::make_unique<MzRegionData>();
    built->area = MzRect{Trunc(0 * sx), Trunc(0 * sy), areaRight, Trunc(static_cast<float>(h) * sy)};
    // One list for the whole mask: joining batches of rectangles is the host's business if its
    // region calls are bounded; the union is the same rectangles in the same order.
    const int32_t left = std::max(0, within.left), right = std::min(w, within.right);
    for (int32_t y = std::max(0, within.top); y < std::min(h, within.bottom) && bytesPerPixel != 0; ++y) {
        const uint8_t* row = surface->Row(y);
        const int32_t top = Trunc(static_cast<float>(y) * sy);
        const int32_t bottom = Trunc(static_cast<float>(y + 1) * sy);
        for (int32_t x = Scan(row, left, right, bytesPerPixel, true); x < right;
             x = Scan(row, x, right, bytesPerPixel, true)) {
            const int32_t end = Scan(row, x, right, bytesPerPixel, false);
            const int32_t runRight = end == w ? areaRight : Trunc(static_cast<float>(end) * sx);
            built->rects.push_back(MzRect{Trunc(static_cast<float>(x) * sx), top, runRight, bottom});
            x = end;
        }
    }
    // Rows are what make a region: without any (a mask of height 0) there is none.
    if (h > 0) region->handle = std::move(built);
}
