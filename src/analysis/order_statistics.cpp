#include "analysis/order_statistics.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "base/numeric.h"

namespace orvel {

std::size_t percentilePosition(std::size_t count, float fraction) {
    // The 32-bit fraction times the count, rounded half to even: 150 x 0.01f lies below 1.5.
    const std::int64_t position =
        toInteger(static_cast<double>(fraction) * static_cast<double>(count));
    if (position < 1) return 1;
    if (static_cast<std::size_t>(position) > count) return count;
    return static_cast<std::size_t>(position);
}

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
    // The middle value (1-based m + 1), with the one before it (1-based m) for an even count.
    return medianOfMiddle(n, values[n % 2 == 1 ? m : m - 1], values[m]);
}

float medianOfMiddle(std::size_t count, float lowerMiddle, float middle) {
    // Odd count: the middle value; even count: the mean of the two middle values.
    return count % 2 == 1 ? middle : f32((static_cast<double>(lowerMiddle) + middle) * 0.5);
}

float PercentileOfSorted(std::span<const float> values, float fraction) {
    // An empty list has no element to return.
    if (values.empty()) return 0.0f;
    return values[percentilePosition(values.size(), fraction) - 1];
}

float selectMedian(std::span<float> values) {
    const std::size_t n = values.size();
    if (n == 0) return 0.0f;
    // The key order is a strict order on every value but NaN, so the value at each rank is
    // the one a sort would put there.
    const auto keyLess = [](float a, float b) { return orderKey(a) < orderKey(b); };
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(n / 2);
    std::nth_element(values.begin(), middle, values.end(), keyLess);
    if (n % 2 == 1) return *middle;
    // Everything before the middle is not above it: the lower middle value is their largest.
    return medianOfMiddle(n, *std::max_element(values.begin(), middle, keyLess), *middle);
}

}  // namespace orvel
