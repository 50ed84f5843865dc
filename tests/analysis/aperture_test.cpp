// One aperture for the night: the fixed aperture's sums, its annulus's stepped median and
// masks, the star's fitted width, the other stars found about it, the radius and annulus
// chosen from the FWHM, and the signal-to-noise ratio.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "analysis/aperture_choice.h"
#include "analysis/nearby_stars.h"
#include "analysis/photometric_error.h"
#include "analysis/ring_photometry.h"
#include "analysis/star_profile.h"
#include "night/night_log.h"
#include "support/test_support.h"

namespace orvel {
namespace {

constexpr int kSize = 81;
constexpr int kCentre = 40;

// An image whose pixel (column, row) holds value(dc, dr), the offsets from the centre.
PixelImage imageOf(const std::function<float(int, int)>& value) {
    PixelImage image;
    image.columns = kSize;
    image.rows = kSize;
    for (int r = 0; r < kSize; ++r)
        for (int c = 0; c < kSize; ++c) image.pixels.push_back(value(c - kCentre, r - kCentre));
    return image;
}

double distanceOf(int dc, int dr) {
    return std::sqrt(dc * dc + dr * dr);
}

ApertureGeometry geometry(double radius, double inner, double outer) {
    ApertureGeometry g;
    g.radius = radius;
    g.annulusInner = inner;
    g.annulusOuter = outer;
    return g;
}

TEST(FixedAperture, SumsTheApertureLessTheAnnulusMedian) {
    // Sky 100; 50 more on every pixel within 10 pixels: the aperture of radius 10 holds 317
    // pixels and the annulus 10 < d <= 14 holds 296 (the described geometry's numbers).
    const PixelImage image =
        imageOf([](int dc, int dr) { return distanceOf(dc, dr) <= 10.0 ? 150.0f : 100.0f; });
    const RingPhotometry r =
        measureFixedAperture(image, kCentre, kCentre, geometry(10, 10, 14)).value();
    EXPECT_TRUE(r.fixedAperture);
    EXPECT_EQ(r.aperturePixels, 317);
    EXPECT_EQ(r.annulusCount, 296);
    EXPECT_FLOAT_EQ(r.skyLevel, 100.0f);
    EXPECT_FLOAT_EQ(r.integratedDC, 317 * 50.0f);
    EXPECT_FLOAT_EQ(r.innerRadius, 10.0f);
    EXPECT_FLOAT_EQ(r.outerRadius, 14.0f);
    EXPECT_DOUBLE_EQ(r.skyNoise, 0.0);
    EXPECT_FLOAT_EQ(r.peak, 150.0f);
    EXPECT_NEAR(r.magnitude, std::log(317 * 50.0), 1e-6);
    // The profile's rings out to the radius, none of them a stop.
    ASSERT_EQ(r.rings.size(), 10u);
    EXPECT_EQ(r.rings[9].number, 10);
    EXPECT_FLOAT_EQ(r.rings[8].median, 150.0f);
    EXPECT_FLOAT_EQ(r.rings[9].oldMedian, 150.0f);
}

TEST(FixedAperture, RadiiNeedNotBeWholeNumbers) {
    const PixelImage image = imageOf([](int, int) { return 7.0f; });
    // d <= 2.5 holds the 21 pixels at distances 0, 1, sqrt(2), 2 and sqrt(5); 2.5 < d <= 3.2
    // the 4 at sqrt(8), the 4 at 3 and the 8 at sqrt(10).
    const RingPhotometry r =
        measureFixedAperture(image, kCentre, kCentre, geometry(2.5, 2.5, 3.2)).value();
    EXPECT_EQ(r.aperturePixels, 21);
    EXPECT_EQ(r.annulusCount, 16);
    EXPECT_EQ(r.rings.size(), 2u);
    EXPECT_EQ(measureFixedAperture(image, kCentre, kCentre, geometry(0.6, 1, 2))->rings.size(), 1u);
}

TEST(FixedAperture, WholeNumberSkyTakesTheSteppedMedian) {
    // A quarter of the annulus at 801, the rest at 800: the plain median is 800, the stepped
    // one 800 - 1/2 + (296/2 - 0) / 222 = 800.16667.
    const PixelImage image = imageOf([](int dc, int dr) {
        return dc > 0 && dr >= 0 && distanceOf(dc, dr) > 10.0 ? 801.0f : 800.0f;
    });
    const RingPhotometry fixed =
        measureFixedAperture(image, kCentre, kCentre, geometry(10, 10, 14)).value();
    EXPECT_NEAR(fixed.skyLevel, 800.0 - 0.5 + 148.0 / 222.0, 1e-4);
    // Values that are not whole numbers give the plain median.
    const PixelImage halves = imageOf([](int dc, int dr) {
        return dc > 0 && dr >= 0 && distanceOf(dc, dr) > 10.0 ? 801.5f : 800.5f;
    });
    EXPECT_FLOAT_EQ(measureFixedAperture(halves, kCentre, kCentre, geometry(10, 10, 14))->skyLevel,
                    800.5f);
}

TEST(FixedAperture, NanPixelsAreLeftOutOfItsAnnulus) {
    // The annulus's rows above the centre NaN, the rest 801: the sky is 801 from the 152 left
    // (the 144 rows below and the 8 on the centre row, of 296).
    const PixelImage image = imageOf([](int dc, int dr) {
        if (distanceOf(dc, dr) <= 10.0) return 800.0f;
        return dr < 0 ? std::numeric_limits<float>::quiet_NaN() : 801.0f;
    });
    const RingPhotometry r =
        measureFixedAperture(image, kCentre, kCentre, geometry(10, 10, 14)).value();
    EXPECT_FLOAT_EQ(r.skyLevel, 801.0f);
    EXPECT_EQ(r.annulusCount, 152);
    EXPECT_FLOAT_EQ(r.integratedDC, -317.0f);
}

TEST(FixedAperture, MasksLeaveAnotherStarOutOfTheAnnulus) {
    // Another star's light on the annulus pixels within 3 pixels of (centre + 12, centre).
    const PixelImage image =
        imageOf([](int dc, int dr) { return distanceOf(dc - 12, dr) <= 3.0 ? 5000.0f : 100.0f; });
    ApertureGeometry g = geometry(10, 10, 14);
    const RingPhotometry open = measureFixedAperture(image, kCentre, kCentre, g).value();
    EXPECT_GT(open.skyLevel, 100.0f);
    g.masks.push_back({kCentre + 12.0, kCentre + 0.0, 3.5});
    const RingPhotometry masked = measureFixedAperture(image, kCentre, kCentre, g).value();
    EXPECT_FLOAT_EQ(masked.skyLevel, 100.0f);
    EXPECT_LT(masked.annulusCount, 296);
}

TEST(FixedAperture, AWindowOfRowsTooShortGivesNothingAndTheReachSaysHowFar) {
    PixelImage window = imageOf([](int, int) { return 1.0f; });
    // Rows 30..50 held only.
    window.pixels.erase(window.pixels.begin() + 51 * kSize, window.pixels.end());
    window.pixels.erase(window.pixels.begin(), window.pixels.begin() + 30 * kSize);
    window.firstRow = 30;
    EXPECT_FALSE(measureFixedAperture(window, kCentre, kCentre, geometry(5, 8, 12.5)));
    EXPECT_TRUE(measureFixedAperture(window, kCentre, kCentre, geometry(5, 6, 9.5)));
    EXPECT_EQ(apertureReach(geometry(5, 8, 12.5)), 13);
    EXPECT_EQ(apertureReach(geometry(20, 8, 12.5)), 21);
}

TEST(FixedAperture, TheLogNamesItsAnnulusStart) {
    const PixelImage image = imageOf([](int, int) { return 100.0f; });
    RunLog log = RunLog::inMemory();
    logRings(log, measureFixedAperture(image, kCentre, kCentre, geometry(5.5, 8, 12.5)).value());
    const std::vector<std::string> lines = test::logLines(log.contents());
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[1], "Data for rings:");
    EXPECT_TRUE(lines[2].starts_with("  Ring #  1  pixels in ring =  8  median DC =  100 "));
    EXPECT_TRUE(lines[6].starts_with("  Ring #  5  pixels in ring =  28 "));
    EXPECT_EQ(lines[7], "");
    EXPECT_EQ(lines[8], "Inner ring radius =  5.5 ");
    EXPECT_EQ(lines[9], "Outer ring radius =  12.5 ");
    EXPECT_EQ(lines[10], "Sky annulus inner radius =  8 ");
    EXPECT_EQ(lines[12], "Median background DC =  100 ");
}

// A star of the given FWHM centred at (centre + dx, centre + dy) over sky 200, its flux F
// integrated over each pixel with the error function.
PixelImage gaussianStar(double fwhm, double dx, double dy, double flux) {
    const double s = fwhm / (2.0 * std::sqrt(2.0 * std::log(2.0)));
    const auto share = [s](double from, double to) {
        return 0.5 * (std::erf(to / (s * std::sqrt(2.0))) - std::erf(from / (s * std::sqrt(2.0))));
    };
    return imageOf([=](int dc, int dr) {
        return static_cast<float>(200.0 + flux * share(dc - 0.5 - dx, dc + 0.5 - dx) *
                                              share(dr - 0.5 - dy, dr + 0.5 - dy));
    });
}

TEST(StarProfile, ANoiselessStarGivesBackItsWidth) {
    for (const double fwhm : {2.0, 3.0, 5.5, 9.0}) {
        const StarProfile p =
            measureStarProfile(gaussianStar(fwhm, 0.3, -0.2, 1e5), kCentre, kCentre, 200.0f)
                .value();
        EXPECT_NEAR(p.fwhm, fwhm, 0.01 * fwhm) << fwhm;
        EXPECT_NEAR(p.column, kCentre + 0.3, 0.01) << fwhm;
        EXPECT_NEAR(p.row, kCentre - 0.2, 0.01) << fwhm;
        // A pixel-integrated Gaussian is not quite a Gaussian: the fitted sky takes up a few
        // parts in ten thousand of the height.
        EXPECT_NEAR(p.background, 200.0, 3e-4 * p.amplitude) << fwhm;
        EXPECT_GT(p.pixelsFitted, 20);
    }
}

TEST(StarProfile, NoStarGivesNoWidth) {
    EXPECT_TRUE(std::isnan(
        measureStarProfile(imageOf([](int, int) { return 5.0f; }), kCentre, kCentre, 5.0f)->fwhm));
    // A centre outside the image.
    EXPECT_TRUE(
        std::isnan(measureStarProfile(gaussianStar(3, 0, 0, 1e4), -3, kCentre, 200.0f)->fwhm));
}

TEST(NearbyStars, AnotherStarIsFoundAndTheStarItselfIsNot) {
    // Sky 1000 with a noise of 10 (a 3 x 3 mean's is 10/3: the threshold is 16.7 above the sky),
    // the star at the centre and another 10 columns right and 3 rows down.
    const PixelImage star = gaussianStar(3.0, 0, 0, 2e4);
    const PixelImage other = gaussianStar(3.0, 10, 3, 5e3);
    PixelImage image = star;
    std::mt19937_64 engine(7);
    std::normal_distribution<float> noise(0.0f, 10.0f);
    for (std::size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] += other.pixels[i] - 200.0f + 800.0f + noise(engine);
    const std::vector<NearbyStar> found = findNearbyStars(image, kCentre, kCentre, 3.0, 30.0);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].column, kCentre + 10);
    EXPECT_EQ(found[0].row, kCentre + 3);
    EXPECT_NEAR(found[0].distance, std::sqrt(109.0), 1e-9);
    // Out of reach, it is not looked for.
    EXPECT_TRUE(findNearbyStars(image, kCentre, kCentre, 3.0, 9.0).empty());
}

