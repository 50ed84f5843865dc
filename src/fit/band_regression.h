// Straight-line fit of magnitude value against airmass for one band, and the signals the
// three fitted lines give at one airmass and outside the atmosphere.
#pragma once

#include <array>
#include <span>

#include "fit/band_fit.h"

namespace orvel {

// Fits Y = a + s X through the points of one band, in order: the means from a first pass, then
// slope, intercept and R2 = Cxy^2 / (Cxx Cyy) from sums centred on them; every sum is rounded to
// 32 bits after each addition. No guards: a count of 0 or 1, or one airmass only, gives NaN or
// infinite values.
BandFit fitBand(std::span<const FitPoint> points, int fileCount);

// Standard error of the slope from the residuals of the points about the fitted line, in
// double precision; NaN for fewer than three points.
double slopeStandardError(std::span<const FitPoint> points, const BandFit& fit);

// Signals derived from the three fitted lines (bands red, green, blue).
struct BandSignals {
    std::array<float, 3> oneAirmass{};           // Y1 = e^(a + s), ADU at airmass 1
    std::array<float, 3> oneAirmassRatio{};      // Y1 / largest Y1
    std::array<float, 3> exoatmospheric{};       // Y0 = e^a, ADU outside the atmosphere
    std::array<float, 3> exoatmosphericRatio{};  // Y0 / largest Y0
};

// An exponential of an infinite or NaN argument gives 0, so an unusable line has signal 0.
BandSignals deriveSignals(const std::array<BandFit, 3>& fits);

}  // namespace orvel
