#pragma once

#include <functional>
#include <string>

#include "ChartCommands.h"

class PlotFeed;
class MeasuringTools;
class WindowTimers;

// Timer 0 rebuilds the traces four times a second while drawing is on.
constexpr int kPlotPeriodMs = 250;

// The chart commands carried out on the plot feed and the measuring tools, and
// the cursor readout in the four labels above the chart.
class ChartPresenter : public ChartCommandActions {
public:
    // Writes a label the flicker-free way.
    using LabelWriter = std::function<void(int id, const std::string& text)>;

    ChartPresenter(PlotFeed& plot, MeasuringTools& tools, WindowTimers& timers,
                   std::function<void()> generatePicture, LabelWriter setLabel);

    void StartDrawing() override;
    void StopDrawing() override;
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

    // Once a second, with the value format of the moment; only while the cross-hair is on.
    void CursorReadout(const std::string& format);

private:
    PlotFeed& plot_;
    MeasuringTools& tools_;
    WindowTimers& timers_;
    std::function<void()> generatePicture_;
    LabelWriter setLabel_;
};
