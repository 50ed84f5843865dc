// Typed site and target coordinates: three comma-separated fields per angle.
#pragma once

#include <string_view>

#include "observing/observing_setup.h"

namespace orvel {

// Converts one typed line. With the sign rule (latitude, longitude, declination) the sign comes
// from the degrees field alone, and minus zero is not negative.
TypedAngle angleFromLine(std::string_view line, bool signRule);

}  // namespace orvel
