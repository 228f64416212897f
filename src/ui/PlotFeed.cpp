#include "PlotFeed.h"

#include <limits>

#include "ChartAxisLabel.h"
#include "ChartCore.h"
#include "ChartGrid.h"
#include "ChartLineSerie.h"
#include "ChartStandardAxis.h"
#include "LiveReadout.h"

namespace {

constexpr Color kBlack = MakeColor(0, 0, 0);
constexpr Color kXTraceColour = MakeColor(255, 0, 0);
constexpr Color kYTraceColour = MakeColor(0, 139, 0);
constexpr Color kGridColour = MakeColor(189, 189, 189);
// The chart's own white band would not show on the white plot.
constexpr Color kZoomBandColour = MakeColor(0, 0, 160);

}  // namespace

PlotFeed::PlotFeed(CChartCore& chart, LiveReadout& readout) : chart_(chart), readout_(readout) {
    for (size_t i = 0; i < sampleNumbers_.size(); ++i) sampleNumbers_[i] = static_cast<double>(i);
}

void PlotFeed::SetUpChart(const std::string& valueLabel) {
    bottom_ = new CChartStandardAxis;
    chart_.AttachAxis(bottom_, CChartCore::Bottom);
    bottom_->SetAutoMode(CChartAxis::AllPoints);
    left_ = new CChartStandardAxis;
    chart_.AttachAxis(left_, CChartCore::Left);
    left_->SetAutoMode(CChartAxis::AllPoints);

    chart_.SetBorderColor(kBlack);
    chart_.SetBackgroundColor(MakeColor(255, 255, 255));
    chart_.SetZoomRectColor(kZoomBandColour);
    for (CChartStandardAxis* axis : {bottom_, left_}) {
        axis->SetAxisColor(kBlack);
        axis->SetTextColor(kBlack);
        axis->GetGrid()->SetColor(kGridColour);
    }
    CChartAxisLabel* label = left_->GetLabel();
    label->SetText(valueLabel + "  (deg)");
    label->SetColor(kBlack);
    label->SetFont(80, "Times New Roman", false, false, false);
    chart_.SetEdgeType(4);
    TakeSnapshot();
}

void PlotFeed::AppendSample(PlotBuffer& buffer, const Measurement& m) {
    if (!m.hasX && !m.hasY) return;
    const double none = std::numeric_limits<double>::quiet_NaN();
    buffer.Append(m.hasX ? m.x : none, m.hasY ? m.y : none);
}

long PlotFeed::MakeTrace(Trace trace, const PlotBuffer& buffer) {
    auto* serie = new CChartLineSerie(&chart_);
    chart_.AddSerie(serie);
    serie->SetOrdering(NoOrdering);
    // The name says whose value a clicked point's balloon shows.
    serie->SetName(trace == kXTrace ? "X" : "Y");
    // Only samples that arrived: until the window is full the traces are shorter.
    const unsigned n = static_cast<unsigned>(buffer.Available(pointCount_));
    serie->AddPoints(sampleNumbers_.data(),
                     buffer.Newest(trace == kXTrace ? PlotBuffer::kX : PlotBuffer::kY, n), n);
    serie->SetColor(trace == kXTrace ? kXTraceColour : kYTraceColour);
    serie->SetLineWidth(2);
    double minimum = 0;
    double maximum = 0;
    if (serie->GetYRange(minimum, maximum)) {
        if (trace == kXTrace)
            readout_.SetXTraceRange(minimum, maximum);
        else
            readout_.SetYTraceRange(minimum, maximum);
    }
    builtOnce_[trace] = true;
    return static_cast<long>(serie->GetId());
}

void PlotFeed::RebuildTraces(const PlotBuffer& buffer) {
    // One redraw for the whole rebuild, however many series come and go.
    chart_.SuspendRefresh();
    chart_.RemoveAllSeries();
    trace_ = {-1, -1};
    for (Trace t : {kXTrace, kYTrace}) {
        if (show_[t]) trace_[t] = MakeTrace(t, buffer);
    }
    chart_.ResumeRefresh();
}

void PlotFeed::StartDrawing() {
    drawingActive_ = true;
}

void PlotFeed::StopDrawing() {
    drawingActive_ = false;
    for (Trace t : {kXTrace, kYTrace}) {
        if (!show_[t] || trace_[t] < 0 || !onFrozenTrace) continue;
        if (auto* serie =
                dynamic_cast<CChartLineSerie*>(chart_.GetSerie(static_cast<unsigned>(trace_[t]))))
            onFrozenTrace(*serie);
    }
    TakeSnapshot();
}

void PlotFeed::ToggleTrace(Trace trace) {
    if (!builtOnce_[trace]) return;
    chart_.SuspendRefresh();
    if (show_[trace]) {
        show_[trace] = false;
        if (trace_[trace] >= 0) chart_.RemoveSerie(static_cast<unsigned>(trace_[trace]));
        trace_[trace] = -1;
    } else {
        show_[trace] = true;
        // Stopped, the picture is rebuilt from the frozen window at once; live, the
        // trace returns with the next tick.
        if (!drawingActive_) RebuildTraces(frozen_);
    }
    chart_.ResumeRefresh();
}

void PlotFeed::ToggleAbscissa() {
    abscissaShown_ = !abscissaShown_;
    bottom_->SetVisible(abscissaShown_);
    chart_.Refresh();
}

void PlotFeed::ToggleOrdinate() {
    ordinateShown_ = !ordinateShown_;
    left_->SetVisible(ordinateShown_);
    chart_.Refresh();
}
