#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ChartCommands.h"

class MeasuringTools;
class ReviewChart;

// The chart commands carried out on a recording's chart: what the live
// chart's bar does, less starting and stopping the drawing, with the readout
// in clock time, degrees and °C.
class ReviewPresenter : public ChartCommandActions {
public:
    // x in clock time and y in degrees at the cross-hair; the distances to
    // the rulers while they are on; the temperature axis at the cross-hair.
    struct Readout {
        std::string xPos, yPos, xDiff, yDiff, temperature;
    };

    ReviewPresenter(ReviewChart& chart, MeasuringTools& tools,
                    std::function<void()> generatePicture);

    // A recording is never live: there is nothing to start or stop.
    void StartDrawing() override {}
    void StopDrawing() override {}
    void ShowMouse() override;
    void ToggleCrossHair() override;
    void ToggleXAxisRuler() override;
    void ToggleYAxisRuler() override;
    void ToggleAbscissa() override;
    void ToggleOrdinate() override;
    void GeneratePicture() override;
    void ToggleXData() override;
    void ToggleYData() override;

    bool CrossHairOn() const override;
    bool XAxisRulerOn() const override;
    bool YAxisRulerOn() const override;
    bool AbscissaShown() const override;
    bool OrdinateShown() const override;
    bool XDataShown() const override;
    bool YDataShown() const override;

    Readout CursorReadout() const;

    // "2026-12-10 13:50:05.024", local time.
    static std::string ClockText(int64_t utcMs);
    // "12.345 s" below a minute, else "h:mm:ss.zzz".
    static std::string DurationText(double ms);

private:
    ReviewChart& chart_;
    MeasuringTools& tools_;
    std::function<void()> generatePicture_;
};
