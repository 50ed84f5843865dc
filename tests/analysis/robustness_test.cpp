// The measuring path on generated frames that a camera would rarely write: stars at and beyond
// every edge and corner, frames of one to six pixels, frames that are all zero, all NaN, all one
// value, negative or infinite, and background rectangles against every edge. Each frame goes
// through the whole path (first-image statistics, grey levels, the picture, background, star,
// rings); nothing may read outside the image (the sanitizer build checks), and every result is a
// number the log can print.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "analysis/image_statistics.h"
#include "analysis/ring_photometry.h"
#include "analysis/star_position.h"
#include "dialogue/first_image.h"
#include "night/frame_pipeline.h"
#include "night/night_log.h"
#include "platform/scripted_window.h"
#include "support/test_support.h"

namespace orvel {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kSky = 100.0f;  // DC of the generated flat sky

using test::flatImage;

// A flat sky with a Gaussian star (whole DC values, peak 5000 above the sky, sigma 1.5 pixels)
// centred on a pixel.
PixelImage starImage(int columns, int rows, int starColumn, int starRow) {
    PixelImage image = flatImage(columns, rows, kSky);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const double d2 = (c - starColumn) * (c - starColumn) + (r - starRow) * (r - starRow);
            image.at(c, r) = static_cast<float>(std::round(kSky + 5000.0 * std::exp(-d2 / 4.5)));
        }
    }
    return image;
}

// The picks of a user at a screen factor of 1: star click and background click.
StarSelection picks(const PixelImage& image, float starX, float starY, float backgroundX,
                    float backgroundY) {
    StarSelection s;
    s.starX = starX;
    s.starY = starY;
    s.backgroundX = backgroundX;
    s.backgroundY = backgroundY;
    placeBackgroundRectangle(s, image.columns, image.rows);
    return s;
}

struct PathResult {
    FirstImageStats stats;
    FrameMeasurement frame;
    std::string log;
};

// Everything the program does with a first frame, in its order.
PathResult runPath(const PixelImage& image, const StarSelection& selection) {
    PathResult r;
    RunLog log = RunLog::inMemory();
    r.stats = analyseFirstImage(image);
    logFirstImage(log, r.stats);
    for (const float v : image.pixels) {
        const float g = greyLevel(v, r.stats.p1, r.stats.p999);
        EXPECT_TRUE(std::isnan(g) || (g >= 0.0f && g <= 255.0f)) << g;
    }
    const ScreenFactor sf = screenFactor(image.columns, image.rows, 1920, 1080);
    logScreenFactor(log, sf);
    ScriptedWindow window;
    EXPECT_TRUE(showFirstImage(window, image, r.stats.p1, r.stats.p999, sf.factor, "frame"));
    // The frame pipeline on the frame held whole (the header gives only its size).
    ImageHeader header;
    header.columns = image.columns;
    header.rows = image.rows;
    WholeFrame source(image);
    r.frame = measureFrame(source, selection, ObservingSetup{}, header);
    logBackground(log, r.frame.background);
    logStar(log, r.frame.star);
    logRings(log, r.frame.rings);
    r.log = log.contents();
    return r;
}

// Properties of any run of the path: counts within their bounds, a ring radius the growth can
// give, a finite magnitude value, and a log of whole printable lines.
void expectSound(const PathResult& r, const PixelImage& image) {
    const BackgroundStats& b = r.frame.background;
    EXPECT_GE(b.taken, 0);
    EXPECT_LE(b.taken, b.planned);
    EXPECT_LE(static_cast<std::size_t>(b.taken), image.pixels.size());
    EXPECT_GE(r.frame.rings.innerRadius, 3);
    EXPECT_LE(r.frame.rings.innerRadius, kMaxRings + 1);
    EXPECT_GE(r.frame.rings.annulusCount, 0);
    EXPECT_LE(static_cast<std::size_t>(r.frame.rings.annulusCount), image.pixels.size());
    EXPECT_TRUE(std::isfinite(r.frame.rings.magnitude));
    const StarPosition& star = r.frame.star;
    if (star.brightestValue > -64000.0f) {
        EXPECT_TRUE(image.contains(star.brightestColumn, star.brightestRow));
    }
    EXPECT_TRUE(r.log.ends_with("\r\n"));
    for (const char c : r.log) {
        const auto code = static_cast<unsigned char>(c);
        EXPECT_TRUE(code >= 32 || c == '\r' || c == '\n') << static_cast<int>(code);
    }
    // NaN and infinity are written in the number formats, never as words.
    EXPECT_EQ(r.log.find("nan"), std::string::npos);
    EXPECT_EQ(r.log.find("inf"), std::string::npos);
}

