#include "analysis/image_statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "analysis/background.h"
#include "analysis/order_statistics.h"
#include "analysis/star_selection.h"
#include "fits/fits_file.h"
#include "fits/fits_header.h"
#include "fits/fits_writer.h"
#include "night/night_log.h"
#include "support/test_support.h"

namespace orvel {
namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

PixelImage imageOf(int columns, int rows, std::vector<float> pixels) {
    PixelImage image;
    image.columns = columns;
    image.rows = rows;
    image.pixels.assign(pixels.begin(), pixels.end());
    return image;
}

std::vector<std::string> statisticsLog(const PixelImage& image, FirstImageStats* out = nullptr) {
    RunLog log = RunLog::inMemory();
    const FirstImageStats st = analyseFirstImage(image);
    logFirstImage(log, st);
    if (out) *out = st;
    return test::logLines(log.contents());
}

TEST(FirstImageStatistics, ZeroAndNaNPixelsAreLeftOutNegativeValuesCount) {
    const PixelImage image = imageOf(4, 3,
                                     {0, 1, 2, 3,      //
                                      kNaN, 4, -5, 6,  //
                                      7, 8, 0, 9});
    FirstImageStats st;
    const std::vector<std::string> expected = {
        "",
        "Scale first image for display- ",
        "# pixels in image =  12 ",
        "# pixels included in analysis =  9 ",
        "Largest pixel value in image  =  9 ",
        "Smallest pixel value (>0) in image = -5 ",
        "Average DC =  3.888889 ",
        "STD DEV DC =  4.067334 ",  // sqrt(1340 / 81) = 4.0673345
        "Median pixel value =  4 ",
        "1 Percentile DC value =    -5 ",
        "99.9 Percentile DC value =  9 ",
    };
    EXPECT_EQ(statisticsLog(image, &st), expected);
    EXPECT_EQ(st.pixelCount, 12);
    EXPECT_EQ(st.includedCount, 9);
    // Sum 35, squares 285: 285 / 9 - (35 / 9)^2 = 1340 / 81.
    EXPECT_FLOAT_EQ(st.variance, 1340.0f / 81);
}

TEST(FirstImageStatistics, EvenCountMedianAndPercentilePositions) {
    // 150 values: the 1 percentile is position 1; 151 values: position 2.
    std::vector<float> values;
    for (int i = 1; i <= 150; ++i) values.push_back(static_cast<float>(151 - i));
    FirstImageStats st;
    statisticsLog(imageOf(150, 1, values), &st);
    EXPECT_EQ(st.p1, 1.0f);
    EXPECT_EQ(st.p999, 150.0f);
    EXPECT_EQ(st.median, 75.5f);
    values.push_back(151.0f);
    const std::vector<std::string> lines = statisticsLog(imageOf(151, 1, values), &st);
    EXPECT_EQ(lines[9], "1 Percentile DC value =     2 ");
    EXPECT_EQ(lines[8], "Median pixel value =  76 ");
}

TEST(FirstImageStatistics, ThousandValuesCutAtTenAndNineHundredNinetyNine) {
    std::vector<float> values;
    for (int i = 0; i < 1000; ++i) values.push_back(static_cast<float>((i * 337) % 1000 + 1));
    FirstImageStats st;
    statisticsLog(imageOf(40, 25, values), &st);
    EXPECT_EQ(st.p1, 10.0f);
    EXPECT_EQ(st.p999, 999.0f);
}

TEST(FirstImageStatistics, NegativeVarianceIsReportedWithoutTheRoot) {
    // A hundred equal values whose square has all 48 bits: the sum of squares, rounded as it
    // grows, ends below 100 times the square, and the variance of equal values is negative.
    const float v = 0x1.654f6ap+4f;
    FirstImageStats st;
    const std::vector<std::string> lines =
        statisticsLog(imageOf(10, 10, std::vector<float>(100, v)), &st);
    EXPECT_EQ(st.mean, v);
    ASSERT_LT(st.variance, 0.0f);
    EXPECT_GT(st.variance, -1e-9f);
    EXPECT_EQ(st.standardDeviation, st.variance);
    EXPECT_EQ(lines[7].rfind("STD DEV DC = -", 0), 0u) << lines[7];
}

TEST(FirstImageStatistics, AllZeroImageDoesNotCrash) {
    FirstImageStats st;
    const std::vector<std::string> lines = statisticsLog(imageOf(3, 2, std::vector<float>(6)), &st);
    EXPECT_EQ(st.includedCount, 0);
    EXPECT_TRUE(std::isnan(st.mean));
    EXPECT_EQ(lines[4], "Largest pixel value in image  = -64000 ");
    EXPECT_EQ(lines[5], "Smallest pixel value (>0) in image =  64000 ");
    EXPECT_EQ(lines[6], "Average DC =  0 ");
    EXPECT_EQ(lines[8], "Median pixel value =  0 ");
    EXPECT_EQ(lines[9], "1 Percentile DC value =     0 ");
}

TEST(FirstImageStatistics, InfiniteAndNaNImagesFlowIntoTheLog) {
    FirstImageStats st;
    const std::vector<std::string> lines =
        statisticsLog(imageOf(2, 2, {kInf, 1.0f, kNaN, -kInf}), &st);
    EXPECT_EQ(st.includedCount, 3);
    EXPECT_EQ(lines[4], "Largest pixel value in image  =  9.999999E+998 ");
    EXPECT_EQ(lines[5], "Smallest pixel value (>0) in image = -9.999999E+998 ");
    EXPECT_EQ(st.median, 1.0f);
    const std::vector<std::string> allNaN = statisticsLog(imageOf(2, 1, {kNaN, kNaN}), &st);
    EXPECT_EQ(st.includedCount, 0);
    EXPECT_EQ(allNaN.size(), 11u);
}

std::vector<float> greyLevelsOf(const std::vector<float>& values, float p1, float p999) {
    std::vector<float> grey;
    for (const float v : values) grey.push_back(greyLevel(v, p1, p999));
    return grey;
}

TEST(GreyLevels, LinearStretchBetweenTheCuts) {
    const std::vector<float> grey = greyLevelsOf({100, 300, 200, 50, 0, kNaN}, 100, 300);
    EXPECT_EQ(grey, (std::vector<float>{0, 255, 127.5f, 0, 0, 255}));
    // Beyond the cuts the levels stay at 0 and 255.
    EXPECT_EQ(greyLevelsOf({-1e9f, 1e9f}, 100, 300), (std::vector<float>{0, 255}));
}

TEST(GreyLevels, EqualCutsNeverDivide) {
    const std::vector<float> grey = greyLevelsOf({4, 5, 6}, 5, 5);
    EXPECT_EQ(grey, (std::vector<float>{0, 255, 255}));
}

int factorLogged(int columns, int rows, int width, int height, int* sf) {
    RunLog log = RunLog::inMemory();
    const ScreenFactor factor = screenFactor(columns, rows, width, height);
    logScreenFactor(log, factor);
    *sf = factor.factor;
    const std::vector<std::string> lines = test::logLines(log.contents());
    EXPECT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1].rfind("Screen Factor = ", 0), 0u);
    return std::stoi(lines[1].substr(16));
}

