#include "ReviewChart.h"

#include <cmath>

#include "ChartAxisLabel.h"
#include "ChartClockAxis.h"
#include "ChartCore.h"
#include "ChartGrid.h"
#include "ChartLegend.h"
#include "ChartLineSerie.h"
#include "ChartStandardAxis.h"
#include "StringTable.h"
#include "ValueText.h"

namespace {

constexpr Color kBlack = MakeColor(0, 0, 0);
constexpr Color kGridColour = MakeColor(189, 189, 189);
constexpr Color kZoomBandColour = MakeColor(0, 0, 160);
// The live chart's red and green for the first sensor; then colours that
// stay apart on white and from the rulers' brown.
constexpr Color kTraceColours[] = {
    MakeColor(220, 0, 0),   MakeColor(0, 139, 0),   MakeColor(230, 120, 0),
    MakeColor(0, 0, 220),   MakeColor(0, 150, 150), MakeColor(200, 0, 200),
    MakeColor(128, 128, 0), MakeColor(110, 0, 160), MakeColor(90, 90, 90),
};
constexpr int kTraceColourCount = sizeof kTraceColours / sizeof kTraceColours[0];

const char* QuantityLetter(ReviewChart::Quantity q) {
    return q == ReviewChart::kX ? "X" : q == ReviewChart::kY ? "Y" : "T";
}

}  // namespace

ReviewChart::ReviewChart(CChartCore& chart, Language language)
    : chart_(chart), language_(language) {
    bottom_ = new CChartClockAxis;
    chart_.AttachAxis(bottom_, CChartCore::Bottom);
    left_ = new CChartStandardAxis;
    chart_.AttachAxis(left_, CChartCore::Left);
    right_ = new CChartStandardAxis;
    chart_.AttachAxis(right_, CChartCore::Right);
    for (CChartAxis* axis : {static_cast<CChartAxis*>(bottom_), static_cast<CChartAxis*>(left_),
                             static_cast<CChartAxis*>(right_)}) {
        axis->SetAutoMode(CChartAxis::AllPoints);
        axis->SetAxisColor(kBlack);
        axis->SetTextColor(kBlack);
    }
    // Rows are stamped to the millisecond: a range of a few of them is as deep as it goes.
    bottom_->SetZoomLimit(10);
    bottom_->GetGrid()->SetColor(kGridColour);
    left_->GetGrid()->SetColor(kGridColour);
    right_->GetGrid()->SetVisible(false);
    left_->GetLabel()->SetText(std::string(LoadResourceString(IDS_VALUE, language)) + "  (deg)");
    right_->GetLabel()->SetText("(°C)");
    for (CChartAxisLabel* label : {left_->GetLabel(), right_->GetLabel()}) {
        label->SetColor(kBlack);
        label->SetFont(80, "Times New Roman", false, false, false);
    }
    chart_.SetBorderColor(kBlack);
    chart_.SetBackgroundColor(MakeColor(255, 255, 255));
    chart_.SetZoomRectColor(kZoomBandColour);
    chart_.SetEdgeType(4);
    // Every trace is named, so a bus's many lines can be told apart.
    CChartLegend* legend = chart_.GetLegend();
    legend->DockLegend(CChartLegend::DockTop);
    legend->SetHorizontalMode(true);
    legend->SetFont(80, "Microsoft Sans Serif");
    legend->SetVisible(true);
}

std::string ReviewChart::TraceName(int address, Quantity quantity) {
    std::string name = QuantityLetter(quantity);
    if (address >= 0) name += "@" + std::to_string(address);
    return name;
}

void ReviewChart::Show(std::shared_ptr<const Recording> recording) {
    chart_.SuspendRefresh();
    for (const RecordedTrace& trace : recording->traces) {
        for (Quantity q : {kX, kY, kTemperature}) AddTrace(recording, trace, q);
    }
    ShowTemperatureAxis();
    chart_.ResumeRefresh();
}

