#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/number_format.h"
#include "fit/band_regression.h"
#include "platform/scripted_console.h"
#include "report/fit_report.h"
#include "support/test_support.h"

namespace orvel {
namespace {

// A measured frame of band 1 (red), 2 (green) or 3 (blue) with its airmass and magnitude value.
FrameRecord observation(int band, float airmass, float magnitude, int included = 1) {
    FrameRecord o;
    o.band = bandFromCode(band).value();
    FrameMeasurement m;
    m.sky.airmass = airmass;
    m.rings.magnitude = magnitude;
    o.measurement = m;
    o.state = included == 1 ? FrameState::measured : FrameState::leftOut;
    return o;
}

NightRecord nightOf(std::vector<FrameRecord> frames, std::array<int, 3> counts,
                    std::array<BandFit, 3> fits = {}) {
    NightRecord night;
    night.frames = std::move(frames);
    night.bandCounts = counts;
    night.fits = fits;
    return night;
}

struct Report {
    std::vector<std::string> log;
    std::string console;
    std::array<BandFit, 3> fits{};
};

Report report(const std::vector<FrameRecord>& obs, std::array<int, 3> counts,
              std::array<BandFit, 3> fits = {}) {
    RunLog log = RunLog::inMemory();
    ScriptedConsole console;
    NightRecord night = nightOf(obs, counts, fits);
    reportFit(fitNight(night), log, console);
    return {test::logLines(log.contents()), console.transcript(), night.fits};
}

std::string f(double x) {
    return formatShort(x);
}

TEST(BandRegression, ThreePointsOnALine) {
    const Report r =
        report({observation(1, 1, 10), observation(1, 2, 9), observation(1, 3, 8)}, {3, 0, 0});
    EXPECT_EQ(r.fits[0].slope, -1.0f);
    EXPECT_EQ(r.fits[0].intercept, 11.0f);
    EXPECT_EQ(r.fits[0].r2, 1.0f);
    EXPECT_EQ(r.fits[0].analysed, 3);
    EXPECT_EQ(r.fits[0].files, 3);
    const float y1 = static_cast<float>(std::exp(10.0));
    const float y0 = static_cast<float>(std::exp(11.0));
    const std::vector<std::string> expected = {
        "",
        "----------  FINAL RESULTS  --------------------",
        "",
        "Extinction Coefficients:",
        "    RED =  1   # Files =  3   # Analyzed =  3 ",
        "",
        "Regression parameters-",
        "   RED Slope = -1    Y-Intercept (Mag) =  11    R2 =  1 ",
        " GREEN Slope =  0    Y-Intercept (Mag) =  0    R2 =  0 ",
        "  BLUE Slope =  0    Y-Intercept (Mag) =  0    R2 =  0 ",
        "",
        "One-atmosphere Results (optical thickness X=1)-",
        "   RED    Y at X=1 (ADUs) = " + f(y1) + "   Ratio =  1 ",
        " GREEN    Y at X=1 (ADUs) =  1    Ratio = " + f(static_cast<float>(1.0 / y1)),
        "  BLUE    Y at X=1 (ADUs) =  1    Ratio = " + f(static_cast<float>(1.0 / y1)),
        "",
        "Exoatmospheric Results (optical thickness X=0)-",
        "   RED    Y at X=0 (ADUs) = " + f(y0) + "   Ratio =  1 ",
        " GREEN    Y at X=0 (ADUs) =  1    Ratio = " + f(static_cast<float>(1.0 / y0)),
        "  BLUE    Y at X=0 (ADUs) =  1    Ratio = " + f(static_cast<float>(1.0 / y0)),
    };
    EXPECT_EQ(r.log, expected);
    EXPECT_EQ(r.log[12], "   RED    Y at X=1 (ADUs) =  22026.46    Ratio =  1 ");
    const std::string console =
        "\nExtinction Coefficients:\n"
        "    RED =  1   # Files =  3   # Analyzed =  3   R2 =  1 \n"
        "\nBand Ratios (equivalent to Weight Factors for G2V stars)-\n"
        "   RED =  1 \n"
        // The bands without a line have no ratio on the console (the log keeps the described
        // lines above).
        " GREEN = \u2013\n"
        "  BLUE = \u2013\n"
        // k = 1 ln/airmass is 2.5 / ln 10 = 1.0857 mag/airmass; a line through every point has
        // no error.
        "\nRED    k = 1.0857 \u00b1 0.0000 mag/airmass (1.0000 ln/airmass), R2 1.00000, 3 frames\n"
        "The band ratios above are at airmass 1; at airmass 0 (above the atmosphere): RED 1, "
        "GREEN \u2013, BLUE \u2013\n"
        // Three frames are fewer than the five a good verdict needs.
        "RED    verdict: doubtful (it rests on 3 frames)\n";
    EXPECT_EQ(r.console, console);
}

TEST(BandRegression, BandsAreTakenByTheirFramesAndRemovedPointsDropOut) {
    const std::vector<FrameRecord> obs = {
        observation(1, 1.0f, 10.0f), observation(1, 2.0f, 9.5f),
        observation(1, 3.0f, 9.0f),  observation(2, 1.2f, 11.0f),
        observation(2, 2.2f, 10.0f), observation(2, 9.0f, 1.0f, 0),  // removed by the user
        observation(3, 1.5f, 9.0f),  observation(3, 2.5f, 8.8f)};
    const Report r = report(obs, {3, 3, 2});
    EXPECT_FLOAT_EQ(r.fits[0].slope, -0.5f);
    EXPECT_FLOAT_EQ(r.fits[1].slope, -1.0f);
    EXPECT_FLOAT_EQ(r.fits[1].intercept, 12.2f);
    EXPECT_NEAR(r.fits[2].slope, -0.2f, 1e-6);
    EXPECT_EQ(r.fits[1].analysed, 2);
    EXPECT_EQ(r.fits[1].files, 3);
    EXPECT_EQ(r.log[5], "  GREEN =  1   # Files =  3   # Analyzed =  2 ");
    EXPECT_EQ(r.log[6].rfind("   BLUE = ", 0), 0u);
    // The green line at airmass 1 is the brightest: e^11.2 against e^9.5 and e^9.1.
    const BandSignals s = deriveSignals(r.fits);
    EXPECT_EQ(s.oneAirmassRatio[1], 1.0f);
    EXPECT_EQ(s.exoatmosphericRatio[1], 1.0f);
    EXPECT_NE(r.console.find(" GREEN =  1 \n"), std::string::npos);
}

TEST(BandRegression, ExoatmosphericRatiosTakeTheirOwnMaximum) {
    // Red is brighter at airmass 1, blue (steeper) outside the atmosphere.
    const std::vector<FrameRecord> obs = {observation(1, 1, 10.0f), observation(1, 2, 9.9f),
                                          observation(3, 1, 9.8f), observation(3, 2, 9.0f)};
    const Report r = report(obs, {2, 0, 2});
    const BandSignals s = deriveSignals(r.fits);
    EXPECT_EQ(s.oneAirmassRatio[0], 1.0f);
    EXPECT_EQ(s.exoatmosphericRatio[2], 1.0f);
    EXPECT_LT(s.exoatmosphericRatio[0], 1.0f);
}

TEST(BandRegression, BandWithoutFilesKeepsZeroesAndWritesNoCoefficientLine) {
    std::array<BandFit, 3> before{};
    const Report r = report({observation(1, 1, 10), observation(1, 2, 9), observation(2, 1, 8),
                             observation(2, 2, 7.5f)},
                            {2, 2, 0}, before);
    EXPECT_EQ(r.log[4].rfind("    RED = ", 0), 0u);
    EXPECT_EQ(r.log[5].rfind("  GREEN = ", 0), 0u);
    EXPECT_EQ(r.log[6], "");
    EXPECT_EQ(r.log[10], "  BLUE Slope =  0    Y-Intercept (Mag) =  0    R2 =  0 ");
    EXPECT_EQ(r.log[15].rfind("  BLUE    Y at X=1 (ADUs) =  1 ", 0), 0u);
    EXPECT_EQ(r.log[20].rfind("  BLUE    Y at X=0 (ADUs) =  1 ", 0), 0u);
    EXPECT_EQ(r.console.find("   BLUE = "), std::string::npos);
    EXPECT_EQ(r.fits[2].slope, 0.0f);
    EXPECT_EQ(r.fits[2].intercept, 0.0f);
    EXPECT_EQ(r.fits[2].r2, 0.0f);
    EXPECT_EQ(r.fits[2].files, 0);
}

TEST(BandRegression, DegenerateBandsGiveNaNWithoutStopping) {
    // One point only, and a band whose every point was removed.
    const Report r = report(
        {observation(1, 1.5f, 10), observation(2, 1, 9, 0), observation(2, 2, 8, 0)}, {1, 2, 0});
    EXPECT_TRUE(std::isnan(r.fits[0].slope));
    EXPECT_TRUE(std::isnan(r.fits[0].r2));
    EXPECT_EQ(r.fits[1].analysed, 0);
    EXPECT_TRUE(std::isnan(r.fits[1].intercept));
    EXPECT_EQ(r.log[4], "    RED =  0   # Files =  1   # Analyzed =  1 ");
    EXPECT_EQ(r.log[5], "  GREEN =  0   # Files =  2   # Analyzed =  0 ");
    EXPECT_EQ(r.log[13], "   RED    Y at X=1 (ADUs) =  0    Ratio =  0 ");
    EXPECT_EQ(r.log[14], " GREEN    Y at X=1 (ADUs) =  0    Ratio =  0 ");
    // Blue (no files) has signal 1 and is the largest.
    EXPECT_EQ(r.log[15], "  BLUE    Y at X=1 (ADUs) =  1    Ratio =  1 ");
    // Only zero signals: the ratios are 0 / 0.
    const Report none = report({observation(1, 1.5f, 10)}, {1, 0, 0},
                               {BandFit{}, BandFit{0, NAN, 0, 0, 1}, BandFit{NAN, 0, 0, 0, 1}});
    EXPECT_TRUE(std::isnan(deriveSignals(none.fits).oneAirmassRatio[0]));
}

TEST(BandRegression, EveryCallAppendsAWholeBlockAndOnlyTheBandsFramesAreFitted) {
    RunLog log = RunLog::inMemory();
    ScriptedConsole console;
    NightRecord night =
        nightOf({observation(1, 1, 10), observation(1, 2, 9), observation(1, 3, 8)}, {3, 0, 0});
    reportFit(fitNight(night), log, console);
    removeFrame(night, 2);
    reportFit(fitNight(night), log, console);
    const std::vector<std::string> lines = test::logLines(log.contents());
    ASSERT_EQ(lines.size(), 40u);
    EXPECT_EQ(lines[24], "    RED =  1   # Files =  3   # Analyzed =  2 ");
    // More files claimed than frames held: only the frames of each band are fitted.
    night.bandCounts = {2, 5, 7};
    reportFit(fitNight(night), log, console);
    EXPECT_EQ(night.fits[0].analysed, 2);
    EXPECT_EQ(night.fits[1].analysed, 0);
    EXPECT_EQ(night.fits[2].analysed, 0);
}

}  // namespace
}  // namespace orvel

namespace orvel {
namespace {

TEST(SlopeStandardError, FromTheResidualsWithTwoDegreesOfFreedomLess) {
    const std::vector<FitPoint> points = {{1, 10.0f}, {2, 9.6f}, {3, 9.0f}, {4, 8.9f}};
    const BandFit fit = fitBand(points, 4);
    EXPECT_NEAR(fit.slope, -0.39, 1e-6);
    // Worked apart from the residuals: |b| sqrt((1/R2 - 1) / (n - 2)) with R2 = 0.9417957.
    EXPECT_NEAR(slopeStandardError(points, fit), 0.0685565, 2e-6);
    // Fewer than three points leave no residual to judge by.
    EXPECT_TRUE(std::isnan(slopeStandardError(std::span(points).first(2), fit)));
}

}  // namespace
}  // namespace orvel
