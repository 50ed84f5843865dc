#include "observing/calendar.h"

#include <gtest/gtest.h>

namespace orvel {
namespace {

TEST(Calendar, YearStartReproducesTheTableFrom1998To2022) {
    const float expected[] = {-731.5f, -366.5f, -1.5f,   364.5f,  729.5f,  1094.5f, 1459.5f,
                              1825.5f, 2190.5f, 2555.5f, 2920.5f, 3286.5f, 3651.5f, 4016.5f,
                              4381.5f, 4747.5f, 5112.5f, 5477.5f, 5842.5f, 6208.5f, 6573.5f,
                              6938.5f, 7303.5f, 7669.5f, 8034.5f};
    for (int year = 1998; year <= 2022; ++year) {
        EXPECT_EQ(yearStart(year), expected[year - 1998]) << year;
    }
}

TEST(Calendar, YearStartContinuesByTheGregorianRule) {
    EXPECT_EQ(yearStart(2023), 8399.5f);
    EXPECT_EQ(yearStart(2025), 9130.5f);  // 2024 is a leap year
    EXPECT_EQ(yearStart(2026), 9495.5f);
    // 1900 and 2100 are not leap years in the Gregorian calendar.
    EXPECT_EQ(yearStart(2101) - yearStart(2100), 365.0f);
    EXPECT_EQ(yearStart(1901) - yearStart(1900), 365.0f);
    EXPECT_EQ(yearStart(2001) - yearStart(2000), 366.0f);
    EXPECT_EQ(yearStart(1997), -1096.5f);
}

TEST(Calendar, LeapYearsByTheGregorianRule) {
    EXPECT_TRUE(isLeapYear(2000));
    EXPECT_TRUE(isLeapYear(2020));
    EXPECT_TRUE(isLeapYear(2400));
    EXPECT_FALSE(isLeapYear(2100));  // a century year not divisible by 400
    EXPECT_FALSE(isLeapYear(1900));
    EXPECT_FALSE(isLeapYear(2021));
    EXPECT_FALSE(isLeapYear(1999));
}

TEST(Calendar, MonthStarts) {
    EXPECT_EQ(monthStart(1, false), 0);
    EXPECT_EQ(monthStart(3, false), 59);
    EXPECT_EQ(monthStart(3, true), 60);
    EXPECT_EQ(monthStart(12, false), 334);
    EXPECT_EQ(monthStart(12, true), 335);
    EXPECT_FALSE(monthStart(0, false).has_value());
    EXPECT_FALSE(monthStart(13, true).has_value());
}

}  // namespace
}  // namespace orvel
