#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <string>
#include <vector>

#include "ChartCursor.h"
#include "ChartMouseListener.h"
#include "ChartTestSupport.h"

namespace {

constexpr Color kMagenta = MakeColor(255, 0, 255);

// A shown 506 by 300 chart whose axes take no room, so that the plot is
// (3, 3)-(503, 297): the Bottom axis shows 0 to 100 over 500 pixels, the Left
// axis -0.5 to 10.5. Driven by Qt's own mouse events.
class PointerChart : public ::testing::Test {
protected:
    PointerChart() {
        chart_.resize(506, 300);
        AttachStandardAxes(chart_);
        Bottom()->SetVisible(false);
        Left()->SetVisible(false);
        lower_ = AddLine(chart_, {0, 50, 100}, {0, 5, 10});
        chart_.show();
        QApplication::processEvents();
        // Without a button held, a move goes through the platform's pointer,
        // which reports nothing when it does not move: start from a known place.
        QTest::mouseMove(&chart_, {1, 1});
        draws_ = chart_.draws;
    }

    CChartAxis* Bottom() const { return chart_.GetAxis(CChartCore::Bottom); }
    CChartAxis* Left() const { return chart_.GetAxis(CChartCore::Left); }
    void Move(int x, int y) { QTest::mouseMove(&chart_, {x, y}); }
    void Press(Qt::MouseButton button, int x, int y) {
        QTest::mousePress(&chart_, button, {}, {x, y});
    }
    void Release(Qt::MouseButton button, int x, int y) {
        QTest::mouseRelease(&chart_, button, {}, {x, y});
    }
    void Drag(Qt::MouseButton button, QPoint from, QPoint to) {
        Press(button, from.x(), from.y());
        Move(to.x(), to.y());
        Release(button, to.x(), to.y());
    }
    void ExpectFullRanges() const {
        EXPECT_DOUBLE_EQ(Bottom()->GetMin(), 0);
        EXPECT_DOUBLE_EQ(Bottom()->GetMax(), 100);
        EXPECT_DOUBLE_EQ(Left()->GetMin(), -0.5);
        EXPECT_DOUBLE_EQ(Left()->GetMax(), 10.5);
    }

    CountingChart chart_;
    CChartLineSerie* lower_;
    int draws_;
};

struct Report {
    std::string listener;
    double x, y;
};

class RecordingListener : public CChartCursorListener {
public:
    RecordingListener(std::string name, std::vector<Report>& log) : name_(name), log_(log) {}
    void CursorMoved(CChartCursor*, double xValue, double yValue) override {
        log_.push_back({name_, xValue, yValue});
    }

private:
    std::string name_;
    std::vector<Report>& log_;
};

TEST_F(PointerChart, DragLineIsGrabbedWithinThreePixelsAndReportsEachMove) {
    CChartDragLineCursor* line = chart_.AddDragLineCursor(CChartCore::Bottom);
    line->SetPosition(39.5);
    ASSERT_EQ(line->GetPosition(), 200);
    std::vector<Report> log;
    RecordingListener listener("a", log);
    line->AddListener(&listener);

    Press(Qt::LeftButton, 204, 150);
    Move(230, 150);
    Release(Qt::LeftButton, 230, 150);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(line->GetPosition(), 200);

    Press(Qt::LeftButton, 203, 150);
    for (const int x : {220, 235, 250}) Move(x, 150);
    Release(Qt::LeftButton, 250, 150);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_DOUBLE_EQ(log[2].x, Bottom()->PixelToValue(250));
    EXPECT_EQ(log[2].y, 0.0);
    EXPECT_EQ(line->GetPosition(), 250);
    EXPECT_FALSE(line->IsDragging());
    // The grab also drew a band of no height: no zoom.
    ExpectFullRanges();
}

TEST_F(PointerChart, DraggingARulerAslantMovesItWithoutZooming) {
    CChartDragLineCursor* line = chart_.AddDragLineCursor(CChartCore::Bottom);
    line->SetPosition(39.5);
    Press(Qt::LeftButton, 201, 120);
    Move(240, 170);
    Release(Qt::LeftButton, 240, 170);
    EXPECT_EQ(line->GetPosition(), 240);
    ExpectFullRanges();
}

TEST_F(PointerChart, ListenersAreToldInRegistrationOrderOncePerRegistration) {
    CChartDragLineCursor* line = chart_.AddDragLineCursor(CChartCore::Left);
    line->SetPosition(5.0);
    const int y = line->GetPosition();
    std::vector<Report> log;
    RecordingListener a("a", log), b("b", log);
    line->AddListener(&a);
    line->AddListener(&b);
    line->AddListener(&a);
    Press(Qt::LeftButton, 100, y);
    Move(100, y + 20);
    Release(Qt::LeftButton, 100, y + 20);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].listener + log[1].listener + log[2].listener, "aba");
    EXPECT_EQ(log[0].x, 0.0);  // a horizontal line reports its value as y
    EXPECT_DOUBLE_EQ(log[0].y, Left()->PixelToValue(y + 20));
}