TEST(ApertureChoice, RadiusAndAnnulusFromTheMedianWidth) {
    ApertureSettings automatic;
    automatic.rule = ApertureRule::automatic;
    // 3 x 4 px; the annulus from 12 out to four times the aperture's area: 12 sqrt(5).
    const ApertureGeometry a = chooseAperture(automatic, 4.0).value();
    EXPECT_DOUBLE_EQ(a.radius, 12.0);
    EXPECT_DOUBLE_EQ(a.annulusInner, 12.0);
    EXPECT_NEAR(a.annulusOuter, 26.832816, 1e-6);
    // A fixed radius of 5 px: the annulus from 3 FWHM, sqrt(144 + 4 x 25) = 15.6205.
    ApertureSettings fixed;
    fixed.rule = ApertureRule::fixed;
    fixed.radius = 5.0;
    const ApertureGeometry f = chooseAperture(fixed, 4.0).value();
    EXPECT_DOUBLE_EQ(f.radius, 5.0);
    EXPECT_DOUBLE_EQ(f.annulusInner, 12.0);
    EXPECT_NEAR(f.annulusOuter, 15.620499, 1e-6);
    fixed.annulus = std::make_pair(8.0, 20.0);
    EXPECT_DOUBLE_EQ(chooseAperture(fixed, std::nan(""))->annulusOuter, 20.0);
    EXPECT_FALSE(needsNightWidth(fixed));
    EXPECT_TRUE(needsNightWidth(automatic));
    // No width, no automatic aperture; the ring growth has none.
    EXPECT_FALSE(chooseAperture(automatic, std::nan("")));
    EXPECT_FALSE(chooseAperture(ApertureSettings{}, 4.0));
    EXPECT_DOUBLE_EQ(medianWidth({3.0, std::nan(""), 5.0, 4.0, 10.0}), 4.5);
    EXPECT_TRUE(std::isnan(medianWidth({std::nan("")})));
}

