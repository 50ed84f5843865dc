// The checks of the options that stand for the typed answers and the clicks, choose the frames
// and ask for the pictures: each reads one value into the options, or gives the message that
// refuses it (one line naming the option).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/option_table.h"
#include "observing/coordinates.h"
#include "run/options.h"

namespace orvel {

using Refusal = std::optional<std::string>;

// An angle typed as "D,M,S" (or "H,M,S") within its limits, as the typed answers are checked.
OptionCheck<BatchOptions> angleAnswer(std::string BatchOptions::*target, AngleLimits limits);

// A pick typed as "COL,ROW", image pixels of the first frame; each one given is kept in `all`,
// the last one is the pick.
OptionCheck<BatchOptions> pixelAnswer(float BatchOptions::*column, float BatchOptions::*row,
                                      std::vector<std::pair<float, float>> BatchOptions::*all);

// --screen-factor: a whole number from 1 up.
Refusal readScreenFactor(std::string_view name, const std::string& value, BatchOptions& o);
Refusal readRemoval(std::string_view name, const std::string& value, BatchOptions& o);
Refusal readGraphFile(std::string_view name, const std::string& value, BatchOptions& o);
Refusal readFolder(std::string_view name, const std::string& value, BatchOptions& o);

// The frame selection: --frames and --band repeated, --band-keyword and --bayer.
Refusal readPattern(std::string_view name, const std::string& value, BatchOptions& o);
Refusal readBandName(std::string_view name, const std::string& value, BatchOptions& o);
Refusal readBandKeyword(std::string_view name, const std::string& value, BatchOptions& o);
Refusal readBayer(std::string_view name, const std::string& value, BatchOptions& o);

// The pictures, the colour weights and the report.
Refusal readPlotFile(std::string_view name, const std::string& value, BatchOptions& o);
Refusal readPlotAxis(std::string_view name, const std::string& value, BatchOptions& o);
Refusal readFieldFile(std::string_view name, const std::string& value, BatchOptions& o);
Refusal readWeightAltitude(std::string_view name, const std::string& value, BatchOptions& o);
Refusal readReportFile(std::string_view name, const std::string& value, BatchOptions& o);

}  // namespace orvel
