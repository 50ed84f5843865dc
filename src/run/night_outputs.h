// The files beside the log that come after the fit: the colour weights always, the plot, the
// field and the report when asked for.
#pragma once

#include <filesystem>

#include "night/night_record.h"
#include "observing/observing_setup.h"
#include "platform/console.h"
#include "run/options.h"

namespace orvel {

// Writes ORVEL_weights.csv into the folder and shows its main rows, then the --plot, --field
// and --report files (relative to the current folder). Each file that cannot be written is
// said on the console; false when any could not.
bool writeNightOutputs(const NightRecord& night, const ObservingSetup& setup,
                       const RunOptions& options, const std::filesystem::path& folder,
                       Console& console);

// The labelled plot beside a saved graph: ORVEL_plot.png in the folder.
bool writeSavedGraphPlot(const NightRecord& night, const ObservingSetup& setup,
                         const RunOptions& options, const std::filesystem::path& folder,
                         Console& console);

}  // namespace orvel
