#include "observing/coordinates.h"

#include "base/typed_line.h"
#include "base/numeric.h"

namespace orvel {

TypedAngle angleFromLine(std::string_view line, bool signRule) {
    TypedAngle a;
    // Each field is stored as a 32-bit value as soon as it is read.
    a.whole = f32(numericValue(field(line, 1)));
    a.minutes = f32(numericValue(field(line, 2)));
    a.seconds = f32(numericValue(field(line, 3)));
    double degrees = a.whole;
    if (signRule && a.whole < 0.0f) {
        a.sign = -1.0f;
        degrees = -degrees;
    }
    const double sixty = 60.0f;
    a.value = f32(a.sign * (degrees + (a.minutes + a.seconds / sixty) / sixty));
    return a;
}

}  // namespace orvel
