#pragma once

#include <vector>

// The resize rule of the main window, free of widgets: every child's rectangle
// is scaled from the previous client size to the new one, in three groups.

struct LayoutRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const LayoutRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

enum class ResizeKind { Restore, Maximise, Minimise, Other };

struct LayoutChild {
    int id;  // control identifier; 0 for children without one (the command bar)
    LayoutRect rect;
};

struct ScaleState {
    int referenceWidth = 0;
    int referenceHeight = 0;
    bool maximiseToggle = false;
};

// Buttons and edit fields that widen but keep their height.
bool InFixedHeightGroup(int id);
// The connection and device-settings labels that shift on every other maximise.
bool InLabelGroup(int id);

// Returns the new rectangles, one per child in order, and moves the reference
// size on. Returns an empty list (state untouched) for a minimise or any other
// size change, or when the reference size is not known.
std::vector<LayoutRect> ScaleLayout(const std::vector<LayoutChild>& children, ResizeKind kind,
                                    int newWidth, int newHeight, ScaleState& state);

// How far a multi-line address field moves its text down to centre it.
int AddressTextShift(int clientHeight, int charHeight, int externalLeading);
