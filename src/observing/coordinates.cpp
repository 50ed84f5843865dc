#include "observing/coordinates.h"

#include <cmath>

#include "base/number_format.h"
#include "base/numeric.h"
#include "base/typed_line.h"

namespace orvel {

TypedAngle angleFromLine(std::string_view line, bool signRule) {
    TypedAngle a;
    // Each field is stored as a 32-bit value as soon as it is read.
    a.whole = f32(numericValue(field(line, 1)));
    a.minutes = f32(numericValue(field(line, 2)));
    a.seconds = f32(numericValue(field(line, 3)));
    double degrees = a.whole;
    // The sign bit keeps the minus of a typed "-0": a place just south or west of zero.
    if (signRule && std::signbit(a.whole)) {
        a.sign = -1.0f;
        degrees = -degrees;
    }
    const double sixty = 60.0f;
    a.value = f32(a.sign * (degrees + (a.minutes + a.seconds / sixty) / sixty));
    return a;
}

std::string wholeText(const TypedAngle& a) {
    // The number form writes every zero as " 0 ": a negative zero keeps its minus here.
    if (a.whole == 0.0f && a.sign < 0.0f) return "-0 ";
    return formatShort(a.whole);
}

std::string angleFault(const TypedAngle& a, const AngleLimits& limits) {
    const auto inSixty = [](float v) { return v >= 0.0f && v <= 60.0f; };
    if (!inSixty(a.minutes) || !inSixty(a.seconds)) return "has minutes or seconds outside 0 to 60";
    if (!(a.value >= limits.low && a.value <= limits.high))
        return std::string("lies outside ") + limits.range;
    return {};
}

}  // namespace orvel