TEST(ScreenFactor, ImagesAreReducedByWholeDesktops) {
    int sf = 0;
    EXPECT_EQ(factorLogged(1000, 800, 1920, 1080, &sf), 0);
    EXPECT_EQ(sf, 1);
    EXPECT_EQ(factorLogged(3000, 2000, 1920, 1080, &sf), 1);
    EXPECT_EQ(sf, 2);
    EXPECT_EQ(factorLogged(6000, 4000, 1920, 1080, &sf), 3);
    EXPECT_EQ(sf, 4);
    // Exactly as wide as the desktop already spans one whole desktop.
    EXPECT_EQ(factorLogged(1920, 100, 1920, 1080, &sf), 1);
    EXPECT_EQ(sf, 2);
    // The taller direction decides.
    EXPECT_EQ(factorLogged(100, 3300, 1920, 1080, &sf), 3);
    EXPECT_EQ(sf, 4);
}

TEST(ScreenFactor, UnknownDesktopSizeShowsTheImageUnreduced) {
    int sf = 0;
    EXPECT_EQ(factorLogged(6000, 4000, 0, 0, &sf), 0);
    EXPECT_EQ(sf, 1);
    EXPECT_EQ(factorLogged(6000, 4000, 1920, -5, &sf), 0);
    EXPECT_EQ(sf, 1);
    RunLog log = RunLog::inMemory();
    logScreenFactor(log, screenFactor(1000, 800, 1920, 1080));
    EXPECT_EQ(log.contents(), "\r\nScreen Factor =  0 \r\n");
}

}  // namespace
}  // namespace orvel

