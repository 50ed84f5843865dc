// The extinction fit of all three bands and its report on the console and in the log.
#pragma once

#include "base/console_text.h"
#include "base/run_log.h"
#include "night/night_fit.h"
#include "night/night_record.h"

namespace orvel {

// Writes the final-results block of the fit to the log and its short form to the console. A
// band with file count 0 has no coefficient line.
void reportFit(const NightFit& fit, RunLog& log, ConsoleText& console);

// The warnings of the current fits on the console, one "Warning: " line each; with the frames'
// own warnings (found when they were measured) when asked. The log is left as it is.
void reportWarnings(const NightRecord& night, const NightFit& fit, ConsoleText& console,
                    bool withFrameWarnings);

}  // namespace orvel
