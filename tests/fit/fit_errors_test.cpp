// The weighted line, the slope's two errors, the reduced chi-square, the robust outlier and the
// extinction drift, against numpy's least squares on the same points (numbers in the comments
// were printed by numpy.polyfit and numpy.linalg.lstsq).
#include "fit/fit_errors.h"

#include <gtest/gtest.h>

#include <vector>

#include "fit/band_regression.h"
#include "fit/extinction_drift.h"

namespace orvel {
namespace {

std::vector<FitPoint> fivePoints() {
    const double x[] = {1.0, 1.25, 1.6, 2.1, 2.8};
    const double y[] = {10.0, 9.93, 9.85, 9.70, 9.55};
    const double e[] = {0.01, 0.02, 0.01, 0.03, 0.02};
    std::vector<FitPoint> points;
    for (int i = 0; i < 5; ++i)
        points.push_back({static_cast<float>(x[i]), static_cast<float>(y[i]), e[i], i * 1.0});
    return points;
}

TEST(FitErrors, WeightedLineAndItsErrorsAgreeWithNumpy) {
    const std::vector<FitPoint> points = fivePoints();
    ASSERT_TRUE(hasUsableErrors(points));
    const BandFit fit = fitBandWeighted(points, 7);
    EXPECT_NEAR(fit.slope, -0.251798600135, 2e-6);
    EXPECT_NEAR(fit.intercept, 10.2508671935, 2e-5);
    EXPECT_NEAR(fit.r2, 0.998442042783, 1e-6);
    EXPECT_EQ(fit.analysed, 5);
    EXPECT_EQ(fit.files, 7);
    const SlopeErrors e = slopeErrors(points, fit, true);
    EXPECT_NEAR(e.propagated, 0.0116546993207, 1e-8);  // polyfit cov='unscaled'
    EXPECT_NEAR(e.residual, 0.00574260596266, 2e-7);   // polyfit cov=True
    EXPECT_NEAR(e.reducedChiSquare, 0.24278166629, 2e-4);
}

TEST(FitErrors, PlainLineCarriesEachErrorWithItsLeverArm) {
    const std::vector<FitPoint> points = fivePoints();
    const BandFit fit = fitBand(points, 5);
    EXPECT_NEAR(fit.slope, -0.252427184466, 2e-6);
    const SlopeErrors e = slopeErrors(points, fit, false);
    EXPECT_NEAR(e.propagated, 0.0129325891308, 1e-8);  // (A'A)^-1 A' diag(e^2) A (A'A)^-1
    EXPECT_NEAR(e.residual, 0.0086074408774, 2e-7);
    EXPECT_NEAR(e.reducedChiSquare, 0.386192855124, 2e-4);
}

TEST(FitErrors, UnknownErrorsLeaveOnlyTheResidualForm) {
    std::vector<FitPoint> points = fivePoints();
    points[2].error = std::nan("");
    EXPECT_FALSE(hasUsableErrors(points));
    points[2].error = 0.0;
    EXPECT_FALSE(hasUsableErrors(points));
    const SlopeErrors e = slopeErrors(points, fitBand(points, 5), false);
    EXPECT_NEAR(e.residual, 0.0086074408774, 2e-7);
    EXPECT_TRUE(std::isnan(e.propagated));
    EXPECT_TRUE(std::isnan(e.reducedChiSquare));
    // Two points fit a line but leave no scatter to judge it by.
    const std::vector<FitPoint> two(points.begin(), points.begin() + 2);
    EXPECT_TRUE(std::isnan(slopeErrors(two, fitBand(two, 2), false).residual));
}

TEST(FitErrors, TheFarthestPointBeyondTheLimitIsTheOutlier) {
    // On the line y = 10 - 0.2 x except for +-0.01 steps and one point 0.1 low. Residuals from
    // that line: 0.01, -0.01, 0.01, -0.1, -0.01, 0.01; median 0, absolute deviations median
    // 0.01, so the low point lies 0.1 / 0.014826 = 6.745 robust deviations away.
    std::vector<FitPoint> points;
    const double offsets[] = {0.01, -0.01, 0.01, -0.1, -0.01, 0.01};
    for (int i = 0; i < 6; ++i) {
        const double x = 1.0 + 0.3 * i;
        points.push_back({static_cast<float>(x), static_cast<float>(10.0 - 0.2 * x + offsets[i])});
    }
    BandFit line;
    line.slope = -0.2f;
    line.intercept = 10.0f;
    const std::optional<Outlier> worst = worstOutlier(points, line, 5.0);
    ASSERT_TRUE(worst);
    EXPECT_EQ(worst->index, 3u);
    EXPECT_NEAR(worst->deviations, 6.745, 2e-3);
    EXPECT_FALSE(worstOutlier(points, line, 7.0));
    // Three points are too few to leave one out.
    EXPECT_FALSE(worstOutlier(std::span(points).first(3), line, 1.0));
    // Frames whose noise errors are 0.03 lie within a spread the noise explains: the scale is
    // the median error 0.03, not 0.014826, and the low point is 0.1 / 0.03 = 3.33 away.
    for (FitPoint& p : points) p.error = 0.03;
    points[0].error = 0.5;  // one noisy frame moves the median error little
    const std::optional<Outlier> noisy = worstOutlier(points, line, 3.0);
    ASSERT_TRUE(noisy);
    EXPECT_NEAR(noisy->deviations, 3.333, 2e-3);
    EXPECT_FALSE(worstOutlier(points, line, 3.5));
}

TEST(ExtinctionDrift, ARisingExtinctionIsFoundWithNumpysError) {
    // Y = 12 - (0.2 + 0.03 (t - 3 h)) X plus a small fixed scatter.
    const double t[] = {0, 1, 2, 3, 4, 5, 6};
    const double x[] = {1.05, 1.1, 1.2, 1.35, 1.6, 2.0, 2.6};
    const double scatter[] = {0.002, -0.001, 0.0015, -0.002, 0.001, -0.0005, 0.0};
    std::vector<FitPoint> points;
    for (int i = 0; i < 7; ++i) {
        const double y = 12.0 - (0.2 + 0.03 * (t[i] - 3.0)) * x[i] + scatter[i];
        // Hours counted from another origin: only the differences matter.
        points.push_back({static_cast<float>(x[i]), static_cast<float>(y), 0.01, t[i] + 5.0});
    }
    const ExtinctionDrift d = fitExtinctionDrift(points, false);
    EXPECT_EQ(d.points, 7);
    EXPECT_NEAR(d.perHour, 0.0316532912049, 5e-5);
    EXPECT_NEAR(d.error, 0.00163208957899, 5e-5);
    EXPECT_GT(d.significance(), kDriftSignificance);
    // Equal weights give the same drift weighted or not.
    EXPECT_NEAR(fitExtinctionDrift(points, true).perHour, d.perHour, 1e-9);
    // Without times, or all at one moment, there is nothing to fit.
    for (FitPoint& p : points) p.hours = 2.0;
    EXPECT_TRUE(std::isnan(fitExtinctionDrift(points, false).perHour));
    points.resize(4);
    EXPECT_TRUE(std::isnan(fitExtinctionDrift(points, false).perHour));
}

TEST(ExtinctionDrift, WeightsAreTheInverseSquaredErrors) {
    // Five points at three places (X, t): A (1, 0 h) twice, B (2, 0 h), C (2, 1 h) twice. Three
    // terms fitted to three places pass through each place's weighted mean, and the drift term
    // is what C adds to B: Y(C) - Y(B) = -rate x 2 whatever the time is centred on.
    //   C's points 9.7 (error 0.01) and 9.6 (error 0.02): weights 10000 and 2500 give the mean
    //   (0.8 x 9.7 + 0.2 x 9.6) = 9.68, so rate = (9.8 - 9.68) / 2 = 0.06 per hour. (Weights
    //   1 / error would give 9.6667 and 0.0667; no weights 9.65 and 0.075.)
    //   Weighted squares about the surface: 10000 x 0.02^2 + 2500 x 0.08^2 = 20 over 5 - 3
    //   degrees of freedom, 10. The drift term's variance in units of the weights is
    //   (1 / 12500 + 1 / 10000) / 4 = 4.5e-5, so its error is sqrt(10 x 4.5e-5) = 0.0212132.
    const std::vector<FitPoint> points = {
        {1.0f, 10.0f, 0.01, 4.0}, {1.0f, 10.0f, 0.02, 4.0}, {2.0f, 9.8f, 0.01, 4.0},
        {2.0f, 9.7f, 0.01, 5.0},  {2.0f, 9.6f, 0.02, 5.0},
    };
    const ExtinctionDrift weighted = fitExtinctionDrift(points, true);
    EXPECT_EQ(weighted.points, 5);
    EXPECT_NEAR(weighted.perHour, 0.06, 1e-5);
    EXPECT_NEAR(weighted.error, 0.0212132, 1e-5);
    EXPECT_NEAR(fitExtinctionDrift(points, false).perHour, 0.075, 1e-5);
}

}  // namespace
}  // namespace orvel
