// MzREGION::BuildFromMask on a 480 × 270 mask with an elliptical silhouette of 5 % and 50 % coverage.
#include <benchmark/benchmark.h>

#include <cmath>

#include "MzRegion.h"
#include "MzTexture.h"

namespace {

MzSurface EllipseMask(double coverage) {
    constexpr int32_t w = 480, h = 270;
    MzSurface s;
    s.Allocate(w, h);
    // Area of an ellipse with the mask's aspect: π·a·b = coverage·w·h, b = a·h/w.
    const double a = std::sqrt(coverage * w * w / M_PI), b = a * h / w;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const double dx = (x + 0.5 - w / 2.0) / a, dy = (y + 0.5 - h / 2.0) / b;
            uint8_t* p = s.bits.data() + y * s.pitch + x * 4;
            p[3] = 0xFF;
            if (dx * dx + dy * dy <= 1) p[0] = p[1] = p[2] = 0xFF;
        }
    return s;
}

void BM_BuildFromMask(benchmark::State& state) {
    const MzSurface mask = EllipseMask(static_cast<double>(state.range(0)) / 100);
    MzREGION region;
    for (auto _ : state) {
        MzREGION::BuildFromMask(480, &region, &mask, 270, 4.0f, 4.0f);
        benchmark::DoNotOptimize(region.handle.get());
    }
    state.counters["rects"] = static_cast<double>(region.handle->rects.size());
}

} // namespace

BENCHMARK(BM_BuildFromMask)->Arg(5)->Arg(50)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
