#include "analysis/nearby_stars.h"

#include <algorithm>
#include <cmath>

#include "analysis/order_statistics.h"

namespace orvel {

namespace {

// Whether the pixel lies in the image and is held.
bool held(const PixelImage& image, long long column, long long row) {
    return image.contains(column, row) && image.holdsRow(row) && image.holdsColumn(column);
}

// The square of 3 x 3 means about the centre, half-size `half` (NaN where any of the nine
// pixels is NaN or outside the image), row by row.
struct MeanSquare {
    int half = 0;
    std::vector<double> means;
    double at(int dx, int dy) const {
        return means[static_cast<std::size_t>(dy + half) * static_cast<std::size_t>(2 * half + 1) +
                     static_cast<std::size_t>(dx + half)];
    }
};

MeanSquare boxMeans(const PixelImage& image, int xc, int yc, int half) {
    MeanSquare m{half, {}};
    m.means.reserve(static_cast<std::size_t>(2 * half + 1) *
                    static_cast<std::size_t>(2 * half + 1));
    for (long long y = static_cast<long long>(yc) - half; y <= yc + half; ++y) {
        for (long long x = static_cast<long long>(xc) - half; x <= xc + half; ++x) {
            double sum = 0.0;
            for (long long v = y - 1; v <= y + 1; ++v)
                for (long long u = x - 1; u <= x + 1; ++u)
                    sum += held(image, u, v) ? image.at(u, v) : std::nan("");
            m.means.push_back(sum / 9.0);
        }
    }
    return m;
}

// The sky and one pixel's noise within reach: median and scaled median absolute deviation.
std::pair<double, double> skyAndNoise(const PixelImage& image, int xc, int yc, int half) {
    std::vector<float> values;
    for (long long y = static_cast<long long>(yc) - half; y <= yc + half; ++y)
        for (long long x = static_cast<long long>(xc) - half; x <= xc + half; ++x)
            if (held(image, x, y) && !std::isnan(image.at(x, y))) values.push_back(image.at(x, y));
    if (values.empty()) return {std::nan(""), std::nan("")};
    const double sky = selectMedian(values);
    for (float& v : values) v = static_cast<float>(std::fabs(v - sky));
    return {sky, 1.4826 * selectMedian(values)};
}

// The star's own light at each whole distance from it, out to `half` pixels: the median of the
// pixels whose distance rounds to it (NaN where none is), so that a bump of noise on the wide
// wing of a bright star is not taken for another star.
std::vector<double> wingLevels(const PixelImage& image, int xc, int yc, int half) {
    const int bins = static_cast<int>(std::ceil(std::sqrt(2.0) * half)) + 2;
    std::vector<std::vector<float>> rings(static_cast<std::size_t>(bins));
    for (long long y = static_cast<long long>(yc) - half; y <= yc + half; ++y)
        for (long long x = static_cast<long long>(xc) - half; x <= xc + half; ++x)
            if (held(image, x, y) && !std::isnan(image.at(x, y)))
                rings[static_cast<std::size_t>(std::lround(std::hypot(x - xc, y - yc)))].push_back(
                    image.at(x, y));
    std::vector<double> levels;
    for (std::vector<float>& ring : rings)
        levels.push_back(ring.empty() ? std::nan("") : selectMedian(ring));
    return levels;
}

// Whether the mean at (dx, dy) is a peak: above the eight about it (ties go to the first met).
bool isPeak(const MeanSquare& m, int dx, int dy) {
    const double v = m.at(dx, dy);
    for (int v2 = -1; v2 <= 1; ++v2)
        for (int u2 = -1; u2 <= 1; ++u2) {
            if (u2 == 0 && v2 == 0) continue;
            const double w = m.at(dx + u2, dy + v2);
            const bool before = v2 < 0 || (v2 == 0 && u2 < 0);
            if (before ? !(v > w) : !(v >= w)) return false;
        }
    return true;
}

}  // namespace

std::vector<NearbyStar> findNearbyStars(const PixelImage& image, int xc, int yc, double fwhm,
                                        double reach) {
    std::vector<NearbyStar> found;
    if (!(reach > 0.0) || !(fwhm > 0.0)) return found;
    const int half = static_cast<int>(std::ceil(std::fmin(reach, 1000.0)));
    const auto [sky, noise] = skyAndNoise(image, xc, yc, half);
    // A 3 x 3 mean has a third of one pixel's noise; without noise any light above the sky is
    // a star's.
    const double threshold = kNearbyStarSigmas * noise / 3.0;
    if (std::isnan(threshold)) return found;
    const MeanSquare m = boxMeans(image, xc, yc, half + 1);
    const std::vector<double> wing = wingLevels(image, xc, yc, half);
    for (int dy = -half; dy <= half; ++dy)
        for (int dx = -half; dx <= half; ++dx) {
            const double d = std::hypot(dx, dy);
            if (d > reach || d <= kNearbyStarClearance * fwhm) continue;
            const double height = m.at(dx, dy) - sky;
            // It must stand as high above the star's wing there as above the sky (fmax passes
            // over a NaN level).
            const double above =
                m.at(dx, dy) - std::fmax(sky, wing[static_cast<std::size_t>(std::lround(d))]);
            if (!(above > threshold) || !isPeak(m, dx, dy)) continue;
            found.push_back({xc + dx, yc + dy, d, height});
        }
    std::sort(found.begin(), found.end(),
              [](const NearbyStar& a, const NearbyStar& b) { return a.distance < b.distance; });
    return found;
}

}  // namespace orvel
