#pragma once

#include "ChartAxis.h"
#include "TickMath.h"

// The numeric axis: ticks every 1, 2 or 5 times a power of ten.
class CChartStandardAxis : public CChartAxis {
public:
    CChartStandardAxis() = default;

    double FirstTickValue() const override;
    bool NextTickValue(double current, double& next) const override;
    int TickPixel(double value) const override;
    int ValueToPixelDiscrete(double value) const override;
    std::string TickLabel(double value) const override;
    void ComputeTickIncrement() override;
    void ComputeFirstTick() override;
    // Widens an automatic step along the 1, 2, 5 series while neighbouring
    // labels would collide.
    ChartSize SpaceTickLabels(DrawSurface& surface) override;

    // A fixed step, for an axis whose automatic ticks are off.
    void SetTickIncrement(double increment, int decimals);
    double GetTickIncrement() const { return step_.increment; }
    int GetDecimalCount() const { return step_.decimals; }
    double GetFirstTick() const { return firstTick_; }

private:
    double firstTick_ = 0.0;
    TickStep step_;
};
