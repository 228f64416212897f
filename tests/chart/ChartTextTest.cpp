#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "ChartLegend.h"
#include "ChartTestSupport.h"
#include "ChartTitle.h"

namespace {

constexpr Color kBalloon = MakeColor(255, 255, 225);

// A serie whose every point lands on one chosen pixel.
class PinnedSerie : public CChartLineSerie {
public:
    PinnedSerie(CChartCore* chart, ChartPoint pixel) : CChartLineSerie(chart), pixel_(pixel) {
        AddPoint(1, 1);
        AddPoint(2, 2);
    }
    ChartPoint PointToScreen(unsigned) const override { return pixel_; }

private:
    ChartPoint pixel_;
};

class CountedLabel : public CChartLabel<SChartXYPoint> {
public:
    explicit CountedLabel(int& deleted) : CChartLabel(nullptr, nullptr), deleted_(deleted) {}
    ~CountedLabel() override { ++deleted_; }
    void Draw(DrawSurface&, unsigned) override {}

private:
    int& deleted_;
};

TEST(BalloonLabel, HangsItsBox170PixelsAboveThePointWithA20PixelStem) {
    CChartCtrl chart;
    PinnedSerie serie(&chart, {300, 400});
    auto* label = serie.AddBalloonLabel(0, "Y=1.5");
    RecordingSurface surface(600, 500);
    surface.fixedTextSize = ChartSize{60, 13};
    for (const bool rounded : {true, false}) {
        label->SetRoundedRect(rounded);
        surface.lines.clear();
        surface.boxes.clear();
        surface.texts.clear();
        serie.DrawLabels(surface);
        ASSERT_EQ(surface.lines.size(), 1u);
        EXPECT_EQ(surface.lines[0].from, (ChartPoint{300, 400}));
        EXPECT_EQ(surface.lines[0].to, (ChartPoint{300, 380}));
        EXPECT_EQ(surface.lines[0].color, MakeColor(255, 255, 255));
        ASSERT_EQ(surface.boxes.size(), 1u);
        EXPECT_EQ(surface.boxes[0].rect, (ChartRect{265, 207, 335, 230}));
        EXPECT_EQ(surface.boxes[0].rounded, rounded);
        ASSERT_EQ(surface.texts.size(), 1u);
        EXPECT_EQ(surface.texts[0].x, 270);
        EXPECT_EQ(surface.texts[0].y, 212);
        EXPECT_EQ(surface.texts[0].text, "Y=1.5");
    }
}

TEST(BalloonLabel, StaysInsideThePlotAndPointsAtItsPointNearEveryEdge) {
    CChartCtrl chart;
    chart.resize(600, 400);
    AttachStandardAxes(chart);
    chart.Refresh();
    const ChartRect plot = chart.GetPlottingRect();
    ASSERT_GT(plot.Height(), 300);
    const ChartPoint points[] = {
        {300, plot.top + 5},
        {plot.left + 1, plot.top + 1},
        {plot.right - 1, plot.top + 60},
        {plot.right - 2, plot.bottom},
        {plot.left + 3, plot.bottom - 40},
    };
    for (const ChartPoint point : points) {
        SCOPED_TRACE(testing::Message() << point.x << "," << point.y);
        PinnedSerie serie(&chart, point);
        serie.AddBalloonLabel(0, "Y=1.5");
        RecordingSurface surface(600, 400);
        surface.fixedTextSize = ChartSize{60, 13};
        serie.DrawLabels(surface);
        ASSERT_EQ(surface.boxes.size(), 1u);
        const ChartRect box = surface.boxes[0].rect;
        EXPECT_EQ(box.Width(), 70);
        EXPECT_EQ(box.Height(), 23);
        EXPECT_GT(box.left, plot.left);
        EXPECT_GT(box.top, plot.top);
        EXPECT_LT(box.right, plot.right);
        EXPECT_LT(box.bottom, plot.bottom);
        // Over the point, or as near as the plot's side lets it come.
        EXPECT_LE(std::abs(point.x - std::clamp(point.x, box.left, box.right - 1)), 2);
        // The stem leaves the point towards the box, never into it.
        ASSERT_EQ(surface.lines.size(), 1u);
        EXPECT_EQ(surface.lines[0].from, point);
        const bool above = box.bottom <= point.y;
        EXPECT_EQ(surface.lines[0].to, (ChartPoint{point.x, point.y + (above ? -20 : 20)}));
        EXPECT_TRUE(above ? box.bottom <= point.y - 20 : box.top >= point.y + 20);
        ASSERT_EQ(surface.texts.size(), 1u);
        EXPECT_EQ(surface.texts[0].x, box.left + 5);
        EXPECT_EQ(surface.texts[0].y, box.top + 5);
    }
}

TEST(BalloonLabel, DrawsNothingWithoutTextOrForAPointTheSerieLacks) {
    CChartCtrl chart;
    PinnedSerie serie(&chart, {300, 400});
    serie.AddBalloonLabel(0, "");
    serie.AddBalloonLabel(7, "far");
    RecordingSurface surface(600, 500);
    serie.DrawLabels(surface);
    EXPECT_TRUE(surface.lines.empty());
    EXPECT_TRUE(surface.texts.empty());
}

TEST(PointLabels, OnePerPointTheNewOneReplacingAndDeletingTheOld) {
    CChartCtrl chart;
    PinnedSerie serie(&chart, {300, 400});
    int deleted = 0;
    serie.AttachLabel(0, new CountedLabel(deleted));
    auto* first = serie.AddBalloonLabel(0, "first");
    EXPECT_EQ(deleted, 1);
    auto* second = serie.AddBalloonLabel(0, "second");
    EXPECT_EQ(serie.GetLabel(0), second);
    EXPECT_NE(first, second);
    EXPECT_EQ(second->GetSerie(), &serie);
    serie.AddBalloonLabel(1, "other");
    EXPECT_EQ(serie.GetLabel(0), second);
}

TEST(PointLabels, ReattachingALabelMovesItWithoutDeletingAndNullRemoves) {
    CChartCtrl chart;
    PinnedSerie serie(&chart, {300, 400});
    int deleted = 0;
    auto* label = new CountedLabel(deleted);
    serie.AttachLabel(0, label);
    serie.AttachLabel(0, label);  // already there: kept, not deleted
    serie.AttachLabel(1, label);
    EXPECT_EQ(deleted, 0);
    EXPECT_EQ(serie.GetLabel(0), nullptr);
    EXPECT_EQ(serie.GetLabel(1), label);
    EXPECT_EQ(label->GetSerie(), &serie);
    PinnedSerie other(&chart, {10, 10});
    other.AttachLabel(4, label);
    EXPECT_EQ(serie.GetLabel(1), nullptr);
    EXPECT_EQ(label->GetSerie(), &other);
    other.AttachLabel(4, nullptr);
    EXPECT_EQ(deleted, 1);
    RecordingSurface surface(10, 10);
    serie.DrawLabels(surface);  // nothing left to draw, nothing to trip over
    other.DrawLabels(surface);
}

TEST(PointLabels, BalloonAddedToAShownSerieIsInTheNextPicture) {
    CChartCtrl chart;
    chart.resize(600, 400);
    AttachStandardAxes(chart);
    CChartLineSerie* serie = AddLine(chart, {0, 10}, {0, 10});
    auto count = [&] {
        const QImage image = BackBufferImage(chart);
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) n += IsColor(image.pixel(x, y), kBalloon);
        }
        return n;
    };
    EXPECT_EQ(count(), 0);
    serie->AddBalloonLabel(0, "Y=0");
    EXPECT_GT(count(), 100);
}