TEST(MeasuringRobustness, StarAtEveryDistanceFromEveryEdgeAndCorner) {
    constexpr int kColumns = 40;
    constexpr int kRows = 30;
    for (int d = 0; d <= 14; ++d) {
        const int left = d, right = kColumns - 1 - d, top = d, bottom = kRows - 1 - d;
        const int places[][2] = {{left, 15},  {right, 15},  {20, top},      {20, bottom},
                                 {left, top}, {right, top}, {left, bottom}, {right, bottom}};
        for (const auto& place : places) {
            SCOPED_TRACE("star at column " + std::to_string(place[0]) + ", row " +
                         std::to_string(place[1]));
            const PixelImage image = starImage(kColumns, kRows, place[0], place[1]);
            // The background click is placed away from the star, on the other side.
            const float bx = place[0] < kColumns / 2 ? 35.0f : 4.0f;
            const float by = place[1] < kRows / 2 ? 25.0f : 4.0f;
            const PathResult r = runPath(image, picks(image, static_cast<float>(place[0]),
                                                      static_cast<float>(place[1]), bx, by));
            expectSound(r, image);
            EXPECT_EQ(r.frame.star.brightestColumn, place[0]);
            EXPECT_EQ(r.frame.star.brightestRow, place[1]);
            EXPECT_EQ(r.frame.star.brightestValue, kSky + 5000.0f);
            EXPECT_EQ(r.frame.background.median, kSky);
            EXPECT_EQ(r.frame.rings.skyLevel, kSky);
            // However much of the star the edges cut away, what is left is a positive signal.
            EXPECT_GT(r.frame.rings.integratedDC, 0.0f);
            EXPECT_NEAR(r.frame.rings.magnitude, std::log(r.frame.rings.integratedDC), 1e-6);
        }
    }
}

TEST(MeasuringRobustness, StarClickBeyondTheEdgesSearchesOnlyInsideTheImage) {
    const PixelImage image = starImage(40, 30, 0, 0);
    const float clicks[][2] = {{-10, -10}, {-9, 0},       {0, -9},      {49, 39},
                               {39, 29},   {-1e6f, 1e6f}, {3e9f, -3e9f}};
    for (const auto& click : clicks) {
        SCOPED_TRACE(std::to_string(click[0]) + ", " + std::to_string(click[1]));
        const PathResult r = runPath(image, picks(image, click[0], click[1], 20, 15));
        expectSound(r, image);
    }
    // Ten pixels beyond the corner the search square still reaches the star's pixel.
    const PathResult near = runPath(image, picks(image, -10, -10, 20, 15));
    EXPECT_EQ(near.frame.star.brightestColumn, 0);
    EXPECT_EQ(near.frame.star.brightestRow, 0);
}

