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

double widestWidth(const std::vector<double>& widths) {
    const double median = medianWidth(widths);
    double widest = std::nan("");
    for (const double w : widths)
        if (!std::isnan(w)) widest = std::isnan(widest) ? w : std::max(widest, w);
    return std::min(widest, kWidestPerMedianFwhm * median);
}

namespace {

// The annulus given, or by default one clear of the star's light and wide enough that its
// median is a steady sky level.
void placeAnnulus(const ApertureSettings& s, double medianFwhm, ApertureGeometry& g) {
    if (s.annulus) {
        g.annulusInner = s.annulus->first;
        g.annulusOuter = s.annulus->second;
        return;
    }
    g.annulusInner = std::max(g.radius, kAnnulusInnerPerFwhm * medianFwhm);
    // Beyond the light the signal is corrected to, and clear of the widest star's wings.
    if (g.lightPerFwhm > 0.0)
        g.annulusInner = std::max(g.annulusInner, kWingsFadedPerFwhm * g.widestFwhm);
    // Its area is measured against the pixels summed: the corrected light's when it reaches
    // further than the radius.
    const double summed = std::max(g.radius, g.lightPerFwhm * g.widestFwhm);
    g.annulusOuter =
        std::sqrt(g.annulusInner * g.annulusInner + kAnnulusAreaPerAperture * summed * summed);
}

}  // namespace

std::optional<ApertureGeometry> chooseAperture(const ApertureSettings& s, double medianFwhm,
                                               double widestFwhm) {
    if (s.rule == ApertureRule::grow) return std::nullopt;
    ApertureGeometry g;
    g.radius = s.rule == ApertureRule::fixed ? s.radius : kAutoRadiusPerFwhm * medianFwhm;
    // The automatic radius's light is corrected to all of the star's on every frame.
    if (s.rule == ApertureRule::automatic && widestFwhm > 0.0) {
        g.lightPerFwhm = kAllLightPerFwhm;
        g.widestFwhm = widestFwhm;
    }
    placeAnnulus(s, medianFwhm, g);
    if (!(g.radius > 0.0) || !(g.annulusOuter > g.annulusInner)) return std::nullopt;
    return g;
}

double nearbyStarReach(const ApertureGeometry& g, double medianFwhm) {
    // An aperture grown to twice its radius and a star's light, with its default annulus.
    const double light = kAutoRadiusPerFwhm * medianFwhm;
    const double grown = 2.0 * g.radius + light;
    const double outer = std::sqrt(grown * grown * (1.0 + kAnnulusAreaPerAperture));
    return std::max(outer, g.annulusOuter) + light;
}

int allowForNearbyStars(const ApertureSettings& s, const std::vector<NearbyStar>& stars,
                        double medianFwhm, ApertureGeometry& g) {
    const double light = kAutoRadiusPerFwhm * medianFwhm;
    const double farthest = 2.0 * g.radius;
    std::vector<bool> taken(stars.size(), false);
    // Nearest first, and again after each growth: a grown aperture may reach the next star.
    for (bool grown = s.rule == ApertureRule::automatic; grown;) {
        grown = false;
        for (std::size_t i = 0; i < stars.size(); ++i) {
            if (taken[i] || stars[i].distance > farthest || stars[i].distance - light >= g.radius)
                continue;
            taken[i] = grown = true;
            g.radius = std::max(g.radius, stars[i].distance + light);
        }
    }
    // Another star's light within the corrected light's reach would enter it with the seeing.
    for (std::size_t i = 0; i < stars.size(); ++i)
        if (g.lightPerFwhm > 0.0 && stars[i].distance - light < g.lightPerFwhm * g.widestFwhm)
            g.lightPerFwhm = 0.0;
    if (s.rule == ApertureRule::automatic) placeAnnulus(s, medianFwhm, g);
    int held = 0;
    for (std::size_t i = 0; i < stars.size(); ++i) {
        held += stars[i].distance - light < g.radius;
        // The light of a star not taken in would raise the annulus's sky level.
        if (!taken[i] && stars[i].distance - light < g.annulusOuter)
            g.masks.push_back(
                {static_cast<double>(stars[i].column), static_cast<double>(stars[i].row), light});
    }
    return held;
}

}  // namespace orvel
