// Typed site and target coordinates: three comma-separated fields per angle.
#pragma once

#include <string_view>

#include "observing/observing_setup.h"
#include "platform/console.h"
#include "run/run_log.h"

namespace orvel {

// Converts one typed line. With the sign rule (latitude, longitude, declination) the sign comes
// from the degrees field alone, and minus zero is not negative.
TypedAngle angleFromLine(std::string_view line, bool signRule);

// Asks for the four angles in order, then echoes them to the log.
ObservingSetup readObservingSetup(Console& console, RunLog& log);

// The four echo lines (after an empty line).
void logObservingSetup(const ObservingSetup& setup, RunLog& log);

}  // namespace orvel
