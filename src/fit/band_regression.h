// Straight-line fit of magnitude value against airmass for one band, and the signals the
// three fitted lines give at one airmass and outside the atmosphere.
#pragma once

#include <array>
#include <span>

#include "fit/band_fit.h"
#include "imageset/file_observation.h"

namespace orvel {

// Fits Y = a + s X through the observations of one band block whose included flag is 1.
// R2 comes from the raw sums, slope and intercept from centred sums of a second pass; every
// sum is rounded to 32 bits after each addition. No guards: a count of 0 or 1, or one airmass
// only, gives NaN or infinite values.
BandFit fitBand(std::span<const FileObservation> block, int fileCount);

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