TEST(ApertureChoice, ANeighbourInReachIsTakenInWholeAndAFartherOneMaskedOut) {
    ApertureSettings automatic;
    automatic.rule = ApertureRule::automatic;
    ApertureGeometry g = chooseAperture(automatic, 3.0).value();  // radius 9
    // 8 px away its light (9 px) reaches into the aperture: the radius grows to 8 + 9 = 17 and
    // the annulus to 17 sqrt(5) = 38.013. 30 px away (beyond twice 9) it is masked out.
    const std::vector<NearbyStar> stars = {{48, 40, 8.0, 100.0}, {70, 40, 30.0, 100.0}};
    EXPECT_EQ(allowForNearbyStars(automatic, stars, 3.0, g), 1);
    EXPECT_DOUBLE_EQ(g.radius, 17.0);
    EXPECT_NEAR(g.annulusOuter, 38.013156, 1e-6);
    ASSERT_EQ(g.masks.size(), 1u);
    EXPECT_DOUBLE_EQ(g.masks[0].column, 70.0);
    EXPECT_DOUBLE_EQ(g.masks[0].radius, 9.0);
    // A fixed radius stays, and the star inside it is counted and masked out of the annulus.
    ApertureSettings fixed;
    fixed.rule = ApertureRule::fixed;
    fixed.radius = 5.0;
    ApertureGeometry f = chooseAperture(fixed, 3.0).value();
    EXPECT_EQ(allowForNearbyStars(fixed, {stars[0]}, 3.0, f), 1);
    EXPECT_DOUBLE_EQ(f.radius, 5.0);
    EXPECT_EQ(f.masks.size(), 1u);
}

TEST(SignalToNoise, WorkedByHand) {
    // 10000 ADU over 100 pixels of sky noise 10, sky from 400 pixels, gain 1:
    // 10000 / sqrt(10000 + 100 x 100 x (1 + 100 pi / 800)) = 64.64813.
    RingPhotometry r;
    r.integratedDC = 10000.0f;
    r.aperturePixels = 100;
    r.skyNoise = 10.0;
    r.annulusCount = 400;
    EXPECT_NEAR(signalToNoise(r, {1.0, 0.0}), 64.648129, 1e-5);
    // Gain 2 e-/ADU halves the photon variance: 72.68741.
    EXPECT_NEAR(signalToNoise(r, {2.0, 0.0}), 72.687413, 1e-5);
    // Without sky noise only the photons count: sqrt(10000).
    r.skyNoise = 0.0;
    EXPECT_DOUBLE_EQ(signalToNoise(r, {1.0, 0.0}), 100.0);
    r.integratedDC = 0.0f;
    EXPECT_TRUE(std::isnan(signalToNoise(r, {1.0, 0.0})));
}

}  // namespace
}  // namespace orvel
