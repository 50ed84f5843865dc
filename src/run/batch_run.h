// The unattended run: every answer and pick comes from the command line.
#pragma once

#include "platform/console.h"
#include "run/options.h"

namespace orvel {

// Runs with no question and no window; returns the exit status.
int runBatch(const BatchOptions& options, Console& console);

}  // namespace orvel
