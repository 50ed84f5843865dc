#include "analysis/star_peaks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/test_support.h"

namespace orvel {
namespace {

using test::flatImage;

constexpr float kSky = 100.0f;

// Adds a Gaussian star of the peak (DC above the sky) and sigma (pixels) at (x, y).
void addStar(PixelImage& image, double x, double y, double peak, double sigma) {
    for (int r = 0; r < image.rows; ++r)
        for (int c = 0; c < image.columns; ++c) {
            const double d2 = (c - x) * (c - x) + (r - y) * (r - y);
            image.at(c, r) += static_cast<float>(peak * std::exp(-d2 / (2 * sigma * sigma)));
        }
}

std::vector<PatchStar> starsOf(const PixelImage& image, PixelRegion area) {
    return findPatchStars(image, area, {kSky, 5.0});
}

// Two stars 12 px apart are two, the brighter first, each placed to a fraction of a pixel; the
// fainter one is the one nearest a click beside it, and owns the pixels on its side.
TEST(StarPeaks, ANeighbourIsAStarOfItsOwn) {
    PixelImage image = flatImage(60, 40, kSky);
    addStar(image, 20.3, 20.0, 2000.0, 1.3);
    addStar(image, 32.3, 20.0, 6000.0, 1.3);
    const std::vector<PatchStar> stars = starsOf(image, {5, 35, 5, 50});
    ASSERT_EQ(stars.size(), 2u);
    EXPECT_NEAR(stars[0].column, 32.3, 0.15);
    EXPECT_NEAR(stars[1].column, 20.3, 0.15);
    EXPECT_NEAR(stars[1].row, 20.0, 0.15);
    EXPECT_EQ(nearestPatchStar(stars, 22.0, 21.0), 1);
    EXPECT_TRUE(nearestToStar(stars, 1, 26, 20));
    EXPECT_FALSE(nearestToStar(stars, 1, 27, 20));
    // A share of a third keeps the fainter, a half passes it over.
    EXPECT_EQ(brightPatchStars(stars, 0.3).size(), 2u);
    EXPECT_EQ(brightPatchStars(stars, 0.5).size(), 1u);
}

// The flat ring of a defocused star has many peaks and is one star; a hot pixel is none.
TEST(StarPeaks, ARingIsOneStarAndASpikeNone) {
    PixelImage image = flatImage(60, 60, kSky);
    for (int r = 0; r < 60; ++r)
        for (int c = 0; c < 60; ++c) {
            const double d = std::hypot(c - 30.0, r - 30.0);
            if (d >= 4.0 && d <= 8.0)
                image.at(c, r) += 800.0f + 40.0f * static_cast<float>((c * 7 + r * 3) % 5);
        }
    image.at(50, 10) = 30000.0f;
    const std::vector<PatchStar> stars = starsOf(image, {2, 57, 2, 57});
    ASSERT_EQ(stars.size(), 1u);
    EXPECT_GT(stars[0].peaks.size(), 1u);
    EXPECT_NEAR(std::hypot(stars[0].column - 30.0, stars[0].row - 30.0), 6.0, 2.5);
}

// Light from a star beyond the area's edge peaks on the edge: marked, never the star nearest.
TEST(StarPeaks, AStarBeyondTheEdgeIsNeverTheStar) {
    PixelImage image = flatImage(60, 40, kSky);
    addStar(image, 20.0, 20.0, 500.0, 1.3);
    addStar(image, 31.5, 20.0, 9000.0, 1.3);
    const std::vector<PatchStar> stars = starsOf(image, {10, 30, 10, 30});
    ASSERT_EQ(stars.size(), 2u);
    EXPECT_TRUE(stars[0].beyondEdge);
    EXPECT_FALSE(stars[1].beyondEdge);
    EXPECT_EQ(nearestPatchStar(stars, 29.0, 20.0), 1);
}

}  // namespace
}  // namespace orvel
