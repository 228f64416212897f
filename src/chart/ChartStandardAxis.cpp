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

void CChartStandardAxis::SetTickIncrement(double increment, int decimals) {
    step_ = {increment < 0 ? -increment : increment, decimals < 0 ? 0 : decimals};
    RefreshChart();
}
