// The extinction fit of all three bands and its report on the console and in the log.
#pragma once

#include "base/console_text.h"
#include "base/run_log.h"
#include "night/night_record.h"

namespace orvel {

// Fits each band with files over its included frames and writes the final-results block to
// the log and the short form to the console. A band with file count 0 keeps its fit unchanged
// and has no coefficient line.
void fitAndReport(NightRecord& night, RunLog& log, ConsoleText& console);

// The warnings of the current fits on the console, one "Warning: " line each; with the frames'
// own warnings (found when they were measured) when asked. The log is left as it is.
void reportWarnings(const NightRecord& night, ConsoleText& console, bool withFrameWarnings);

}  // namespace orvel
