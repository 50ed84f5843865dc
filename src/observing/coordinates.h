// Typed site and target coordinates: three comma-separated fields per angle.
#pragma once

#include <string>
#include <string_view>

#include "observing/observing_setup.h"

namespace orvel {

// Converts one typed line. With the sign rule (latitude, longitude, declination) the sign comes
// from the degrees field alone: a minus sign typed there makes the angle negative, "-0" included.
TypedAngle angleFromLine(std::string_view line, bool signRule);

// The degrees (hours) field with its sign in the log's number form: "-0 " for a typed "-0".
std::string wholeText(const TypedAngle& a);

// The values a typed angle may take: its decimal value within [low, high], its minutes and
// seconds within 0 to 60.
struct AngleLimits {
    bool signRule;      // the angle is read with the sign rule
    double low, high;   // decimal degrees (hours for right ascension)
    const char* range;  // the range in words, e.g. "-90 to 90 degrees"
};
inline constexpr AngleLimits kLatitudeLimits{true, -90, 90, "-90 to 90 degrees"};
inline constexpr AngleLimits kLongitudeLimits{true, -180, 180, "-180 to 180 degrees"};
inline constexpr AngleLimits kRightAscensionLimits{false, 0, 24, "0 to 24 hours"};
inline constexpr AngleLimits kDeclinationLimits{true, -90, 90, "-90 to 90 degrees"};

// Why a typed angle is not one of the values its limits allow ("lies outside -90 to 90
// degrees"), or empty when it is.
std::string angleFault(const TypedAngle& a, const AngleLimits& limits);

}  // namespace orvel
