#include "ChartCommands.h"

#include "DialogTemplate.h"
#include "StringTable.h"

namespace {

using A = ChartCommandActions;

const std::vector<ChartCommand> kTable = {
    {cmd::kStartDrawing, &A::StartDrawing, nullptr, IDS_START_DRAWING, IDS_START_DRAWING},
    {cmd::kStopDrawing, &A::StopDrawing, nullptr, IDS_STOP_DRAWING, IDS_STOP_DRAWING},
    {cmd::kShowMouse, &A::ShowMouse, nullptr, IDS_SHOW_MOUSE, IDS_SHOW_MOUSE},
    {cmd::kCrossHair, &A::ToggleCrossHair, &A::CrossHairOn, IDS_DISABLE_CROSS_HAIR,
     IDS_ENABLE_CROSS_HAIR},
    {cmd::kXAxisRuler, &A::ToggleXAxisRuler, &A::XAxisRulerOn, IDS_DISABLE_X_RULER,
     IDS_ENABLE_X_RULER},
    {cmd::kYAxisRuler, &A::ToggleYAxisRuler, &A::YAxisRulerOn, IDS_DISABLE_Y_RULER,
     IDS_ENABLE_Y_RULER},
    {cmd::kAbscissa, &A::ToggleAbscissa, &A::AbscissaShown, IDS_DISABLE_ABSCISSA,
     IDS_ENABLE_ABSCISSA},
    {cmd::kOrdinate, &A::ToggleOrdinate, &A::OrdinateShown, IDS_DISABLE_ORDINATE,
     IDS_ENABLE_ORDINATE},
    {cmd::kGeneratePicture, &A::GeneratePicture, nullptr, IDS_GENERATE_PICTURE,
     IDS_GENERATE_PICTURE},
    {cmd::kXData, &A::ToggleXData, &A::XDataShown, IDS_HIDE_X_DATA, IDS_SHOW_X_DATA},
    {cmd::kYData, &A::ToggleYData, &A::YDataShown, IDS_HIDE_Y_DATA, IDS_SHOW_Y_DATA},
};

const ChartCommand* Find(int command) {
    for (const ChartCommand& c : kTable) {
        if (c.command == command) return &c;
    }
    return nullptr;
}

}  // namespace

const std::vector<ChartCommand>& ChartCommandTable() {
    return kTable;
}

bool RunChartCommand(ChartCommandActions& actions, int command) {
    const ChartCommand* c = Find(command);
    if (!c) return false;
    (actions.*(c->action))();
    return true;
}

int ChartCommandTipId(const ChartCommandActions& actions, int command) {
    const ChartCommand* c = Find(command);
    if (!c) return 0;
    const bool on = c->isOn ? (actions.*(c->isOn))() : false;
    return on ? c->tipWhenOn : c->tipWhenOff;
}