TEST_F(PointerChart, CrossHairReportsBottomAndLeftValuesWhateverOtherAxesThereAre) {
    auto* right = new CChartStandardAxis;
    chart_.AttachAxis(right, CChartCore::Right);
    right->SetVisible(false);
    chart_.Refresh();
    CChartCrossHairCursor* crossHair = chart_.AddCrossHairCursor();
    EXPECT_EQ(crossHair->GetXValue(), 0.0);
    std::vector<Report> log;
    RecordingListener listener("a", log);
    crossHair->AddListener(&listener);
    Move(253, 150);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_DOUBLE_EQ(log[0].x, 50.0);
    EXPECT_DOUBLE_EQ(log[0].y, Left()->PixelToValue(150));
    EXPECT_NE(log[0].y, 0.0);
    EXPECT_EQ(crossHair->GetXValue(), log[0].x);
    EXPECT_EQ(crossHair->GetYValue(), log[0].y);
}

TEST_F(PointerChart, CursorsReportTheValuesUnderThemWhenTheLayoutChanges) {
    CChartDragLineCursor* line = chart_.AddDragLineCursor(CChartCore::Bottom);
    line->SetPosition(39.5);
    CChartCrossHairCursor* crossHair = chart_.AddCrossHairCursor();
    std::vector<Report> lineLog, crossLog;
    RecordingListener lineHeard("line", lineLog), crossHeard("cross", crossLog);
    line->AddListener(&lineHeard);
    crossHair->AddListener(&crossHeard);
    Move(253, 150);
    crossLog.clear();

    chart_.Refresh();  // nothing moved: the values stay as placed, no one is told
    EXPECT_TRUE(lineLog.empty());
    EXPECT_TRUE(crossLog.empty());
    EXPECT_EQ(line->GetValue(), 39.5);

    Bottom()->SetVisibleRange(0, 50);
    chart_.Refresh();
    ASSERT_EQ(lineLog.size(), 1u);
    EXPECT_DOUBLE_EQ(lineLog[0].x, Bottom()->PixelToValue(200));
    EXPECT_NEAR(lineLog[0].x, 19.75, 0.2);
    ASSERT_EQ(crossLog.size(), 1u);
    EXPECT_DOUBLE_EQ(crossLog[0].x, Bottom()->PixelToValue(253));
    EXPECT_DOUBLE_EQ(crossHair->GetXValue(), crossLog[0].x);

    Left()->SetVisible(true);  // the plot gives the axis room: every span changes
    ASSERT_EQ(crossLog.size(), 2u);
    EXPECT_DOUBLE_EQ(crossHair->GetXValue(), Bottom()->PixelToValue(253));
    EXPECT_DOUBLE_EQ(crossHair->GetYValue(), Left()->PixelToValue(150));
    ASSERT_EQ(lineLog.size(), 2u);
    EXPECT_DOUBLE_EQ(line->GetValue(), Bottom()->PixelToValue(200));
    EXPECT_EQ(line->GetPosition(), 200);
}

TEST_F(PointerChart, CrossHairNeverOverThePlotStaysAtZero) {
    CChartCrossHairCursor* crossHair = chart_.AddCrossHairCursor();
    Bottom()->SetVisibleRange(10, 50);
    chart_.Refresh();
    EXPECT_EQ(crossHair->GetXValue(), 0.0);
    EXPECT_EQ(crossHair->GetYValue(), 0.0);
}

TEST_F(PointerChart, MovesOutsideThePlotNeitherMoveCursorsNorRepaint) {
    CChartCrossHairCursor* crossHair = chart_.AddCrossHairCursor();
    std::vector<Report> log;
    RecordingListener listener("a", log);
    crossHair->AddListener(&listener);
    Move(100, 100);
    ASSERT_EQ(log.size(), 1u);
    const int invalidations = chart_.invalidations;
    for (const auto& [x, y] : {std::pair{1, 150}, {503, 150}, {250, 297}, {2, 2}}) Move(x, y);
    EXPECT_EQ(log.size(), 1u);
    EXPECT_EQ(crossHair->GetXPixel(), 100);
    EXPECT_EQ(chart_.invalidations, invalidations);
}

