// Numeric conventions shared by every measurement: values are stored as 32-bit floats,
// expressions are evaluated in double precision, conversions to integers round half to even,
// and IEEE special values flow on instead of trapping.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace orvel {

// The median of the values: the middle one, or the mean of the two middle ones for an even
// count; 0 for none. Found by selection, in linear time.
inline double medianOf(std::vector<double> v) {
    if (v.empty()) return 0.0;
    const std::size_t n = v.size();
    const auto middle = v.begin() + static_cast<std::ptrdiff_t>(n / 2);
    std::nth_element(v.begin(), middle, v.end());
    const double upper = *middle;
    if (n % 2 == 1) return upper;
    return 0.5 * (*std::max_element(v.begin(), middle) + upper);
}

// Rounds an expression evaluated in higher precision to the stored 32-bit value.
inline float f32(double x) {
    return static_cast<float>(x);
}

// Nearest whole number, halves to even (default rounding mode), as a double.
inline double roundHalfEven(double x) {
    return std::nearbyint(x);
}

// Nearest integer, halves to even. NaN gives 0; values beyond the range saturate, so a
// conversion never has undefined behaviour.
inline std::int64_t toInteger(double x) {
    if (std::isnan(x)) return 0;
    const double r = std::nearbyint(x);
    if (r >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
    if (r <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(r);
}

// Like toInteger, limited to the int range (pixel indices, radii, counts).
inline int toInt(double x) {
    const std::int64_t v = toInteger(x);
    if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

// Truncation toward zero, saturating; NaN gives 0.
inline int truncToInt(double x) {
    if (std::isnan(x)) return 0;
    const double t = std::trunc(x);
    if (t >= 2147483647.0) return std::numeric_limits<int>::max();
    if (t <= -2147483648.0) return std::numeric_limits<int>::min();
    return static_cast<int>(t);
}

// Integer division: both operands rounded (halves to even), quotient truncated toward zero.
// A zero divisor gives 0 rather than trapping.
inline std::int64_t integerDivide(double a, double b) {
    const std::int64_t ia = toInteger(a);
    const std::int64_t ib = toInteger(b);
    if (ib == 0) return 0;
    if (ib == -1) return ia == std::numeric_limits<std::int64_t>::min() ? ia : -ia;
    return ia / ib;
}

// Square root that returns a negative argument unchanged (reported as is, never NaN).
inline double safeSqrt(double x) {
    return x < 0.0 ? x : std::sqrt(x);
}

// Natural logarithm that gives 0 for zero, negative or NaN arguments.
inline double safeLog(double x) {
    return (x > 0.0) ? std::log(x) : 0.0;
}

// Exponential that gives 0 for infinite or NaN arguments.
inline double safeExp(double x) {
    return std::isfinite(x) ? std::exp(x) : 0.0;
}

}  // namespace orvel
