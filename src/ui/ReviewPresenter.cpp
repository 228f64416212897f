#include "ReviewPresenter.h"

#include <cmath>
#include <cstdio>

#include "ChartClockAxis.h"
#include "ChartCursor.h"
#include "ChartStandardAxis.h"
#include "MeasuringTools.h"
#include "ReviewChart.h"
#include "ValueText.h"

ReviewPresenter::ReviewPresenter(ReviewChart& chart, MeasuringTools& tools,
                                 std::function<void()> generatePicture)
    : chart_(chart), tools_(tools), generatePicture_(std::move(generatePicture)) {}

void ReviewPresenter::ShowMouse() {
    tools_.ShowMouse();
}

void ReviewPresenter::ToggleCrossHair() {
    tools_.ToggleCrossHair();
}

void ReviewPresenter::ToggleXAxisRuler() {
    tools_.ToggleXAxisRuler();
}

void ReviewPresenter::ToggleYAxisRuler() {
    const bool on = !tools_.YAxisRulerOn();
    tools_.ToggleYAxisRuler(0);
    if (!on || !tools_.YAxisRuler()) return;
    // The bottom axis is time: the ruler starts in the middle of the time shown.
    const double middle = chart_.MiddleOfVisibleTime();
    tools_.YAxisRuler()->SetPosition(middle);
    tools_.YAxisRulerListener().X = middle;
}

void ReviewPresenter::ToggleAbscissa() {
    chart_.ToggleAbscissa();
}

void ReviewPresenter::ToggleOrdinate() {
    chart_.ToggleOrdinate();
}

void ReviewPresenter::GeneratePicture() {
    if (generatePicture_) generatePicture_();
}

void ReviewPresenter::ToggleXData() {
    chart_.ToggleQuantity(ReviewChart::kX);
}

void ReviewPresenter::ToggleYData() {
    chart_.ToggleQuantity(ReviewChart::kY);
}

bool ReviewPresenter::CrossHairOn() const {
    return tools_.CrossHairOn();
}

bool ReviewPresenter::XAxisRulerOn() const {
    return tools_.XAxisRulerOn();
}

bool ReviewPresenter::YAxisRulerOn() const {
    return tools_.YAxisRulerOn();
}

bool ReviewPresenter::AbscissaShown() const {
    return chart_.AbscissaShown();
}

bool ReviewPresenter::OrdinateShown() const {
    return chart_.OrdinateShown();
}

bool ReviewPresenter::XDataShown() const {
    return chart_.QuantityShown(ReviewChart::kX);
}

bool ReviewPresenter::YDataShown() const {
    return chart_.QuantityShown(ReviewChart::kY);
}

std::string ReviewPresenter::ClockText(int64_t utcMs) {
    const ClockFields f = ClockFieldsAt(utcMs, SystemLocalOffsetMs(utcMs));
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", f.year, f.month, f.day,
                  f.hour, f.minute, f.second, f.millisecond);
    return text;
}

std::string ReviewPresenter::DurationText(double ms) {
    const int64_t whole = static_cast<int64_t>(std::llround(std::fabs(ms)));
    char text[48];
    if (whole < 60000) {
        std::snprintf(text, sizeof text, "%lld.%03lld s", static_cast<long long>(whole / 1000),
                      static_cast<long long>(whole % 1000));
    } else {
        std::snprintf(
            text, sizeof text, "%lld:%02lld:%02lld.%03lld", static_cast<long long>(whole / 3600000),
            static_cast<long long>(whole / 60000 % 60), static_cast<long long>(whole / 1000 % 60),
            static_cast<long long>(whole % 1000));
    }
    return text;
}

ReviewPresenter::Readout ReviewPresenter::CursorReadout() const {
    Readout r;
    const CChartCrossHairCursor* cross = tools_.CrossHair();
    if (!cross) return r;
    const double cx = cross->GetXValue(), cy = cross->GetYValue();
    r.xPos = "xPos:" + ClockText(std::llround(cx));
    r.yPos = "yPos:" + FixedText(cy, 3) + "°";
    // A ruler that is off measures nothing: its distance to a moment 1970
    // would say nothing true.
    if (tools_.YAxisRulerOn()) {
        r.xDiff = "xDiff:" + DurationText(cx - tools_.YAxisRuler()->GetValue());
    }
    if (tools_.XAxisRulerOn()) {
        r.yDiff = "yDiff:" + FixedText(std::fabs(cy - tools_.XAxisRuler()->GetValue()), 3) + "°";
    }
    const CChartStandardAxis* right = chart_.Right();
    if (right && !right->GetSeries().empty()) {
        r.temperature = "T:" + FixedText(right->PixelToValue(cross->GetYPixel()), 2) + " °C";
    }
    return r;
}
