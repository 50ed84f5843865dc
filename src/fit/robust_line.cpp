#include "fit/robust_line.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/numeric.h"

namespace orvel {

namespace {

// The median of the values (the mean of the two middle ones for an even count); 0 for none.
double medianOf(std::vector<double> v) {
    if (v.empty()) return 0.0;
    const std::size_t n = v.size();
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(n / 2), v.end());
    const double upper = v[n / 2];
    if (n % 2 == 1) return upper;
    const double lower =
        *std::max_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(n / 2));
    return 0.5 * (lower + upper);
}

}  // namespace

BandFit repeatedMedianLine(std::span<const FitPoint> points) {
    BandFit line;
    line.analysed = static_cast<int>(points.size());
    std::vector<double> slopes;
    for (const FitPoint& p : points) {
        // Each point's own median slope to the others: one bad point moves few of them.
        std::vector<double> own;
        for (const FitPoint& q : points)
            if (q.airmass != p.airmass)
                own.push_back((static_cast<double>(q.magnitude) - p.magnitude) /
                              (static_cast<double>(q.airmass) - p.airmass));
        if (!own.empty()) slopes.push_back(medianOf(std::move(own)));
    }
    if (slopes.empty()) return line;
    const double slope = medianOf(std::move(slopes));
    std::vector<double> intercepts;
    for (const FitPoint& p : points) intercepts.push_back(p.magnitude - slope * p.airmass);
    line.slope = f32(slope);
    line.intercept = f32(medianOf(std::move(intercepts)));
    return line;
}

namespace {

// Tukey's biweight tuning: 95 % of the efficiency of least squares on normal residuals.
constexpr double kBiweightLimit = 4.685;
// Rounds of reweighting; the line settles within a few.
constexpr int kBiweightRounds = 10;

// The robust spread of residuals about a line: 1.4826 x their median absolute deviation, at
// least the points' median noise error.
double residualSpread(std::span<const FitPoint> points, double slope, double intercept) {
    std::vector<double> distances;
    std::vector<double> errors;
    for (const FitPoint& p : points) {
        distances.push_back(std::fabs(p.magnitude - (intercept + slope * p.airmass)));
        if (std::isfinite(p.error) && p.error > 0.0) errors.push_back(p.error);
    }
    const double noise = errors.empty() ? 0.0 : medianOf(std::move(errors));
    return std::max(1.4826 * medianOf(std::move(distances)), noise);
}

}  // namespace

BandFit robustLine(std::span<const FitPoint> points) {
    BandFit line = repeatedMedianLine(points);
    double slope = line.slope;
    double intercept = line.intercept;
    for (int round = 0; round < kBiweightRounds; ++round) {
        const double spread = residualSpread(points, slope, intercept);
        if (!(spread > 0.0)) break;
        // Weighted sums of the straight fit, each point weighted by its biweight.
        double sw = 0.0, sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
        for (const FitPoint& p : points) {
            const double u = (p.magnitude - (intercept + slope * p.airmass)) /
                             (kBiweightLimit * spread);
            if (std::fabs(u) >= 1.0) continue;
            const double w = (1.0 - u * u) * (1.0 - u * u);
            sw += w;
            sx += w * p.airmass;
            sy += w * p.magnitude;
            sxx += w * p.airmass * p.airmass;
            sxy += w * p.airmass * p.magnitude;
        }
        const double spreadX = sxx - sx * sx / sw;
        // Too few weighted points at different airmasses: keep the line as it stands.
        if (!(sw > 0.0) || !(spreadX > 1e-12 * sxx)) break;
        slope = (sxy - sx * sy / sw) / spreadX;
        intercept = (sy - slope * sx) / sw;
    }
    line.slope = f32(slope);
    line.intercept = f32(intercept);
    return line;
}

}  // namespace orvel
