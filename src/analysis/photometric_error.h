// The noise of an aperture measurement: the star's own photons, and the sky and read noise of
// every aperture pixel and of the sky level taken from the annulus.
#pragma once

#include "analysis/ring_photometry.h"

namespace orvel {

// The detector as the noise sees it.
struct DetectorNoise {
    double gain = 1.0;       // electrons per ADU
    double readNoise = 0.0;  // electrons rms per pixel
};

// Standard error of the integrated signal I, DC. Each aperture pixel carries the annulus's
// measured spread (which holds the sky's photons and the read noise), never less than the read
// noise; with no spread measured, the sky level's photons and the read noise. The sky level,
// a median of the annulus, adds pi/2 x the pixel variance over the annulus count per aperture
// pixel, and the star adds I / gain. NaN when the signal is not positive.
double signalError(const RingPhotometry& rings, const DetectorNoise& detector);

// Signal over its standard error.
double signalToNoise(const RingPhotometry& rings, const DetectorNoise& detector);

// Standard error of the magnitude value ln I: the relative error of I.
double lnSignalError(const RingPhotometry& rings, const DetectorNoise& detector);

}  // namespace orvel
