#include "analysis/colour_mosaic.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace orvel {
namespace {

TEST(ColourMosaic, PatternsAndOffsetsGiveTheColoursOfTheFirstCell) {
    using Cell = std::array<char, 4>;
    EXPECT_EQ(mosaicLayout("RGGB", 0, 0)->cell, (Cell{'R', 'G', 'G', 'B'}));
    EXPECT_EQ(mosaicLayout(" bggr ", 0, 0)->cell, (Cell{'B', 'G', 'G', 'R'}));
    // One column on: the first pixel is the pattern's second, G R over B G.
    EXPECT_EQ(mosaicLayout("RGGB", 1, 0)->cell, (Cell{'G', 'R', 'B', 'G'}));
    EXPECT_EQ(mosaicLayout("RGGB", 0, 1)->cell, (Cell{'G', 'B', 'R', 'G'}));
    EXPECT_EQ(mosaicLayout("RGGB", 3, 2)->cell, (Cell{'G', 'R', 'B', 'G'}));
    EXPECT_FALSE(mosaicLayout("RGBG", 0, 0));
    EXPECT_FALSE(mosaicLayout("", 0, 0));
}

TEST(ColourMosaic, SuperPixelsTakeTheirColourAndTheMeanOfTheGreens) {
    // A 4 x 4 RGGB mosaic (5 x 5 drops the odd column and row); pixel value 10 x row + column.
    PixelImage full;
    full.columns = 5;
    full.rows = 5;
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c) full.pixels.push_back(static_cast<float>(10 * r + c));
    const MosaicLayout layout = *mosaicLayout("RGGB", 0, 0);
    PixelImage red, green, blue;
    superPixels(full, layout, 'R', {0, 1, 0, 1}, red);
    superPixels(full, layout, 'G', {0, 1, 0, 1}, green);
    superPixels(full, layout, 'B', {1, 5, 0, 1}, blue);
    EXPECT_EQ(red.columns, 2);
    EXPECT_EQ(red.rows, 2);
    EXPECT_EQ(test::pixelValues(red), (std::vector<float>{0, 2, 20, 22}));
    // Greens at (1,0) and (0,1) of each cell: (1 + 10) / 2.
    EXPECT_EQ(test::pixelValues(green), (std::vector<float>{5.5f, 7.5f, 25.5f, 27.5f}));
    // Only row 1 of the super-pixels exists past row 0: blue at (3,3) of the frame and (1,3).
    EXPECT_EQ(blue.firstRow, 1);
    EXPECT_EQ(test::pixelValues(blue), (std::vector<float>{31, 33}));
    // A window of columns: super-pixel column 1 of rows 0 and 1, blue at (3,1) and (3,3).
    PixelImage column;
    superPixels(full, layout, 'B', {0, 1, 1, 7}, column);
    EXPECT_EQ(column.firstColumn, 1);
    EXPECT_EQ(test::pixelValues(column), (std::vector<float>{13, 33}));
    EXPECT_EQ(column.at(1, 1), 33.0f);
}

}  // namespace
}  // namespace orvel
