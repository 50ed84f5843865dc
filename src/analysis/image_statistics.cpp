#include "analysis/image_statistics.h"

#include <algorithm>
#include <array>
#include <bit>
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
constexpr std::size_t kCounterSets = 2;
constexpr std::size_t kWorthAThread = std::size_t{1} << 20;  // pixels

// Exact zeros (no data) and NaN (undefined) pixels take no part in the statistics.
bool included(float v) { return v != 0.0f && !std::isnan(v); }

// The next sum of squares exactly as stored: the square in double, the sum rounded to 32 bits.
float nextSumOfSquares(float sumOfSquares, float v) {
    return f32(sumOfSquares + static_cast<double>(v) * v);
}

constexpr std::size_t kBlock = 4096;  // values summed between checks

// Both running sums over a block of values, the sum of squares by one fused multiply-add per
// value: four cycles a step instead of an addition and two conversions. after[k] receives the
// sum of squares after value k.
__attribute__((target("fma"))) void fusedSums(const float* v, std::size_t n, float& sum,
                                               float& sumOfSquares, float* after) {
    float s = sum;
    float q = sumOfSquares;
    for (std::size_t k = 0; k < n; ++k) {
        s += v[k];
        q = __builtin_fmaf(v[k], v[k], q);
        after[k] = q;
    }
    sum = s;
    sumOfSquares = q;
}

// First step k whose fused result differs from the stored rule applied to the step before;
// n when none does. Every step is checked on its own, so the check runs in vector registers.
__attribute__((target("avx2"), optimize("tree-vectorize"))) std::size_t firstDifference(
    const float* v, std::size_t n, float start, const float* after, float* want) {
    if (n == 0) return 0;
    want[0] = f32(start + static_cast<double>(v[0]) * v[0]);
    for (std::size_t k = 1; k < n; ++k)
        want[k] = f32(after[k - 1] + static_cast<double>(v[k]) * v[k]);
    std::uint32_t differ = 0;
    for (std::size_t k = 0; k < n; ++k)
        differ |= std::bit_cast<std::uint32_t>(want[k]) ^ std::bit_cast<std::uint32_t>(after[k]);
    if (differ == 0) return n;
    std::size_t k = 0;
    while (std::bit_cast<std::uint32_t>(want[k]) == std::bit_cast<std::uint32_t>(after[k])) ++k;
    return k;
}

__attribute__((target("avx2"), optimize("tree-vectorize"))) bool allIncluded(const float* v,
                                                                             std::size_t n) {
    int all = 1;
    for (std::size_t k = 0; k < n; ++k) all &= static_cast<int>(v[k] != 0.0f) & (v[k] == v[k]);
    return all != 0;
}

// Sums of one block of included values on a processor with FMA and AVX2. The fused
// multiply-add rounds once where the stored sum rounds twice (to double, then to 32 bits); the
// two differ only when the double lands exactly half-way between two floats, a few times in a
// billion. Where a step differs it takes the stored rule's value and the chain goes on from it.
void fusedBlockSums(const float* v, std::size_t n, float& sum, float& sumOfSquares) {
    std::array<float, kBlock> after;
    std::array<float, kBlock> want;
    // A float addition rounds exactly as the double sum of two floats rounded to 32 bits does,
    // so the plain sum needs no check.
    float start = sumOfSquares;
    fusedSums(v, n, sum, sumOfSquares, after.data());
    std::size_t from = 0;
    for (;;) {
        const std::size_t k =
            from + firstDifference(v + from, n - from, start, after.data() + from, want.data());
        if (k >= n) break;
        after[k] = want[k - from];
        start = after[k];
        from = k + 1;
        float unused = 0.0f;
        float q = start;
        fusedSums(v + from, n - from, unused, q, after.data() + from);
    }
    if (n > 0) sumOfSquares = after[n - 1];
}

// The two rounded running sums. Each addition depends on the one before, so the pass is bound
// by the latency of one step.
void collectRoundedSums(const std::vector<float>& pixels, PixelSums& s) {
    float sum = 0.0f;
    float sumOfSquares = 0.0f;
    if (!(__builtin_cpu_supports("fma") && __builtin_cpu_supports("avx2"))) {
        for (const float v : pixels) {
            if (!included(v)) continue;
            sum += v;
            sumOfSquares = nextSumOfSquares(sumOfSquares, v);
        }
    } else {
        std::array<float, kBlock> kept;
        for (std::size_t i = 0; i < pixels.size(); i += kBlock) {
            const std::size_t m = std::min(kBlock, pixels.size() - i);
            const float* block = pixels.data() + i;
            std::size_t n = m;
            // Zero and NaN pixels are left out; most blocks have none.
            if (!allIncluded(block, m)) {
                n = 0;
                for (std::size_t k = 0; k < m; ++k)
                    if (included(block[k])) kept[n++] = block[k];
                block = kept.data();
            }
            fusedBlockSums(block, n, sum, sumOfSquares);
        }
    }
    s.sum = sum;
    s.sumOfSquares = sumOfSquares;
}

