// The straight-line fit of magnitude value against airmass for one band.
#pragma once

namespace orvel {

// One observation as the fit sees it.
struct FitPoint {
    float airmass = 0.0f;    // optical airmass X
    float magnitude = 0.0f;  // magnitude value Y, the natural log of the signal, as stored
};

struct BandFit {
    float slope = 0.0f;      // magnitude value per unit airmass; k = -slope
    float intercept = 0.0f;  // magnitude value at airmass 0 ("Mag" in the report)
    float r2 = 0.0f;         // squared correlation coefficient of the analysed points
    int analysed = 0;        // points fitted: the band's frames still included
    int files = 0;           // the band's file count from discovery
};

}  // namespace orvel
