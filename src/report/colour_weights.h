// The R:G:B weights of a star like the night's one imaged at a given altitude: its relative
// signal in each band and the factor per channel that makes it white. ORVEL_weights.csv, its
// console table and the rows the night report shows.
#pragma once

#include <array>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "base/console_text.h"
#include "fit/extinction_units.h"
#include "night/night_fit.h"

namespace orvel {

// The airmass formula the night's fit took, which the weights' airmass column follows.
enum class FittedAirmass {
    hardie,     // Hardie's polynomial in sec z - 1, the described airmass
    pickering,  // Pickering's (2002) formula, fitted under --airmass precise
};

// The weights at the altitudes, in their order.
std::vector<ColourWeightRow> weightRows(const NightFit& fit, std::span<const double> altitudes,
                                        FittedAirmass airmass);

// 90 down to 20 degrees in steps of 5, with the extra altitudes merged in, highest first and
// each once.
std::vector<double> weightAltitudes(std::span<const double> extra);

// The text of ORVEL_weights.csv: altitude, its airmass by the fitted formula, the three relative
// signals (weight_r, _g, _b) and the three factors for white (multiply_r, _g, _b) per row.
std::string weightsCsv(const NightFit& fit, std::span<const double> extra, FittedAirmass airmass);

// The rows for 90, 60, 45, 30 and 20 degrees and the extra altitudes on the console.
void showWeights(const NightFit& fit, std::span<const double> extra, FittedAirmass airmass,
                 ConsoleText& console);

}  // namespace orvel
