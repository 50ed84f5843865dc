#include "analysis/ring_photometry.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <type_traits>
#include <vector>

#include "analysis/order_statistics.h"
#include "analysis/pixel_spike.h"
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

// Calls take(value, d) (or take(value, d, column, row)) for every pixel of the square of
// half-size `half` about the centre that lies inside the image, rows then columns ascending.
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
            if constexpr (std::is_invocable_v<Take, float, float, long long, long long>)
                take(image.at(column, row), distance(column - xc, row - yc), column, row);
            else
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

// Ring k: the pixels whose distance lies strictly within half a pixel of k, into `ring`
// sorted, and their median.
float ringMedian(const PixelImage& image, int xc, int yc, int k, std::vector<float>& ring) {
    ring.clear();
    visitSquare(image, xc, yc, k, [&](float v, float d) {
        if (k - 0.5 < d && d < k + 0.5) ring.push_back(v);
    });
    // The heap sort, because NaN pixels land where its exact comparisons put them.
    SortAscending(ring);
    return MedianOfSorted(ring);
}

// The median of sorted values (no NaN) that are all whole numbers, with each whole number's
// values read as spread evenly over the unit step about it: m - 1/2 + (n/2 - below) / at, for
// the middle value m, `below` values under it and `at` values equal to it. The plain median of
// whole numbers jumps by a whole step from frame to frame as the counts about it shift, and an
// aperture of many pixels multiplies that jump into its signal. Values that are not all whole
// numbers give the plain median; an empty list gives 0.
double steppedMedian(std::span<const float> sorted) {
    if (sorted.empty()) return 0.0;
    for (const float v : sorted)
        if (v != std::floor(v) || !std::isfinite(v)) return MedianOfSorted(sorted);
    const std::size_t n = sorted.size();
    const float m = sorted[(n - 1) / 2];  // the lower middle value
    const auto [first, last] = std::equal_range(sorted.begin(), sorted.end(), m);
    const double below = static_cast<double>(first - sorted.begin());
    const double at = static_cast<double>(last - first);
    return static_cast<double>(m) - 0.5 + (static_cast<double>(n) / 2.0 - below) / at;
}

// Grows rings until their medians stop changing, or up to the last allowed; records each ring
// examined and returns the inner ring radius.
int growRings(const PixelImage& image, int xc, int yc, int lastRing, std::vector<RingStep>& steps) {
    float oldMedian = 0.0f;
    float oldMedian2 = 0.0f;
    std::vector<float> ring;
    for (int k = 1; k <= kMaxRings; ++k) {
        const float median = ringMedian(image, xc, yc, k, ring);
        steps.push_back({k, static_cast<long long>(ring.size()), median, oldMedian, oldMedian2});
        // Stop when the median differs by less than 1% from both of the two rings before it.
        if (k >= 3 && relativeChange(median, oldMedian) < kMedianChangeLimit &&
            relativeChange(median, oldMedian2) < kMedianChangeLimit) {
            return k;
        }
        if (k == lastRing) return k;
        oldMedian2 = oldMedian;
        oldMedian = median;
    }
    return kMaxRings + 1;
}

// The profile's rings 1..floor(radius) (at least ring 1) about a fixed aperture, each with
// the medians of the two rings before it, as the growth records them.
void profileRings(const PixelImage& image, int xc, int yc, double radius,
                  std::vector<RingStep>& steps) {
    const int last = std::max(1, static_cast<int>(std::floor(radius)));
    float oldMedian = 0.0f;
    float oldMedian2 = 0.0f;
    std::vector<float> ring;
    for (int k = 1; k <= last; ++k) {
        const float median = ringMedian(image, xc, yc, k, ring);
        steps.push_back({k, static_cast<long long>(ring.size()), median, oldMedian, oldMedian2});
        oldMedian2 = oldMedian;
        oldMedian = median;
    }
}

// Whether a pixel lies within one of the masks: another star's light.
bool masked(const std::vector<SkyMask>& masks, long long column, long long row) {
    for (const SkyMask& m : masks) {
        const double dx = static_cast<double>(column) - m.column;
        const double dy = static_cast<double>(row) - m.row;
        if (dx * dx + dy * dy <= m.radius * m.radius) return true;
    }
    return false;
}