class TitledChart : public ::testing::Test {
protected:
    TitledChart() : surface_(400, 300) {
        chart_.resize(400, 300);
        surface_.fixedTextSize = ChartSize{40, 16};
    }
    void Draw() {
        surface_.texts.clear();
        chart_.DrawPicture(surface_, {0, 0, 400, 300});
    }
    CChartCtrl chart_;
    RecordingSurface surface_;
};

TEST_F(TitledChart, WithoutLinesTakesNoRoomAndDrawsNothing) {
    Draw();
    EXPECT_EQ(chart_.GetTitle()->GetSize(surface_), (ChartSize{0, 0}));
    EXPECT_EQ(chart_.GetPlottingRect().top, 3);
    EXPECT_TRUE(surface_.texts.empty());
}

TEST_F(TitledChart, OneLineOf16PixelsTakes22AndIsCentred) {
    chart_.GetTitle()->AddString("Tilt");
    Draw();
    EXPECT_EQ(chart_.GetTitle()->GetSize(surface_), (ChartSize{42, 22}));
    EXPECT_EQ(chart_.GetTitle()->GetRect(), (ChartRect{3, 3, 397, 25}));
    EXPECT_EQ(chart_.GetPlottingRect().top, 25);
    ASSERT_EQ(surface_.texts.size(), 1u);
    EXPECT_EQ(surface_.texts[0].x, 3 + 197 - 20);
    EXPECT_EQ(surface_.texts[0].y, 7);
    chart_.GetTitle()->SetVisible(false);
    Draw();
    EXPECT_TRUE(surface_.texts.empty());
    EXPECT_EQ(chart_.GetPlottingRect().top, 3);
}

