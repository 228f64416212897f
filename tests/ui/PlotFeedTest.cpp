#include <gtest/gtest.h>

#include <QImage>
#include <QSlider>
#include <cmath>
#include <filesystem>

#include "ChartCtrl.h"
#include "ChartLineSerie.h"
#include "ChartStandardAxis.h"
#include "ListCtrlEx.h"
#include "PlotFeed.h"
#include "RecordTestSupport.h"
#include "WindowFixture.h"

namespace {

using record_test::At;
using record_test::FakeClock;

class PlotFeedTest : public WindowFixture {
protected:
    std::unique_ptr<CTiltwiseDlg> Open() {
        DialogContext c = Context(Language::English);
        c.clock = &clock;
        c.pictureDir = scratch.Root() + "/picture";
        auto dlg = std::make_unique<CTiltwiseDlg>(c);
        dlg->InitWindow();
        return dlg;
    }
    // The trace's points as the chart holds them.
    static std::vector<SChartXYPoint> Points(CTiltwiseDlg& dlg, long id) {
        std::vector<SChartXYPoint> out;
        if (id < 0) return out;
        auto* serie =
            dynamic_cast<CChartLineSerie*>(dlg.Chart()->GetSerie(static_cast<unsigned>(id)));
        if (!serie) return out;
        for (unsigned i = 0; i < serie->GetPointsCount(); ++i) out.push_back(serie->GetPoint(i));
        return out;
    }
    static void Deliver(CTiltwiseDlg& dlg, int from, int to) {
        for (int i = from; i < to; ++i)
            dlg.DeliverMeasurement(Measurement{double(i), -double(i), 20});
    }
    std::string Tip(CTiltwiseDlg& dlg, int command) {
        return dlg.Toolbar()->TipFor(command).toStdString();
    }

