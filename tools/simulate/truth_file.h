// What the simulator tells: truth.csv with every file's true airmass and flux and the
// coefficients used, and the lines printed at the end.
#pragma once

#include <filesystem>
#include <vector>

#include "simulate/night_options.h"
#include "simulate/night_plan.h"
#include "simulate/simulate_frame.h"

namespace orvel::simulate {

// truth.csv: a row per file written, then a row per band; false when it cannot be written.
bool writeTruth(const std::filesystem::path& path, const NightOptions& o,
                const std::vector<Frame>& frames);

// What to type when ORVEL asks, where the star is and the night's span of airmass and time.
void printSummary(const NightOptions& o, const std::vector<Frame>& frames,
                  const FrameRecipe& first);

// The files that cannot give a true point, one line each.
void printSpoilt(const std::vector<Frame>& files);

}  // namespace orvel::simulate
