// Asking for the site and target coordinates.
#pragma once

#include "base/run_log.h"
#include "observing/observing_setup.h"
#include "platform/console.h"

namespace orvel {

// Asks for the four angles in order, then echoes them to the log.
ObservingSetup readObservingSetup(Console& console, RunLog& log);

}  // namespace orvel
