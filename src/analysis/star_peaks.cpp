#include "analysis/star_peaks.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <span>

#include "analysis/order_statistics.h"

namespace orvel {

namespace {

// Whether the pixel is higher than every neighbour the image holds.
bool aboveNeighbours(const PixelImage& image, long long column, long long row) {
    const float v = image.at(column, row);
    for (long long r = row - 1; r <= row + 1; ++r)
        for (long long c = column - 1; c <= column + 1; ++c)
            if ((r != row || c != column) && image.contains(c, r) && image.holdsRow(r) &&
                image.holdsColumn(c) && !(image.at(c, r) < v))
                return false;
    return true;
}

// At most this many peaks are joined into stars, the highest: a patch holds a few stars.
constexpr std::size_t kMostPeaks = 64;

// The area's pixels one pixel wider on every side (where the image holds them), spikes replaced
// by the median of their neighbours, NaN where nothing is held: the light a star can give.
class CleanPatch {
  public:
    CleanPatch(const PixelImage& image, const PixelRegion& area, const SkyReference& sky)
        : left_(area.firstColumn - 1),
          top_(area.firstRow - 1),
          width_(area.lastColumn - area.firstColumn + 3),
          height_(area.lastRow - area.firstRow + 3) {
        values_.assign(static_cast<std::size_t>(width_ * height_), std::nanf(""));
        for (long long r = top_; r < top_ + height_; ++r)
            for (long long c = left_; c < left_ + width_; ++c) {
                if (!image.contains(c, r) || !image.holdsRow(r) || !image.holdsColumn(c)) continue;
                float v = image.at(c, r);
                // A spike stands above all of its neighbours: most pixels are passed cheaply.
                if (aboveNeighbours(image, c, r) && isSpike(image, c, r, sky))
                    v = neighbourMedian(image, c, r).value_or(v);
                values_[index(c, r)] = v;
            }
        // Every pixel's 3 x 3 mean once: the peaks and the lines between them read them often.
        means_.assign(values_.size(), std::nan(""));
        for (long long r = top_; r < top_ + height_; ++r)
            for (long long c = left_; c < left_ + width_; ++c) means_[index(c, r)] = sumAbout(c, r);
    }
    // The mean of the 3 x 3 pixels about (column, row) that hold a value; NaN when none does or
    // the pixel lies beyond the patch.
    double mean(long long column, long long row) const {
        if (column < left_ || row < top_ || column >= left_ + width_ || row >= top_ + height_)
            return std::nan("");
        return means_[index(column, row)];
    }

    // The place of a star's top to a fraction of a pixel: along each axis the parabola through
    // the logarithms of the light above the sky at the top pixel and its two neighbours (exact
    // for a Gaussian star); the pixel itself where that light is not there.
    std::pair<double, double> place(long long column, long long row, double sky) const {
        const auto offset = [&](long long dc, long long dr) {
            double ln[3];
            for (int i = -1; i <= 1; ++i) {
                const long long c = column + i * dc, r = row + i * dr;
                if (c < left_ || r < top_ || c >= left_ + width_ || r >= top_ + height_) return 0.0;
                const double w = static_cast<double>(values_[index(c, r)]) - sky;
                if (!(w > 0.0)) return 0.0;
                ln[i + 1] = std::log(w);
            }
            const double curve = ln[0] - 2.0 * ln[1] + ln[2];
            // Only a top (curving down) has a place; within half a pixel of its pixel.
            return curve < 0.0 ? std::clamp(0.5 * (ln[0] - ln[2]) / curve, -0.5, 0.5) : 0.0;
        };
        return {static_cast<double>(column) + offset(1, 0),
                static_cast<double>(row) + offset(0, 1)};
    }

