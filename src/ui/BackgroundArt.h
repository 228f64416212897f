#pragma once

#include <QImage>
#include <vector>

#include "DialogTemplate.h"

// The window's two background pictures and the program icon, drawn by our own
// code. The pictures are stretched over the client area, so a point at (x, y)
// dialog units lies at (x * 1830 / 680, y * 1009 / 330) in the picture.
constexpr int kBackgroundWidth = 1830;
constexpr int kBackgroundHeight = 1009;
constexpr int kChineseBackgroundId = 197;
constexpr int kEnglishBackgroundId = 199;

QImage DrawBackgroundPicture(Language lang);

// A panel of the picture in dialog units, right and bottom exclusive.
struct PanelArea {
    double left;
    double top;
    double right;
    double bottom;
};
// The panels that hold controls, in reading order: connection, device settings,
// data saving, chart, parameters, serial data.
const std::vector<PanelArea>& ControlPanels();
QImage DrawProgramIcon(int size);
// The sizes the window's icon is drawn in.
constexpr int kProgramIconSizes[] = {16, 32, 48, 256};