void ReviewChart::AddTrace(const std::shared_ptr<const Recording>& recording,
                           const RecordedTrace& trace, Quantity quantity) {
    const std::vector<double>& values = quantity == kX   ? trace.x
                                        : quantity == kY ? trace.y
                                                         : trace.temperature;
    const std::vector<uint8_t>& decimals = quantity == kX   ? trace.xDecimals
                                           : quantity == kY ? trace.yDecimals
                                                            : trace.temperatureDecimals;
    // A quantity the sensor never sent has no trace at all, not a flat one.
    bool any = false;
    for (double v : values) {
        if (!std::isnan(v)) {
            any = true;
            break;
        }
    }
    if (!any) return;
    auto* serie = new CChartDecimatedSerie(
        &chart_, {trace.utcMs.data(), values.data(), trace.Size(), recording});
    chart_.AddSerie(serie);
    serie->SetName(TraceName(trace.address, quantity));
    serie->SetColor(kTraceColours[traces_.size() % kTraceColourCount]);
    serie->SetListener(this);
    if (quantity == kTemperature) {
        // °C have an axis of their own; the degrees keep their range.
        left_->UnregisterSerie(serie);
        right_->RegisterSerie(serie);
        serie->SetAxes(right_, bottom_);
        left_->RefreshAutoRange();
        right_->RefreshAutoRange();
    }
    serie->SetVisible(shown_[quantity]);
    traces_.push_back({serie, trace.address, quantity, &decimals});
}

bool ReviewChart::HasQuantity(Quantity quantity) const {
    for (const Trace& t : traces_) {
        if (t.quantity == quantity) return true;
    }
    return false;
}

void ReviewChart::ShowTemperatureAxis() {
    // An axis with nothing on it would only show a made-up scale.
    right_->SetVisible(shown_[kTemperature] && HasQuantity(kTemperature));
}

void ReviewChart::ToggleAbscissa() {
    abscissaShown_ = !abscissaShown_;
    bottom_->SetVisible(abscissaShown_);
    chart_.Refresh();
}

void ReviewChart::ToggleOrdinate() {
    ordinateShown_ = !ordinateShown_;
    left_->SetVisible(ordinateShown_);
    chart_.Refresh();
}

void ReviewChart::ToggleQuantity(Quantity quantity) {
    shown_[quantity] = !shown_[quantity];
    chart_.SuspendRefresh();
    for (const Trace& t : traces_) {
        if (t.quantity == quantity) t.serie->SetVisible(shown_[quantity]);
    }
    ShowTemperatureAxis();
    chart_.ResumeRefresh();
}

int64_t ReviewChart::VisibleFromMs() const {
    return static_cast<int64_t>(std::ceil(bottom_->GetMin()));
}

int64_t ReviewChart::VisibleToMs() const {
    return static_cast<int64_t>(std::floor(bottom_->GetMax()));
}

double ReviewChart::MiddleOfVisibleTime() const {
    return std::floor((bottom_->GetMin() + bottom_->GetMax()) / 2);
}

const ReviewChart::Trace* ReviewChart::Find(const CChartDecimatedSerie& serie) const {
    for (const Trace& t : traces_) {
        if (t.serie == &serie) return &t;
    }
    return nullptr;
}

std::string ReviewChart::BalloonText(const Trace& trace, size_t index) const {
    const int64_t ms = trace.serie->TimeAt(index);
    const ClockFields f = ClockFieldsAt(ms, SystemLocalOffsetMs(ms));
    const std::string unit = trace.quantity == kTemperature ? " °C" : "°";
    return trace.serie->GetName() + "=" +
           FixedText(trace.serie->ValueAt(index), (*trace.decimals)[index]) + unit + "  " +
           FormatClockLabel(f, ClockLabelForm::Milliseconds);
}

void ReviewChart::SampleClicked(CChartDecimatedSerie& serie, size_t index) {
    const Trace* trace = Find(serie);
    if (!trace) return;
    // Adding and removing the holder lets the axes take their whole range
    // again; the operator's zoom stays.
    CChartAxis* axes[] = {bottom_, left_, right_};
    double ranges[3][2];
    for (int i = 0; i < 3; ++i) {
        ranges[i][0] = axes[i]->GetMin();
        ranges[i][1] = axes[i]->GetMax();
    }
    CChartAxis* vertical = serie.GetVerticalAxis();
    chart_.SuspendRefresh();
    if (balloonHolder_) chart_.RemoveSerie(balloonHolder_->GetId());
    balloonHolder_ = new CChartLineSerie(&chart_);
    chart_.AddSerie(balloonHolder_);
    if (vertical != left_) {
        left_->UnregisterSerie(balloonHolder_);
        vertical->RegisterSerie(balloonHolder_);
        balloonHolder_->SetAxes(vertical, bottom_);
    }
    const double x = static_cast<double>(serie.TimeAt(index));
    const double y = serie.ValueAt(index);
    balloonHolder_->AddPoints(&x, &y, 1);
    balloonHolder_->AddBalloonLabel(0, BalloonText(*trace, index))
        ->SetLineColor(MakeColor(0, 0, 0));
    for (int i = 0; i < 3; ++i) axes[i]->SetVisibleRange(ranges[i][0], ranges[i][1]);
    chart_.ResumeRefresh();
}
