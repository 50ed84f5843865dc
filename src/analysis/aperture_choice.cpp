#include "analysis/aperture_choice.h"

#include <algorithm>
#include <cmath>

namespace orvel {

bool needsNightWidth(const ApertureSettings& s) {
    if (s.rule == ApertureRule::grow) return false;
    return s.rule == ApertureRule::automatic || !s.annulus;
}

double medianWidth(std::vector<double> widths) {
    std::erase_if(widths, [](double w) { return std::isnan(w); });
    if (widths.empty()) return std::nan("");
    // The mean of the two middle widths for an even count.
    std::sort(widths.begin(), widths.end());
    const std::size_t n = widths.size();
    return n % 2 == 1 ? widths[n / 2] : 0.5 * (widths[n / 2 - 1] + widths[n / 2]);
}

std::optional<ApertureGeometry> chooseAperture(const ApertureSettings& s, double medianFwhm) {
    if (s.rule == ApertureRule::grow) return std::nullopt;
    ApertureGeometry g;
    g.radius = s.rule == ApertureRule::fixed ? s.radius : kAutoRadiusPerFwhm * medianFwhm;
    if (s.annulus) {
        g.annulusInner = s.annulus->first;
        g.annulusOuter = s.annulus->second;
    } else {
        // Clear of the star's light, and wide enough that its median is a steady sky level.
        g.annulusInner = std::max(g.radius, kAnnulusInnerPerFwhm * medianFwhm);
        g.annulusOuter = std::sqrt(g.annulusInner * g.annulusInner +
                                   kAnnulusAreaPerAperture * g.radius * g.radius);
    }
    if (!(g.radius > 0.0) || !(g.annulusOuter > g.annulusInner)) return std::nullopt;
    return g;
}

}  // namespace orvel
