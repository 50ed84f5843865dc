// A change of the extinction through the night: the line Y = a - (k + rate (t - tm)) X fitted
// to one band's points, with tm their mean time, gives the rate at which k changed.
#pragma once

#include <cmath>
#include <span>

#include "fit/band_fit.h"

namespace orvel {

// Standard errors beyond which a drift is told: a steady night passes it once in 370 bands.
inline constexpr double kDriftSignificance = 3.0;

struct ExtinctionDrift {
    double perHour = std::nan("");  // change of k per hour, ln units per airmass; positive when
                                    // the extinction rose through the night
    double error = std::nan("");    // its standard error, from the scatter about the fitted
                                    // surface (weighted: scaled by its reduced chi-square)
    int points = 0;                 // points with a time that took part

    // The rate in standard errors (NaN when it could not be fitted).
    double significance() const { return std::fabs(perHour) / error; }
};

// Fits the drift over the points that have a time, plainly or weighted by 1 / error^2 (then
// every point needs a usable error). NaN values for fewer than five such points, for points
// all at one time, or when the three terms cannot be told apart.
ExtinctionDrift fitExtinctionDrift(std::span<const FitPoint> points, bool weighted);

}  // namespace orvel
