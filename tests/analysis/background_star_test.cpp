#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "analysis/background.h"
#include "analysis/star_position.h"
#include "night/night_log.h"
#include "support/test_support.h"

namespace orvel {
namespace {

// An image whose pixel at (column, row) holds row x 100 + column: every value names its place.
PixelImage placeImage(int columns, int rows) {
    PixelImage image;
    image.columns = columns;
    image.rows = rows;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) image.pixels.push_back(static_cast<float>(r * 100 + c));
    return image;
}

using test::flatImage;

StarSelection rectangle(float x1, float y1, float x2, float y2) {
    StarSelection s;
    s.x1 = x1;
    s.y1 = y1;
    s.x2 = x2;
    s.y2 = y2;
    return s;
}

std::vector<std::string> backgroundLog(const PixelImage& image, const StarSelection& sel,
                                       BackgroundStats* out = nullptr) {
    RunLog log = RunLog::inMemory();
    const BackgroundStats st = measureBackground(image, sel);
    logBackground(log, st);
    if (out) *out = st;
    return test::logLines(log.contents());
}

TEST(BackgroundRectangle, FortyByTwentyTakesNineteenRowsAndTwentyOnePixels) {
    BackgroundStats st;
    const std::vector<std::string> lines =
        backgroundLog(placeImage(100, 100), rectangle(10, 5, 50, 25), &st);
    EXPECT_EQ(st.planned, 800);
    EXPECT_EQ(st.taken, 800);
    // Rows 5..23 whole (41 pixels each), then columns 10..30 of row 24.
    const std::vector<std::string> expected = {
        "",
        "Largest pixel value in background rectangle  =  2430 ",
        "Smallest pixel value in background rectangle =  510 ",
        "Average background rectangle DC =  1455.988 ",
        lines[4],
        "Median pixel value in background rectangle (background)=  1440.5 ",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(lines[4].rfind("STD DEV background rectangle DC =  ", 0), 0u);
}

TEST(BackgroundRectangle, OnlyTheWidthIsTruncatedBeforeTheProduct) {
    BackgroundStats st;
    // round(2.5 x trunc(9.7)) = round(22.5) = 22: rows 3 and 4, columns 10..20.
    backgroundLog(placeImage(100, 100), rectangle(10.5f, 3.25f, 20.2f, 5.75f), &st);
    EXPECT_EQ(st.planned, 22);
    EXPECT_EQ(st.taken, 22);
    EXPECT_EQ(st.largest, 420.0f);
    EXPECT_EQ(st.smallest, 310.0f);
}

TEST(BackgroundRectangle, IdenticalValues) {
    BackgroundStats st;
    const std::vector<std::string> lines =
        backgroundLog(flatImage(30, 30, 7), rectangle(1, 1, 11, 9), &st);
    EXPECT_EQ(lines[1], "Largest pixel value in background rectangle  =  7 ");
    EXPECT_EQ(lines[2], "Smallest pixel value in background rectangle =  7 ");
    EXPECT_EQ(lines[3], "Average background rectangle DC =  7 ");
    EXPECT_EQ(lines[4], "STD DEV background rectangle DC =  0 ");
    EXPECT_EQ(lines[5], "Median pixel value in background rectangle (background)=  7 ");
}

TEST(BackgroundRectangle, ExtremesStartAtPlusMinus64000) {
    std::vector<std::string> lines = backgroundLog(flatImage(10, 10, 70000), rectangle(1, 1, 5, 5));
    EXPECT_EQ(lines[2], "Smallest pixel value in background rectangle =  64000 ");
    lines = backgroundLog(flatImage(10, 10, -70000), rectangle(1, 1, 5, 5));
    EXPECT_EQ(lines[1], "Largest pixel value in background rectangle  = -64000 ");
}

TEST(BackgroundRectangle, PixelsOutsideTheImageAreLeftOutAndNotCounted) {
    BackgroundStats st;
    // The limits allow column NAXIS1 and row NAXIS2, one past the last.
    backgroundLog(placeImage(20, 10), rectangle(15, 6, 20, 10), &st);
    EXPECT_EQ(st.planned, 20);
    EXPECT_EQ(st.taken, 20);
    EXPECT_EQ(st.largest, 919.0f);
    // Reaching far past the corner: only the 5 x 5 pixels inside are taken.
    backgroundLog(placeImage(20, 10), rectangle(15, 5, 25, 15), &st);
    EXPECT_EQ(st.planned, 100);
    EXPECT_EQ(st.taken, 25);
    EXPECT_EQ(st.smallest, 515.0f);
    EXPECT_EQ(st.largest, 919.0f);
    EXPECT_FLOAT_EQ(st.mean, 717.0f);
}

TEST(BackgroundRectangle, NothingInsideTheImageGivesAnEmptyBackground) {
    BackgroundStats st;
    const std::vector<std::string> lines =
        backgroundLog(placeImage(20, 10), rectangle(50, 50, 60, 60), &st);
    EXPECT_EQ(st.taken, 0);
    EXPECT_TRUE(std::isnan(st.mean));
    EXPECT_EQ(st.median, 0.0f);
    EXPECT_EQ(lines[3], "Average background rectangle DC =  0 ");
    EXPECT_EQ(lines[5], "Median pixel value in background rectangle (background)=  0 ");
}

// A background of 10 with a symmetric star at (20, 15).
PixelImage starImage() {
    PixelImage image = flatImage(50, 40, 10);
    image.at(20, 15) = 500;
    image.at(19, 15) = image.at(21, 15) = image.at(20, 14) = image.at(20, 16) = 100;
    return image;
}

StarSelection click(float x, float y, float sf) {
    StarSelection s;
    s.starX = x;
    s.starY = y;
    s.screenFactor = sf;
    return s;
}

std::vector<std::string> starLog(const PixelImage& image, const StarSelection& sel, float b,
                                 StarPosition* out = nullptr) {
    RunLog log = RunLog::inMemory();
    const StarPosition star = locateStar(image, sel, b);
    logStar(log, star);
    if (out) *out = star;
    return test::logLines(log.contents());
}

TEST(StarPosition, BrightestPixelAndCentroidOfASymmetricStar) {
    const std::vector<std::string> expected = {
        "",
        "Target star position in original image by brightest pixel:",
        "   COLUMN =  20 ",
        "      ROW =  15 ",
        "Maximum pixel DC =  500 ",
        "Target star position in original image by centroid method:",
        "   COLUMN =  20 ",
        "      ROW =  15 ",
    };
    EXPECT_EQ(starLog(starImage(), click(22, 13, 1), 10), expected);
}

TEST(StarPosition, EqualMaximaKeepTheFirstMetRowByRow) {
    PixelImage image = flatImage(50, 40, 10);
    image.at(25, 12) = 900;
    image.at(18, 13) = 900;
    image.at(30, 12) = 900;
    StarPosition star;
    starLog(image, click(22, 13, 1), 10, &star);
    EXPECT_EQ(star.brightestColumn, 25);
    EXPECT_EQ(star.brightestRow, 12);
    // Equal pixels of the star nearest the click: the first met row by row.
    image.at(24, 13) = 900;
    image.at(26, 12) = 900;
    starLog(image, click(22, 13, 1), 10, &star);
    EXPECT_EQ(star.brightestColumn, 25);
    EXPECT_EQ(star.brightestRow, 12);
    image.at(24, 12) = 900;
    starLog(image, click(22, 13, 1), 10, &star);
    EXPECT_EQ(star.brightestColumn, 24);
}

TEST(StarPosition, ClickIsScaledBackByTheScreenFactor) {
    PixelImage image = flatImage(120, 100, 10);
    image.at(38, 33) = 300;  // inside the square of half-size 20 about (20, 15)
    image.at(41, 15) = 900;  // one column beyond it
    StarPosition star;
    starLog(image, click(10, 7.5f, 2), 10, &star);
    EXPECT_EQ(star.clickColumn, 20);
    EXPECT_EQ(star.clickRow, 15);
    EXPECT_EQ(star.brightestColumn, 38);
    EXPECT_EQ(star.brightestRow, 33);
    // Halves round to even.
    starLog(image, click(20.5f, 21.5f, 1), 10, &star);
    EXPECT_EQ(star.clickColumn, 20);
    EXPECT_EQ(star.clickRow, 22);
}

TEST(StarPosition, SquaresAtEdgesAndCornersStayInsideTheImage) {
    PixelImage image = flatImage(50, 40, 10);
    image.at(0, 5) = 200;
    // Reading column -1 of row 5 would land on the last pixel of row 4.
    image.at(49, 4) = 5000;
    StarPosition star;
    starLog(image, click(0, 5, 1), 10, &star);
    EXPECT_EQ(star.brightestColumn, 0);
    EXPECT_EQ(star.brightestRow, 5);
    image.at(49, 39) = 300;
    for (const auto& [x, y] : std::vector<std::pair<float, float>>{
             {0, 0}, {49, 0}, {0, 39}, {49, 39}, {16, 13}, {-30, -30}, {400, 400}}) {
        starLog(image, click(x / 3, y / 3, 3), 10, &star);
        EXPECT_TRUE(image.contains(star.brightestColumn, star.brightestRow) ||
                    star.brightestValue == -64000.0f);
    }
    starLog(image, click(16.3f, 13.2f, 3), 10, &star);
    EXPECT_EQ(star.brightestColumn, 49);
    EXPECT_EQ(star.brightestRow, 39);
}

TEST(StarPosition, SquareOutsideTheImageOrFullOfNaNFindsNothing) {
    StarPosition star;
    std::vector<std::string> lines = starLog(flatImage(10, 10, 5), click(100, 100, 1), 5, &star);
    EXPECT_EQ(lines[4], "Maximum pixel DC = -64000 ");
    EXPECT_EQ(star.brightestColumn, 100);
    PixelImage nan = flatImage(10, 10, std::numeric_limits<float>::quiet_NaN());
    lines = starLog(nan, click(5, 5, 1), 5, &star);
    EXPECT_EQ(lines[4], "Maximum pixel DC = -64000 ");
    EXPECT_EQ(lines[6], "   COLUMN =  0 ");
    EXPECT_TRUE(std::isnan(star.centroidColumn));
}

TEST(StarPosition, BackgroundThenStarInOneFile) {
    StarSelection sel = click(22, 13, 1);
    sel.x1 = 30;
    sel.y1 = 25;
    sel.x2 = 40;
    sel.y2 = 35;
    RunLog log = RunLog::inMemory();
    const PixelImage image = starImage();
    const BackgroundStats background = measureBackground(image, sel);
    logBackground(log, background);
    const StarPosition star = locateStar(image, sel, background.median);
    logStar(log, star);
    EXPECT_EQ(background.median, 10.0f);
    EXPECT_EQ(star.brightestColumn, 20);
    EXPECT_EQ(star.centroidColumn, 20.0f);
    const std::vector<std::string> lines = test::logLines(log.contents());
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[5], "Median pixel value in background rectangle (background)=  10 ");
    EXPECT_EQ(lines[7], "Target star position in original image by brightest pixel:");
}

}  // namespace
}  // namespace orvel
