#pragma once

#include <cstdint>

#include "ChartAxis.h"
#include "ClockTicks.h"

// A horizontal axis of clock time: values are milliseconds since the epoch,
// ticks fall on whole local seconds, minutes, hours or days and read as the
// local clock, in a form that follows the range shown.
class CChartClockAxis : public CChartAxis {
public:
    // The local offset defaults to this machine's zone.
    explicit CChartClockAxis(LocalOffsetFn offset = SystemLocalOffsetMs);

    double FirstTickValue() const override;
    bool NextTickValue(double current, double& next) const override;
    int TickPixel(double value) const override;
    int ValueToPixelDiscrete(double value) const override;
    std::string TickLabel(double value) const override;
    void ComputeTickIncrement() override;
    void ComputeFirstTick() override;
    // Widens the step along its series while neighbouring labels would collide.
    ChartSize SpaceTickLabels(DrawSurface& surface) override;

    int64_t GetTickStep() const { return stepMs_; }
    ClockLabelForm GetLabelForm() const { return form_; }

private:
    void UpdateForm();

    LocalOffsetFn offset_;
    int64_t stepMs_ = kClockSecond;
    int64_t firstTick_ = 0;
    ClockLabelForm form_ = ClockLabelForm::Seconds;
};
