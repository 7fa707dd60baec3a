#include "MzCoverage.h"

#include <cmath>

#include "MzTexture.h"

namespace {

// A pixel belongs to the shape when the colour pass covered at least half of it: over the clear
// colour a fainter one shows mostly that colour.
constexpr uint8_t kCoveredAlpha = 128;

// Alpha of the back-buffer pixel a client pixel shows; 0 outside the copied area.
class CoverageRow {
  public:
    CoverageRow(const MzSurface& colour, const MzRect& area, float sx, float sy, int32_t clientY)
        : m_area(area), m_sx(sx) {
        const int32_t y =
            static_cast<int32_t>(std::floor((static_cast<float>(clientY) + 0.5f) * sy)) - area.top;
        if (y >= 0 && y < colour.height) m_row = colour.Row(y);
        m_width = colour.width;
    }

    bool Covered(int32_t clientX) const {
        if (m_row == nullptr) return false;
        const int32_t x =
            static_cast<int32_t>(std::floor((static_cast<float>(clientX) + 0.5f) * m_sx)) - m_area.left;
        return x >= 0 && x < m_width && m_row[static_cast<size_t>(x) * 4 + 3] >= kCoveredAlpha;
    }

  private:
    MzRect m_area;
    float m_sx;
    const uint8_t* m_row = nullptr;
    int32_t m_width = 0;
};

// The covered runs of client row y within [left, right).
void AppendRuns(const CoverageRow& row, int32_t y, int32_t left, int32_t right, std::vector<MzRect>& out) {
    int32_t x = left;
    while (x < right) {
        while (x < right && !row.Covered(x))
            ++x;
        const int32_t start = x;
        while (x < right && row.Covered(x))
            ++x;
        if (start < x) out.push_back(MzRect{start, y, x, y + 1});
    }
}

} // namespace

MzRegionData MzTrimRegionToCoverage(const MzRegionData& region, const MzSurface& colour,
                                    const MzRect& colourArea, float sx, float sy) {
    MzRegionData trimmed;
    trimmed.area = region.area;
    const std::vector<MzRect>& rects = region.rects;
    // The region's rectangles come in bands (one per mask row) of equal top and bottom.
    for (size_t band = 0; band < rects.size();) {
        size_t end = band;
        while (end < rects.size() && rects[end].top == rects[band].top &&
               rects[end].bottom == rects[band].bottom)
            ++end;
        for (int32_t y = rects[band].top; y < rects[band].bottom; ++y) {
            CoverageRow row(colour, colourArea, sx, sy, y);
            for (size_t i = band; i < end; ++i)
                AppendRuns(row, y, rects[i].left, rects[i].right, trimmed.rects);
        }
        band = end;
    }
    return trimmed;
}
