#include <gtest/gtest.h>

#include <vector>

#include "BezierSpline.h"

namespace {

TEST(BezierSpline, ChainHasThreePointsPerSegmentAndPassesThroughTheKnots) {
    const std::vector<ChartPoint> knots = {{0, 0}, {30, 60}, {60, 10}, {90, 40}, {120, 0}};
    const std::vector<ChartPoint> chain = SmoothBezierThrough(knots);
    ASSERT_EQ(chain.size(), 3 * (knots.size() - 1) + 1);
    for (std::size_t i = 0; i < knots.size(); ++i) EXPECT_EQ(chain[3 * i], knots[i]) << i;
}

TEST(BezierSpline, ControlsAroundAnInnerKnotAreMirrored) {
    const std::vector<ChartPoint> knots = {{0, 0}, {30, 60}, {60, 10}, {90, 40}};
    const std::vector<ChartPoint> chain = SmoothBezierThrough(knots);
    for (std::size_t k = 1; k + 1 < knots.size(); ++k) {
        const ChartPoint before = chain[3 * k - 1], knot = chain[3 * k], after = chain[3 * k + 1];
        EXPECT_NEAR(before.x + after.x, 2 * knot.x, 1) << k;
        EXPECT_NEAR(before.y + after.y, 2 * knot.y, 1) << k;
    }
}

TEST(BezierSpline, EvenlySpacedStraightKnotsGiveControlsOnTheThirds) {
    const std::vector<ChartPoint> knots = {{0, 0}, {30, 30}, {60, 60}, {90, 90}};
    const std::vector<ChartPoint> chain = SmoothBezierThrough(knots);
    EXPECT_EQ(chain[1], (ChartPoint{10, 10}));
    EXPECT_EQ(chain[2], (ChartPoint{20, 20}));
    EXPECT_EQ(chain[4], (ChartPoint{40, 40}));
}

TEST(BezierSpline, TwoKnotsGiveAStraightSegmentAndOneGivesNone) {
    const std::vector<ChartPoint> chain = SmoothBezierThrough({{0, 0}, {30, 60}});
    ASSERT_EQ(chain.size(), 4u);
    EXPECT_EQ(chain[1], (ChartPoint{10, 20}));
    EXPECT_EQ(chain[2], (ChartPoint{20, 40}));
    EXPECT_TRUE(SmoothBezierThrough({{1, 1}}).empty());
}

}  // namespace
