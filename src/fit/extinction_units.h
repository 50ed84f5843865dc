// Extinction in the units observers use beside the fit's own: magnitudes per airmass, and the
// colour weights the fitted lines give at any airmass with the factors that make them white.
#pragma once

#include <array>

#include "fit/band_fit.h"

namespace orvel {

// Magnitudes per natural-log unit of signal: 2.5 / ln 10. A k of 0.25 ln/airmass is 0.2714
// mag/airmass.
inline constexpr double kMagnitudesPerLn = 1.0857362047581294;

// Each band's signal on its fitted line at the airmass, e^(a + s X), divided by the largest of
// the three: the relative signals of a star like this one imaged there (1 for the band with
// the largest signal). A line that is not finite gives signal 0, as at airmass 1 and 0.
std::array<double, 3> colourWeights(const std::array<BandFit, 3>& fits, double airmass);

// The line under every weights table: what the factors balance.
inline constexpr const char* kWhiteBalanceNote =
    "The factors make a star of the measured star's colour come out white; measured on a "
    "solar-type (G2V) star they are the white balance at that altitude.";

// One altitude of the weights.
struct ColourWeightRow {
    double altitude = 0;               // degrees above the horizon
    double airmass = 0;                // by the formula the night's lines were fitted against
    std::array<double, 3> signal{};    // relative signal R, G, B on the fitted lines, largest 1
    std::array<double, 3> multiply{};  // factor per channel for white, largest 1; NaN: no signal
};

// The factors to multiply R, G and B by so that equal signals come out: the weakest band's
// factor is 1, the others below it; a band without signal has none (NaN).
std::array<double, 3> whiteBalanceFactors(const std::array<double, 3>& signal);

}  // namespace orvel
