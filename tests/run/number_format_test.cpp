#include "base/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orvel {
namespace {

TEST(NumberFormat, ShortFormExamples) {
    EXPECT_EQ(formatShort(0), " 0 ");
    EXPECT_EQ(formatShort(-0.0), " 0 ");
    EXPECT_EQ(formatShort(1920), " 1920 ");
    EXPECT_EQ(formatShort(-33), "-33 ");
    EXPECT_EQ(formatShort(0.5), " .5 ");
    EXPECT_EQ(formatShort(-0.25), "-.25 ");
    EXPECT_EQ(formatShort(12.375), " 12.375 ");
    EXPECT_EQ(formatShort(1234567), " 1234567 ");
    EXPECT_EQ(formatShort(12345678), " 1.234568E+7 ");
    EXPECT_EQ(formatShort(10000000), " 1E+7 ");
    EXPECT_EQ(formatShort(0.0001234), " .0001234 ");
    EXPECT_EQ(formatShort(0.00001234), " 1.234E-5 ");
}

TEST(NumberFormat, LongFormWritesTheStoredSingleExactly) {
    EXPECT_EQ(formatLong(static_cast<double>(0.1f)), " .100000001490116 ");
    EXPECT_EQ(formatLong(12345678), " 12345678 ");
    EXPECT_EQ(formatLong(1920), " 1920 ");
}

TEST(NumberFormat, TheDigitAfterTheLastDecidesAndExactFivesGoToEven) {
    // 0.125 with 2 digits: next digit 5 exactly, 2 is even -> stays.
    EXPECT_EQ(formatNumber(0.125, 2), " .12 ");
    EXPECT_EQ(formatNumber(0.375, 2), " .38 ");
    // A five followed by more digits still rounds to even: only the next digit is looked at.
    EXPECT_EQ(formatNumber(1.2500001, 2), " 1.2 ");
    EXPECT_EQ(formatNumber(1.26, 2), " 1.3 ");
    EXPECT_EQ(formatShort(2.00000049), " 2 ");
}

TEST(NumberFormat, CarryOutOfTheFirstDigitAddsADigit) {
    EXPECT_EQ(formatShort(9999999.6), " 1E+7 ");
    EXPECT_EQ(formatShort(0.99999996), " 1 ");
    EXPECT_EQ(formatShort(99.999999), " 100 ");
}

TEST(NumberFormat, ScientificFormSwitches) {
    EXPECT_EQ(formatShort(123456789), " 1.234568E+8 ");
    EXPECT_EQ(formatShort(1e-10), " 1E-10 ");
    EXPECT_EQ(formatShort(-2.5e-8), "-2.5E-8 ");
    EXPECT_EQ(formatShort(0.001234567), " 1.234567E-3 ");
    EXPECT_EQ(formatShort(0.01234567), " 1.234567E-2 ");
    EXPECT_EQ(formatShort(0.0123456), " .0123456 ");
    EXPECT_EQ(formatShort(1e20), " 1E+20 ");
}

TEST(NumberFormat, SpecialValues) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(formatShort(inf), " 9.999999E+998 ");
    EXPECT_EQ(formatShort(-inf), "-9.999999E+998 ");
    EXPECT_EQ(formatLong(inf), " 9.99999999999999E+998 ");
    EXPECT_EQ(formatShort(std::nan("")), " 0 ");
    EXPECT_EQ(formatShort(-std::nan("")), " 0 ");
}

TEST(NumberFormat, SinglePrecisionValuesPrintAsTyped) {
    EXPECT_EQ(formatShort(static_cast<double>(0.1f)), " .1 ");
    EXPECT_EQ(formatShort(static_cast<double>(1.9945003f)), " 1.9945 ");
    EXPECT_EQ(formatShort(static_cast<double>(33.868611f)), " 33.86861 ");
}

}  // namespace
}  // namespace orvel
