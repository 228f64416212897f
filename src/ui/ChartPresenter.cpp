#include "ChartPresenter.h"

#include "DialogTemplate.h"
#include "MeasuringTools.h"
#include "PlatformSeams.h"
#include "PlotFeed.h"

namespace {

constexpr int kReadoutLabels[] = {ctl::kCursorXPos, ctl::kCursorYPos, ctl::kCursorXDiff,
                                  ctl::kCursorYDiff};

}  // namespace

ChartPresenter::ChartPresenter(PlotFeed& plot, MeasuringTools& tools, WindowTimers& timers,
                               std::function<void()> generatePicture, LabelWriter setLabel)
    : plot_(plot),
      tools_(tools),
      timers_(timers),
      generatePicture_(std::move(generatePicture)),
      setLabel_(std::move(setLabel)) {}

void ChartPresenter::StartDrawing() {
    plot_.StartDrawing();
    timers_.Start(kPlotTimer, kPlotPeriodMs);
}

void ChartPresenter::StopDrawing() {
    plot_.StopDrawing();
    timers_.Stop(kPlotTimer);
}

void ChartPresenter::ShowMouse() {
    tools_.ShowMouse();
}

void ChartPresenter::ToggleCrossHair() {
    tools_.ToggleCrossHair();
    if (!tools_.CrossHairOn()) {
        for (int id : kReadoutLabels) setLabel_(id, std::string());
    }
}

void ChartPresenter::ToggleXAxisRuler() {
    tools_.ToggleXAxisRuler();
}

void ChartPresenter::ToggleYAxisRuler() {
    tools_.ToggleYAxisRuler(plot_.PointCount());
}

void ChartPresenter::ToggleAbscissa() {
    plot_.ToggleAbscissa();
}

void ChartPresenter::ToggleOrdinate() {
    plot_.ToggleOrdinate();
}

void ChartPresenter::GeneratePicture() {
    if (generatePicture_) generatePicture_();
}

void ChartPresenter::ToggleXData() {
    plot_.ToggleXData();
}

void ChartPresenter::ToggleYData() {
    plot_.ToggleYData();
}

bool ChartPresenter::CrossHairOn() const {
    return tools_.CrossHairOn();
}
bool ChartPresenter::XAxisRulerOn() const {
    return tools_.XAxisRulerOn();
}
bool ChartPresenter::YAxisRulerOn() const {
    return tools_.YAxisRulerOn();
}
bool ChartPresenter::AbscissaShown() const {
    return plot_.AbscissaShown();
}
bool ChartPresenter::OrdinateShown() const {
    return plot_.OrdinateShown();
}
bool ChartPresenter::XDataShown() const {
    return plot_.ShowXData();
}
bool ChartPresenter::YDataShown() const {
    return plot_.ShowYData();
}

void ChartPresenter::CursorReadout(const std::string& format) {
    if (!tools_.CrossHairOn()) return;
    const MeasuringTools::Readout r = tools_.CursorReadout(format);
    setLabel_(ctl::kCursorXPos, r.xPos);
    setLabel_(ctl::kCursorYPos, r.yPos);
    setLabel_(ctl::kCursorXDiff, r.xDiff);
    setLabel_(ctl::kCursorYDiff, r.yDiff);
}
