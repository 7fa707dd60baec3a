// The mask's region cut to the colour pass's coverage: no undrawn pixel stays in the shape.
#include "MzCoverage.h"
#include "MzTexture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A colour copy of `area` from a picture: '#' drawn (alpha 255), '+' half drawn (alpha 128), '-'
// faintly drawn (alpha 127), '.' not.
MzSurface Colour(const std::vector<std::string>& rows) {
    MzSurface s;
    s.Allocate(static_cast<int32_t>(rows[0].size()), static_cast<int32_t>(rows.size()));
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < rows[y].size(); ++x)
            s.bits[y * s.pitch + x * 4 + 3] = rows[y][x] == '#'   ? 255
                                              : rows[y][x] == '+' ? 128
                                              : rows[y][x] == '-' ? 127
                                                                  : 0;
    return s;
}

MzRegionData Region(std::vector<MzRect> rects) {
    MzRegionData r;
    r.rects = std::move(rects);
    r.area = MzRect{0, 0, 8, 8};
    return r;
}

} // namespace

TEST(MzTrimRegionToCoverageTest, KeepsOnlyDrawnPixelsInsideTheRectanglesRowByRow) {
    struct Case {
        const char* name;
        std::vector<MzRect> coarse;
        std::vector<std::string> colour;
        MzRect colourArea;
        float sx, sy;
        std::vector<MzRect> expected;
    };
    const Case cases[] = {
        {"a 2 x 2 mask block over a corner of the silhouette",
         {{0, 0, 2, 2}},
         {"##", ".#"},
         {0, 0, 2, 2},
         1.0f,
         1.0f,
         {{0, 0, 2, 1}, {1, 1, 2, 2}}},
        {"half coverage counts, less does not; gaps split a row; pixels outside the rectangles stay out",
         {{1, 0, 6, 1}},
         {"#+-.##"},
         {0, 0, 6, 1},
         1.0f,
         1.0f,
         {{1, 0, 2, 1}, {4, 0, 6, 1}}},
        {"two rectangles of one band come row by row, left to right",
         {{0, 0, 1, 2}, {2, 0, 3, 2}},
         {"#.#", "#.#"},
         {0, 0, 3, 2},
         1.0f,
         1.0f,
         {{0, 0, 1, 1}, {2, 0, 3, 1}, {0, 1, 1, 2}, {2, 1, 3, 2}}},
        {"the copied area's offset, and nothing outside it",
         {{2, 2, 6, 3}},
         {"##"},
         {3, 2, 5, 3},
         1.0f,
         1.0f,
         {{3, 2, 5, 3}}},
        {"a back buffer of half the client's size, stretched as presented",
         {{0, 0, 4, 2}},
         {".#"},
         {0, 0, 2, 1},
         0.5f,
         0.5f,
         {{2, 0, 4, 1}, {2, 1, 4, 2}}},
        {"an undrawn block leaves nothing", {{0, 0, 2, 2}}, {"..", ".."}, {0, 0, 2, 2}, 1.0f, 1.0f, {}},
    };
    for (const Case& c : cases) {
        MzRegionData trimmed =
            MzTrimRegionToCoverage(Region(c.coarse), Colour(c.colour), c.colourArea, c.sx, c.sy);
        EXPECT_EQ(trimmed.rects, c.expected) << c.name;
        EXPECT_EQ(trimmed.area, (MzRect{0, 0, 8, 8})) << c.name;
    }
}
