#include "analysis/included_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "analysis/order_statistics.h"

namespace orvel {
namespace {

constexpr float kLow = 0.01f;
constexpr float kHigh = 0.999f;
// Frames from this size on are measured by sample and windows.
constexpr std::size_t kLarge = std::size_t{1} << 20;

// What a full sort of the included values gives.
IncludedOrder sortedReference(const std::vector<float>& pixels) {
    std::vector<float> list;
    for (const float v : pixels)
        if (v != 0.0f && !std::isnan(v)) list.push_back(v);
    std::sort(list.begin(), list.end());
    IncludedOrder order;
    order.count = static_cast<std::int64_t>(list.size());
    if (list.empty()) return order;
    order.smallest = list.front();
    order.largest = list.back();
    order.median = MedianOfSorted(list);
    order.low = PercentileOfSorted(list, kLow);
    order.high = PercentileOfSorted(list, kHigh);
    return order;
}

void expectSameAsSorting(const std::vector<float>& pixels, const std::string& what) {
    const IncludedOrder want = sortedReference(pixels);
    const std::pair<IncludedOrder, std::string> results[] = {
        {includedOrder(pixels, kLow, kHigh), " (sampled)"},
        {includedOrder(pixels, kLow, kHigh, VectorCode::portable), " (sampled, portable code)"},
        {includedOrderByCounting(pixels, kLow, kHigh), " (counted)"}};
    for (const auto& [got, method] : results) {
        EXPECT_EQ(got.count, want.count) << what << method;
        EXPECT_EQ(got.smallest, want.smallest) << what << method;
        EXPECT_EQ(got.largest, want.largest) << what << method;
        EXPECT_EQ(got.median, want.median) << what << method;
        EXPECT_EQ(got.low, want.low) << what << method;
        EXPECT_EQ(got.high, want.high) << what << method;
    }
}

// A sky frame of whole numbers with a gradient, stars, dead (zero) and undefined (NaN) pixels,
// the extremes in the short last block; odd and even included counts; a frame large enough to
// be passed over in two halves side by side.
TEST(IncludedOrder, LargeSkyFramesEqualTheSortedList) {
    for (const std::size_t n : {kLarge + 7, kLarge + 300, 2 * kLarge + 4099}) {
        std::mt19937 random(static_cast<unsigned>(n));
        std::normal_distribution<float> sky(800.0f, 30.0f);
        std::vector<float> pixels(n);
        for (std::size_t i = 0; i < n; ++i) {
            float v = std::round(sky(random) + static_cast<float>(i % 1024) * 0.05f);
            if (i % 50 == 7) v = 0.0f;
            if (i % 7919 == 3) v = std::numeric_limits<float>::quiet_NaN();
            if (i % 3001 == 11) v = 20000.0f + static_cast<float>(i % 40000);
            pixels[i] = v;
        }
        pixels[n - 1] = 65535.0f;
        pixels[n - 2] = -5.0f;
        expectSameAsSorting(pixels, "sky " + std::to_string(n));
        // A sky frame is described by its sample: the counting method is not needed.
        EXPECT_TRUE(includedOrder(pixels, kLow, kHigh).fromSample) << n;
    }
}

// Continuous values of both signs with zero (dead) pixels among them, and a frame of two levels,
// where each window holds a single value.
TEST(IncludedOrder, LargeContinuousAndTwoLevelFramesEqualTheSortedList) {
    std::mt19937 random(3);
    std::vector<float> continuous(kLarge + 1);
    std::normal_distribution<float> small(0.0f, 1e-3f);
    for (std::size_t i = 0; i < continuous.size(); ++i)
        continuous[i] = i % 97 == 5 ? 0.0f : small(random);
    expectSameAsSorting(continuous, "continuous");

    for (const std::size_t n : {kLarge + 5, 2 * kLarge + 5}) {
        std::vector<float> two(n);
        for (float& v : two) v = random() % 3 == 0 ? 1.0f : 2.0f;
        expectSameAsSorting(two, "two levels " + std::to_string(n));
        EXPECT_TRUE(includedOrder(two, kLow, kHigh).fromSample) << n;
    }
}

// Frames the sample cannot describe still get exact values: a pattern at the period of the
// sampled runs, seven levels where the middle window would hold a third of the frame, a frame
// with a single included pixel, and one with none.
TEST(IncludedOrder, FramesThatMisleadTheSampleStillEqualTheSortedList) {
    std::mt19937 random(9);
    for (const bool brightRuns : {true, false}) {
        std::vector<float> periodic(16384 * 64 + 16);
        for (std::size_t i = 0; i < periodic.size(); ++i) {
            const bool bright = (i % 64 < 16) == brightRuns;
            periodic[i] =
                static_cast<float>(bright ? 5000 + random() % 1000 : 100 + random() % 100);
        }
        expectSameAsSorting(periodic, brightRuns ? "bright runs" : "dark runs");
    }

    std::vector<float> levels(kLarge + 2);
    std::uniform_int_distribution<int> level(-3, 3);
    for (float& v : levels) v = static_cast<float>(level(random));
    expectSameAsSorting(levels, "seven levels");

    std::vector<float> one(kLarge + 3, 0.0f);
    one[kLarge / 2] = 42.0f;
    expectSameAsSorting(one, "one pixel");

    std::vector<float> none(kLarge, std::numeric_limits<float>::quiet_NaN());
    expectSameAsSorting(none, "no pixel");
}

// A sample taken piece by piece as a frame is decoded (pieces of uneven size, some ending
// inside a sampled run) describes the frame as one taken whole: the same exact values.
TEST(IncludedOrder, SampleTakenInPiecesEqualsTheSortedList) {
    const std::size_t n = kLarge + 12345;
    std::mt19937 random(21);
    std::normal_distribution<float> sky(1200.0f, 40.0f);
    std::vector<float> pixels(n);
    for (std::size_t i = 0; i < n; ++i) pixels[i] = i % 61 == 0 ? 0.0f : std::round(sky(random));
    const IncludedOrder want = sortedReference(pixels);
    OrderSample sample(n);
    for (std::size_t decoded = 0; decoded < n;) {
        decoded = std::min(n, decoded + 1 + random() % 70000);
        sample.take(pixels, decoded);
    }
    // Taking again once all is decoded adds nothing.
    const std::size_t taken = sample.values().size();
    sample.take(pixels, n);
    EXPECT_EQ(sample.values().size(), taken);
    const IncludedOrder got = includedOrder(pixels, std::move(sample), kLow, kHigh);
    EXPECT_TRUE(got.fromSample);
    EXPECT_EQ(got.count, want.count);
    EXPECT_EQ(got.median, want.median);
    EXPECT_EQ(got.low, want.low);
    EXPECT_EQ(got.high, want.high);
    EXPECT_EQ(got.smallest, want.smallest);
    EXPECT_EQ(got.largest, want.largest);
}

}  // namespace
}  // namespace orvel
