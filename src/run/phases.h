// Phases shared by the interactive and the unattended run.
#pragma once

#include <filesystem>

#include "base/run_log.h"
#include "night/discovery.h"
#include "night/night_record.h"
#include "platform/console.h"
#include "run/options.h"

namespace orvel {

// Opens "ORVEL_LOG.txt" in the folder; when it cannot be created the run goes on without a
// log, after one console line saying so.
RunLog openRunLog(const std::filesystem::path& folder, Console& console);

// The night's frames: chosen by --frames when it is given, otherwise by their names' band
// letters. The list goes to the log (and, when nothing is found although the folder holds
// FITS frames, the console says which and how to measure them).
ImageFileList findFrames(const RunOptions& options, const std::filesystem::path& folder,
                         RunLog& log, Console& console);

// After the frames are measured: the night is fitted as the options say, and with --reject the
// frames too far from their band's line are left out, each named on the console and in the log.
void prepareFits(NightRecord& night, const RunOptions& options, Console& console, RunLog& log);

}  // namespace orvel
