// The files beside the log that come after the fit: the colour weights always, the plot, the
// field and the report when asked for.
#pragma once

#include <filesystem>
#include <string>

#include "night/night_fit.h"
#include "night/night_loop.h"
#include "night/night_record.h"
#include "observing/observing_setup.h"
#include "picture/field_picture.h"
#include "platform/console.h"
#include "run/options.h"

namespace orvel {

// The picker that also keeps the first frame's crop for the field picture (when `keep`).
StarPicker keepingField(StarPicker pick, std::optional<FieldCrop>& field, bool keep);

// What the flows hand over for the files after the fit.
struct NightOutputs {
    const NightRecord& night;
    const NightFit& fit;                             // the fit the outputs show
    const ObservingSetup& setup;                     // as typed or given
    const std::optional<FieldCrop>& field;           // the first frame's crop, when kept
    std::optional<std::filesystem::path> fieldFile;  // where the field picture goes
    std::string repeatCommand;  // the command that repeats the run, for the report; or empty
};

// Writes ORVEL_weights.csv into the folder and shows its main rows, then the --plot, field
// and --report files (relative to the current folder). Each file that cannot be written is
// said on the console; false when any could not.
bool writeNightOutputs(const NightOutputs& out, const RunOptions& options,
                       const std::filesystem::path& folder, Console& console);

// The labelled plot beside a saved graph: ORVEL_plot.png in the folder.
bool writeSavedGraphPlot(const NightRecord& night, const NightFit& fit, const ObservingSetup& setup,
                         const RunOptions& options, const std::filesystem::path& folder,
                         Console& console);

}  // namespace orvel
