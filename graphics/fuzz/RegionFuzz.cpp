// libFuzzer target for the window region builder: any mask, size and scale; the rectangles must
// stay inside the built area, be well-formed and come row by row from the top. (Scales below 1
// may put two mask rows into one band, so bands may overlap.)
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "MzRegion.h"
#include "MzTexture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    MzSurface s;
    s.width = 1 + data[0] % 64;
    s.height = 1 + data[1] % 64;
    s.pitch = s.width * (data[2] % 5); // 0 to 4 bytes per pixel
    const int32_t w = static_cast<int8_t>(data[3]);
    const int32_t h = static_cast<int8_t>(data[4]);
    const float sx = 0.25f * (1 + data[5] % 32), sy = 0.25f * (1 + data[6] % 32);
    s.bits.assign(static_cast<size_t>(s.pitch) * s.height, 0);
    for (size_t i = 0; i < s.bits.size() && 8 + i < size; ++i)
        s.bits[i] = data[8 + i];

    MzREGION region;
    MzREGION::BuildFromMask(w, &region, &s, h, sx, sy);
    if (region.handle == nullptr) return 0;
    const MzRegionData& r = *region.handle;
    for (size_t i = 0; i < r.rects.size(); ++i) {
        const MzRect& a = r.rects[i];
        if (a.left < r.area.left || a.right > r.area.right || a.top < r.area.top || a.bottom > r.area.bottom)
            abort();
        if (a.right < a.left || a.bottom < a.top) abort();
        if (i > 0) {
            const MzRect& p = r.rects[i - 1];
            if (a.top < p.top) abort();
        }
    }
    return 0;
}
