// What the console says about the frames' headers once per night: where the times came
// from, and a gain card that is not electrons per ADU.
#pragma once

#include <string>

#include "night/night_record.h"

namespace orvel {

// "Frame times (UTC) taken from UT-OBS (DATE-OBS is local time, -0700)." when some frame's
// moment did not come from a UTC DATE-OBS, each way named once in frame order; empty otherwise.
std::string frameTimesNote(const NightRecord& night);

// One line when a frame's GAIN is too large to be electrons per ADU (a camera's setting) and it
// has no EGAIN: the noise model then takes --gain. Empty otherwise.
std::string gainSettingNote(const NightRecord& night);

}  // namespace orvel