// The value measured for a pixel: its neighbours' median when it is a spike replaced. The
// spikes are held rows then columns ascending, so a frame full of them is searched quickly.
float measuredValue(const std::vector<ReplacedPixel>& replaced, float v, long long column,
                    long long row) {
    const auto at = std::lower_bound(replaced.begin(), replaced.end(), std::pair(row, column),
                                     [](const ReplacedPixel& p, std::pair<long long, long long> k) {
                                         return std::pair(p.row, p.column) < k;
                                     });
    return at != replaced.end() && at->row == row && at->column == column ? at->replacement : v;
}

// Whether a pixel at distance d (and its place) belongs to the sky annulus.
bool inAnnulus(const ApertureGeometry& g, float d, long long column, long long row) {
    return g.annulusInner < d && d <= g.annulusOuter && !masked(g.masks, column, row);
}

// Sky level and noise: median and robust spread of the pixels strictly outside the annulus's
// inner radius, up to its outer one, spikes replaced.
void measureSky(const PixelImage& image, int xc, int yc, const ApertureGeometry& g,
                RingPhotometry& r) {
    std::vector<float> annulus;
    visitSquare(image, xc, yc, static_cast<int>(std::floor(g.annulusOuter)),
                [&](float v, float d, long long column, long long row) {
                    if (inAnnulus(g, d, column, row))
                        annulus.push_back(measuredValue(r.replaced, v, column, row));
                });
    // NaN pixels tell nothing of the sky: left out, and counted for the frame's note.
    r.annulusNaN = static_cast<int>(std::erase_if(annulus, [](float v) { return std::isnan(v); }));
    r.annulusCount = static_cast<int>(annulus.size());
    SortAscending(annulus);
    r.skyLevel = r.fixedAperture ? f32(steppedMedian(annulus)) : MedianOfSorted(annulus);
    r.skyNoise = robustSpread(annulus, r.skyLevel);
}

// The spikes of the aperture and annulus, judged against the sky read with them. The square
// visited reaches one pixel further, so that every spike's neighbours are held.
void findSpikes(const PixelImage& image, int xc, int yc, const ApertureGeometry& g,
                RingPhotometry& r) {
    const SkyReference sky{r.skyLevel, r.skyNoise};
    const double summed = std::max<double>(g.radius, r.lightRadius);
    const int half = static_cast<int>(std::floor(std::max(summed, g.annulusOuter))) + 1;
    visitSquare(image, xc, yc, half, [&](float v, float d, long long column, long long row) {
        if (!(d <= summed || inAnnulus(g, d, column, row))) return;
        if (!isSpike(image, column, row, sky)) return;
        if (const std::optional<float> m = neighbourMedian(image, column, row))
            r.replaced.push_back({column, row, v, *m});
    });
}

// The sum of every pixel within `radius` of the centre minus the sky level, spikes measured as
// their neighbours' median, rounded to 32 bits per pixel; counts the pixels into
// r.aperturePixels and shows each value to `see`. NaN pixels are left out of the sum and the
// count and counted into r.apertureNaN.
template <typename See>
float sumOverRadius(const PixelImage& image, int xc, int yc, double radius, RingPhotometry& r,
                    See see) {
    float integrated = 0.0f;
    r.apertureNaN = 0;
    visitSquare(image, xc, yc, static_cast<int>(std::floor(radius)),
                [&](float read, float d, long long column, long long row) {
                    if (d > radius) return;
                    const float v = measuredValue(r.replaced, read, column, row);
                    // A NaN pixel would make the whole signal NaN.
                    if (std::isnan(v)) {
                        ++r.apertureNaN;
                        return;
                    }
                    integrated = f32((static_cast<double>(v) + integrated) - r.skyLevel);
                    ++r.aperturePixels;
                    see(v);
                });
    return integrated;
}

// The frame's curve of growth read out to its corrected radius, and the aperture's signal
// corrected to the light there: by the night's correction for the frame's FWHM (the aperture's
// noise), or without one by that light itself (the noise of the wider sum).
void correctSignal(const PixelImage& image, int xc, int yc, const ApertureGeometry& g,
                   RingPhotometry& r) {
    const long long aperturePixels = r.aperturePixels;
    r.apertureDC = r.integratedDC;
    r.aperturePixels = 0;
    const int apertureNaN = r.apertureNaN;
    r.lightDC = sumOverRadius(image, xc, yc, r.lightRadius, r, [](float) {});
    r.apertureNaN = apertureNaN;
    r.lightPixels = r.aperturePixels;
    if (g.growth) {
        r.correction = growthFactor(*g.growth, r.fwhm);
        r.integratedDC = f32(static_cast<double>(r.apertureDC) * r.correction);
        r.aperturePixels = aperturePixels;
    } else {
        r.correction = static_cast<double>(r.lightDC) / r.apertureDC;
        r.integratedDC = r.lightDC;
    }
}

