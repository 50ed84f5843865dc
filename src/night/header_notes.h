// What the console says about the frames' headers once per night: where the times came from.
#pragma once

#include <string>

#include "night/night_record.h"

namespace orvel {

// "Frame times (UTC) taken from UT-OBS (DATE-OBS is local time, -0700)." when some frame's
// moment did not come from a UTC DATE-OBS, each way named once in frame order; empty otherwise.
std::string frameTimesNote(const NightRecord& night);

}  // namespace orvel
