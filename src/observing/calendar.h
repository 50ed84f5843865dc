// Calendar tables for the days since the epoch J2000.0.
#pragma once

#include <array>
#include <optional>

namespace orvel {

// Days of the year before the first of each month (index 0 = January).
inline constexpr std::array<int, 12> kCommonYearMonthStart = {0,   31,  59,  90,  120, 151,
                                                              181, 212, 243, 273, 304, 334};
inline constexpr std::array<int, 12> kLeapYearMonthStart = {0,   31,  60,  91,  121, 152,
                                                            182, 213, 244, 274, 305, 335};

// Leap year by the Gregorian rule: 2000 and 2024 are, 1900 and 2100 are not.
bool isLeapYear(int year);

// Days before the first of the month (1..12) in a common or leap year; empty for any other
// month.
std::optional<int> monthStart(int month, bool leapYear);

// Days from the epoch J2000.0 (JD 2451545.0, 2000 January 1, 12h UT) to 0h UT on January 0 of
// the year (December 31 of the year before), Gregorian calendar, negative before the epoch:
// 1998 gives -731.5, 2000 gives -1.5, 2022 gives 8034.5.
float yearStart(int year);

}  // namespace orvel