TEST_F(PointerChart, ListenerMayRemoveTheCursorThatTellsIt) {
    CChartCrossHairCursor* crossHair = chart_.AddCrossHairCursor();
    class Remover : public CChartCursorListener {
    public:
        explicit Remover(CChartCore& chart) : chart_(chart) {}
        void CursorMoved(CChartCursor* cursor, double, double) override {
            ++calls;
            chart_.RemoveCursor(cursor->GetId());
        }
        int calls = 0;

    private:
        CChartCore& chart_;
    } remover(chart_);
    crossHair->AddListener(&remover);
    crossHair->AddListener(&remover);  // called again after the removal
    Move(100, 100);
    EXPECT_EQ(remover.calls, 2);
    EXPECT_TRUE(chart_.GetCursors().empty());
    Move(120, 100);
    EXPECT_EQ(remover.calls, 2);
}

TEST_F(PointerChart, CrossHairIsOnTheWindowButNotInASavedPicture) {
    chart_.AddCrossHairCursor()->SetColor(kMagenta);
    Move(253, 150);
    const QImage shown = chart_.grab().toImage();
    EXPECT_TRUE(IsColor(shown.pixel(253, 100), kMagenta));
    EXPECT_TRUE(IsColor(shown.pixel(400, 150), kMagenta));

    QTemporaryDir dir;
    const QString file = QDir(dir.path()).filePath("picture.png");
    ASSERT_TRUE(chart_.SaveImage(file.toStdString()));
    const QImage saved(file);
    int magenta = 0;
    for (int y = 0; y < saved.height(); ++y) {
        for (int x = 0; x < saved.width(); ++x) magenta += IsColor(saved.pixel(x, y), kMagenta);
    }
    EXPECT_EQ(magenta, 0);
    EXPECT_FALSE(IsColor(BackBufferImage(chart_).pixel(253, 100), kMagenta));
}

TEST_F(PointerChart, RightDragPansEveryAxisWithThePointer) {
    ASSERT_EQ(chart_.GetPlottingRect(), (ChartRect{3, 3, 503, 297}));
    Drag(Qt::RightButton, {200, 150}, {210, 150});
    EXPECT_NEAR(Bottom()->GetMin(), -2, 1e-9);
    EXPECT_NEAR(Bottom()->GetMax(), 98, 1e-9);
    EXPECT_DOUBLE_EQ(Left()->GetMin(), -0.5);
    EXPECT_EQ(chart_.draws, draws_ + 1);
    // The anchor follows: going back restores the range.
    Drag(Qt::RightButton, {210, 150}, {200, 150});
    EXPECT_NEAR(Bottom()->GetMin(), 0, 1e-9);
}

TEST_F(PointerChart, BandDrawnDownAndRightZoomsIntoIt) {
    const double low = Left()->PixelToValue(203), high = Left()->PixelToValue(53);
    Drag(Qt::LeftButton, {103, 53}, {253, 203});
    EXPECT_DOUBLE_EQ(Bottom()->GetMin(), 20);
    EXPECT_DOUBLE_EQ(Bottom()->GetMax(), 50);
    EXPECT_DOUBLE_EQ(Left()->GetMin(), low);
    EXPECT_DOUBLE_EQ(Left()->GetMax(), high);
    EXPECT_FALSE(chart_.IsZooming());
}

TEST_F(PointerChart, BandDrawnUpOrLeftUndoesTheZoom) {
    for (const auto& [from, to] : {std::pair{QPoint(253, 203), QPoint(103, 53)},
                                   {QPoint(103, 203), QPoint(253, 53)},
                                   {QPoint(253, 53), QPoint(103, 203)}}) {
        Drag(Qt::LeftButton, {103, 53}, {253, 203});
        ASSERT_DOUBLE_EQ(Bottom()->GetMin(), 20);
        Drag(Qt::LeftButton, from, to);
        ExpectFullRanges();
    }
}

TEST_F(PointerChart, BandOfNoWidthOrHeightChangesNothing) {
    Drag(Qt::LeftButton, {103, 53}, {103, 203});
    Drag(Qt::LeftButton, {103, 53}, {253, 53});
    ExpectFullRanges();
    EXPECT_EQ(chart_.draws, draws_);
}

