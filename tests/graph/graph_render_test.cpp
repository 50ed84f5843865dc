// The graph: ranges over the measured frames, plot positions, the fitted lines' ends, the point
// nearest a click, what is drawn, and the PNG file bytes.
#include "graph/graph_render.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "graph/graph_file.h"
#include "platform/scripted_window.h"

namespace orvel {
namespace {

FrameRecord frame(Band band, float airmass, float magnitude, bool included = true) {
    FrameRecord f;
    f.band = band;
    FrameMeasurement m;
    m.sky.airmass = airmass;
    m.rings.magnitude = magnitude;
    f.measurement = m;
    f.state = included ? FrameState::measured : FrameState::leftOut;
    return f;
}

// Two red points, one green, one green frame measured but left out (a saturated star, say) and
// one blue frame that could not be measured: only the included frames set the ranges.
NightRecord smallNight() {
    NightRecord night;
    night.frames = {frame(Band::red, 1.2f, 10.0f), frame(Band::red, 2.0f, 9.8f),
                    frame(Band::green, 1.5f, 9.0f), frame(Band::green, 3.4f, 8.0f, false)};
    FrameRecord unusable;
    unusable.band = Band::blue;
    night.frames.push_back(unusable);
    night.bandCounts = {2, 2, 1};
    return night;
}

TEST(GraphRanges, AxesFromOneAirmassAndATenthAboutTheMagnitudes) {
    const GraphRanges g = graphRanges(smallNight());
    EXPECT_EQ(g.smallestAirmass, 1.2f);
    // The frame left out at airmass 3.4 and magnitude 8.0 takes no part.
    EXPECT_EQ(g.largestAirmass, 2.0f);
    EXPECT_EQ(g.xFrom, 1.0f);
    EXPECT_EQ(g.xTo, 3.0f);  // 1 + whole part of 2.0
    // 9.0 - 0.1 and 10.0 + 0.1, each the nearest 32-bit value.
    EXPECT_EQ(g.yFrom, 8.9f);
    EXPECT_EQ(g.yTo, 10.1f);
    RunLog log = RunLog::inMemory();
    logGraphRanges(log, g);
    EXPECT_EQ(log.contents(),
              "\r\nFor graphing array-\r\n"
              "  Columns =  640   Min X Value =  1   Max X Value =  3 \r\n"
              "     Rows =  480   Min Y Value =  8.9   Max Y Value =  10.1 \r\n");
}

TEST(GraphRanges, PositionsAndLineEndsInPlotPixels) {
    const NightRecord night = smallNight();
    const GraphRanges g = graphRanges(night);
    const std::vector<PlotPoint> p = plotPositions(night, g);
    ASSERT_EQ(p.size(), 5u);
    // Airmass 1.2 of 1..3 across 640 pixels; magnitude 10.0 of 8.9..10.1 up 480 pixels.
    EXPECT_NEAR(p[0].x, 64, 1e-3);
    EXPECT_NEAR(p[0].y, 440, 1e-3);
    // The frame left out lies outside the plot, where it is not drawn.
    EXPECT_NEAR(p[3].x, 768, 1e-3);
    EXPECT_NEAR(p[3].y, -360, 1e-3);
    std::array<BandFit, 3> fits{};
    fits[0].slope = -0.25f;
    fits[0].intercept = 10.3f;
    const std::array<LineEnds, 3> lines = lineEndPoints(fits, g);
    // Every line spans the airmass range of all included frames: 1.2 to 2.0, where the red
    // line has magnitude 10.0 and 9.8.
    EXPECT_NEAR(lines[0].start.x, 64, 1e-3);
    EXPECT_NEAR(lines[0].start.y, 440, 1e-3);
    EXPECT_NEAR(lines[0].end.x, 320, 1e-3);
    EXPECT_NEAR(lines[0].end.y, 360, 2e-3);
    // A band with a zero line sits at magnitude 0, far below the plot.
    EXPECT_NEAR(lines[2].start.y, -8.9 / 1.2 * 480, 1e-2);
}

TEST(NearestPoint, TheIncludedPointOfTheBandNearestTheClickTiesToTheEarlier) {
    NightRecord night = smallNight();
    night.frames.push_back(frame(Band::red, 1.0f, 1.0f));
    const std::vector<PlotPoint> p = {{100, 100}, {120, 100}, {110, 101}, {110, 100},
                                      {0, 0},     {300, 300}};
    // Frames 0 and 1 are 10 pixels from the click; the earlier is offered.
    EXPECT_EQ(nearestPoint(night, p, Band::red, 110, 100), 0u);
    EXPECT_EQ(nearestPoint(night, p, Band::red, 111, 100), 1u);
    // Green: frame 3 sits on the click but is left out, so frame 2 is offered.
    EXPECT_EQ(nearestPoint(night, p, Band::green, 110, 100), 2u);
    // Far away from everything, the nearest is still offered.
    EXPECT_EQ(nearestPoint(night, p, Band::red, 1000, 1000), 5u);
    // Blue has no measured frame.
    EXPECT_EQ(nearestPoint(night, p, Band::blue, 0, 0), std::nullopt);
}

// Pixels of the colour within the 11 x 11 square about a plot position.
int colourAround(const Raster& r, PlotPoint p, Rgb colour) {
    int n = 0;
    const int cx = static_cast<int>(std::lround(p.x));
    const int cy = kPlotHeight - static_cast<int>(std::lround(p.y));
    for (int y = cy - 5; y <= cy + 5; ++y)
        for (int x = cx - 5; x <= cx + 5; ++x)
            if (x >= 0 && y >= 0 && x < r.width() && y < r.height() && r.pixel(x, y) == colour) ++n;
    return n;
}

TEST(GraphDrawing, CirclesOfIncludedFramesOnlyAndOfOneBandWhenEditing) {
    const NightRecord night = smallNight();
    const GraphRanges g = graphRanges(night);
    const std::vector<PlotPoint> p = plotPositions(night, g);
    // Lines far below the plot, so only circles are near the points.
    const std::array<LineEnds, 3> lines{};
    ScriptedWindow window;
    openGraphWindow(window);
    drawGraph(window, night, p, lines, std::nullopt);
    EXPECT_GT(colourAround(window.surface(), p[0], bandColour(Band::red)), 8);
    EXPECT_GT(colourAround(window.surface(), p[2], bandColour(Band::green)), 8);
    // The frame left out has no circle.
    EXPECT_EQ(colourAround(window.surface(), p[3], bandColour(Band::green)), 0);
    drawGraph(window, night, p, lines, Band::green);
    EXPECT_EQ(colourAround(window.surface(), p[0], bandColour(Band::red)), 0);
    EXPECT_GT(colourAround(window.surface(), p[2], bandColour(Band::green)), 8);
}

TEST(GraphFile, PngBytesDecodeToTheSurface) {
    Raster r(3, 2);
    r.fill({255, 255, 255});
    r.setPixel(0, 0, {10, 20, 30});
    r.setPixel(2, 1, {200, 100, 0});
    const std::string bytes = pngBytes(r);
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()));
    EXPECT_EQ(image.width, 3u);
    EXPECT_EQ(image.height, 2u);
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    const std::vector<unsigned char> want = {10, 20, 30, 255, 255, 255, 255, 255, 255,
                                             255, 255, 255, 255, 255, 255, 200, 100, 0};
    EXPECT_EQ(rgb, want);
}

}  // namespace
}  // namespace orvel
