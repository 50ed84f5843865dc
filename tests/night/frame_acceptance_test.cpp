// Which frames can take part: header facts, the pixels a file holds, and what was measured.
#include "night/frame_acceptance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/test_support.h"

namespace orvel {
namespace {

// A usable 10 x 8 16-bit frame's header with a date and time of day.
ImageHeader dated(int year, int month, int day, int hour, int minute, int second) {
    ImageHeader h = test::datedHeader(year, month, day, hour, minute, second);
    h.bitpix = 16;
    h.columns = 10;
    h.rows = 8;
    h.hasTimeOfDay = true;
    return h;
}

std::string problemOf(const ImageHeader& h) {
    return headerProblem(h, ReferenceSize{});
}

TEST(FrameAcceptance, DatesThatNameNoMomentAreLeftOut) {
    EXPECT_EQ(problemOf(dated(2026, 3, 15, 20, 0, 7)), "");
    EXPECT_EQ(problemOf(dated(2026, 4, 31, 20, 0, 0)),
              "its DATE-OBS day 31 is not a day of its month");
    EXPECT_EQ(problemOf(dated(2026, 4, 0, 20, 0, 0)),
              "its DATE-OBS day 0 is not a day of its month");
    // February 29 only in leap years, and 2100 is none.
    EXPECT_EQ(problemOf(dated(2024, 2, 29, 1, 0, 0)), "");
    EXPECT_NE(problemOf(dated(2100, 2, 29, 1, 0, 0)), "");
    EXPECT_EQ(problemOf(dated(2026, 12, 31, 23, 59, 59)), "");
    // 24:00:00 is the next day's start; a 60th second is a leap second.
    EXPECT_EQ(problemOf(dated(2026, 3, 15, 24, 0, 0)), "");
    EXPECT_EQ(problemOf(dated(2016, 12, 31, 23, 59, 60)), "");
    EXPECT_EQ(problemOf(dated(2026, 3, 15, 24, 0, 1)), "its time of day has the hour 24 ");
    EXPECT_EQ(problemOf(dated(2026, 3, 15, 25, 0, 0)), "its time of day has the hour 25 ");
    EXPECT_EQ(problemOf(dated(2026, 3, 15, 20, 60, 0)), "its time of day has the minute 60 ");
    EXPECT_EQ(problemOf(dated(2026, 3, 15, 20, 0, 61)), "its time of day has the second 61 ");
    EXPECT_EQ(problemOf(dated(2026, 13, 1, 0, 0, 0)), "its DATE-OBS month 13 is outside 1-12");
    ImageHeader noTime = dated(2026, 3, 15, 0, 0, 0);
    noTime.hasTimeOfDay = false;
    EXPECT_EQ(problemOf(noTime), "its DATE-OBS holds no time of day and it has no TIME-OBS");
}

TEST(FrameAcceptance, CubesAndCalibrationFramesAreLeftOut) {
    ImageHeader h = dated(2026, 3, 15, 20, 0, 0);
    h.planes = 3;
    EXPECT_EQ(problemOf(h), "it holds 3 image planes (NAXIS3), not one image");
    h.planes = 1;
    for (const char* type : {"Dark Frame", "DARK", "bias", "Flat Field", "MASTER FLAT", "Offset"}) {
        h.imageType = type;
        EXPECT_EQ(problemOf(h),
                  "its IMAGETYP '" + std::string(type) + "' marks a calibration frame");
    }
    for (const char* type : {"Light Frame", "LIGHT", "light", "", "Object"}) {
        h.imageType = type;
        EXPECT_EQ(problemOf(h), "") << type;
    }
}

TEST(FrameAcceptance, DataShorterThanTheImageIsLeftOut) {
    const ImageHeader h = dated(2026, 3, 15, 20, 0, 0);  // 10 x 8 pixels
    EXPECT_EQ(dataProblem(h, 80), "");
    EXPECT_EQ(dataProblem(h, 79), "its pixel data end after 79 of 80 samples");
    EXPECT_EQ(dataProblem(h, 0), "its pixel data end after 0 of 80 samples");
}

TEST(FrameAcceptance, SaturationLevelsByKeywordOrSampleFormat) {
    ImageHeader h = dated(2026, 3, 15, 20, 0, 0);
    h.bzero = 32768.0f;
    EXPECT_EQ(saturationLevel(h), 65535.0f);  // unsigned 16-bit data
    h.bzero = 0.0f;
    EXPECT_EQ(saturationLevel(h), 32767.0f);
    h.bitpix = 8;
    EXPECT_EQ(saturationLevel(h), 255.0f);
    h.bscale = 2.0f;
    h.bzero = 10.0f;
    EXPECT_EQ(saturationLevel(h), 520.0f);
    h.bitpix = -32;
    EXPECT_EQ(saturationLevel(h), std::nullopt);
    h.hasSaturate = true;
    h.saturate = 50000.0f;
    EXPECT_EQ(saturationLevel(h), 50000.0f);
}

FrameMeasurement measured(float signal, float peak, int peakCount, float elevation) {
    FrameMeasurement m;
    m.rings.integratedDC = signal;
    m.rings.peak = peak;
    m.rings.peakCount = peakCount;
    m.rings.annulusInner = 5.0f;  // 68 pixels of an area of 24 pi = 75.4
    m.rings.annulusOuter = 7.0f;
    m.rings.annulusCount = 68;
    m.sky.elevation = elevation;
    m.sky.airmass = 1.5f;
    return m;
}

// A sky annulus of fewer than 20 pixels, or of less than a third of its area, gives no sky
// level: the frame is left out with the count, before its signal is judged.
TEST(FrameAcceptance, ASkyAnnulusOfTooFewPixelsLeavesTheFrameOut) {
    const ImageHeader h = dated(2026, 3, 15, 20, 0, 0);
    FrameMeasurement m = measured(1e5f, 1000.0f, 1, 40.0f);
    m.rings.annulusInner = 3.0f;  // area 7 pi = 22: 20 pixels are enough
    m.rings.annulusOuter = 4.0f;
    m.rings.annulusCount = 20;
    EXPECT_EQ(measurementProblem(h, m), std::nullopt);
    m.rings.annulusCount = 19;
    const auto few = measurementProblem(h, m);
    ASSERT_TRUE(few);
    EXPECT_EQ(few->stage, MeasuredStage::rings);
    EXPECT_EQ(few->reason, "its sky annulus holds 19 pixels");
    // 20 to 25 pixels: area 225 pi = 706.9, a third 235.6.
    m.rings.annulusInner = 20.0f;
    m.rings.annulusOuter = 25.0f;
    m.rings.annulusCount = 236;
    EXPECT_EQ(measurementProblem(h, m), std::nullopt);
    m.rings.annulusCount = 235;
    EXPECT_EQ(measurementProblem(h, m)->reason, "its sky annulus holds 235 pixels");
    // An empty annulus leaves a sky of 0 and a signal that looks good: the annulus is the reason.
    m.rings.annulusCount = 0;
    m.rings.integratedDC = -5.0f;
    EXPECT_EQ(measurementProblem(h, m)->reason, "its sky annulus holds 0 pixels");
}

TEST(FrameAcceptance, SaturatedStarsAreLeftOut) {
    ImageHeader h = dated(2026, 3, 15, 20, 0, 0);
    h.bzero = 32768.0f;
    EXPECT_EQ(measurementProblem(h, measured(1e5f, 65534.0f, 1, 40.0f)), std::nullopt);
    const auto clipped = measurementProblem(h, measured(1e5f, 65535.0f, 1, 40.0f));
    ASSERT_TRUE(clipped);
    EXPECT_EQ(clipped->stage, MeasuredStage::rings);
    EXPECT_EQ(clipped->reason,
              "its star is saturated (a pixel of 65535 DC, at or above the saturation level "
              "65535 DC)");
    // Floating-point data without SATURATE: a flat top of three pixels at the peak.
    h.bitpix = -32;
    EXPECT_EQ(measurementProblem(h, measured(1e5f, 9e4f, 2, 40.0f)), std::nullopt);
    const auto flat = measurementProblem(h, measured(1e5f, 9e4f, 3, 40.0f));
    ASSERT_TRUE(flat);
    EXPECT_EQ(flat->reason, "its star is saturated (3 pixels at its peak of 90000 DC)");
}

// A 12-bit camera clips at 4095, or at 65520 when its counts are written times 16: a pixel
// there is a clipped top whatever the format could hold.
TEST(FrameAcceptance, StarsClippedAtTwelveBitCeilingsAreLeftOut) {
    ImageHeader h = dated(2026, 3, 15, 20, 0, 0);
    h.bzero = 32768.0f;
    EXPECT_EQ(measurementProblem(h, measured(1e5f, 4094.0f, 1, 40.0f)), std::nullopt);
    EXPECT_EQ(measurementProblem(h, measured(1e5f, 65519.0f, 1, 40.0f)), std::nullopt);
    const auto twelve = measurementProblem(h, measured(1e5f, 4095.0f, 1, 40.0f));
    ASSERT_TRUE(twelve);
    EXPECT_EQ(twelve->reason,
              "its star is saturated (a pixel of 4095 DC, the ceiling of a 12-bit camera)");
    const auto scaled = measurementProblem(h, measured(1e5f, 65520.0f, 1, 40.0f));
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->reason,
              "its star is saturated (a pixel of 65520 DC, the ceiling of a 12-bit camera)");
}

// In whole-number data a flat top of three pixels is a clipped top when it stands far above the
// sky (20 sky noises); a faint star's top pixels may share a count by chance.
TEST(FrameAcceptance, AFlatTopFarAboveTheSkyIsClippedInAnyFormat) {
    ImageHeader h = dated(2026, 3, 15, 20, 0, 0);
    h.bzero = 32768.0f;
    FrameMeasurement m = measured(1e5f, 16383.0f, 3, 40.0f);
    m.rings.skyLevel = 800.0f;
    m.rings.skyNoise = 30.0;
    const auto flat = measurementProblem(h, m);
    ASSERT_TRUE(flat);
    EXPECT_EQ(flat->reason, "its star is saturated (3 pixels at its peak of 16383 DC)");
    m.rings.peakCount = 2;
    EXPECT_EQ(measurementProblem(h, m), std::nullopt);
    // 3 pixels at 1400: 600 DC above the sky, exactly 20 noises, not beyond.
    m.rings.peakCount = 3;
    m.rings.peak = 1400.0f;
    EXPECT_EQ(measurementProblem(h, m), std::nullopt);
    m.rings.peak = 1401.0f;
    EXPECT_TRUE(measurementProblem(h, m));
}

TEST(FrameAcceptance, NoPositiveSignalOrNoStarAboveTheHorizon) {
    const ImageHeader h = dated(2026, 3, 15, 20, 0, 0);
    for (const float signal : {0.0f, -1234.0f, std::numeric_limits<float>::quiet_NaN(),
                               std::numeric_limits<float>::infinity()}) {
        const auto p = measurementProblem(h, measured(signal, 100.0f, 1, 40.0f));
        ASSERT_TRUE(p) << signal;
        EXPECT_EQ(p->stage, MeasuredStage::rings);
        EXPECT_TRUE(p->reason.starts_with("its star signal")) << p->reason;
    }
    EXPECT_EQ(measurementProblem(h, measured(1234.0f, 100.0f, 1, 3.5f)), std::nullopt);
    const auto below = measurementProblem(h, measured(1234.0f, 100.0f, 1, -2.85f));
    ASSERT_TRUE(below);
    EXPECT_EQ(below->stage, MeasuredStage::sky);
    EXPECT_EQ(below->reason,
              "the star is at or below the horizon at its time (elevation -2.85 degrees)");
    EXPECT_TRUE(measurementProblem(h, measured(1234.0f, 100.0f, 1, 0.0f)));
}

// Hardie's polynomial gives no airmass below 3 degrees: those frames are left out, and so is
// any airmass outside 1 to 40.
TEST(FrameAcceptance, FramesWhereTheAirmassFormulaFailsAreLeftOut) {
    const ImageHeader h = dated(2026, 3, 15, 20, 0, 0);
    FrameMeasurement m = measured(1234.0f, 100.0f, 1, 3.0f);
    m.sky.airmass = 13.3f;
    EXPECT_EQ(measurementProblem(h, m), std::nullopt);
    m.sky.elevation = 2.99f;
    const auto low = measurementProblem(h, m);
    ASSERT_TRUE(low);
    EXPECT_EQ(low->stage, MeasuredStage::sky);
    EXPECT_EQ(low->reason,
              "the star was 2.99 degrees high, below 3 degrees where the airmass formula fails");
    m.sky.elevation = 1.37f;
    m.sky.airmass = -17.7f;
    EXPECT_EQ(measurementProblem(h, m)->reason,
              "the star was 1.37 degrees high, below 3 degrees where the airmass formula fails");
    // Pickering's formula holds to the horizon; its airmass still has to be one.
    m.precise = PreciseSky{2460000.0, 2.0, 25.0};
    EXPECT_EQ(measurementProblem(h, m), std::nullopt);
    m.precise = PreciseSky{2460000.0, 1.0, 40.5};
    EXPECT_EQ(measurementProblem(h, m)->reason, "its airmass 40.5 lies outside 1 to 40");
    m.precise.reset();
    m.sky.elevation = 40.0f;
    m.sky.airmass = 0.99f;
    EXPECT_EQ(measurementProblem(h, m)->reason, "its airmass .99 lies outside 1 to 40");
}

}  // namespace
}  // namespace orvel
