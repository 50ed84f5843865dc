// Machine-readable results: one CSV row per frame and one per band.
#pragma once

#include <array>
#include <filesystem>
#include <span>
#include <string>

#include "imageset/file_loop.h"

namespace orvel {

// A CSV field: quoted (with doubled quotes) when it holds a comma, quote, CR or LF.
std::string csvField(std::string_view text);
// A number with enough digits to give back the same 32-bit value; empty for NaN.
std::string csvNumber(double value, int digits = 9);

// The text of ORVEL_results.csv for the measured night.
std::string frameResultsCsv(const NightMeasurements& night);
// The text of ORVEL_fit.csv.
std::string bandResultsCsv(const NightMeasurements& night, const std::array<int, 3>& bandCounts);

// Standard error of the slope from the residuals of a band's included points; NaN for fewer
// than three points.
double slopeStandardError(std::span<const FileObservation> block, const BandFit& fit);

// Writes both files into the folder. False when either cannot be written.
bool writeResultsFiles(const NightMeasurements& night, const std::array<int, 3>& bandCounts,
                       const std::filesystem::path& folder);

}  // namespace orvel
