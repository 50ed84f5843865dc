#include "analysis/order_statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace orvel {
namespace {

std::vector<float> sorted(std::vector<float> v) {
    SortAscending(v);
    return v;
}

// Values 1..n, so that a picked value names its own 1-based position.
std::vector<float> oneToN(int n) {
    std::vector<float> v;
    for (int i = 1; i <= n; ++i) v.push_back(static_cast<float>(i));
    return v;
}

TEST(SortAndMedian, SmallListsSortAscendingAndGiveTheirMedian) {
    EXPECT_EQ(sorted({5, 3}), (std::vector<float>{3, 5}));
    EXPECT_EQ(MedianOfSorted(sorted({5, 3})), 4.0f);
    EXPECT_EQ(sorted({9, 1, 7, 3, 5}), (std::vector<float>{1, 3, 5, 7, 9}));
    EXPECT_EQ(MedianOfSorted(sorted({9, 1, 7, 3, 5})), 5.0f);
    EXPECT_EQ(MedianOfSorted(sorted({4, 1, 3, 2})), 2.5f);
    EXPECT_EQ(sorted({3, 0, -2}), (std::vector<float>{-2, 0, 3}));
}

TEST(SortAndMedian, ElementsBeyondTheCountAreLeftAlone) {
    std::vector<float> v = {9, 1, 7, 3, 5, -1, -2};
    SortAscending(std::span<float>(v).first(5));
    EXPECT_EQ(v, (std::vector<float>{1, 3, 5, 7, 9, -1, -2}));
}

TEST(SortAndMedian, ListsOfFewerThanTwoAndEmptyLists) {
    std::vector<float> one = {7, 1};
    SortAscending(std::span<float>(one).first(1));
    EXPECT_EQ(one, (std::vector<float>{7, 1}));
    std::vector<float> none;
    SortAscending(none);
    EXPECT_EQ(MedianOfSorted(none), 0.0f);
    EXPECT_EQ(PercentileOfSorted(none, 0.01f), 0.0f);
    EXPECT_EQ(MedianOfSorted(std::vector<float>{7}), 7.0f);
}

TEST(SortAndMedian, LongerListsMatchAnOrdinarySort) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> value(-50, 50);
    for (int n = 2; n < 60; ++n) {
        std::vector<float> v;
        for (int i = 0; i < n; ++i) v.push_back(static_cast<float>(value(rng)));
        std::vector<float> expected = v;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(sorted(v), expected) << "n = " << n;
    }
}

TEST(SortAndMedian, NaNEndsWhereTheHeapSortPutsIt) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Traced by hand through the heap sort: a NaN never compares greater, so it is not moved
    // by sifting and the values around it stay partly unordered.
    const std::vector<float> a = sorted({nan, 1, 2});
    EXPECT_EQ(a[0], 1.0f);
    EXPECT_EQ(a[1], 2.0f);
    EXPECT_TRUE(std::isnan(a[2]));
    const std::vector<float> b = sorted({1, nan, 2});
    EXPECT_TRUE(std::isnan(b[0]));
    EXPECT_EQ(b[1], 2.0f);
    EXPECT_EQ(b[2], 1.0f);
    EXPECT_EQ(MedianOfSorted(b), 2.0f);
}

TEST(Percentile, PositionsRoundTheSinglePrecisionProductHalfToEven) {
    // 150 x 0.01f falls just below 1.5: position 1; 151 gives 2.
    EXPECT_EQ(PercentileOfSorted(oneToN(150), 0.01f), 1.0f);
    EXPECT_EQ(PercentileOfSorted(oneToN(151), 0.01f), 2.0f);
    EXPECT_EQ(PercentileOfSorted(oneToN(200), 0.01f), 2.0f);
    EXPECT_EQ(PercentileOfSorted(oneToN(51), 0.01f), 1.0f);
    EXPECT_EQ(PercentileOfSorted(oneToN(1000), 0.01f), 10.0f);
    EXPECT_EQ(PercentileOfSorted(oneToN(1000), 0.999f), 999.0f);
    // Up to 500 values the high cut is the largest value.
    EXPECT_EQ(PercentileOfSorted(oneToN(500), 0.999f), 500.0f);
    EXPECT_EQ(PercentileOfSorted(oneToN(150), 0.999f), 150.0f);
}

TEST(Percentile, APositionBelowOneTakesTheFirstValue) {
    // 50 x 0.01f rounds to position 0, which does not exist.
    EXPECT_EQ(PercentileOfSorted(oneToN(50), 0.01f), 1.0f);
    EXPECT_EQ(PercentileOfSorted(oneToN(1), 0.01f), 1.0f);
}

// The selection must give exactly what sorting and picking give.
void expectSameAsSorting(std::vector<float> v) {
    const std::vector<float> s = sorted(v);
    EXPECT_EQ(selectMedian(v), MedianOfSorted(s)) << "n = " << v.size();
}

TEST(Selection, GivesTheSameValuesAsSortingForManyShapesOfList) {
    std::mt19937 rng(11);
    std::normal_distribution<float> noise(1000.0f, 40.0f);
    std::uniform_int_distribution<int> few(-3, 3);
    for (int n = 1; n <= 400; n += 7) {
        std::vector<float> smooth, ties;
        for (int i = 0; i < n; ++i) {
            smooth.push_back(noise(rng));
            ties.push_back(static_cast<float>(few(rng)));
        }
        expectSameAsSorting(smooth);
        expectSameAsSorting(ties);
    }
    std::vector<float> large;
    for (int i = 0; i < 100000; ++i) large.push_back(std::round(noise(rng)));
    large[17] = std::numeric_limits<float>::infinity();
    large[99] = -std::numeric_limits<float>::infinity();
    large[500] = -1e30f;
    expectSameAsSorting(large);
    expectSameAsSorting(std::vector<float>(5000, 42.0f));
    expectSameAsSorting({-5.0f, 65535.0f});
}

TEST(Selection, EmptyListGivesZero) {
    std::vector<float> none;
    EXPECT_EQ(selectMedian(none), 0.0f);
}

TEST(Selection, ReversedListGivesTheMeanOfTheMiddleValues) {
    std::vector<float> v = oneToN(1000);
    std::reverse(v.begin(), v.end());
    EXPECT_EQ(selectMedian(v), 500.5f);
}

}  // namespace
}  // namespace orvel
