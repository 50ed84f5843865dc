#include "analysis/order_statistics.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "run/numeric.h"

namespace orvel {

std::size_t percentilePosition(std::size_t count, float fraction) {
    // The 32-bit fraction times the count, rounded half to even: 150 x 0.01f lies below 1.5.
    const std::int64_t position =
        toInteger(static_cast<double>(fraction) * static_cast<double>(count));
    if (position < 1) return 1;
    if (static_cast<std::size_t>(position) > count) return count;
    return static_cast<std::size_t>(position);
}

namespace {

// Bucket of a value: the upper 16 bits of its key.
std::size_t bucketOf(float v) {
    return orderKey(v) >> 16;
}

constexpr std::size_t kBuckets = 1u << 16;

// Values at the given 0-based ranks of the ascending order, found by a radix selection in
// place: one pass counts the values per bucket, a second pass moves the values of the few
// buckets that hold a wanted rank to the front, and only those are searched.
std::array<float, 4> selectRanks(std::span<float> values, std::array<std::size_t, 4> wanted) {
    // Work through the ranks in ascending order, remembering where each answer belongs.
    std::array<std::size_t, 4> slot = {0, 1, 2, 3};
    std::sort(slot.begin(), slot.end(),
              [&wanted](std::size_t a, std::size_t b) { return wanted[a] < wanted[b]; });
    std::array<std::size_t, 4> ranks{};
    for (std::size_t i = 0; i < ranks.size(); ++i) ranks[i] = wanted[slot[i]];
    // Counting pass: how many values fall into each bucket.
    std::vector<std::size_t> counts(kBuckets, 0);
    for (const float v : values) ++counts[bucketOf(v)];
    // Each rank lies in the bucket where the running count first passes it.
    std::array<std::size_t, 4> bucket{};
    std::array<std::size_t, 4> below{};  // values in lower buckets
    std::size_t cumulative = 0;
    std::size_t r = 0;
    for (std::size_t b = 0; b < kBuckets && r < ranks.size(); ++b) {
        while (r < ranks.size() && ranks[r] < cumulative + counts[b]) {
            bucket[r] = b;
            below[r] = cumulative;
            ++r;
        }
        cumulative += counts[b];
    }
    // Gathering pass: the values of the wanted buckets are moved to the front of the list;
    // the rest of the list is not looked at again.
    auto begin = values.begin();
    auto gatheredEnd = std::partition(begin, values.end(), [&bucket](float v) {
        const std::size_t b = bucketOf(v);
        return b == bucket[0] || b == bucket[1] || b == bucket[2] || b == bucket[3];
    });
    std::array<float, 4> found{};
    auto keyLess = [](float a, float b) { return orderKey(a) < orderKey(b); };
    auto groupStart = begin;
    auto groupEnd = begin;
    std::size_t groupBucket = kBuckets;
    for (std::size_t i = 0; i < ranks.size(); ++i) {
        // The gathered values of one bucket are brought together, bucket by bucket upward.
        if (bucket[i] != groupBucket) {
            groupBucket = bucket[i];
            groupStart = groupEnd;
            groupEnd = std::partition(groupStart, gatheredEnd, [groupBucket](float v) {
                return bucketOf(v) == groupBucket;
            });
        }
        // Within its bucket the rank is found by an ordinary selection on the keys.
        const auto kth = groupStart + static_cast<std::ptrdiff_t>(ranks[i] - below[i]);
        std::nth_element(groupStart, kth, groupEnd, keyLess);
        found[slot[i]] = *kth;
    }
    return found;
}

}  // namespace

void SortAscending(std::span<float> values) {
    const std::size_t n = values.size();
    // A list of fewer than two values is already in order.
    if (n < 2) return;
    // 1-based access keeps the heap arithmetic (children of i at 2i, 2i+1) as plain as possible.
    auto at = [&values](std::size_t i) -> float& { return values[i - 1]; };
    // The heap is built from the middle down: l = n/2 + 1, rounded half to even.
    std::size_t l = static_cast<std::size_t>(toInteger(static_cast<double>(n) / 2.0 + 1.0));
    std::size_t r = n;
    for (;;) {
        float v;
        if (l > 1) {
            // Building phase: the next element to sift into the heap.
            --l;
            v = at(l);
        } else {
            // Selection phase: the heap top goes to the end, the last element is sifted back.
            v = at(r);
            at(r) = at(1);
            --r;
            if (r == 1) {
                at(1) = v;
                return;
            }
        }
        // Sift v down until both children are not greater than it.
        std::size_t i = l;
        std::size_t j = 2 * l;
        while (j <= r) {
            if (j < r && at(j + 1) > at(j)) ++j;
            if (at(j) > v) {
                at(i) = at(j);
                i = j;
                j = 2 * j;
            } else {
                j = r + 1;
            }
        }
        at(i) = v;
    }
}

float MedianOfSorted(std::span<const float> values) {
    const std::size_t n = values.size();
    // An empty list has no middle value; 0 keeps the log and later steps defined.
    if (n == 0) return 0.0f;
    const std::size_t m = n / 2;
    // Odd count: the middle value (1-based m + 1).
    if (n % 2 == 1) return values[m];
    // Even count: the mean of the two middle values (1-based m and m + 1).
    return f32((static_cast<double>(values[m - 1]) + values[m]) * 0.5);
}

float PercentileOfSorted(std::span<const float> values, float fraction) {
    // An empty list has no element to return.
    if (values.empty()) return 0.0f;
    return values[percentilePosition(values.size(), fraction) - 1];
}

OrderStats selectOrderStatistics(std::span<float> values, float lowFraction, float highFraction) {
    OrderStats stats;
    const std::size_t n = values.size();
    if (n == 0) return stats;
    // 0-based ranks wanted: the middle one or two, and the two percentile positions.
    const std::size_t mid = n / 2;
    const std::size_t lowRank = percentilePosition(n, lowFraction) - 1;
    const std::size_t highRank = percentilePosition(n, highFraction) - 1;
    const std::array<std::size_t, 4> ranks = {lowRank, n % 2 == 0 ? mid - 1 : mid, mid, highRank};
    const std::array<float, 4> found = selectRanks(values, ranks);
    stats.low = found[0];
    stats.median = n % 2 == 1 ? found[2] : f32((static_cast<double>(found[1]) + found[2]) * 0.5);
    stats.high = found[3];
    return stats;
}

}  // namespace orvel
