#include "observing/calendar.h"

#include <cstdint>

#include "base/numeric.h"

namespace orvel {

namespace {

// Days from 1970-01-01 to the given Gregorian date (proleptic, any year): whole 400-year eras
// of 146097 days, then the day within the era counted from March 1.
std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t shiftedMonth = month > 2 ? month - 3 : month + 9;
    const std::int64_t dayOfYear = (153 * shiftedMonth + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

}  // namespace

bool isLeapYear(int year) {
    // Gregorian rule: every fourth year, but of the century years only every fourth.
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

std::optional<int> monthStart(int month, bool leapYear) {
    if (month < 1 || month > 12) return std::nullopt;
    const auto& table = leapYear ? kLeapYearMonthStart : kCommonYearMonthStart;
    return table[static_cast<std::size_t>(month - 1)];
}

float yearStart(int year) {
    // January 0 of the year is December 31 of the year before; the epoch is half a day after
    // 0h UT on 2000 January 1.
    const std::int64_t days =
        daysFromCivil(static_cast<std::int64_t>(year) - 1, 12, 31) - daysFromCivil(2000, 1, 1);
    return f32(static_cast<double>(days) - 0.5);
}

}  // namespace orvel
