// A single-pixel spike: a cosmic ray or a hot pixel, too sharp to be a star's light.
#pragma once

#include <optional>

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
// hold its light), a pixel of noise the second. A track of two or more bright pixels is no
// single-pixel spike. On a sky without noise (a made frame) nothing tells a spike from a star
// one pixel wide: no pixel is a spike there.
bool isSpike(const PixelImage& image, long long column, long long row, const SkyReference& sky);

}  // namespace orvel
