#include "analysis/image_statistics.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cmath>
#include <span>
#include <thread>

#include "analysis/order_statistics.h"
#include "run/numeric.h"

namespace orvel {

namespace {

// Low and high display cuts: the 1 and 99.9 percentiles, fractions held as 32-bit floats.
constexpr float kLowCutFraction = 0.01f;
constexpr float kHighCutFraction = 0.999f;

// Running extremes and sums of the included pixels, gathered in one pass.
struct PixelSums {
    std::int64_t count = 0;
    float largest = -64000.0f;
    float smallest = 64000.0f;
    float sum = 0.0f;
    float sumOfSquares = 0.0f;
};

constexpr std::size_t kBuckets = std::size_t{1} << 16;

// Exact zeros (no data) and NaN (undefined) pixels take no part in the statistics.
bool included(float v) { return v != 0.0f && !std::isnan(v); }

// The two rounded running sums: each addition depends on the one before, so this pass is
// bound by the latency of one addition and two roundings per pixel.
void collectRoundedSums(const std::vector<float>& pixels, PixelSums& s) {
    float sum = 0.0f;
    float sumOfSquares = 0.0f;
    for (const float v : pixels) {
        if (!included(v)) continue;
        // Rounded to 32 bits after every addition; a float addition rounds exactly as the
        // double sum of two floats rounded to 32 bits would.
        sum += v;
        sumOfSquares = f32(sumOfSquares + static_cast<double>(v) * v);
    }
    s.sum = sum;
    s.sumOfSquares = sumOfSquares;
}

// Count, extremes, and the included values counted by the upper half of their key.
void collectCounts(const std::vector<float>& pixels, PixelSums& s,
                   std::vector<std::uint32_t>& upper) {
    std::int64_t count = 0;
    float largest = -64000.0f;
    float smallest = 64000.0f;
    for (const float v : pixels) {
        if (!included(v)) continue;
        ++count;
        if (v > largest) largest = v;
        if (v < smallest) smallest = v;
        ++upper[orderKey(v) >> 16];
    }
    s.count = count;
    s.largest = largest;
    s.smallest = smallest;
}

// One pass in two halves run side by side: the rounded sums, and everything else.
PixelSums collectSums(const std::vector<float>& pixels, std::vector<std::uint32_t>& upper) {
    PixelSums s;
    constexpr std::size_t kWorthAThread = std::size_t{1} << 20;
    if (pixels.size() < kWorthAThread) {
        collectRoundedSums(pixels, s);
        collectCounts(pixels, s, upper);
        return s;
    }
    std::jthread sums([&] { collectRoundedSums(pixels, s); });
    collectCounts(pixels, s, upper);
    return s;
}

// The values at the given 0-based ranks of the included pixels in ascending order, found
// without sorting or copying: the upper counts locate each rank's bucket, a second pass counts
// the values of those few buckets by the lower half of their key, which fixes each value
// exactly. The result equals what a full sort would put at those positions.
template <std::size_t N>
std::array<float, N> valuesAtRanks(const std::vector<float>& pixels,
                                   const std::vector<std::uint32_t>& upper,
                                   const std::array<std::size_t, N>& ranks) {
    std::array<std::size_t, N> bucket{};
    std::array<std::size_t, N> within{};
    for (std::size_t r = 0; r < N; ++r) {
        std::size_t before = 0;
        std::size_t b = 0;
        while (before + upper[b] <= ranks[r]) before += upper[b++];
        bucket[r] = b;
        within[r] = ranks[r] - before;
    }
    // Slot of each bucket that holds a wanted rank (0 = none), and its lower-half counts.
    std::vector<std::uint8_t> slotOf(kBuckets, 0);
    std::size_t slots = 0;
    for (std::size_t r = 0; r < N; ++r)
        if (slotOf[bucket[r]] == 0) slotOf[bucket[r]] = static_cast<std::uint8_t>(++slots);
    std::vector<std::uint32_t> lower(slots * kBuckets, 0);
    for (const float v : pixels) {
        if (!included(v)) continue;
        const std::uint32_t key = orderKey(v);
        if (const std::uint8_t slot = slotOf[key >> 16]; slot != 0)
            ++lower[(slot - 1) * kBuckets + (key & 0xffffu)];
    }
    std::array<float, N> found{};
    for (std::size_t r = 0; r < N; ++r) {
        const std::uint32_t* counts = lower.data() + (slotOf[bucket[r]] - 1) * kBuckets;
        std::size_t before = 0;
        std::size_t low = 0;
        while (before + counts[low] <= within[r]) before += counts[low++];
        found[r] = valueOfKey(static_cast<std::uint32_t>(bucket[r] << 16 | low));
    }
    return found;
}

// Median and the two cuts of the included pixels, as sorting them all would give.
OrderStats imageOrderStatistics(const std::vector<float>& pixels,
                                const std::vector<std::uint32_t>& upper, std::size_t n) {
    OrderStats stats;
    if (n == 0) return stats;
    const std::size_t mid = n / 2;
    const std::array<std::size_t, 4> ranks = {percentilePosition(n, kLowCutFraction) - 1,
                                              n % 2 == 0 ? mid - 1 : mid, mid,
                                              percentilePosition(n, kHighCutFraction) - 1};
    const std::array<float, 4> v = valuesAtRanks(pixels, upper, ranks);
    stats.low = v[0];
    stats.median = n % 2 == 1 ? v[2] : f32((static_cast<double>(v[1]) + v[2]) * 0.5);
    stats.high = v[3];
    return stats;
}

}  // namespace

FirstImageStats analyseFirstImage(const PixelImage& image, RunLog& log) {
    FirstImageStats st;
    st.pixelCount = static_cast<std::int64_t>(image.columns) * image.rows;
    std::vector<std::uint32_t> upper(kBuckets, 0);
    const PixelSums sums = collectSums(image.pixels, upper);
    st.includedCount = sums.count;
    st.largest = sums.largest;
    st.smallest = sums.smallest;
    log.end().line("Scale first image for display- ");
    log.text("# pixels in image = ").numLong(static_cast<double>(st.pixelCount)).end();
    log.text("# pixels included in analysis = ")
        .numLong(static_cast<double>(st.includedCount))
        .end();
    log.text("Largest pixel value in image  = ").num(st.largest).end();
    log.text("Smallest pixel value (>0) in image = ").num(st.smallest).end();

    // Population moments: division by n; with n = 0 the divisions give NaN, which is logged.
    const double n = static_cast<double>(st.includedCount);
    st.mean = f32(sums.sum / n);
    st.variance = f32(sums.sumOfSquares / n - static_cast<double>(st.mean) * st.mean);
    // A variance made negative by rounding is reported as it is, without a root.
    st.standardDeviation = f32(safeSqrt(st.variance));
    log.text("Average DC = ").num(st.mean).end();
    log.text("STD DEV DC = ").num(st.standardDeviation).end();

    const OrderStats order =
        imageOrderStatistics(image.pixels, upper, static_cast<std::size_t>(st.includedCount));
    st.median = order.median;
    st.p1 = order.low;
    st.p999 = order.high;
    log.text("Median pixel value = ").num(st.median).end();
    log.text("1 Percentile DC value =    ").num(st.p1).end();
    log.text("99.9 Percentile DC value = ").num(st.p999).end();
    return st;
}

std::vector<float> greyLevels(const PixelImage& image, float p1, float p999) {
    std::vector<float> grey(image.pixels.size(), 0.0f);
    const double cutRange = static_cast<double>(p999) - p1;
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const float v = image.pixels[i];
        // NaN fails every comparison below; it is shown white, like a value above the high cut.
        if (std::isnan(v)) {
            grey[i] = 255.0f;
            continue;
        }
        // The rules apply in order; the stretch only strictly between the cuts, so equal cuts
        // never divide by zero.
        if (v <= p1) grey[i] = 0.0f;
        if (v >= p999) grey[i] = 255.0f;
        if (p1 < v && v < p999) grey[i] = f32((static_cast<double>(v) - p1) * 255.0 / cutRange);
    }
    return grey;
}

int screenFactor(int columns, int rows, int desktopWidth, int desktopHeight, RunLog& log) {
    int larger = 0;
    // Without a usable desktop size the image is shown unreduced.
    if (desktopWidth > 0 && desktopHeight > 0) {
        // How many whole desktops the image spans in each direction.
        const int fx = truncToInt(static_cast<double>(columns) / desktopWidth);
        const int fy = truncToInt(static_cast<double>(rows) / desktopHeight);
        larger = std::max({fx, fy, 0});
    }
    log.end().text("Screen Factor = ").num(larger).end();
    // One more than the whole desktops spanned, so the reduced image fits.
    return larger + 1;
}

}  // namespace orvel
