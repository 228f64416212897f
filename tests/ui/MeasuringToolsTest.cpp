#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>
#include <QTest>
#include <cmath>
#include <string>

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
    static void Mouse(CChartCtrl* chart, QEvent::Type type, QPoint at,
                      Qt::MouseButton button = Qt::NoButton, Qt::MouseButtons held = Qt::NoButton) {
        QMouseEvent event(type, at, chart->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(chart, &event);
    }
    static double BottomValue(CTiltwiseDlg& dlg, int pixel) {
        return dlg.Chart()->GetAxis(CChartCore::Bottom)->PixelToValue(pixel);
    }
    static double LeftValue(CTiltwiseDlg& dlg, int pixel) {
        return dlg.Chart()->GetAxis(CChartCore::Left)->PixelToValue(pixel);
    }
    // A readout text as the window writes it: whole samples, degrees with the default format.
    static std::string Samples(const char* name, double value) {
        return std::string(name) + ":" + std::to_string(std::lround(value));
    }
    static std::string Degrees(const char* name, double value) {
        char text[64];
        std::snprintf(text, sizeof text, "%s:%.2f°", name, value);
        return text;
    }
    // The number in a readout text such as "xPos:12" or "yPos:1.25°".
    static double Number(const QString& text) {
        return text.section(':', 1).remove(QStringLiteral("°")).toDouble();
    }
    // The readout gives the values under the cursors where they are drawn now,
    // to within a pixel of each axis.
    static void ExpectReadoutOfDrawnCursors(CTiltwiseDlg& dlg) {
        const MeasuringTools& tools = dlg.Tools();
        const CChartAxis* bottom = dlg.Chart()->GetAxis(CChartCore::Bottom);
        const CChartAxis* left = dlg.Chart()->GetAxis(CChartCore::Left);
        auto pixelOf = [](const CChartAxis* axis) {
            return (axis->GetMax() - axis->GetMin()) /
                   std::abs(axis->GetEndPixel() - axis->GetStartPixel());
        };
        const double dx = pixelOf(bottom) + 0.5, dy = pixelOf(left) + 0.005;
        const double cx = bottom->PixelToValue(tools.CrossHair()->GetXPixel());
        const double cy = left->PixelToValue(tools.CrossHair()->GetYPixel());
        const double v =
            tools.YAxisRuler() ? bottom->PixelToValue(tools.YAxisRuler()->GetPosition()) : 0.0;
        const double h =
            tools.XAxisRuler() ? left->PixelToValue(tools.XAxisRuler()->GetPosition()) : 0.0;
        EXPECT_NEAR(Number(Label(dlg, 1075)), cx, dx) << Label(dlg, 1075).toStdString();
        EXPECT_NEAR(Number(Label(dlg, 1076)), cy, dy) << Label(dlg, 1076).toStdString();
        EXPECT_NEAR(Number(Label(dlg, 1077)), std::fabs(cx - v), 2 * dx)
            << Label(dlg, 1077).toStdString();
        EXPECT_NEAR(Number(Label(dlg, 1078)), std::fabs(cy - h), 2 * dy)
            << Label(dlg, 1078).toStdString();
    }
};

