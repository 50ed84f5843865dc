#include "observing/precise_airmass.h"

#include <erfa.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

namespace orvel {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kRadToDeg = 180.0 / std::numbers::pi;
constexpr double kSecondsPerDay = 86400.0;

// A typed angle in double precision from its fields, so the 32-bit value's rounding (up to
// 0.02 arcseconds) does not enter the precise place.
double exactValue(const TypedAngle& a) {
    const double whole = std::fabs(static_cast<double>(a.whole));
    return static_cast<double>(a.sign) *
           (whole +
            (static_cast<double>(a.minutes) + static_cast<double>(a.seconds) / 60.0) / 60.0);
}

// The typed place as ERFA's observed-place routines take it, in radians.
struct Place {
    double rightAscension = 0.0;
    double declination = 0.0;
};

Place typedPlace(const ObservingSetup& setup) {
    return {exactValue(setup.rightAscension) * 15.0 * kDegToRad,
            exactValue(setup.declination) * kDegToRad};
}

}  // namespace

double pickeringAirmass(double elevation) {
    if (!(elevation >= 0.0)) return std::numeric_limits<double>::quiet_NaN();
    // Pickering (2002): the elevation lifted by a term that grows towards the horizon.
    const double lifted = elevation + 244.0 / (165.0 + 47.0 * std::pow(elevation, 1.1));
    return 1.0 / std::sin(lifted * kDegToRad);
}

double secondsToMidExposure(const ImageHeader& header, TimeReference stamp) {
    const double exposure = header.hasExposure ? static_cast<double>(header.exposure) : 0.0;
    switch (stamp) {
        case TimeReference::start:
            return exposure / 2.0;
        case TimeReference::middle:
            return 0.0;
        case TimeReference::end:
            return -exposure / 2.0;
    }
    return 0.0;
}

std::optional<std::array<double, 2>> midExposureDate(const ImageHeader& header,
                                                     TimeReference stamp) {
    // The UTC moment as a two-part Julian date, moved to the middle of the exposure.
    double jd1 = 0.0;
    double jd2 = 0.0;
    if (eraDtf2d("UTC", header.year, header.month, header.day, header.hour, header.minute,
                 header.second, &jd1, &jd2) < 0)
        return std::nullopt;
    jd2 += (header.secondFraction + secondsToMidExposure(header, stamp)) / kSecondsPerDay;
    return std::array<double, 2>{jd1, jd2};
}

std::optional<double> utcJulianDate(const ImageHeader& header, TimeReference stamp) {
    const std::optional<std::array<double, 2>> moment = midExposureDate(header, stamp);
    if (!moment) return std::nullopt;
    return (*moment)[0] + (*moment)[1];
}

std::optional<PreciseSky> computePreciseAirmass(const ImageHeader& header,
                                                const ObservingSetup& setup,
                                                const PreciseAirmassSettings& settings) {
    const std::optional<std::array<double, 2>> moment = midExposureDate(header, settings.stamp);
    if (!moment) return std::nullopt;
    const auto [jd1, jd2] = *moment;
    const double longitude = exactValue(setup.longitude) * kDegToRad;
    const double latitude = exactValue(setup.latitude) * kDegToRad;
    const Place place = typedPlace(setup);
    // UT1 - UTC and the polar motion are left at 0: together under 0.005 degrees.
    const double dut1 = 0.0;
    double azimuth = 0.0, zenith = 0.0, hourAngle = 0.0, dec = 0.0, ra = 0.0, eo = 0.0;
    int status = 0;
    if (settings.equinox == Equinox::j2000) {
        // Catalogue place to observed place: precession, nutation, aberration, light deflection,
        // Earth rotation and refraction.
        status =
            eraAtco13(place.rightAscension, place.declination, 0.0, 0.0, 0.0, 0.0, jd1, jd2, dut1,
                      longitude, latitude, settings.heightMetres, 0.0, 0.0, settings.pressureHpa,
                      settings.temperatureC, settings.relativeHumidity, settings.wavelengthMicron,
                      &azimuth, &zenith, &hourAngle, &dec, &ra, &eo);
    } else {
        // An apparent place of date is measured from the equinox; ERFA's intermediate place
        // from the origin, which lies the equation of the origins further on.
        const double intermediate = place.rightAscension + eraEo06a(jd1, jd2);
        status = eraAtio13(intermediate, place.declination, jd1, jd2, dut1, longitude, latitude,
                           settings.heightMetres, 0.0, 0.0, settings.pressureHpa,
                           settings.temperatureC, settings.relativeHumidity,
                           settings.wavelengthMicron, &azimuth, &zenith, &hourAngle, &dec, &ra);
    }
    if (status < 0) return std::nullopt;
    PreciseSky sky;
    sky.julianDate = jd1 + jd2;
    sky.elevation = 90.0 - zenith * kRadToDeg;
    sky.airmass = pickeringAirmass(sky.elevation);
    return sky;
}

std::string describePreciseAirmass(const PreciseAirmassSettings& s) {
    const char* stamp = s.stamp == TimeReference::start    ? "the exposure start"
                        : s.stamp == TimeReference::middle ? "the exposure middle"
                                                           : "the exposure end";
    char refraction[96];
    if (s.pressureHpa > 0.0)
        std::snprintf(refraction, sizeof refraction, "refraction at %g hPa and %g C", s.pressureHpa,
                      s.temperatureC);
    else
        std::snprintf(refraction, sizeof refraction, "no refraction");
    return std::string("Airmass fitted = precise (ERFA, ") +
           (s.equinox == Equinox::j2000 ? "J2000 coordinates" : "coordinates of date") +
           ", mid-exposure with DATE-OBS at " + stamp + ", " + refraction +
           ", Pickering 2002 airmass)";
}

}  // namespace orvel
