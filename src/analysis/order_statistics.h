// Sorting and order statistics: the robust levels (medians, percentiles) that reduce a set of
// pixel values to one number.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

namespace orvel {

// Sorts the values ascending in place with a heap sort (strict greater-than comparisons between
// 32-bit floats, no extra memory). Lists that may hold NaN must use this sort: where a NaN ends
// up depends on these exact comparisons. Fewer than two values are left as they are.
void SortAscending(std::span<float> values);

// Median of a list sorted by SortAscending: the middle value, or the mean of the two middle
// values for an even count. An empty list has no median and gives 0.
float MedianOfSorted(std::span<const float> values);

// The median of count values from its middle value and the one before it in ascending order
// (the same value twice for an odd count).
float medianOfMiddle(std::size_t count, float lowerMiddle, float middle);

// The value at 1-based position round(fraction x count) (halves to even, the product formed
// from the 32-bit fraction in double precision). A position below 1 takes the first value, one
// above the count the last; an empty list gives 0.
float PercentileOfSorted(std::span<const float> values, float fraction);

// 1-based position of a percentile in a list of count values: the 32-bit fraction times the
// count rounded half to even, limited to 1..count.
std::size_t percentilePosition(std::size_t count, float fraction);

// A key whose unsigned order is the order of the float values (NaN excepted): the sign bit
// flipped for positive values, all bits flipped for negative ones. -0 and +0 get different
// keys; callers that need them equal leave zeros out.
inline std::uint32_t orderKey(float v) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(v);
    return (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
}
inline float valueOfKey(std::uint32_t key) {
    const std::uint32_t bits = (key & 0x80000000u) != 0 ? key & 0x7fffffffu : ~key;
    return std::bit_cast<float>(bits);
}

// Median of a list that holds no NaN, the same value as SortAscending followed by
// MedianOfSorted, found by selection in linear time; the values are reordered in place. An
// empty list gives 0.
float selectMedian(std::span<float> values);

}  // namespace orvel
