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

// 90 down to 20 degrees in steps of 5, with the extra altitudes merged in, highest first and
// each once.
std::vector<double> weightAltitudes(std::span<const double> extra);

// The text of ORVEL_weights.csv: altitude, its airmass and the three weights per row.
std::string weightsCsv(const NightFit& fit, std::span<const double> extra);

// The rows for 90, 60, 45, 30 and 20 degrees and the extra altitudes on the console.
void showWeights(const NightFit& fit, std::span<const double> extra, ConsoleText& console);

}  // namespace orvel