namespace orvel {
namespace {

// The counting selection over the image gives the values a full sort of the included pixels
// would put at the median and cut positions, for any mix of values.
TEST(FirstImageStatistics, OrderStatisticsEqualThoseOfTheSortedList) {
    std::mt19937 random(11);
    const std::vector<std::function<float()>> kinds = {
        [&] { return static_cast<float>(std::uniform_int_distribution<int>(0, 65535)(random)); },
        [&] { return std::normal_distribution<float>(0.0f, 1e-3f)(random); },
        [&] {
            return std::ldexp(std::uniform_real_distribution<float>(-1, 1)(random),
                              std::uniform_int_distribution<int>(-140, 120)(random));
        },
        [&] { return static_cast<float>(std::uniform_int_distribution<int>(-3, 3)(random)); },
    };
    for (const auto& kind : kinds) {
        for (int n : {1, 2, 3, 50, 51, 150, 151, 1000, 4097}) {
            PixelImage image;
            image.columns = n;
            image.rows = 1;
            for (int i = 0; i < n; ++i) image.pixels.push_back(i % 7 == 3 ? 0.0f : kind());
            const FirstImageStats st = analyseFirstImage(image);
            std::vector<float> list;
            for (float v : image.pixels)
                if (v != 0.0f) list.push_back(v);
            SortAscending(list);
            if (list.empty()) continue;
            EXPECT_EQ(st.median, MedianOfSorted(list)) << n;
            EXPECT_EQ(st.p1, PercentileOfSorted(list, 0.01f)) << n;
            EXPECT_EQ(st.p999, PercentileOfSorted(list, 0.999f)) << n;
        }
    }
}

}  // namespace
}  // namespace orvel

