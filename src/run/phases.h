// Phases shared by the interactive and the unattended run.
#pragma once

#include <filesystem>

#include "platform/console.h"
#include "platform/graphics_window.h"
#include "run/run_log.h"

namespace orvel {

// Opens "ORVEL_LOG.txt" in the folder; when it cannot be created the run goes on without a
// log, after one console line saying so.
RunLog openRunLog(const std::filesystem::path& folder, Console& console);

// The screen size lines of the log.
void logScreenSize(RunLog& log, DesktopSize size);

}  // namespace orvel
