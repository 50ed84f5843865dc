// A single-pixel spike: a cosmic ray or a hot pixel, too sharp to be a star's light.
#pragma once

#include <compare>
#include <optional>
#include <vector>

#include "fits/pixel_image.h"

namespace orvel {

// A spike stands this many noise levels (the sky's noise plus the spread of its neighbours)
// above the median of its 8 neighbours...
inline constexpr double kSpikeNoiseLevels = 6.0;
// ...and its brightest neighbour stands above the sky by less than this fraction of the pixel's
// own height above the sky. A star's peak shares its light with its neighbours: a Gaussian of
// FWHM 1.3 px (sigma 0.55) centred on the pixel, the sharpest case, leaves its brightest
// neighbour 0.19 of the peak above the sky, 0.36 at FWHM 1.65 px (sigma 0.7); a star centred
// on a pixel corner has a neighbour as bright as its peak.
inline constexpr double kSpikeNeighbourShare = 0.1;

// The sky about a pixel as the spike test sees it.
struct SkyReference {
    double level = 0.0;  // the sky level, DC
    double noise = 0.0;  // the sky's noise for one pixel, DC; 0 or NaN: not known, and no
                         // pixel is judged a spike
};

// The median of the pixel's neighbours (up to 8, those inside the image and held, NaN left
// out), DC; empty when fewer than 3 remain.
std::optional<float> neighbourMedian(const PixelImage& image, long long column, long long row);

// Whether pixel (column, row), which the image must hold, is a single-pixel spike: its
// brightest neighbour b has b - sky < kSpikeNeighbourShare x (v - sky), and with m the median
// of its neighbours and s their robust spread (1.4826 x the median absolute deviation from m),
// v - m > kSpikeNoiseLevels x (noise + s). A star's peak fails the first test (its neighbours
// hold its light), a pixel of noise the second. A track of two or more bright pixels
// is no single-pixel spike. On a sky without noise (a made frame) nothing tells a spike from a star
// one pixel wide: no pixel is a spike there.
bool isSpike(const PixelImage& image, long long column, long long row, const SkyReference& sky);

// A pixel of the sensor, column and row of the full frame.
struct SensorPixel {
    long long column = 0;
    long long row = 0;
    bool operator==(const SensorPixel&) const = default;
    auto operator<=>(const SensorPixel&) const = default;
};

// A hot-pixel candidate stands this many times higher above the sky than the median of its
// neighbours does: a star's peak, however sharp (FWHM 1.3 px), has half of its neighbours at a
// tenth of its height or more; a hot pixel on a star's wing stands far above all of them.
inline constexpr double kHotPixelMedianRatio = 20.0;

// The pixels of the area that stand out as a hot pixel would (held, inside the image): far
// above the median of their neighbours as isSpike asks, and kHotPixelMedianRatio times as high
// above the sky as that median, also on a star's wing. One frame cannot tell a hot pixel from a
// cosmic ray; a place found in several frames is the sensor's.
std::vector<SensorPixel> hotPixelCandidates(const PixelImage& image, const PixelRegion& area,
                                            const SkyReference& sky);

// The image with each listed pixel it holds replaced by the median of its neighbours (the
// listed ones left out of each other's medians); the others as they are.
void replaceHotPixels(PixelImage& image, const std::vector<SensorPixel>& hot);

}  // namespace orvel
