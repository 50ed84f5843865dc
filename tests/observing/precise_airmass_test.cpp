#include "observing/precise_airmass.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/test_support.h"

namespace orvel {
namespace {

ObservingSetup typed(float latD, float lonD, float raH, float raM, float decD, float decM) {
    ObservingSetup s;
    s.latitude.whole = latD;
    s.longitude.whole = std::fabs(lonD);
    s.longitude.sign = lonD < 0 ? -1.0f : 1.0f;
    s.rightAscension.whole = raH;
    s.rightAscension.minutes = raM;
    s.declination.whole = decD;
    s.declination.minutes = decM;
    return s;
}

// Worked by hand from Pickering's formula: at 0 degrees 1 / sin(244/165 degrees); at 30
// degrees 30^1.1 = 42.171, the lift 244 / 2147.0 = 0.11365 degrees.
TEST(PreciseAirmass, PickeringHoldsToTheHorizon) {
    EXPECT_NEAR(pickeringAirmass(0.0), 38.7494, 1e-3);
    EXPECT_NEAR(pickeringAirmass(30.0), 1.993154, 1e-5);
    EXPECT_NEAR(pickeringAirmass(90.0), 1.0, 1e-6);
    EXPECT_TRUE(std::isnan(pickeringAirmass(-0.5)));
    // Monotonic and finite all the way down, where a polynomial in sec z turns over.
    for (double e = 0.5; e < 90.0; e += 0.5)
        EXPECT_GT(pickeringAirmass(e - 0.5), pickeringAirmass(e));
}

TEST(PreciseAirmass, TheMiddleOfTheExposure) {
    ImageHeader h = test::datedHeader(2026, 3, 16, 4, 0, 0);
    h.hasExposure = true;
    h.exposure = 300.0f;
    EXPECT_DOUBLE_EQ(secondsToMidExposure(h, TimeReference::start), 150.0);
    EXPECT_DOUBLE_EQ(secondsToMidExposure(h, TimeReference::middle), 0.0);
    EXPECT_DOUBLE_EQ(secondsToMidExposure(h, TimeReference::end), -150.0);
    h.hasExposure = false;
    EXPECT_DOUBLE_EQ(secondsToMidExposure(h, TimeReference::start), 0.0);
}

// astropy 5.2 (ICRS star 9h05m +34d30m, site 35 N 106.5 W at sea level, 1013.25 hPa, 10 C,
// 0.55 micrometres, UT1 = UTC): altitude 89.370119 degrees at 2026-03-16T04:38:21 UTC.
TEST(PreciseAirmass, AgreesWithAstropyAtOneMoment) {
    ImageHeader h = test::datedHeader(2026, 3, 16, 4, 35, 51);
    h.hasExposure = true;
    h.exposure = 300.0f;
    const auto sky = computePreciseAirmass(h, typed(35, -106.5f, 9, 5, 34, 30), {});
    ASSERT_TRUE(sky);
    EXPECT_NEAR(sky->elevation, 89.370119, 0.005);
    EXPECT_NEAR(sky->julianDate, 2461115.6933, 1e-4);
    EXPECT_DOUBLE_EQ(sky->airmass, pickeringAirmass(sky->elevation));
}

TEST(PreciseAirmass, RefractionLiftsTheStar) {
    ImageHeader h = test::datedHeader(2026, 3, 16, 10, 30, 0);
    const ObservingSetup s = typed(35, -106.5f, 9, 5, 34, 30);
    PreciseAirmassSettings none;
    none.pressureHpa = 0.0;
    const double lifted = computePreciseAirmass(h, s, {})->elevation;
    const double plain = computePreciseAirmass(h, s, none)->elevation;
    // About one arcminute at 45 degrees, more lower down.
    EXPECT_GT(lifted - plain, 0.5 / 60.0);
    EXPECT_LT(lifted - plain, 10.0 / 60.0);
}

TEST(PreciseAirmass, TheLogLineNamesTheChoices) {
    PreciseAirmassSettings s;
    EXPECT_EQ(describePreciseAirmass(s),
              "Airmass fitted = precise (ERFA, J2000 coordinates, mid-exposure with DATE-OBS at "
              "the exposure start, refraction at 1013.25 hPa and 10 C, Pickering 2002 airmass)");
    s.equinox = Equinox::ofDate;
    s.pressureHpa = 0.0;
    s.stamp = TimeReference::middle;
    EXPECT_EQ(describePreciseAirmass(s),
              "Airmass fitted = precise (ERFA, coordinates of date, mid-exposure with DATE-OBS at "
              "the exposure middle, no refraction, Pickering 2002 airmass)");
}

}  // namespace
}  // namespace orvel
