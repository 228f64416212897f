#pragma once

#include <string>

#include "ChartCursor.h"
#include "ChartSerieBase.h"
#include "ChartSeriesMouseListener.h"

class CChartCore;
class LiveReadout;

// Keeps the last values a ruler reported.
class CCustomCursorListener : public CChartCursorListener {
public:
    void CursorMoved(CChartCursor* cursor, double xValue, double yValue) override;
    double X = 0.0;
    double Y = 0.0;
};

// A left click on a point of a frozen trace shows that point's value in a
// balloon, named by the trace's name ("X=1.25°").
class CCustomSeriesMouseListener : public CChartSeriesMouseListener<SChartXYPoint> {
public:
    void SeriesMouseEvent(MouseEvent event, ChartPoint point, CChartSerieBase<SChartXYPoint>* serie,
                          unsigned pointIndex) override;
    static std::string BalloonText(const std::string& trace, double y);
};

// The cross-hair, the two rulers and their readout over the chart.
class MeasuringTools {
public:
    // The four readout texts, or all empty when the cross-hair is off: x in
    // whole samples ("xPos:517"), y in degrees with the value format ("yPos:39.81°").
    struct Readout {
        std::string xPos, yPos, xDiff, yDiff;
    };

    explicit MeasuringTools(CChartCore& chart) : chart_(chart) {}

    void ShowMouse();
    void ToggleCrossHair();
    void ToggleXAxisRuler();
    // `pointCount` places the ruler in the middle of the shown samples.
    void ToggleYAxisRuler(unsigned pointCount);
    // Once a second while the cross-hair is on; `format` is the value format.
    Readout CursorReadout(const std::string& format);

    bool CrossHairOn() const { return crossHair_ != nullptr; }
    bool XAxisRulerOn() const { return xRuler_ != nullptr; }
    bool YAxisRulerOn() const { return yRuler_ != nullptr; }
    double XAxisRulerStart() const { return xRulerStart_; }
    CCustomCursorListener& XAxisRulerListener() { return xListener_; }
    CCustomCursorListener& YAxisRulerListener() { return yListener_; }
    CCustomSeriesMouseListener& PointClickListener() { return pointClick_; }
    CChartCrossHairCursor* CrossHair() const { return crossHair_; }
    CChartDragLineCursor* XAxisRuler() const { return xRuler_; }
    CChartDragLineCursor* YAxisRuler() const { return yRuler_; }

private:
    CChartCore& chart_;
    CChartCrossHairCursor* crossHair_ = nullptr;
    CChartDragLineCursor* xRuler_ = nullptr;
    CChartDragLineCursor* yRuler_ = nullptr;
    double xRulerStart_ = 0.0;
    CCustomCursorListener xListener_;
    CCustomCursorListener yListener_;
    CCustomSeriesMouseListener pointClick_;
};
