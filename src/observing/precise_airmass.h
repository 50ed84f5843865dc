// The star's apparent elevation and airmass by the IAU's standard routines (ERFA): the place of
// date from catalogue coordinates, the sidereal time, refraction for the site, and an airmass
// formula that holds down to the horizon.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "fits/image_header.h"
#include "observing/observing_setup.h"

namespace orvel {

// Which equinox the typed right ascension and declination refer to.
enum class Equinox {
    j2000,   // catalogue coordinates (J2000 / ICRS): precession, nutation, aberration applied
    ofDate,  // the apparent place of the frame's date, used as typed
};

// Which moment of the exposure DATE-OBS names.
enum class TimeReference { start, middle, end };

// How the precise airmass is computed. These are the defaults of --airmass precise.
struct PreciseAirmassSettings {
    Equinox equinox = Equinox::j2000;            // of the typed coordinates
    TimeReference stamp = TimeReference::start;  // what DATE-OBS names (the start, as
                                                 // FITS writers mostly stamp); the
                                                 // airmass is taken mid-exposure
    double pressureHpa = 1013.25;                // site pressure, hPa; 0 = no refraction
    double temperatureC = 10.0;                  // site air temperature, degrees C
    double relativeHumidity = 0.0;               // 0..1, for the refraction
    double wavelengthMicron = 0.55;              // effective wavelength, micrometres
    double heightMetres = 0.0;                   // site height above sea level, metres
};

// One frame's precise sky position.
struct PreciseSky {
    double julianDate = 0.0;  // UTC Julian date of the moment used (mid-exposure), days
    double elevation = 0.0;   // apparent elevation (refracted unless pressure is 0), degrees
    double airmass = 0.0;     // Pickering (2002) airmass of that elevation; NaN below 0 degrees
};

// Pickering's (2002) airmass of an apparent elevation in degrees, valid down to the horizon
// (38.7 at 0 degrees); NaN below the horizon.
double pickeringAirmass(double elevation);

// The moment the airmass is taken, seconds after DATE-OBS: the middle of the exposure for
// the stamp given (EXPTIME 0 when the header has none).
double secondsToMidExposure(const ImageHeader& header, TimeReference stamp);

// The star's precise elevation and airmass in the middle of the frame's exposure. Empty when
// the date names no day ERFA can convert.
// The UTC moment of the exposure's middle as a two-part Julian date (days), and as one number;
// empty when the header's date cannot be converted.
std::optional<std::array<double, 2>> midExposureDate(const ImageHeader& header,
                                                     TimeReference stamp);
std::optional<double> utcJulianDate(const ImageHeader& header, TimeReference stamp);

std::optional<PreciseSky> computePreciseAirmass(const ImageHeader& header,
                                                const ObservingSetup& setup,
                                                const PreciseAirmassSettings& settings);

// One line naming the airmass that was fitted and how it was computed.
std::string describePreciseAirmass(const PreciseAirmassSettings& settings);

}  // namespace orvel
