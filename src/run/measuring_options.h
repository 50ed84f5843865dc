// The options that change how the night is measured and fitted: the same for interactive and
// unattended runs, none of them needed.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "observing/precise_airmass.h"

namespace orvel {

// The valued options read here.
const std::vector<std::string>& measuringOptionNames();

// Reads the measuring options from the options given (name to value) into the precise airmass
// settings; the message of the first option found wrong, or empty.
std::optional<std::string> readMeasuringOptions(
    const std::map<std::string, std::string>& given,
    std::optional<PreciseAirmassSettings>& preciseAirmass);

// Their lines of --help.
std::string measuringOptionsHelp();

}  // namespace orvel
