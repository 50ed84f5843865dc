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

// The note of one frame whose computed elevation is more than 1 degree from the telescope's
// altitude in its header ("its computed elevation 14.0 degrees differs from the telescope's
// CENTALT 89.5"); empty otherwise.
std::string frameAltitudeNote(const FrameRecord& frame);

}  // namespace orvel
