#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "ChartAxisLabel.h"
#include "ChartCursor.h"
#include "ChartGrid.h"
#include "ChartTestSupport.h"

namespace {

class ChartCtrlTest : public ::testing::Test {
protected:
    ChartCtrlTest() { chart_.resize(400, 300); }
    CountingChart chart_;
};

TEST_F(ChartCtrlTest, RefreshBracketDrawsExactlyOnce) {
    chart_.Refresh();
    ASSERT_EQ(chart_.draws, 1);
    chart_.SuspendRefresh();
    chart_.Refresh();
    chart_.SetBorderColor(MakeColor(1, 2, 3));
    chart_.Refresh();
    EXPECT_EQ(chart_.draws, 1);
    chart_.ResumeRefresh();
    EXPECT_EQ(chart_.draws, 2);
    chart_.ResumeRefresh();  // nothing pending
    EXPECT_EQ(chart_.draws, 2);
}

TEST_F(ChartCtrlTest, NestedBracketsDrawOnceAtTheOutermostResume) {
    chart_.SuspendRefresh();
    chart_.SuspendRefresh();
    chart_.Refresh();
    chart_.ResumeRefresh();
    EXPECT_EQ(chart_.draws, 0);
    chart_.ResumeRefresh();
    EXPECT_EQ(chart_.draws, 1);
}

TEST_F(ChartCtrlTest, AddPointsRedrawsOnceForBothAxes) {
    AttachStandardAxes(chart_);
    CChartLineSerie* serie = AddLine(chart_, {0, 1}, {0, 1});
    const int before = chart_.draws;
    const double x[] = {2, 3, 4}, y[] = {5, -2, 7};
    serie->AddPoints(x, y, 3);
    EXPECT_EQ(chart_.draws, before + 1);
    EXPECT_DOUBLE_EQ(chart_.GetAxis(CChartCore::Left)->GetMax(), 7.5);
    EXPECT_DOUBLE_EQ(chart_.GetAxis(CChartCore::Bottom)->GetMax(), 4);
}

TEST_F(ChartCtrlTest, FirstPaintDrawsTheChartOnceThenCopiesIt) {
    auto window = MakeImage(400, 300);
    chart_.Paint(*window);
    EXPECT_EQ(chart_.draws, 1);
    const QImage buffer = BackBufferImage(chart_);
    ASSERT_FALSE(buffer.isNull());
    EXPECT_EQ(window->Image(), buffer.convertToFormat(window->Image().format()));
    chart_.Paint(*window);
    EXPECT_EQ(chart_.draws, 1);
}

TEST_F(ChartCtrlTest, WidgetPaintShowsTheBackBuffer) {
    chart_.SetBackgroundColor(MakeColor(10, 200, 30));
    const QImage shown = chart_.grab().toImage();
    EXPECT_TRUE(IsColor(shown.pixel(200, 150), MakeColor(10, 200, 30)));
}

TEST_F(ChartCtrlTest, ResizeDropsTheBackBufferAndRedrawsAtTheNewSize) {
    chart_.show();
    chart_.Refresh();
    chart_.resize(250, 120);
    EXPECT_EQ(BackBufferImage(chart_).size(), QSize(250, 120));
    chart_.hide();
}

class FixedCursor : public CChartCursor {
public:
    FixedCursor(CChartCore* chart, int* deleted) : CChartCursor(chart), deleted_(deleted) {}
    ~FixedCursor() override { ++*deleted_; }
    void OnMouseMove(int, int) override {}
    void Draw(DrawSurface& surface) override {
        surface.SelectPen({PenSolid, 1, GetColor(), false});
        surface.MoveTo(50, 0);
        surface.LineTo(50, 300);
    }

private:
    int* deleted_;
};

class ZoomingChart : public CountingChart {
public:
    void StartZoomBand(const ChartRect& band) {
        zooming_ = true;
        zoomRect_ = band;
    }
};

TEST(ChartPaint, ZoomBandAndCursorsGoToTheWindowNotTheBuffer) {
    ZoomingChart chart;
    chart.resize(400, 300);
    int deleted = 0;
    chart.AddCursor(std::make_unique<FixedCursor>(&chart, &deleted))
        ->SetColor(MakeColor(255, 0, 255));
    chart.StartZoomBand({100, 100, 200, 150});
    auto window = MakeImage(400, 300);
    chart.Paint(*window);
    const QImage& shown = window->Image();
    EXPECT_TRUE(IsColor(shown.pixel(150, 100), MakeColor(255, 255, 255)));
    EXPECT_TRUE(IsColor(shown.pixel(200, 120), MakeColor(255, 255, 255)));
    EXPECT_TRUE(IsColor(shown.pixel(50, 200), MakeColor(255, 0, 255)));
    const QImage buffer = BackBufferImage(chart);
    EXPECT_FALSE(IsColor(buffer.pixel(150, 100), MakeColor(255, 255, 255)));
    EXPECT_FALSE(IsColor(buffer.pixel(50, 200), MakeColor(255, 0, 255)));
}

TEST(ChartCursors, RemoveCursorDeletesOnlyAnIssuedIdentifier) {
    CChartCtrl chart;
    int deleted = 0;
    CChartCursor* first = chart.AddCursor(std::make_unique<FixedCursor>(&chart, &deleted));
    CChartCursor* second = chart.AddCursor(std::make_unique<FixedCursor>(&chart, &deleted));
    EXPECT_EQ(second->GetId(), first->GetId() + 1);
    chart.RemoveCursor(second->GetId() + 100);
    EXPECT_EQ(chart.GetCursors().size(), 2u);
    EXPECT_EQ(deleted, 0);
    chart.RemoveCursor(first->GetId());
    EXPECT_EQ(chart.GetCursors().size(), 1u);
    EXPECT_EQ(deleted, 1);
}

TEST(ChartSeries, IdentifiersCountEverySerieConstructedAndAreNeverReused) {
    CChartCtrl chart;
    CChartLineSerie loose(&chart);  // never added, still takes a number
    auto* added = new CChartLineSerie(&chart);
    EXPECT_EQ(added->GetId(), loose.GetId() + 1);
    chart.AddSerie(added);
    const unsigned id = added->GetId();
    chart.RemoveSerie(id);
    CChartLineSerie later(&chart);
    EXPECT_EQ(later.GetId(), id + 1);
}

TEST_F(ChartCtrlTest, FourthSerieIsYellowAndEleventhStartsOverAtRed) {
    AttachStandardAxes(chart_);
    std::vector<CChartSerie*> series;
    for (int i = 0; i < 11; ++i) {
        auto* serie = new CChartLineSerie(&chart_);
        chart_.AddSerie(serie);
        series.push_back(serie);
    }
    EXPECT_EQ(series[0]->GetColor(), MakeColor(255, 0, 0));
    EXPECT_EQ(series[1]->GetColor(), MakeColor(0, 150, 0));
    EXPECT_EQ(series[3]->GetColor(), MakeColor(255, 255, 0));
    EXPECT_EQ(series[9]->GetColor(), MakeColor(64, 128, 128));
    EXPECT_EQ(series[10]->GetColor(), MakeColor(255, 0, 0));
}

TEST_F(ChartCtrlTest, AddSerieBindsLeftAndBottomAxesAndIgnoresNull) {
    AttachStandardAxes(chart_);
    chart_.AddSerie(nullptr);
    CChartLineSerie* serie = AddLine(chart_, {0, 10}, {2, 4});
    EXPECT_EQ(serie->GetVerticalAxis(), chart_.GetAxis(CChartCore::Left));
    EXPECT_EQ(serie->GetHorizontalAxis(), chart_.GetAxis(CChartCore::Bottom));
    EXPECT_EQ(chart_.GetAxis(CChartCore::Left)->GetSeries().size(), 1u);
    chart_.AddSerie(serie);  // already owned: ignored
    EXPECT_EQ(chart_.GetSeries().size(), 1u);
}

TEST_F(ChartCtrlTest, RemoveSerieRecomputesTheRangesOfItsAxes) {
    AttachStandardAxes(chart_);
    AddLine(chart_, {0, 10}, {0, 1});
    CChartLineSerie* wide = AddLine(chart_, {0, 500}, {0, 100});
    EXPECT_EQ(chart_.GetAxis(CChartCore::Bottom)->GetMax(), 500);
    const int before = chart_.draws;
    chart_.RemoveSerie(wide->GetId());
    EXPECT_EQ(chart_.GetSeries().size(), 1u);
    EXPECT_EQ(chart_.GetAxis(CChartCore::Bottom)->GetMax(), 10);
    EXPECT_EQ(chart_.GetAxis(CChartCore::Left)->GetMax(), 1.5);
    EXPECT_EQ(chart_.draws, before + 1);
    chart_.RemoveSerie(12345678);  // not there
    EXPECT_EQ(chart_.GetSeries().size(), 1u);
}

TEST_F(ChartCtrlTest, RemoveAllSeriesKeepsTheRangesAndRedrawsOnce) {
    AttachStandardAxes(chart_);
    AddLine(chart_, {0, 10}, {0, 1});
    AddLine(chart_, {0, 20}, {0, 1});
    const int before = chart_.draws;
    chart_.RemoveAllSeries();
    EXPECT_TRUE(chart_.GetSeries().empty());
    EXPECT_TRUE(chart_.GetAxis(CChartCore::Left)->GetSeries().empty());
    EXPECT_EQ(chart_.GetAxis(CChartCore::Bottom)->GetMax(), 20);
    EXPECT_EQ(chart_.draws, before + 1);
    chart_.RemoveAllSeries();  // empty chart: only redraws
    EXPECT_EQ(chart_.draws, before + 2);
}

TEST_F(ChartCtrlTest, ReplacingAnAxisMovesItsSeriesToTheNewOne) {
    AttachStandardAxes(chart_);
    CChartLineSerie* serie = AddLine(chart_, {0, 10}, {0, 1});
    auto* replacement = new CChartStandardAxis;
    chart_.AttachAxis(replacement, CChartCore::Left);
    EXPECT_EQ(chart_.GetAxis(CChartCore::Left), replacement);
    EXPECT_EQ(serie->GetVerticalAxis(), replacement);
    EXPECT_EQ(replacement->GetSeries().size(), 1u);
    EXPECT_FALSE(replacement->IsHorizontal());
    replacement->SetAutoMode(CChartAxis::AllPoints);
    chart_.Refresh();
    EXPECT_DOUBLE_EQ(replacement->GetMax(), 1.5);
}

TEST_F(ChartCtrlTest, AttachAxisMakesTopAndRightSecondaryAndLabelsOfSidesVertical) {
    auto* top = new CChartStandardAxis;
    auto* right = new CChartStandardAxis;
    chart_.AttachAxis(top, CChartCore::Top);
    chart_.AttachAxis(right, CChartCore::Right);
    EXPECT_TRUE(top->IsHorizontal());
    EXPECT_TRUE(top->IsSecondary());
    EXPECT_FALSE(right->IsHorizontal());
    EXPECT_TRUE(right->IsSecondary());
    EXPECT_TRUE(right->GetLabel()->GetFont().IsRotated());
    EXPECT_FALSE(top->GetLabel()->GetFont().IsRotated());
    EXPECT_EQ(chart_.GetAxis(CChartCore::Left), nullptr);
}

TEST_F(ChartCtrlTest, SaveImageWithAnEmptyAreaTakesTheClientSize) {
    QTemporaryDir dir;
    const std::string file = QDir(dir.path()).filePath("chart.png").toStdString();
    EXPECT_TRUE(chart_.SaveImage(file));
    QImage saved(QString::fromStdString(file));
    EXPECT_EQ(saved.size(), QSize(400, 300));
}

TEST_F(ChartCtrlTest, SaveImageLaysTheChartOutForTheWindowAgain) {
    AttachStandardAxes(chart_);
    AddLine(chart_, {0, 10}, {0, 1});
    chart_.Refresh();
    const ChartRect shown = chart_.GetPlottingRect();
    QTemporaryDir dir;
    EXPECT_TRUE(
        chart_.SaveImage(QDir(dir.path()).filePath("c.png").toStdString(), {0, 0, 800, 360}));
    EXPECT_EQ(chart_.GetPlottingRect(), shown);
}

TEST_F(ChartCtrlTest, SaveImageToAnUnwritablePlaceReportsFailure) {
    EXPECT_FALSE(chart_.SaveImage("/nonexistent-folder/chart.png", {0, 0, 80, 60}));
}

}  // namespace
