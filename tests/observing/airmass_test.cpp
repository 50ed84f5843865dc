#include "observing/airmass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "night/night_log.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::datedHeader;

ImageHeader dated(int year, int month, int day, int hour, int minute, int second) {
    return datedHeader(year, month, day, hour, minute, second);
}

ObservingSetup setup(float latitude, float longitude, float ra, float dec) {
    ObservingSetup s;
    s.latitude.value = latitude;
    s.longitude.value = longitude;
    s.rightAscension.value = ra;
    s.declination.value = dec;
    return s;
}

SkyPosition compute(const ImageHeader& h, const ObservingSetup& s,
                    std::vector<std::string>* lines = nullptr) {
    RunLog log = RunLog::inMemory();
    const SkyPosition p = computeAirmass(h, s);
    logSky(log, p);
    if (lines) *lines = test::logLines(log.contents());
    return p;
}

TEST(ObservationTime, DaysSinceJ2000) {
    const ObservingSetup any = setup(50, 10, 5, 20);
    SkyPosition p = compute(dated(2000, 1, 1, 12, 0, 0), any);
    EXPECT_EQ(p.dayNumber, 1.0f);
    EXPECT_EQ(p.daysSinceEpoch, 0.0f);
    p = compute(dated(2000, 3, 1, 0, 0, 0), any);
    EXPECT_EQ(p.dayNumber, 61.0f);
    EXPECT_EQ(p.daysSinceEpoch, 59.5f);
    EXPECT_EQ(compute(dated(2021, 3, 1, 0, 0, 0), any).dayNumber, 60.0f);
    EXPECT_EQ(compute(dated(2020, 3, 1, 0, 0, 0), any).dayNumber, 61.0f);
    // Beyond the years of the old table the count goes on.
    EXPECT_EQ(compute(dated(2026, 1, 1, 0, 0, 0), any).daysSinceEpoch, 9496.5f);
    // 2100 is no leap year: March 1 follows February 28 (days from Python's calendar).
    EXPECT_EQ(compute(dated(2100, 3, 1, 0, 0, 0), any).dayNumber, 60.0f);
    EXPECT_EQ(compute(dated(2100, 3, 1, 0, 0, 0), any).daysSinceEpoch, 36583.5f);
    EXPECT_EQ(compute(dated(2100, 2, 28, 12, 0, 0), any).daysSinceEpoch, 36583.0f);
}

// At the north pole the elevation equals the declination whatever the time.
TEST(Airmass, ElevationThirtyGivesSecantTwo) {
    std::vector<std::string> lines;
    const SkyPosition p = compute(dated(2021, 5, 4, 22, 15, 30), setup(90, 0, 3, 30), &lines);
    EXPECT_EQ(p.elevation, 30.0f);
    EXPECT_EQ(p.airmass, 1.9945003f);
    const std::vector<std::string> expected = {
        "",
        "Stellar Elevation Angle (deg) =  30 ",
        "Stellar Zenith Angle (deg) =  60 ",
        "Optical Airmass (X) =  1.9945 ",
    };
    EXPECT_EQ(lines, expected);
}

TEST(Airmass, OtherElevations) {
    EXPECT_NEAR(compute(dated(2021, 5, 4, 22, 15, 30), setup(90, 0, 3, 45)).airmass, 1.41291f,
                2e-5);
    EXPECT_NEAR(compute(dated(2021, 5, 4, 22, 15, 30), setup(90, 0, 3, 20)).airmass, 2.90392f,
                2e-5);
    EXPECT_NEAR(airmassFromElevation(45.0f), 1.41291f, 1e-5);
    EXPECT_NEAR(airmassFromElevation(20.0f), 2.90392f, 1e-5);
    EXPECT_EQ(airmassFromElevation(30.0f), 1.9945003f);
}

TEST(Airmass, ZenithAndSinesBeyondOne) {
    const SkyPosition p = compute(dated(2010, 7, 1, 0, 0, 0), setup(90, 0, 0, 90));
    EXPECT_EQ(p.elevation, 90.0f);
    EXPECT_EQ(p.zenithAngle, 0.0);
    EXPECT_EQ(p.airmass, 1.0f);
    EXPECT_EQ(elevationFromSine(1.0000001f), 90.0f);
    EXPECT_EQ(elevationFromSine(-1.0000001f), -90.0f);
    EXPECT_EQ(elevationFromSine(0.0f), 0.0f);
}

