#pragma once

#include "ChartGeometry.h"
#include "DrawSurface.h"

class CChartCore;

// The strip of text lines above the plotting area. It holds no lines yet, so
// it takes no room and draws nothing.
class CChartTitle {
public:
    explicit CChartTitle(CChartCore* parent) : parent_(parent) {}
    virtual ~CChartTitle() = default;

    void SetVisible(bool visible) { visible_ = visible; }
    bool IsVisible() const { return visible_; }
    ChartSize GetSize(DrawSurface&) const { return {}; }
    void SetRect(const ChartRect& rect) { rect_ = rect; }
    ChartRect GetRect() const { return rect_; }
    void Draw(DrawSurface&) {}

private:
    CChartCore* parent_;
    bool visible_ = true;
    ChartRect rect_;
};