TEST(MeasuringRobustness, BackgroundRectangleAgainstEveryEdge) {
    const PixelImage image = starImage(100, 80, 50, 40);
    const float clicks[][2] = {{0, 0},   {100, 0},  {0, 80},        {100, 80},   {50, 0},
                               {50, 80}, {0, 40},   {100, 40},      {1, 1},      {99, 79},
                               {-5, -5}, {105, 85}, {-1e6f, -1e6f}, {1e6f, 1e6f}};
    for (const auto& click : clicks) {
        SCOPED_TRACE(std::to_string(click[0]) + ", " + std::to_string(click[1]));
        const StarSelection s = picks(image, 50, 40, click[0], click[1]);
        // Corners are limited to 1..columns and 1..rows; the last may lie one past the image.
        const PathResult r = runPath(image, s);
        expectSound(r, image);
        if (r.frame.background.taken > 0) {
            EXPECT_EQ(r.frame.background.median, kSky);
        }
    }
    // A rectangle given directly, reaching past every edge, takes only pixels of the image.
    StarSelection wide = picks(image, 50, 40, 10, 10);
    wide.x1 = -20;
    wide.y1 = -20;
    wide.x2 = 120;
    wide.y2 = 100;
    const PathResult r = runPath(image, wide);
    expectSound(r, image);
    EXPECT_EQ(r.frame.background.taken, 80 * 100);
}

TEST(MeasuringRobustness, FramesOfOneToSixPixels) {
    const int sizes[][2] = {{1, 1}, {2, 2}, {3, 1}, {1, 3}, {2, 3}, {6, 1}};
    for (const auto& size : sizes) {
        for (int c = -1; c <= size[0]; ++c) {
            for (int r = -1; r <= size[1]; ++r) {
                SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]) + " click " +
                             std::to_string(c) + "," + std::to_string(r));
                PixelImage image = flatImage(size[0], size[1], kSky);
                image.pixels.back() = 900.0f;
                const PathResult result =
                    runPath(image, picks(image, static_cast<float>(c), static_cast<float>(r),
                                         static_cast<float>(r), static_cast<float>(c)));
                expectSound(result, image);
                // The one bright pixel is always within reach of the search square.
                EXPECT_EQ(result.frame.star.brightestValue, 900.0f);
            }
        }
    }
}

TEST(MeasuringRobustness, AllZeroFrameHasNoIncludedPixelsAndNoSignal) {
    const PixelImage image = flatImage(30, 20, 0.0f);
    const PathResult r = runPath(image, picks(image, 15, 10, 5, 5));
    expectSound(r, image);
    EXPECT_EQ(r.stats.includedCount, 0);
    EXPECT_TRUE(std::isnan(r.stats.mean));
    EXPECT_EQ(r.stats.median, 0.0f);
    EXPECT_NE(r.log.find("Average DC =  0 \r\n"), std::string::npos);
    // Equal ring medians of 0 give 0/0: the growth never stops.
    EXPECT_EQ(r.frame.rings.innerRadius, kMaxRings + 1);
    EXPECT_EQ(r.frame.rings.integratedDC, 0.0f);
    EXPECT_EQ(r.frame.rings.magnitude, 0.0);
}

TEST(MeasuringRobustness, AllNaNFrameIsShownWhiteAndMeasuresNothing) {
    const PixelImage image = flatImage(30, 20, kNaN);
    const PathResult r = runPath(image, picks(image, 15, 10, 5, 5));
    expectSound(r, image);
    EXPECT_EQ(r.stats.includedCount, 0);
    for (const float v : image.pixels) EXPECT_EQ(greyLevel(v, r.stats.p1, r.stats.p999), 255.0f);
    // No pixel exceeds the starting value of the search: the click stays the ring centre.
    EXPECT_EQ(r.frame.star.brightestColumn, 15);
    EXPECT_EQ(r.frame.star.brightestRow, 10);
    EXPECT_EQ(r.frame.rings.magnitude, 0.0);
}

TEST(MeasuringRobustness, AllOneValueFrame) {
    const PixelImage image = flatImage(30, 20, 7.0f);
    const PathResult r = runPath(image, picks(image, 15, 10, 5, 5));
    expectSound(r, image);
    EXPECT_EQ(r.stats.largest, 7.0f);
    EXPECT_EQ(r.stats.smallest, 7.0f);
    EXPECT_EQ(r.stats.median, 7.0f);
    EXPECT_EQ(r.stats.p1, 7.0f);
    EXPECT_EQ(r.stats.p999, 7.0f);
    EXPECT_EQ(r.frame.background.median, 7.0f);
    // Equal medians stop the growth at the first ring that may stop it.
    EXPECT_EQ(r.frame.rings.innerRadius, 3);
    EXPECT_EQ(r.frame.rings.integratedDC, 0.0f);
}

