// Files written by astropy, an independent FITS writer (tests/data/README.md), read back
// through the header parser and the pixel decoder.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fits_test_util.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::ReadResult;

std::filesystem::path fixture(const char* name) {
    return std::filesystem::path(ORVEL_SOURCE_DIR) / "tests" / "data" / name;
}

TEST(AstropyFixtures, UnsignedSixteenBitFrame) {
    const ReadResult r = test::readFitsFile(fixture("astropy_u16.fit"));
    ASSERT_TRUE(r.scan.endFound);
    EXPECT_EQ(r.header.bitpix, 16);
    EXPECT_EQ(r.header.bscale, 1.0f);
    EXPECT_EQ(r.header.bzero, 32768.0f);
    EXPECT_EQ(r.header.dataStart, 2881);
    EXPECT_EQ(r.count, 12);
    const std::vector<float> expected = {0,     65535, 32768, 1,   2,   32767,
                                         40000, 12345, 65534, 100, 200, 300};
    EXPECT_EQ(test::pixelValues(r.image), expected);
    EXPECT_EQ(r.image.at(2, 1), 40000.0f);
    const std::vector<std::string> lines = {
        "",
        "From FITS image header:",
        "Image type (BITPIX) =  16 ",
        "",
        // The rows follow the columns' print zone: eight blanks after the 4.
        "Columns in image =  4        Rows in image =  3 ",
        "",
        "Value of BSCALE =  1 ",
        "",
        "Value of BZERO =  32768 ",
        "",
        "Year, month, day =  2022  4  1 ",
        "Hour, minutes, seconds =  3  4  5 ",
        "",
        "Exposure time (sec) =  30 ",
        "",
        "Number of 2-byte data strings read from file =  12 ",
    };
    EXPECT_EQ(test::keywordLines(r.lines), lines);
    ASSERT_GE(r.lines.size(), 3u);
    EXPECT_EQ(r.lines[1], "ORIGINAL FILE HEADER:");
    EXPECT_EQ(r.lines[2], r.scan.text);
    EXPECT_EQ(r.lines[2].substr(0, 30), "SIMPLE  =                    T");
}

TEST(AstropyFixtures, FloatFrameWithoutScaleCards) {
    const ReadResult r = test::readFitsFile(fixture("astropy_f32.fit"));
    EXPECT_EQ(r.header.bitpix, -32);
    EXPECT_EQ(r.header.columns, 3);
    EXPECT_EQ(r.header.rows, 2);
    EXPECT_EQ(r.header.bscale, 1.0f);
    EXPECT_EQ(r.header.bzero, 0.0f);
    EXPECT_EQ(r.header.exposure, 12.5f);
    EXPECT_EQ(r.header.year, 2021);
    EXPECT_EQ(r.header.month, 11);
    EXPECT_EQ(r.header.day, 5);
    EXPECT_EQ(r.header.hour, 22);
    EXPECT_EQ(r.header.minute, 10);
    EXPECT_EQ(r.header.second, 0);
    EXPECT_EQ(r.count, 6);
    EXPECT_EQ(r.image.at(0, 0), 1.0f);
    EXPECT_EQ(r.image.at(1, 0), -2.5f);
    EXPECT_TRUE(std::isnan(r.image.at(2, 0)));
    EXPECT_EQ(r.image.at(0, 1), 0.001f);
    EXPECT_EQ(r.image.at(1, 1), -1.0e6f);
    EXPECT_EQ(r.image.at(2, 1), 0.0f);
    ASSERT_FALSE(r.lines.empty());
    EXPECT_EQ(r.lines.back(), "Number of 4-byte data strings read from file =  6 ");
}

TEST(AstropyFixtures, TwoBlockHeaderFrame) {
    const ReadResult r = test::readFitsFile(fixture("astropy_two_blocks.fit"));
    EXPECT_EQ(r.header.cardCount, 72);
    EXPECT_EQ(r.header.dataStart, 5761);
    ASSERT_GE(r.lines.size(), 3u);
    EXPECT_EQ(r.lines[2].size(), 5760u);
    EXPECT_EQ(r.header.columns, 5);
    EXPECT_EQ(r.header.rows, 4);
    EXPECT_EQ(r.header.year, 2020);
    EXPECT_EQ(r.header.month, 2);
    EXPECT_EQ(r.header.day, 29);
    EXPECT_EQ(r.header.second, 58);
    EXPECT_EQ(r.count, 20);
    for (int k = 0; k < 20; ++k) {
        EXPECT_EQ(r.image.pixels[static_cast<std::size_t>(k)], static_cast<float>(3 * k - 7));
    }
}

}  // namespace
}  // namespace orvel
