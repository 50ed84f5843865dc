// The files a run writes must be files of their own: an output option never names an input
// frame, the log, another fixed output or another output option.
#pragma once

#include <optional>
#include <string>

#include "run/options.h"

namespace orvel {

// The refusal (one line naming both files) of the first output option that names the same
// file as an input frame of the folder, a file the run writes under a fixed name or another
// output option; empty when each names a file of its own. `interactive` adds the files only an
// interactive run writes (ORVEL.bmp, ORVEL_plot.png and, without --field, ORVEL_field.png).
// Files are compared by what they resolve to, not by how they are written.
std::optional<std::string> outputNameClash(const BatchOptions& options, bool interactive);

}  // namespace orvel
