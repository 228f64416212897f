#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <vector>

#include "ChartScrollBar.h"
#include "ChartTestSupport.h"

namespace {

// The Bottom axis shows 0 to 100 of data running from 0 to 1000.
class ScrolledChart : public ::testing::Test {
protected:
    ScrolledChart() {
        chart_.resize(600, 300);
        AttachStandardAxes(chart_);
        AddLine(chart_, {0, 1000}, {0, 10});
        Bottom()->SetVisibleRange(0, 100);
    }
    CChartAxis* Bottom() const { return chart_.GetAxis(CChartCore::Bottom); }
    CChartAxis* Left() const { return chart_.GetAxis(CChartCore::Left); }
    CChartScrollBar* Bar(CChartAxis* axis) const { return axis->GetScrollBar(); }
    // The Qt control of a bar.
    QScrollBar* Control(Qt::Orientation orientation) const {
        for (QScrollBar* control : chart_.findChildren<QScrollBar*>()) {
            if (control->orientation() == orientation) return control;
        }
        return nullptr;
    }
    void Request(CChartAxis* axis, int request, int thumb = 0) {
        chart_.OnScrollBarRequest(*Bar(axis), request, thumb);
    }
    CountingChart chart_;
};

TEST_F(ScrolledChart, EveryAxisGetsABarCreatedHiddenAndDisabled) {
    for (CChartAxis* axis : {Bottom(), Left()}) {
        ASSERT_NE(Bar(axis), nullptr);
        EXPECT_FALSE(Bar(axis)->IsEnabled());
        EXPECT_FALSE(Bar(axis)->IsShown());
        EXPECT_TRUE(Bar(axis)->IsAutoHide());
    }
    for (QScrollBar* control : chart_.findChildren<QScrollBar*>()) {
        EXPECT_TRUE(control->isHidden());
        EXPECT_FALSE(control->isEnabled());
        EXPECT_EQ(control->objectName(), "100");
    }
    EXPECT_EQ(chart_.findChildren<QScrollBar*>().size(), 2);
}

TEST_F(ScrolledChart, ATenthOfTheShownRangeIsOneStep) {
    EXPECT_EQ(Bar(Bottom())->GetMax() + 1, 100);
    EXPECT_EQ(Bar(Bottom())->GetPosition(), 0);
    EXPECT_EQ(Bar(Bottom())->GetPage(), 10);
    QScrollBar* control = Control(Qt::Horizontal);
    control->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_DOUBLE_EQ(Bottom()->GetMin(), 10);
    EXPECT_DOUBLE_EQ(Bottom()->GetMax(), 110);
    EXPECT_EQ(Bar(Bottom())->GetPosition(), 1);
    EXPECT_EQ(control->value(), 1);
}

TEST_F(ScrolledChart, PageForwardNearTheEndGoesToTheMaximum) {
    Bottom()->SetVisibleRange(890, 990);
    ASSERT_EQ(Bar(Bottom())->GetPosition(), 89);
    const int draws = chart_.draws;
    Control(Qt::Horizontal)->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_DOUBLE_EQ(Bottom()->GetMin(), 990);
    EXPECT_DOUBLE_EQ(Bottom()->GetMax(), 1090);
    EXPECT_EQ(chart_.draws, draws + 1);
    // Past the last full page no step goes further.
    Request(Bottom(), ScrollPageForward);
    Request(Bottom(), ScrollLineForward);
    EXPECT_DOUBLE_EQ(Bottom()->GetMin(), 990);
}

TEST_F(ScrolledChart, RequestsMoveByTheTable) {
    Bottom()->SetVisibleRange(500, 600);
    struct Step {
        int request, thumb;
        double min;
    };
    for (const Step& step : std::vector<Step>{{ScrollPageBack, 0, 400},
                                              {ScrollLineBack, 0, 390},
                                              {ScrollToStart, 0, 0},
                                              {ScrollLineBack, 0, 0},
                                              {ScrollPageBack, 0, 0},
                                              {ScrollThumbTrack, 30, 300},
                                              {ScrollThumbPosition, 30, 300},
                                              {ScrollEnd, 70, 300},
                                              {ScrollToEnd, 0, 990}}) {
        Request(Bottom(), step.request, step.thumb);
        EXPECT_NEAR(Bottom()->GetMin(), step.min, 1e-9) << step.request;
        EXPECT_NEAR(Bottom()->GetMax() - Bottom()->GetMin(), 100, 1e-9) << step.request;
    }
}

TEST_F(ScrolledChart, VerticalBarRunsAgainstTheValues) {
    Left()->SetVisibleRange(0, 1);
    EXPECT_TRUE(Bar(Left())->IsReversed());
    EXPECT_FALSE(Bar(Bottom())->IsReversed());
    // The bar's top end shows the highest values.
    EXPECT_EQ(Bar(Left())->GetPosition(), 100 - 0 - 9);
    Control(Qt::Vertical)->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_NEAR(Left()->GetMin(), 0.1, 1e-9);
    EXPECT_NEAR(Left()->GetMax(), 1.1, 1e-9);
}

TEST_F(ScrolledChart, BarsLieAlongTheirEdgesInsideThePlot) {
    const ChartRect plot = chart_.GetPlottingRect();
    const ChartRect bottom = Bar(Bottom())->GetRect(), left = Bar(Left())->GetRect();
    const int thickness = bottom.Height();
    EXPECT_GT(thickness, 0);
    EXPECT_EQ(bottom, (ChartRect{plot.left + 1, plot.bottom - thickness, plot.right, plot.bottom}));
    EXPECT_EQ(left,
              (ChartRect{plot.left + 1, plot.top + 1, plot.left + 1 + left.Width(), plot.bottom}));
    EXPECT_EQ(Control(Qt::Horizontal)->geometry(),
              QRect(bottom.left, bottom.top, bottom.Width(), bottom.Height()));
    chart_.resize(500, 250);
    EXPECT_EQ(Bar(Bottom())->GetRect().right, chart_.GetPlottingRect().right);
}

TEST_F(ScrolledChart, EnabledAutoHidingBarShowsWhileThePointerIsOverIt) {
    chart_.show();
    QApplication::processEvents();
    QTest::mouseMove(&chart_, {300, 100});
    CChartScrollBar* bar = Bar(Bottom());
    const ChartRect r = bar->GetRect();
    const QPoint over((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    QTest::mouseMove(&chart_, over);
    EXPECT_FALSE(bar->IsShown());  // disabled bars never show

    bar->SetEnabled(true);
    EXPECT_TRUE(bar->IsShown());
    EXPECT_TRUE(Control(Qt::Horizontal)->isEnabled());
    QTest::mouseMove(&chart_, {300, 100});
    EXPECT_FALSE(bar->IsShown());
    EXPECT_TRUE(Control(Qt::Horizontal)->isHidden());
    QTest::mouseMove(&chart_, over);
    EXPECT_TRUE(bar->IsShown());
    EXPECT_TRUE(Control(Qt::Horizontal)->isVisible());

    bar->SetAutoHide(false);
    QTest::mouseMove(&chart_, {300, 120});
    EXPECT_TRUE(bar->IsShown());
    bar->SetEnabled(false);
    EXPECT_FALSE(bar->IsShown());
}

TEST_F(ScrolledChart, RangeZoomedFarInKeepsTheStepsWithinTheBar) {
    Bottom()->SetZoomLimit(1e-15);
    Bottom()->SetVisibleRange(0, 1e-12);
    EXPECT_GT(Bar(Bottom())->GetMax(), 1000000);
    Bottom()->SetVisibleRange(-1e300, -0.5e300);
    EXPECT_GE(Bar(Bottom())->GetMax(), 0);
    EXPECT_GE(Bar(Bottom())->GetPosition(), -(1 << 24));
}

}  // namespace