TEST(Airmass, NegativeHourAngleTurnsOnceLikeThePositiveOne) {
    const ImageHeader h = dated(2019, 11, 20, 3, 40, 0);
    // The sidereal time itself is not reduced below 360; the right ascension is chosen so that
    // the hour angle comes out as -30 and +30 degrees before its single turn.
    const double theta = compute(h, setup(40, -75, 0, 10)).siderealTime;
    const SkyPosition east = compute(h, setup(40, -75, static_cast<float>((theta + 30) / 15), 10));
    const SkyPosition west = compute(h, setup(40, -75, static_cast<float>((theta - 30) / 15), 10));
    EXPECT_NEAR(west.hourAngle, 30.0f, 0.01f);
    EXPECT_NEAR(east.hourAngle, 330.0f, 0.01f);
    EXPECT_NEAR(east.elevation, west.elevation, 0.01f);
}

TEST(Airmass, StarBelowTheHorizonStillGivesAnAirmass) {
    std::vector<std::string> lines;
    const SkyPosition p = compute(dated(2015, 1, 1, 0, 0, 0), setup(90, 0, 0, -10), &lines);
    EXPECT_NEAR(p.elevation, -10.0f, 1e-4);
    EXPECT_LT(p.airmass, 0.0f);
    EXPECT_EQ(lines[2].rfind("Stellar Zenith Angle (deg) =  100", 0), 0u) << lines[2];
}

TEST(Airmass, MonthOutsideTheCalendarGivesNaN) {
    std::vector<std::string> lines;
    const SkyPosition p = compute(dated(2021, 13, 1, 0, 0, 0), setup(50, 0, 0, 20), &lines);
    EXPECT_TRUE(std::isnan(p.airmass));
    EXPECT_TRUE(std::isnan(p.elevation));
    EXPECT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3], "Optical Airmass (X) =  0 ");
    EXPECT_TRUE(std::isnan(compute(dated(2021, 0, 1, 0, 0, 0), setup(50, 0, 0, 20)).airmass));
}

// Textbook route, written independently: Julian date, Greenwich mean sidereal time (IAU 1982
// form), hour angle, altitude, Hardie's airmass, all in double precision.
double textbookAirmass(int y, int m, int d, double ut, double lat, double lon, double raHours,
                       double dec) {
    const double rad = std::numbers::pi / 180.0;
    if (m <= 2) {
        y -= 1;
        m += 12;
    }
    const int a = y / 100;
    const int b = 2 - a + a / 4;
    const double jd = std::floor(365.25 * (y + 4716)) + std::floor(30.6001 * (m + 1)) + d + b -
                      1524.5 + ut / 24.0;
    const double t = (jd - 2451545.0) / 36525.0;
    const double gmst = 280.46061837 + 360.98564736629 * (jd - 2451545.0) + 0.000387933 * t * t -
                        t * t * t / 38710000.0;
    const double hourAngle = gmst + lon - raHours * 15.0;
    const double sinAlt = std::sin(lat * rad) * std::sin(dec * rad) +
                          std::cos(lat * rad) * std::cos(dec * rad) * std::cos(hourAngle * rad);
    const double secz = 1.0 / sinAlt;
    const double x = secz - 1.0;
    return secz - 0.0018167 * x - 0.002875 * x * x - 0.000808 * x * x * x;
}

TEST(Airmass, FrameFrom2026AgreesWithATextbookCalculation) {
    // Vega seen from 52 N, 5 E on a March morning, at several moments.
    for (const int hour : {2, 3, 4, 5}) {
        const ImageHeader h = dated(2026, 3, 10, hour, 17, 42);
        const SkyPosition p = compute(h, setup(52.0f, 5.0f, 18.6156f, 38.7837f));
        const double expected = textbookAirmass(2026, 3, 10, hour + 17 / 60.0 + 42 / 3600.0, 52.0,
                                                5.0, 18.6156, 38.7837);
        EXPECT_GT(expected, 1.0);
        EXPECT_LT(expected, 4.0);
        EXPECT_NEAR(p.airmass, expected, 0.001) << "hour " << hour;
    }
}

}  // namespace
}  // namespace orvel