    FakeClock clock{At(2024, 3, 5, 9, 30, 12, 0)};
};

TEST_F(PlotFeedTest, FreshChartIsEmptyAndShowsOnlyWhatArrived) {
    auto dlg = Open();
    timers.Tick(0);
    EXPECT_TRUE(Points(*dlg, dlg->Plot().XTrace()).empty());
    EXPECT_TRUE(Points(*dlg, dlg->Plot().YTrace()).empty());
    timers.Tick(2);
    EXPECT_EQ(dlg->ParameterList()->GetItemText(3, 1), QStringLiteral("-"));  // no Vpp yet
    Deliver(*dlg, 4, 7);
    timers.Tick(0);
    const auto x = Points(*dlg, dlg->Plot().XTrace());
    ASSERT_EQ(x.size(), 3u);
    EXPECT_EQ(x[0].X, 0);
    EXPECT_EQ(x[2].X, 2);
    EXPECT_EQ(x[2].Y, 6);
}

TEST_F(PlotFeedTest, GapInTheDataIsAGapInTheTraces) {
    auto dlg = Open();
    Deliver(*dlg, 0, 3);
    dlg->Plot().BreakTraces();
    dlg->Plot().BreakTraces();  // one gap, however often it is said
    Measurement noY{3, 0, 20};
    noY.hasY = false;  // a reply without Y: no Y sample is made up for it
    dlg->DeliverMeasurement(noY);
    timers.Tick(0);
    const auto x = Points(*dlg, dlg->Plot().XTrace());
    const auto y = Points(*dlg, dlg->Plot().YTrace());
    ASSERT_EQ(x.size(), 5u);
    EXPECT_TRUE(std::isnan(x[3].Y));
    EXPECT_EQ(x[4].Y, 3);
    EXPECT_TRUE(std::isnan(y[4].Y));
    timers.Tick(2);
    EXPECT_EQ(dlg->ParameterList()->GetItemText(3, 1), QStringLiteral("3.0000deg"));
    EXPECT_EQ(dlg->ParameterList()->GetItemText(3, 2), QStringLiteral("2.0000deg"));
}

TEST_F(PlotFeedTest, TimeSpanSliderChoosesTheNewestSamples) {
    auto dlg = Open();
    auto* slider = qobject_cast<QSlider*>(dlg->Control(1052));
    slider->setValue(3);
    EXPECT_EQ(dlg->Plot().PointCount(), 5u);
    Deliver(*dlg, 0, 10);
    timers.Tick(0);
    const auto x = Points(*dlg, dlg->Plot().XTrace());
    ASSERT_EQ(x.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(x[i].X, i);
        EXPECT_EQ(x[i].Y, 5 + i);
    }
    slider->setValue(37);
    EXPECT_EQ(dlg->Plot().PointCount(), 350u);
    // The readout's peak-to-peak follows the traces as plotted.
    timers.Tick(0);
    timers.Tick(2);
}

TEST_F(PlotFeedTest, StoppedDrawingRebuildsShownTracesFromTheFrozenWindow) {
    auto dlg = Open();
    Deliver(*dlg, 0, 20);
    timers.Tick(0);
    dlg->OnChartCommand(32772);  // stop
    EXPECT_FALSE(timers.IsRunning(0));
    Deliver(*dlg, 100, 110);  // arrives, but is not drawn

    dlg->OnChartCommand(32777);  // hide X: gone at once
    EXPECT_EQ(dlg->Plot().XTrace(), -1);
    EXPECT_EQ(dlg->Chart()->GetSeries().size(), 1u);
    dlg->OnChartCommand(32777);  // show X: both rebuilt from the frozen samples
    const auto x = Points(*dlg, dlg->Plot().XTrace());
    ASSERT_EQ(x.size(), 20u);
    EXPECT_EQ(x.back().Y, 19);
    EXPECT_EQ(Points(*dlg, dlg->Plot().YTrace()).back().Y, -19);

    dlg->OnChartCommand(32771);  // start: the next tick jumps to the present
    EXPECT_TRUE(timers.IsRunning(0));
    timers.Tick(0);
    EXPECT_EQ(Points(*dlg, dlg->Plot().XTrace()).back().Y, 109);
}

TEST_F(PlotFeedTest, HidingBothTracesKeepsTheLastPeakToPeak) {
    auto dlg = Open();
    Deliver(*dlg, 0, 1000);
    timers.Tick(0);
    dlg->OnChartCommand(32777);
    dlg->OnChartCommand(32778);
    Deliver(*dlg, 0, 5);
    timers.Tick(0);
    EXPECT_TRUE(dlg->Chart()->GetSeries().empty());
    const auto t = dlg->Readout().Tick(0, "0");
    EXPECT_EQ(t.xVpp, "999.0000deg");
    EXPECT_EQ(t.yVpp, "999.0000deg");
}

TEST_F(PlotFeedTest, TooltipsNameWhatTheNextClickDoes) {
    auto dlg = Open();
    EXPECT_EQ(Tip(*dlg, 32771), "Start drawing");
    EXPECT_EQ(Tip(*dlg, 32773), "Enable cross-hair cursor");
    EXPECT_EQ(Tip(*dlg, 32774), "Enable X-axis ruler");
    EXPECT_EQ(Tip(*dlg, 32780), "Enable Y-axis ruler");
    EXPECT_EQ(Tip(*dlg, 32775), "Disable abscissa axis");
    EXPECT_EQ(Tip(*dlg, 32776), "Disable ordinates axis");
    EXPECT_EQ(Tip(*dlg, 32777), "Hide X data");
    EXPECT_EQ(Tip(*dlg, 32778), "Hide Y data");
    EXPECT_EQ(Tip(*dlg, 32782), "Generate picture");
    EXPECT_EQ(Tip(*dlg, 0), "");

    dlg->OnChartCommand(32775);
    EXPECT_EQ(Tip(*dlg, 32775), "Enable abscissa axis");
    EXPECT_FALSE(dlg->Plot().BottomAxis()->IsVisible());
    timers.Tick(0);
    dlg->OnChartCommand(32778);
    EXPECT_EQ(Tip(*dlg, 32778), "Show Y data");
}

TEST_F(PlotFeedTest, CommandBarFollowsThePlaceholderAndKeepsButtonSizes) {
    auto dlg = Open();
    dlg->show();
    EXPECT_EQ(dlg->Toolbar()->geometry(), dlg->Control(1070)->geometry());
    QWidget* button = dlg->Toolbar()->findChild<QWidget*>(QStringLiteral("32773"));
    ASSERT_NE(button, nullptr);
    const QSize size = button->size();
    dlg->resize(dlg->width() * 3 / 2, dlg->height() * 3 / 2);
    EXPECT_EQ(dlg->Toolbar()->geometry(), dlg->Control(1070)->geometry());
    EXPECT_EQ(button->size(), size);
}

TEST_F(PlotFeedTest, PictureIsSavedAt800By360UnderATimeStampedName) {
    auto dlg = Open();
    Deliver(*dlg, 0, 50);
    timers.Tick(0);
    dlg->OnChartCommand(32782);  // the picture folder does not exist yet
    const std::string file = scratch.Root() + "/picture/VXL284_Wave_shape_20240305093012.png";
    EXPECT_EQ(dlg->PictureFileName(), file);
    QImage picture(QString::fromStdString(file));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(800, 360));
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
