#include "observing/airmass.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "observing/calendar.h"
#include "base/numeric.h"

namespace orvel {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kRadToDeg = 180.0 / std::numbers::pi;
// Sidereal degrees per day beyond the solar rate, and the sidereal angle at the epoch
// (the latter held as a 32-bit float).
constexpr double kSiderealDegreesPerDay = 0.985647;
constexpr float kSiderealAtEpoch = 100.46f;
// Hardie's coefficients for the terms in (sec z - 1), (sec z - 1)^2 and (sec z - 1)^3.
constexpr double kHardie1 = 0.0018167;
constexpr double kHardie2 = 0.002875;
constexpr double kHardie3 = 0.000808;

// An angle reduced into 0..360 by at most one turn, as the sidereal time and hour angle are.
float reduceOnce(float degrees) {
    if (degrees > 360.0f) return f32(static_cast<double>(degrees) - 360.0);
    if (degrees < 0.0f) return f32(static_cast<double>(degrees) + 360.0);
    return degrees;
}

// Days since J2000.0 of the header's date and time; NaN when the month is not 1..12.
void observationDays(const ImageHeader& h, SkyPosition& p, float& ut) {
    // Universal time in hours from the whole-second DATE-OBS fields.
    ut = f32(h.hour + (h.minute + h.second / 60.0) / 60.0);
    const std::optional<int> before = monthStart(h.month, isLeapYear(h.year));
    if (!before) {
        p.dayNumber = std::numeric_limits<float>::quiet_NaN();
    } else {
        p.dayNumber = f32(static_cast<double>(h.day) + *before);
    }
    p.daysSinceEpoch = f32(ut / 24.0 + p.dayNumber + yearStart(h.year));
}

}  // namespace

float elevationFromSine(float sine) {
    // Rounding can push the sine just past 1 near the zenith; limit it so the root is defined.
    const float s = std::clamp(sine, -1.0f, 1.0f);
    if (s == 1.0f) return 90.0f;
    if (s == -1.0f) return -90.0f;
    // The arcsine, written as an arctangent.
    return f32(std::atan(s / std::sqrt(1.0 - static_cast<double>(s) * s)) * kRadToDeg);
}

float airmassFromElevation(float elevation) {
    // Zenith angle in radians from the stored elevation, then its secant.
    const float zenith = f32((90.0 - elevation) * kDegToRad);
    const float secz = f32(1.0 / std::cos(static_cast<double>(zenith)));
    const double x = static_cast<double>(secz) - 1.0;
    // Hardie's polynomial: the three correction terms subtracted in this order.
    return f32(secz - kHardie1 * x - kHardie2 * x * x - kHardie3 * x * x * x);
}

SkyPosition computeAirmass(const ImageHeader& header, const ObservingSetup& setup) {
    SkyPosition p;
    float ut = 0.0f;
    observationDays(header, p, ut);
    // Local sidereal time in degrees, reduced by at most one turn (the cosine takes the rest).
    p.siderealTime =
        reduceOnce(f32(kSiderealDegreesPerDay * p.daysSinceEpoch +
                       static_cast<double>(kSiderealAtEpoch) + setup.longitude.value + 15.0 * ut));
    // Hour angle: sidereal time less the right ascension turned into degrees.
    p.hourAngle = reduceOnce(f32(p.siderealTime - setup.rightAscension.value * 360.0 / 24.0));
    const float sinLat = f32(std::sin(setup.latitude.value * kDegToRad));
    const float cosLat = f32(std::cos(setup.latitude.value * kDegToRad));
    const float sinDec = f32(std::sin(setup.declination.value * kDegToRad));
    const float cosDec = f32(std::cos(setup.declination.value * kDegToRad));
    const float cosHour = f32(std::cos(p.hourAngle * kDegToRad));
    // Sine of the elevation from the spherical triangle pole - zenith - star.
    const float sinElevation =
        f32(static_cast<double>(sinLat) * sinDec + static_cast<double>(cosLat) * cosDec * cosHour);
    p.elevation = elevationFromSine(sinElevation);
    p.zenithAngle = 90.0 - p.elevation;
    p.airmass = airmassFromElevation(p.elevation);
    return p;
}

}  // namespace orvel
