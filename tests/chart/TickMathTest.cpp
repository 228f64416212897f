#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TickMath.h"

namespace {

struct StepCase {
    const char* name;
    double min, max;
    int span;  // end - start
    bool horizontal;
    double increment;
    int decimals;
};

class AutoTickStepTest : public ::testing::TestWithParam<StepCase> {};

TEST_P(AutoTickStepTest, ChoosesOneTwoOrFiveTimesAPowerOfTen) {
    const StepCase& c = GetParam();
    TickStep step;
    ComputeAutoTickStep(c.min, c.max, c.span, c.horizontal, step);
    EXPECT_DOUBLE_EQ(step.increment, c.increment);
    EXPECT_EQ(step.decimals, c.decimals);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, AutoTickStepTest,
    ::testing::Values(
        // A vertical span runs upwards, so end - start is negative.
        StepCase{"RangeTenOver200VerticalPixels", 0, 10, -200, false, 1, 0},
        StepCase{"RangeOnePointFourGivesPointTwo", 0, 1.4, -200, false, 0.2, 1},
        StepCase{"RangeSevenOverThirtyPixelsGivesTen", 0, 7, 30, true, 10, 0},
        StepCase{"Bottom600PixelsOver999GivesFifty", 0, 999, 600, true, 50, 0},
        StepCase{"MinusHalfToHalfGivesOneTenth", -0.5, 0.5, -200, false, 0.1, 1},
        StepCase{"TenTimesFallbackDropsADecimal", 0, 0.7, 30, true, 1, 0}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(AutoTickStep, EmptyRangeGivesNoIncrement) {
    TickStep step{0.5, 1};
    ComputeAutoTickStep(3, 3, 200, true, step);
    EXPECT_EQ(step.increment, 0);
    EXPECT_EQ(step.decimals, 1);
}

TEST(AutoTickStep, SpanTooShortForOneTickKeepsThePreviousStep) {
    for (const int span : {0, 29, -19}) {
        TickStep step{0.5, 1};
        ComputeAutoTickStep(0, 100, span, span >= 0, step);
        EXPECT_EQ(step.increment, 0.5) << span;
        EXPECT_EQ(step.decimals, 1) << span;
    }
}

TEST(LargerTickStep, WalksOneTwoFiveAndDropsADecimalAtEachPowerOfTen) {
    TickStep step{5e-5, 5};
    const std::vector<std::pair<double, int>> expected = {
        {1e-4, 4}, {2e-4, 4}, {5e-4, 4}, {1e-3, 3}, {2e-3, 3}, {5e-3, 3}, {1e-2, 2}};
    for (const auto& [increment, decimals] : expected) {
        step = NextLargerTickStep(step);
        EXPECT_DOUBLE_EQ(step.increment, increment);
        EXPECT_EQ(step.decimals, decimals);
    }
    step = NextLargerTickStep({50, 0});
    EXPECT_DOUBLE_EQ(step.increment, 100);
    EXPECT_EQ(step.decimals, 0);
}

TEST(TickLabelsCollide, WhenNeighboursAreCloserThanALabelAndItsGap) {
    // Ticks 1 apart over 0..10 on 300 pixels: 30 pixels between labels.
    EXPECT_FALSE(TickLabelsCollide(0, 10, 300, 1, 30 - kTickLabelGap));
    EXPECT_TRUE(TickLabelsCollide(0, 10, 300, 1, 30 - kTickLabelGap + 1));
    EXPECT_TRUE(TickLabelsCollide(0, 10, -300, 1, 30));  // a vertical span runs upwards
    // Ticks farther apart than the span show one label at most.
    EXPECT_FALSE(TickLabelsCollide(0, 10, 300, 20, 1000));
    EXPECT_FALSE(TickLabelsCollide(3, 3, 300, 1, 1000));
}

TEST(FirstTick, IsTheSmallestMultipleNotBelowMin) {
    EXPECT_DOUBLE_EQ(ComputeFirstTick(-1.7, 0.5), -1.5);
    EXPECT_DOUBLE_EQ(ComputeFirstTick(-1.5, 0.5), -1.5);
    EXPECT_DOUBLE_EQ(ComputeFirstTick(0.3, 0.2), 0.4);
    EXPECT_DOUBLE_EQ(ComputeFirstTick(7, 5), 10);
    EXPECT_DOUBLE_EQ(ComputeFirstTick(-0.5, 0.1), -0.5);
    EXPECT_EQ(ComputeFirstTick(0, 50), 0);
    EXPECT_EQ(ComputeFirstTick(4.2, 0), 4.2);
}

TEST(FirstTick, IncrementLostInRoundingStillReturns) {
    const double first = ComputeFirstTick(1e20, 1e-3);
    EXPECT_NEAR(first, 1e20, 1e5);
}

TEST(TickLabel, FixedPointWithFullStop) {
    EXPECT_EQ(FormatTickLabel(0.2, 1), "0.2");
    EXPECT_EQ(FormatTickLabel(-1.4, 1), "-1.4");
    EXPECT_EQ(FormatTickLabel(15, 0), "15");
    EXPECT_EQ(FormatTickLabel(950, 0), "950");
    EXPECT_EQ(FormatTickLabel(1234567, 0), "1234567");
    EXPECT_EQ(FormatTickLabel(0.25, 3), "0.250");
}

TEST(TickLabel, TinyNegativeKeepsItsSign) {
    double value = -0.5;
    for (int i = 0; i < 5; ++i) value += 0.1;  // as the tick walk adds
    ASSERT_LT(value, 0);
    EXPECT_EQ(FormatTickLabel(value, 1), "-0.0");
}

}  // namespace