namespace orvel {
namespace {

// A frame large enough for the sums to run beside the counting, with zero and NaN pixels
// scattered in it: mean and variance are those of sums in double precision.
TEST(FirstImageStatistics, LargeFrameSumsAreThoseOfDoublePrecision) {
    std::mt19937 random(5);
    PixelImage image;
    image.columns = 1100;
    image.rows = 1000;
    std::normal_distribution<float> sky(800.0f, 30.0f);
    for (int i = 0; i < image.columns * image.rows; ++i) {
        float v = std::round(sky(random));
        if (i % 5000 == 17) v = 0.0f;
        if (i % 7919 == 3) v = std::nanf("");
        if (i % 100003 == 5) v = 1e30f;
        image.pixels.push_back(v);
    }
    double sum = 0.0;
    double sumOfSquares = 0.0;
    double n = 0;
    for (float v : image.pixels) {
        if (v == 0.0f || std::isnan(v)) continue;
        sum += v;
        sumOfSquares += static_cast<double>(v) * v;
        ++n;
    }
    const FirstImageStats st = analyseFirstImage(image);
    EXPECT_EQ(st.includedCount, static_cast<std::int64_t>(n));
    EXPECT_EQ(st.mean, static_cast<float>(sum / n));
    EXPECT_EQ(st.variance, static_cast<float>(sumOfSquares / n - (sum / n) * (sum / n)));
}

// A frame file read and described as it is decoded (the sums on a second thread) gives the
// figures of sums in double precision and of a full sort, and the log of the image read, then
// analysed; a file cut short likewise, with its missing samples at bzero.
TEST(FirstImageStatistics, AFileDescribedAsItIsDecodedGivesTheFiguresOfTheRules) {
    test::TempDir dir;
    constexpr int kColumns = 1100;
    constexpr int kRows = 1000;
    std::mt19937 random(9);
    std::normal_distribution<double> sky(800.0, 30.0);
    std::vector<double> values;
    for (int i = 0; i < kColumns * kRows; ++i) {
        double v = std::round(sky(random));
        if (i % 5000 == 17) v = 0.0;
        if (i % 7919 == 3) v = std::nan("");
        values.push_back(v);
    }
    for (const int bitpix : {16, -32}) {
        std::vector<double> stored = values;
        // 16-bit samples hold no NaN: those pixels are written as 0 (left out) instead.
        if (bitpix == 16)
            for (double& v : stored) v = std::isnan(v) ? 0.0 : v;
        const std::string bytes =
            fitsFileBytes(fitsImageCards(bitpix, kColumns, kRows), encodeSamples(stored, bitpix));
        for (const std::size_t cut : {bytes.size(), bytes.size() - 2880 * 10}) {
            test::writeFile(dir / "f.fit", bytes.substr(0, cut));
            FitsFile file;
            ASSERT_TRUE(file.open(dir / "f.fit"));
            const ImageHeader header = parseHeader(readHeaderBlocks(file));
            PixelImage image;
            const DescribedImage d = readAndDescribeImage(file, header, image);
            const std::int64_t present =
                (static_cast<std::int64_t>(cut) - 2880) / (std::abs(bitpix) / 8);
            EXPECT_EQ(d.samples, std::min<std::int64_t>(present, kColumns * kRows));
            double sum = 0.0;
            double sumOfSquares = 0.0;
            std::vector<float> included;
            for (std::size_t k = 0; k < stored.size(); ++k) {
                const float v =
                    static_cast<std::int64_t>(k) < present ? static_cast<float>(stored[k]) : 0.0f;
                if (v == 0.0f || std::isnan(v)) continue;
                sum += v;
                sumOfSquares += static_cast<double>(v) * v;
                included.push_back(v);
            }
            std::sort(included.begin(), included.end());
            const double n = static_cast<double>(included.size());
            EXPECT_EQ(d.stats.includedCount, static_cast<std::int64_t>(included.size()));
            EXPECT_EQ(d.stats.mean, static_cast<float>(sum / n)) << bitpix << " " << cut;
            EXPECT_EQ(d.stats.variance,
                      static_cast<float>(sumOfSquares / n - (sum / n) * (sum / n)));
            EXPECT_EQ(d.stats.median, MedianOfSorted(included));
            EXPECT_EQ(d.stats.p1, PercentileOfSorted(included, 0.01f));
            EXPECT_EQ(d.stats.p999, PercentileOfSorted(included, 0.999f));
            RunLog described = RunLog::inMemory();
            logFirstImage(described, d.stats);
            EXPECT_EQ(test::logLines(described.contents()), statisticsLog(image));
        }
    }
}

}  // namespace
}  // namespace orvel

