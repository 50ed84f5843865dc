#include <gtest/gtest.h>

#include <cmath>

#include "fit/extinction_units.h"
#include "picture/canvas.h"
#include "picture/night_report.h"
#include "picture/plot_axes.h"

namespace orvel {
namespace {

TEST(PlotAxes, RangeHoldsEveryPointWithAMarginOnRoundTicks) {
    // Airmass 1.0 to 2.9: a margin of 0.095 each side, 8 ticks want 0.26, rounded up to 0.5.
    const AxisScale a = roundedAxis(1.0, 2.9, 8);
    EXPECT_DOUBLE_EQ(a.step, 0.5);
    EXPECT_DOUBLE_EQ(a.from, 0.5);
    EXPECT_DOUBLE_EQ(a.to, 3.0);
    EXPECT_EQ(tickValues(a).size(), 6u);
    // A point exactly on the range's edge is not left there: 12.0 to 12.4 opens to 11.98..12.42.
    const AxisScale b = roundedAxis(12.0, 12.4, 6);
    EXPECT_DOUBLE_EQ(b.step, 0.1);
    EXPECT_NEAR(b.from, 11.9, 1e-12);
    EXPECT_NEAR(b.to, 12.5, 1e-12);
    // One value alone still gets an axis about it.
    const AxisScale c = roundedAxis(5.0, 5.0, 4);
    EXPECT_LT(c.from, 5.0);
    EXPECT_GT(c.to, 5.0);
}

TEST(PlotAxes, TickTextHasTheDecimalsOfTheStep) {
    EXPECT_EQ(tickText(1.5, 0.5), "1.5");
    EXPECT_EQ(tickText(10, 5), "10");
    EXPECT_EQ(tickText(-1e-17, 0.01), "0.00");
    EXPECT_EQ(tickText(-0.02, 0.01), "-0.02");
    EXPECT_EQ(fixedText(NAN, 4), "\u2013");
}

TEST(ColourWeights, TheLargestSignalOnTheLinesIsOne) {
    // Red: ln 2 flat; green: ln 4 - ln 2 X; blue: a line that does not exist.
    std::array<BandFit, 3> fits{};
    fits[0].intercept = static_cast<float>(std::log(2.0));
    fits[1].intercept = static_cast<float>(std::log(4.0));
    fits[1].slope = static_cast<float>(-std::log(2.0));
    fits[2].slope = NAN;
    const auto at1 = colourWeights(fits, 1.0);
    EXPECT_NEAR(at1[0], 1.0, 1e-6);
    EXPECT_NEAR(at1[1], 1.0, 1e-6);
    EXPECT_EQ(at1[2], 0.0);
    const auto at2 = colourWeights(fits, 2.0);
    EXPECT_NEAR(at2[0], 1.0, 1e-6);
    EXPECT_NEAR(at2[1], 0.5, 1e-6);
    EXPECT_NEAR(kMagnitudesPerLn, 2.5 / std::log(10.0), 1e-15);
}

TEST(NightReport, Base64AsRfc4648) {
    EXPECT_EQ(base64("Man"), "TWFu");
    EXPECT_EQ(base64("Ma"), "TWE=");
    EXPECT_EQ(base64("M"), "TQ==");
    EXPECT_EQ(base64(std::string("\xff\x00\x10", 3)), "/wAQ");
    EXPECT_EQ(base64(""), "");
}

TEST(Canvas, FormatByTheNamesEnding) {
    EXPECT_EQ(pictureFormatOf("a.PNG"), PictureFormat::png);
    EXPECT_EQ(pictureFormatOf("dir.x/a.svg"), PictureFormat::svg);
    EXPECT_EQ(pictureFormatOf("a.Pdf"), PictureFormat::pdf);
    EXPECT_EQ(pictureFormatOf("a.bmp"), std::nullopt);
    EXPECT_EQ(pictureFormatOf("png"), std::nullopt);
}

TEST(Canvas, SvgKeepsItsWordsAsEscapedText) {
    Canvas c(PictureFormat::svg, 200, 100);
    c.text({"R\u00b2 < 1 & k", 10, 20, 12});
    const std::string svg = c.finish();
    EXPECT_NE(svg.find(">R\u00b2 &lt; 1 &amp; k</text>"), std::string::npos);
    EXPECT_EQ(svg.rfind("</svg>"), svg.size() - 7);  // the layer sits inside the root element
}

}  // namespace
}  // namespace orvel
