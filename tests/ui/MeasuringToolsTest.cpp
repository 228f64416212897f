#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QSlider>
#include <QTest>

#include "ChartAxis.h"
#include "ChartCtrl.h"
#include "ChartCursor.h"
#include "ChartLabel.h"
#include "ChartLineSerie.h"
#include "MeasuringTools.h"
#include "PlotFeed.h"
#include "WindowFixture.h"

namespace {

class MeasuringToolsTest : public WindowFixture {
protected:
    std::unique_ptr<CTiltwiseDlg> Shown() {
        auto dlg = Make(Language::English);
        dlg->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        return dlg;
    }
    static QString Label(CTiltwiseDlg& dlg, int id) {
        return qobject_cast<QLabel*>(dlg.Control(id))->text();
    }
    // A sawtooth so that neighbouring points lie apart on the chart.
    static void Deliver(CTiltwiseDlg& dlg, int n) {
        for (int i = 0; i < n; ++i) dlg.DeliverMeasurement(Measurement{double(i % 10), 1.0, 20});
    }
    static CChartLineSerie* XTrace(CTiltwiseDlg& dlg) {
        return dynamic_cast<CChartLineSerie*>(
            dlg.Chart()->GetSerie(static_cast<unsigned>(dlg.Plot().XTrace())));
    }
    // The widget pixel of a point of the X trace.
    static QPoint PixelOf(CTiltwiseDlg& dlg, unsigned index) {
        const SChartXYPoint p = XTrace(dlg)->GetPoint(index);
        return QPoint(dlg.Chart()->GetAxis(CChartCore::Bottom)->ValueToPixel(p.X),
                      dlg.Chart()->GetAxis(CChartCore::Left)->ValueToPixel(p.Y));
    }
};

TEST_F(MeasuringToolsTest, CrossHairFillsTheReadoutAndEmptiesItWhenSwitchedOff) {
    auto dlg = Shown();
    timers.Tick(0);
    EXPECT_EQ(dlg->Toolbar()->TipFor(32773), QStringLiteral("Enable cross-hair cursor"));
    dlg->OnChartCommand(32773);
    EXPECT_EQ(dlg->Toolbar()->TipFor(32773), QStringLiteral("Disable cross-hair cursor"));
    EXPECT_FALSE(dlg->Chart()->IsMouseCursorShown());
    EXPECT_TRUE(Label(*dlg, 1075).isEmpty());

    QTest::mouseMove(dlg->Chart(), dlg->Chart()->rect().center());
    timers.Tick(2);
    EXPECT_TRUE(Label(*dlg, 1075).startsWith(QStringLiteral("xPos:")))
        << Label(*dlg, 1075).toStdString();
    EXPECT_TRUE(Label(*dlg, 1075).endsWith(QStringLiteral("s")));
    EXPECT_TRUE(Label(*dlg, 1076).startsWith(QStringLiteral("yPos:")));
    // No ruler was ever on: the distances are to 0.0.
    const double cx = dlg->Tools().CrossHair()->GetXValue();
    char expected[64];
    std::snprintf(expected, sizeof expected, "xDiff:%.2fs", std::fabs(cx));
    EXPECT_EQ(Label(*dlg, 1077).toStdString(), expected);

    dlg->OnChartCommand(32773);
    EXPECT_TRUE(dlg->Chart()->IsMouseCursorShown());
    for (int id : {1075, 1076, 1077, 1078}) EXPECT_TRUE(Label(*dlg, id).isEmpty()) << id;
    EXPECT_EQ(dlg->Toolbar()->TipFor(32773), QStringLiteral("Enable cross-hair cursor"));
}

TEST_F(MeasuringToolsTest, VerticalRulerStartsInTheMiddleOfTheShownSamples) {
    auto dlg = Shown();
    timers.Tick(0);
    dlg->OnChartCommand(32780);
    EXPECT_EQ(dlg->Tools().YAxisRulerListener().X, 500.0);
    EXPECT_EQ(dlg->Toolbar()->TipFor(32780), QStringLiteral("Disable Y-axis ruler"));
    dlg->OnChartCommand(32780);
    qobject_cast<QSlider*>(dlg->Control(1052))->setValue(2);
    dlg->OnChartCommand(32780);
    EXPECT_EQ(dlg->Tools().YAxisRulerListener().X, 2.0);

    dlg->OnChartCommand(32774);
    EXPECT_TRUE(dlg->Tools().XAxisRulerOn());
    EXPECT_EQ(dlg->Toolbar()->TipFor(32774), QStringLiteral("Disable X-axis ruler"));
    EXPECT_EQ(dlg->Chart()->GetCursors().size(), 2u);
}

TEST_F(MeasuringToolsTest, ClickOnAFrozenPointShowsItsValueAndOnALiveOneNothing) {
    auto dlg = Shown();
    qobject_cast<QSlider*>(dlg->Control(1052))->setValue(10);  // 100 points: far apart
    Deliver(*dlg, 100);
    timers.Tick(0);
    const QPoint live = PixelOf(*dlg, 37);
    QTest::mouseClick(dlg->Chart(), Qt::LeftButton, Qt::NoModifier, live);
    EXPECT_EQ(XTrace(*dlg)->GetLabel(37), nullptr);

    dlg->OnChartCommand(32772);  // stop: the traces answer clicks now
    const QPoint frozen = PixelOf(*dlg, 37);
    QTest::mouseClick(dlg->Chart(), Qt::LeftButton, Qt::NoModifier, frozen);
    CChartLabel<SChartXYPoint>* label = XTrace(*dlg)->GetLabel(37);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->GetText(), "                  Y=7");
}

TEST(BalloonText, GeneralNotationWithSixSignificantDigits) {
    EXPECT_EQ(CCustomSeriesMouseListener::BalloonText(1.25), "                  Y=1.25");
    EXPECT_EQ(CCustomSeriesMouseListener::BalloonText(-0.123456789),
              "                  Y=-0.123457");
    EXPECT_EQ(CCustomSeriesMouseListener::BalloonText(1234567.0),
              "                  Y=1.23457e+06");
}

}  // namespace
