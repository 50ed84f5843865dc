#include "fit/fit_errors.h"

#include <algorithm>
#include <vector>

#include "base/numeric.h"
#include "fit/band_regression.h"

namespace orvel {

namespace {

// The weight of a point: 1 / error^2 for a weighted fit, 1 for a plain one.
double weightOf(const FitPoint& p, bool weighted) {
    return weighted ? 1.0 / (p.error * p.error) : 1.0;
}

// Weighted means of X and Y and the sums of products centred on them.
struct CentredSums {
    double meanX = 0.0, meanY = 0.0;
    double sxx = 0.0, sxy = 0.0, syy = 0.0;
    double weight = 0.0;  // sum of the weights
};

CentredSums centredSums(std::span<const FitPoint> points, bool weighted) {
    CentredSums c;
    for (const FitPoint& p : points) {
        const double w = weightOf(p, weighted);
        c.weight += w;
        c.meanX += w * p.airmass;
        c.meanY += w * p.magnitude;
    }
    c.meanX /= c.weight;
    c.meanY /= c.weight;
    // Centred sums lose less to rounding than raw ones.
    for (const FitPoint& p : points) {
        const double w = weightOf(p, weighted);
        const double dx = p.airmass - c.meanX;
        const double dy = p.magnitude - c.meanY;
        c.sxx += w * dx * dx;
        c.sxy += w * dx * dy;
        c.syy += w * dy * dy;
    }
    return c;
}

double residualOf(const FitPoint& p, const BandFit& fit) {
    return p.magnitude - (static_cast<double>(fit.intercept) +
                          static_cast<double>(fit.slope) * static_cast<double>(p.airmass));
}

}  // namespace

bool hasUsableErrors(std::span<const FitPoint> points) {
    return std::all_of(points.begin(), points.end(),
                       [](const FitPoint& p) { return std::isfinite(p.error) && p.error > 0.0; });
}

BandFit fitBandWeighted(std::span<const FitPoint> points, int fileCount) {
    BandFit fit;
    fit.files = fileCount;
    fit.analysed = static_cast<int>(points.size());
    const CentredSums c = centredSums(points, true);
    const double slope = c.sxy / c.sxx;
    fit.slope = f32(slope);
    fit.intercept = f32(c.meanY - c.meanX * slope);
    fit.r2 = f32(c.sxy * c.sxy / (c.sxx * c.syy));
    return fit;
}

SlopeErrors slopeErrors(std::span<const FitPoint> points, const BandFit& fit, bool weighted) {
    SlopeErrors e;
    const std::size_t n = points.size();
    if (n < 3) return e;
    const double freedom = static_cast<double>(n - 2);
    const CentredSums plain = centredSums(points, false);
    e.residual = slopeStandardError(points, fit);
    if (!hasUsableErrors(points)) return e;
    double chi = 0.0;
    for (const FitPoint& p : points) chi += std::pow(residualOf(p, fit) / p.error, 2);
    e.reducedChiSquare = chi / freedom;
    if (weighted) {
        // Weighted slope: variance 1 / the weighted spread of X; scaled by the scatter actually
        // seen for the residual form.
        const CentredSums w = centredSums(points, true);
        e.propagated = 1.0 / std::sqrt(w.sxx);
        e.residual = e.propagated * std::sqrt(e.reducedChiSquare);
        return e;
    }
    // Plain slope = sum (x - mean) y / Sxx: each point's error enters with its lever arm.
    double variance = 0.0;
    for (const FitPoint& p : points) variance += std::pow((p.airmass - plain.meanX) * p.error, 2);
    e.propagated = std::sqrt(variance) / plain.sxx;
    return e;
}

double robustSpread(std::span<const double> residuals, std::span<const FitPoint> points) {
    const double centre = medianOf({residuals.begin(), residuals.end()});
    std::vector<double> distances;
    for (const double r : residuals) distances.push_back(std::fabs(r - centre));
    std::vector<double> errors;
    for (const FitPoint& p : points)
        if (std::isfinite(p.error) && p.error > 0.0) errors.push_back(p.error);
    // 1.4826 x the median absolute deviation is the standard deviation of a normal sample; never
    // below the typical noise, or a quiet night would lose good frame after good frame as each
    // one left out narrows the spread of the rest.
    return std::max(1.4826 * medianOf(std::move(distances)), medianOf(std::move(errors)));
}

std::optional<Outlier> worstOutlier(std::span<const FitPoint> points, const BandFit& fit,
                                    double limit) {
    if (points.size() < 4) return std::nullopt;
    std::vector<double> residuals;
    for (const FitPoint& p : points) residuals.push_back(residualOf(p, fit));
    const double deviation = robustSpread(residuals, points);
    if (!(deviation > 0.0)) return std::nullopt;
    Outlier worst;
    for (std::size_t i = 0; i < residuals.size(); ++i) {
        const double d = std::fabs(residuals[i]) / deviation;
        if (d > worst.deviations) worst = {i, d};
    }
    if (!(worst.deviations > limit)) return std::nullopt;
    return worst;
}

}  // namespace orvel