  private:
    double sumAbout(long long column, long long row) const {
        double sum = 0.0;
        int n = 0;
        for (long long r = row - 1; r <= row + 1; ++r)
            for (long long c = column - 1; c <= column + 1; ++c) {
                if (c < left_ || r < top_ || c >= left_ + width_ || r >= top_ + height_) continue;
                const float v = values_[index(c, r)];
                if (!std::isnan(v)) sum += v, ++n;
            }
        return n > 0 ? sum / n : std::nan("");
    }
    std::size_t index(long long c, long long r) const {
        return static_cast<std::size_t>((r - top_) * width_ + (c - left_));
    }
    long long left_, top_, width_, height_;
    std::vector<float> values_;
    std::vector<double> means_;
};

struct Peak {
    long long column = 0;
    long long row = 0;
    double height = 0.0;      // 3 x 3 mean above the sky, DC
    bool beyondEdge = false;  // higher light lies just outside the area: a star beyond it
};

// Local maxima of the 3 x 3 means within the area above the threshold; of a flat top the first
// in row order.
std::vector<Peak> findPeaks(const CleanPatch& patch, const PixelRegion& a, double sky,
                            double threshold) {
    std::vector<Peak> peaks;
    for (long long r = a.firstRow; r <= a.lastRow; ++r)
        for (long long c = a.firstColumn; c <= a.lastColumn; ++c) {
            const double m = patch.mean(c, r);
            if (!(m - sky > threshold)) continue;
            bool top = true, beyond = false;
            for (long long dr = -1; dr <= 1 && top; ++dr)
                for (long long dc = -1; dc <= 1 && top; ++dc) {
                    if (dr == 0 && dc == 0) continue;
                    const double n = patch.mean(c + dc, r + dr);
                    // A star beyond the area's edge peaks at the edge: its light there is no
                    // part of a star inside, but it is no star of the area either.
                    if (c + dc < a.firstColumn || c + dc > a.lastColumn || r + dr < a.firstRow ||
                        r + dr > a.lastRow) {
                        beyond = beyond || n > m;
                        continue;
                    }
                    const bool before = dr < 0 || (dr == 0 && dc < 0);
                    top = std::isnan(n) || (before ? m > n : m >= n);
                }
            if (top) peaks.push_back({c, r, m - sky, beyond});
        }
    std::sort(peaks.begin(), peaks.end(),
              [](const Peak& x, const Peak& y) { return x.height > y.height; });
    if (peaks.size() > kMostPeaks) peaks.resize(kMostPeaks);
    return peaks;
}

// Whether the light on the line between two peaks stays above the share of the lower one.
bool joined(const CleanPatch& patch, const Peak& p, const Peak& q, double sky) {
    const double floor = kPeakSaddleShare * std::min(p.height, q.height);
    const double length =
        std::hypot(static_cast<double>(q.column - p.column), static_cast<double>(q.row - p.row));
    const int steps = static_cast<int>(std::ceil(2.0 * length));
    for (int i = 1; i < steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        const auto c = std::llround(static_cast<double>(p.column) +
                                    t * static_cast<double>(q.column - p.column));
        const auto r =
            std::llround(static_cast<double>(p.row) + t * static_cast<double>(q.row - p.row));
        if (!(patch.mean(c, r) - sky >= floor)) return false;
    }
    return true;
}

std::size_t rootOf(std::vector<std::size_t>& parent, std::size_t i) {
    while (parent[i] != i) i = parent[i] = parent[parent[i]];
    return i;
}

}  // namespace

std::vector<PatchStar> findPatchStars(const PixelImage& image, const PixelRegion& area,
                                      const SkyReference& sky) {
    if (area.firstColumn > area.lastColumn || area.firstRow > area.lastRow) return {};
    const CleanPatch patch(image, area, sky);
    // Without a noise any light above the sky is a star's.
    const double noise = std::isfinite(sky.noise) ? std::max(sky.noise, 0.0) : 0.0;
    const std::vector<Peak> peaks =
        findPeaks(patch, area, sky.level, kPeakNoiseLevels * noise / 3.0);
    // Peaks with high light between them are one star (the ring of a defocused star).
    std::vector<std::size_t> parent(peaks.size());
    std::iota(parent.begin(), parent.end(), std::size_t{0});
    for (std::size_t i = 0; i < peaks.size(); ++i)
        for (std::size_t j = i + 1; j < peaks.size(); ++j)
            if (rootOf(parent, i) != rootOf(parent, j) &&
                joined(patch, peaks[i], peaks[j], sky.level))
                parent[rootOf(parent, j)] = rootOf(parent, i);
    // Peaks come highest first, so each star's first peak is its top.
    std::vector<PatchStar> stars;
    std::vector<int> starOf(peaks.size(), -1);
    for (std::size_t i = 0; i < peaks.size(); ++i) {
        const std::size_t root = rootOf(parent, i);
        if (starOf[root] < 0) {
            starOf[root] = static_cast<int>(stars.size());
            const auto [c, r] = patch.place(peaks[i].column, peaks[i].row, sky.level);
            stars.push_back({c, r, peaks[i].height, peaks[i].beyondEdge, {}});
        }
        stars[static_cast<std::size_t>(starOf[root])].peaks.emplace_back(peaks[i].column,
                                                                         peaks[i].row);
    }
    return stars;
}

SkyReference areaSky(const PixelImage& image, const PixelRegion& a) {
    std::vector<float> values;
    for (long long r = a.firstRow; r <= a.lastRow; ++r)
        for (long long c = a.firstColumn; c <= a.lastColumn; ++c)
            if (image.contains(c, r) && image.holdsRow(r) && image.holdsColumn(c) &&
                std::isfinite(image.at(c, r)))
                values.push_back(image.at(c, r));
    if (values.empty()) return {std::nan(""), std::nan("")};
    const float median = selectMedian(values);
    for (float& v : values) v = std::fabs(v - median);
    return {median, 1.4826 * selectMedian(values)};
}

std::vector<PatchStar> brightPatchStars(std::vector<PatchStar> stars, double share) {
    if (stars.empty()) return stars;
    const double highest = stars.front().height;
    std::erase_if(stars, [&](const PatchStar& s) { return s.height < share * highest; });
    return stars;
}

namespace {

// The distance squared from (column, row) to the star's nearest peak.
double nearestPeak(const PatchStar& star, double column, double row) {
    double best = INFINITY;
    for (const auto& [c, r] : star.peaks) {
        const double dc = static_cast<double>(c) - column, dr = static_cast<double>(r) - row;
        best = std::min(best, dc * dc + dr * dr);
    }
    return best;
}

}  // namespace

int nearestPatchStar(const std::vector<PatchStar>& stars, double column, double row) {
    int chosen = -1;
    double best = INFINITY;
    // Stars come highest first: of two as near, the first found is the higher.
    for (std::size_t i = 0; i < stars.size(); ++i) {
        if (stars[i].beyondEdge) continue;
        const double d = nearestPeak(stars[i], column, row);
        if (d < best) best = d, chosen = static_cast<int>(i);
    }
    return chosen;
}

bool nearestToStar(const std::vector<PatchStar>& stars, int chosen, long long column,
                   long long row) {
    const auto c = static_cast<double>(column), r = static_cast<double>(row);
    const double own = nearestPeak(stars[static_cast<std::size_t>(chosen)], c, r);
    for (std::size_t i = 0; i < stars.size(); ++i)
        if (static_cast<int>(i) != chosen && nearestPeak(stars[i], c, r) < own) return false;
    return true;
}

}  // namespace orvel
