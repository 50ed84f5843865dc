// A line through a band's points that a few bad frames cannot tilt: Siegel's repeated medians.
#pragma once

#include <span>

#include "fit/band_fit.h"

namespace orvel {

// The repeated-median line: for each point the median of the slopes to every other point of a
// different airmass, the slope the median of those, the intercept the median of Y - slope X.
// Up to half the points may lie anywhere without moving it far, so frames dimmed by cloud at
// either end of the airmass range stand out from it. Slope and intercept 0 for fewer than two
// points of different airmass; analysed is the number of points, the other fields are left 0.
BandFit repeatedMedianLine(std::span<const FitPoint> points);

}  // namespace orvel
