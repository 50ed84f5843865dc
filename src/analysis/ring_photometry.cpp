#include "analysis/ring_photometry.h"

#include <cmath>
#include <span>
#include <vector>

#include "analysis/order_statistics.h"
#include "base/numeric.h"

namespace orvel {

namespace {

// Below this relative change between ring medians the star has merged into the sky.
constexpr float kMedianChangeLimit = 0.01f;

// Distance of a pixel from the centre, stored as a 32-bit float: every membership test
// compares this value.
float distance(long long dColumn, long long dRow) {
    return f32(std::sqrt(static_cast<double>(dRow * dRow + dColumn * dColumn)));
}

// A square reached pixels of the image that a window of rows and columns does not hold.
struct RowsNotHeld {};

// Calls take(value, d) for every pixel of the square of half-size `half` about the centre
// that lies inside the image, rows then columns ascending.
template <typename Take>
void visitSquare(const PixelImage& image, int xc, int yc, int half, Take take) {
    for (long long row = static_cast<long long>(yc) - half;
         row <= static_cast<long long>(yc) + half; ++row) {
        if (row < 0 || row >= image.rows) continue;
        if (!image.holdsRow(row)) throw RowsNotHeld{};
        for (long long column = static_cast<long long>(xc) - half;
             column <= static_cast<long long>(xc) + half; ++column) {
            // Pixels outside the image are left out.
            if (column < 0 || column >= image.columns) continue;
            if (!image.holdsColumn(column)) throw RowsNotHeld{};
            take(image.at(column, row), distance(column - xc, row - yc));
        }
    }
}

// Relative change of a median from an earlier one, divided by the earlier one with its sign.
float relativeChange(float median, float earlier) {
    return f32(std::fabs(static_cast<double>(median) - earlier) / earlier);
}

// 1.4826 x the median absolute deviation about the level: the standard deviation of a normal
// sample that a star's wing or a cosmic ray in the annulus barely moves. NaN when no value is.
double robustSpread(std::span<const float> values, float level) {
    std::vector<float> deviations;
    deviations.reserve(values.size());
    for (const float v : values)
        if (!std::isnan(v)) deviations.push_back(f32(std::fabs(static_cast<double>(v) - level)));
    if (deviations.empty()) return std::nan("");
    return 1.4826 * selectMedian(deviations);
}

// Grows rings until their medians stop changing; records each ring examined and returns the
// inner ring radius.
int growRings(const PixelImage& image, int xc, int yc, std::vector<RingStep>& steps) {
    float oldMedian = 0.0f;
    float oldMedian2 = 0.0f;
    std::vector<float> ring;
    for (int k = 1; k <= kMaxRings; ++k) {
        // Ring k: pixels whose distance lies strictly within half a pixel of k.
        ring.clear();
        visitSquare(image, xc, yc, k, [&](float v, float d) {
            if (k - 0.5 < d && d < k + 0.5) ring.push_back(v);
        });
        // The heap sort, because NaN pixels land where its exact comparisons put them.
        SortAscending(ring);
        const float median = MedianOfSorted(ring);
        steps.push_back({k, static_cast<long long>(ring.size()), median, oldMedian, oldMedian2});
        // Stop when the median differs by less than 1% from both of the two rings before it.
        if (k >= 3 && relativeChange(median, oldMedian) < kMedianChangeLimit &&
            relativeChange(median, oldMedian2) < kMedianChangeLimit) {
            return k;
        }
        oldMedian2 = oldMedian;
        oldMedian = median;
    }
    return kMaxRings + 1;
}

// Everything after the growth: radii, sky level from the annulus, integrated signal.
void measureAperture(const PixelImage& image, int xc, int yc, RingPhotometry& r) {
    const int k = r.innerRadius;
    // The sky annulus reaches out to sqrt(2) times the aperture: equal areas inside and out.
    const float rin = static_cast<float>(k);
    r.outerRadius = f32(std::sqrt(2.0 * rin * rin));
    r.outerLimit = toInt(r.outerRadius);

    // Sky level: median of the pixels strictly outside the aperture, up to Ro.
    std::vector<float> annulus;
    const double inner = k;
    const double outer = r.outerLimit;
    visitSquare(image, xc, yc, r.outerLimit, [&](float v, float d) {
        if (inner < d && d <= outer) annulus.push_back(v);
    });
    r.annulusCount = static_cast<int>(annulus.size());
    SortAscending(annulus);
    r.skyLevel = MedianOfSorted(annulus);
    r.skyNoise = robustSpread(annulus, r.skyLevel);

    // Integrated signal: every aperture pixel minus the sky, rounded to 32 bits per pixel.
    float integrated = 0.0f;
    visitSquare(image, xc, yc, k, [&](float v, float d) {
        if (d > inner) return;
        integrated = f32((static_cast<double>(v) + integrated) - r.skyLevel);
        ++r.aperturePixels;
        // The brightest aperture pixels show a saturated star.
        if (v > r.peak) {
            r.peak = v;
            r.peakCount = 0;
        }
        if (v == r.peak) ++r.peakCount;
    });
    r.integratedDC = integrated;
    // The magnitude value is the natural logarithm; no positive finite signal gives 0.
    r.magnitude = std::isfinite(integrated) ? safeLog(integrated) : 0.0;
}

}  // namespace

int ringReach() {
    const double largest = kMaxRings + 1;
    return toInt(std::sqrt(2.0 * largest * largest)) + 1;
}

std::optional<RingPhotometry> measureRings(const PixelImage& image, int centreColumn,
                                           int centreRow) {
    try {
        RingPhotometry r;
        r.innerRadius = growRings(image, centreColumn, centreRow, r.rings);
        measureAperture(image, centreColumn, centreRow, r);
        return r;
    } catch (const RowsNotHeld&) {
        return std::nullopt;
    }
}

}  // namespace orvel
