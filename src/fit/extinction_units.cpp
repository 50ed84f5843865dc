#include "fit/extinction_units.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvel {

std::array<double, 3> colourWeights(const std::array<BandFit, 3>& fits, double airmass) {
    std::array<double, 3> signal{};
    for (std::size_t i = 0; i < fits.size(); ++i) {
        const double exponent =
            static_cast<double>(fits[i].intercept) + static_cast<double>(fits[i].slope) * airmass;
        // An unusable line has no signal, the rule of the signals at airmass 1 and 0.
        signal[i] = std::isfinite(exponent) ? std::exp(exponent) : 0.0;
    }
    const double largest = *std::max_element(signal.begin(), signal.end());
    std::array<double, 3> weights{};
    for (std::size_t i = 0; i < fits.size(); ++i) weights[i] = signal[i] / largest;
    return weights;
}

std::array<double, 3> whiteBalanceFactors(const std::array<double, 3>& signal) {
    // The weakest band with signal sets the level, so no channel is brightened and none clips.
    double weakest = std::numeric_limits<double>::infinity();
    for (const double s : signal)
        if (s > 0 && std::isfinite(s)) weakest = std::min(weakest, s);
    std::array<double, 3> factors{};
    for (std::size_t i = 0; i < signal.size(); ++i)
        factors[i] = signal[i] > 0 && std::isfinite(signal[i]) ? weakest / signal[i] : std::nan("");
    return factors;
}

}  // namespace orvel
