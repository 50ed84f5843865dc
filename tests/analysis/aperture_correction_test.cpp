// The automatic aperture's signal corrected to the light within a multiple of each frame's FWHM:
// the radius it is read out to, the light summed there, the annulus moved beyond the widest
// star's wings, and the lines that say so.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "analysis/aperture_choice.h"
#include "analysis/nearby_stars.h"
#include "analysis/ring_photometry.h"
#include "night/night_log.h"
#include "support/test_support.h"

namespace orvel {
namespace {

constexpr int kSize = 101;
constexpr int kCentre = 50;

// Sky 100; 10 more within 4 px of the centre and 1 more from there out to 8 px: a core and a
// faint wing. Pixel centres within 4, 8 and 10 px number 49, 197 and 317.
PixelImage coreAndWing() {
    PixelImage image;
    image.columns = kSize;
    image.rows = kSize;
    for (int r = 0; r < kSize; ++r)
        for (int c = 0; c < kSize; ++c) {
            const double d = std::hypot(c - kCentre, r - kCentre);
            image.pixels.push_back(d <= 4.0 ? 110.0f : d <= 8.0 ? 101.0f : 100.0f);
        }
    return image;
}

// An aperture of radius 4 corrected to 4 FWHM of each frame, the widest FWHM 2.5 px.
ApertureGeometry corrected() {
    ApertureGeometry g;
    g.radius = 4.0;
    g.annulusInner = 15.0;
    g.annulusOuter = 30.0;
    g.lightPerFwhm = 4.0;
    g.widestFwhm = 2.5;
    return g;
}

TEST(ApertureCorrection, TheSignalIsTheLightOutToTheFramesOwnRadius) {
    const PixelImage image = coreAndWing();
    // FWHM 2 px: the light out to 8 px, 49 x 10 + 148 x 1, over 197 pixels.
    const RingPhotometry r =
        measureFixedAperture(image, kCentre, kCentre, corrected(), 2.0).value();
    EXPECT_FLOAT_EQ(r.skyLevel, 100.0f);
    EXPECT_FLOAT_EQ(r.apertureDC, 490.0f);
    EXPECT_FLOAT_EQ(r.lightRadius, 8.0f);
    EXPECT_FLOAT_EQ(r.integratedDC, 638.0f);
    EXPECT_EQ(r.aperturePixels, 197);
    EXPECT_NEAR(r.magnitude, std::log(638.0), 1e-6);
    EXPECT_FLOAT_EQ(r.innerRadius, 4.0f);  // the aperture keeps its radius
    EXPECT_FLOAT_EQ(r.peak, 110.0f);
    // A frame without a width, or wider than the widest, is read out to 4 x 2.5 = 10 px.
    const RingPhotometry wide =
        measureFixedAperture(image, kCentre, kCentre, corrected(), std::nan("")).value();
    EXPECT_FLOAT_EQ(wide.lightRadius, 10.0f);
    EXPECT_EQ(wide.aperturePixels, 317);
    EXPECT_FLOAT_EQ(wide.integratedDC, 638.0f);
    EXPECT_DOUBLE_EQ(correctedLightRadius(corrected(), 7.0), 10.0);
    // Without the correction the aperture's own signal is the signal.
    ApertureGeometry plain = corrected();
    plain.lightPerFwhm = 0.0;
    const RingPhotometry own = measureFixedAperture(image, kCentre, kCentre, plain, 2.0).value();
    EXPECT_FLOAT_EQ(own.integratedDC, 490.0f);
    EXPECT_EQ(own.aperturePixels, 49);
    EXPECT_FLOAT_EQ(own.lightRadius, 0.0f);
}

TEST(ApertureCorrection, ACosmicRayInTheWingIsMeasuredAsItsNeighbours) {
    // The annulus given a noise (99.5, 100 and 100.5 in turn, median 100), without which no
    // pixel is judged a spike; a cosmic ray 6 px below the centre, in the wing.
    PixelImage image = coreAndWing();
    for (int r = 0; r < kSize; ++r)
        for (int c = 0; c < kSize; ++c)
            if (std::hypot(c - kCentre, r - kCentre) > 15.0)
                image.pixels[static_cast<std::size_t>(r * kSize + c)] += 0.5f * static_cast<float>((c + r) % 3 - 1);
    image.pixels[static_cast<std::size_t>((kCentre + 6) * kSize + kCentre)] = 30000.0f;
    const RingPhotometry r =
        measureFixedAperture(image, kCentre, kCentre, corrected(), 2.0).value();
    ASSERT_EQ(r.replaced.size(), 1u);
    EXPECT_EQ(r.replaced[0].row, kCentre + 6);
    EXPECT_FLOAT_EQ(r.skyLevel, 100.0f);
    EXPECT_FLOAT_EQ(r.integratedDC, 638.0f);
}

TEST(ApertureCorrection, ChosenForTheAutomaticRadiusWithTheAnnulusBeyondTheWings) {
    ApertureSettings automatic;
    automatic.rule = ApertureRule::automatic;
    // Median 4, widest 6: radius 12; light out to 4 FWHM; annulus from 6 x 6 = 36 px holding four
    // times the area within 24 px: sqrt(36^2 + 4 x 24^2) = 60.
    const ApertureGeometry a = chooseAperture(automatic, 4.0, 6.0).value();
    EXPECT_DOUBLE_EQ(a.radius, 12.0);
    EXPECT_DOUBLE_EQ(a.lightPerFwhm, 4.0);
    EXPECT_DOUBLE_EQ(a.widestFwhm, 6.0);
    EXPECT_DOUBLE_EQ(a.annulusInner, 36.0);
    EXPECT_DOUBLE_EQ(a.annulusOuter, 60.0);
    EXPECT_EQ(apertureReach(a), 61);
    // A fixed radius is never corrected.
    ApertureSettings fixed;
    fixed.rule = ApertureRule::fixed;
    fixed.radius = 5.0;
    EXPECT_DOUBLE_EQ(chooseAperture(fixed, 4.0, 6.0)->lightPerFwhm, 0.0);
    // The widest of the widths, no wider than twice their median.
    EXPECT_DOUBLE_EQ(widestWidth({3.0, std::nan(""), 5.0, 4.0}), 5.0);
    EXPECT_DOUBLE_EQ(widestWidth({3.0, std::nan(""), 5.0, 4.0, 10.0}), 9.0);
    EXPECT_TRUE(std::isnan(widestWidth({std::nan("")})));
}

TEST(ApertureCorrection, AnotherStarWithinTheCorrectedLightTurnsItOff) {
    ApertureSettings automatic;
    automatic.rule = ApertureRule::automatic;
    // Median 3 (radius 9, a star's light 9 px), widest 4: light out to 16 px. A star 20 px away
    // (beyond twice the radius, so not taken in) reaches to 11 px: no correction, and the
    // annulus back at 9 to sqrt(81 + 4 x 81) = 20.125 px with the star masked out of it.
    ApertureGeometry g = chooseAperture(automatic, 3.0, 4.0).value();
    EXPECT_EQ(allowForNearbyStars(automatic, {{70, 50, 20.0, 100.0}}, 3.0, g), 0);
    EXPECT_DOUBLE_EQ(g.lightPerFwhm, 0.0);
    EXPECT_DOUBLE_EQ(g.annulusInner, 9.0);
    EXPECT_NEAR(g.annulusOuter, 20.124612, 1e-6);
    EXPECT_EQ(g.masks.size(), 1u);
    // 30 px away it reaches to 21 px: the correction stays.
    ApertureGeometry far = chooseAperture(automatic, 3.0, 4.0).value();
    allowForNearbyStars(automatic, {{80, 50, 30.0, 100.0}}, 3.0, far);
    EXPECT_DOUBLE_EQ(far.lightPerFwhm, 4.0);
}

// A Moffat star of beta 2.5 and alpha 3 px (FWHM 3.06 px) peaking 200000 above a sky of 100
// with a noise of 12.8 (a 3 x 3 mean's threshold 21 above the sky), and another star 15 px away
// peaking 300 above it; noise drawn from the seed.
PixelImage wingAndNeighbour(unsigned seed) {
    PixelImage image;
    image.columns = kSize;
    image.rows = kSize;
    std::mt19937_64 engine(seed);
    std::normal_distribution<double> noise(0.0, 12.8);
    for (int r = 0; r < kSize; ++r)
        for (int c = 0; c < kSize; ++c) {
            const double dy2 = (r - kCentre) * (r - kCentre);
            const double d2 = (c - kCentre) * (c - kCentre) + dy2;
            const double o2 = (c - kCentre - 15) * (c - kCentre - 15) + dy2;
            image.pixels.push_back(static_cast<float>(100.0 +
                                                      200000.0 * std::pow(1.0 + d2 / 9.0, -2.5) +
                                                      300.0 * std::exp(-o2 / 3.2) + noise(engine)));
        }
    return image;
}

TEST(ApertureCorrection, BumpsOfNoiseOnABrightStarsWingAreNoOtherStars) {
    // The wing stands 14 above the sky at 20 px, where its slope (under 4 per pixel) is no
    // more than the noise of a 3 x 3 mean: noise makes local peaks there that clear the sky's
    // threshold but not the wing's. Over 20 seeds only the star 15 px away is found.
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const std::vector<NearbyStar> found =
            findNearbyStars(wingAndNeighbour(seed), kCentre, kCentre, 3.1, 40.0);
        ASSERT_EQ(found.size(), 1u) << seed;
        EXPECT_EQ(found[0].column, kCentre + 15) << seed;
        EXPECT_EQ(found[0].row, kCentre) << seed;
    }
}

TEST(ApertureCorrection, TheNightsFitCorrectsTheAperturesSignalForTheFramesWidth) {
    // ln c = 0.001 FWHM^2 over FWHM 2 to 6 px, equal weights: about the mean 4 px, c0 = 0.016,
    // c1 = 0.008, c2 = 0.001.
    std::vector<GrowthSample> samples;
    for (const double f : {2.0, 3.0, 4.0, 5.0, 6.0})
        samples.push_back({f, 1000.0, 1000.0 * std::exp(0.001 * f * f), 100});
    samples.push_back({std::nan(""), 1000.0, 2000.0, 100});  // no width: left out
    samples.push_back({4.0, -5.0, 2000.0, 100});             // no signal: left out
    const GrowthCorrection c = fitGrowthCorrection(samples).value();
    EXPECT_EQ(c.frames, 5);
    EXPECT_NEAR(c.meanFwhm, 4.0, 1e-12);
    EXPECT_NEAR(c.c0, 0.016, 1e-9);
    EXPECT_NEAR(c.c1, 0.008, 1e-9);
    EXPECT_NEAR(c.c2, 0.001, 1e-9);
    EXPECT_NEAR(growthFactor(c, 5.0), std::exp(0.025), 1e-9);
    EXPECT_NEAR(growthFactor(c, 9.0), std::exp(0.036), 1e-9);  // taken at the widest, 6 px
    EXPECT_NEAR(growthFactor(c, std::nan("")), std::exp(0.016), 1e-9);
    // Corrections that go up and down with no trend: one factor, their mean 0.002.
    std::vector<GrowthSample> flat;
    for (const double f : {2.0, 3.0, 4.0, 5.0, 6.0})
        flat.push_back({f, 1000.0, 1000.0 * std::exp(static_cast<int>(f) % 2 ? -0.01 : 0.01), 100});
    const GrowthCorrection one = fitGrowthCorrection(flat).value();
    EXPECT_DOUBLE_EQ(one.c1, 0.0);
    EXPECT_DOUBLE_EQ(one.c2, 0.0);
    EXPECT_NEAR(one.c0, 0.002, 1e-12);
    // Two frames, the second with four times the pixels between the radii: a quarter of the
    // weight. Mean FWHM (3 + 5 / 4) / 1.25 = 3.4, mean ln c (0 + 0.1 / 4) / 1.25 = 0.02.
    const GrowthCorrection two =
        fitGrowthCorrection({{3.0, 100.0, 100.0, 10}, {5.0, 100.0, 100.0 * std::exp(0.1), 40}})
            .value();
    EXPECT_NEAR(two.meanFwhm, 3.4, 1e-12);
    EXPECT_NEAR(two.c0, 0.02, 1e-12);
    EXPECT_FALSE(fitGrowthCorrection({{std::nan(""), 1.0, 1.0, 1}}));
    // A frame measured with the night's correction: the aperture's 490 DC times e^0.009 at
    // FWHM 3 px, over the aperture's 49 pixels; the light out to 8 px still read for the log.
    ApertureGeometry g = corrected();
    g.growth = c;
    const RingPhotometry r = measureFixedAperture(coreAndWing(), kCentre, kCentre, g, 3.0).value();
    EXPECT_NEAR(r.integratedDC, 490.0 * std::exp(0.009), 1e-3);
    EXPECT_NEAR(r.correction, std::exp(0.009), 1e-9);
    EXPECT_EQ(r.aperturePixels, 49);
    EXPECT_FLOAT_EQ(r.lightDC, 638.0f);
    EXPECT_EQ(r.lightPixels, 317);  // out to 10 px: 4 x 3 is more than 4 x the widest 2.5
}

TEST(ApertureCorrection, TheLogSaysHowFarEachFrameAndTheNightWereRead) {
    RunLog log = RunLog::inMemory();
    logRings(log, measureFixedAperture(coreAndWing(), kCentre, kCentre, corrected(), 2.0).value());
    const std::vector<std::string> lines = test::logLines(log.contents());
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[11], "Median background DC =  100 ");
    EXPECT_EQ(lines[12], "Aperture star DC - background =  490 ");
    EXPECT_EQ(lines[13], "Light taken out to radius =  8 ");
    EXPECT_EQ(lines[14], "Light within that radius DC - background =  638 ");
    // 638 / 490 in the double-precision format.
    EXPECT_TRUE(lines[15].starts_with("Aperture correction =  1.30204081632")) << lines[15];
    EXPECT_EQ(lines[16], "Integrated star DC - background =  638 ");
    RunLog night = RunLog::inMemory();
    ApertureSettings automatic;
    automatic.rule = ApertureRule::automatic;
    std::optional<ApertureGeometry> g = chooseAperture(automatic, 4.0, 6.0);
    g->growth = GrowthCorrection{0.05, 0.02, 0.0, 4.0, 3.0, 5.0, 30};
    logAperture(night, automatic, g, {4.0, 12, 0});
    const std::vector<std::string> said = test::logLines(night.contents());
    ASSERT_EQ(said.size(), 3u);
    EXPECT_EQ(said[1],
              "Aperture = auto (3 x the median FWHM): radius 12 px; sky annulus 36 to 60 px; "
              "median FWHM 4 px of 12 frames");
    // e^0.03 = 1.03045, e^0.07 = 1.0725.
    EXPECT_EQ(said[2],
              "Aperture correction: each frame's light out to 4 x its own FWHM (at most 24 px, "
              "4 x the widest FWHM 6 px); sky annulus beyond the wings; fitted to the curves of "
              "growth of 30 frames: 1.0305 at FWHM 3 px to 1.0725 at 5 px");
}

}  // namespace
}  // namespace orvel
