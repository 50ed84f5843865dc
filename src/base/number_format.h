// The text form of every number the program writes to the log or the console.
#pragma once

#include <string>

namespace orvel {

// Writes x with p significant digits: a sign position (blank or '-'), the digits in fixed or
// scientific form, and one trailing blank. Zero and NaN give " 0 ".
std::string formatNumber(double x, int precision);

// Single-precision number format (7 significant digits): log numbers and console numbers.
inline std::string formatShort(double x) { return formatNumber(x, 7); }

// The single-precision form between single blanks whatever the sign, for numbers inside a
// sentence: " -2.85 ", " 0 ", " 65535 ".
std::string formatSpaced(double x);

// Double-precision number format (15 significant digits).
inline std::string formatLong(double x) { return formatNumber(x, 15); }

}  // namespace orvel
