// Asking for the site and target coordinates.
#pragma once

#include <array>

#include "base/run_log.h"
#include "dialogue/frame_setup.h"
#include "night/frame_coordinates.h"
#include "observing/observing_setup.h"
#include "platform/console.h"

namespace orvel {

// Asks for the four angles in order, then echoes them to the log. Where the frames hold a value,
// a line before its question offers it and an empty answer takes it (named in the log then).
ObservingSetup readObservingSetup(Console& console, RunLog& log,
                                  const FrameCoordinates& frames = {});
// The same, telling which of the four were taken from the frames.
ObservingSetup readObservingSetup(Console& console, RunLog& log, const FrameCoordinates& frames,
                                  std::array<bool, kCoordinates>& taken);

}  // namespace orvel
