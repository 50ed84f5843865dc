#include "analysis/aperture_choice.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

#include "base/numeric.h"

namespace orvel {

bool needsNightWidth(const ApertureSettings& s) {
    if (s.rule == ApertureRule::grow) return false;
    return s.rule == ApertureRule::automatic || !s.annulus;
}

double medianWidth(std::vector<double> widths) {
    std::erase_if(widths, [](double w) { return std::isnan(w); });
    if (widths.empty()) return std::nan("");
    return medianOf(std::move(widths));
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

namespace {

// One frame of the fit: x = its FWHM less the mean, y = ln of its correction, w its weight.
struct GrowthPoint {
    double x = 0.0;
    double y = 0.0;
    double w = 0.0;
};

// The points of the frames that can be fitted, and the range and weighted mean of their widths.
std::vector<GrowthPoint> growthPoints(const std::vector<GrowthSample>& samples,
                                      GrowthCorrection& g) {
    std::vector<GrowthPoint> points;
    double weights = 0.0;
    for (const GrowthSample& s : samples) {
        if (std::isnan(s.fwhm) || !(s.apertureDC > 0.0) || !(s.lightDC > 0.0)) continue;
        const double extra = static_cast<double>(std::max(s.extraPixels, 1LL));
        points.push_back(
            {s.fwhm, std::log(s.lightDC / s.apertureDC), s.apertureDC * s.apertureDC / extra});
        g.narrowest = points.size() == 1 ? s.fwhm : std::min(g.narrowest, s.fwhm);
        g.widest = points.size() == 1 ? s.fwhm : std::max(g.widest, s.fwhm);
        g.meanFwhm += points.back().w * s.fwhm;
        weights += points.back().w;
    }
    g.meanFwhm /= weights;
    for (GrowthPoint& p : points) p.x -= g.meanFwhm;
    g.frames = static_cast<int>(points.size());
    return points;
}

// Whether the weighted straight line through the points (about x = 0, the weighted mean) has a
// slope kGrowthSlopeSigmas of its standard errors from 0; sets c0 to the weighted mean of y.
bool slopeShown(const std::vector<GrowthPoint>& points, GrowthCorrection& g) {
    double sw = 0.0, my = 0.0, sxx = 0.0, sxy = 0.0;
    for (const GrowthPoint& p : points) {
        sw += p.w;
        my += p.w * p.y;
        sxx += p.w * p.x * p.x;
        sxy += p.w * p.x * p.y;
    }
    g.c0 = my / sw;
    if (points.size() < 3 || !(sxx > 0.0)) return false;
    const double slope = sxy / sxx;
    double residuals = 0.0;
    for (const GrowthPoint& p : points) {
        const double r = p.y - g.c0 - slope * p.x;
        residuals += p.w * r * r;
    }
    const double error = std::sqrt(residuals / static_cast<double>(points.size() - 2) / sxx);
    g.c1 = slope;
    return std::fabs(slope) >= kGrowthSlopeSigmas * error;
}

// The weighted least-squares quadratic through the points, by its normal equations (Cramer's
// rule); false when they are singular.
bool fitQuadratic(const std::vector<GrowthPoint>& points, GrowthCorrection& g) {
    std::array<double, 5> m{};  // sums of w x^k, k = 0..4
    std::array<double, 3> v{};  // sums of w x^k y, k = 0..2
    for (const GrowthPoint& p : points)
        for (std::size_t k = 0; k < 5; ++k) {
            const double wx = p.w * std::pow(p.x, static_cast<double>(k));
            m[k] += wx;
            if (k < 3) v[k] += wx * p.y;
        }
    const auto det = [](double a, double b, double c, double d, double e, double f, double g2,
                        double h, double i) {
        return a * (e * i - f * h) - b * (d * i - f * g2) + c * (d * h - e * g2);
    };
    const double d = det(m[0], m[1], m[2], m[1], m[2], m[3], m[2], m[3], m[4]);
    if (!(std::fabs(d) > 0.0) || !std::isfinite(d)) return false;
    g.c0 = det(v[0], m[1], m[2], v[1], m[2], m[3], v[2], m[3], m[4]) / d;
    g.c1 = det(m[0], v[0], m[2], m[1], v[1], m[3], m[2], v[2], m[4]) / d;
    g.c2 = det(m[0], m[1], v[0], m[1], m[2], v[1], m[2], m[3], v[2]) / d;
    return true;
}

}  // namespace

std::optional<GrowthCorrection> fitGrowthCorrection(const std::vector<GrowthSample>& samples) {
    GrowthCorrection g;
    const std::vector<GrowthPoint> points = growthPoints(samples, g);
    if (points.empty()) return std::nullopt;
    if (!slopeShown(points, g)) {
        // No change with the seeing beyond the noise: one factor for the night.
        g.c1 = 0.0;
        return g;
    }
    GrowthCorrection line = g;
    if (points.size() < 4 || !fitQuadratic(points, g)) return line;
    return g;
}

namespace {

// The pixels of the frame whose centres lie at inner < d <= outer from (column, row).
long long annulusPixels(double column, double row, double inner, double outer, int columns,
                        int rows) {
    long long count = 0;
    const int left = std::max(0, static_cast<int>(std::floor(column - outer)));
    const int right = std::min(columns - 1, static_cast<int>(std::ceil(column + outer)));
    const int top = std::max(0, static_cast<int>(std::floor(row - outer)));
    const int bottom = std::min(rows - 1, static_cast<int>(std::ceil(row + outer)));
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            const double d = std::hypot(x - column, y - row);
            count += d > inner && d <= outer;
        }
    return count;
}

std::string pixels(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace

std::optional<std::string> apertureMisfit(const ApertureSettings& settings, double column,
                                          double row, int columns, int rows) {
    const std::string place = " about the star at " + pixels(column) + "," + pixels(row);
    const std::string frame = " of the first frame (" + std::to_string(columns) + " x " +
                              std::to_string(rows) + " pixels)";
    const double r = settings.radius;
    // A fixed aperture that leaves the frame would sum only part of the star.
    if (settings.rule == ApertureRule::fixed &&
        (column - r < 0.0 || row - r < 0.0 || column + r > columns - 1 || row + r > rows - 1))
        return "option --aperture '" + pixels(r) + "': the aperture" + place +
               " reaches beyond the edge" + frame;
    if (!settings.annulus) return std::nullopt;
    const auto [inner, outer] = *settings.annulus;
    const long long held = annulusPixels(column, row, inner, outer, columns, rows);
    const double area = std::numbers::pi * (outer * outer - inner * inner);
    if (held >= kFewestSkyPixels && static_cast<double>(held) >= kSkyAreaShare * area)
        return std::nullopt;
    return "option --annulus '" + pixels(inner) + "," + pixels(outer) + "': the sky annulus" +
           place + " holds " + std::to_string(held) + " pixels" + frame + "; it needs at least " +
           std::to_string(kFewestSkyPixels) + " and a third of its area";
}

}  // namespace orvel
