#include "analysis/included_order.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "analysis/order_blocks.h"
#include "analysis/order_statistics.h"
#include "base/numeric.h"
#include "base/pixel_buffer.h"

namespace orvel {

namespace {

constexpr std::size_t kBuckets = std::size_t{1} << 16;
constexpr std::size_t kCounterSets = 2;
constexpr std::size_t kWorthAThread = std::size_t{1} << 20;  // pixels
constexpr std::size_t kWorthASample = std::size_t{1} << 20;  // pixels

// 0-based ranks of the wanted values among count ascending values (count > 0).
struct WantedRanks {
    std::size_t low;
    std::size_t belowMiddle;  // the lower middle value; the middle one itself for an odd count
    std::size_t middle;
    std::size_t high;
};

WantedRanks wantedRanks(std::size_t count, float lowFraction, float highFraction) {
    const std::size_t mid = count / 2;
    return {percentilePosition(count, lowFraction) - 1, count % 2 == 0 ? mid - 1 : mid, mid,
            percentilePosition(count, highFraction) - 1};
}

// ---------------------------------------------------------------------------------------------
// Counting: exact for any image, two passes over it.

// The included values counted by the upper half of their key; returns their number.
std::int64_t countUpperKeys(std::span<const float> pixels, WorkVector<std::uint32_t>& upper) {
    // Neighbouring pixels of a frame mostly fall into one bucket: sets of counters used in
    // turn let the increments run without waiting for each other.
    WorkVector<std::uint32_t> counters(kCounterSets * kBuckets, 0);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const float v = pixels[i];
        if (isIncluded(v)) ++counters[(i % kCounterSets) * kBuckets + (orderKey(v) >> 16)];
    }
    for (std::size_t set = 0; set < kCounterSets; ++set)
        for (std::size_t b = 0; b < kBuckets; ++b) upper[b] += counters[set * kBuckets + b];
    std::int64_t count = 0;
    for (const std::uint32_t c : upper) count += c;
    return count;
}

// The values at the given 0-based ranks of the included pixels in ascending order: the upper
// counts locate each rank's bucket, a second pass counts the values of those few buckets by
// the lower half of their key, which fixes each value exactly.
template <std::size_t N>
std::array<float, N> valuesAtRanks(std::span<const float> pixels,
                                   const WorkVector<std::uint32_t>& upper,
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
    WorkVector<std::uint8_t> slotOf(kBuckets, 0);
    std::size_t slots = 0;
    for (std::size_t r = 0; r < N; ++r)
        if (slotOf[bucket[r]] == 0) slotOf[bucket[r]] = static_cast<std::uint8_t>(++slots);
    // Counts of slot s start at s x kBuckets: slot 0, the values of every other bucket, is
    // counted too and never read, so the loop has no branch that depends on the data.
    const auto countLower = [&](std::size_t from, std::size_t to, std::uint32_t* counts) {
        for (std::size_t i = from; i < to; ++i) {
            const float v = pixels[i];
            if (!isIncluded(v)) continue;
            const std::uint32_t key = orderKey(v);
            ++counts[slotOf[key >> 16] * kBuckets + (key & 0xffffu)];
        }
    };
    WorkVector<std::uint32_t> counts((slots + 1) * kBuckets, 0);
    if (pixels.size() < kWorthAThread) {
        countLower(0, pixels.size(), counts.data());
    } else {
        // Two halves counted side by side, then added.
        WorkVector<std::uint32_t> second((slots + 1) * kBuckets, 0);
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

// ---------------------------------------------------------------------------------------------
// Sample and windows: one vectorised pass over a large image.

constexpr double kWindowSigmas = 6.0;  // half-width of a window, in standard errors

// Room made before a pass for the values a window will keep, as a share of the pixels passed
// over: the sample's share with a quarter more, so that the room is rarely outgrown.
constexpr double kRoomOverShare = 1.25;

// Most values the windows of a pass over `pixels` pixels keep, so memory stays a fraction of
// one frame.
std::size_t mostKept(std::size_t pixels) {
    return pixels / 8;
}

// Windows around the sample's values at the three fractions, wide enough that the image's
// own values at those fractions fall inside unless the sample was unrepresentative.
std::array<Window, kWindows> windowsFromSample(std::span<const float> sample,
                                               std::array<double, kWindows> fractions) {
    const double m = static_cast<double>(sample.size());
    std::array<std::size_t, 2 * kWindows> at{};
    for (std::size_t w = 0; w < kWindows; ++w) {
        const double p = fractions[w];
        // Standard error of a sample quantile's rank, with room for neighbouring pixels that
        // are alike, plus a few ranks so that tiny samples are never cut too fine.
        const double margin = kWindowSigmas * std::sqrt(p * (1.0 - p) * m) + 8.0;
        at[2 * w] = static_cast<std::size_t>(std::clamp(p * m - margin, 0.0, m - 1.0));
        at[2 * w + 1] = static_cast<std::size_t>(std::clamp(p * m + margin, 0.0, m - 1.0));
    }
    // The sample's values at those ranks by counting its keys: two short passes, where
    // selection would go over the sample once for each rank.
    WorkVector<std::uint32_t> upper(kBuckets, 0);
    countUpperKeys(sample, upper);
    const std::array<float, 2 * kWindows> value = valuesAtRanks(sample, upper, at);
    std::array<Window, kWindows> windows;
    for (std::size_t w = 0; w < kWindows; ++w) {
        windows[w].lo = value[2 * w];
        windows[w].hi = value[2 * w + 1];
        windows[w].share = static_cast<double>(at[2 * w + 1] - at[2 * w] + 1) / m;
    }
    return windows;
}

// Running totals of the pass over the image.
struct PassTotals {
    std::int64_t count = 0;
    float smallest = std::numeric_limits<float>::infinity();
    float largest = -std::numeric_limits<float>::infinity();
};

// The one pass: included count, extremes, and for each window the count below it and the
// values inside it. Gives up (nullopt) when the windows would keep more than a set share of
// the image, so memory stays a fraction of one frame.
std::optional<PassTotals> passOverImage(std::span<const float> pixels,
                                        std::array<Window, kWindows>& windows,
                                        VectorCode vectorCode) {
    const bool wide = wideCodeRuns(vectorCode);
    const std::size_t limit = mostKept(pixels.size());
    std::array<float, kWindows> lo{};
    std::array<float, kWindows> hi{};
    for (std::size_t w = 0; w < kWindows; ++w) {
        lo[w] = windows[w].lo;
        hi[w] = windows[w].hi;
        // Room for what the sample expects, made at once: growing by steps would copy.
        const auto room = static_cast<std::size_t>(windows[w].share * kRoomOverShare *
                                                   static_cast<double>(pixels.size())) +
                          2 * kBlock;
        if (windows[w].lo != windows[w].hi && windows[w].inside.size() < room)
            windows[w].inside.resize(std::min(limit, room));
    }
    PassTotals totals;
    std::array<float, kBlock> tail{};
    for (std::size_t i = 0; i < pixels.size(); i += kBlock) {
        const std::size_t n = std::min(kBlock, pixels.size() - i);
        const float* block = pixels.data() + i;
        if (n < kBlock) {
            // The last, short block is counted from a copy padded with zeros, which count as
            // nothing.
            std::copy(block, block + n, tail.begin());
            block = tail.data();
        }
        BlockCounts c;
        countBlock(block, lo, hi, c, wide);
        totals.count += c.count;
        totals.smallest = std::min(totals.smallest, c.smallest);
        totals.largest = std::max(totals.largest, c.largest);
        for (std::size_t w = 0; w < kWindows; ++w)
            if (!addToWindow(windows[w], {block, c.below[w], c.inside[w]}, limit, wide))
                return std::nullopt;
    }
    return totals;
}

// The value at 0-based rank r of the included pixels if the window holds it.
std::optional<float> valueInWindow(Window& w, std::size_t r) {
    const auto below = static_cast<std::size_t>(w.below);
    if (r < below || r >= below + w.used) return std::nullopt;
    if (w.lo == w.hi) return w.lo;
    const auto at = w.inside.begin() + static_cast<std::ptrdiff_t>(r - below);
    std::nth_element(w.inside.begin(), at, w.inside.begin() + static_cast<std::ptrdiff_t>(w.used));
    return *at;
}

// The windows and totals of another part of the image added to those of one part.
void mergePass(PassTotals& totals, std::array<Window, kWindows>& windows, const PassTotals& more,
               const std::array<Window, kWindows>& moreWindows) {
    totals.count += more.count;
    totals.smallest = std::min(totals.smallest, more.smallest);
    totals.largest = std::max(totals.largest, more.largest);
    for (std::size_t w = 0; w < kWindows; ++w) {
        Window& win = windows[w];
        const Window& add = moreWindows[w];
        win.below += add.below;
        // A window of one value keeps only its count.
        if (win.lo != win.hi) {
            win.inside.resize(win.used + add.used);
            std::copy(add.inside.begin(),
                      add.inside.begin() + static_cast<std::ptrdiff_t>(add.used),
                      win.inside.begin() + static_cast<std::ptrdiff_t>(win.used));
        }
        win.used += add.used;
    }
}

// The pass over a large image in two halves side by side (each with its own windows, added up
// after), over a smaller one in turn.
std::optional<PassTotals> passInParts(std::span<const float> pixels,
                                      std::array<Window, kWindows>& windows, VectorCode vectorCode,
                                      SecondCore secondCore) {
    if (pixels.size() < 2 * kWorthAThread || secondCore == SecondCore::busy)
        return passOverImage(pixels, windows, vectorCode);
    // The halves meet at a whole block, so both count whole blocks but for the image's last.
    const std::size_t half = pixels.size() / 2 / kBlock * kBlock;
    std::array<Window, kWindows> secondWindows;
    for (std::size_t w = 0; w < kWindows; ++w) {
        secondWindows[w].lo = windows[w].lo;
        secondWindows[w].hi = windows[w].hi;
        secondWindows[w].share = windows[w].share;
        // The first half's room takes the second's values too when the halves are added.
        windows[w].inside.resize(std::min(
            mostKept(pixels.size()), static_cast<std::size_t>(windows[w].share * kRoomOverShare *
                                                              static_cast<double>(pixels.size()))));
    }
    std::optional<PassTotals> second;
    std::jthread other(
        [&] { second = passOverImage(pixels.subspan(half), secondWindows, vectorCode); });
    std::optional<PassTotals> first = passOverImage(pixels.first(half), windows, vectorCode);
    other.join();
    if (!first || !second) return std::nullopt;
    mergePass(*first, windows, *second, secondWindows);
    return first;
}

std::optional<IncludedOrder> includedOrderBySample(std::span<const float> pixels,
                                                   OrderSample sample, float lowFraction,
                                                   float highFraction, VectorCode vectorCode,
                                                   SecondCore secondCore) {
    if (sample.values().empty()) return std::nullopt;
    std::array<Window, kWindows> windows =
        windowsFromSample(sample.values(), {lowFraction, 0.5, highFraction});
    sample = OrderSample(0);
    const std::optional<PassTotals> totals = passInParts(pixels, windows, vectorCode, secondCore);
    if (!totals || totals->count == 0) return std::nullopt;
    const auto count = static_cast<std::size_t>(totals->count);
    const WantedRanks ranks = wantedRanks(count, lowFraction, highFraction);
    const std::optional<float> middle = valueInWindow(windows[1], ranks.middle);
    // For an odd count both middle ranks are the same value.
    const std::optional<float> belowMiddle =
        ranks.belowMiddle == ranks.middle ? middle : valueInWindow(windows[1], ranks.belowMiddle);
    const std::optional<float> low = valueInWindow(windows[0], ranks.low);
    const std::optional<float> high = valueInWindow(windows[2], ranks.high);
    if (!middle || !belowMiddle || !low || !high) return std::nullopt;
    IncludedOrder order;
    order.fromSample = true;
    order.count = totals->count;
    order.smallest = totals->smallest;
    order.largest = totals->largest;
    order.median = medianOfMiddle(count, *belowMiddle, *middle);
    order.low = *low;
    order.high = *high;
    return order;
}

}  // namespace

OrderSample::OrderSample(std::size_t pixelCount) : pixelCount_(pixelCount) {
    if (pixelCount_ >= kWorthASample) values_.reserve(kRuns * kRunLength);
}

void OrderSample::take(std::span<const float> pixels, std::size_t decoded) {
    // Images too small to be sampled are counted instead.
    if (pixelCount_ < kWorthASample) return;
    const std::size_t span = pixelCount_ - kRunLength;
    decoded = std::min({decoded, pixels.size(), pixelCount_});
    for (; nextRun_ < kRuns; ++nextRun_) {
        const std::size_t r = nextRun_;
        const std::size_t start = span / kRuns * r + span % kRuns * r / kRuns;
        // The runs are taken in order; this one is not all decoded yet.
        if (start + kRunLength > decoded) return;
        for (std::size_t k = start; k < start + kRunLength; ++k)
            if (isIncluded(pixels[k])) values_.push_back(pixels[k]);
    }
}

IncludedOrder includedOrderByCounting(std::span<const float> pixels, float lowFraction,
                                      float highFraction) {
    IncludedOrder order;
    WorkVector<std::uint32_t> upper(kBuckets, 0);
    order.count = countUpperKeys(pixels, upper);
    if (order.count == 0) return order;
    const auto count = static_cast<std::size_t>(order.count);
    const WantedRanks r = wantedRanks(count, lowFraction, highFraction);
    // The smallest and largest values are the first and last ranks.
    const std::array<float, 6> v = valuesAtRanks(
        pixels, upper,
        std::array<std::size_t, 6>{r.low, r.belowMiddle, r.middle, r.high, 0, count - 1});
    order.low = v[0];
    order.median = medianOfMiddle(count, v[1], v[2]);
    order.high = v[3];
    order.smallest = v[4];
    order.largest = v[5];
    return order;
}

IncludedOrder includedOrder(std::span<const float> pixels, float lowFraction, float highFraction,
                            VectorCode vectorCode, SecondCore secondCore) {
    OrderSample sample(pixels.size());
    sample.take(pixels, pixels.size());
    return includedOrder(pixels, std::move(sample), lowFraction, highFraction, vectorCode,
                         secondCore);
}

IncludedOrder includedOrder(std::span<const float> pixels, OrderSample sample, float lowFraction,
                            float highFraction, VectorCode vectorCode, SecondCore secondCore) {
    if (pixels.size() >= kWorthASample) {
        if (const std::optional<IncludedOrder> order = includedOrderBySample(
                pixels, std::move(sample), lowFraction, highFraction, vectorCode, secondCore))
            return *order;
    }
    return includedOrderByCounting(pixels, lowFraction, highFraction);
}

std::optional<IncludedOrder> includedOrderOfSamples(const SampleCounts& counts, SampleCoding coding,
                                                    float lowFraction, float highFraction) {
    if (!counts.complete || !(coding.bscale > 0.0f) ||
        counts.counts.size() != SampleCounts::kIndices)
        return std::nullopt;
    // The samples that occur, in ascending order of sample and so of value; zero takes no part.
    struct Occurring {
        float value;
        std::uint32_t count;
    };
    std::vector<Occurring> occurring;
    std::size_t count = 0;
    for (std::size_t index = 0; index < SampleCounts::kIndices; ++index) {
        if (counts.counts[index] == 0) continue;
        const float value = countedSampleValue(coding, index);
        if (!isIncluded(value)) continue;
        occurring.push_back({value, counts.counts[index]});
        count += counts.counts[index];
    }
    IncludedOrder order;
    order.count = static_cast<std::int64_t>(count);
    if (count == 0) return order;
    // The value at a 0-based rank: the first sample whose counts reach past it.
    const auto valueAt = [&](std::size_t rank) {
        std::size_t before = 0;
        std::size_t k = 0;
        while (before + occurring[k].count <= rank) before += occurring[k++].count;
        return occurring[k].value;
    };
    const WantedRanks r = wantedRanks(count, lowFraction, highFraction);
    order.smallest = occurring.front().value;
    order.largest = occurring.back().value;
    order.low = valueAt(r.low);
    order.median = medianOfMiddle(count, valueAt(r.belowMiddle), valueAt(r.middle));
    order.high = valueAt(r.high);
    return order;
}

}  // namespace orvel
