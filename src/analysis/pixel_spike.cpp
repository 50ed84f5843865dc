#include "analysis/pixel_spike.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "analysis/order_statistics.h"
#include "base/numeric.h"

namespace orvel {

namespace {

// The neighbours to look at: those inside the image and held, NaN left out. Their count.
std::size_t gatherNeighbours(const PixelImage& image, long long column, long long row,
                             std::array<float, 8>& out) {
    std::size_t n = 0;
    for (long long r = row - 1; r <= row + 1; ++r) {
        for (long long c = column - 1; c <= column + 1; ++c) {
            if ((r == row && c == column) || !image.contains(c, r)) continue;
            if (!image.holdsRow(r) || !image.holdsColumn(c)) continue;
            const float v = image.at(c, r);
            if (!std::isnan(v)) out[n++] = v;
        }
    }
    return n;
}

}  // namespace

std::optional<float> neighbourMedian(const PixelImage& image, long long column, long long row) {
    std::array<float, 8> values{};
    const std::size_t n = gatherNeighbours(image, column, row, values);
    // A pixel in a corner of the image still has 3 neighbours; fewer tell nothing.
    if (n < 3) return std::nullopt;
    return selectMedian(std::span<float>(values.data(), n));
}

bool isSpike(const PixelImage& image, long long column, long long row, const SkyReference& sky) {
    const double v = image.at(column, row);
    // Without a noise to measure against, a bright pixel may as well be a star.
    if (!std::isfinite(v) || !(sky.noise > 0.0) || !std::isfinite(sky.noise)) return false;
    std::array<float, 8> values{};
    const std::size_t n = gatherNeighbours(image, column, row, values);
    if (n < 3) return false;
    // A star's peak shares its light with its brightest neighbour, whatever its sampling (a
    // star centred on a pixel corner has three neighbours almost as bright as its peak); a
    // spike's brightest neighbour holds almost none of it.
    const double brightest = *std::max_element(values.begin(), values.begin() + n);
    if (!(brightest - sky.level < kSpikeNeighbourShare * (v - sky.level))) return false;
    const double m = selectMedian(std::span<float>(values.data(), n));
    // The neighbours' own spread: a pixel on a steep wing of a star stands out less than one on
    // flat sky.
    std::array<float, 8> deviations{};
    for (std::size_t i = 0; i < n; ++i) deviations[i] = f32(std::fabs(values[i] - m));
    const double spread = 1.4826 * selectMedian(std::span<float>(deviations.data(), n));
    // Far above its neighbours, beyond what the noise can give.
    return v - m > kSpikeNoiseLevels * (sky.noise + spread);
}

std::vector<SensorPixel> hotPixelCandidates(const PixelImage& image, const PixelRegion& area,
                                            const SkyReference& sky) {
    std::vector<SensorPixel> found;
    if (!(sky.noise > 0.0) || !std::isfinite(sky.noise)) return found;
    for (long long r = area.firstRow; r <= area.lastRow; ++r)
        for (long long c = area.firstColumn; c <= area.lastColumn; ++c) {
            if (!image.contains(c, r) || !image.holdsRow(r) || !image.holdsColumn(c)) continue;
            const double v = image.at(c, r);
            // Cheap first: far above the sky at all.
            if (!(v - sky.level > kSpikeNoiseLevels * sky.noise)) continue;
            const std::optional<float> m = neighbourMedian(image, c, r);
            if (!m || !(v - sky.level > kHotPixelMedianRatio * std::max(*m - sky.level, 0.0)))
                continue;
            if (v - *m > kSpikeNoiseLevels * sky.noise) found.push_back({c, r});
        }
    return found;
}

void replaceHotPixels(PixelImage& image, const std::vector<SensorPixel>& hot) {
    std::vector<std::pair<SensorPixel, float>> values;
    for (const SensorPixel& p : hot) {
        if (!image.contains(p.column, p.row) || !image.holdsRow(p.row) ||
            !image.holdsColumn(p.column))
            continue;
        // The median of the neighbours that are not hot pixels themselves.
        std::array<float, 8> around{};
        std::size_t n = 0;
        for (long long r = p.row - 1; r <= p.row + 1; ++r)
            for (long long c = p.column - 1; c <= p.column + 1; ++c) {
                if ((r == p.row && c == p.column) || !image.contains(c, r) || !image.holdsRow(r) ||
                    !image.holdsColumn(c) ||
                    std::find(hot.begin(), hot.end(), SensorPixel{c, r}) != hot.end())
                    continue;
                if (!std::isnan(image.at(c, r))) around[n++] = image.at(c, r);
            }
        if (n > 0) values.emplace_back(p, selectMedian(std::span<float>(around.data(), n)));
    }
    for (const auto& [p, v] : values) image.at(p.column, p.row) = v;
}

}  // namespace orvel
