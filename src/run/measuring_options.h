// The options that change how the night is measured and fitted: the same for interactive and
// unattended runs, none of them needed.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "analysis/aperture_choice.h"
#include "observing/precise_airmass.h"
#include "run/options.h"

namespace orvel {

// The valued options read here, and those given without a value.
const std::vector<std::string>& measuringOptionNames();
const std::vector<std::string>& measuringFlagNames();

// Reads the measuring options from the options given (name to value, "" for a flag) into the
// run's options; the message of the first option found wrong, or empty.
std::optional<std::string> readMeasuringOptions(const std::map<std::string, std::string>& given,
                                                RunOptions& run);

// Reads --aperture and --annulus into the aperture settings; the message of the first found
// wrong, or empty.
std::optional<std::string> readApertureOptions(const std::map<std::string, std::string>& given,
                                               ApertureSettings& aperture);

// Their lines of --help.
std::string measuringOptionsHelp();

}  // namespace orvel