TEST_F(MeasuringToolsTest, TheZoomBandShowsOnThePlotWhileItIsDrawn) {
    auto dlg = Shown();
    Deliver(*dlg, 200);
    timers.Tick(0);
    CChartCtrl* chart = dlg->Chart();
    const QPoint from = chart->rect().center() - QPoint(80, 60);
    const QPoint to = from + QPoint(160, 120);
    const QImage before = chart->grab().toImage();
    auto send = [chart](QEvent::Type type, QPoint at, Qt::MouseButton button,
                        Qt::MouseButtons held) {
        QMouseEvent event(type, at, chart->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(chart, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    const QImage during = chart->grab().toImage();
    send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    // Along the band's top and left edges nearly every pixel must look different.
    int edge = 0, changed = 0;
    for (int x = from.x() + 2; x < to.x() - 2; ++x, ++edge)
        changed += before.pixel(x, from.y()) != during.pixel(x, from.y());
    for (int y = from.y() + 2; y < to.y() - 2; ++y, ++edge)
        changed += before.pixel(from.x(), y) != during.pixel(from.x(), y);
    EXPECT_GT(changed, edge * 9 / 10) << changed << " of " << edge;
}

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
    // A sample number and degrees: no seconds, no g.
    const double cx = dlg->Tools().CrossHair()->GetXValue();
    const double cy = dlg->Tools().CrossHair()->GetYValue();
    EXPECT_EQ(Label(*dlg, 1075).toStdString(), Samples("xPos", cx));
    EXPECT_EQ(Label(*dlg, 1076).toStdString(), Degrees("yPos", cy));
    // No ruler was ever on: the distances are to 0.0.
    EXPECT_EQ(Label(*dlg, 1077).toStdString(), Samples("xDiff", std::fabs(cx)));

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
    EXPECT_EQ(label->GetText(), "                  X=7°");  // named by its trace
    auto* yTrace = dynamic_cast<CChartLineSerie*>(
        dlg->Chart()->GetSerie(static_cast<unsigned>(dlg->Plot().YTrace())));
    const SChartXYPoint p = yTrace->GetPoint(55);
    QTest::mouseClick(dlg->Chart(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(dlg->Chart()->GetAxis(CChartCore::Bottom)->ValueToPixel(p.X),
                             dlg->Chart()->GetAxis(CChartCore::Left)->ValueToPixel(p.Y)));
    ASSERT_NE(yTrace->GetLabel(55), nullptr);
    EXPECT_EQ(yTrace->GetLabel(55)->GetText(), "                  Y=1°");
}

TEST_F(MeasuringToolsTest, RulerDistancesAreNeverNegativeWhicheverSideTheCrossHairIsOn) {
    auto dlg = Shown();
    qobject_cast<QSlider*>(dlg->Control(1052))->setValue(10);
    Deliver(*dlg, 100);
    timers.Tick(0);
    CChartCtrl* chart = dlg->Chart();
    for (int command : {32773, 32774, 32780}) dlg->OnChartCommand(command);
    // The horizontal ruler starts at 0.0; drag it up to about 7.
    const int column = PixelOf(*dlg, 20).x();
    const int from = dlg->Tools().XAxisRuler()->GetPosition();
    const int to = chart->GetAxis(CChartCore::Left)->ValueToPixel(7.0);
    Mouse(chart, QEvent::MouseButtonPress, {column, from}, Qt::LeftButton, Qt::LeftButton);
    Mouse(chart, QEvent::MouseMove, {column, to}, Qt::NoButton, Qt::LeftButton);
    Mouse(chart, QEvent::MouseButtonRelease, {column, to}, Qt::LeftButton);
    ASSERT_NEAR(dlg->Tools().XAxisRulerListener().Y, 7.0, 0.1);
    // The cross-hair left of the vertical ruler (at 50) and below the horizontal one.
    const int below = chart->GetAxis(CChartCore::Left)->ValueToPixel(3.0);
    Mouse(chart, QEvent::MouseMove, {column, below});
    timers.Tick(2);
    const double cx = dlg->Tools().CrossHair()->GetXValue();
    const double cy = dlg->Tools().CrossHair()->GetYValue();
    ASSERT_LT(cx, 50.0);
    ASSERT_LT(cy, 7.0);
    EXPECT_EQ(Label(*dlg, 1077).toStdString(), Samples("xDiff", 50.0 - cx));
    EXPECT_EQ(Label(*dlg, 1078).toStdString(),
              Degrees("yDiff", dlg->Tools().XAxisRulerListener().Y - cy));
    ExpectReadoutOfDrawnCursors(*dlg);
}

TEST_F(MeasuringToolsTest, ReadoutFollowsTheCursorsWhenTheTimeSpanNarrows) {
    auto dlg = Shown();
    Deliver(*dlg, 1000);
    timers.Tick(0);
    dlg->OnChartCommand(32773);
    dlg->OnChartCommand(32780);  // at 500 of 1000 samples
    CChartCtrl* chart = dlg->Chart();
    const QPoint at(chart->GetAxis(CChartCore::Bottom)->ValueToPixel(540.0),
                    chart->GetPlottingRect().top + 40);
    Mouse(chart, QEvent::MouseMove, at);
    timers.Tick(2);
    ExpectReadoutOfDrawnCursors(*dlg);

    qobject_cast<QSlider*>(dlg->Control(1052))->setValue(2);  // 5 samples
    timers.Tick(0);
    timers.Tick(2);
    // The lines stay where they are drawn; the values under them are 0 to 4 now.
    EXPECT_NEAR(BottomValue(*dlg, dlg->Tools().YAxisRuler()->GetPosition()), 2.0, 0.05);
    EXPECT_NEAR(dlg->Tools().YAxisRulerListener().X, 2.0, 0.05);
    ExpectReadoutOfDrawnCursors(*dlg);
}

TEST_F(MeasuringToolsTest, ReadoutFollowsTheCursorsWhenTheAxesAreHiddenAndShown) {
    auto dlg = Shown();
    qobject_cast<QSlider*>(dlg->Control(1052))->setValue(10);
    Deliver(*dlg, 100);
    timers.Tick(0);
    dlg->OnChartCommand(32773);
    dlg->OnChartCommand(32774);
    dlg->OnChartCommand(32780);
    CChartCtrl* chart = dlg->Chart();
    Mouse(chart, QEvent::MouseMove, PixelOf(*dlg, 54) + QPoint(0, 15));
    timers.Tick(2);
    ExpectReadoutOfDrawnCursors(*dlg);
    const QString shown = Label(*dlg, 1075);

    dlg->OnChartCommand(32775);
    dlg->OnChartCommand(32776);
    timers.Tick(0);
    timers.Tick(2);
    ExpectReadoutOfDrawnCursors(*dlg);
    EXPECT_NE(Label(*dlg, 1075), shown);  // the plot grew under the cross-hair

    dlg->OnChartCommand(32775);
    dlg->OnChartCommand(32776);
    timers.Tick(0);
    timers.Tick(2);
    ExpectReadoutOfDrawnCursors(*dlg);
    EXPECT_EQ(Label(*dlg, 1075), shown);
}

TEST_F(MeasuringToolsTest, BalloonOfAClickedPointLiesInsideThePlotPointingAtIt) {
    auto dlg = Shown();
    qobject_cast<QSlider*>(dlg->Control(1052))->setValue(10);
    // Flat runs at the bottom and the top of the plot, the Y trace out of the way between.
    for (int i = 0; i < 100; ++i)
        dlg->DeliverMeasurement(Measurement{(i / 25) % 2 ? 9.0 : 0.0, 4.5, 20});
    timers.Tick(0);
    dlg->OnChartCommand(32772);
    CChartCtrl* chart = dlg->Chart();
    const ChartRect plot = chart->GetPlottingRect();
    // Bottom-left corner, top, bottom, top-right corner.
    for (const unsigned index : {0u, 37u, 62u, 99u}) {
        SCOPED_TRACE(index);
        const QPoint point = PixelOf(*dlg, index);
        QTest::mouseClick(chart, Qt::LeftButton, Qt::NoModifier, point);
        ASSERT_NE(XTrace(*dlg)->GetLabel(index), nullptr);
        const QImage image = chart->grab().toImage();
        QRect box;
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) != qRgb(255, 255, 225)) continue;
                ++count;
                box |= QRect(x, y, 1, 1);
            }
        }
        ASSERT_GT(count, 300);
        // Whole: its border lies inside the plot too, clear of the plot's frame.
        EXPECT_GT(box.left(), plot.left + 1);
        EXPECT_GT(box.top(), plot.top + 1);
        EXPECT_LT(box.right(), plot.right - 1);
        EXPECT_LT(box.bottom(), plot.bottom - 1);
        // The stem leaves the point towards the box and shows on the white plot.
        if (index == 37 || index == 62) {
            const int step = box.center().y() < point.y() ? -1 : 1;
            EXPECT_EQ(image.pixel(point.x(), point.y() + 12 * step), qRgb(0, 0, 0));
        }
        XTrace(*dlg)->AttachLabel(index, nullptr);
        chart->Refresh();
    }
}

TEST(BalloonText, GeneralNotationWithSixSignificantDigits) {
    EXPECT_EQ(CCustomSeriesMouseListener::BalloonText("Y", 1.25), "                  Y=1.25°");
    EXPECT_EQ(CCustomSeriesMouseListener::BalloonText("X", -0.123456789),
              "                  X=-0.123457°");
    EXPECT_EQ(CCustomSeriesMouseListener::BalloonText("Y", 1234567.0),
              "                  Y=1.23457e+06°");
}

}  // namespace
