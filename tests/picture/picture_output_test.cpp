// The pictures and the page of the hand-made night (test::handMadeNight) read back: PNG sizes
// and the colours at places worked out from the drawing's layout, the SVG's words and the
// report's HTML text.
#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <string>
#include <vector>

#include "observing/coordinates.h"
#include "picture/field_picture.h"
#include "picture/night_plot.h"
#include "picture/night_report.h"
#include "report/colour_weights.h"
#include "support/test_support.h"

namespace orvel {
namespace {

// A PNG file's pixels as 8-bit RGB.
struct Decoded {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    std::array<int, 3> at(int x, int y) const {
        const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

Decoded decodePng(const std::string& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Decoded out;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return out;
    image.format = PNG_FORMAT_RGB;
    out.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr)) return out;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    return out;
}

// The colour at a place within 8 levels of each component.
void expectColour(const Decoded& d, int x, int y, std::array<int, 3> colour) {
    const std::array<int, 3> got = d.at(x, y);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(got[c], colour[c], 8) << "component " << c << " at " << x << ", " << y;
}

ObservingSetup setup() {
    ObservingSetup s;
    s.latitude = angleFromLine("35,0,0", true);
    s.longitude = angleFromLine("-106,30,0", true);
    s.rightAscension = angleFromLine("9,5,0", false);
    s.declination = angleFromLine("34,30,0", true);
    return s;
}

TEST(FieldPicture, TheCropIsEnlargedWithTheFirstFramesMarks) {
    NightRecord night = test::handMadeNight();
    RingPhotometry& rings = night.frames[0].measurement->rings;
    rings.innerRadius = 2.0f;
    rings.annulusInner = 3.0f;
    rings.annulusOuter = 4.0f;
    night.selection.x1 = 24;
    night.selection.y1 = 26;
    night.selection.x2 = 27;
    night.selection.y2 = 28;
    // 24 x 20 image pixels from column 20, row 10, grey 40 but one pixel of 200.
    FieldCrop crop;
    crop.column0 = 20;
    crop.row0 = 10;
    crop.columns = 24;
    crop.rows = 20;
    crop.grey.assign(24 * 20, 40);
    crop.grey[1 * 24 + 22] = 200;
    const Decoded d = decodePng(fieldPicture(crop, night));
    // 700 / 24 points per pixel give a whole enlargement of 29: 696 wide, 56 + 20 x 29 high and
    // a strip of 36 below for the scale bar.
    ASSERT_EQ(d.width, 696);
    ASSERT_EQ(d.height, 672);
    // Crop pixel (22, 1) spans x 638..667, y 85..114; (2, 5) is plain grey.
    expectColour(d, 652, 99, {200, 200, 200});
    expectColour(d, 72, 215, {40, 40, 40});
    // The star's ring centre, image (30, 20), is crop pixel (10, 10): centred at x 304.5,
    // y 360.5. The aperture (radius 2 x 29) is red, the annulus's circles (3 and 4 x 29) cyan.
    expectColour(d, 362, 360, {255, 0, 0});
    expectColour(d, 391, 360, {0, 255, 255});
    expectColour(d, 304, 360 - 116, {0, 255, 255});
    // The background rectangle's pixels 24..27 start at x (4 x 29) = 116: its edge is orange.
    expectColour(d, 116, 560, {255, 140, 0});
    // Nothing measured, no picture.
    EXPECT_EQ(fieldPicture(crop, NightRecord{}), "");
    // A colour mosaic's band is measured in super-pixels: its ring centre (15, 10) stands for
    // frame pixel (30.5, 20.5), crop pixel (10.5, 10.5), centred at x 319, y 375; its aperture
    // of 2 super-pixels is 4 frame pixels, 116 points.
    rings.innerRadius = 2.0f;
    night.frames[0].measurement->star.brightestColumn = 15;
    night.frames[0].measurement->star.brightestRow = 10;
    night.frames[0].source.mosaic = mosaicLayout("RGGB", 0, 0);
    const Decoded bayer = decodePng(fieldPicture(crop, night));
    expectColour(bayer, 319 + 116, 375, {255, 0, 0});
    expectColour(bayer, 319, 375 - 116, {255, 0, 0});
}

TEST(NightPlot, ThePngHasItsSizeAndEachBandsLegendColour) {
    const Decoded d = decodePng(nightPlot(test::handMadeNight(), describeFit(test::handMadeNight()),
                                          setup(), PlotValue::lnSignal, PictureFormat::png));
    ASSERT_EQ(d.width, 1000);
    ASSERT_EQ(d.height, 800);
    // The legend's swatches: 26 x 4 points from x 100, 22 points apart and 15 more after each
    // doubtful band's line of reasons (red and green): at y 675, 712 and 749.
    expectColour(d, 112, 677, {255, 0, 0});
    expectColour(d, 112, 714, {0, 170, 100});
    expectColour(d, 112, 751, {0, 0, 255});
    expectColour(d, 112, 690, {255, 255, 255});
}

TEST(NightPlot, TheWindowsPixelsRingThePointConsideredAndKeepTheRemovedOneHollow) {
    const NightRecord night = test::handMadeNight();
    PlotView view;
    const Raster plain = nightPlotPixels(night, describeFit(night), setup(), view);
    ASSERT_EQ(plain.width(), 1000);
    ASSERT_EQ(plain.height(), 800);
    // The axes of the fitted and removed points: airmass 0.5 to 3.5 over x 100..970, ln signal
    // 8.5 to 11 over y 470..80. The removed g_G.fit (X 2.5, Y 10) is a hollow grey circle of
    // radius 4.5 at (680, 236), on the crossing of the grid lines of 2.5 and 10: white inside
    // (off the grid), grey on its outline.
    EXPECT_EQ(plain.pixel(678, 234), (Rgb{255, 255, 255}));
    const Rgb outline = plain.pixel(684, 236);
    EXPECT_EQ(outline.r, outline.b);
    EXPECT_NEAR(outline.r, 140, 40);
    // The middle red point, a,b_R.fit (X 2, Y 9.4375), is a filled red disc at
    // (535, 323.75); ringed, a black ring of radius 10 goes about it (left of it and under it,
    // away from its line).
    EXPECT_EQ(plain.pixel(535, 324), (Rgb{255, 0, 0}));
    EXPECT_EQ(plain.pixel(525, 324), (Rgb{255, 255, 255}));
    view.ringed = 1;
    const Raster ringed = nightPlotPixels(night, describeFit(night), setup(), view);
    EXPECT_LT(ringed.pixel(525, 324).r, 60);
    EXPECT_LT(ringed.pixel(535, 334).g, 60);
    EXPECT_EQ(ringed.pixel(535, 324), (Rgb{255, 0, 0}));
    // Half the size: the same drawing at half scale (the red swatch of the legend at 56, 338).
    view.width = 500;
    view.height = 400;
    const Raster half = nightPlotPixels(night, describeFit(night), setup(), view);
    ASSERT_EQ(half.width(), 500);
    EXPECT_EQ(half.pixel(56, 338), (Rgb{255, 0, 0}));
}

TEST(NightPlot, TheSvgLegendGivesKInBothUnits) {
    const std::string svg = nightPlot(test::handMadeNight(), describeFit(test::handMadeNight()),
                                      setup(), PlotValue::lnSignal, PictureFormat::svg);
    // Red: k 0.5 ln and 0.5 x 1.0857 = 0.5429 mag, its error d sqrt(3) = 0.0541 ln (d = 1/32),
    // 0.0588 mag; green on its line exactly; blue has no line.
    EXPECT_NE(svg.find(">RED  k = 0.5429 \u00b1 0.0588 mag/airmass (0.5000 \u00b1 0.0541 "
                       "ln/airmass), R\u00b2 0.98842, 3 frames<"),
              std::string::npos);
    EXPECT_NE(svg.find(">GREEN  k = 0.2714 \u00b1 0.0000 mag/airmass (0.2500 \u00b1 0.0000 "
                       "ln/airmass), R\u00b2 1.00000, 3 frames<"),
              std::string::npos);
    EXPECT_NE(svg.find(">BLUE  no line (0 frames)<"), std::string::npos);
    // Each band's verdict ends its row; red and green rest on three frames, fewer than five.
    // Red's residuals d, -2d, d (d = 1/32) against an error of 1/195.5 each: chi-square
    // 6 (195.5 / 32)^2 = 223.9 over one degree of freedom, a scatter sqrt(223.9) = 15.0 times.
    EXPECT_EQ(test::count(svg, ">doubtful<"), 2u);
    EXPECT_NE(svg.find(">doubtful: the scatter is 15.0 times what the noise explains (reduced "
                       "chi-square 223.9); it rests on 3 frames<"),
              std::string::npos);
    EXPECT_NE(svg.find(">doubtful: it rests on 3 frames<"), std::string::npos);
    EXPECT_EQ(test::count(svg, ">none<"), 1u);
    EXPECT_NE(svg.find(">removed (1)<"), std::string::npos);
    // h_B.fit could not be read: left out by the program, with no mark to draw.
    EXPECT_NE(svg.find(">left out by the program (1, 1 not drawn)<"), std::string::npos);
    EXPECT_NE(svg.find(">Atmospheric extinction towards RA 09h 05m 00s, Dec +34\u00b0 30\u2032 "
                       "00\u2033<"),
              std::string::npos);
    EXPECT_NE(svg.find(">Site 35\u00b0 00\u2032 00\u2033 N, 106\u00b0 30\u2032 00\u2033 W  "
                       "\u00b7  night of 2026-03-15 (UT date of the first frame)<"),
              std::string::npos);
}

TEST(NightReport, ThePageHoldsTheColourWeightsAndHowToUseThem) {
    const NightRecord night = test::handMadeNight();
    const double zenith[] = {90};
    const std::string html =
        nightReportHtml(night, describeFit(night), setup(), "", "",
                        weightRows(describeFit(night), zenith, FittedAirmass::hardie));
    // At airmass 1 red e^(10.5 - 0.5) against green e^(11 - 0.25): 0.4724; blue has no line,
    // no signal and no factor. Red, the weakest band with signal, is multiplied by 1 and green
    // by 0.4724.
    EXPECT_NE(html.find("<tr><td>90</td><td>1.0000</td><td>0.4724</td><td>1.0000</td>"
                        "<td>\u2013</td><td>1.0000</td><td>0.4724</td><td>\u2013</td></tr>"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("<th>multiply R by</th>"), std::string::npos);
    EXPECT_NE(html.find("solar-type (G2V) star"), std::string::npos);
    // Without rows there is no table.
    EXPECT_EQ(nightReportHtml(night, describeFit(night), setup(), "", "").find("Colour weights"),
              std::string::npos);
}

TEST(NightReport, ThePageHoldsTheFitTheFramesAndThePlot) {
    const std::string html = nightReportHtml(
        test::handMadeNight(), describeFit(test::handMadeNight()), setup(), "PNG!", "");
    EXPECT_NE(html.find("<tr><td>RED</td><td>0.5429 \u00b1 0.0588</td><td>0.5000 \u00b1 "
                        "0.0541</td><td>0.98842</td><td>3 / 3</td>"),
              std::string::npos);
    EXPECT_NE(html.find("<td>GREEN</td><td>0.2714 \u00b1 0.0000</td><td>0.2500 \u00b1 "
                        "0.0000</td><td>1.00000</td><td>3 / 4</td>"),
              std::string::npos);
    EXPECT_NE(html.find("<tr><td>BLUE</td><td>\u2013</td><td>\u2013</td><td>\u2013</td><td>0 / "
                        "1</td>"),
              std::string::npos);
    EXPECT_EQ(test::count(html, "; it rests on 3 frames</td></tr>"), 1u);
    EXPECT_EQ(test::count(html, "<td>doubtful: it rests on 3 frames</td></tr>"), 1u);
    // Blue has no line: no signal, no ratio, no verdict but none.
    EXPECT_NE(html.find("<td>0 / 1</td><td>\u2013</td><td>\u2013</td><td>\u2013</td><td>\u2013"
                        "</td><td>none</td></tr>"),
              std::string::npos);
    // Frame names as text; a removed frame greyed; one that could not be read, with its reason.
    EXPECT_NE(html.find("<td>c&lt;d_R.fit</td><td>R</td><td>2026-03-15 22:00:00</td><td>3.0000"
                        "</td><td>52.50</td>"),
              std::string::npos);
    EXPECT_NE(html.find("<tr class=\"out\"><td>g_G.fit</td>"), std::string::npos);
    EXPECT_NE(html.find("<td>no</td><td>its header has no END card before the end of the "
                        "file</td>"),
              std::string::npos);
    // The plot inlined ("PNG!" in base64); no field was given, so one picture.
    EXPECT_NE(html.find("src=\"data:image/png;base64,UE5HIQ==\""), std::string::npos);
    EXPECT_EQ(test::count(html, "<figure>"), 1u);
}

}  // namespace
}  // namespace orvel
