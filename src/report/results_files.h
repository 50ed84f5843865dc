// Machine-readable results: one CSV row per frame and one per band.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "night/night_fit.h"
#include "night/night_record.h"

namespace orvel {

// A CSV text field: a leading apostrophe when it starts as a spreadsheet formula would (=, +,
// -, @, TAB or CR), so that a spreadsheet shows it and does not run it; then quoted (with
// doubled quotes) when it holds a comma, quote, CR or LF. Numbers are not text fields.
std::string csvField(std::string_view text);
// A number with enough digits to give back the same 32-bit value; empty for NaN.
std::string csvNumber(double value, int digits = 9);

// The text of ORVEL_results.csv for the measured night.
std::string frameResultsCsv(const NightRecord& night, const NightFit& fit);
// The text of ORVEL_fit.csv.
std::string bandResultsCsv(const NightFit& fit);

// Writes both files into the folder. False when either cannot be written.
bool writeResultsFiles(const NightRecord& night, const NightFit& fit,
                       const std::filesystem::path& folder);

}  // namespace orvel
