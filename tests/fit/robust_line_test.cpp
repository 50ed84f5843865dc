#include "fit/robust_line.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace orvel
