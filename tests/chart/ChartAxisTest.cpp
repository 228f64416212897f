#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChartAxisLabel.h"
#include "ChartLineSerie.h"
#include "ChartStandardAxis.h"
#include "ChartTestSupport.h"

namespace {

// An axis on its own, placed as the layout would place it, with series that
// belong to no chart.
class AxisTest : public ::testing::Test {
protected:
    void Place(CChartStandardAxis& axis, bool horizontal, int start, int end) {
        axis.SetHorizontal(horizontal);
        axis.SetPixelSpan(start, end);
    }
    CChartLineSerie& Serie(const std::vector<double>& x, const std::vector<double>& y,
                           CChartAxis* vertical, CChartAxis* horizontal) {
        series_.push_back(std::make_unique<CChartLineSerie>(nullptr));
        CChartLineSerie& s = *series_.back();
        s.AddPoints(x.data(), y.data(), static_cast<unsigned>(x.size()));
        s.SetAxes(vertical, horizontal);
        if (vertical) vertical->RegisterSerie(&s);
        if (horizontal) horizontal->RegisterSerie(&s);
        return s;
    }
    std::vector<std::string> Labels(const CChartStandardAxis& axis) {
        std::vector<std::string> labels;
        for (double v : axis.TickValues()) labels.push_back(axis.TickLabel(v));
        return labels;
    }

