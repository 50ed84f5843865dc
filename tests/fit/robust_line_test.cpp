#include "fit/robust_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace orvel {
namespace {

// Y = 11 - X at X = 1..4, and a frame at X = 5 dimmed to Y = 2 (the line gives 6). Each point's
// median slope to the others is -1 for the first four ((-1 - 1) / 2 of the two middle of
// -2, -1, -1, -1, and so on) and (-3 - 2.333) / 2 for the dimmed one; their median is -1, and
// the median of Y + X over 11, 11, 11, 11, 7 is 11. A least-squares line would tilt to -1.8.
TEST(RepeatedMedianLine, ADimmedFrameAtTheEndDoesNotTiltIt) {
    const std::vector<FitPoint> points = {
        {1.0f, 10.0f}, {2.0f, 9.0f}, {3.0f, 8.0f}, {4.0f, 7.0f}, {5.0f, 2.0f}};
    const BandFit line = repeatedMedianLine(points);
    EXPECT_EQ(line.slope, -1.0f);
    EXPECT_EQ(line.intercept, 11.0f);
    EXPECT_EQ(line.analysed, 5);
}

TEST(RepeatedMedianLine, PointsOfOneAirmassGiveNoSlope) {
    const std::vector<FitPoint> points = {{1.5f, 10.0f}, {1.5f, 9.0f}};
    const BandFit line = repeatedMedianLine(points);
    EXPECT_EQ(line.slope, 0.0f);
    EXPECT_EQ(line.intercept, 0.0f);
    EXPECT_EQ(repeatedMedianLine({}).analysed, 0);
}

// Four frames near the meridian at X = 1.0, 1.1, 1.2, 1.3 on Y = 11 - X but for offsets +0.02,
// -0.02, -0.02, +0.02, one at X = 3 on the line, and one at X = 2 dimmed by 0.5. The repeated
// medians give the intercept as the median of Y + X over 11.02, 10.98, 10.98, 11.02, 11, 10.5:
// 10.99. The biweight gives the dimmed frame no weight (0.5 is far beyond 4.685 robust
// deviations of about 0.03) and the others, their offsets balanced about the cluster's middle
// with equal weights, give exactly the line Y = 11 - X.
TEST(RobustLine, TheBiweightUsesEveryGoodFrameAndNoneOfTheBadOne) {
    const std::vector<FitPoint> points = {{1.0f, 10.02f}, {1.1f, 9.88f}, {1.2f, 9.78f},
                                          {1.3f, 9.72f},  {3.0f, 8.0f},  {2.0f, 8.5f}};
    EXPECT_NEAR(repeatedMedianLine(points).intercept, 10.99f, 1e-5f);
    const BandFit line = robustLine(points);
    EXPECT_NEAR(line.slope, -1.0f, 1e-5f);
    EXPECT_NEAR(line.intercept, 11.0f, 1e-5f);
    // Frames whose noise errors (0.2) dwarf the spread take the dimmed one in as well, and the
    // line moves off Y = 11 - X.
    std::vector<FitPoint> noisy = points;
    for (FitPoint& p : noisy) p.error = 0.2;
    EXPECT_GT(std::fabs(robustLine(noisy).intercept - 11.0f), 0.01f);
}

}  // namespace
}  // namespace orvel
