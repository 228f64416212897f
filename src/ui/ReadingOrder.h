#pragma once

#include <vector>

#include "BackgroundArt.h"
#include "DialogTemplate.h"

// The template's controls in the order a reader meets them: panel by panel as
// the picture groups them, and within a panel row by row, left to right. A
// control above the panels (the protocol list, the language buttons) opens the
// panel beneath it; one beside every panel comes last. Hidden controls keep
// their place, so a control shown later falls into line where it stands.
std::vector<int> ReadingOrder(const std::vector<ControlSpec>& controls, Language language,
                              const std::vector<PanelArea>& panels);
