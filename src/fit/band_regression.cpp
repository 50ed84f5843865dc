#include "fit/band_regression.h"

#include <cmath>

#include "base/numeric.h"

namespace orvel {

namespace {

// Adds to a running sum, rounding to 32 bits as every stored sum is.
void accumulate(float& sum, double term) {
    sum = f32(sum + term);
}

// The largest of three signals.
float largest(const std::array<float, 3>& v) {
    float m = v[0];
    for (const float x : v) {
        if (x > m) m = x;
    }
    return m;
}

}  // namespace

BandFit fitBand(std::span<const FitPoint> points, int fileCount) {
    BandFit fit;
    fit.files = fileCount;
    // First pass: raw sums of the included observations.
    float sx = 0.0f, sy = 0.0f, sxx = 0.0f, syy = 0.0f, sxy = 0.0f;
    int n = 0;
    for (const FitPoint& o : points) {
        ++n;
        const double x = o.airmass;
        const double y = o.magnitude;
        accumulate(sx, x);
        accumulate(sy, y);
        accumulate(sxx, x * x);
        accumulate(syy, y * y);
        accumulate(sxy, x * y);
    }
    fit.analysed = n;
    const double count = n;
    const float meanX = f32(sx / count);
    const float meanY = f32(sy / count);
    // Squared correlation from the raw sums: covariance squared over the product of spreads.
    const double covariance = sxy - static_cast<double>(sy) * sx / count;
    const float p = f32(covariance * covariance);
    const float q = f32((syy - static_cast<double>(sy) * sy / count) *
                        (sxx - static_cast<double>(sx) * sx / count));
    fit.r2 = f32(static_cast<double>(p) / q);
    // Second pass: sums centred on the means, which lose less to rounding than raw sums.
    float cxy = 0.0f, cxx = 0.0f;
    for (const FitPoint& o : points) {
        const double dx = static_cast<double>(o.airmass) - meanX;
        const double dy = static_cast<double>(o.magnitude) - meanY;
        accumulate(cxy, dy * dx);
        accumulate(cxx, dx * dx);
    }
    fit.slope = f32(static_cast<double>(cxy) / cxx);
    fit.intercept = f32(meanY - static_cast<double>(meanX) * fit.slope);
    return fit;
}

double slopeStandardError(std::span<const FitPoint> points, const BandFit& fit) {
    const std::size_t n = points.size();
    if (n < 3) return std::nan("");
    double sx = 0.0;
    for (const FitPoint& o : points) sx += o.airmass;
    const double meanX = sx / static_cast<double>(n);
    double residuals = 0.0;
    double spread = 0.0;
    for (const FitPoint& o : points) {
        const double r = o.magnitude - (static_cast<double>(fit.intercept) + fit.slope * o.airmass);
        residuals += r * r;
        spread += (o.airmass - meanX) * (o.airmass - meanX);
    }
    // Two parameters were fitted: n - 2 degrees of freedom remain.
    return std::sqrt(residuals / static_cast<double>(n - 2) / spread);
}

BandSignals deriveSignals(const std::array<BandFit, 3>& fits) {
    BandSignals s;
    for (std::size_t b = 0; b < 3; ++b) {
        // The fitted line at airmass 1 and at airmass 0, turned back from logarithm to ADU.
        s.oneAirmass[b] = f32(safeExp(static_cast<double>(fits[b].intercept) + fits[b].slope));
        s.exoatmospheric[b] = f32(safeExp(fits[b].intercept));
    }
    // Each set of ratios is taken relative to its own brightest band.
    const float m1 = largest(s.oneAirmass);
    const float m0 = largest(s.exoatmospheric);
    for (std::size_t b = 0; b < 3; ++b) {
        s.oneAirmassRatio[b] = f32(static_cast<double>(s.oneAirmass[b]) / m1);
        s.exoatmosphericRatio[b] = f32(static_cast<double>(s.exoatmospheric[b]) / m0);
    }
    return s;
}

}  // namespace orvel
