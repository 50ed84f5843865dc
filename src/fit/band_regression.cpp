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
    // First pass: the sums that give the means.
    float sx = 0.0f, sy = 0.0f;
    int n = 0;
    for (const FitPoint& o : points) {
        ++n;
        accumulate(sx, o.airmass);
        accumulate(sy, o.magnitude);
    }
    fit.analysed = n;
    const double count = n;
    const float meanX = f32(sx / count);
    const float meanY = f32(sy / count);
    // Second pass: sums centred on the means, which lose less to rounding than raw sums.
    float cxy = 0.0f, cxx = 0.0f, cyy = 0.0f;
    for (const FitPoint& o : points) {
        const double dx = static_cast<double>(o.airmass) - meanX;
        const double dy = static_cast<double>(o.magnitude) - meanY;
        accumulate(cxy, dy * dx);
        accumulate(cxx, dx * dx);
        accumulate(cyy, dy * dy);
    }
    fit.slope = f32(static_cast<double>(cxy) / cxx);
    fit.intercept = f32(meanY - static_cast<double>(meanX) * fit.slope);
    // Squared correlation from the centred sums: it stays within 0..1 however many points.
    fit.r2 = f32(static_cast<double>(cxy) * cxy / (static_cast<double>(cxx) * cyy));
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
