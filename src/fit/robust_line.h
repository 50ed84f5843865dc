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

// The band's robust line: the repeated-median line, then refined by least squares with Tukey's
// biweight, each point weighted down by its distance from the line in robust deviations (see
// robustSpread) and given no
// weight beyond 4.685 of them. The repeated medians alone follow the noise of frames close
// together in airmass (most of a night lies near the meridian), the refinement uses every good
// point as a straight fit would, and the bad ones, far from the start, stay without weight.
BandFit robustLine(std::span<const FitPoint> points);

}  // namespace orvel