    CChartStandardAxis vertical_;
    CChartStandardAxis horizontal_;
    std::vector<std::unique_ptr<CChartLineSerie>> series_;
};

TEST_F(AxisTest, VerticalAllPointsRangeWidensByHalfOnBothEnds) {
    Place(vertical_, false, 300, 100);
    Serie({0, 1, 2}, {-1.2, 3.4, 0}, &vertical_, nullptr);
    vertical_.SetAutoMode(CChartAxis::AllPoints);
    EXPECT_DOUBLE_EQ(vertical_.GetMin(), -1.7);
    EXPECT_DOUBLE_EQ(vertical_.GetMax(), 3.9);
    EXPECT_DOUBLE_EQ(vertical_.GetUndoMin(), -1.7);
    EXPECT_DOUBLE_EQ(vertical_.GetUndoMax(), 3.9);
}

TEST_F(AxisTest, HorizontalAllPointsRangeIsTheDataRange) {
    std::vector<double> x(1000), y(1000, 1.0);
    for (int i = 0; i < 1000; ++i) x[i] = i;
    Place(horizontal_, true, 50, 650);
    Serie(x, y, nullptr, &horizontal_);
    horizontal_.SetAutoMode(CChartAxis::AllPoints);
    EXPECT_EQ(horizontal_.GetMin(), 0);
    EXPECT_EQ(horizontal_.GetMax(), 999);
}

TEST_F(AxisTest, BottomAxisOver999HasLabelsEveryFifty) {
    Place(horizontal_, true, 50, 650);
    Serie({0, 999}, {0, 0}, nullptr, &horizontal_);
    horizontal_.SetAutoMode(CChartAxis::AllPoints);
    horizontal_.ComputeTickIncrement();
    horizontal_.ComputeFirstTick();
    std::vector<std::string> expected;
    for (int v = 0; v <= 950; v += 50) expected.push_back(std::to_string(v));
    EXPECT_EQ(Labels(horizontal_), expected);
}

TEST_F(AxisTest, ConstantZeroWalksToMinusZeroOnTheWay) {
    Place(vertical_, false, 300, 100);
    // An earlier serie moved the range away from 0..0, which a constant 0
    // alone would leave untouched.
    CChartLineSerie& earlier = Serie({0}, {3}, &vertical_, nullptr);
    vertical_.SetAutoMode(CChartAxis::AllPoints);
    vertical_.UnregisterSerie(&earlier);
    Serie({0, 1, 2}, {0, 0, 0}, &vertical_, nullptr);
    vertical_.RefreshAutoRange();
    ASSERT_EQ(vertical_.GetMin(), -0.5);
    ASSERT_EQ(vertical_.GetMax(), 0.5);
    vertical_.ComputeTickIncrement();
    vertical_.ComputeFirstTick();
    EXPECT_DOUBLE_EQ(vertical_.GetTickIncrement(), 0.1);
    EXPECT_EQ(vertical_.GetDecimalCount(), 1);
    EXPECT_EQ(vertical_.GetFirstTick(), -0.5);
    const std::vector<std::string> expected = {"-0.5", "-0.4", "-0.3", "-0.2", "-0.1", "-0.0",
                                               "0.1",  "0.2",  "0.3",  "0.4",  "0.5"};
    EXPECT_EQ(Labels(vertical_), expected);
}

TEST_F(AxisTest, HiddenFirstSerieLeavesZeroInsideTheRange) {
    Place(horizontal_, true, 0, 500);
    Serie({5, 7}, {0, 0}, nullptr, &horizontal_).SetVisible(false);
    Serie({2, 3}, {0, 0}, nullptr, &horizontal_);
    horizontal_.SetAutoMode(CChartAxis::AllPoints);
    EXPECT_EQ(horizontal_.GetMin(), 0);
    EXPECT_EQ(horizontal_.GetMax(), 3);
}

TEST_F(AxisTest, LaterSeriesWidenTheFirstOnesRange) {
    Place(horizontal_, true, 0, 500);
    Serie({5, 7}, {0, 0}, nullptr, &horizontal_);
    Serie({2, 3}, {0, 0}, nullptr, &horizontal_);
    horizontal_.SetAutoMode(CChartAxis::AllPoints);
    EXPECT_EQ(horizontal_.GetMin(), 2);
    EXPECT_EQ(horizontal_.GetMax(), 7);
}

TEST_F(AxisTest, ConstantZeroOnAFreshAxisKeepsTheEmptyRange) {
    Place(vertical_, false, 300, 100);
    Serie({0, 1}, {0, 0}, &vertical_, nullptr);
    vertical_.SetAutoMode(CChartAxis::AllPoints);
    EXPECT_EQ(vertical_.GetMin(), 0);
    EXPECT_EQ(vertical_.GetMax(), 0);
}

TEST_F(AxisTest, AutomaticAxisWithoutSeriesStaysAtZero) {
    Place(vertical_, false, 300, 100);
    vertical_.SetAutoMode(CChartAxis::AllPoints);
    EXPECT_EQ(vertical_.GetMin(), 0);
    EXPECT_EQ(vertical_.GetMax(), 0);
}

TEST_F(AxisTest, VisiblePointsModeSpansThePointsInsideTheOtherAxis) {
    Place(horizontal_, true, 0, 500);
    Place(vertical_, false, 300, 100);
    CChartLineSerie& s = Serie({0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
                               {0, 10, 20, 30, 40, 50, 60, 70, 80, 90}, &vertical_, &horizontal_);
    s.SetOrdering(XOrdering);
    horizontal_.SetAutoMode(CChartAxis::AllPoints);
    horizontal_.SetVisibleRange(2, 4);
    vertical_.SetAutoMode(CChartAxis::VisiblePoints);
    // The bisection lands next to each end's place: here on X = 3 and X = 5.
    EXPECT_DOUBLE_EQ(vertical_.GetMin(), 29.5);
    EXPECT_DOUBLE_EQ(vertical_.GetMax(), 50.5);
}

TEST_F(AxisTest, ZoomNarrowerThanTheLimitIsExactlyTheLimitWide) {
    Place(horizontal_, true, 0, 500);
    Serie({0, 100}, {0, 0}, nullptr, &horizontal_);
    horizontal_.SetAutoMode(CChartAxis::AllPoints);
    horizontal_.SetVisibleRange(10, 10.0004);
    EXPECT_EQ(horizontal_.GetMin(), 10);
    EXPECT_EQ(horizontal_.GetMax(), 10 + 0.001);
    horizontal_.ResetZoom();
    EXPECT_EQ(horizontal_.GetMin(), 0);
    EXPECT_EQ(horizontal_.GetMax(), 100);
}

TEST_F(AxisTest, PanMovesTheRangeAgainstThePointer) {
    Place(horizontal_, true, 0, 500);
    Serie({0, 100}, {0, 0}, nullptr, &horizontal_);
    horizontal_.SetAutoMode(CChartAxis::AllPoints);
    horizontal_.Pan(100, 110);
    EXPECT_DOUBLE_EQ(horizontal_.GetMin(), -2);
    EXPECT_DOUBLE_EQ(horizontal_.GetMax(), 98);
}

TEST_F(AxisTest, PanWithAnEmptyRangeDoesNothing) {
    Place(horizontal_, true, 0, 500);
    Serie({4, 4}, {0, 0}, nullptr, &horizontal_);
    horizontal_.SetAutoMode(CChartAxis::AllPoints);
    horizontal_.Pan(100, 110);
    EXPECT_EQ(horizontal_.GetMin(), 4);
    EXPECT_EQ(horizontal_.GetMax(), 4);
}

TEST_F(AxisTest, ZeroPixelSpanLeavesTheRangeAloneOnZoomAndPan) {
    Place(horizontal_, true, 40, 40);
    Serie({0, 100}, {0, 0}, nullptr, &horizontal_);
    horizontal_.SetAutoMode(CChartAxis::AllPoints);
    EXPECT_EQ(horizontal_.PixelToValue(90), 0);
    horizontal_.Pan(10, 60);
    horizontal_.SetVisibleRange(horizontal_.PixelToValue(30), horizontal_.PixelToValue(50));
    EXPECT_EQ(horizontal_.GetMin(), 0);
    EXPECT_EQ(horizontal_.GetMax(), 100);
}

TEST_F(AxisTest, PanAndZoomCanBeForbidden) {
    Place(horizontal_, true, 0, 500);
    Serie({0, 100}, {0, 0}, nullptr, &horizontal_);
    horizontal_.SetAutoMode(CChartAxis::AllPoints);
    horizontal_.SetPanZoomAllowed(false);
    horizontal_.SetVisibleRange(10, 20);
    EXPECT_EQ(horizontal_.GetMax(), 100);
}

TEST_F(AxisTest, EmptyRangePutsEveryValueInTheMiddle) {
    Place(horizontal_, true, 100, 301);
    EXPECT_EQ(horizontal_.ValueToPixel(-55), 200);
    EXPECT_EQ(horizontal_.TickValues(), std::vector<double>{0});
}

TEST_F(AxisTest, DiscreteValuesSitInTheMiddleOfTheirInterval) {
    Place(horizontal_, true, 0, 100);
    Serie({0, 10}, {0, 0}, nullptr, &horizontal_);
    horizontal_.SetAutoMode(CChartAxis::AllPoints);
    horizontal_.SetTickIncrement(1, 0);
    horizontal_.SetDiscrete(true);
    EXPECT_EQ(horizontal_.ValueToPixel(3.2), 35);
    EXPECT_EQ(horizontal_.ValueToPixel(3.9), 35);
}

TEST_F(AxisTest, HiddenAxisReservesNothing) {
    auto surface = MakeImage(10, 10);
    Place(vertical_, false, 300, 100);
    vertical_.SetVisible(false);
    ChartRect plot{3, 3, 597, 297};
    EXPECT_EQ(vertical_.ReserveSpace({3, 3, 597, 297}, plot, *surface), 0);
    EXPECT_EQ(plot, (ChartRect{3, 3, 597, 297}));
}

TEST_F(AxisTest, VerticalAxisReservesTickLabelsAndRotatedTitle) {
    auto surface = MakeImage(10, 10);
    Place(vertical_, false, 297, 3);
    Serie({0, 1}, {0, 10}, &vertical_, nullptr);
    vertical_.SetAutoMode(CChartAxis::AllPoints);
    vertical_.ComputeTickIncrement();
    vertical_.ComputeFirstTick();
    vertical_.GetLabel()->SetText("Angle");
    SurfaceFont labelFont;
    labelFont.face = "Microsoft Sans Serif";
    labelFont.tenths = 100;
    labelFont.rotated = true;
    surface->SelectFont(labelFont);
    const ChartSize title = surface->TextExtent("Angle");
    SurfaceFont tickFont = labelFont;
    tickFont.tenths = 80;
    tickFont.rotated = false;
    surface->SelectFont(tickFont);
    const ChartSize widest = surface->TextExtent("10");  // ticks 0 to 10
    const ChartSize label = vertical_.GetLabel()->GetSize(*surface);
    EXPECT_EQ(label, (ChartSize{title.height + 4, title.width + 4}));
    ChartRect plot{3, 3, 597, 297};
    const int size = vertical_.ReserveSpace({3, 3, 597, 297}, plot, *surface);
    EXPECT_EQ(size, widest.width + 10 + label.width);
    EXPECT_EQ(plot.left, 3 + size);
    EXPECT_EQ(plot.top, 3 + 3 + widest.height / 2);
}

// Whether any two tick labels an axis draws share a pixel.
std::string OverlappingLabels(CChartAxis& axis, RecordingSurface& surface) {
    surface.texts.clear();
    axis.Draw(surface);
    const auto& t = surface.texts;
    if (t.size() < 2) return "fewer than two labels";
    for (size_t i = 0; i < t.size(); ++i) {
        for (size_t j = i + 1; j < t.size(); ++j) {
            const bool apart =
                t[i].x + t[i].size.width <= t[j].x || t[j].x + t[j].size.width <= t[i].x ||
                t[i].y + t[i].size.height <= t[j].y || t[j].y + t[j].size.height <= t[i].y;
            if (!apart) return t[i].text + " and " + t[j].text;
        }
    }
    return "";
}

TEST(TickLabels, NeverOverlapAtOrdinaryRangesNorAtTheZoomLimit) {
    struct Case {
        const char* name;
        double xFrom, xTo, yFrom, yTo;
        bool zoomToLimit;
        int fontTenths;
    };
    const Case cases[] = {
        {"ordinary", 0, 999, -1.2, 3.4, false, 80},
        {"zoom limit", 0, 999, -1.2, 3.4, true, 80},
        {"zoom limit, large values", 100000, 200000, 1000, 5000, true, 80},
        {"large tick font", 0, 999, -1.2, 3.4, false, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CChartCtrl chart;
        chart.resize(720, 320);
        AttachStandardAxes(chart);
        AddLine(chart, {c.xFrom, c.xTo}, {c.yFrom, c.yTo});
        CChartAxis* bottom = chart.GetAxis(CChartCore::Bottom);
        CChartAxis* left = chart.GetAxis(CChartCore::Left);
        for (CChartAxis* axis : {bottom, left}) {
            axis->SetTickFont(c.fontTenths, "Microsoft Sans Serif");
            if (c.zoomToLimit) {
                const double from = axis->GetMin() + (axis->GetMax() - axis->GetMin()) * 0.54;
                axis->SetVisibleRange(from, from);
            }
        }
        if (c.zoomToLimit) {
            EXPECT_NEAR(bottom->GetMax() - bottom->GetMin(), 0.001, 1e-6);
        }
        RecordingSurface surface(720, 320);
        chart.DrawPicture(surface, {0, 0, 720, 320});
        EXPECT_EQ(OverlappingLabels(*bottom, surface), "");
        EXPECT_EQ(OverlappingLabels(*left, surface), "");
    }
}

}  // namespace
