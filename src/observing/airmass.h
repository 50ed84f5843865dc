// Observation time to the star's elevation, zenith angle and optical airmass.
#pragma once

#include "fits/image_header.h"
#include "observing/observing_setup.h"

namespace orvel {

struct SkyPosition {
    float dayNumber = 0.0f;       // day of the year from DATE-OBS, 1 = January 1 (NaN when the
                                  // month is outside 1..12)
    float daysSinceEpoch = 0.0f;  // d, days since J2000.0 (2000 January 1, 12h UT)
    float siderealTime = 0.0f;    // local sidereal time, degrees (reduced at most once)
    float hourAngle = 0.0f;       // hour angle, degrees (reduced at most once)
    float elevation = 0.0f;       // E, degrees above the horizon
    double zenithAngle = 0.0;     // 90 - E, degrees
    float airmass = 0.0f;         // optical airmass X (Hardie's polynomial in sec z - 1)
};

// Elevation in degrees from its sine, limited to -1..1: arctan(s / sqrt(1 - s^2)), with
// s = 1 and -1 giving 90 and -90.
float elevationFromSine(float sine);

// Optical airmass from the elevation in degrees: sec z less Hardie's three correction terms.
float airmassFromElevation(float elevation);

// Follows the DATE-OBS time (whole seconds, UT, exposure time not added) through days since
// J2000.0, local sidereal time, hour angle and elevation to the airmass, every working value
// stored as a 32-bit float. A month outside 1..12 has no day number: every result is then NaN.
SkyPosition computeAirmass(const ImageHeader& header, const ObservingSetup& setup);

}  // namespace orvel
