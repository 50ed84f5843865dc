#include "analysis/photometric_error.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvel {

namespace {

// Variance of one sky pixel, DC^2.
double pixelVariance(const RingPhotometry& r, const DetectorNoise& d) {
    const double readNoise = d.readNoise / d.gain;  // the read noise in DC
    const double floor = readNoise * readNoise;
    if (std::isfinite(r.skyNoise)) return std::max(r.skyNoise * r.skyNoise, floor);
    // Without an annulus the sky's photons are estimated from its level.
    return std::max(static_cast<double>(r.skyLevel), 0.0) / d.gain + floor;
}

}  // namespace

double signalError(const RingPhotometry& r, const DetectorNoise& d) {
    const double signal = r.integratedDC;
    if (!(signal > 0.0) || !std::isfinite(signal)) return std::nan("");
    const double n = static_cast<double>(r.aperturePixels);
    const double pixel = pixelVariance(r, d);
    // The median of m pixels scatters by pi/2 x their variance over m; an empty annulus gave
    // no sky level to be wrong about.
    const double skyLevel =
        r.annulusCount > 0 ? std::numbers::pi / 2.0 * pixel / r.annulusCount : 0.0;
    return std::sqrt(signal / d.gain + n * pixel + n * n * skyLevel);
}

double signalToNoise(const RingPhotometry& r, const DetectorNoise& d) {
    return static_cast<double>(r.integratedDC) / signalError(r, d);
}

double lnSignalError(const RingPhotometry& r, const DetectorNoise& d) {
    return signalError(r, d) / static_cast<double>(r.integratedDC);
}

}  // namespace orvel
