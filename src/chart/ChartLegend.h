#pragma once

#include "ChartGeometry.h"
#include "DrawSurface.h"

class CChartCore;

// The framed list of named series. Hidden, it leaves the layout alone.
class CChartLegend {
public:
    explicit CChartLegend(CChartCore* parent) : parent_(parent) {}
    virtual ~CChartLegend() = default;

    bool IsVisible() const { return visible_; }
    ChartRect GetRect() const { return rect_; }
    // Cuts the legend's room out of the area on its docked side.
    void ReserveSpace(ChartRect&, DrawSurface&) {}
    void Draw(DrawSurface&) {}

private:
    CChartCore* parent_;
    ChartRect rect_;
    bool visible_ = false;
};
