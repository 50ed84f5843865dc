// Cosmic rays and hot pixels on a frame read from its FITS bytes: the star is found where its
// light is, the photometry measures the spike as its neighbours' median and the frame's
// warnings say so; a sharp star is not taken for a spike.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "night/frame_acceptance.h"
#include "night/frame_pipeline.h"
#include "night/frame_reading.h"
#include "night/frame_selection.h"
#include "support/test_support.h"

namespace orvel {
namespace {

constexpr double kSky = 100.0;
constexpr int kStarColumn = 50;
constexpr int kStarRow = 40;

// A 100 x 80 frame with noise of 10 DC, the star centred on pixel (50, 40).
test::FrameRecipe noisyFrame(double sigma = 1.5, double peak = 5000.0) {
    test::FrameRecipe f;
    f.columns = 100;
    f.rows = 80;
    f.sky = kSky;
    f.starColumn = kStarColumn;
    f.starRow = kStarRow;
    f.starPeak = peak;
    f.sigma = sigma;
    f.noise = 10.0;
    return f;
}

// The frame written as a file and measured as the night measures it, the star picked at
// (52, 41) with a search half-size of 10 and the sky rectangle in a corner.
FrameMeasurement measureRecipe(const test::FrameRecipe& recipe) {
    test::TempDir dir;
    test::writeFile(dir / "frame_R.fits", test::frameBytes(recipe));
    FrameSelection choice;
    choice.patterns = {"*.fits"};
    const ImageFileList list = selectFrames(dir.path(), choice);
    const FrameFile file = openFrameFile(dir.path(), list.files.at(0).source);
    const ImageHeader header = frameHeader(file, list.files.at(0).source);
    StarSelection picks;
    picks.starX = kStarColumn + 2;
    picks.starY = kStarRow + 1;
    picks.radius = 10.0f;
    picks.x1 = 5;
    picks.y1 = 5;
    picks.x2 = 35;
    picks.y2 = 25;
    PixelImage buffer;
    FileRows rows(file.file, header, buffer);
    return measureFrame(rows, picks, ObservingSetup{}, header);
}

bool hasSpikeWarning(const FrameMeasurement& m, const std::string& place) {
    for (const std::string& w : measurementWarnings(m))
        if (w ==
            "a cosmic ray or hot pixel at " + place + " was replaced by its neighbours' median")
            return true;
    return false;
}

TEST(StarSpike, AHotPixelAboveTheStarsPeakLeavesTheStarAndItsSignal) {
    const FrameMeasurement clean = measureRecipe(noisyFrame());
    test::FrameRecipe spiked = noisyFrame();
    // 4 columns right and 3 rows up of the star: in the search square and in the aperture.
    spiked.spikes = {{kStarColumn + 4, kStarRow - 3, kSky + 9000.0}};
    const FrameMeasurement m = measureRecipe(spiked);
    EXPECT_EQ(m.star.brightestColumn, kStarColumn);
    EXPECT_EQ(m.star.brightestRow, kStarRow);
    EXPECT_EQ(m.star.brightestValue, clean.star.brightestValue);
    ASSERT_GE(m.rings.innerRadius, 5.0f);
    // One pixel measured as its neighbours' median: a few times the noise from the clean
    // pixel, against 9000 DC of the hot pixel.
    EXPECT_NEAR(m.rings.integratedDC, clean.rings.integratedDC, 100.0);
    EXPECT_TRUE(hasSpikeWarning(m, "54, 37"));
    EXPECT_TRUE(clean.rings.replaced.empty());
    EXPECT_FALSE(hasSpikeWarning(clean, "54, 37"));
}

TEST(StarSpike, ACosmicRayInTheApertureIsMeasuredAsItsNeighbours) {
    const FrameMeasurement clean = measureRecipe(noisyFrame());
    const int offset = static_cast<int>(clean.rings.innerRadius) - 1;
    ASSERT_GE(offset, 4);
    test::FrameRecipe spiked = noisyFrame();
    // Below the star's peak, out on its faint wing.
    spiked.spikes = {{kStarColumn - offset, kStarRow, kSky + 3000.0}};
    const FrameMeasurement m = measureRecipe(spiked);
    EXPECT_EQ(m.star.brightestColumn, kStarColumn);
    EXPECT_EQ(m.rings.innerRadius, clean.rings.innerRadius);
    EXPECT_NEAR(m.rings.integratedDC, clean.rings.integratedDC, 100.0);
    EXPECT_TRUE(hasSpikeWarning(m, std::to_string(kStarColumn - offset) + ", 40"));
}

TEST(StarSpike, ACosmicRayInTheAnnulusIsMeasuredAsItsNeighbours) {
    const FrameMeasurement clean = measureRecipe(noisyFrame());
    const int offset = static_cast<int>(clean.rings.annulusOuter);
    ASSERT_GT(offset, clean.rings.innerRadius);
    test::FrameRecipe spiked = noisyFrame();
    spiked.spikes = {{kStarColumn, kStarRow + offset, kSky + 3000.0}};
    const FrameMeasurement m = measureRecipe(spiked);
    EXPECT_EQ(m.rings.innerRadius, clean.rings.innerRadius);
    EXPECT_NEAR(m.rings.skyLevel, clean.rings.skyLevel, 1.0);
    EXPECT_NEAR(m.rings.integratedDC, clean.rings.integratedDC, 100.0);
    EXPECT_TRUE(hasSpikeWarning(m, "50, " + std::to_string(kStarRow + offset)));
}

TEST(StarSpike, SeveralSpikesAreToldInOneSentence) {
    test::FrameRecipe spiked = noisyFrame();
    spiked.spikes = {{kStarColumn + 3, kStarRow - 4, kSky + 4000.0},
                     {kStarColumn - 6, kStarRow + 2, kSky + 2500.0}};
    std::vector<std::string> told;
    for (const std::string& w : measurementWarnings(measureRecipe(spiked)))
        if (w.find("hot pixel") != std::string::npos) told.push_back(w);
    const std::vector<std::string> expected = {
        "2 cosmic rays or hot pixels (the first at 53, 36) were replaced by their neighbours' "
        "median"};
    EXPECT_EQ(told, expected);
}

TEST(StarSpike, SharpStarsAreStarsNotSpikes) {
    // FWHM 1.65 and 1.3 pixels, centred on a pixel: the sharpest their peaks can be.
    for (const double sigma : {0.7, 0.55}) {
        const FrameMeasurement m = measureRecipe(noisyFrame(sigma, 20000.0));
        EXPECT_EQ(m.star.brightestColumn, kStarColumn) << sigma;
        EXPECT_EQ(m.star.brightestRow, kStarRow) << sigma;
        EXPECT_GT(m.star.brightestValue, kSky + 19900.0) << sigma;
        EXPECT_TRUE(m.rings.replaced.empty()) << sigma;
        EXPECT_GT(m.rings.integratedDC, 0.9 * 2 * M_PI * sigma * sigma * 20000.0) << sigma;
    }
    // Centred on a pixel corner: a flat top of four pixels, each with three bright neighbours.
    test::FrameRecipe corner = noisyFrame(0.55, 20000.0);
    corner.starColumn = kStarColumn + 0.5;
    corner.starRow = kStarRow + 0.5;
    const FrameMeasurement m = measureRecipe(corner);
    EXPECT_LE(std::abs(m.star.brightestColumn - corner.starColumn), 0.5);
    EXPECT_LE(std::abs(m.star.brightestRow - corner.starRow), 0.5);
    EXPECT_TRUE(m.rings.replaced.empty());
}

}  // namespace
}  // namespace orvel
