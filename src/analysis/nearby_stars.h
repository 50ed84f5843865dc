// Other stars about the measured one, found on one frame so that the night's aperture can take
// them in whole or its sky annulus leave them out.
#pragma once

#include <vector>

#include "fits/pixel_image.h"

namespace orvel {

// A detection stands this many times the noise of a 3 x 3 mean above the sky.
inline constexpr double kNearbyStarSigmas = 5.0;
// Peaks nearer than this many FWHM to the star are its own light.
inline constexpr double kNearbyStarClearance = 2.0;

struct NearbyStar {
    int column = 0;       // image column of its brightest 3 x 3 mean
    int row = 0;          // image row
    double distance = 0;  // from the star's ring centre, pixels
    double height = 0;    // its 3 x 3 mean above the sky, DC
};

// The peaks of the 3 x 3 means (each above the eight about it) within `reach` pixels of the
// ring centre and more than kNearbyStarClearance FWHM from it, standing kNearbyStarSigmas times
// the noise of such a mean above the sky (any height above it when there is no noise); the sky
// and its noise are the median and 1.4826 x the median absolute deviation of the pixels within
// reach. A peak must stand that high above the star's own wing too: the median of the pixels at
// its whole distance from the star. Nearest first. The image must hold
// the rows within reach.
std::vector<NearbyStar> findNearbyStars(const PixelImage& image, int centreColumn, int centreRow,
                                        double fwhm, double reach);

}  // namespace orvel
