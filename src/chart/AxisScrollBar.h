#pragma once

// What the chart asks of an axis's scroll bar: follow the axis's range, and
// sit along the axis's edge of the plotting area after every layout.
class AxisScrollBar {
public:
    virtual ~AxisScrollBar() = default;
    virtual void UpdateRange() = 0;
    virtual void Reposition() = 0;
};
