#pragma once

#include <vector>

// What the chart commands act on, and the states their tips name. The window
// realises it on the plot feed and the measuring tools; tests use a fake.
class ChartCommandActions {
public:
    virtual ~ChartCommandActions() = default;
    virtual void StartDrawing() = 0;
    virtual void StopDrawing() = 0;
    virtual void ShowMouse() = 0;
    virtual void ToggleCrossHair() = 0;
    virtual void ToggleXAxisRuler() = 0;
    virtual void ToggleYAxisRuler() = 0;
    virtual void ToggleAbscissa() = 0;
    virtual void ToggleOrdinate() = 0;
    virtual void GeneratePicture() = 0;
    virtual void ToggleXData() = 0;
    virtual void ToggleYData() = 0;

    virtual bool CrossHairOn() const = 0;
    virtual bool XAxisRulerOn() const = 0;
    virtual bool YAxisRulerOn() const = 0;
    virtual bool AbscissaShown() const = 0;
    virtual bool OrdinateShown() const = 0;
    virtual bool XDataShown() const = 0;
    virtual bool YDataShown() const = 0;
};

// One button of the chart command bar: what a click does and the string that
// names it, which for a switch depends on whether the switch is on.
struct ChartCommand {
    int command;
    void (ChartCommandActions::*action)();
    bool (ChartCommandActions::*isOn)() const;  // null: the tip never changes
    int tipWhenOn;
    int tipWhenOff;
};

// The bar's commands, from left to right.
const std::vector<ChartCommand>& ChartCommandTable();

// Carries out a command; false for one the bar does not have.
bool RunChartCommand(ChartCommandActions& actions, int command);
// The string naming what the next click does; 0 for a command the bar does not have.
int ChartCommandTipId(const ChartCommandActions& actions, int command);
