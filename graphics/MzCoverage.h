// Trims the window region to the pixels the colour pass covered.
//
// The region comes from the mask, often at a fraction of the window's resolution, so its edges step
// in blocks of several client pixels and reach past the silhouette the colour pass drew: through
// those pixels the window would show its clear colour, a dark fringe. Inside the mask's rectangles
// the colour buffer's own alpha decides, pixel by pixel, so the shape never holds an undrawn pixel
// (nor one drawn so faintly that it shows mostly the clear colour).
#pragma once

#include "MzRegion.h"

struct MzSurface;

// `colour` holds the back-buffer pixels of `colourArea` (top row first, blue green red alpha); a
// client pixel (x, y) shows back-buffer pixel (floor((x + 0.5) * sx), floor((y + 0.5) * sy)), as the
// present stretches it. The result keeps the region's area and its row-by-row order.
MzRegionData MzTrimRegionToCoverage(const MzRegionData& region, const MzSurface& colour,
                                    const MzRect& colourArea, float sx, float sy);
