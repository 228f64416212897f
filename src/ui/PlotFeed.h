#pragma once

#include <array>
#include <functional>
#include <string>

#include "DeviceTypes.h"
#include "PlotBuffer.h"

class CChartCore;
class CChartLineSerie;
class CChartStandardAxis;
class LiveReadout;

// The main window's side of the chart: the newest samples in a sliding window,
// two traces rebuilt from it four times a second, frozen on demand.
class PlotFeed {
public:
    PlotFeed(CChartCore& chart, LiveReadout& readout);

    // Axes, colours, the left axis label ("Value  (deg)"), the edge; once.
    void SetUpChart(const std::string& valueLabel);

    void AppendPlotSample(double x, double y) { live_.Append(x, y); }
    // A measurement's angles; an angle the reply lacked is no sample of its
    // trace (a gap there), and a reply with neither adds nothing.
    void AppendPlotSample(const Measurement& m) { AppendSample(live_, m); }
    // A reply's angles into a history; a reply with neither adds nothing.
    static void AppendSample(PlotBuffer& buffer, const Measurement& m);
    // Another sensor's history in place of the live traces (a bus's selection).
    void ShowHistory(const PlotBuffer& history) { live_ = history; }
    // Timer 0.
    void PlotTick() { RebuildTraces(live_); }
    void RebuildTraces(const PlotBuffer& buffer);
    void TakeSnapshot() { frozen_ = live_; }
    // The link went silent or was lost: the next sample starts a new segment,
    // so the traces show the gap instead of joining across it.
    void BreakTraces() { live_.Break(); }

    // The drawing commands; the window starts and stops timer 0 with them.
    void StartDrawing();
    void StopDrawing();
    void ToggleXData() { ToggleTrace(kXTrace); }
    void ToggleYData() { ToggleTrace(kYTrace); }
    void ToggleAbscissa();
    void ToggleOrdinate();

    void SetPointCount(unsigned count) { pointCount_ = count; }
    unsigned PointCount() const { return pointCount_; }
    bool DrawingActive() const { return drawingActive_; }
    bool ShowXData() const { return show_[kXTrace]; }
    bool ShowYData() const { return show_[kYTrace]; }
    bool AbscissaShown() const { return abscissaShown_; }
    bool OrdinateShown() const { return ordinateShown_; }
    // The chart's identifier of a current trace, or -1.
    long XTrace() const { return trace_[kXTrace]; }
    long YTrace() const { return trace_[kYTrace]; }
    const PlotBuffer& Live() const { return live_; }
    const PlotBuffer& Frozen() const { return frozen_; }
    const double* SampleNumbers() const { return sampleNumbers_.data(); }
    CChartStandardAxis* BottomAxis() const { return bottom_; }
    CChartStandardAxis* LeftAxis() const { return left_; }

    // Called for each shown trace when drawing stops (the point-click tool).
    std::function<void(CChartLineSerie&)> onFrozenTrace;

private:
    enum Trace { kXTrace = 0, kYTrace = 1 };
    void ToggleTrace(Trace trace);
    long MakeTrace(Trace trace, const PlotBuffer& buffer);

    CChartCore& chart_;
    LiveReadout& readout_;
    CChartStandardAxis* bottom_ = nullptr;
    CChartStandardAxis* left_ = nullptr;
    PlotBuffer live_;
    PlotBuffer frozen_;
    std::array<double, PlotBuffer::kWindow> sampleNumbers_{};
    unsigned pointCount_ = PlotBuffer::kWindow;
    bool drawingActive_ = true;
    std::array<bool, 2> show_{{true, true}};
    std::array<long, 2> trace_{{-1, -1}};
    std::array<bool, 2> builtOnce_{{false, false}};
    bool abscissaShown_ = true;
    bool ordinateShown_ = true;
};
