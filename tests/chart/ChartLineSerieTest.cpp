#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "ChartSeriesMouseListener.h"
#include "ChartTestSupport.h"

namespace {

// Axes mapping values one to one onto pixels: x = value, y = 1000 - value.
class LineSerieTest : public ::testing::Test {
protected:
    LineSerieTest() {
        horizontal_.SetHorizontal(true);
        horizontal_.SetPixelSpan(0, 1000);
        vertical_.SetHorizontal(false);
        vertical_.SetPixelSpan(1000, 0);
        horizontal_.SetAutoMode(CChartAxis::Manual);
    }
    CChartLineSerie& Line(const std::vector<double>& x, const std::vector<double>& y) {
        series_.push_back(std::make_unique<CChartLineSerie>(nullptr));
        CChartLineSerie& s = *series_.back();
        s.SetAxes(&vertical_, &horizontal_);
        vertical_.RegisterSerie(&s);
        horizontal_.RegisterSerie(&s);
        s.AddPoints(x.data(), y.data(), static_cast<unsigned>(x.size()));
        // Ranges as the data says, then exactly 0..1000 on both axes.
        horizontal_.SetAutoMode(CChartAxis::AllPoints);
        vertical_.SetAutoMode(CChartAxis::AllPoints);
        horizontal_.SetVisibleRange(0, 1000);
        vertical_.SetVisibleRange(0, 1000);
        return s;
    }
    CChartStandardAxis horizontal_;
    CChartStandardAxis vertical_;
    std::vector<std::unique_ptr<CChartLineSerie>> series_;
};

// A segment from pixel (100, 100) to (200, 100).
const std::vector<double> kX = {0, 100, 200, 1000};
const std::vector<double> kY = {0, 900, 900, 0};

struct HitCase {
    const char* name;
    ChartPoint pointer;
    bool hit;
    unsigned index;
};

class LineHitTest : public LineSerieTest, public ::testing::WithParamInterface<HitCase> {};

TEST_P(LineHitTest, ReportsTheSegmentAndTheNearbyPoint) {
    CChartLineSerie& line = Line(kX, kY);
    ASSERT_EQ(line.PointToScreen(1), (ChartPoint{100, 100}));
    ASSERT_EQ(line.PointToScreen(2), (ChartPoint{200, 100}));
    unsigned index = 12345;
    EXPECT_EQ(line.HitTest(GetParam().pointer, index), GetParam().hit);
    EXPECT_EQ(index, GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(
    Segments, LineHitTest,
    ::testing::Values(HitCase{"BesideAndFourPixelsFromTheEnd", {196, 102}, true, 2},
                      HitCase{
                          "BesideTheMiddleIsOnTheLineButNoPoint", {150, 102}, true, kNoPointIndex},
                      HitCase{"NearTheStart", {103, 98}, true, 1},
                      HitCase{"FourPixelsBesideIsAMiss", {150, 104}, false, kNoPointIndex},
                      HitCase{"BeyondTheLastPointIsAMiss", {1010, 1000}, false, kNoPointIndex}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(LineSerieTest, SinglePointIsNeverHitAndDrawsNothing) {
    CChartLineSerie& line = Line({500}, {500});
    unsigned index;
    EXPECT_FALSE(line.HitTest(line.PointToScreen(0), index));
    auto surface = MakeImage(1001, 1001);
    surface->FillRect({0, 0, 1001, 1001}, {MakeColor(255, 255, 255)});
    line.SetPlottingRect({0, 0, 1001, 1001});
    line.DrawAll(*surface);
    EXPECT_EQ(surface->Image().pixel(500, 500), qRgb(255, 255, 255));
}

TEST_F(LineSerieTest, HiddenSerieIsNotHit) {
    CChartLineSerie& line = Line(kX, kY);
    line.SetVisible(false);
    unsigned index;
    EXPECT_FALSE(line.HitTest({150, 100}, index));
}

class RecordingListener : public CChartSeriesMouseListener<SChartXYPoint> {
public:
    void SeriesMouseEvent(MouseEvent event, ChartPoint, CChartSerieBase<SChartXYPoint>* serie,
                          unsigned index) override {
        events.push_back(event);
        series.push_back(serie);
        indexes.push_back(index);
    }
    std::vector<MouseEvent> events;
    std::vector<CChartSerieBase<SChartXYPoint>*> series;
    std::vector<unsigned> indexes;
};

TEST_F(LineSerieTest, MouseEventsReachTheListenerOnlyWhenTheLineIsHit) {
    CChartLineSerie& line = Line(kX, kY);
    RecordingListener listener;
    EXPECT_FALSE(line.OnMouseEvent(LButtonDown, {150, 100}));  // no listener yet
    line.SetMouseListener(&listener);
    EXPECT_TRUE(line.OnMouseEvent(LButtonDown, {198, 101}));
    EXPECT_FALSE(line.OnMouseEvent(LButtonDown, {150, 150}));
    EXPECT_FALSE(line.OnMouseEvent(MouseMove, {150, 100}));  // moves are not asked for
    line.SetNotifyMoves(true);
    EXPECT_TRUE(line.OnMouseEvent(MouseMove, {150, 100}));
    EXPECT_EQ(listener.events, (std::vector<MouseEvent>{LButtonDown, MouseMove}));
    EXPECT_EQ(listener.indexes, (std::vector<unsigned>{2, kNoPointIndex}));
    EXPECT_EQ(listener.series.front(), &line);
}

TEST_F(LineSerieTest, DrawAllMergesPointsOnOnePixelAndDrawNewExtends) {
    std::vector<double> x, y;
    for (int i = 0; i <= 10; ++i) {
        x.push_back(100 + i * 0.01);  // all on pixel column 100
        y.push_back(500);
    }
    CChartLineSerie& line = Line(x, y);
    horizontal_.SetVisibleRange(0, 1000);
    auto surface = MakeImage(1001, 1001);
    line.SetPlottingRect({0, 0, 1001, 1001});
    line.DrawAll(*surface);  // one pixel position: nothing to draw, no crash
    const double more[] = {300}, level[] = {500};
    line.AddPoints(more, level, 1);
    horizontal_.SetVisibleRange(0, 1000);
    vertical_.SetVisibleRange(0, 1000);
    line.DrawNew(*surface);  // extends the picture by the new segment
    line.DrawAll(*surface);
    EXPECT_EQ(surface->Image().pixel(200, 500), qRgb(0, 0, 0));
    EXPECT_EQ(surface->Image().pixel(300, 500), qRgb(255, 255, 255));  // end point left out
}

TEST_F(LineSerieTest, PointWithoutAValueBreaksTheLineAndTheRanges) {
    const double gap = std::numeric_limits<double>::quiet_NaN();
    CChartLineSerie& line = Line({100, 200, 300, 400, 500}, {500, 500, gap, 700, 700});
    double min = 0, max = 0;
    ASSERT_TRUE(line.GetYRange(min, max));
    EXPECT_EQ(min, 500);
    EXPECT_EQ(max, 700);
    auto surface = MakeImage(1001, 1001);
    surface->FillRect({0, 0, 1001, 1001}, {MakeColor(255, 255, 255)});
    line.SetPlottingRect({0, 0, 1001, 1001});
    line.DrawAll(*surface);
    const QImage& image = surface->Image();
    EXPECT_EQ(image.pixel(150, 500), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(450, 300), qRgb(0, 0, 0));
    // Nothing joins 200 to 400, straight or through the gap's place.
    for (int x = 201; x < 400; ++x)
        for (int y = 250; y <= 550; ++y) ASSERT_EQ(image.pixel(x, y), qRgb(255, 255, 255)) << x;
    unsigned index;
    EXPECT_FALSE(line.HitTest({300, 400}, index));
    EXPECT_FALSE(line.HitTest({300, 500}, index));
    EXPECT_TRUE(line.HitTest({450, 300}, index));
}

}  // namespace
