// The R:G:B weights that balance a star like the night's one imaged at a given altitude:
// ORVEL_weights.csv and its console table.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "base/console_text.h"
#include "night/night_fit.h"

namespace orvel {

// The airmass formula the night's fit took, which the weights' airmass column follows.
enum class FittedAirmass {
    hardie,     // Hardie's polynomial in sec z - 1, the described airmass
    pickering,  // Pickering's (2002) formula, fitted under --airmass precise
};

// 90 down to 20 degrees in steps of 5, with the extra altitudes merged in, highest first and
// each once.
std::vector<double> weightAltitudes(std::span<const double> extra);

// The text of ORVEL_weights.csv: altitude, its airmass by the fitted formula and the three
// weights per row.
std::string weightsCsv(const NightFit& fit, std::span<const double> extra, FittedAirmass airmass);

// The rows for 90, 60, 45, 30 and 20 degrees and the extra altitudes on the console.
void showWeights(const NightFit& fit, std::span<const double> extra, FittedAirmass airmass,
                 ConsoleText& console);

}  // namespace orvel