// The included values counted by the upper half of their key, and their number.
void collectCounts(const std::vector<float>& pixels, PixelSums& s,
                   std::vector<std::uint32_t>& upper) {
    // Neighbouring pixels of a frame mostly fall into one bucket: four sets of counters, used
    // in turn, let the increments run without waiting for each other.
    std::vector<std::uint32_t> counters(kCounterSets * kBuckets, 0);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const float v = pixels[i];
        if (included(v)) ++counters[(i % kCounterSets) * kBuckets + (orderKey(v) >> 16)];
    }
    std::int64_t count = 0;
    for (std::size_t set = 0; set < kCounterSets; ++set)
        for (std::size_t b = 0; b < kBuckets; ++b) upper[b] += counters[set * kBuckets + b];
    for (const std::uint32_t c : upper) count += c;
    s.count = count;
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
    // Counts of slot s start at (s) x kBuckets: slot 0, the values of every other bucket, is
    // counted too and never read, so the loop has no branch that depends on the data.
    const auto countLower = [&](std::size_t from, std::size_t to, std::uint32_t* counts) {
        for (std::size_t i = from; i < to; ++i) {
            const float v = pixels[i];
            if (!included(v)) continue;
            const std::uint32_t key = orderKey(v);
            ++counts[slotOf[key >> 16] * kBuckets + (key & 0xffffu)];
        }
    };
    std::vector<std::uint32_t> counts((slots + 1) * kBuckets, 0);
    if (pixels.size() < kWorthAThread) {
        countLower(0, pixels.size(), counts.data());
    } else {
        // Two halves counted side by side, then added.
        std::vector<std::uint32_t> second((slots + 1) * kBuckets, 0);
        const std::size_t half = pixels.size() / 2;
        std::jthread other([&] { countLower(half, pixels.size(), second.data()); });
        countLower(0, half, counts.data());
        other.join();
        for (std::size_t k = 0; k < counts.size(); ++k) counts[k] += second[k];
    }
    const std::uint32_t* lower = counts.data() + kBuckets;
    std::array<float, N> found{};
    for (std::size_t r = 0; r < N; ++r) {
        const std::uint32_t* counted = lower + (slotOf[bucket[r]] - 1) * kBuckets;
        std::size_t before = 0;
        std::size_t low = 0;
        while (before + counted[low] <= within[r]) before += counted[low++];
        found[r] = valueOfKey(static_cast<std::uint32_t>(bucket[r] << 16 | low));
    }
    return found;
}

// Median, the two cuts and the extremes of the included pixels, as sorting them would give.
OrderStats imageOrderStatistics(const std::vector<float>& pixels,
                                const std::vector<std::uint32_t>& upper, std::size_t n,
                                float& smallest, float& largest) {
    OrderStats stats;
    if (n == 0) return stats;
    const std::size_t mid = n / 2;
    // The smallest and largest values are the first and last ranks.
    const std::array<std::size_t, 6> ranks = {percentilePosition(n, kLowCutFraction) - 1,
                                              n % 2 == 0 ? mid - 1 : mid,
                                              mid,
                                              percentilePosition(n, kHighCutFraction) - 1,
                                              0,
                                              n - 1};
    const std::array<float, 6> v = valuesAtRanks(pixels, upper, ranks);
    stats.low = v[0];
    stats.median = n % 2 == 1 ? v[2] : f32((static_cast<double>(v[1]) + v[2]) * 0.5);
    stats.high = v[3];
    smallest = v[4];
    largest = v[5];
    return stats;
}

// The rounded sums run beside the counting and the selection: they are one long chain of
// dependent additions, the rest is independent work.
struct Measured {
    PixelSums sums;
    OrderStats order;
};

Measured measureImage(const std::vector<float>& pixels) {
    Measured m;
    std::vector<std::uint32_t> upper(kBuckets, 0);
    const auto countAndSelect = [&] {
        collectCounts(pixels, m.sums, upper);
        float smallest = 64000.0f;
        float largest = -64000.0f;
        m.order = imageOrderStatistics(pixels, upper, static_cast<std::size_t>(m.sums.count),
                                       smallest, largest);
        // The extremes start at +-64000 and are only replaced by values beyond them.
        m.sums.smallest = std::min(smallest, 64000.0f);
        m.sums.largest = std::max(largest, -64000.0f);
    };
    if (pixels.size() < kWorthAThread) {
        collectRoundedSums(pixels, m.sums);
        countAndSelect();
        return m;
    }
    std::jthread sums([&] { collectRoundedSums(pixels, m.sums); });
    countAndSelect();
    sums.join();
    return m;
}

}  // namespace

FirstImageStats analyseFirstImage(const PixelImage& image, RunLog& log) {
    FirstImageStats st;
    st.pixelCount = static_cast<std::int64_t>(image.columns) * image.rows;
    const Measured measured = measureImage(image.pixels);
    const PixelSums& sums = measured.sums;
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

    st.median = measured.order.median;
    st.p1 = measured.order.low;
    st.p999 = measured.order.high;
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
