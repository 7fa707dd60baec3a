// The window region built from the mask: rows, runs, scaling, batches, the inside test.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "MzRegion.h"
#include "MzTexture.h"

namespace {

constexpr uint32_t kInside = 0xFFFFFFFFu;
constexpr uint32_t kOutside = 0xFF000000u;

MzSurface Mask(int32_t w, int32_t h) {
    MzSurface s;
    s.Allocate(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = s.bits.data() + y * s.pitch + x * 4;
            p[3] = 0xFF;
        }
    return s;
}

void Set(MzSurface* s, int32_t x, int32_t y, uint32_t bgra) {
    uint8_t* p = s->bits.data() + y * s->pitch + x * 4;
    p[0] = static_cast<uint8_t>(bgra);
    p[1] = static_cast<uint8_t>(bgra >> 8);
    p[2] = static_cast<uint8_t>(bgra >> 16);
    p[3] = static_cast<uint8_t>(bgra >> 24);
}

std::vector<MzRect> Build(const MzSurface& s, int32_t w, int32_t h, float sx, float sy) {
    MzREGION region;
    MzREGION::BuildFromMask(w, &region, &s, h, sx, sy);
    EXPECT_NE(region.handle, nullptr);
    return region.handle ? region.handle->rects : std::vector<MzRect>{};
}

} // namespace

TEST(Region, EmptyMaskGivesAnEmptyRegionNotNone) {
    MzSurface s = Mask(64, 32);
    MzREGION region;
    MzREGION::BuildFromMask(64, &region, &s, 32, 2, 2);
    ASSERT_NE(region.handle, nullptr);
    EXPECT_TRUE(region.handle->rects.empty());
    EXPECT_TRUE(region.handle->Bounds().Empty());
    EXPECT_EQ(region.handle->area, (MzRect{0, 0, 128, 64}));
}

TEST(Region, ScalesRowsAndRunsTo1280x960) {
    MzSurface s = Mask(256, 256);
    for (int32_t x = 10; x < 20; ++x)
        Set(&s, x, 1, kInside);
    const float sx = 1280.0f / 256.0f, sy = 960.0f / 256.0f;
    std::vector<MzRect> rects = Build(s, 256, 256, sx, sy);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0], (MzRect{50, 3, 100, 7}));
}

TEST(Region, RunReachingTheRightEdgeEndsAtTheScaledWidth) {
    MzSurface s = Mask(100, 3);
    for (int32_t x = 90; x < 100; ++x)
        Set(&s, x, 2, kInside);
    Set(&s, 0, 0, kInside);
    std::vector<MzRect> rects = Build(s, 100, 3, 1.5f, 2.0f);
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[0], (MzRect{0, 0, 1, 2}));
    EXPECT_EQ(rects[1], (MzRect{135, 4, 150, 6}));
}

TEST(Region, OnlyTheFirstByteDecides) {
    MzSurface s = Mask(4, 1);
    Set(&s, 0, 0, 0xFFFF0000u); // pure red: blue byte 0
    Set(&s, 1, 0, 0x00000001u); // blue 1, alpha 0
    std::vector<MzRect> rects = Build(s, 4, 1, 1, 1);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0], (MzRect{1, 0, 2, 1}));
}

TEST(Region, ManyRunsAreJoinedFromSeveralBatches) {
    // Every other pixel inside: 64 runs per row, 40 rows = 2560 runs (three batches).
    MzSurface s = Mask(128, 40);
    std::set<std::tuple<int, int, int, int>> expected;
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 128; x += 2) {
            Set(&s, x, y, kInside);
            expected.insert({x * 2, y * 3, x * 2 + 2, y * 3 + 3});
        }
    std::vector<MzRect> rects = Build(s, 128, 40, 2, 3);
    std::set<std::tuple<int, int, int, int>> got;
    for (const MzRect& r : rects)
        got.insert({r.left, r.top, r.right, r.bottom});
    EXPECT_EQ(rects.size(), expected.size());
    EXPECT_EQ(got, expected);
}

TEST(Region, FullBatchAtTheRightEdgeLosesNothing) {
    // 1000 runs end exactly before a run that reaches the right edge of the same row.
    MzSurface s = Mask(2001, 1);
    for (int32_t x = 0; x < 2001; x += 2)
        Set(&s, x, 0, kInside);
    std::vector<MzRect> rects = Build(s, 2001, 1, 1, 1);
    ASSERT_EQ(rects.size(), 1001u);
    EXPECT_EQ(rects.back(), (MzRect{2000, 0, 2001, 1}));
}

TEST(Region, SizesAndMissingSurface) {
    MzSurface s = Mask(8, 4);
    Set(&s, 7, 3, kInside);
    MzREGION region;
    MzREGION::BuildFromMask(-1, &region, &s, -1, 1, 1); // negative: the surface's size
    ASSERT_NE(region.handle, nullptr);
    ASSERT_EQ(region.handle->rects.size(), 1u);
    EXPECT_EQ(region.handle->rects[0], (MzRect{7, 3, 8, 4}));

    MzREGION::BuildFromMask(8, &region, nullptr, 4, 1, 1); // keeps what it holds
    EXPECT_NE(region.handle, nullptr);

    MzREGION::BuildFromMask(100, &region, &s, 100, 1, 1); // larger than the surface: clamped
    ASSERT_NE(region.handle, nullptr);
    EXPECT_EQ(region.handle->area, (MzRect{0, 0, 8, 4}));

    std::unique_ptr<MzRegionData> taken = region.Take();
    EXPECT_NE(taken, nullptr);
    EXPECT_EQ(region.handle, nullptr);
}

TEST(Region, BoundsCoverEveryRectangle) {
    MzSurface s = Mask(16, 16);
    Set(&s, 3, 2, kInside);
    Set(&s, 12, 9, kInside);
    MzREGION region;
    MzREGION::BuildFromMask(16, &region, &s, 16, 1, 1);
    EXPECT_EQ(region.handle->Bounds(), (MzRect{3, 2, 13, 10}));
}

TEST(Region, MatchesAPixelByPixelReferenceOnRandomMasks) {
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 200; ++round) {
        const int32_t w = 1 + static_cast<int32_t>(next() % 37), h = 1 + static_cast<int32_t>(next() % 5);
        const uint32_t density = next() % 4;
        MzSurface s = Mask(w, h);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                if (next() % 4 < density) Set(&s, x, y, 0x00000001u | (next() & 0xFFFFFF00u));
        std::vector<MzRect> expected;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w;) {
                if (s.Row(y)[x * 4] == 0) {
                    ++x;
                    continue;
                }
                int32_t end = x;
                while (end < w && s.Row(y)[end * 4] != 0)
                    ++end;
                expected.push_back({x * 3, y * 2, end * 3, y * 2 + 2});
                x = end;
            }
        EXPECT_EQ(Build(s, w, h, 3, 2), expected) << "round " << round;
    }
}
