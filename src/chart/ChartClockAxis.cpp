#include "ChartClockAxis.h"

#include <cmath>

#include "TickMath.h"

namespace {

int64_t ToMs(double value) {
    if (!std::isfinite(value)) return 0;
    return static_cast<int64_t>(std::floor(value));
}

}  // namespace

CChartClockAxis::CChartClockAxis(LocalOffsetFn offset) : offset_(std::move(offset)) {}

double CChartClockAxis::FirstTickValue() const {
    return static_cast<double>(firstTick_);
}

bool CChartClockAxis::NextTickValue(double current, double& next) const {
    next = static_cast<double>(NextClockTick(ToMs(current), stepMs_, offset_));
    return next <= GetMax();
}

int CChartClockAxis::TickPixel(double value) const {
    return ValueToPixelStandard(value);
}

int CChartClockAxis::ValueToPixelDiscrete(double value) const {
    // Time is never discrete; the plain mapping serves.
    return ValueToPixelStandard(value);
}

std::string CChartClockAxis::TickLabel(double value) const {
    const int64_t ms = ToMs(value);
    return FormatClockLabel(ClockFieldsAt(ms, offset_(ms)), form_);
}

void CChartClockAxis::ComputeTickIncrement() {
    stepMs_ = ClockTickStepFor(GetMax() - GetMin(), GetEndPixel() - GetStartPixel(),
                               kHorizontalTickPixels);
    UpdateForm();
}

void CChartClockAxis::ComputeFirstTick() {
    firstTick_ = FirstClockTick(ToMs(std::ceil(GetMin())), stepMs_, offset_);
}

void CChartClockAxis::UpdateForm() {
    form_ = ClockLabelFormFor(stepMs_, GetMax() - GetMin());
}

ChartSize CChartClockAxis::SpaceTickLabels(DrawSurface& surface) {
    ChartSize largest = LargestTickLabelSize(surface);
    if (!IsAutomaticTicks() || Scale().IsRangeEmpty()) return largest;
    const int span = GetEndPixel() - GetStartPixel();
    // The series ends at 100 days; past it nothing wider exists.
    for (int64_t previous = 0; previous != stepMs_;) {
        const int length = IsHorizontal() ? largest.width : largest.height;
        if (!TickLabelsCollide(GetMin(), GetMax(), span, static_cast<double>(stepMs_), length)) {
            break;
        }
        previous = stepMs_;
        stepMs_ = NextLargerClockStep(stepMs_);
        UpdateForm();
        ComputeFirstTick();
        largest = LargestTickLabelSize(surface);
    }
    return largest;
}