// The sky level from the annulus and the integrated signal over the aperture, single-pixel
// spikes measured as their neighbours' median.
void measureAperture(const PixelImage& image, int xc, int yc, const ApertureGeometry& g,
                     RingPhotometry& r) {
    r.annulusInner = f32(g.annulusInner);
    r.annulusOuter = f32(g.annulusOuter);
    measureSky(image, xc, yc, g, r);
    // A cosmic ray or hot pixel is no light of the star or the sky: the sky is read again
    // without the spikes it held.
    findSpikes(image, xc, yc, g, r);
    if (!r.replaced.empty()) measureSky(image, xc, yc, g, r);

    // Integrated signal: every aperture pixel minus the sky, rounded to 32 bits per pixel.
    r.integratedDC = sumOverRadius(image, xc, yc, g.radius, r, [&](float v) {
        // The brightest aperture pixels show a saturated star.
        if (v > r.peak) {
            r.peak = v;
            r.peakCount = 0;
        }
        if (v == r.peak) ++r.peakCount;
    });
    if (r.lightRadius > 0.0f) correctSignal(image, xc, yc, g, r);
    const float integrated = r.integratedDC;
    // The magnitude value is the natural logarithm; no positive finite signal gives 0.
    r.magnitude = std::isfinite(integrated) ? safeLog(integrated) : 0.0;
}

}  // namespace

int ringReach() {
    const double largest = kMaxRings + 1;
    return toInt(std::sqrt(2.0 * largest * largest)) + 1;
}

std::optional<RingPhotometry> measureRings(const PixelImage& image, int centreColumn, int centreRow,
                                           const RingLimit& limit) {
    try {
        RingPhotometry r;
        const int k = growRings(image, centreColumn, centreRow, limit.lastRing, r.rings);
        r.innerRadius = static_cast<float>(k);
        // The sky annulus reaches out to sqrt(2) times the aperture: equal areas inside and out.
        r.outerRadius = f32(std::sqrt(2.0 * r.innerRadius * r.innerRadius));
        r.outerLimit = toInt(r.outerRadius);
        ApertureGeometry grown;
        grown.radius = grown.annulusInner = static_cast<double>(k);
        grown.annulusOuter = static_cast<double>(r.outerLimit);
        grown.masks = limit.masks;
        measureAperture(image, centreColumn, centreRow, grown, r);
        return r;
    } catch (const RowsNotHeld&) {
        return std::nullopt;
    }
}

std::optional<RingPhotometry> measureFixedAperture(const PixelImage& image, int centreColumn,
                                                   int centreRow, const ApertureGeometry& g,
                                                   double fwhm) {
    try {
        RingPhotometry r;
        r.fixedAperture = true;
        r.lightRadius = f32(correctedLightRadius(g, fwhm));
        r.fwhm = fwhm;
        profileRings(image, centreColumn, centreRow, g.radius, r.rings);
        r.innerRadius = f32(g.radius);
        r.outerRadius = f32(g.annulusOuter);
        r.outerLimit = toInt(g.annulusOuter);
        measureAperture(image, centreColumn, centreRow, g, r);
        return r;
    } catch (const RowsNotHeld&) {
        return std::nullopt;
    }
}

double growthFactor(const GrowthCorrection& c, double fwhm) {
    // A width outside the frames fitted is taken at the nearer end.
    const double w = std::isnan(fwhm) ? c.meanFwhm : std::clamp(fwhm, c.narrowest, c.widest);
    const double x = w - c.meanFwhm;
    return std::exp(c.c0 + x * (c.c1 + x * c.c2));
}

double correctedLightRadius(const ApertureGeometry& g, double fwhm) {
    if (!(g.lightPerFwhm > 0.0)) return 0.0;
    // fmin passes over a NaN width: the widest star's radius then. Never inside the aperture:
    // a faint star's width fitted too narrow must not cut its light.
    return std::max(g.radius, g.lightPerFwhm * std::fmin(fwhm, g.widestFwhm));
}

int apertureReach(const ApertureGeometry& g) {
    const double reach = std::max({g.radius, g.annulusOuter, g.lightPerFwhm * g.widestFwhm, 1.0});
    return static_cast<int>(std::floor(std::fmin(reach, 1e6))) + 1;
}

}  // namespace orvel
