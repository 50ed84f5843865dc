// The checks of the options that change how the night is measured and fitted, the same for
// interactive and unattended runs, none of them needed: each reads one value into the run's
// options, or gives the message that refuses it (one line naming the option).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "run/options.h"

namespace orvel {

// --airmass, and the settings of the precise airmass: these need --airmass read first.
std::optional<std::string> readAirmass(std::string_view name, const std::string& value,
                                       RunOptions& run);
std::optional<std::string> readEquinox(std::string_view name, const std::string& value,
                                       RunOptions& run);
std::optional<std::string> readTimeReference(std::string_view name, const std::string& value,
                                             RunOptions& run);
std::optional<std::string> readPressure(std::string_view name, const std::string& value,
                                        RunOptions& run);
std::optional<std::string> readTemperature(std::string_view name, const std::string& value,
                                           RunOptions& run);

// The noise of frames whose headers lack it, the weighted fit and the rejection.
std::optional<std::string> readGain(std::string_view name, const std::string& value,
                                    RunOptions& run);
std::optional<std::string> readReadNoise(std::string_view name, const std::string& value,
                                         RunOptions& run);
// --strict: a fit whose verdicts are not all good ends the run with status 3.
std::optional<std::string> readStrict(std::string_view name, const std::string& value,
                                      RunOptions& run);
std::optional<std::string> readWeighted(std::string_view name, const std::string& value,
                                        RunOptions& run);
std::optional<std::string> readRejectLimit(std::string_view name, const std::string& value,
                                           RunOptions& run);

// --aperture, and --annulus, which needs --aperture read first.
std::optional<std::string> readAperture(std::string_view name, const std::string& value,
                                        RunOptions& run);
std::optional<std::string> readAnnulus(std::string_view name, const std::string& value,
                                       RunOptions& run);

}  // namespace orvel
