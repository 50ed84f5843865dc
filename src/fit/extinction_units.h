// Extinction in the units observers use beside the fit's own: magnitudes per airmass, and the
// colour weights the fitted lines give at any airmass.
#pragma once

#include <array>

#include "fit/band_fit.h"

namespace orvel {

// Magnitudes per natural-log unit of signal: 2.5 / ln 10. A k of 0.25 ln/airmass is 0.2714
// mag/airmass.
inline constexpr double kMagnitudesPerLn = 1.0857362047581294;

// Each band's signal on its fitted line at the airmass, e^(a + s X), divided by the largest of
// the three: the weights that balance a star like this one imaged there (1 for the band with
// the largest signal). A line that is not finite gives signal 0, as at airmass 1 and 0.
std::array<double, 3> colourWeights(const std::array<BandFit, 3>& fits, double airmass);

}  // namespace orvel
