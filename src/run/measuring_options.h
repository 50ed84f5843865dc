// The options that change how the night is measured and fitted: the same for interactive and
// unattended runs, none of them needed.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "analysis/aperture_choice.h"
#include "observing/precise_airmass.h"

namespace orvel {

// The valued options read here.
const std::vector<std::string>& measuringOptionNames();

// Reads the measuring options from the options given (name to value) into the precise airmass
// settings; the message of the first option found wrong, or empty.
std::optional<std::string> readMeasuringOptions(
    const std::map<std::string, std::string>& given,
    std::optional<PreciseAirmassSettings>& preciseAirmass);

// Reads --aperture and --annulus into the aperture settings; the message of the first found
// wrong, or empty.
std::optional<std::string> readApertureOptions(const std::map<std::string, std::string>& given,
                                               ApertureSettings& aperture);

// Their lines of --help.
std::string measuringOptionsHelp();

}  // namespace orvel
