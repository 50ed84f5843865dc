// The signal-to-noise ratio of an aperture measurement.
#pragma once

namespace orvel {

// The camera's gain taken when none is known, electrons per ADU.
inline constexpr double kUnknownGainElectronsPerAdu = 1.0;

// What the ratio is formed from: one star's aperture and its sky annulus.
struct ApertureNoiseInputs {
    double signal = 0.0;          // sky-subtracted sum over the aperture, ADU
    double aperturePixels = 0.0;  // pixels summed into the signal
    double skyNoise = 0.0;        // spread of one sky pixel, ADU
    double annulusPixels = 0.0;   // pixels whose median is the sky level
    double gainElectronsPerAdu = kUnknownGainElectronsPerAdu;  // of the camera, e-/ADU
};

// S/N = signal / sqrt(signal / gain + n sky^2 (1 + n pi / (2 m))) for n aperture and m annulus
// pixels: the star's photon noise, every aperture pixel's sky noise, and the error of the sky
// level taken as the median of m pixels (pi/2 times the variance of their mean). NaN when the
// noise is not a positive number (no signal, no annulus).
double apertureSignalToNoise(const ApertureNoiseInputs& in);

}  // namespace orvel