TEST_F(TitledChart, LinesStackInTheirOwnFonts) {
    chart_.GetTitle()->AddString("first");
    chart_.GetTitle()->AddString("second");
    chart_.GetTitle()->SetLineFont(1, 140, "Arial", true);
    Draw();
    EXPECT_EQ(chart_.GetTitle()->GetSize(surface_).height, 4 + 2 * (16 + 2));
    ASSERT_EQ(surface_.texts.size(), 2u);
    EXPECT_EQ(surface_.texts[1].y, 7 + 18);
    EXPECT_EQ(surface_.texts[0].font.face, "Microsoft Sans Serif");
    EXPECT_EQ(surface_.texts[1].font.face, "Arial");
    EXPECT_TRUE(surface_.texts[1].font.bold);
}

class LegendChart : public ::testing::Test {
protected:
    LegendChart() {
        chart_.resize(500, 300);
        chart_.SetBackgroundColor(MakeColor(255, 255, 255));
        AttachStandardAxes(chart_);
        serie_ = AddLine(chart_, {0, 10}, {0, 1});
        serie_->SetName("X angle");
        plain_ = chart_.GetPlottingRect();
    }
    CChartLegend* Legend() const { return chart_.GetLegend(); }
    CChartCtrl chart_;
    CChartLineSerie* serie_;
    ChartRect plain_;
};

TEST_F(LegendChart, HiddenLegendLeavesTheLayoutAlone) {
    EXPECT_FALSE(Legend()->IsVisible());
    EXPECT_TRUE(Legend()->GetRect().IsEmpty());
    EXPECT_EQ(chart_.GetPlottingRect(), plain_);
}

TEST_F(LegendChart, DockedLegendTakesItsSideAndFramesItsSamples) {
    Legend()->SetVisible(true);
    const ChartRect box = Legend()->GetRect();
    ASSERT_FALSE(box.IsEmpty());
    EXPECT_LE(chart_.GetPlottingRect().right, box.left - 2);
    EXPECT_LT(box.right, 500 - 3);
    const QImage image = BackBufferImage(chart_);
    EXPECT_TRUE(IsColor(image.pixel(box.left, box.top + 5), MakeColor(0, 0, 0)));
    // The sample line runs through the middle of its rectangle, in the serie's colour.
    EXPECT_TRUE(IsColor(image.pixel(box.left + 10, box.top + 5 + 8), serie_->GetColor()));

    Legend()->DockLegend(CChartLegend::DockLeft);
    EXPECT_GE(chart_.GetPlottingRect().left, Legend()->GetRect().right + 2);
    Legend()->UndockLegend(100, 100);
    EXPECT_EQ(chart_.GetPlottingRect(), plain_);
    EXPECT_EQ(Legend()->GetRect().left, 100);
}

TEST_F(LegendChart, NothingToListTakesNoRoom) {
    serie_->SetName("");
    Legend()->SetVisible(true);
    EXPECT_TRUE(Legend()->GetRect().IsEmpty());
    EXPECT_EQ(chart_.GetPlottingRect(), plain_);
}

}  // namespace
