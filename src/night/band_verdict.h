// What each band's fit can be relied on for: good, doubtful with its reasons, or none.
#pragma once

#include <string_view>

#include "night/night_fit.h"
#include "night/night_record.h"

namespace orvel {

// The limits a band's fit is judged by, in one place.
inline constexpr double kMostExtinction = 1.5;         // ln per airmass: more than any sky
                                                       // clear enough to measure gives
inline constexpr double kMostReducedChiSquare = 10.0;  // scatter beyond the frames' noise
inline constexpr int kFewestJudgedFrames = 5;          // frames in the fit
inline constexpr double kShortestJudgedSpan = 0.3;     // airmass from lowest to highest frame
inline constexpr double kOutlierNoises = 3.0;  // a suspected outlier counts beyond this many
                                               // of its own noise errors

// Sets every band's verdict and reasons from its line, its errors, the fit's warnings (the
// suspected outliers that remain) and the telescope's altitudes where the headers give them.
void judgeBands(const NightRecord& night, NightFit& fit);

// "good", "doubtful" or "none".
std::string_view verdictName(Verdict v);

// The reasons of a band's verdict joined by "; " (empty for a good band).
std::string verdictReasons(const BandResult& r);

}  // namespace orvel
