// The window region built from the mask: one horizontal band of rectangles per mask row.
//
// Each run of inside pixels of a row becomes one rectangle, scaled from mask pixels to client pixels;
// rows stack without gaps because the bottom of row y is the top of row y + 1. The host turns the
// rectangles into the window's shape (an empty list means an empty shape, not an unshaped window).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "MzRenderBackend.h"

struct MzSurface;

struct MzRegionData {
    // Disjoint rectangles, row by row from the top, left to right within a row.
    std::vector<MzRect> rects;
    // The area the region was built for: (0, 0, trunc(w × sx), trunc(h × sy)).
    MzRect area;

    // The smallest rectangle holding every rectangle; empty for an empty region.
    MzRect Bounds() const;
};

class MzREGION {
  public:
    // The region built last, or null (no surface, or taken by the window).
    std::unique_ptr<MzRegionData> handle;

    virtual ~MzREGION() = default;

    // Builds `region` from the top-left maskWidth × maskHeight pixels of `surface` (a negative size means
    // the surface's); a pixel is inside when its first byte is not 0. Without a surface the region
    // keeps what it holds.
    static void BuildFromMask(int32_t maskWidth, MzREGION* region, const MzSurface* surface,
                              int32_t maskHeight, float scaleX, float scaleY);
    // The same, scanning only `within` (mask pixels): the caller knows every pixel outside it is outside.
    static void BuildFromMask(int32_t maskWidth, MzREGION* region, const MzSurface* surface,
                              int32_t maskHeight, float scaleX, float scaleY, const MzRect& within);
    // Hands the region over (to the window); the owner is empty afterwards.
    std::unique_ptr<MzRegionData> Take() { return std::move(handle); }
};
