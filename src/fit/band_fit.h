// The straight-line fit of magnitude value against airmass for one band.
#pragma once

#include <cmath>

namespace orvel {

// One observation as the fit sees it.
struct FitPoint {
    float airmass = 0.0f;         // optical airmass X
    float magnitude = 0.0f;       // magnitude value Y, the natural log of the signal, as stored
    double error = std::nan("");  // standard error of Y from the frame's noise, ln units (NaN
                                  // when the noise could not be estimated)
    double hours = std::nan("");  // time of the frame, hours from a moment common to the night
                                  // (NaN when the frame has no date)
};

struct BandFit {
    float slope = 0.0f;      // magnitude value per unit airmass; k = -slope
    float intercept = 0.0f;  // magnitude value at airmass 0 ("Mag" in the report)
    float r2 = 0.0f;         // squared correlation coefficient of the analysed points
    int analysed = 0;        // points fitted: the band's frames still included
    int files = 0;           // the band's file count from discovery
};

}  // namespace orvel
