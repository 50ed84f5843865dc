#include "analysis/ring_photometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "base/number_format.h"
#include "night/night_log.h"
#include "support/test_support.h"

namespace orvel {
namespace {

// Ring of a pixel: the whole number nearest its distance from the centre (a distance never
// lies within rounding of a half).
int ringOf(int dc, int dr) {
    return static_cast<int>(std::lround(std::sqrt(dc * dc + dr * dr)));
}

// One of four quarters that a quarter turn about the centre cycles through; every ring holds
// the same number of pixels in each.
int quarterOf(int dc, int dr) {
    if (dc > 0 && dr >= 0) return 0;
    if (dr > 0 && dc <= 0) return 1;
    if (dc < 0 && dr <= 0) return 2;
    return 3;
}

PixelImage imageAbout(int size, int xc, int yc, const std::function<float(int, int)>& value) {
    PixelImage image;
    image.columns = size;
    image.rows = size;
    for (int r = 0; r < size; ++r)
        for (int c = 0; c < size; ++c)
            image.pixels.push_back(value(ringOf(c - xc, r - yc), quarterOf(c - xc, r - yc)));
    return image;
}

// Rings 1..K-3 alternate between medians 0.5 and 1.5, rings K-2..K have median 1, farther
// pixels are 0: the medians settle exactly at ring K. Within each ring three quarters hold the
// median value x and the fourth 4 - 3x, so that every ring sums to its pixel count and the
// integrated DC (sky 0) counts the aperture pixels.
PixelImage settlingAt(int stopRing, int size) {
    const int c = size / 2;
    return imageAbout(size, c, c, [stopRing](int ring, int quarter) {
        if (ring == 0) return 1.0f;
        if (ring > stopRing) return 0.0f;
        const float x = ring > stopRing - 3 ? 1.0f : ((stopRing - 3 - ring) % 2 == 0 ? 0.5f : 1.5f);
        return quarter == 3 ? 4.0f - 3.0f * x : x;
    });
}

struct Measured {
    RingPhotometry result;
    std::vector<std::string> lines;
};

Measured measure(const PixelImage& image, int xc, int yc) {
    RunLog log = RunLog::inMemory();
    Measured m;
    m.result = measureRings(image, xc, yc).value();
    logRings(log, m.result);
    m.lines = test::logLines(log.contents());
    return m;
}

// The count printed in a ring line.
int ringCount(const std::string& line) {
    const std::string label = " pixels in ring = ";
    return std::stoi(line.substr(line.find(label) + label.size()));
}

TEST(RingPhotometry, MediansSettlingStopTheGrowthAndSetTheAperture) {
    struct Case {
        int stop, outer, annulus, aperture;
        const char* outerText;
    };
    for (const Case& k : {Case{3, 4, 20, 29, " 4.24264 "}, Case{5, 7, 68, 81, " 7.071068 "},
                          Case{10, 14, 296, 317, " 14.14214 "}}) {
        const Measured m = measure(settlingAt(k.stop, 61), 30, 30);
        EXPECT_EQ(m.result.innerRadius, k.stop);
        EXPECT_EQ(m.result.outerLimit, k.outer);
        EXPECT_EQ(m.result.annulusCount, k.annulus);
        EXPECT_EQ(m.result.skyLevel, 0.0f);
        EXPECT_EQ(m.result.integratedDC, static_cast<float>(k.aperture));
        const std::size_t after = 2 + static_cast<std::size_t>(k.stop);
        const std::vector<std::string> tail(m.lines.begin() + static_cast<long>(after),
                                            m.lines.end());
        const std::vector<std::string> expected = {
            "",
            "Inner ring radius =  " + std::to_string(k.stop) + " ",
            std::string("Outer ring radius = ") + k.outerText,
            "Number of pixels in outer ring =  " + std::to_string(k.annulus) + " ",
            "Median background DC =  0 ",
            "Integrated star DC - background =  " + std::to_string(k.aperture) + " ",
            "Stellar Magnitude = " + formatLong(std::log(static_cast<double>(k.aperture))),
        };
        EXPECT_EQ(tail, expected) << "stop at ring " << k.stop;
        EXPECT_DOUBLE_EQ(m.result.magnitude, std::log(static_cast<double>(k.aperture)));
    }
}

TEST(RingPhotometry, AnnulusSpreadAndApertureCountOfASettledStar) {
    // Aperture of radius 3 (29 pixels, the count worked above); beyond it a sky of 100 with
    // every pixel 10 above or below it, so every deviation from the median is 10 and the
    // robust spread is 14.826.
    const PixelImage image = imageAbout(41, 20, 20, [](int ring, int quarter) {
        if (ring <= 3) return 100.0f;
        return quarter % 2 == 0 ? 110.0f : 90.0f;
    });
    const RingPhotometry r = measureRings(image, 20, 20).value();
    ASSERT_EQ(r.innerRadius, 3);
    EXPECT_EQ(r.aperturePixels, 29);
    EXPECT_EQ(r.skyLevel, 100.0f);
    EXPECT_NEAR(r.skyNoise, 14.826, 1e-9);
}

TEST(RingPhotometry, GrowthRunsOutAfterRingOneHundred) {
    // Medians alternate through ring 100: the inner radius becomes 101.
    const Measured m = measure(settlingAt(103, 301), 150, 150);
    EXPECT_EQ(static_cast<int>(m.result.rings.size()), 100);
    EXPECT_EQ(m.result.innerRadius, 101);
    EXPECT_EQ(m.result.outerLimit, 143);
    EXPECT_EQ(m.result.annulusCount, 32192);
    EXPECT_EQ(m.result.integratedDC, 32017.0f);
    ASSERT_EQ(m.lines.size(), 2u + 100u + 7u);
    EXPECT_EQ(m.lines[0], "");
    EXPECT_EQ(m.lines[1], "Data for rings:");
    EXPECT_EQ(m.lines[103], "Inner ring radius =  101 ");
    EXPECT_EQ(m.lines[104], "Outer ring radius =  142.8356 ");
    // Rings 1 to 10 far from the edges.
    const std::vector<int> expected = {8, 12, 16, 32, 28, 40, 40, 48, 68, 56};
    for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(ringCount(m.lines[2 + k]), expected[k]) << "ring " << k + 1;
    }
}

TEST(RingPhotometry, RingLinesShowTheMediansAndTheStopAtRingFour) {
    const std::vector<float> medians = {0, 1000, 100, 99.5f, 99.2f};
    const PixelImage image = imageAbout(31, 15, 15, [&](int ring, int) {
        return ring < 5 ? medians[static_cast<std::size_t>(ring)] : 0.0f;
    });
    const Measured m = measure(image, 15, 15);
    const std::vector<std::string> expected = {
        "",
        "Data for rings:",
        "  Ring #  1  pixels in ring =  8  median DC =  1000  old median =  0  old median 2 =  0 ",
        "  Ring #  2  pixels in ring =  12  median DC =  100  old median =  1000  old median 2 =  "
        "0 ",
        "  Ring #  3  pixels in ring =  16  median DC =  99.5  old median =  100  old median 2 =  "
        "1000 ",
        "  Ring #  4  pixels in ring =  32  median DC =  99.2  old median =  99.5  old median 2 = "
        " 100 ",
        "",
        "Inner ring radius =  4 ",
        "Outer ring radius =  5.656854 ",
        "Number of pixels in outer ring =  64 ",
        "Median background DC =  0 ",
    };
    ASSERT_GE(m.lines.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(m.lines.begin(), m.lines.begin() + 11), expected);
    EXPECT_EQ(m.result.outerLimit, 6);
    // 8 x 1000 + 12 x 100 + 16 x 99.5 + 12 x 99.2 inside radius 4.
    EXPECT_NEAR(m.result.integratedDC, 11982.4f, 0.01f);
}

TEST(RingPhotometry, EqualMediansStopAtRingThreeZeroMediansNever) {
    const PixelImage flat = imageAbout(41, 20, 20, [](int, int) { return 50.0f; });
    const Measured m = measure(flat, 20, 20);
    // A frame with no star: the sky equals every pixel, nothing is integrated.
    EXPECT_EQ(m.result.innerRadius, 3);
    EXPECT_EQ(m.result.skyLevel, 50.0f);
    EXPECT_EQ(m.result.integratedDC, 0.0f);
    EXPECT_EQ(m.result.magnitude, 0.0);
    EXPECT_EQ(m.lines.back(), "Stellar Magnitude =  0 ");
    const Measured zero = measure(imageAbout(41, 20, 20, [](int, int) { return 0.0f; }), 20, 20);
    EXPECT_EQ(static_cast<int>(zero.result.rings.size()), 100);
    EXPECT_EQ(zero.result.innerRadius, 101);
}

TEST(RingPhotometry, NegativePreviousMedianCountsAsSettled) {
    const std::vector<float> medians = {0, -10, -20, 50};
    const PixelImage image = imageAbout(31, 15, 15, [&](int ring, int) {
        return ring < 4 ? medians[static_cast<std::size_t>(ring)] : 0.0f;
    });
    EXPECT_EQ(measure(image, 15, 15).result.innerRadius, 3);
}

TEST(RingPhotometry, CentresAtCornersAndOutsideReadOnlyInsideTheImage) {
    const PixelImage image = imageAbout(30, 0, 0, [](int ring, int) {
        return ring <= 2 ? 1000.0f - 100.0f * static_cast<float>(ring) : 10.0f;
    });
    const Measured corner = measure(image, 0, 0);
    EXPECT_EQ(ringCount(corner.lines[2]), 3);
    for (const auto& [x, y] :
         std::vector<std::pair<int, int>>{{29, 29}, {0, 29}, {29, 0}, {15, 0}}) {
        const Measured m = measure(image, x, y);
        EXPECT_GE(m.result.innerRadius, 3);
    }
    const Measured outside = measure(image, -500, -500);
    EXPECT_EQ(outside.result.innerRadius, 101);
    EXPECT_EQ(outside.result.annulusCount, 0);
    EXPECT_EQ(outside.result.skyLevel, 0.0f);
    EXPECT_EQ(outside.result.integratedDC, 0.0f);
    EXPECT_EQ(ringCount(outside.lines[2]), 0);
}

TEST(RingPhotometry, NaNAndInfinitePixelsDoNotCrash) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Measured m = measure(
        imageAbout(41, 20, 20,
                   [&](int ring, int q) {
                       return ring % 3 == 0
                                  ? nan
                                  : (q == 0 ? std::numeric_limits<float>::infinity() : 5.0f);
                   }),
        20, 20);
    EXPECT_EQ(m.result.magnitude, 0.0);
    EXPECT_EQ(m.lines.back(), "Stellar Magnitude =  0 ");
}

}  // namespace
}  // namespace orvel