TEST_F(PointerChart, ReleaseEndingADoubleClickDoesNotZoomAgain) {
    Drag(Qt::LeftButton, {103, 53}, {253, 203});
    const double min = Bottom()->GetMin(), max = Bottom()->GetMax();
    QTest::mouseDClick(&chart_, Qt::LeftButton, {}, {253, 203});
    Release(Qt::LeftButton, 253, 203);
    EXPECT_EQ(Bottom()->GetMin(), min);
    EXPECT_EQ(Bottom()->GetMax(), max);
}

TEST_F(PointerChart, PointerIsHiddenOverThePlotOnlyWhileShowMouseCursorIsOff) {
    Move(100, 100);
    EXPECT_NE(chart_.cursor().shape(), Qt::BlankCursor);
    chart_.ShowMouseCursor(false);
    EXPECT_EQ(chart_.cursor().shape(), Qt::BlankCursor);  // at once
    Move(1, 100);
    EXPECT_EQ(chart_.cursor().shape(), Qt::ArrowCursor);
    Move(120, 100);
    EXPECT_EQ(chart_.cursor().shape(), Qt::BlankCursor);
    chart_.ShowMouseCursor(true);
    EXPECT_EQ(chart_.cursor().shape(), Qt::ArrowCursor);
}

struct SerieEvent {
    MouseEvent event;
    CChartSerieBase<SChartXYPoint>* serie;
    unsigned index;
};

class SerieRecorder : public CChartSeriesMouseListener<SChartXYPoint> {
public:
    void SeriesMouseEvent(MouseEvent event, ChartPoint, CChartSerieBase<SChartXYPoint>* serie,
                          unsigned index) override {
        events.push_back({event, serie, index});
    }
    std::vector<SerieEvent> events;
};

TEST_F(PointerChart, ClickOnTheUpperOfTwoOverlappingSeriesReachesOnlyIt) {
    CChartLineSerie* upper = AddLine(chart_, {0, 50, 100}, {0, 5, 10});
    SerieRecorder lowerHeard, upperHeard;
    lower_->SetMouseListener(&lowerHeard);
    upper->SetMouseListener(&upperHeard);
    const ChartPoint p = upper->PointToScreen(1);
    Move(p.x + 1, p.y);  // moves are not told unless asked for
    Press(Qt::LeftButton, p.x, p.y);
    Release(Qt::LeftButton, p.x, p.y);
    EXPECT_TRUE(lowerHeard.events.empty());
    ASSERT_EQ(upperHeard.events.size(), 2u);
    EXPECT_EQ(upperHeard.events[0].event, LButtonDown);
    EXPECT_EQ(upperHeard.events[0].serie, upper);
    EXPECT_EQ(upperHeard.events[0].index, 1u);
    EXPECT_EQ(upperHeard.events[1].event, LButtonUp);

    // A serie that does not listen lets the event through to the one below.
    upper->SetMouseListener(nullptr);
    Press(Qt::RightButton, p.x, p.y);
    Release(Qt::RightButton, p.x, p.y);
    ASSERT_EQ(lowerHeard.events.size(), 2u);
    EXPECT_EQ(lowerHeard.events[0].event, RButtonDown);
    EXPECT_EQ(lowerHeard.events[0].serie, lower_);
}

TEST_F(PointerChart, ChartListenerHearsOfEveryPartAnEventFallsOn) {
    Left()->SetVisible(true);
    struct Heard : ChartMouseListener {
        void OnMouseEventAxis(MouseEvent, ChartPoint, CChartAxis* axis) override {
            axes.push_back(axis);
        }
        void OnMouseEventPlotArea(MouseEvent event, ChartPoint) override { plot.push_back(event); }
        std::vector<CChartAxis*> axes;
        std::vector<MouseEvent> plot;
    } heard;
    chart_.SetMouseListener(&heard);
    const ChartRect plot = chart_.GetPlottingRect();
    QTest::mouseDClick(&chart_, Qt::LeftButton, {}, {plot.left - 5, 150});
    ASSERT_EQ(heard.axes.size(), 1u);
    EXPECT_EQ(heard.axes[0], Left());
    EXPECT_TRUE(heard.plot.empty());
    Press(Qt::RightButton, 300, 150);
    Release(Qt::RightButton, 300, 150);
    EXPECT_EQ(heard.plot, (std::vector<MouseEvent>{RButtonDown, RButtonUp}));
    chart_.SetMouseListener(nullptr);
}

}  // namespace
