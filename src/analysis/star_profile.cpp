#include "analysis/star_profile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "analysis/order_statistics.h"

namespace orvel {

namespace {

// FWHM = 2 sqrt(2 ln 2) sigma for a Gaussian.
constexpr double kFwhmPerSigma = 2.3548200450309493;
// The fit's radius in units of the width: about 3.5 sigma, where the profile has fallen to a
// five-hundredth of its peak, so the sky beside the star is fitted too.
constexpr double kFitRadiusPerFwhm = 1.5;
// The smallest fit radius, pixels: enough pixels for five parameters even for a sharp star.
constexpr double kMinFitRadius = 3.0;
// Steps of the fit at most; it settles in a few tens for any star worth measuring.
constexpr int kMaxSteps = 100;

// Parameters of the model: sky, height, centre offset (column, row) from the ring centre, sigma.
using Parameters = std::array<double, 5>;

// A pixel of the fit: offset from the ring centre (pixels) and value (DC).
struct Sample {
    double dx;
    double dy;
    double value;
};

// A square reached rows of the image that a window of rows does not hold.
struct RowsNotHeld {};

// The pixels within `radius` of the centre inside the image, NaN left out.
std::vector<Sample> samplesWithin(const PixelImage& image, int xc, int yc, double radius) {
    const int half = static_cast<int>(std::ceil(radius));
    std::vector<Sample> out;
    for (long long row = static_cast<long long>(yc) - half; row <= yc + half; ++row) {
        if (row < 0 || row >= image.rows) continue;
        if (!image.holdsRow(row)) throw RowsNotHeld{};
        for (long long column = static_cast<long long>(xc) - half; column <= xc + half; ++column) {
            const double dx = static_cast<double>(column - xc), dy = static_cast<double>(row - yc);
            if (column < 0 || column >= image.columns || dx * dx + dy * dy > radius * radius)
                continue;
            if (!image.holdsColumn(column)) throw RowsNotHeld{};
            const float v = image.at(column, row);
            if (!std::isnan(v)) out.push_back({dx, dy, v});
        }
    }
    return out;
}

// Median of ring k above the sky (pixels strictly within half a pixel of radius k); NaN when
// the ring holds no pixel.
double ringLevel(const PixelImage& image, int xc, int yc, int k, float sky) {
    std::vector<float> ring;
    for (const Sample& s : samplesWithin(image, xc, yc, k + 0.5)) {
        const double d = std::sqrt(s.dx * s.dx + s.dy * s.dy);
        if (k - 0.5 < d && d < k + 0.5) ring.push_back(static_cast<float>(s.value));
    }
    if (ring.empty()) return std::nan("");
    return static_cast<double>(selectMedian(ring)) - sky;
}

// A first width, pixels: twice the radius where the rings' medians fall to half the peak above
// the sky, between the two rings that straddle it. NaN when they never do.
double firstWidth(const PixelImage& image, int xc, int yc, float sky) {
    const double peak = static_cast<double>(image.at(xc, yc)) - sky;
    if (!(peak > 0.0)) return std::nan("");
    double inner = peak;
    for (int k = 1; k <= kMaxProfileReach; ++k) {
        const double level = ringLevel(image, xc, yc, k, sky);
        if (std::isnan(level)) return std::nan("");
        // Linear between ring k - 1 (the peak for k = 1) and ring k.
        if (level < 0.5 * peak) return 2.0 * ((k - 1) + (inner - 0.5 * peak) / (inner - level));
        inner = level;
    }
    return std::nan("");
}

// Sum of squared residuals of the model over the samples.
double residualSum(const std::vector<Sample>& samples, const Parameters& p) {
    double sum = 0.0;
    for (const Sample& s : samples) {
        const double ex = s.dx - p[2], ey = s.dy - p[3];
        const double r =
            s.value - (p[0] + p[1] * std::exp(-(ex * ex + ey * ey) / (2 * p[4] * p[4])));
        sum += r * r;
    }
    return sum;
}

// The normal equations of the model at p: J^T J (into a) and J^T r (into b).
void normalEquations(const std::vector<Sample>& samples, const Parameters& p,
                     std::array<Parameters, 5>& a, Parameters& b) {
    a = {};
    b = {};
    const double s2 = p[4] * p[4];
    for (const Sample& s : samples) {
        const double ex = s.dx - p[2], ey = s.dy - p[3], r2 = ex * ex + ey * ey;
        const double e = std::exp(-r2 / (2 * s2));
        const double residual = s.value - (p[0] + p[1] * e);
        // Derivatives by sky, height, centre column, centre row and sigma.
        const Parameters j = {1.0, e, p[1] * e * ex / s2, p[1] * e * ey / s2,
                              p[1] * e * r2 / (s2 * p[4])};
        for (std::size_t m = 0; m < 5; ++m) {
            b[m] += j[m] * residual;
            for (std::size_t n = 0; n < 5; ++n) a[m][n] += j[m] * j[n];
        }
    }
}

// Solves a x = b by Gaussian elimination with partial pivoting; false when a is singular.
bool solve(std::array<Parameters, 5> a, Parameters b, Parameters& x) {
    for (std::size_t c = 0; c < 5; ++c) {
        std::size_t pivot = c;
        for (std::size_t r = c + 1; r < 5; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
        if (!(std::fabs(a[pivot][c]) > 0.0)) return false;
        std::swap(a[c], a[pivot]);
        std::swap(b[c], b[pivot]);
        for (std::size_t r = c + 1; r < 5; ++r) {
            const double f = a[r][c] / a[c][c];
            for (std::size_t n = c; n < 5; ++n) a[r][n] -= f * a[c][n];
            b[r] -= f * b[c];
        }
    }
    for (std::size_t c = 5; c-- > 0;) {
        double v = b[c];
        for (std::size_t n = c + 1; n < 5; ++n) v -= a[c][n] * x[n];
        x[c] = v / a[c][c];
    }
    return true;
}

// Levenberg-Marquardt least squares from p; false when it does not settle on a finite fit.
bool fitGaussian(const std::vector<Sample>& samples, Parameters& p) {
    double lambda = 1e-3;
    double sum = residualSum(samples, p);
    for (int step = 0; step < kMaxSteps; ++step) {
        std::array<Parameters, 5> a;
        Parameters b;
        normalEquations(samples, p, a, b);
        // The damping scales each parameter's own curvature, so steps stay within reach.
        for (std::size_t m = 0; m < 5; ++m) a[m][m] *= 1.0 + lambda;
        Parameters delta{};
        if (!solve(a, b, delta)) return false;
        Parameters trial = p;
        for (std::size_t m = 0; m < 5; ++m) trial[m] += delta[m];
        const double trialSum = residualSum(samples, trial);
        if (std::isfinite(trialSum) && trialSum <= sum) {
            const bool settled = sum - trialSum <= 1e-10 * sum;
            p = trial;
            sum = trialSum;
            lambda = std::max(lambda / 10.0, 1e-9);
            if (settled) return true;
        } else {
            lambda *= 10.0;
            if (lambda > 1e9) return true;  // no step improves: p is the minimum
        }
    }
    return std::isfinite(sum);
}

// The fit over the pixels within a radius of the given width; false when it fails or lands
// on no star (no positive height, a centre beyond the radius).
bool fitWithin(const PixelImage& image, int xc, int yc, double width, Parameters& p,
               long long& fitted) {
    const double radius =
        std::clamp(kFitRadiusPerFwhm * width, kMinFitRadius, static_cast<double>(kMaxProfileReach));
    const std::vector<Sample> samples = samplesWithin(image, xc, yc, radius);
    fitted = static_cast<long long>(samples.size());
    if (samples.size() < 10 || !fitGaussian(samples, p)) return false;
    p[4] = std::fabs(p[4]);
    return p[1] > 0.0 && p[4] > 0.0 && std::hypot(p[2], p[3]) <= radius;
}

}  // namespace

std::optional<StarProfile> measureStarProfile(const PixelImage& image, int centreColumn,
                                              int centreRow, float sky) {
    try {
        StarProfile out;
        if (!image.contains(centreColumn, centreRow)) return out;
        if (!image.holdsRow(centreRow) || !image.holdsColumn(centreColumn)) return std::nullopt;
        const double width = firstWidth(image, centreColumn, centreRow, sky);
        if (!(width > 0.0)) return out;
        Parameters p = {sky, static_cast<double>(image.at(centreColumn, centreRow)) - sky, 0.0, 0.0,
                        width / kFwhmPerSigma};
        long long fitted = 0;
        if (!fitWithin(image, centreColumn, centreRow, width, p, fitted)) return out;
        // Once more over the radius of the width found, which the first guess only approached.
        if (!fitWithin(image, centreColumn, centreRow, kFwhmPerSigma * p[4], p, fitted)) return out;
        // A pixel-integrated Gaussian has the variance of the star plus a pixel's, 1/12.
        const double variance = p[4] * p[4] - 1.0 / 12.0;
        if (variance > 0.0) out.fwhm = kFwhmPerSigma * std::sqrt(variance);
        out.column = centreColumn + p[2];
        out.row = centreRow + p[3];
        out.amplitude = p[1];
        out.background = p[0];
        out.pixelsFitted = fitted;
        return out;
    } catch (const RowsNotHeld&) {
        return std::nullopt;
    }
}

}  // namespace orvel