namespace orvel {
namespace {

// Frames in the codings cameras write (16-bit samples about BZERO 32768, a negative BZERO that
// puts zero inside the range, 8-bit samples), in codings whose values are not whole numbers
// (BSCALE 0.5, BZERO 0.5) and in one whose values fall as the samples rise (BSCALE -1): each is
// described exactly as a full sort of its decoded values, the range's first and last samples,
// zeros and a bright star included.
TEST(FirstImageStatistics, EveryCodingOfWholeAndPartNumbersGivesTheSortedFigures) {
    struct Coding {
        int bitpix;
        double bscale;
        double bzero;
    };
    const Coding codings[] = {{16, 1.0, 32768.0}, {16, 1.0, -1000.0}, {8, 1.0, 0.0},
                              {16, 0.5, 0.0},     {16, 1.0, 0.5},     {16, 1.0, 0.0},
                              {16, -1.0, 0.0},    {8, 2.0, -120.0}};
    test::TempDir dir;
    constexpr int kColumns = 1030;
    constexpr int kRows = 1024;
    for (const Coding& c : codings) {
        const int lowest = c.bitpix == 8 ? 0 : -32768;
        const int highest = c.bitpix == 8 ? 255 : 32767;
        std::mt19937 random(17);
        std::normal_distribution<double> sky(c.bitpix == 8 ? 60.0 : 990.0, 9.0);
        std::vector<double> values;
        std::vector<float> included;
        for (int i = 0; i < kColumns * kRows; ++i) {
            int s = static_cast<int>(std::lround(sky(random)));
            if (i % 4001 == 7) s = lowest;
            if (i % 3001 == 5 || (i / kColumns > 500 && i / kColumns < 520)) s = highest;
            if (i % 997 == 1) s = c.bitpix == 8 ? 60 : 1000;  // zero for BZERO -1000 and -120
            const double value = c.bscale * s + c.bzero;
            values.push_back(value);
            if (static_cast<float>(value) != 0.0f) included.push_back(static_cast<float>(value));
        }
        std::sort(included.begin(), included.end());
        std::vector<std::string> cards = fitsImageCards(c.bitpix, kColumns, kRows);
        cards.push_back(fitsFreeCard("BSCALE", std::to_string(c.bscale), 11));
        cards.push_back(fitsFreeCard("BZERO", std::to_string(c.bzero), 11));
        test::writeFile(dir / "f.fit",
                        fitsFileBytes(cards, encodeSamples(values, c.bitpix, c.bscale, c.bzero)));
        FitsFile file;
        ASSERT_TRUE(file.open(dir / "f.fit"));
        const ImageHeader header = parseHeader(readHeaderBlocks(file));
        PixelImage image;
        const DescribedImage d = readAndDescribeImage(file, header, image);
        const std::string what = std::to_string(c.bitpix) + " " + std::to_string(c.bscale) + " " +
                                 std::to_string(c.bzero);
        EXPECT_EQ(d.stats.includedCount, static_cast<std::int64_t>(included.size())) << what;
        EXPECT_EQ(d.stats.median, MedianOfSorted(included)) << what;
        EXPECT_EQ(d.stats.p1, PercentileOfSorted(included, 0.01f)) << what;
        EXPECT_EQ(d.stats.p999, PercentileOfSorted(included, 0.999f)) << what;
        EXPECT_EQ(d.stats.smallest, std::min(included.front(), 64000.0f)) << what;
        EXPECT_EQ(d.stats.largest, std::max(included.back(), -64000.0f)) << what;
    }
}

// A 4096 x 4096 frame of 16-bit samples alternating 788 and 812 in a checkerboard: its mean is
// 800 and its standard deviation 12, and so is the 164 x 164 background rectangle about pixel
// (1000, 1000) (26706 pixels, 13353 of each value). Sums rounded to 32 bits on every addition
// stop growing long before 16.8 million pixels of 800.
TEST(FirstImageStatistics, ALargeFrameGivesItsTrueMeanAndDeviation) {
    constexpr int kSide = 4096;
    std::string data(static_cast<std::size_t>(kSide) * kSide * 2, '\0');
    for (std::size_t i = 0; i < data.size() / 2; ++i) {
        const bool odd = (i / kSide + i % kSide) % 2 == 1;
        data[2 * i] = 0x03;  // 788 = 0x0314, 812 = 0x032C, big-endian
        data[2 * i + 1] = static_cast<char>(odd ? 0x2C : 0x14);
    }
    test::TempDir dir;
    test::writeFile(dir / "big.fit", fitsFileBytes(fitsImageCards(16, kSide, kSide), data));
    FitsFile file;
    ASSERT_TRUE(file.open(dir / "big.fit"));
    const ImageHeader header = parseHeader(readHeaderBlocks(file));
    PixelImage image;
    const DescribedImage d = readAndDescribeImage(file, header, image);
    RunLog log = RunLog::inMemory();
    logFirstImage(log, d.stats);
    StarSelection selection;
    selection.backgroundX = 1000.0f;
    selection.backgroundY = 1000.0f;
    placeBackgroundRectangle(selection, kSide, kSide);
    const BackgroundStats background = measureBackground(image, selection);
    EXPECT_EQ(background.taken, 26706);
    logBackground(log, background);
    const std::vector<std::string> lines = test::logLines(log.contents());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Average DC =  800 "), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "STD DEV DC =  12 "), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Average background rectangle DC =  800 "),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "STD DEV background rectangle DC =  12 "),
              lines.end());
}

}  // namespace
}  // namespace orvel
