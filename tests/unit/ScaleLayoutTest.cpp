#include <gtest/gtest.h>

#include "ScaleLayout.h"

namespace {

const ChartRect kButton{100, 50, 160, 70};  // 1001, fixed height
const ChartRect kLabel{200, 40, 230, 52};   // 1035, label group
const ChartRect kChart{20, 100, 420, 300};  // 1000, default group

std::vector<LayoutChild> Children(const ChartRect& button, const ChartRect& label,
                                  const ChartRect& chart) {
    return {{1001, button}, {1035, label}, {1000, chart}};
}

TEST(ScaleLayoutRule, FixedHeightGroupWidensButKeepsItsHeight) {
    ScaleState state{1000, 500, false};
    const auto out =
        ScaleLayout(Children(kButton, kLabel, kChart), ResizeKind::Restore, 1500, 750, state);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], (ChartRect{150, 75, 240, 95}));  // height stays 20
    EXPECT_EQ(out[2], (ChartRect{30, 150, 630, 450}));
    EXPECT_EQ(state.referenceWidth, 1500);
    EXPECT_EQ(state.referenceHeight, 750);
}

TEST(ScaleLayoutRule, LabelsShiftOnTheFirstAndThirdMaximiseOnly) {
    ScaleState state{1000, 500, false};
    auto children = Children(kButton, kLabel, kChart);

    // First maximise: toggle on, labels moved right by 7 and up by 4.5 on top of the scale.
    auto out = ScaleLayout(children, ResizeKind::Maximise, 2000, 1000, state);
    EXPECT_TRUE(state.maximiseToggle);
    EXPECT_EQ(out[1], (ChartRect{407, 75, 467, 99}));
    children = {{1001, out[0]}, {1035, out[1]}, {1000, out[2]}};

    // Restore: plain scaling, the shift stays (rounding is never undone).
    out = ScaleLayout(children, ResizeKind::Restore, 1000, 500, state);
    EXPECT_EQ(out[1], (ChartRect{204, 38, 234, 50}));
    children = {{1001, out[0]}, {1035, out[1]}, {1000, out[2]}};

    // Second maximise: toggle off, no shift.
    out = ScaleLayout(children, ResizeKind::Maximise, 2000, 1000, state);
    EXPECT_FALSE(state.maximiseToggle);
    EXPECT_EQ(out[1], (ChartRect{408, 76, 468, 100}));
    children = {{1001, out[0]}, {1035, out[1]}, {1000, out[2]}};

    out = ScaleLayout(children, ResizeKind::Restore, 1000, 500, state);
    children = {{1001, out[0]}, {1035, out[1]}, {1000, out[2]}};

    // Third maximise: shifted again.
    out = ScaleLayout(children, ResizeKind::Maximise, 2000, 1000, state);
    EXPECT_TRUE(state.maximiseToggle);
    EXPECT_EQ(out[1].left, children[1].rect.left * 2 + 7);
}

TEST(ScaleLayoutRule, MinimiseAndOtherChangesLeaveEverythingAlone) {
    ScaleState state{1000, 500, false};
    EXPECT_TRUE(
        ScaleLayout(Children(kButton, kLabel, kChart), ResizeKind::Minimise, 0, 0, state).empty());
    EXPECT_TRUE(
        ScaleLayout(Children(kButton, kLabel, kChart), ResizeKind::Other, 10, 10, state).empty());
    EXPECT_EQ(state.referenceWidth, 1000);
    EXPECT_FALSE(state.maximiseToggle);
}

TEST(ScaleLayoutRule, ScalingBuildsOnThePreviousResult) {
    ScaleState state{1000, 500, false};
    const std::vector<LayoutChild> odd = {{1000, ChartRect{3, 3, 7, 7}}};
    auto out = ScaleLayout(odd, ResizeKind::Restore, 1500, 750, state);
    EXPECT_EQ(out[0], (ChartRect{5, 5, 11, 11}));  // 4.5 -> 5, 10.5 -> 11
    out = ScaleLayout({{1000, out[0]}}, ResizeKind::Restore, 1000, 500, state);
    EXPECT_EQ(out[0], (ChartRect{3, 3, 7, 7}));
}

TEST(ScaleLayoutRule, AddressShiftTruncatesTowardZero) {
    EXPECT_EQ(AddressTextShift(24, 17, 0), 1);  // 7 / 2 = 3, minus 2
    EXPECT_EQ(AddressTextShift(17, 17, 0), -2);
    EXPECT_EQ(AddressTextShift(14, 17, 0), -3);  // -3 / 2 = -1 (not -2), minus 2
}

}  // namespace
