#include "fit/robust_line.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/numeric.h"
#include "fit/fit_errors.h"

namespace orvel {

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

// The robust spread of the points about a line (see robustSpread).
double spreadAbout(std::span<const FitPoint> points, double slope, double intercept) {
    std::vector<double> residuals;
    for (const FitPoint& p : points)
        residuals.push_back(p.magnitude - (intercept + slope * p.airmass));
    return robustSpread(residuals, points);
}

}  // namespace

BandFit robustLine(std::span<const FitPoint> points) {
    BandFit line = repeatedMedianLine(points);
    double slope = line.slope;
    double intercept = line.intercept;
    for (int round = 0; round < kBiweightRounds; ++round) {
        const double spread = spreadAbout(points, slope, intercept);
        if (!(spread > 0.0)) break;
        // Weighted sums of the straight fit, each point weighted by its biweight.
        double sw = 0.0, sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
        for (const FitPoint& p : points) {
            const double u =
                (p.magnitude - (intercept + slope * p.airmass)) / (kBiweightLimit * spread);
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
