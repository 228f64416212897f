#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "ChartAxisLabel.h"
#include "ChartGrid.h"
#include "ChartTestSupport.h"

namespace {

constexpr Color kBlack = MakeColor(0, 0, 0);
constexpr Color kGridColor = MakeColor(189, 189, 189);

TEST(ChartPicture, EmptyChartShowsBackgroundEdgeAndFrameThreePixelsInside) {
    CChartCtrl chart;
    chart.resize(200, 100);
    chart.Refresh();
    const QImage image = BackBufferImage(chart);
    // Default edge: raised outer and inner lines.
    EXPECT_TRUE(IsColor(image.pixel(0, 50), k3DHighlightColor));
    EXPECT_TRUE(IsColor(image.pixel(1, 50), k3DHighlightColor));
    EXPECT_TRUE(IsColor(image.pixel(199, 50), k3DShadowColor));
    EXPECT_TRUE(IsColor(image.pixel(2, 50), kButtonFaceColor));
    for (const auto& [x, y] : {std::pair{3, 50}, {197, 50}, {100, 3}, {100, 97}}) {
        EXPECT_TRUE(IsColor(image.pixel(x, y), kBlack)) << x << "," << y;
    }
    EXPECT_TRUE(IsColor(image.pixel(4, 50), kButtonFaceColor));
    EXPECT_TRUE(IsColor(image.pixel(100, 4), kButtonFaceColor));
    EXPECT_EQ(chart.GetPlottingRect(), (ChartRect{3, 3, 197, 97}));
}

// The program's look: white plot, light grey grid, black axes.
class ProgramChart : public ::testing::Test {
protected:
    ProgramChart() {
        chart_.resize(600, 300);
        chart_.SetBackgroundColor(MakeColor(255, 255, 255));
        chart_.SetEdgeType(EdgeRaisedInner);
        AttachStandardAxes(chart_);
        for (auto position : {CChartCore::Left, CChartCore::Bottom}) {
            chart_.GetAxis(position)->GetGrid()->SetColor(kGridColor);
        }
    }
    CChartCtrl chart_;
};

TEST_F(ProgramChart, FlatSerieRunsAcrossTheMiddle) {
    std::vector<double> x, y;
    for (int i = 0; i < 10; ++i) {
        x.push_back(i);
        y.push_back(1.0);
    }
    AddLine(chart_, x, y)->SetLineWidth(1);
    EXPECT_DOUBLE_EQ(chart_.GetAxis(CChartCore::Left)->GetMin(), 0.5);
    EXPECT_DOUBLE_EQ(chart_.GetAxis(CChartCore::Left)->GetMax(), 1.5);
    const QImage image = BackBufferImage(chart_);
    const ChartRect plot = chart_.GetPlottingRect();
    const int middle = plot.bottom - (plot.bottom - plot.top) / 2;
    for (int xp = plot.left + 1; xp < plot.right; ++xp) {
        ASSERT_TRUE(IsColor(image.pixel(xp, middle), MakeColor(255, 0, 0))) << xp;
    }
    EXPECT_FALSE(IsColor(image.pixel(plot.left + 10, middle - 1), MakeColor(255, 0, 0)));
    EXPECT_FALSE(IsColor(image.pixel(plot.left + 10, middle + 1), MakeColor(255, 0, 0)));
}

TEST_F(ProgramChart, GridDashesAreThreeOnThreeOffFromTheBottomAndLeftEdges) {
    constexpr Color kTrace = MakeColor(255, 0, 0);
    AddLine(chart_, {0, 100}, {0, 10});
    const QImage image = BackBufferImage(chart_);
    const ChartRect plot = chart_.GetPlottingRect();
    // Where the trace crosses a grid line, the trace is on top.
    auto expectDash = [&](int x, int y, bool on) {
        const QRgb pixel = image.pixel(x, y);
        if (IsColor(pixel, kTrace)) return;
        ASSERT_EQ(IsColor(pixel, kGridColor), on) << x << "," << y;
        if (!on) {
            ASSERT_TRUE(IsColor(pixel, MakeColor(255, 255, 255))) << x << "," << y;
        }
    };

    const std::vector<int>& columns =
        chart_.GetAxis(CChartCore::Bottom)->GetGrid()->GetTickPixels();
    ASSERT_GE(columns.size(), 3u);
    const std::vector<int>& rows = chart_.GetAxis(CChartCore::Left)->GetGrid()->GetTickPixels();
    ASSERT_GE(rows.size(), 3u);
    const int x = columns[1], y = rows[1];
    // Row plot.bottom is the frame: the first dash shows its upper two pixels.
    auto crossing = [](const std::vector<int>& lines, int p) {
        return std::find(lines.begin(), lines.end(), p) != lines.end();
    };
    for (int row = plot.bottom - 1; row > plot.top; --row) {
        if (!crossing(rows, row)) expectDash(x, row, (plot.bottom - row) % 6 < 3);
    }
    // Column plot.left is the frame too.
    for (int column = plot.left + 1; column < plot.right; ++column) {
        if (!crossing(columns, column)) expectDash(column, y, (column - plot.left) % 6 < 3);
    }
}

TEST_F(ProgramChart, HiddenLeftAxisLetsThePlotReachTheLeftEdgeAndTakesItsGrid) {
    AddLine(chart_, {0, 100}, {0, 10});
    const int gridRow = chart_.GetAxis(CChartCore::Left)->GetGrid()->GetTickPixels().at(1);
    EXPECT_GT(chart_.GetPlottingRect().left, 3);
    chart_.GetAxis(CChartCore::Left)->SetVisible(false);
    EXPECT_EQ(chart_.GetPlottingRect().left, 3);
    const QImage image = BackBufferImage(chart_);
    for (int x = 5; x < 60; ++x) {
        EXPECT_FALSE(IsColor(image.pixel(x, gridRow), kGridColor)) << x;
    }
}

TEST_F(ProgramChart, FreshChartLabelsMinInTheMiddleAndDrawsNoGrid) {
    chart_.Refresh();
    EXPECT_TRUE(chart_.GetAxis(CChartCore::Bottom)->GetGrid()->GetTickPixels().empty());
    EXPECT_TRUE(chart_.GetAxis(CChartCore::Left)->GetGrid()->GetTickPixels().empty());
}

TEST_F(ProgramChart, SavedPictureIs800By360WithFrameAndTraces) {
    std::vector<double> x, y;
    for (int i = 0; i < 100; ++i) {
        x.push_back(i);
        y.push_back(std::sin(i / 10.0));
    }
    AddLine(chart_, x, y)->SetLineWidth(2);
    QTemporaryDir dir;
    const QString file = QDir(dir.path()).filePath("picture.png");
    ASSERT_TRUE(chart_.SaveImage(file.toStdString(), {0, 0, 800, 360}));
    const QImage saved(file);
    ASSERT_EQ(saved.size(), QSize(800, 360));
    EXPECT_TRUE(IsColor(saved.pixel(1, 100), k3DHighlightColor));
    EXPECT_TRUE(IsColor(saved.pixel(798, 100), k3DShadowColor));
    int red = 0;
    for (int yy = 0; yy < 360; ++yy) {
        for (int xx = 0; xx < 800; ++xx) red += IsColor(saved.pixel(xx, yy), MakeColor(255, 0, 0));
    }
    EXPECT_GT(red, 800);  // a two-pixel trace across the picture
}

// Two traces on both axes, as the program shows them, against a picture
// checked in beside the tests.
QImage KnownChart() {
    CChartCtrl chart;
    chart.resize(800, 360);
    chart.SetBackgroundColor(MakeColor(255, 255, 255));
    chart.SetEdgeType(EdgeRaisedInner);
    AttachStandardAxes(chart);
    for (auto position : {CChartCore::Left, CChartCore::Bottom}) {
        chart.GetAxis(position)->GetGrid()->SetColor(kGridColor);
    }
    chart.GetAxis(CChartCore::Left)->GetLabel()->SetText("Angle  (deg)");
    chart.GetAxis(CChartCore::Left)
        ->GetLabel()
        ->SetFont(80, "Times New Roman", false, false, false);
    chart.SuspendRefresh();
    std::vector<double> index, xs, ys;
    for (int i = 0; i < 300; ++i) {
        index.push_back(i);
        xs.push_back(1.5 * std::sin(i / 25.0) + 0.2);
        ys.push_back(-0.8 + 0.6 * std::cos(i / 13.0) + ((i * 7919) % 11) * 0.02);
    }
    CChartLineSerie* x = AddLine(chart, index, xs);
    x->SetColor(MakeColor(255, 0, 0));
    x->SetLineWidth(2);
    CChartLineSerie* y = AddLine(chart, index, ys);
    y->SetColor(MakeColor(0, 150, 0));
    y->SetLineWidth(2);
    chart.ResumeRefresh();

    auto surface = MakeImage(800, 360);
    chart.DrawPicture(*surface, {0, 0, 800, 360});
    return surface->Image().convertToFormat(QImage::Format_RGB32);
}

TEST(ChartGolden, KnownChartMatchesTheCheckedInPicture) {
    const QImage drawn = KnownChart();
    const QString golden = QStringLiteral(CHART_TEST_DATA_DIR "/chart_golden.png");
    if (qEnvironmentVariableIsSet("TILTSCOPE_UPDATE_GOLDEN")) {
        ASSERT_TRUE(drawn.save(golden));
        GTEST_SKIP() << "golden picture rewritten";
    }
    const QImage expected = QImage(golden).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(expected.isNull()) << golden.toStdString();
    ASSERT_EQ(drawn.size(), expected.size());

    // Text edges may shade a little differently with another font rasteriser;
    // geometry may not move.
    constexpr int kChannelTolerance = 48;
    int differing = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            const QRgb a = drawn.pixel(x, y), b = expected.pixel(x, y);
            if (std::abs(qRed(a) - qRed(b)) > kChannelTolerance ||
                std::abs(qGreen(a) - qGreen(b)) > kChannelTolerance ||
                std::abs(qBlue(a) - qBlue(b)) > kChannelTolerance) {
                ++differing;
            }
        }
    }
    EXPECT_LE(differing, drawn.width() * drawn.height() / 1000) << "pixels differ: " << differing;
}

}  // namespace
