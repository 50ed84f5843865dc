// The straight line weighted by each point's own error, the two standard errors of a line's
// slope (from the scatter about it and from the points' errors) and how far the points lie
// from it in units of their errors.
#pragma once

#include <cmath>
#include <cstddef>
#include <optional>
#include <span>

#include "fit/band_fit.h"

namespace orvel {

// True when every point carries a finite positive error, so a weighted fit or a propagated
// error can be formed.
bool hasUsableErrors(std::span<const FitPoint> points);

// Fits Y = a + s X with weights 1 / error^2, in double precision, stored at 32 bits like the
// plain fit; R2 is the weighted squared correlation. Needs hasUsableErrors.
BandFit fitBandWeighted(std::span<const FitPoint> points, int fileCount);

struct SlopeErrors {
    double residual = std::nan("");    // from the scatter of the points about the line, ln per
                                       // airmass (NaN for fewer than three points)
    double propagated = std::nan("");  // from the points' own errors, ln per airmass (NaN
                                       // when an error is unknown)
    double reducedChiSquare = std::nan("");  // sum of ((Y - line) / error)^2 over n - 2
};

// The errors of the slope of a line fitted to these points, plainly or weighted.
SlopeErrors slopeErrors(std::span<const FitPoint> points, const BandFit& fit, bool weighted);

// The robust spread of residuals from a line: 1.4826 x their median absolute deviation about
// their median, or the points' median noise error when that is larger (0 for neither).
double robustSpread(std::span<const double> residuals, std::span<const FitPoint> points);

// The point lying most robust deviations from the line, when that is more than `limit`: the
// deviation of a point is its distance from the line over 1.4826 x the median absolute
// deviation of all the points' distances from their median, or over the points' median noise
// error when that is larger. Empty when none lies beyond the
// limit, when the spread is 0, or for fewer than four points (three are needed for a line and
// its scatter).
struct Outlier {
    std::size_t index = 0;    // position among the points
    double deviations = 0.0;  // its distance from the line in robust deviations
};
std::optional<Outlier> worstOutlier(std::span<const FitPoint> points, const BandFit& fit,
                                    double limit);

}  // namespace orvel
