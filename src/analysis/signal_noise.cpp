#include "analysis/signal_noise.h"

#include <cmath>
#include <numbers>

namespace orvel {

double apertureSignalToNoise(const ApertureNoiseInputs& in) {
    // The star's own electrons, counted back in ADU.
    const double photon = in.signal / in.gainElectronsPerAdu;
    // Each aperture pixel's sky noise, plus the sky level's own error shared by all of them.
    const double skyVariance = in.aperturePixels * in.skyNoise * in.skyNoise;
    const double levelShare = in.aperturePixels * std::numbers::pi / (2.0 * in.annulusPixels);
    const double variance = photon + skyVariance * (1.0 + levelShare);
    if (!(variance > 0.0) || !std::isfinite(variance)) return std::nan("");
    return in.signal / std::sqrt(variance);
}

}  // namespace orvel
