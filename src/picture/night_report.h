// The one-page night report: the plot, the field, the fit table and the frame table in one HTML
// file with its pictures inlined, so that it opens offline and travels as one file.
#pragma once

#include <span>
#include <string>

#include "fit/extinction_units.h"
#include "night/night_fit.h"
#include "night/night_record.h"
#include "observing/observing_setup.h"

namespace orvel {

// The bytes as base64 (RFC 4648, with padding).
std::string base64(const std::string& bytes);

// The page; a picture that is empty is left out, and so is the weights table without rows.
std::string nightReportHtml(const NightRecord& night, const NightFit& fit,
                            const ObservingSetup& setup, const std::string& plotPng,
                            const std::string& fieldPng,
                            std::span<const ColourWeightRow> weights = {});

// The page with the command that repeats the run shown at its end (the page as it is when the
// command is empty).
std::string withRepeatCommand(const std::string& page, const std::string& command);

}  // namespace orvel
