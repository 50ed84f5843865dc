// The night's computed elevations against the telescope's own altitudes in the headers: a
// disagreement names its likely cause (the longitude's sign, a time zone, the wrong star).
#pragma once

#include <string>

#include "night/night_record.h"
#include "observing/observing_setup.h"

namespace orvel {

// A warning when the median, over the measured frames that carry an altitude, of the computed
// elevation less the written altitude is beyond 1 degree; empty otherwise.
std::string altitudeWarning(const NightRecord& night, const ObservingSetup& setup);

}  // namespace orvel
