#pragma once

#include <map>
#include <vector>

#include "ChartGeometry.h"

// The resize rule of the main window, free of widgets: every child's rectangle
// is scaled from the previous client size to the new one, in three groups.
// Rectangles are the chart's integer ones, right and bottom exclusive.

enum class ResizeKind { Restore, Maximise, Minimise, Other };

struct LayoutChild {
    int id;  // control identifier; 0 for children without one (the command bar)
    ChartRect rect;
};

struct ScaleState {
    int referenceWidth = 0;
    int referenceHeight = 0;
    bool maximised = false;  // the last size change was a maximise
    // The label group's places without the maximised shift, by control identifier,
    // so that restoring takes the shift off again instead of scaling it along.
    std::map<int, ChartRect> unshiftedLabels;
};

// Buttons and edit fields that widen but keep their height.
bool InFixedHeightGroup(int id);
// Everything that keeps its height: that group and the drop-down lists, whose
// closed height is one line of text however large the window is.
bool KeepsItsHeight(int id);
// The connection and device-settings labels that shift while the window is maximised.
bool InLabelGroup(int id);

// Returns the new rectangles, one per child in order, and moves the reference
// size on. Returns an empty list (state untouched) for a minimise or any other
// size change, or when the reference size is not known.
std::vector<ChartRect> ScaleLayout(const std::vector<LayoutChild>& children, ResizeKind kind,
                                   int newWidth, int newHeight, ScaleState& state);

// How far a multi-line address field moves its text down to centre it.
int AddressTextShift(int clientHeight, int charHeight, int externalLeading);
