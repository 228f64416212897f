#include <gtest/gtest.h>

#include "ScaleLayout.h"

namespace {

const ChartRect kButton{100, 50, 160, 70};  // 1001, fixed height
const ChartRect kLabel{200, 40, 230, 52};   // 1035, label group
const ChartRect kChart{20, 100, 420, 300};  // 1000, default group

// A rule that has not scaled anything yet, at the given client size.
ScaleState StateAt(int width, int height) {
    ScaleState state;
    state.referenceWidth = width;
    state.referenceHeight = height;
    return state;
}

std::vector<LayoutChild> Children(const ChartRect& button, const ChartRect& label,
                                  const ChartRect& chart) {
    return {{1001, button}, {1035, label}, {1000, chart}};
}

TEST(ScaleLayoutRule, FixedHeightGroupWidensButKeepsItsHeight) {
    ScaleState state = StateAt(1000, 500);
    const auto out =
        ScaleLayout(Children(kButton, kLabel, kChart), ResizeKind::Restore, 1500, 750, state);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], (ChartRect{150, 75, 240, 95}));  // height stays 20
    EXPECT_EQ(out[2], (ChartRect{30, 150, 630, 450}));
    EXPECT_EQ(state.referenceWidth, 1500);
    EXPECT_EQ(state.referenceHeight, 750);
}

// The children where the rule put them.
std::vector<LayoutChild> Moved(std::vector<LayoutChild> children,
                               const std::vector<ChartRect>& placed) {
    EXPECT_EQ(placed.size(), children.size());
    for (size_t i = 0; i < children.size() && i < placed.size(); ++i) children[i].rect = placed[i];
    return children;
}

TEST(ScaleLayoutRule, LabelsCarryTheirShiftWhileMaximisedOnly) {
    ScaleState state = StateAt(1000, 500);
    auto children = Children(kButton, kLabel, kChart);

    // Maximised: moved right by 7 and up by 4.5 on top of the scale.
    children = Moved(children, ScaleLayout(children, ResizeKind::Maximise, 2000, 1000, state));
    EXPECT_TRUE(state.maximised);
    EXPECT_EQ(children[1].rect, (ChartRect{407, 75, 467, 99}));

    // Restored: the shift is gone again.
    children = Moved(children, ScaleLayout(children, ResizeKind::Restore, 1000, 500, state));
    EXPECT_FALSE(state.maximised);
    EXPECT_EQ(children[1].rect, kLabel);

    // Every maximise shifts, the second as the first.
    children = Moved(children, ScaleLayout(children, ResizeKind::Maximise, 2000, 1000, state));
    EXPECT_EQ(children[1].rect, (ChartRect{407, 75, 467, 99}));

    // Maximised onto a larger screen: scaled from the unshifted place, shifted once.
    children = Moved(children, ScaleLayout(children, ResizeKind::Maximise, 2400, 1200, state));
    EXPECT_EQ(children[1].rect, (ChartRect{487, 91, 559, 120}));
}

TEST(ScaleLayoutRule, EveryMaximiseRestoreCyclePlacesTheLabelsAsTheFirst) {
    struct Sizes {
        int width, height, maxWidth, maxHeight;
    };
    // The Chinese window on a full-HD screen, and the English one on a screen
    // smaller than itself: there the first cycle rounds every place once, as it
    // does any control's, and later cycles repeat the first.
    for (const Sizes& s : {Sizes{1190, 619, 1920, 1080}, Sizes{1360, 660, 796, 796}}) {
        ScaleState state = StateAt(s.width, s.height);
        auto children = Children(kButton, kLabel, kChart);
        std::vector<LayoutChild> secondMaximised, firstRestored;
        for (int cycle = 1; cycle <= 5; ++cycle) {
            children = Moved(children, ScaleLayout(children, ResizeKind::Maximise, s.maxWidth,
                                                   s.maxHeight, state));
            if (cycle == 2) secondMaximised = children;
            if (cycle >= 2) {
                EXPECT_EQ(children[1].rect, secondMaximised[1].rect) << s.width << " " << cycle;
            }
            children = Moved(children,
                             ScaleLayout(children, ResizeKind::Restore, s.width, s.height, state));
            if (cycle == 1) firstRestored = children;
            EXPECT_EQ(children[1].rect, firstRestored[1].rect) << s.width << " " << cycle;
            EXPECT_EQ(children[0].rect, firstRestored[0].rect) << s.width << " " << cycle;
        }
    }
}

TEST(ScaleLayoutRule, DropDownListsKeepTheirHeightAsTheButtonsDo) {
    ScaleState state = StateAt(1000, 500);
    const std::vector<LayoutChild> lists = {{1003, ChartRect{100, 50, 160, 70}},
                                            {1017, ChartRect{200, 50, 260, 70}}};
    auto out = ScaleLayout(lists, ResizeKind::Maximise, 2000, 1000, state);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], (ChartRect{200, 100, 320, 120}));
    EXPECT_EQ(out[1], (ChartRect{400, 100, 520, 120}));
    out = ScaleLayout(Moved(lists, out), ResizeKind::Restore, 1000, 500, state);
    EXPECT_EQ(out[0], lists[0].rect);
}

TEST(ScaleLayoutRule, MinimiseAndOtherChangesLeaveEverythingAlone) {
    ScaleState state = StateAt(1000, 500);
    EXPECT_TRUE(
        ScaleLayout(Children(kButton, kLabel, kChart), ResizeKind::Minimise, 0, 0, state).empty());
    EXPECT_TRUE(
        ScaleLayout(Children(kButton, kLabel, kChart), ResizeKind::Other, 10, 10, state).empty());
    EXPECT_EQ(state.referenceWidth, 1000);
    EXPECT_FALSE(state.maximised);
}

TEST(ScaleLayoutRule, ScalingBuildsOnThePreviousResult) {
    ScaleState state = StateAt(1000, 500);
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
