// The star's width: a circular Gaussian fitted to the pixels about the ring centre.
#pragma once

#include <cmath>
#include <optional>

#include "fits/pixel_image.h"

namespace orvel {

// Largest radius of the pixels fitted, pixels: a star wider than this is fitted over its core.
inline constexpr int kMaxProfileReach = 60;

struct StarProfile {
    double fwhm = std::nan("");        // full width at half maximum of the star, pixels, with the
                                       // pixel's own width taken out (NaN when no fit was found)
    double column = std::nan("");      // fitted centre, image column (pixels)
    double row = std::nan("");         // fitted centre, image row (pixels)
    double amplitude = std::nan("");   // fitted height above the fitted sky, DC
    double background = std::nan("");  // fitted sky under the star, DC
    long long pixelsFitted = 0;        // pixels within the fit's radius inside the image
};

// Fits B + A exp(-r^2 / (2 s^2)) to the pixels about (centreColumn, centreRow), the brightest
// pixel, starting from the sky level `sky` (DC). The fit's radius is one and a half times a
// first width read from where the rings' medians fall to half the peak. Empty when the fit
// reaches rows the image does not hold (a window of rows); a width of NaN when there is no star
// to fit (no pixel above the sky, or a fit that does not settle).
std::optional<StarProfile> measureStarProfile(const PixelImage& image, int centreColumn,
                                              int centreRow, float sky);

}  // namespace orvel
