#include "MeasuringTools.h"

#include <cmath>

#include "ChartCore.h"
#include "ValueText.h"

namespace {

constexpr Color kCrossHairColour = MakeColor(85, 85, 85);
constexpr Color kRulerColour = MakeColor(160, 82, 45);
// The chart's own white stem would not show on the white plot.
constexpr Color kBalloonStemColour = MakeColor(0, 0, 0);
// The traces are angles in degrees.
constexpr char kDegree[] = "°";

// The bottom axis counts samples: a position is a whole sample number.
std::string SampleText(double value) {
    // + 0.0 turns the -0 of a small negative value into 0.
    return FixedText(std::round(value) + 0.0, 0);
}

}  // namespace

void CCustomCursorListener::CursorMoved(CChartCursor*, double xValue, double yValue) {
    X = xValue;
    Y = yValue;
}

std::string CCustomSeriesMouseListener::BalloonText(const std::string& trace, double y) {
    return "                  " + trace + "=" + GeneralText(y, 6) + kDegree;
}

void CCustomSeriesMouseListener::SeriesMouseEvent(MouseEvent event, ChartPoint,
                                                  CChartSerieBase<SChartXYPoint>* serie,
                                                  unsigned pointIndex) {
    if (event != LButtonDown || pointIndex == kNoPointIndex || !serie) return;
    if (pointIndex >= serie->GetPointsCount()) return;
    // The balloon stands at the point that was clicked, not at the trace's start.
    serie->AddBalloonLabel(pointIndex, BalloonText(serie->GetName(), serie->GetPoint(pointIndex).Y))
        ->SetLineColor(kBalloonStemColour);
}

void MeasuringTools::ShowMouse() {
    chart_.ShowMouseCursor(true);
}

void MeasuringTools::ToggleCrossHair() {
    if (!crossHair_) {
        chart_.ShowMouseCursor(false);
        crossHair_ = chart_.AddCrossHairCursor();
        crossHair_->SetColor(kCrossHairColour);
        return;
    }
    chart_.ShowMouseCursor(true);
    chart_.RemoveCursor(crossHair_->GetId());
    crossHair_ = nullptr;
    chart_.Refresh();
}

void MeasuringTools::ToggleXAxisRuler() {
    if (!xRuler_) {
        xRuler_ = chart_.AddDragLineCursor(CChartCore::Left);
        xRuler_->SetColor(kRulerColour);
        xRuler_->SetPosition(xRulerStart_);
        xRuler_->AddListener(&xListener_);
        return;
    }
    chart_.RemoveCursor(xRuler_->GetId());
    xRuler_ = nullptr;
    chart_.Refresh();
}

void MeasuringTools::ToggleYAxisRuler(unsigned pointCount) {
    if (!yRuler_) {
        // The middle of the shown samples, whose numbers are 0 .. n - 1.
        const double start = static_cast<double>(pointCount / 2);
        yRuler_ = chart_.AddDragLineCursor(CChartCore::Bottom);
        yRuler_->SetColor(kRulerColour);
        yRuler_->SetPosition(start);
        yRuler_->AddListener(&yListener_);
        yListener_.X = start;
        yListener_.Y = xRulerStart_;
        return;
    }
    chart_.RemoveCursor(yRuler_->GetId());
    yRuler_ = nullptr;
    chart_.Refresh();
}

MeasuringTools::Readout MeasuringTools::CursorReadout(const std::string& format) {
    Readout r;
    if (!crossHair_) return r;
    const double v = yListener_.X;
    const double h = xListener_.Y;
    xRulerStart_ = h;
    const double cx = crossHair_->GetXValue();
    const double cy = crossHair_->GetYValue();
    r.xPos = "xPos:" + SampleText(cx);
    r.yPos = "yPos:" + FormatValueText(format, cy) + kDegree;
    r.xDiff = "xDiff:" + SampleText(std::fabs(cx - v));
    r.yDiff = "yDiff:" + FormatValueText(format, std::fabs(cy - h)) + kDegree;
    return r;
}
