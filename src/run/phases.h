// Phases shared by the interactive and the unattended run.
#pragma once

#include <filesystem>

#include "base/run_log.h"
#include "platform/console.h"

namespace orvel {

// Opens "ORVEL_LOG.txt" in the folder; when it cannot be created the run goes on without a
// log, after one console line saying so.
RunLog openRunLog(const std::filesystem::path& folder, Console& console);

}  // namespace orvel
