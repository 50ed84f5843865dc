// The stars in a patch of the frame: peaks of the light smoothed over 3 x 3 pixels, with single-
// pixel spikes left out, joined into one star where the light between them stays high (the ring
// of a defocused star has several).
#pragma once

#include <vector>

#include "analysis/pixel_spike.h"
#include "fits/pixel_image.h"

namespace orvel {

// A peak stands this many noise levels of a 3 x 3 mean (the pixel noise / 3) above the sky...
inline constexpr double kPeakNoiseLevels = 5.0;
// ...and two peaks are one star while the light on the line between them stays above this
// fraction of the lower one's height above the sky.
inline constexpr double kPeakSaddleShare = 0.5;

// A star fainter than this share of the brightest in its patch is not told from the noise about
// that one: a neighbour 20 times brighter still leaves the star its own.
inline constexpr double kFaintestStarShare = 0.05;

// One star of the patch.
struct PatchStar {
    double column = 0.0;      // the place of its top (the 3 x 3 mean's highest pixel, to a
    double row = 0.0;         // fraction of a pixel by the light about it), column and row
    double height = 0.0;      // that mean above the sky, DC
    bool beyondEdge = false;  // its top lies on the area's edge below light beyond it: the wing
                              // of a star outside the area, never taken for a star in it
    std::vector<std::pair<long long, long long>> peaks;  // every peak joined into it (column, row)
};

// The stars of the area (the image must hold it and one pixel about it where the image has
// them), highest first. Without a sky noise (a made frame) every local maximum above the sky
// counts.
std::vector<PatchStar> findPatchStars(const PixelImage& image, const PixelRegion& area,
                                      const SkyReference& sky);

// The sky of an area as its own pixels give it: their median (DC) and a robust noise (1.4826 x
// the median absolute deviation, DC). Its stars hold few of the pixels of an area much wider
// than they are.
SkyReference areaSky(const PixelImage& image, const PixelRegion& area);

// The stars at or above `share` of the highest one's height: a faint star beside a bright one
// still counts, peaks of the noise about it do not.
std::vector<PatchStar> brightPatchStars(std::vector<PatchStar> stars, double share);

// The index of the star whose nearest peak lies nearest to (column, row), the higher of two as
// near, passing over stars beyond the edge; -1 when there is none.
int nearestPatchStar(const std::vector<PatchStar>& stars, double column, double row);

// Whether pixel (column, row) lies at least as near to a peak of star `chosen` as to any other
// star's.
bool nearestToStar(const std::vector<PatchStar>& stars, int chosen, long long column,
                   long long row);

}  // namespace orvel