TEST(MeasuringRobustness, NegativeFrameWithANegativeStar) {
    PixelImage image = flatImage(30, 20, -500.0f);
    image.at(12, 9) = -100.0f;
    const PathResult r = runPath(image, picks(image, 12, 9, 25, 15));
    expectSound(r, image);
    EXPECT_EQ(r.frame.star.brightestColumn, 12);
    EXPECT_EQ(r.frame.background.median, -500.0f);
    EXPECT_EQ(r.frame.rings.skyLevel, -500.0f);
    // 400 DC above a negative sky is a positive signal.
    EXPECT_EQ(r.frame.rings.integratedDC, 400.0f);

    // Below -64000 everywhere: the largest background value reported is the starting -64000.
    const PixelImage deep = flatImage(30, 20, -70000.0f);
    const PathResult rd = runPath(deep, picks(deep, 12, 9, 25, 15));
    expectSound(rd, deep);
    EXPECT_EQ(rd.frame.background.largest, -64000.0f);
}

TEST(MeasuringRobustness, InfiniteAndNaNPixelsAmongTheSky) {
    PixelImage image = starImage(40, 30, 20, 15);
    image.at(20, 15) = kInf;
    image.at(0, 0) = -kInf;
    image.at(5, 5) = kNaN;
    image.at(39, 29) = kNaN;
    image.at(22, 15) = kNaN;
    const PathResult r = runPath(image, picks(image, 20, 15, 5, 5));
    expectSound(r, image);
    EXPECT_EQ(r.frame.star.brightestColumn, 20);
    EXPECT_EQ(r.frame.star.brightestValue, kInf);
    // An infinite star has no finite logarithm: the magnitude value is 0.
    EXPECT_EQ(r.frame.rings.magnitude, 0.0);
    EXPECT_NE(r.log.find("Maximum pixel DC =  9.999999E+998 \r\n"), std::string::npos);

    // Half the frame +inf and half -inf: the display cuts are infinite.
    PixelImage split = flatImage(20, 10, kInf);
    for (std::size_t i = 0; i < split.pixels.size() / 2; ++i) split.pixels[i] = -kInf;
    const PathResult rs = runPath(split, picks(split, 10, 5, 3, 3));
    expectSound(rs, split);
    EXPECT_EQ(rs.stats.p1, -kInf);
    EXPECT_EQ(rs.stats.p999, kInf);
}

TEST(MeasuringRobustness, HugeFiniteValuesAreSummedWithoutTrapping) {
    PixelImage image = flatImage(30, 20, 3e38f);
    image.at(10, 10) = std::numeric_limits<float>::max();
    const PathResult r = runPath(image, picks(image, 10, 10, 25, 15));
    expectSound(r, image);
    // Sums in double precision hold them: the mean lies between the two values.
    EXPECT_GE(r.stats.mean, 3e38f);
    EXPECT_LE(r.stats.mean, std::numeric_limits<float>::max());
    EXPECT_EQ(r.frame.star.brightestValue, std::numeric_limits<float>::max());
}

TEST(MeasuringRobustness, PicturesOfEveryFrameShapeOpenAWindow) {
    // One row of 8000 pixels on a 1920-pixel desktop: reduced by 5, the picture would be 0.2
    // pixels high; it gets one row.
    const int shapes[][2] = {{8000, 1}, {1, 5000}, {4000, 2}, {1, 1}};
    for (const auto& shape : shapes) {
        const PixelImage image = flatImage(shape[0], shape[1], 5.0f);
        const int sf = screenFactor(image.columns, image.rows, 1920, 1080).factor;
        ScriptedWindow window;
        ASSERT_TRUE(showFirstImage(window, image, 0.0f, 10.0f, sf, "wide"));
        ASSERT_EQ(window.created().size(), 1u);
        EXPECT_GE(window.created()[0].width, 1);
        EXPECT_GE(window.created()[0].height, 1);
    }
}

}  // namespace
}  // namespace orvel
