#include "ChartStandardAxis.h"

#include <cmath>

double CChartStandardAxis::FirstTickValue() const {
    // A discrete axis's ticks bound the intervals, so one more sits below the first.
    return IsDiscrete() ? firstTick_ - step_.increment : firstTick_;
}

bool CChartStandardAxis::NextTickValue(double current, double& next) const {
    if (step_.increment == 0) return false;
    next = current + step_.increment;
    return next <= GetMax();
}

int CChartStandardAxis::TickPixel(double value) const {
    return ValueToPixelStandard(value);
}

int CChartStandardAxis::ValueToPixelDiscrete(double value) const {
    const double increment = step_.increment;
    if (increment == 0) return ValueToPixelStandard(value);
    // The middle of the interval the value falls in.
    const double e = value >= 0 ? 1e-10 : -1e-10;
    const double snapped = std::trunc((value + e) / increment) * increment + increment * 0.5;
    return ValueToPixelStandard(snapped);
}

std::string CChartStandardAxis::TickLabel(double value) const {
    return FormatTickLabel(value, step_.decimals);
}

void CChartStandardAxis::ComputeTickIncrement() {
    ComputeAutoTickStep(GetMin(), GetMax(), GetEndPixel() - GetStartPixel(), IsHorizontal(), step_);
}

void CChartStandardAxis::ComputeFirstTick() {
    firstTick_ = ::ComputeFirstTick(GetMin(), step_.increment);
}

ChartSize CChartStandardAxis::SpaceTickLabels(DrawSurface& surface) {
    ChartSize largest = LargestTickLabelSize(surface);
    // A fixed step is the application's choice; a discrete axis's step places
    // its points, so widening it would move them.
    if (!IsAutomaticTicks() || IsDiscrete() || Scale().IsRangeEmpty()) return largest;
    // Each widening at least doubles the step, so few are ever needed.
    constexpr int kMaxWidenings = 64;
    const int span = GetEndPixel() - GetStartPixel();
    for (int i = 0; i < kMaxWidenings; ++i) {
        const int length = IsHorizontal() ? largest.width : largest.height;
        if (!TickLabelsCollide(GetMin(), GetMax(), span, step_.increment, length)) break;
        step_ = NextLargerTickStep(step_);
        ComputeFirstTick();
        largest = LargestTickLabelSize(surface);
    }
    return largest;
}

void CChartStandardAxis::SetTickIncrement(double increment, int decimals) {
    step_ = {increment < 0 ? -increment : increment, decimals < 0 ? 0 : decimals};
    RefreshChart();
}
